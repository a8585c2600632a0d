// The registration document: its shape, vocabularies, paths and the variable index.
#include "swap/sys_reg_doc.h"

#include "platform/services/xfs_operation.h"
#include "platform/win/unique_file.h"
#include "resources/resource_ids.h"
#include "swap/registry_path.h"

#include <shlwapi.h>

#include <vector>

namespace {

// In the order of SysRegType from SYSREG_REGISTER on, and of SysRegReplace from REPLACE_ALWAYS on.
const char* const kTypeWords[] = {"register", "library", "file", "association", "firewall", "service"};
const char* const kReplaceWords[] = {"always", "none", "ask", "new"};
const int kTypeCount = sizeof kTypeWords / sizeof kTypeWords[0];
const int kReplaceCount = sizeof kReplaceWords / sizeof kReplaceWords[0];

// The index key of a variable: its name, a NUL, and its value with ASCII letters in lower case,
// the folding of the runtime's case-insensitive comparison; the second byte of a double-byte
// character is never folded. Candidates are checked again with the real comparison.
std::string IndexKey(const CString& name, const CString& value) {
  std::string key;
  key.reserve(name.GetLength() + 1 + value.GetLength());
  key.append(name.c_str(), name.GetLength());
  key.push_back('\0');
  const char* v = value.c_str();
  for (int i = 0, n = value.GetLength(); i < n; ++i) {
    char c = v[i];
    if (IsDBCSLeadByte(static_cast<BYTE>(c)) && i + 1 < n) {
      key.push_back(c);
      key.push_back(v[++i]);
      continue;
    }
    key.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
  }
  return key;
}

bool Matches(const CVFDLRec* rec, const CStringArray& names, const CStringArray& values, int pairs) {
  for (int i = 0; i < pairs; ++i)
    if (rec->GetVarValue(names[i]).CompareNoCase(values[i]) != 0) return false;
  return true;
}

}  // namespace

CSysRegDoc::CSysRegDoc() : m_bCheckReplace(0), m_bMachineBackup(0) {}

CSysRegDoc::~CSysRegDoc() = default;

int CSysRegDoc::NewXMLDoc(const CString& path, const short& major, const short& minor) {
  SetDocPath(path);
  CString text;
  text.LoadString(IDS_NEW_REGISTRATION_DOC);
  // A module without the platform's resource library (a tool that is not "LocalApp") has no
  // text 51374: it starts from the document library's own empty document instead of failing
  // every swap.
  if (text.IsEmpty()) return CVFDLDoc::NewXMLDoc(path, major, minor);
  if (!SetXMLDoc(text)) return 0;
  SaveXMLDoc(0);
  return 1;
}

void CSysRegDoc::PreUpdateVersion() {}
void CSysRegDoc::AfterUpdateVersion() {}
void CSysRegDoc::InitNodeExtendType(CVFDLNode* /*node*/) {}

int CSysRegDoc::InitVFDLDoc(CVFDLNode* node) {
  PreUpdateVersion();
  if (!CVFDLDoc::InitVFDLDoc(node)) return 0;
  if (!node) {
    m_varIndex.clear();
    CPtrArray all;
    if (CVFDLNode* root = GetRootNode()) BrowseNode(root, all);
    for (int i = 0; i < all.GetSize(); ++i) IndexRecord(static_cast<CVFDLNode*>(all[i]));
  }
  AfterUpdateVersion();
  return 1;
}

int CSysRegDoc::InitExtendRecItem(CVFDLRec* /*item*/, const XmlElement& /*element*/) { return 1; }
int CSysRegDoc::CreateExtendRecText(const CVFDLRec* /*item*/, XmlElement& /*element*/) { return 1; }

CVFDLRec* CSysRegDoc::NewRecPointer() { return new CSysRegRec; }

void CSysRegDoc::DelRecPointer(void* item) {
  if (item) delete static_cast<CVFDLRec*>(item);
}

int CSysRegDoc::DelLinkFile(CVFDLNode* node) {
  if (node && node->GetKind() == VFDL_KIND_REC &&
      static_cast<CSysRegRec*>(node->GetData())->GetType() == SYSREG_FILE) {
    CXFSOperation op;
    op.m_nOperation = CXFSOperation::kDelete;
    op.m_strSource = StorageFolder(node->GetID());
    op.Execute();
  }
  return CVFDLDoc::DelLinkFile(node);
}

CString CSysRegDoc::AddRec(CVFDLNode* parent, CVFDLRec* item, int flag) {
  CString id = CVFDLDoc::AddRec(parent, item, flag);
  if (!id.IsEmpty()) IndexRecord(GetNodeByID(id));
  return id;
}

int CSysRegDoc::UpdateRec(CVFDLNode* node, CVFDLRec* item, int flag) {
  bool ours = Owns(node) && node->GetKind() == VFDL_KIND_REC;
  if (ours) UnindexRecord(node);
  int r = CVFDLDoc::UpdateRec(node, item, flag);
  if (ours) IndexRecord(node);
  return r;
}

void CSysRegDoc::OnRecordChanging(CVFDLNode* node) { UnindexRecord(node); }
void CSysRegDoc::OnRecordChanged(CVFDLNode* node) { IndexRecord(node); }

void CSysRegDoc::DelData(CVFDLNode* node) {
  UnindexRecord(node);
  CVFDLDoc::DelData(node);
}

void CSysRegDoc::IndexRecord(CVFDLNode* node) {
  if (!node || node->GetKind() != VFDL_KIND_REC) return;
  CVFVarArray vars;
  static_cast<CVFDLRec*>(node->GetData())->GetVarList(vars);
  for (int i = 0; i < vars.GetSize(); ++i) m_varIndex[IndexKey(vars[i].m_strName, vars[i].m_strValue)].insert(node);
}

void CSysRegDoc::UnindexRecord(CVFDLNode* node) {
  if (!node || node->GetKind() != VFDL_KIND_REC || !node->GetData()) return;
  CVFVarArray vars;
  static_cast<CVFDLRec*>(node->GetData())->GetVarList(vars);
  for (int i = 0; i < vars.GetSize(); ++i) {
    auto it = m_varIndex.find(IndexKey(vars[i].m_strName, vars[i].m_strValue));
    if (it == m_varIndex.end()) continue;
    it->second.erase(node);
    if (it->second.empty()) m_varIndex.erase(it);
  }
}

// Candidates come from the index of the code page forms (a name the code page lacks reads as "?"
// there, so every name of that shape is a candidate); the Unicode forms decide.
bool CSysRegDoc::HasValueRecord(const std::wstring& key, const std::wstring& name) {
  CVFDLNode* install = GetClassNode("install", 1);
  auto byKey = m_varIndex.find(IndexKey("key", Narrow(key).c_str()));
  auto byName = m_varIndex.find(IndexKey("name", Narrow(name).c_str()));
  if (!install || byKey == m_varIndex.end() || byName == m_varIndex.end()) return false;
  const auto& candidates = byKey->second.size() < byName->second.size() ? byKey->second : byName->second;
  for (CVFDLNode* node : candidates) {
    auto* rec = static_cast<CSysRegRec*>(node->GetData());
    if (rec->GetType() == SYSREG_REGISTER && rec->HasVar("name") && SameRegistryName(rec->GetKeyW(), key) &&
        SameRegistryName(rec->GetNameW(), name) && IsWithin(node, install))
      return true;
  }
  return false;
}

bool CSysRegDoc::HasKeyRecord(const std::wstring& key) {
  CVFDLNode* install = GetClassNode("install", 1);
  auto byKey = m_varIndex.find(IndexKey("key", Narrow(key).c_str()));
  if (!install || byKey == m_varIndex.end()) return false;
  for (CVFDLNode* node : byKey->second) {
    auto* rec = static_cast<CSysRegRec*>(node->GetData());
    if (rec->GetType() == SYSREG_REGISTER && SameRegistryName(rec->GetKeyW(), key) && IsWithin(node, install))
      return true;
  }
  return false;
}

bool CSysRegDoc::IsWithin(const CVFDLNode* node, const CVFDLNode* start) const {
  for (const CVFDLNode* n = node; n; n = const_cast<CSysRegDoc*>(this)->GetParentNode(const_cast<CVFDLNode*>(n)))
    if (n == start) return true;
  return false;
}

CString CSysRegDoc::GetFullPath(const CString& path) const {
  CString result;
  if (!path.IsEmpty()) {
    char expanded[MAX_PATH] = "";
    DWORD n = ExpandEnvironmentStringsA(path, expanded, MAX_PATH);
    if (n > 0 && n <= MAX_PATH) result = expanded;
  }
  if (result.IsEmpty()) return result;
  int before = result.GetLength();
  while (!result.IsEmpty() && (result[0] == ' ' || result[0] == '"')) result = result.Mid(1);
  bool removed = result.GetLength() != before;
  if (!PathIsRootA(result)) {
    char combined[MAX_PATH] = "";
    if (PathCombineA(combined, GetBasePath(), result)) result = combined;
  }
  if (removed) result = "\"" + result;
  return result;
}

CVFDLNode* CSysRegDoc::GetClassNode(const CString& className, int create) {
  CVFDLNode* root = GetRootNode();
  if (!root) return nullptr;
  // The class folder is the root's child of that alias (what GetNode(root position, alias)
  // answers, without composing and parsing the root's position on every capture).
  if (CVFDLNode* node = FindChild(root, className)) return node;
  if (!create) return nullptr;
  CVFDLFolder folder;
  folder.SetAlias(className);
  return GetNodeByID(AddFolder(root, &folder, 65535));
}

CVFDLNode* CSysRegDoc::FindNodeByVar(const CStringArray& names, const CStringArray& values, CVFDLNode* start) {
  if (!start) start = GetClassNode("install", 1);
  if (!start) return nullptr;
  int pairs = names.GetSize() < values.GetSize() ? names.GetSize() : values.GetSize();
  WORD kind = start->GetKind();
  if (kind == VFDL_KIND_REC) return Matches(static_cast<CVFDLRec*>(start->GetData()), names, values, pairs) ? start : nullptr;
  if (kind != VFDL_KIND_FOLDER && kind != VFDL_KIND_ROOT) return nullptr;

  // The candidates of the most selective pair, checked against every pair. An absent variable
  // reads as empty, so a pair with an empty value also matches records that lack the variable,
  // which the index does not hold: only pairs with a value narrow the candidates.
  const std::unordered_set<CVFDLNode*>* candidates = nullptr;
  for (int i = 0; i < pairs; ++i) {
    if (values[i].IsEmpty()) continue;
    auto it = m_varIndex.find(IndexKey(names[i], values[i]));
    if (it == m_varIndex.end()) return nullptr;
    if (!candidates || it->second.size() < candidates->size()) candidates = &it->second;
  }
  if (!candidates) {  // nothing to narrow by: the first matching record below start, in document order
    CPtrArray below;
    BrowseNode(start, below);
    for (int i = 0; i < below.GetSize(); ++i) {
      auto* node = static_cast<CVFDLNode*>(below[i]);
      if (node->GetKind() == VFDL_KIND_REC && Matches(static_cast<CVFDLRec*>(node->GetData()), names, values, pairs))
        return node;
    }
    return nullptr;
  }
  CVFDLNode* first = nullptr;
  for (CVFDLNode* node : *candidates) {
    if (first && !IsBefore(node, first)) continue;
    if (Matches(static_cast<CVFDLRec*>(node->GetData()), names, values, pairs) && IsWithin(node, start)) first = node;
  }
  return first;
}

CVFDLNode* CSysRegDoc::FindNodeByVar(int type, const CString& name, const CString& value, CVFDLNode* start) {
  CStringArray names, values;
  names.Add(name);
  values.Add(value);
  names.Add("type");
  values.Add(GetTypeString(type));
  return FindNodeByVar(names, values, start);
}

int CSysRegDoc::GetTypeValue(const CString& word) {
  for (int i = 0; i < kTypeCount; ++i)
    if (word == kTypeWords[i]) return SYSREG_REGISTER + i;
  return SYSREG_UNKNOWN;
}

CString CSysRegDoc::GetTypeString(int type) {
  int index = type - SYSREG_REGISTER;
  return index >= 0 && index < kTypeCount ? CString(kTypeWords[index]) : CString();
}

int CSysRegDoc::GetReplaceValue(const CString& word) {
  for (int i = 0; i < kReplaceCount; ++i)
    if (word == kReplaceWords[i]) return REPLACE_ALWAYS + i;
  return REPLACE_ALWAYS;
}

CString CSysRegDoc::GetReplaceString(int replace) {
  int index = replace - REPLACE_ALWAYS;
  return index >= 0 && index < kReplaceCount ? CString(kReplaceWords[index]) : CString();
}

CVFDLNode* CSysRegDoc::CaptureParent(CVFDLNode* parent) {
  if (!parent) parent = GetClassNode("install", 1);
  return parent && parent->GetKind() == VFDL_KIND_FOLDER ? parent : nullptr;
}

CString CSysRegDoc::AddRecord(CVFDLNode* parent, CSysRegRec& record) { return AddRec(parent, &record, 65535); }

CString CSysRegDoc::StorageFolder(const CString& id) const { return GetFullPath(GetLocalID(id)); }
