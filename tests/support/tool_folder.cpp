#include "tests/support/tool_folder.h"

#include "tests/support/processes.h"

#include <mutex>
#include <sstream>

ToolFolder::ToolFolder(const std::string& root, const std::string& name, const std::string& id) {
  std::string tools = root + "\\App";
  CreateDirectoryA(tools.c_str(), nullptr);
  tools += "\\Tools";
  CreateDirectoryA(tools.c_str(), nullptr);
  std::string tool = tools + "\\" + name;
  CreateDirectoryA(tool.c_str(), nullptr);
  m_app = tool + "\\app";
  m_swap = tool + "\\Swap";
  CreateDirectoryA(m_app.c_str(), nullptr);
  CreateDirectoryA(m_swap.c_str(), nullptr);
  CopyFileA((BinFolder() + "\\run.exe").c_str(), (m_app + "\\run.exe").c_str(), FALSE);
  SetConfig("ID", id);
}

void ToolFolder::SetLauncher(const std::string& key, const std::string& value) {
  WritePrivateProfileStringA("Launcher", key.c_str(), value.c_str(), (m_app + "\\run.ini").c_str());
}

void ToolFolder::SetConfig(const std::string& key, const std::string& value) {
  WritePrivateProfileStringA("Tool", key.c_str(), value.c_str(), ConfigFile().c_str());
}

std::string ToolFolder::GetConfig(const std::string& key) const {
  char buf[1024] = "";
  GetPrivateProfileStringA("Tool", key.c_str(), "", buf, sizeof buf, ConfigFile().c_str());
  return buf;
}

std::vector<std::string> ToolFolder::TraceLines() const {
  std::vector<std::string> lines;
  std::istringstream in(ReadTextFile(TraceFile()));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

HANDLE ToolFolder::Start(const std::string& commandItems, const char* swap) const {
  // The launcher inherits this process's environment with the two variables set as the catalogue
  // sets them; launchers started from several threads take turns.
  static std::mutex environment;
  std::lock_guard<std::mutex> hold(environment);
  char path[32768] = "";
  GetEnvironmentVariableA("PATH", path, sizeof path);
  EnvGuard swapFolder("Swap", swap);
  EnvGuard searchPath("PATH", std::string(path) + ";" + BinFolder());
  std::string cmd = "\"" + m_app + "\\run.exe\" " + commandItems;
  std::vector<char> line(cmd.begin(), cmd.end());
  line.push_back('\0');
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, m_app.c_str(), &si, &pi))
    return nullptr;
  CloseHandle(pi.hThread);
  return pi.hProcess;
}

int ToolFolder::Launch(const std::string& commandItems, DWORD timeoutMs) const {
  HANDLE process = Start(commandItems);
  if (!process) return -1;
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0)
    GetExitCodeProcess(process, &code);
  else
    TerminateProcess(process, 1);
  CloseHandle(process);
  return static_cast<int>(code);
}
