// Swapping a tool package in and out between its two registration documents and the machine:
//   MySelf\install.xml   the tool's own registrations ("config" and "install")
//   Backup\install.xml   what the machine had before the tool was swapped in
//
// Every moment of a swap is recoverable (swap/swap_journal.h). The capture pass changes nothing;
// what the next step needs to undo or redo itself is saved durably before the machine changes:
//   swap in    capture -> backup saved -> journal "in-clearing" -> clear -> tool's registrations
//              written -> journal "in"
//   swap out   journal "out-capturing" -> capture into the tool's document -> document saved ->
//              journal "out-writing" -> clear -> backup written back -> journal "idle"
// A swap in that cannot clear or write an item is undone (the backup written back) and answers 0;
// a swap out whose write-back fails answers 0 and leaves the journal for the next try. Each swap
// leaves its counts and failures in the swap log.
#include "platform/framework/afx_module.h"
#include "platform/services/xfs_operation.h"
#include "resources/resource_ids.h"
#include "runtime/host_hooks.h"
#include "runtime/tool_module.h"
#include "swap/swap_journal.h"
#include "swap/swap_log.h"
#include "swap/swap_plan.h"
#include "swap/sys_reg_doc.h"

#include <shlwapi.h>

#include <memory>

namespace {

const char kDocumentName[] = "\\install.xml";

void FileOperation(int code, const CString& source, const CString& target) {
  CXFSOperation op;
  op.m_nOperation = code;
  op.m_strSource = source;
  op.m_strTarget = target;
  op.Execute();
}

// The two steps of opening a registration document. Read: loaded, or created when there is no
// file; null when the file is not a registration document we can read (malformed XML, not XML
// at all): no swap runs on it, so nothing on the machine is touched and the file is left as it
// is. With copyOf, the file is a copy of that document's and is read from its parsed text.
std::unique_ptr<CSysRegDoc> ReadRegistrationDoc(const CString& path, const CSysRegDoc* copyOf) {
  std::unique_ptr<CSysRegDoc> doc(new CSysRegDoc);
  int status = copyOf ? doc->LoadXMLDocCopy(path, *copyOf) : doc->LoadXMLDoc(path);
  if (status == CXMLDoc::LOAD_NO_FILE) {
    if (!doc->NewXMLDoc(path, 0, 0)) return nullptr;
  } else if (status != CXMLDoc::LOAD_DONE) {
    return nullptr;
  }
  return doc;
}

// Build: the tree made from what was read; the document is dropped when that fails.
void BuildRegistrationDoc(std::unique_ptr<CSysRegDoc>& doc) {
  if (doc && !doc->InitVFDLDoc(nullptr)) doc.reset();
}

// The failures of a report, a line each, as the user reads them.
CString FailureLines(const SwapReport& report) {
  CString lines;
  for (const SwapFailure& f : report.Failures(nullptr)) {
    CString why;
    if (f.error == ERROR_SHARING_VIOLATION || f.error == ERROR_LOCK_VIOLATION)
      why = AfxLoadResourceString(IDS_IN_USE);
    else
      why.Format("error %lu", f.error);
    lines += "\n" + f.item + ": " + why;
  }
  return lines;
}

void Tell(const CString& text) { AfxMessageBox(text, MB_OK | MB_ICONERROR); }

}  // namespace

CSysRegDoc* CToolModule::GetSysRegDoc(const CString& path) {
  std::unique_ptr<CSysRegDoc> doc = ReadRegistrationDoc(path, nullptr);
  BuildRegistrationDoc(doc);
  return doc.release();
}

int CToolModule::BackupTool() {
  if (!AskHook(m_pParam, "BackupToolBefore")) return 0;
  FileOperation(CXFSOperation::kDelete, m_strBackPath + "\\*.*", CString());
  FileOperation(CXFSOperation::kCopy, m_strMyPath + kDocumentName, m_strBackPath + kDocumentName);
  // The backup is opened as GetSysRegDoc opens it, from the tool's text already parsed when the
  // copy holds the same bytes.
  std::unique_ptr<CSysRegDoc> own = ReadRegistrationDoc(m_strMyPath + kDocumentName, nullptr);
  std::unique_ptr<CSysRegDoc> backup = ReadRegistrationDoc(m_strBackPath + kDocumentName, own.get());
  BuildRegistrationDoc(own);
  BuildRegistrationDoc(backup);
  int result = 0;
  if (own && backup) {
    result = SwapIn(*own, *backup);
  } else if (own) {
    // The backup folder could not take the document (the old backup in use, a folder where the
    // file goes): nothing has been changed, and the user learns where.
    RefuseBackup(*own);
  }
  own.reset();
  backup.reset();
  if (!AskHook(m_pParam, "BackupToolAfter")) result = 0;
  return result;
}

int CToolModule::SwapIn(CSysRegDoc& own, CSysRegDoc& backup) {
  SwapJournal journal(m_strSwapPath);
  own.m_bCheckReplace = 1;
  backup.m_bMachineBackup = 1;
  backup.SetAutoSaveFlag(0);
  backup.ResetSwap(nullptr, 0);
  SwapPlan plan;
  own.PlanSwap(nullptr, &backup, plan);  // nothing on the machine has changed yet
  std::vector<std::string> items = plan.JournalItems();
  CString holder = ToolHoldingItems(items);
  if (!holder.IsEmpty()) {
    AppendSwapLog(m_strSwapPath, "swap in refused: items held by " + holder, own.GetSwapReport());
    Tell(GetMessageText(IDS_ITEMS_HELD_ELSEWHERE) + "\n" + holder);
    return 0;
  }
  backup.SetAutoSaveFlag(1);
  if (!backup.SaveXMLDoc(0) || !journal.Write(SwapPhase::InClearing, items)) return RefuseBackup(own);
  bool done = own.ClearSwap(plan) && own.Restore(nullptr);
  if (done) {
    journal.Write(SwapPhase::In, items);
    AppendSwapLog(m_strSwapPath, "swap in", own.GetSwapReport());
    return 1;
  }
  // Undone: the tool's items off the machine again and the backup written back.
  CString failures = FailureLines(own.GetSwapReport());
  AppendSwapLog(m_strSwapPath, "swap in failed", own.GetSwapReport());
  PutMachineBack(backup, "swap in undone");
  Tell(GetMessageText(IDS_ITEMS_NOT_SWAPPED) + failures);
  return 0;
}

int CToolModule::RefuseBackup(CSysRegDoc& own) {
  AppendSwapLog(m_strSwapPath, "swap in refused: the backup cannot be written", own.GetSwapReport());
  Tell(GetMessageText(IDS_BACKUP_NOT_WRITTEN) + "\n" + m_strBackPath);
  return 0;
}

int CToolModule::RestoreTool() {
  if (!AskHook(m_pParam, "RestoreToolBefore")) return 0;
  std::unique_ptr<CSysRegDoc> own(GetSysRegDoc(m_strMyPath + kDocumentName));
  std::unique_ptr<CSysRegDoc> backup(GetSysRegDoc(m_strBackPath + kDocumentName));
  int result = own && backup ? SwapOut(*own, *backup) : 0;
  own.reset();
  backup.reset();
  if (!AskHook(m_pParam, "RestoreToolAfter")) result = 0;
  return result;
}

int CToolModule::SwapOut(CSysRegDoc& own, CSysRegDoc& backup) {
  SwapJournal journal(m_strSwapPath);
  SwapJournalState state = journal.Read();
  // An earlier try saved the tool's state and could not write everything back: only the
  // write-back is left (capturing now would take a half-restored machine for the tool's).
  if (state.phase == SwapPhase::OutWriting) return PutMachineBack(backup, "swap out finished");
  const std::vector<std::string>& items = state.items;
  if (!journal.Write(SwapPhase::OutCapturing, items)) {
    Tell(GetMessageText(IDS_TOOL_DOC_NOT_WRITTEN) + "\n" + m_strSwapPath);
    return 0;
  }
  own.m_bCheckReplace = 1;
  own.SetAutoSaveFlag(0);
  own.ResetSwap(nullptr, 1);
  SwapPlan plan;
  backup.PlanSwap(nullptr, &own, plan);  // the tool's state into its document; nothing changed yet
  own.SetAutoSaveFlag(1);
  if (!own.SaveXMLDoc(0) || !journal.Write(SwapPhase::OutWriting, items)) {
    AppendSwapLog(m_strSwapPath, "swap out stopped: the tool's document cannot be written", backup.GetSwapReport());
    Tell(GetMessageText(IDS_TOOL_DOC_NOT_WRITTEN) + "\n" + m_strMyPath);
    return 0;
  }
  bool cleared = backup.ClearSwap(plan);
  bool written = backup.Restore(nullptr);
  AppendSwapLog(m_strSwapPath, cleared && written ? "swap out" : "swap out failed", backup.GetSwapReport());
  if (!cleared || !written) return 0;  // the journal keeps the write-back for the next try
  journal.Write(SwapPhase::Idle, {});
  return 1;
}

int CToolModule::PutMachineBack(CSysRegDoc& backup, const CString& step) {
  backup.m_bCheckReplace = 0;  // its "config" names only what was swapped
  SwapPlan plan;
  backup.PlanSwap(nullptr, nullptr, plan);
  bool cleared = backup.ClearSwap(plan);
  bool written = backup.Restore(nullptr);
  AppendSwapLog(m_strSwapPath, cleared && written ? step : step + " failed", backup.GetSwapReport());
  return cleared && written && SwapJournal(m_strSwapPath).Write(SwapPhase::Idle, {});
}

int CToolModule::DiscardSwap() {
  std::unique_ptr<CSysRegDoc> backup(GetSysRegDoc(m_strBackPath + kDocumentName));
  if (!backup || !PutMachineBack(*backup, "swap dropped: the machine back from the backup")) return 0;
  SetINIString("Tool", "Status", "off");
  return 1;
}
