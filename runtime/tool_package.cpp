// Swapping a tool package in and out between its two registration documents and the machine:
//   MySelf\install.xml   the tool's own registrations ("config" and "install")
//   Backup\install.xml   what the machine had before the tool was swapped in
#include "platform/win/worker_thread.h"
#include "platform/services/xfs_operation.h"
#include "runtime/host_hooks.h"
#include "runtime/tool_module.h"
#include "swap/sys_reg_doc.h"

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

}  // namespace

CSysRegDoc* CToolModule::GetSysRegDoc(const CString& path) {
  std::unique_ptr<CSysRegDoc> doc = ReadRegistrationDoc(path, nullptr);
  BuildRegistrationDoc(doc);
  return doc.release();
}

// In both halves the document the swap has finished with is written to disk (and freed) on a
// second thread while the registry work of the other document goes on; each document is
// touched by one thread at a time. (The two documents are not read in parallel: the two parsers
// then contend for the heap and take longer together than one after the other.)

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
    own->m_bCheckReplace = 1;
    backup->m_bMachineBackup = 1;
    backup->SetAutoSaveFlag(0);
    backup->ResetSwap(nullptr, 0);
    own->InitSwap(nullptr, backup.get());
    backup->SetAutoSaveFlag(1);
    WorkerThread saveBackup([&] {
      backup->SaveXMLDoc(0);
      backup.reset();
    });
    own->Restore(nullptr);
    saveBackup.Wait();
    result = 1;
  }
  own.reset();
  backup.reset();
  if (!AskHook(m_pParam, "BackupToolAfter")) result = 0;
  return result;
}

int CToolModule::RestoreTool() {
  if (!AskHook(m_pParam, "RestoreToolBefore")) return 0;
  std::unique_ptr<CSysRegDoc> own(GetSysRegDoc(m_strMyPath + kDocumentName));
  std::unique_ptr<CSysRegDoc> backup(GetSysRegDoc(m_strBackPath + kDocumentName));
  int result = 0;
  if (own && backup) {
    own->m_bCheckReplace = 1;
    own->SetAutoSaveFlag(0);
    own->ResetSwap(nullptr, 1);
    backup->InitSwap(nullptr, own.get());
    own->SetAutoSaveFlag(1);
    WorkerThread saveOwn([&] {
      own->SaveXMLDoc(0);
      own.reset();
    });
    backup->Restore(nullptr);
    saveOwn.Wait();
    result = 1;
  }
  own.reset();
  backup.reset();
  if (!AskHook(m_pParam, "RestoreToolAfter")) result = 0;
  return result;
}
