#include "platform/doctree/register_doc.h"

CRegisterDoc::CRegisterDoc() = default;

CRegisterDoc::~CRegisterDoc() = default;

CVFDLNode* CRegisterDoc::MakePath(const CString& position, bool lastIsRecord, bool& created) {
  created = false;
  std::vector<CString> components = vfpath::Split(position);
  CVFDLNode* node = GetRootNode();
  if (!node || position.IsEmpty() || !StripDocPos(components)) return nullptr;
  for (size_t i = 0; i < components.size(); ++i) {
    if (node->GetKind() == VFDL_KIND_REC) return nullptr;
    CVFDLNode* child = GetChild(node, components[i]);
    if (!child) {
      if (components[i][0] == '#') return nullptr;
      CString id;
      if (lastIsRecord && i + 1 == components.size()) {
        CVFDLRec rec;
        rec.SetAlias(components[i]);
        id = AddRec(node, &rec, 0xFFFF);
      } else {
        CVFDLFolder folder;
        folder.SetAlias(components[i]);
        id = AddFolder(node, &folder, 0xFFFF);
      }
      child = GetNodeByID(id);
      if (!child) return nullptr;
      created = true;
    }
    node = child;
  }
  return node;
}

int CRegisterDoc::GetKey(const CString& position, const CString& name, CString& value) {
  value.Empty();
  CVFDLNode* node = GetNode(position);
  if (!node || node->GetKind() != VFDL_KIND_REC) return 0;
  auto* rec = static_cast<CVFDLRec*>(node->GetData());
  if (!rec->HasVar(name)) return 0;
  value = rec->GetVarValue(name);
  return 1;
}

int CRegisterDoc::SetKey(const CString& position, const CString& name, const CString& value) {
  bool created = false;
  int result = 0;
  {
    AutoSavePause pause(*this);
    CVFDLNode* node = MakePath(position, true, created);
    if (node && node->GetKind() == VFDL_KIND_REC) {
      auto* rec = static_cast<CVFDLRec*>(node->GetData());
      if (rec->HasVar(name) && rec->GetVarValue(name) == value) return 1;
      rec->SetVarValue(name, value);
      UpdateRec(node, rec, 0xFFFF);
      created = true;
      result = 1;
    }
  }
  if (created) AutoSave();
  return result;
}

int CRegisterDoc::SetNode(const CString& position, CVFDLRec* record, int flag) {
  if (!record) return 0;
  bool created = false;
  int result = 0;
  {
    AutoSavePause pause(*this);
    CVFDLNode* folder = MakePath(position, false, created);
    if (folder && folder->GetKind() != VFDL_KIND_REC) {
      CVFDLNode* existing = FindChild(folder, record->GetAlias());
      if (existing)
        result = existing->GetKind() == VFDL_KIND_REC ? UpdateRec(existing, record, flag) : 0;
      else
        result = AddRec(folder, record, flag).IsEmpty() ? 0 : 1;
      created = created || result;
    }
  }
  if (created) AutoSave();
  return result;
}
