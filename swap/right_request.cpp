#include "swap/right_request.h"

#include "platform/framework/afx_module.h"
#include "platform/services/tool_layout.h"
#include "platform/win/handles.h"
#include "resources/resource_ids.h"
#include "swap/broker_session.h"
#include "sysreg/progress_dlg.h"

#include <objbase.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

// The broker's guarantees rest on the final paths of opened files and on bcrypt: Windows 6.0.
const DWORD kBrokerMajorVersion = 6;

int g_adminCache = -1;     // -1 until the first test
int g_adminOverride = -1;  // set by tests only: Wine always answers "administrator"

bool SystemCanRunBroker() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
         version.dwMajorVersion >= kBrokerMajorVersion;
}

// "a=1\r\nb=2\r\n" -> "a=1\0b=2\0\0"
std::vector<char> EnvironmentBlock(const CString& text) {
  CString t = text;
  t.Replace("\r\n", "\n");
  std::vector<char> block(t.c_str(), t.c_str() + t.GetLength());
  for (char& c : block)
    if (c == '\n') c = '\0';
  block.push_back('\0');
  block.push_back('\0');
  return block;
}

int CallFunction(const RIGHTREQUEST& r, int* result) {
  LibraryHandle lib(LoadLibraryA(r.strLibrary));
  if (!lib) return 0;
  if (r.bCom) CoInitialize(nullptr);
  int done = 0;
  if (FARPROC fn = GetProcAddress(lib.get(), r.strFunction)) {
    int value = r.bStdCall ? reinterpret_cast<int(__stdcall*)()>(reinterpret_cast<void*>(fn))()
                           : reinterpret_cast<int(__cdecl*)()>(reinterpret_cast<void*>(fn))();
    if (result) *result = value;
    done = 1;
  }
  lib.reset();
  if (r.bCom) CoUninitialize();
  return done;
}

int StartProcess(const RIGHTREQUEST& r, int* result) {
  std::vector<char> env;
  if (!r.strEnvironment.IsEmpty()) env = EnvironmentBlock(r.strEnvironment);
  std::vector<char> cmd(r.strLibrary.c_str(), r.strLibrary.c_str() + r.strLibrary.GetLength() + 1);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, env.empty() ? nullptr : env.data(),
                      r.strWorkDir.IsEmpty() ? nullptr : r.strWorkDir.c_str(), &si, &pi))
    return 0;
  UniqueHandle process(pi.hProcess), thread(pi.hThread);
  if (result) *result = static_cast<int>(pi.dwProcessId);
  if (r.bWait) WaitForSingleObject(process.get(), INFINITE);
  return 1;
}

int ExecuteDirect(const RIGHTREQUEST& r, int* result) {
  char saved[MAX_PATH] = "";
  bool changed = false;
  if (!r.strWorkDir.IsEmpty()) {
    GetCurrentDirectoryA(MAX_PATH, saved);
    changed = SetCurrentDirectoryA(r.strWorkDir) != 0;
  }
  int done = r.strFunction.IsEmpty() ? StartProcess(r, result) : CallFunction(r, result);
  if (changed) SetCurrentDirectoryA(saved);
  return done;
}

// This process's broker session of the tool, made on first use and kept while the process lives.
BrokerSession& SessionFor(const CString& toolFolder) {
  static std::mutex lock;
  static std::map<std::string, std::unique_ptr<BrokerSession>> sessions;
  std::lock_guard<std::mutex> hold(lock);
  CString key = toolFolder;
  key.MakeLower();
  std::unique_ptr<BrokerSession>& session = sessions[key.c_str()];
  if (!session) session.reset(new BrokerSession(toolFolder));
  return *session;
}

// The broker carries out a tool's launcher request only; the tool is the one whose application
// folder the request names.
int ExecuteLauncherThroughBroker(const RIGHTREQUEST& r, int* result) {
  CString appFolder, command;
  if (!r.strFunction.IsEmpty() || !ParseLauncherLine(r.strLibrary, appFolder, command)) return 0;
  int slash = appFolder.ReverseFind('\\');
  if (slash <= 0) return 0;
  return ExecuteThroughBroker(appFolder.Left(slash), r, result);
}

}  // namespace

BOOL TestUserIsAdmin() {
  if (g_adminOverride >= 0) return g_adminOverride;
  LibraryHandle shell(LoadLibraryA("shell32.dll"));
  if (!shell) return TRUE;
  auto isAdmin = GetProc<BOOL(WINAPI*)()>(shell.get(), "IsUserAnAdmin");
  if (!isAdmin) isAdmin = GetProc<BOOL(WINAPI*)()>(shell.get(), MAKEINTRESOURCEA(680));
  return isAdmin && isAdmin() == 1;
}

BOOL IsUserAdminCached() {
  if (g_adminOverride >= 0) return g_adminOverride;
  if (g_adminCache < 0) g_adminCache = TestUserIsAdmin() ? 1 : 0;
  return g_adminCache;
}

void SetUserAdminForTest(int isAdmin) { g_adminOverride = isAdmin; }

int ExecuteRequest(RIGHTREQUEST& request, int* result, int direct) {
  if (direct || IsUserAdminCached()) return ExecuteDirect(request, result);
  return ExecuteLauncherThroughBroker(request, result);
}

int ExecuteSwapRequest(RIGHTREQUEST& request) {
  if (IsUserAdminCached()) return ExecuteDirect(request, nullptr);
  return ExecuteLauncherThroughBroker(request, nullptr);
}

int ExecuteThroughBroker(const CString& toolFolder, const RIGHTREQUEST& request, int* exitCode) {
  if (!SystemCanRunBroker()) {
    CString text;
    text.LoadString(IDS_SYSTEM_TOO_OLD);
    MessageBoxA(nullptr, text, GetCaptionText(IDS_CAPTION), MB_OK | MB_ICONERROR);
    return 0;
  }
  DWORD code = 0;
  bool success = SessionFor(toolFolder).Execute(request, code);
  if (exitCode) *exitCode = static_cast<int>(code);
  return success ? 1 : 0;
}

RIGHTREQUEST LauncherRequest(const CString& appFolder, const char* command) {
  RIGHTREQUEST r;
  r.strLibrary = "\"" + appFolder + "\\" + kLauncherProgram + "\" " + command;
  r.strEnvironment = CurrentEnvironmentText();
  r.bWait = TRUE;
  return r;
}

CString CurrentEnvironmentText() {
  CString text;
  char* env = GetEnvironmentStringsA();
  if (!env) return text;
  for (const char* p = env; *p; p += lstrlenA(p) + 1) {
    text += p;
    text += "\r\n";
  }
  FreeEnvironmentStringsA(env);
  return text;
}

CString EscapeEnvironment(const CString& text) {
  CString t = text;
  t.Replace("\r\n", "\\r\\n");
  t.Replace("\n", "\\r\\n");
  return t;
}

CString UnescapeEnvironment(const CString& text) {
  CString t = text;
  t.Replace("\\r\\n", "\r\n");
  return t;
}
