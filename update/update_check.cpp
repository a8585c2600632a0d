#include "update/update_check.h"

#include "platform/doctree/register_doc.h"
#include "platform/services/http.h"
#include "platform/services/midl_doc.h"
#include "platform/services/xcommon.h"
#include "platform/win/unique_file.h"
#include "runtime/tool_module.h"
#include "update/settings_lock.h"
#include "update/version_compare.h"

namespace {

const char kTempPrefix[] = "update";
const char kFeedExtension[] = ".xml";
const char kArchiveExtension[] = ".zip";

const char kWait[] = "wait";
const char kDone[] = "ok";
const char kInTransfer[] = "transfer";
const char kYes[] = "yes";
// The values a refresh takes over from the feed's record, besides "transfer".
const char* const kRefreshedValues[] = {"default", "download", "homepage", "version", "size"};

CVFDLRec* RecordOf(CVFDLNode* node) { return static_cast<CVFDLRec*>(node->GetData()); }

CString Value(CVFDLNode* node, const char* name) { return RecordOf(node)->GetVarValue(name); }

bool IsUpdateRecord(CVFDLNode* node) {
  return node->GetKind() == VFDL_KIND_REC && !Value(node, "dataid").IsEmpty() &&
         !Value(node, "download").IsEmpty() && !Value(node, "version").IsEmpty();
}

bool IsState(CVFDLNode* node, const char* state) { return Value(node, "transfer").CompareNoCase(state) == 0; }

std::vector<CVFDLNode*> NodesBelow(CRegisterDoc& doc, CVFDLNode* node) {
  CPtrArray found;
  doc.BrowseNode(node, found);
  std::vector<CVFDLNode*> nodes;
  for (int i = 0; i < found.GetSize(); ++i) nodes.push_back(static_cast<CVFDLNode*>(found[i]));
  return nodes;
}

// The local list without the entries the feed names, then the feed's entries in its order.
template <typename List>
List MergeByName(const List& local, const List& feed) {
  List merged;
  for (int i = 0; i < local.GetSize(); ++i)
    if (feed.Find(local[i].m_strName) < 0) merged.Add(local[i]);
  for (int i = 0; i < feed.GetSize(); ++i) merged.Add(feed[i]);
  return merged;
}

// One transfer, never cancelled half-way: a stop lets it finish.
bool Download(const CString& url, const CString& file) {
  CHttp http;
  unsigned long status = 0, received = 0;
  int error = 0, abort = 0;
  CString contentType;
  return http.httpGetFile(url, CString(), file, status, received, error, contentType, abort) != 0;
}

}  // namespace

CUpdateCheck::CUpdateCheck(CToolModule& module, const volatile LONG& stop)
    : m_module(module), m_pLocal(module.m_pRegisterDoc), m_stop(stop) {}

int CUpdateCheck::Run(std::unique_ptr<CRegisterDoc>& feed) {
  if (!m_pLocal || m_module.m_strRemote.IsEmpty()) return 0;
  CString file = NewTempFile(kFeedExtension);
  if (file.IsEmpty() || !Download(m_module.m_strRemote, file) || Stopped()) return 0;
  CString text;
  CMIDLDoc::ReadMail(file, text);
  if (text.IsEmpty()) return 0;

  feed = std::make_unique<CRegisterDoc>();
  if (feed->LoadXMLDoc(file) != CXMLDoc::LOAD_DONE || !feed->InitVFDLDoc(nullptr)) return 0;
  if (!MergeFeed(*feed)) return 0;
  for (const Pending& item : PendingDownloads()) {
    if (Stopped()) break;
    Fetch(item);
  }
  return 1;
}

CString CUpdateCheck::NewTempFile(const char* extension) const {
  char path[MAX_PATH] = "";
  if (!CXCommon::GetTempQorFile(m_module.m_strTempPath + "\\", kTempPrefix, path, extension)) return CString();
  return path;
}

// The whole merge is one change under the settings lock, saved once at its end.
bool CUpdateCheck::MergeFeed(CRegisterDoc& feed) {
  SettingsLock lock;
  CVFDLNode* localRoot = m_pLocal->GetRootNode();
  CVFDLNode* feedRoot = feed.GetRootNode();
  if (!localRoot || !feedRoot) return false;
  m_pFeed = &feed;
  bool save = false;
  {
    AutoSavePause pause(*m_pLocal);
    save = pause.WasOn();
    Merge(feedRoot, localRoot);
  }
  if (save) m_pLocal->SaveXMLDoc(0);
  return true;
}

void CUpdateCheck::Merge(CVFDLNode* feedNode, CVFDLNode* localNode) {
  if (Stopped()) return;
  bool heldUpdate = false;
  for (CVFDLNode* child = m_pFeed->GetFirstChild(feedNode, true); child; child = m_pFeed->GetNextNode(child, true)) {
    if (IsUpdateRecord(child)) {
      Queue(child, localNode);
      heldUpdate = true;
    } else {
      MergeChild(child, localNode);
    }
  }
  if (heldUpdate) Refresh(feedNode, localNode);
}

// A child the tool lacks is copied (a folder with everything below it); one it has is merged
// when both are of the same kind; anything else is left alone.
void CUpdateCheck::MergeChild(CVFDLNode* feedChild, CVFDLNode* localNode) {
  const WORD kind = feedChild->GetKind();
  CVFDLNode* same = m_pLocal->GetNode(m_pLocal->GetPos(localNode), feedChild->GetAlias());
  if (!same) {
    if (kind == VFDL_KIND_REC) {
      m_pLocal->AddRec(localNode, RecordOf(feedChild), kVFDLChangeFlag);
    } else if (kind == VFDL_KIND_FOLDER) {
      auto* folder = static_cast<CVFDLFolder*>(feedChild->GetData());
      if (CVFDLNode* added = m_pLocal->GetNodeByID(m_pLocal->AddFolder(localNode, folder, kVFDLChangeFlag)))
        Merge(feedChild, added);
    }
  } else if (same->GetKind() == kind) {
    if (kind == VFDL_KIND_REC) MergeRecords(feedChild, same);
    if (kind == VFDL_KIND_FOLDER) Merge(feedChild, same);
  }
}

// The local record keeps its own abstract, subject and display name: those describe the setting
// as the tool shows it, the feed only brings values.
void CUpdateCheck::MergeRecords(CVFDLNode* feedNode, CVFDLNode* localNode) {
  CVFDLRec* local = RecordOf(localNode);
  CVFDLRec* offered = RecordOf(feedNode);
  CVFVarArray localVars, feedVars;
  CVFPageArray localPages, feedPages;
  local->GetVarList(localVars);
  offered->GetVarList(feedVars);
  local->GetPageList(localPages);
  offered->GetPageList(feedPages);
  CVFDLRec merged(*local);
  merged.SetVarList(MergeByName(localVars, feedVars));
  merged.SetPageList(MergeByName(localPages, feedPages));
  m_pLocal->UpdateRec(localNode, &merged, kVFDLChangeFlag);
}

void CUpdateCheck::Queue(CVFDLNode* feedRecord, CVFDLNode* localNode) {
  if (Value(feedRecord, "default").CompareNoCase(kYes) != 0) return;
  const CString dataId = Value(feedRecord, "dataid");
  for (CVFDLNode* node : NodesBelow(*m_pLocal, localNode))
    if (node->GetKind() == VFDL_KIND_REC && Value(node, "dataid") == dataId) return;
  CVFDLRec copy(*RecordOf(feedRecord));
  copy.SetVarValue("transfer", kWait);
  if (m_pLocal->SetNode(m_pLocal->GetPos(localNode), &copy, kVFDLChangeFlag)) NoteQueued(copy);
}

void CUpdateCheck::Refresh(CVFDLNode* feedNode, CVFDLNode* localNode) {
  const std::vector<CVFDLNode*> offers = NodesBelow(*m_pFeed, feedNode);
  for (CVFDLNode* local : NodesBelow(*m_pLocal, localNode)) {
    if (!IsUpdateRecord(local) || IsState(local, kInTransfer)) continue;
    for (CVFDLNode* offer : offers) {
      if (!IsUpdateRecord(offer) || Value(offer, "dataid") != Value(local, "dataid")) continue;
      if (CompareVersions(Value(local, "version_now"), Value(offer, "version")) >= 0) continue;
      CVFDLRec copy(*RecordOf(local));
      for (const char* name : kRefreshedValues) copy.SetVarValue(name, Value(offer, name));
      copy.SetVarValue("transfer", kWait);
      if (m_pLocal->UpdateRec(local, &copy, kVFDLChangeFlag)) NoteQueued(copy);
    }
  }
}

void CUpdateCheck::NoteQueued(const CVFDLRec& record) {
  const UpdateItem noted{record.GetVarValue("dataid"), record.GetVarValue("version"), CString()};
  for (UpdateItem& item : m_report.queued) {
    if (item.dataId == noted.dataId) {
      item = noted;
      return;
    }
  }
  m_report.queued.push_back(noted);
}

// Taken from the document under the lock, so that the downloads need neither the lock nor node
// pointers that the host may delete meanwhile.
std::vector<CUpdateCheck::Pending> CUpdateCheck::PendingDownloads() {
  SettingsLock lock;
  std::vector<Pending> pending;
  for (CVFDLNode* node : NodesBelow(*m_pLocal, m_pLocal->GetRootNode()))
    if (IsUpdateRecord(node) && IsState(node, kWait))
      pending.push_back({node->GetID(), Value(node, "dataid"), Value(node, "download"), Value(node, "version"),
                         m_module.m_strDownloadPath + "\\" + m_pLocal->GetLocalID(node->GetID())});
  return pending;
}

void CUpdateCheck::Fetch(const Pending& item) {
  CString archive = NewTempFile(kArchiveExtension);
  if (archive.IsEmpty() || !Download(item.url, archive)) return;
  // The item's own folder is made by the unzip, which takes it away again when it refuses the
  // archive: a refused update leaves nothing behind.
  if (!EnsureFolder(Widen(m_module.m_strDownloadPath)) || !CXCommon::UnzipArchive(archive, item.folder)) return;
  if (MarkDownloaded(item)) m_report.downloaded.push_back({item.dataId, item.version, item.folder});
}

// The record is found again by its ID: the host may have moved or deleted it during the download.
bool CUpdateCheck::MarkDownloaded(const Pending& item) {
  SettingsLock lock;
  CVFDLNode* node = m_pLocal->GetNodeByID(item.nodeId);
  if (!node || node->GetKind() != VFDL_KIND_REC) return false;
  const CString position = node->GetPos();
  bool save = false;
  int marked = 1;
  {
    AutoSavePause pause(*m_pLocal);
    save = pause.WasOn();
    marked &= m_pLocal->SetKey(position, "transfer", kDone);
    marked &= m_pLocal->SetKey(position, "task", CString());
    marked &= m_pLocal->SetKey(position, "version_update", item.version);
  }
  if (save) m_pLocal->SaveXMLDoc(0);
  return marked != 0;
}
