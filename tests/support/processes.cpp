#include "tests/support/processes.h"

#include "platform/win/handles.h"
#include "tests/support/test_paths.h"

#include <tlhelp32.h>

int RunAndWait(const std::string& commandLine, DWORD timeoutMs, const std::string& workDir) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::vector<char> cmd(commandLine.begin(), commandLine.end());
  cmd.push_back('\0');
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      workDir.empty() ? nullptr : workDir.c_str(), &si, &pi))
    return -1;
  CloseHandle(pi.hThread);
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0) {
    GetExitCodeProcess(pi.hProcess, &code);
  } else {
    TerminateProcess(pi.hProcess, 1);
  }
  CloseHandle(pi.hProcess);
  return static_cast<int>(code);
}

std::string RunCapture(const std::string& commandLine, int* exitCode) {
  if (exitCode) *exitCode = -1;
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  UniqueHandle readEnd, writeEnd;
  if (!CreatePipe(readEnd.receive(), writeEnd.receive(), &inherit, 0)) return std::string();
  SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = si.hStdError = writeEnd.get();
  PROCESS_INFORMATION pi = {};
  std::vector<char> cmd(commandLine.begin(), commandLine.end());
  cmd.push_back('\0');
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
    return std::string();
  UniqueHandle process(pi.hProcess), thread(pi.hThread);
  writeEnd.reset();  // reading ends when the child's copy of the write end goes
  std::string out;
  char buf[4096];
  DWORD got = 0;
  while (ReadFile(readEnd.get(), buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
  DWORD code = 0;
  if (WaitForSingleObject(process.get(), 30000) == WAIT_OBJECT_0 && GetExitCodeProcess(process.get(), &code) &&
      exitCode)
    *exitCode = static_cast<int>(code);
  return out;
}

std::string RegQuery(const std::string& args, int* exitCode) { return RunCapture("reg.exe query " + args, exitCode); }
std::string ScQuery(const std::string& service) { return RunCapture("sc.exe query " + service); }
bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  for (DWORD start = GetTickCount(); !condition(); Sleep(50))
    if (GetTickCount() - start >= timeoutMs) return condition();
  return true;
}

std::string CurrentDirectory() {
  char buf[MAX_PATH] = "";
  GetCurrentDirectoryA(MAX_PATH, buf);
  return buf;
}

std::vector<DWORD> ProcessesNamed(const char* exeName) {
  std::vector<DWORD> pids;
  UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = snapshot && Process32First(snapshot.get(), &entry); more; more = Process32Next(snapshot.get(), &entry))
    if (lstrcmpiA(entry.szExeFile, exeName) == 0) pids.push_back(entry.th32ProcessID);
  return pids;
}

bool IsProcessAlive(DWORD pid) {
  UniqueHandle p(OpenProcess(SYNCHRONIZE, FALSE, pid));
  return p && WaitForSingleObject(p.get(), 0) == WAIT_TIMEOUT;
}

void EndProcessesNamed(const char* exeName) {
  for (DWORD pid : ProcessesNamed(exeName)) {
    UniqueHandle p(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
    if (p) {
      TerminateProcess(p.get(), 1);
      WaitForSingleObject(p.get(), 5000);
    }
  }
}

DWORD StartBinProgram(const std::string& exeAndArguments) {
  std::string cmd = "\"" + BinFolder() + "\\" + exeAndArguments;
  cmd.insert(cmd.find(".exe") + 4, "\"");
  std::vector<char> line(cmd.begin(), cmd.end());
  line.push_back('\0');
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 0;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return pi.dwProcessId;
}

EnvGuard::EnvGuard(std::string name, const char* value) : m_name(std::move(name)) {
  DWORD n = GetEnvironmentVariableA(m_name.c_str(), nullptr, 0);
  if (n > 0) {
    std::vector<char> buf(n);
    m_had = GetEnvironmentVariableA(m_name.c_str(), buf.data(), n) < n;
    if (m_had) m_previous = buf.data();
  }
  SetEnvironmentVariableA(m_name.c_str(), value);
}

EnvGuard::~EnvGuard() { SetEnvironmentVariableA(m_name.c_str(), m_had ? m_previous.c_str() : nullptr); }
