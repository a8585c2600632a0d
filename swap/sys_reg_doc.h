// CSysRegDoc: a tool's registration document, "install.xml". Each tool has two: the one in its
// MySelf folder holds its own registrations, the one in its Backup folder what the machine had
// before the tool was swapped in. Every record is a CSysRegRec.
//
// Shape: the root holds class folders (folders whose alias is the class name), and records sit
// under them, directly or in nested folders:
//   "config"   one record per machine item the tool touches: "type" and the attributes that
//              identify the item (register: key [+ name]; library: guid, register; file: file;
//              association: extension; firewall: execute; service: name), optionally "replace"
//              and "permanent"
//   "install"  one record per item of registration data, with every attribute of its kind
// A file record's content lives outside the XML, in its storage folder: GetFullPath of the local
// ID of the record's ID, that is, under the document's folder.
//
// Vocabularies (compared exactly): type register 1, library 2, file 3, association 4,
// firewall 5, service 6 (anything else 0); replace always 0, none 1, ask 2, new 3 (anything else
// 0, "always").
//
// A service record of a machine backup marked kWholeServiceKey is followed by the records of the
// service's registry key: after the service is made again, its key is emptied and written back.
//
// The swap: InitSwap captures the machine's state of every "config" item into a target document
// and clears the item from the machine; Restore writes a document's "install" records onto the
// machine; ResetSwap empties the "install" class, keeping permanent records when asked.
//
// FindNodeByVar answers from an index of every record's variables (name and value, ignoring the
// value's letter case), kept right by the document's add, update and delete operations and by
// every change of a held record through its own setters, so a capture of thousands of items does
// not walk the document once per item.
#pragma once

#include "sysreg/vantel_api.h"
#include "platform/doctree/vfdl_doc.h"
#include "swap/swap_report.h"
#include "swap/sys_reg_rec.h"

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

inline constexpr char kWholeServiceKey[] = "wholekey";

class VANTEL_API CSysRegDoc : public CVFDLDoc {
 public:
  CSysRegDoc();
  ~CSysRegDoc() override;

  // The initial text of a new document comes from the resource library (string 51374).
  int NewXMLDoc(const CString& path, const short& major, const short& minor) override;
  void PreUpdateVersion() override;
  void AfterUpdateVersion() override;
  int InitVFDLDoc(CVFDLNode* node) override;
  int InitExtendRecItem(CVFDLRec* item, const XmlElement& element) override;
  CVFDLRec* NewRecPointer() override;
  void DelRecPointer(void* item) override;
  int CreateExtendRecText(const CVFDLRec* item, XmlElement& element) override;
  // A file record's storage folder goes with the record.
  int DelLinkFile(CVFDLNode* node) override;
  void InitNodeExtendType(CVFDLNode* node) override;
  CString AddRec(CVFDLNode* parent, CVFDLRec* item, int flag) override;
  int UpdateRec(CVFDLNode* node, CVFDLRec* item, int flag) override;

  // A path with its environment variables expanded and, unless it is a root, placed under the
  // document's folder (a fully qualified path stays as it is). Leading spaces and double quotes
  // are removed and, if there were any, replaced by one double quote, so a quoted command line
  // comes out quoted.
  CString GetFullPath(const CString& path) const;
  // The class folder of that name; created under the root when missing and create is non-zero.
  CVFDLNode* GetClassNode(const CString& className, int create);
  // The first record in document order at or below start (null: the "install" class, created
  // if missing) whose variables names[i] equal values[i] ignoring case, for every i below the
  // smaller of the two sizes; an absent variable reads as empty. No pairs: the first record.
  CVFDLNode* FindNodeByVar(const CStringArray& names, const CStringArray& values, CVFDLNode* start);
  // The first record of the type whose variable name equals value ignoring case.
  CVFDLNode* FindNodeByVar(int type, const CString& name, const CString& value, CVFDLNode* start);

  static int GetTypeValue(const CString& word);
  static CString GetTypeString(int type);
  static int GetReplaceValue(const CString& word);
  static CString GetReplaceString(int replace);

  // Capture and clear (swap in and out): PlanSwap, then ClearSwap.
  int InitSwap(CVFDLNode* node, CSysRegDoc* target);
  // The capture pass: walks the "config" records at or below node (null: the class), decides
  // each item by its replace policy, captures it into target (none: decisions only) and plans the
  // items to clear. Changes nothing on the machine.
  int PlanSwap(CVFDLNode* node, CSysRegDoc* target, class SwapPlan& plan);
  // The clear pass: removes the planned items from the machine. 1 when every item went; the
  // failures are in the report.
  int ClearSwap(class SwapPlan& plan);
  int BackupRegister(const CString& key, const char* name, CVFDLNode* parent);
  int BackupComponent(const CString& guid, const CString& regCmd, CVFDLNode* parent);
  int BackupFile(const CString& file, CVFDLNode* parent);
  int BackupAssociation(const CString& extension, CVFDLNode* parent);
  int BackupService(const CString& name, CVFDLNode* parent);
  int BackupFireWall(const CString& program, CVFDLNode* parent);

  // Write back and reset. Restore answers 1 when every record was written, 0 when any failed (the
  // failures are in the report; the other records are written all the same).
  int Restore(CVFDLNode* node);
  int ResetSwap(CVFDLNode* node, int keepPermanent);

  // What this document's swap operations did since the last Reset.
  SwapReport& GetSwapReport() { return m_swapReport; }
  // An item as the swap journal and the swap log name it.
  CString DescribeItem(const CSysRegRec& record) const;

  // When non-zero, InitSwap honours each record's replace policy.
  int m_bCheckReplace;
  // Set on a document that backs the machine up (the Backup folder's): captures into it take
  // associations, services and COM classes whole (their registry keys with everything in them),
  // so that the write-back gives the machine exactly what it had.
  int m_bMachineBackup;

 protected:
  void DelData(CVFDLNode* node) override;
  void OnRecordChanging(CVFDLNode* node) override;
  void OnRecordChanged(CVFDLNode* node) override;

 private:
  // The parent for a capture: the given folder, or the "install" class; null when unusable.
  CVFDLNode* CaptureParent(CVFDLNode* parent);
  CString AddRecord(CVFDLNode* parent, CSysRegRec& record);
  // Whole-key capture: the key's record, every value (of every type), every subkey whole.
  void CaptureKey(const struct KeySnapshot& key, CVFDLNode* parent);
  void CaptureValue(const std::wstring& key, const std::wstring& name, DWORD type, const BYTE* data, DWORD size,
                    CVFDLNode* parent);
  int CaptureRegistryValue(const std::wstring& key, const std::wstring& name, CVFDLNode* parent);
  // Captures a key whole into this document's "install" class; 0 when it does not open.
  int CaptureWholeKey(const std::wstring& key);
  // Records a key read whole into the "install" class.
  bool CaptureSnapshot(const struct KeySnapshot& key);
  void PlanRecord(const CSysRegRec& record, CSysRegDoc* target, class SwapPlan& plan);
  DWORD ClearItem(struct SwapPlanItem& item, class SwapPlan& plan);
  // Writes one record; ERROR_SUCCESS, or why it could not be written.
  DWORD RestoreRecord(const CSysRegRec& record, const CString& id, class OpenKeyCache& keys);
  void CollectRecords(CVFDLNode* node, std::vector<CVFDLNode*>& records);
  void WriteRegisterRun(const std::vector<CVFDLNode*>& records, size_t begin, size_t end, class WorkerPool& pool);
  // Writes the record of the node and counts the outcome in the report.
  void WriteRecord(CVFDLNode* node, class OpenKeyCache& keys);
  CString StorageFolder(const CString& id) const;

  // Whether the "install" class holds the record of this registry value (key and name compared
  // as the registry compares them). Only records with a "name" variable count: a whole-key record
  // also reads "" for "name", but it does not hold the key's default value.
  bool HasValueRecord(const std::wstring& key, const std::wstring& name);
  // Whether the "install" class holds a register record of this key (a value record counts).
  bool HasKeyRecord(const std::wstring& key);

  void IndexRecord(CVFDLNode* node);
  void UnindexRecord(CVFDLNode* node);
  bool IsWithin(const CVFDLNode* node, const CVFDLNode* start) const;

  std::unordered_map<std::string, std::unordered_set<CVFDLNode*>> m_varIndex;
  SwapReport m_swapReport;
};
