// One check of a tool's update feed, run by the update worker on its thread or by
// DllCheckUpdate in the foreground.
//
// The feed (the module's m_strRemote) is a settings document of the platform's document format:
// folders and records like the tool's own Register.xml. A check
//   1. downloads it into a new temporary file of the platform's Tmp folder ("update*.xml"), makes
//      sure it is a usable feed (CMIDLDoc::ReadMail) and loads it as a document;
//   2. merges it into the tool's settings document, level by level from the roots: a record or
//      folder the tool lacks is copied; a record the tool has (same alias) gets the feed's
//      variables and pages (same-named ones replaced, new ones appended; its abstract, subject
//      and display name stay the tool's); a folder the tool has is merged in turn;
//   3. treats update records apart: a record whose "dataid", "download" and "version" are all
//      set. Such a record is queued (copied with "transfer" = "wait") when its "default" is
//      "yes" and no record under the same folder of the tool has its "dataid"; and each update
//      record of the tool whose "version_now" is older (update/version_compare.h) than a feed
//      record's of the same "dataid" takes that record's "default", "download", "homepage",
//      "version" and "size" with "transfer" = "wait" - except while its "transfer" is
//      "transfer";
//   4. downloads each record in state "wait" as a zip archive into the Tmp folder and unpacks it
//      into <download folder>\<local ID of the record's ID>; the record then gets "transfer" =
//      "ok", "task" = "" and "version_update" = the version fetched. A failed download or an
//      archive that cannot be unpacked (not a zip; an entry that would land outside the folder:
//      the platform's unzip refuses the whole archive) leaves it "wait", to be tried at the next
//      check.
// The temporary files stay where they are. Every touch of the settings document holds the
// settings lock (update/settings_lock.h); no download does.
//
// A stop (the flag given at construction becoming non-zero) is looked at before each merge level
// and before each download: the download under way finishes, and no other starts.
#pragma once

#include "platform/framework/afx_string.h"

#include <windows.h>

#include <memory>
#include <vector>

class CRegisterDoc;
class CToolModule;
class CVFDLNode;
class CVFDLRec;

// What a check did to one update record.
struct UpdateItem {
  CString dataId;
  CString version;
  CString folder;  // where it was unpacked (downloaded items only)
};

struct UpdateReport {
  std::vector<UpdateItem> queued;      // set to "wait" by this check, each "dataid" once
  std::vector<UpdateItem> downloaded;  // downloaded and unpacked
};

class CUpdateCheck {
 public:
  CUpdateCheck(CToolModule& module, const volatile LONG& stop);
  CUpdateCheck(const CUpdateCheck&) = delete;
  CUpdateCheck& operator=(const CUpdateCheck&) = delete;

  // Runs the check once. The feed document goes into `feed`, whose owner keeps or frees it.
  // 1 when a feed was read and merged (whatever its downloads did); 0 when the module has no
  // settings document or no feed address, or the feed could not be fetched or read, or a stop
  // came first.
  int Run(std::unique_ptr<CRegisterDoc>& feed);

  const UpdateReport& Report() const { return m_report; }

 private:
  // A record waiting for its download, as it stood when the downloads began.
  struct Pending {
    CString nodeId, dataId, url, version, folder;
  };

  bool Stopped() const { return m_stop != 0; }
  CString NewTempFile(const char* extension) const;

  bool MergeFeed(CRegisterDoc& feed);
  void Merge(CVFDLNode* feedNode, CVFDLNode* localNode);
  void MergeChild(CVFDLNode* feedChild, CVFDLNode* localNode);
  void MergeRecords(CVFDLNode* feedNode, CVFDLNode* localNode);
  void Queue(CVFDLNode* feedRecord, CVFDLNode* localNode);
  void Refresh(CVFDLNode* feedNode, CVFDLNode* localNode);
  void NoteQueued(const CVFDLRec& record);

  std::vector<Pending> PendingDownloads();
  void Fetch(const Pending& item);
  bool MarkDownloaded(const Pending& item);

  CToolModule& m_module;
  CRegisterDoc* m_pLocal;
  CRegisterDoc* m_pFeed = nullptr;
  const volatile LONG& m_stop;
  UpdateReport m_report;
};
