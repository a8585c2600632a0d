// Loading a tool (gadget, plug-in page or application, tried in that order of fallback) and
// unloading it. Both frame their work with the host's hooks and move the tool's record in the
// running-tool table:
//   claimed -> registrations swapped in -> GADGET / PLUGIN / APP bits -> APP cleared when the
//   tool's processes end -> no bit left: registrations swapped out (unless a system tool) and
//   the record released.
#include "platform/win/handles.h"
#include "runtime/host_hooks.h"
#include "runtime/module_registry.h"
#include "runtime/plugin_page.h"
#include "runtime/tool_module.h"
#include "update/update_worker.h"

#include <shlwapi.h>

namespace {

bool IsMode(const CString& mode, const char* kind) { return mode.CompareNoCase(kind) == 0; }

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
      SetToolState(m_pRuntimeInfo, TOOLSTATE_GADGET);
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
        SetToolState(m_pRuntimeInfo, TOOLSTATE_PLUGIN);
      }
    }
  }
  if (IsMode(mode, "app")) {
    if (DWORD process = RunTool(target)) {
      result = 1;
      SetToolState(m_pRuntimeInfo, TOOLSTATE_APP);
      m_pRuntimeInfo->dwProcessId = process;
      SignalToolMonitor();
      m_bAppStarted = TRUE;
      if (m_pParam) m_pParam->mapParam[RUNTIME_KEY_RUNSUCCEED] = "yes";
      StartUpdateWorker(*this);  // only when the tool names a feed
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
