// The virtual operations of CToolModule that only forward to the host's hooks.
#include "runtime/host_hooks.h"
#include "runtime/shared_data.h"
#include "runtime/tool_module.h"

int CToolModule::CheckVersion(const OSVERSIONINFOEXA& version) {
  return AskHook(m_pParam, "CheckVersion", &version);
}

int CToolModule::ParseParameter(const CString& item) { return AskHook(m_pParam, "ParseParameter", &item); }

int CToolModule::UpdateModule(const CString& package, const CString& version) {
  // Updating a tool is the host's work; the runtime only frames it with the two hooks.
  if (!AskHook(m_pParam, "UpdateModuleBefore", &package, &version)) return 0;
  return AskHook(m_pParam, "UpdateModuleAfter", &package, &version);
}

int CToolModule::ImportTool() {
  if (!AskHook(m_pParam, "ImportToolBefore")) return 0;
  return AskHook(m_pParam, "ImportToolAfter");
}

DWORD CToolModule::GetToolRunInfo(CString& commandLine, void*& environment, const CString& target) {
  DWORD r = CallHook<DWORD>(m_pParam, "GetToolRunInfo", TOOLRUN_NONE, &commandLine, &environment, &target);
  if (r == TOOLRUN_MAIN_PROCESS) {
    // "The platform's main process runs it": the owner of the shared main window.
    DWORD mainProcess = 0;
    HWND mainWnd = SharedToolData().hMainWnd;
    if (mainWnd) GetWindowThreadProcessId(mainWnd, &mainProcess);
    r = mainProcess;
  }
  return r;
}

int CToolModule::GetToolExitInfo(DWORD processId, const CString& exeName, CString& windowClass, UINT& timeout,
                                 int& mainProcess) {
  return CallHook<int>(m_pParam, "GetToolExitInfo", 0, processId, &exeName, &windowClass, &timeout,
                       &mainProcess);
}

int CToolModule::DownloadCompleted(int success) { return AskHook(m_pParam, "DownloadCompleted", success); }
