// The host's exports (catalogue_api.h). Each holds the library lock while it runs, except
// CanUnloadNow, and answers its failure value when anything inside throws.
#include "catalogue/catalogue_api.h"

#include "catalogue/open_tool_payload.h"
#include "catalogue/settings_tree.h"
#include "catalogue/tool_app.h"
#include "catalogue/tool_image.h"
#include "catalogue/tool_wnd.h"
#include "platform/services/dll_lock.h"
#include "runtime/export_guard.h"
#include "runtime/shared_data.h"

namespace {

// Runs a catalogue operation of the application object under the library lock; 0 without one.
template <typename Body>
int WithApp(Body body) {
  return GuardedExport(0, [&] {
    CDllLock::CAutoLock lock(GetDllLock());
    CToolApp* app = GetToolApp();
    return app ? body(*app) : 0;
  });
}

}  // namespace

extern "C" void __cdecl LoadApp() {
  GuardedExport(0, [] {
    CDllLock::CAutoLock lock(GetDllLock());
    if (GetToolApp() || PlatformSettingsUnreadable()) return 0;
    auto* app = new CToolApp;
    SetToolApp(app);
    auto* window = new CToolWnd;
    if (window->Create(nullptr)) {
      ShowWindow(window->GetSafeHwnd(), SW_HIDE);
      app->m_pWnd = window;
    } else {
      delete window;
    }
    if (CDllLock* libraryLock = GetDllLock()) libraryLock->AddExcludeHwnd(app->GetHwnd());
    app->RecoverTools();
    return 1;
  });
}

extern "C" void __cdecl UnLoadApp() {
  GuardedExport(0, [] {
    CDllLock::CAutoLock lock(GetDllLock());
    CToolApp* app = GetToolApp();
    delete app;  // the window's OnDestroy still finds it
    SetToolApp(nullptr);
    return 1;
  });
}

extern "C" void __cdecl ShowApp() {
  GuardedExport(0, [] {
    CDllLock::CAutoLock lock(GetDllLock());
    return 1;
  });
}

extern "C" int __cdecl CanUnloadNow() {
  return GuardedExport(0, [] {
    if (GetToolApp())
      for (const TOOLRUNTIMEINFO& record : SharedToolData().tools)
        if (record.szName[0]) return 0;
    CDllLock* lock = GetDllLock();
    return lock ? lock->DllCanUnloadNow() : 1;
  });
}

extern "C" int __cdecl DllOpenTool(const char* dataId, const char* arg1, const char* arg2) {
  return GuardedExport(0, [&]() -> int {
    CDllLock::CAutoLock lock(GetDllLock());
    HWND main = SharedToolData().hMainWnd;
    if (!main) return 0;
    CToolApp* app = GetToolApp();
    if (!app || app->GetHwnd() != main) {
      std::vector<char> payload = BuildOpenToolPayload(dataId, arg1, arg2);
      COPYDATASTRUCT data = {kOpenToolRequest, static_cast<DWORD>(payload.size()), payload.data()};
      return static_cast<int>(SendMessageA(main, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)));
    }
    CVFDLNode* node = app->FindToolByDataId(dataId ? dataId : "");
    return node ? app->LoadTool(node, 1, arg1 ? arg1 : "", arg2 ? arg2 : "") : 0;
  });
}

extern "C" int __cdecl DllLoadAllTools(int manual) {
  return WithApp([&](CToolApp& app) { return app.LoadAllTools(manual); });
}

extern "C" int __cdecl DllLoadTools(CVFDLNode* node, int manual, const CString& arg1, const CString& arg2) {
  return WithApp([&](CToolApp& app) { return app.LoadTool(node, manual, arg1, arg2); });
}

extern "C" int __cdecl DllUnloadAllTools(int manual) {
  return WithApp([&](CToolApp& app) { return app.UnloadAllTools(manual); });
}

extern "C" int __cdecl DllUnloadTools(CVFDLNode* node, int manual) {
  return WithApp([&](CToolApp& app) { return app.UnloadTool(node, manual); });
}

extern "C" int __cdecl DllUpdateTools(CVFDLNode* node) {
  return WithApp([&](CToolApp& app) { return app.UpdateTool(node); });
}

extern "C" int __cdecl DllIsToolsLoaded(CVFDLNode* node) {
  return WithApp([&](CToolApp& app) { return app.IsToolLoaded(node); });
}

extern "C" int __cdecl DllGetToolsImage(CVFDLNode* node) {
  return GuardedExport(-1, [&] {
    CDllLock::CAutoLock lock(GetDllLock());
    return GetToolImage(node);
  });
}
