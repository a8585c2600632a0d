// What a start of the tool does first: a swap that the journal shows unfinished (the launcher was
// killed, the machine lost power) is completed or undone before anything else, and without a
// question, since the journal says what happened; and the check that no other tool of the
// platform holds the items a swap in would take.
#include "platform/win/handles.h"
#include "resources/resource_ids.h"
#include "runtime/tool_module.h"
#include "swap/right_request.h"
#include "swap/swap_journal.h"
#include "swap/swap_log.h"
#include "swap/sys_reg_doc.h"

#include <shlwapi.h>

#include <memory>

namespace {

const char kDocumentName[] = "\\install.xml";

CString ParentOf(const CString& path) {
  int slash = path.ReverseFind('\\');
  return slash > 0 ? path.Left(slash) : CString();
}

bool IsOn(const CString& status) { return status.CompareNoCase("on") == 0; }

}  // namespace

int CToolModule::RecoverSwap(bool commandSwapsOut) {
  SwapJournal journal(m_strSwapPath);
  if (!PathFileExistsA(journal.Path())) return 1;  // never swapped by this runtime
  SwapJournalState state = journal.Read();
  CString status = GetINIString("Tool", "Status");
  switch (state.phase) {
    case SwapPhase::Idle:  // the swap out ended before its status was written
      if (IsOn(status)) SetINIString("Tool", "Status", "off");
      return 1;
    case SwapPhase::In:  // the swap in ended before its status was written
      if (!IsOn(status)) {
        SetINIString("Tool", "Install", m_strPath);
        SetINIString("Tool", "Status", "on");
      }
      return 1;
    case SwapPhase::OutCapturing:
    case SwapPhase::OutWriting:
      if (commandSwapsOut && IsOn(status)) return 1;
      break;
    default:
      break;
  }
  // The machine is changed back: with the rights that takes.
  if (m_bNeedAdmin && !TestUserIsAdmin()) {
    RIGHTREQUEST request = LauncherRequest(m_strPath, "/uninstall");
    return ExecuteSwapRequest(request) && !SwapJournal::Unfinished(journal.Read().phase);
  }
  int done;
  if (state.phase == SwapPhase::OutCapturing) {
    done = RestoreTool();  // nothing was changed: the swap out runs again, whole
  } else {
    std::unique_ptr<CSysRegDoc> backup(GetSysRegDoc(m_strBackPath + kDocumentName));
    done = backup && PutMachineBack(*backup, state.phase == SwapPhase::InClearing ? "recovery: swap in undone"
                                                                                   : "recovery: swap out finished");
  }
  if (done) SetINIString("Tool", "Status", "off");
  return done;
}

CString CToolModule::ToolHoldingItems(const std::vector<std::string>& items) {
  // <platform>\App\Tools\<tool>\Swap: the other tools are the siblings of this tool's folder.
  CString ownTool = ParentOf(m_strSwapPath);
  CString tools = ParentOf(ownTool);
  if (tools.IsEmpty()) return CString();
  WIN32_FIND_DATAA found;
  FindHandle search(FindFirstFileA(tools + "\\*", &found));
  for (BOOL more = search.valid(); more; more = FindNextFileA(search.get(), &found)) {
    CString name = found.cFileName;
    CString tool = tools + "\\" + name;
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name == "." || name == ".." ||
        tool.CompareNoCase(ownTool) == 0)
      continue;
    SwapJournalState other = SwapJournal(tool + "\\Swap").Read();
    if (other.phase == SwapPhase::Idle) continue;
    for (const std::string& held : other.items)
      for (const std::string& wanted : items)
        if (ItemsOverlap(held, wanted)) {
          char id[MAX_PATH] = "";
          GetPrivateProfileStringA("Tool", "ID", name, id, sizeof id, tool + "\\Swap\\Config.ini");
          return id;
        }
  }
  return CString();
}
