#include "swap/right_request.h"

#include "platform/framework/afx_module.h"
#include "platform/win/handles.h"
#include "platform/services/tool_layout.h"
#include "platform/win/named_objects.h"
#include "resources/resource_ids.h"
#include "platform/win/lib_folder.h"
#include "sysreg/progress_dlg.h"

#include <objbase.h>
#include <shellapi.h>

#include <cstdlib>
#include <vector>

namespace {

const char kBrokerProgram[] = "QORRIGHT.exe";
const int kAnswerPolls = 50;
const DWORD kPollMs = 100;
const DWORD kCreatorWaitMs = 30000;

int g_adminCache = -1;     // -1 until the first test
int g_adminOverride = -1;  // set by tests only: Wine always answers "administrator"

CString ReadKey(const CString& file, const CString& section, const char* key) {
  RequestFileLock lock;
  char buf[MAX_PATH] = "";
  GetPrivateProfileStringA(section, key, "", buf, sizeof buf, file);
  return buf;
}

// Windows NT 5.1 or later. The extended version record is asked for first; systems that do not
// know it answer with the plain one.
bool IsXpOrLater() {
  static OSVERSIONINFOEXA version = {};
  if (version.dwOSVersionInfoSize == 0) {
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version))) {
      version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
      GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version));
    }
  }
  return version.dwPlatformId == VER_PLATFORM_WIN32_NT &&
         (version.dwMajorVersion > 5 || (version.dwMajorVersion == 5 && version.dwMinorVersion >= 1));
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

// Hands the request to the broker and polls for its answer. readResult: copy "result" out.
int ExecuteThroughBroker(RIGHTREQUEST& r, int* result, bool readResult) {
  if (!IsXpOrLater()) {
    CString text;
    text.LoadString(IDS_SYSTEM_TOO_OLD);
    MessageBoxA(nullptr, text, GetCaptionText(IDS_CAPTION), MB_OK | MB_ICONERROR);
    return 0;
  }
  UniqueHandle event(OpenRequestEvent(kBrokerProgram, 1));
  if (!event) return 0;
  CString section = WriteRequest(r);
  SetEvent(event.get());
  event.reset();
  CString file = GetRequestFile();
  for (int i = 0; i < kAnswerPolls; ++i) {
    CString status = ReadKey(file, section, "status");
    if (status == "success") {
      if (readResult && result) *result = atoi(ReadKey(file, section, "result"));
      return 1;
    }
    if (status == "error") return 0;
    Sleep(kPollMs);
  }
  return 0;
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
  return ExecuteThroughBroker(request, result, true);
}

int ExecuteSwapRequest(RIGHTREQUEST& request) {
  if (IsUserAdminCached()) return ExecuteDirect(request, nullptr);
  return ExecuteThroughBroker(request, nullptr, false);
}

HANDLE OpenRequestEvent(const char* brokerProgram, int launch) {
  HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, kRightRequestEvent);
  if (event || !launch) return event;

  OpenSecurityAttributes security(true);
  UniqueHandle creator(CreateEventA(security.get(), TRUE, FALSE, kRightCreatorEvent));
  if (!creator) return nullptr;
  if (GetLastError() != ERROR_ALREADY_EXISTS) {
    // This caller launches the broker; the others wait for the creator event below.
    UniqueHandle thread(AfxBeginThread(LaunchBroker, const_cast<char*>(brokerProgram)));
    if (thread) WaitForSingleObject(thread.get(), INFINITE);
    SetEvent(creator.get());
  } else {
    WaitForSingleObject(creator.get(), kCreatorWaitMs);
  }
  return OpenEventA(EVENT_MODIFY_STATE, FALSE, kRightRequestEvent);
}

CString GetRequestFile() { return PlatformFolder() + "\\data\\right.ini"; }

CString WriteRequest(const RIGHTREQUEST& r) {
  CString file = GetRequestFile();
  CreateDirectoryA(PlatformFolder() + "\\data", nullptr);
  // The tick count alone gives two callers of the same millisecond the same section; the
  // process and thread make their draws differ. The draw and the first write happen under the
  // file's lock, so no two callers claim one section.
  srand(GetTickCount() ^ (GetCurrentProcessId() << 16) ^ GetCurrentThreadId());
  RequestFileLock lock;
  CString section;
  do {
    section.Format("%06x", rand());
  } while (!ReadKey(file, section, "status").IsEmpty());

  auto put = [&](const char* key, const CString& value) {
    if (!value.IsEmpty()) WritePrivateProfileStringA(section, key, value, file);
  };
  WritePrivateProfileStringA(section, "status", "init", file);
  put("library", r.strLibrary);
  put("function", r.strFunction);
  put("workdir", r.strWorkDir);
  put("wait", r.bWait ? "yes" : "");
  put("stdcall", r.bStdCall ? "yes" : "");
  put("com", r.bCom ? "yes" : "");
  put("environment", EscapeEnvironment(r.strEnvironment));
  WritePrivateProfileStringA(section, "status", "ready", file);
  return section;
}

RequestFileLock::RequestFileLock() : m_mutex(nullptr), m_owned(false) {
  OpenSecurityAttributes security(true);
  m_mutex = CreateMutexA(security.get(), FALSE, kRightFileMutex);
  if (m_mutex) {
    DWORD r = WaitForSingleObject(m_mutex, 5000);
    m_owned = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
  }
}

RequestFileLock::~RequestFileLock() {
  if (m_owned) ReleaseMutex(m_mutex);
  if (m_mutex) CloseHandle(m_mutex);
}

UINT __cdecl LaunchBroker(void* brokerProgram) {
  CString text;
  text.LoadString(IDS_CONSENT_FOLLOWS);
  MessageBoxA(nullptr, text, GetCaptionText(IDS_CAPTION), MB_OK | MB_ICONINFORMATION);
  HINSTANCE started = ShellExecuteA(nullptr, "runas", static_cast<const char*>(brokerProgram), "",
                                    GetLibFolder(), SW_HIDE);
  if (reinterpret_cast<INT_PTR>(started) > 32) {
    for (int i = 0; i < kAnswerPolls; ++i) {
      UniqueHandle event(OpenEventA(SYNCHRONIZE, FALSE, kRightRequestEvent));
      if (event) break;
      Sleep(kPollMs);
    }
  }
  return 0;
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

RIGHTREQUEST ReadRequest(const CString& file, const CString& section) {
  RequestFileLock lock;
  RIGHTREQUEST r;
  r.strLibrary = ReadKey(file, section, "library");
  r.strFunction = ReadKey(file, section, "function");
  r.strWorkDir = ReadKey(file, section, "workdir");
  // The environment can be far longer than the other keys.
  std::vector<char> env(65536);
  GetPrivateProfileStringA(section, "environment", "", env.data(), static_cast<DWORD>(env.size()), file);
  r.strEnvironment = UnescapeEnvironment(env.data());
  r.bWait = ReadKey(file, section, "wait").CompareNoCase("yes") == 0;
  r.bStdCall = ReadKey(file, section, "stdcall").CompareNoCase("yes") == 0;
  r.bCom = ReadKey(file, section, "com").CompareNoCase("yes") == 0;
  return r;
}
