#include "resident_host.h"

#include "host_catalogue.h"
#include "host_protocol.h"

#include <cstdio>

namespace {

// One resident host per machine: the running-tool table and the main window are machine-wide.
const char kResidentMutex[] = "velmora.qor.host.resident";
// How long an unload of a removed tool may take before the removal gives up.
const DWORD kUnloadWaitMs = 60000;

HostCatalogue* g_catalogue = nullptr;
HWND g_window = nullptr;

void Print(const VerbResult& r) {
  fputs(r.out.c_str(), stdout);
  fputs(r.err.c_str(), stderr);
  fflush(stdout);
}

// Runs this thread's messages until the condition holds or the time is up.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  for (DWORD start = GetTickCount(); !condition(); MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT)) {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    if (GetTickCount() - start >= timeoutMs) return condition();
  }
  return true;
}

bool UnloadAndWait(CVFDLNode* node) {
  CString id = static_cast<CVFDLRec*>(node->GetData())->GetVarValue("dataid");
  DllUnloadTools(node, 1);
  return PumpUntil([&] { return !IsLoaded(id); }, kUnloadWaitMs);
}

VerbResult Handle(const std::vector<std::string>& words) {
  const std::string& verb = words[0];
  const std::string arg = words.size() > 1 ? words[1] : std::string();
  if (verb == "list") return g_catalogue->List();
  if (verb == "add") return g_catalogue->Add(arg);
  if (verb == "remove") return g_catalogue->Remove(arg, UnloadAndWait);
  if (verb == "stop") {
    PostMessageA(g_window, WM_CLOSE, 0, 0);
    return VerbResult{0, "stopping\n", std::string()};
  }
  CVFDLNode* node = g_catalogue->Find(arg);
  if (!node) return Failure("The catalogue holds no tool " + arg + ".");
  if (verb == "unload") {
    DllUnloadTools(node, 1);  // a tool that is not loaded counts as unloaded
    return VerbResult{0, "unloading\t" + arg + "\n", ""};
  }
  if (verb == "update")
    return DllUpdateTools(node) ? VerbResult{0, "updated\t" + arg + "\n", ""}
                                : Failure("The update of " + arg + " could not be started.");
  return Failure("The host does not know the request " + verb + ".");
}

LRESULT CALLBACK HostProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COPYDATA: {
      auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
      std::vector<std::string> words;
      if (data->dwData != kHostRequest || !DecodeWords(data->lpData, data->cbData, words)) return 2;
      VerbResult r = Handle(words);
      ReplyToClient(reinterpret_cast<HWND>(wp), r.out + r.err);
      return r.code;
    }
    case WM_CLOSE:
      UnLoadApp();  // unloads every tool and saves the launch counts
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, msg, wp, lp);
  }
}

BOOL WINAPI OnConsoleControl(DWORD) {
  PostMessageA(g_window, WM_CLOSE, 0, 0);
  return TRUE;
}

}  // namespace

int RunResidentHost(const std::string& platformRoot) {
  UniqueHandle resident(CreateMutexA(nullptr, FALSE, kResidentMutex));
  if (!resident || GetLastError() == ERROR_ALREADY_EXISTS || FindResidentHost()) {
    Print(Failure("A host is already running on this machine; this one ends."));
    return 1;
  }
  HostCatalogue catalogue(platformRoot);
  std::string problem;
  if (!catalogue.Open(problem)) {
    Print(Failure(problem));
    return 1;
  }
  g_catalogue = &catalogue;
  // The platform's strings and dialogs (the hidden window's template among them).
  LibraryHandle resources(LoadLibraryA(GetLibFolder() + "\\Parlance10.dll"));
  AfxAddResourceChain(resources.get());

  WNDCLASSA wc = {};
  wc.lpfnWndProc = HostProc;
  wc.lpszClassName = kHostWindowClass;
  RegisterClassA(&wc);
  g_window = CreateWindowA(kHostWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  if (!g_window) {
    Print(Failure("The host cannot open its window (is there a display?)."));
    return 1;
  }
  CAFS::m_pthis->m_hNotifyWnd = g_window;
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  LoadApp();
  DllLoadAllTools(0);
  SetWindowTextA(g_window, kHostWindowTitle);  // found by clients from now on
  printf("host: running for %s\n", platformRoot.c_str());
  fflush(stdout);

  MSG m;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
  AfxRemoveResourceChain(resources.get());
  g_catalogue = nullptr;
  printf("host: stopped\n");
  return 0;
}
