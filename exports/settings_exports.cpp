// The settings exports: a tool's settings document read and written for the host, each under the
// settings lock and behind GuardedExport.
#include "exports/settings_api.h"

#include "platform/doctree/register_doc.h"
#include "runtime/export_guard.h"
#include "runtime/module_registry.h"
#include "runtime/tool_module.h"
#include "update/settings_lock.h"

namespace {

const char kAttributeMark = '@';

// The settings document of the block's module (found or created); null when it has none.
CRegisterDoc* SettingsOf(RUNTIMEPARAM* block) {
  CToolModule* module = FindOrCreateModule(block);
  return module ? module->m_pRegisterDoc : nullptr;
}

CString KindWord(const CVFDLNode& node) {
  switch (node.GetKind()) {
    case VFDL_KIND_FOLDER:
      return "Folder";
    case VFDL_KIND_REC:
      return "Rec";
    case VFDL_KIND_ACCOUNT:
      return "Account";
    case VFDL_KIND_ROOT:
      return "Root";
    default:
      return CString();
  }
}

struct Attribute {
  const char* name;
  CString (*read)(const CVFDLNode&);
};

// In the order they are looked for; names are compared exactly.
const Attribute kAttributes[] = {
    {"@ID", [](const CVFDLNode& n) { return n.GetID(); }},
    {"@Alias", [](const CVFDLNode& n) { return n.GetAlias(); }},
    {"@Subject", [](const CVFDLNode& n) { return n.GetSubject(); }},
    {"@FilePos", [](const CVFDLNode& n) { return n.GetActualFilePos(); }},
    {"@Created", [](const CVFDLNode& n) { return n.GetCreateTime(); }},
    {"@Updated", [](const CVFDLNode& n) { return n.GetUpdateTime(); }},
    {"@Type", KindWord},
};

int ReadAttribute(const CVFDLNode& node, const CString& name, CString& value) {
  for (const Attribute& attribute : kAttributes) {
    if (name == attribute.name) {
      value = attribute.read(node);
      return 1;
    }
  }
  return 0;
}

}  // namespace

extern "C" int __cdecl DllRegSetKey(RUNTIMEPARAM* block, const CString& key, const CString& name,
                                    const CString& value) {
  return GuardedExport(0, [&] {
    CRegisterDoc* doc = SettingsOf(block);
    if (!doc) return 0;
    SettingsLock lock;
    return doc->SetKey(key, name, value);
  });
}

extern "C" int __cdecl DllRegGetKey(RUNTIMEPARAM* block, const CString& key, const CString& name, CString& value) {
  value.Empty();
  return GuardedExport(0, [&] {
    CRegisterDoc* doc = SettingsOf(block);
    if (!doc) return 0;
    SettingsLock lock;
    if (name.IsEmpty() || name[0] != kAttributeMark) return doc->GetKey(key, name, value);
    CVFDLNode* node = doc->GetNode(key);
    return node ? ReadAttribute(*node, name, value) : 0;
  });
}

extern "C" int __cdecl DllRegBrowseKey(RUNTIMEPARAM* block, const CString& key, CStringArray& names) {
  names.RemoveAll();
  return GuardedExport(0, [&] {
    CRegisterDoc* doc = SettingsOf(block);
    if (!doc) return 0;
    SettingsLock lock;
    CVFDLNode* node = doc->GetNode(key);
    if (!node || node->GetKind() != VFDL_KIND_REC) return 0;
    CVFVarArray vars;
    static_cast<CVFDLRec*>(node->GetData())->GetVarList(vars);
    for (int i = 0; i < vars.GetSize(); ++i) names.Add(vars[i].m_strName);
    return names.GetSize();
  });
}

extern "C" int __cdecl DllRegCreateNode(RUNTIMEPARAM* block, const CString& parentPath, const CString& alias,
                                        int folder) {
  return GuardedExport(0, [&] {
    CRegisterDoc* doc = SettingsOf(block);
    if (!doc) return 0;
    SettingsLock lock;
    if (doc->GetNode(parentPath, alias)) return 1;
    CVFDLNode* parent = doc->GetNode(parentPath);
    if (!parent) return 0;
    CString id;
    if (folder) {
      CVFDLFolder item;
      item.SetAlias(alias);
      id = doc->AddFolder(parent, &item, kVFDLChangeFlag);
    } else {
      CVFDLRec item;
      item.SetAlias(alias);
      id = doc->AddRec(parent, &item, kVFDLChangeFlag);
    }
    return id.IsEmpty() ? 0 : 1;
  });
}

extern "C" int __cdecl DllRegDeleteNode(RUNTIMEPARAM* block, const CString& path) {
  return GuardedExport(0, [&] {
    CRegisterDoc* doc = SettingsOf(block);
    if (!doc) return 0;
    SettingsLock lock;
    CVFDLNode* node = doc->GetNode(path);
    if (!node) return 0;
    if (node->GetKind() == VFDL_KIND_FOLDER) return doc->DelFolder(node, kVFDLChangeFlag);
    if (node->GetKind() == VFDL_KIND_REC) return doc->DelRec(node, kVFDLChangeFlag);
    return 0;
  });
}

extern "C" int __cdecl DllRegBrowseNode(RUNTIMEPARAM* block, const CString& path, CStringArray& positions) {
  positions.RemoveAll();
  return GuardedExport(0, [&] {
    CRegisterDoc* doc = SettingsOf(block);
    if (!doc) return 0;
    SettingsLock lock;
    CVFDLNode* node = doc->GetNode(path);
    CPtrArray below;
    if (node) doc->BrowseNode(node, below);
    for (int i = 0; i < below.GetSize(); ++i) {
      auto* child = static_cast<CVFDLNode*>(below[i]);
      if (child->GetKind() == VFDL_KIND_REC) positions.Add(child->GetPos());
    }
    return positions.GetSize();
  });
}
