// Loading a tool (gadget, plug-in page or application, tried in that order of fallback) and
// unloading it. Both frame their work with the host's hooks and move the tool's record in the
// running-tool table:
//   claimed -> registrations swapped in -> GADGET / PLUGIN / APP bits -> APP cleared when the
//   tool's processes end -> no bit left: registrations swapped out (unless a system tool) and
//   the record released.
#include "platform/handles.h"
#include "platform/xconfig.h"
#include "runtime/host_hooks.h"
#include "runtime/module_registry.h"
#include "runtime/tool_module.h"

#include <comdef.h>
#include <exdisp.h>
#include <shlwapi.h>

namespace {

const char kMonitorEvent[] = "velmora.qor.tool.moniter";
const CLSID kInternetExplorer = {0x0002DF01, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kWebBrowser2 = {0xD30C1661, 0xCDAF, 0x11D0, {0x8A, 0x3E, 0x00, 0xC0, 0x4F, 0xC9, 0xE2, 0x6E}};

bool IsMode(const CString& mode, const char* kind) { return mode.CompareNoCase(kind) == 0; }

template <typename T>
struct ComRelease {
  T* p = nullptr;
  ~ComRelease() {
    if (p) p->Release();
  }
};

BSTR ToBstr(const CString& text) {
  int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  BSTR b = SysAllocStringLen(nullptr, n > 0 ? n - 1 : 0);
  if (b && n > 0) MultiByteToWideChar(CP_ACP, 0, text, -1, b, n);
  return b;
}

// Opens the page in a browser window of its own; the process that owns that window, or 0.
// A browser object that cannot be created raises _com_error (COM stays initialised then).
DWORD OpenPluginPage(const CString& page, const CString& target) {
  CoInitialize(nullptr);
  ComRelease<IUnknown> unknown;
  HRESULT hr = CoCreateInstance(kInternetExplorer, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER,
                                IID_IUnknown, reinterpret_cast<void**>(&unknown.p));
  if (SUCCEEDED(hr)) hr = OleRun(unknown.p);
  if (FAILED(hr)) throw _com_error(hr);
  ComRelease<IWebBrowser2> browser;
  if (FAILED(unknown.p->QueryInterface(kWebBrowser2, reinterpret_cast<void**>(&browser.p))) || !browser.p)
    throw _com_error(E_POINTER);

  SHANDLE_PTR window = 0;
  browser.p->get_HWND(&window);
  VARIANT url, empty;
  VariantInit(&url);
  VariantInit(&empty);
  url.vt = VT_BSTR;
  url.bstrVal = ToBstr(page + "#" + CXConfig::URLEncode(target));
  browser.p->Navigate2(&url, &empty, &empty, &empty, &empty);
  VariantClear(&url);
  browser.p->put_Visible(VARIANT_TRUE);
  DWORD process = 0;
  GetWindowThreadProcessId(reinterpret_cast<HWND>(window), &process);
  browser.p->Release();
  browser.p = nullptr;
  unknown.p->Release();
  unknown.p = nullptr;
  CoUninitialize();
  return process;
}

bool ProcessAlive(DWORD processId) {
  if (!processId) return false;
  UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
  return process.valid();
}

}  // namespace

int CToolModule::LoadModule(const CString& targetIn, const CString& modeIn) {
  if (!m_pRuntimeInfo) return 0;
  CString target = targetIn, mode = modeIn;
  if (!AskHook(m_pParam, "LoadModuleBefore", &target, &mode)) return 0;

  if ((m_pRuntimeInfo->dwState & TOOLSTATE_LOADED_MASK) == 0) {
    if (!QuitTool(0, 1)) return 0;
    if (!SwapReplaceModule(1)) {
      UnloadModule();
      return 0;
    }
  }

  int result = 0;
  if (IsMode(mode, "gadget")) {
    if (PathFileExistsA(m_strPath + "\\Gadget")) {
      result = 1;
      m_pRuntimeInfo->dwState |= TOOLSTATE_GADGET;
    } else {
      mode = "plugin";
    }
  }
  if (IsMode(mode, "plugin")) {
    if (!PathFileExistsA(m_strPath + "\\Plugin")) {
      mode = "app";
    } else {
      CString page = m_strPath + "\\Plugin\\index.htm";
      if (!PathFileExistsA(page)) page = m_strPath + "\\Plugin\\index.html";
      if (OpenPluginPage(page, target)) {
        result = 1;
        m_pRuntimeInfo->dwState |= TOOLSTATE_PLUGIN;
      }
    }
  }
  if (IsMode(mode, "app")) {
    if (DWORD process = RunTool(target)) {
      result = 1;
      m_pRuntimeInfo->dwState |= TOOLSTATE_APP;
      m_pRuntimeInfo->dwProcessId = process;
      UniqueHandle monitor(OpenEventA(EVENT_MODIFY_STATE, FALSE, kMonitorEvent));
      if (monitor) SetEvent(monitor.get());
      m_bAppStarted = TRUE;
      if (m_pParam) m_pParam->mapParam[RUNTIME_KEY_RUNSUCCEED] = "yes";
    }
  }

  if (!result || !AskHook(m_pParam, "LoadModuleAfter", &target, &mode)) {
    UnloadModule();
    return 0;
  }
  return 1;
}

int CToolModule::UnloadModule() {
  if (!m_pRuntimeInfo) return 0;
  if (!AskHook(m_pParam, "UnloadModuleBefore")) return 0;

  // A surviving main process may keep the tool loaded only where no platform window watches
  // the tool's process, or the recorded process is already gone.
  bool hasMainWindow = SharedToolData().hMainWnd != nullptr;
  int checkMain = hasMainWindow ? !ProcessAlive(m_pRuntimeInfo->dwProcessId) : m_bSystem;
  int r = QuitTool(checkMain, 0);
  if (!r) return 0;

  DWORD remaining = m_pRuntimeInfo->dwState & TOOLSTATE_LOADED_MASK;
  if (!hasMainWindow && !m_bSystem) remaining = 0;
  if (!remaining && !m_bSystem) SwapRestoreModule(1);
  if (!AskHook(m_pParam, "UnloadModuleAfter")) r = 0;
  if (!remaining) {
    ReleaseRunningTool(m_pRuntimeInfo);
    m_pRuntimeInfo = nullptr;
  }
  return r;
}
