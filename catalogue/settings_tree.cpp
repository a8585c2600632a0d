#include "catalogue/settings_tree.h"

#include "platform/doctree/acas_doc.h"
#include "platform/services/afs.h"

CRegisterDoc* PlatformSettings() {
  CAFS* afs = CAFS::m_pthis;
  if (!afs || !afs->m_pMainDoc) return nullptr;
  CVFDLNode* root = CAFSPath::GetRegRoot();
  return root ? afs->m_pMainDoc->LoadExpandVFDLDoc(root, true) : nullptr;
}

bool PlatformSettingsUnreadable() {
  CAFS* afs = CAFS::m_pthis;
  CVFDLNode* root = afs && afs->m_pMainDoc ? CAFSPath::GetRegRoot() : nullptr;
  if (!root) return false;
  CString file = afs->m_pMainDoc->GetExpandDocPath(root);
  return GetFileAttributesA(file) != INVALID_FILE_ATTRIBUTES && !PlatformSettings();
}

std::vector<CVFDLNode*> CatalogueRecords() {
  std::vector<CVFDLNode*> records;
  CRegisterDoc* doc = PlatformSettings();
  CVFDLNode* folder = doc ? doc->GetNode(CAFSPath::CataloguePath()) : nullptr;
  if (!folder) return records;
  CPtrArray nodes;
  doc->BrowseNode(folder, nodes);
  for (int i = 0; i < nodes.GetSize(); ++i) {
    auto* node = static_cast<CVFDLNode*>(nodes[i]);
    if (node->GetKind() == VFDL_KIND_REC) records.push_back(node);
  }
  return records;
}

CString ToolValue(const CVFDLNode* node, const char* name) {
  if (!node || node->GetKind() != VFDL_KIND_REC) return CString();
  return static_cast<const CVFDLRec*>(node->GetData())->GetVarValue(name);
}
