// The tool's processes: starting its program through the host, ending every process the host
// claims for the tool (or handing the tool over to its surviving main process), and the texts
// of the runtime's questions.
#include "platform/framework/afx_module.h"
#include "platform/win/handles.h"
#include "resources/resource_ids.h"
#include "runtime/module_registry.h"
#include "runtime/tool_module.h"
#include "sysreg/common.h"

#include <tlhelp32.h>

CString CToolModule::GetMessageText(UINT id) {
  if (m_strName.IsEmpty()) m_strName.LoadString(IDS_DEFAULT_TOOL_NAME);
  CString text;
  text.LoadString(id);
  text.Replace("%s", m_strName);
  return text;
}

DWORD CToolModule::RunTool(const CString& target) {
  CString commandLine;
  void* environment = nullptr;
  auto r = static_cast<LONG>(GetToolRunInfo(commandLine, environment, target));
  if (r > TOOLRUN_START_MAX) return static_cast<DWORD>(r);  // the host started it: r is the process
  if (r >= TOOLRUN_START_MIN) return CCommon::ExecApp(commandLine, 0, environment);
  return 0;
}

int CToolModule::QuitTool(int checkMain, int ask) {
  CUIntArray processes, timeouts;
  CStringArray classes;
  {
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = snapshot && Process32First(snapshot.get(), &entry); more;
         more = Process32Next(snapshot.get(), &entry)) {
      CString windowClass;
      UINT timeout = 0;
      int mainProcess = 0;
      if (GetToolExitInfo(entry.th32ProcessID, entry.szExeFile, windowClass, timeout, mainProcess)) {
        processes.Add(entry.th32ProcessID);
        classes.Add(windowClass);
        timeouts.Add(timeout);
      }
      if (checkMain && mainProcess) {
        // A main process of the tool survives: it takes the tool over and nothing is ended.
        if (m_pRuntimeInfo) m_pRuntimeInfo->dwProcessId = entry.th32ProcessID;
        SignalToolMonitor();
        return 0;
      }
    }
  }

  if (processes.GetSize() > 0 && ask && AfxMessageBox(GetMessageText(IDS_QUIT_TOOL), MB_YESNO) == IDNO)
    return 0;

  if (m_pRuntimeInfo) {
    m_pRuntimeInfo->dwProcessId = 0;
    ClearToolState(m_pRuntimeInfo, TOOLSTATE_APP);
  }
  for (int i = 0; i < processes.GetSize(); ++i)
    CCommon::ExitApp(processes[i], classes[i], static_cast<int>(timeouts[i]));
  return 1;
}
