// The tool's swap state, kept in Config.ini section "Tool":
//   Status   empty: the registration folder is not set up; "off": set up, swapped out;
//            "on": swapped in (compared ignoring case)
//   Install  the application folder the registrations were swapped in from
// and the four operations that move it. The ask flag lets them question the user and show
// progress captions. When the tool needs administrator rights that the user lacks, the swap is
// handed to the rights broker, which runs this tool's launcher elevated with /install or
// /uninstall; that launcher then comes back here with the rights it needs.
#include "platform/framework/afx_module.h"
#include "platform/services/xfs_operation.h"
#include "resources/resource_ids.h"
#include "runtime/tool_module.h"
#include "swap/right_request.h"

#include <shlwapi.h>

namespace {

bool IsStatus(const CString& status, const char* word) { return status.CompareNoCase(word) == 0; }

bool AskYesNo(const CString& text) { return AfxMessageBox(text, MB_YESNO) == IDYES; }

void RunFileOperation(UINT code, const CString& from, const CString& to, UINT captionId) {
  CXFSOperation op;
  op.m_nOperation = code;
  if (captionId) op.m_strTitle.LoadString(captionId);
  op.m_strSource = from;
  op.m_strTarget = to;
  op.Execute();
}

}  // namespace

int CToolModule::SwapNewModule(int ask) {
  CString status = GetINIString("Tool", "Status");
  if (ask && !status.IsEmpty() && !AskYesNo(GetMessageText(IDS_SETUP_AGAIN))) return 0;
  SwapDeleteModule(0);
  if (PathFileExistsA(m_strPath + "\\template"))
    RunFileOperation(CXFSOperation::kCopy, m_strPath + "\\template\\*.*", m_strMyPath, ask ? IDS_PROGRESS_COPY : 0);
  ImportTool();
  SetINIString("Tool", "Status", "off");
  return 1;
}

int CToolModule::SwapReplaceModule(int ask) {
  if (GetINIString("Tool", "Status").IsEmpty() && !SwapNewModule(1)) return 0;

  if (IsStatus(GetINIString("Tool", "Status"), "on")) {
    if (m_bSystem || !m_bMobile) {
      if (m_strPath.CompareNoCase(GetINIString("Tool", "Install")) == 0) return 1;
      SwapRestoreModule(0);
    }
    if (IsStatus(GetINIString("Tool", "Status"), "on")) {
      if (ask && AskYesNo(GetMessageText(IDS_SWAP_STILL_ACTIVE))) return 1;
      // Installing afresh puts the machine back from the backup first, dropping what the tool
      // left on it: a swap in over the tool's registrations would take them for what the machine
      // had, and what it really had would be lost. With the broker, the swap out does it.
      if (m_bNeedAdmin && !TestUserIsAdmin() ? !SwapRestoreModule(0) : !DiscardSwap()) return 0;
    }
  }
  if (!IsStatus(GetINIString("Tool", "Status"), "off")) return 0;

  if (m_bNeedAdmin && !TestUserIsAdmin()) {
    RIGHTREQUEST request = LauncherRequest(m_strPath, "/install");
    return ExecuteSwapRequest(request) && IsStatus(GetINIString("Tool", "Status"), "on");
  }
  if (!BackupTool()) return 0;
  SetINIString("Tool", "Install", m_strPath);
  SetINIString("Tool", "Status", "on");
  return 1;
}

int CToolModule::SwapRestoreModule(int /*ask*/) {
  if (!IsStatus(GetINIString("Tool", "Status"), "on")) return 0;
  if (!m_bMobile && m_strPath.CompareNoCase(GetINIString("Tool", "Install")) == 0) return 1;

  if (m_bNeedAdmin && !TestUserIsAdmin()) {
    RIGHTREQUEST request = LauncherRequest(m_strPath, "/uninstall");
    return ExecuteRequest(request, nullptr, 0) && IsStatus(GetINIString("Tool", "Status"), "off");
  }
  if (!RestoreTool()) return 0;
  SetINIString("Tool", "Status", "off");
  return 1;
}

int CToolModule::SwapDeleteModule(int ask) {
  SwapRestoreModule(0);
  if (ask && !AskYesNo(GetMessageText(IDS_REMOVE_REGISTRATIONS))) return 0;
  RunFileOperation(CXFSOperation::kDelete, m_strMyPath + "\\*.*", CString(), ask ? IDS_PROGRESS_DELETE : 0);
  SetINIString("Tool", "Status", "");
  return 1;
}
