// Application processes: started from one command-line text with a working folder derived from
// it, ended politely by closing their top-level windows, forced to end after a time-out.
#include "sysreg/common.h"

#include "platform/win/handles.h"

#include <mbstring.h>
#include <shlwapi.h>

#include <vector>

namespace {

// The working folder a command line implies: the text before its first forward slash, cut at
// the last backslash again and again until what is left exists. Empty when nothing is left
// (for example when the command line starts with a quotation mark, which stays in every
// candidate).
CString WorkingFolder(const CString& commandLine) {
  CString candidate = commandLine;
  int slash = candidate.Find('/');
  if (slash >= 0) candidate = candidate.Left(slash);
  for (;;) {
    int backslash = candidate.ReverseFind('\\');
    if (backslash < 0) return CString();
    candidate = candidate.Left(backslash);
    if (::PathFileExistsA(candidate)) return candidate;
  }
}

// Waits for the process up to timeoutMs (nothing when 0) and ends it if it is still running.
void WaitOrTerminate(HANDLE process, int timeoutMs) {
  if (timeoutMs == 0) return;
  if (::WaitForSingleObject(process, static_cast<DWORD>(timeoutMs)) == WAIT_TIMEOUT)
    ::TerminateProcess(process, 0xFFFFFFFF);
}

struct CloseRequest {
  DWORD processId;
  const char* windowClass;  // empty: every window of the process
};

}  // namespace

unsigned long CCommon::ExecApp(const CString& commandLine, int timeout, void* environment) {
  CString folder = WorkingFolder(commandLine);
  std::vector<char> command(commandLine.c_str(), commandLine.c_str() + commandLine.GetLength() + 1);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE,
                        CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS, environment,
                        folder.IsEmpty() ? nullptr : folder.c_str(), &startup, &info))
    return 0;
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);
  WaitOrTerminate(process.get(), timeout);
  return info.dwProcessId;
}

int CALLBACK CCommon::TerminateAppEnum(HWND hwnd, long context) {
  const auto* request = reinterpret_cast<const CloseRequest*>(context);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(hwnd, &owner);
  if (owner != request->processId) return TRUE;
  if (*request->windowClass) {
    char className[MAX_PATH + 1] = "";
    ::GetClassNameA(hwnd, className, sizeof className);
    if (_mbsicmp(reinterpret_cast<const unsigned char*>(className),
                 reinterpret_cast<const unsigned char*>(request->windowClass)) != 0)
      return TRUE;
  }
  ::PostMessageA(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
  return TRUE;
}

int CCommon::ExitApp(unsigned long processId, const CString& windowClass, int timeout) {
  UniqueHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, processId));
  if (!process) return 1;
  CloseRequest request = {processId, windowClass.c_str()};
  ::EnumWindows(TerminateAppEnum, reinterpret_cast<LPARAM>(&request));
  WaitOrTerminate(process.get(), timeout);
  return 1;
}

CString CCommon::GetShortPathNameA(const CString& path) {
  char shortPath[MAX_PATH] = "";
  DWORD n = ::GetShortPathNameA(path, shortPath, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return CString();
  char canonical[MAX_PATH] = "";
  if (!::PathCanonicalizeA(canonical, shortPath)) return CString();
  return CString(canonical);
}
