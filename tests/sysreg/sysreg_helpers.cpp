#include "tests/sysreg/sysreg_helpers.h"

#include <shlwapi.h>

#include <vector>

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

std::string ReadString(HKEY root, const std::string& subKey, const char* name) {
  char data[1024] = "";
  DWORD size = sizeof data - 1, type = 0;
  RegKey key;
  if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_QUERY_VALUE, key.receive()) != ERROR_SUCCESS ||
      RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return "<absent>";
  return data;
}

bool KeyExists(HKEY root, const std::string& subKey) {
  RegKey key;
  return RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, key.receive()) == ERROR_SUCCESS;
}

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

KeyCleanup::KeyCleanup(HKEY r, std::string s) : root(r), subKey(std::move(s)) { SHDeleteKeyA(root, subKey.c_str()); }
KeyCleanup::~KeyCleanup() { SHDeleteKeyA(root, subKey.c_str()); }
