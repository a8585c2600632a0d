#include "platform/services/platform_tree.h"

#include "platform/doctree/vf_path.h"
#include "platform/services/afs_path.h"

CPlatformTree::CPlatformTree() = default;
CPlatformTree::~CPlatformTree() = default;

CString CPlatformTree::MainDocPath(const CString& root) { return root + "\\data\\Platform.xml"; }

bool CPlatformTree::Open(const CString& root) {
  m_doc.reset();
  auto doc = std::make_unique<CACASDVFDLDoc>();
  CString path = MainDocPath(root);
  CreateDirectoryA(root + "\\data", nullptr);
  int status = doc->LoadXMLDoc(path);
  if (status == CXMLDoc::LOAD_NO_FILE) {
    if (!doc->NewXMLDoc(path, 0, 0)) return false;
  } else if (status != CXMLDoc::LOAD_DONE) {
    return false;
  }
  if (!doc->InitVFDLDoc(nullptr)) return false;
  // The folders of the registry root, made where missing (each addition saves the file).
  CVFDLNode* node = doc->GetRootNode();
  for (const CString& alias : vfpath::Split(CAFSPath::kRegRootPath)) {
    CVFDLNode* child = doc->GetNode(doc->GetPos(node), alias);
    if (!child) {
      CVFDLFolder folder;
      folder.SetAlias(alias);
      child = doc->GetNodeByID(doc->AddFolder(node, &folder, 65535));
    }
    if (!child) return false;
    node = child;
  }
  m_doc = std::move(doc);
  return true;
}
