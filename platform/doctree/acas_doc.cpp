#include "platform/doctree/acas_doc.h"

#include <windows.h>

CACASDVFDLDoc::CACASDVFDLDoc() = default;

CACASDVFDLDoc::~CACASDVFDLDoc() = default;

CString CACASDVFDLDoc::GetExpandDocPath(const CVFDLNode* node) const {
  if (!Owns(node) || GetDocPath().IsEmpty()) return CString();
  return GetActualFilePos(node) + "\\Register.xml";
}

CRegisterDoc* CACASDVFDLDoc::LoadExpandVFDLDoc(CVFDLNode* node, bool bLoad) {
  if (!Owns(node)) return nullptr;
  auto it = m_expanded.find(node->GetID());
  if (it != m_expanded.end()) return it->second.get();
  CString path = GetExpandDocPath(node);
  if (!bLoad || path.IsEmpty()) return nullptr;

  auto doc = std::make_unique<CRegisterDoc>();
  doc->SetDocPos(node->GetPos());
  switch (doc->LoadXMLDoc(path)) {
    case LOAD_DONE:
      break;
    case LOAD_NO_FILE: {
      CString folder = GetActualFilePos(node);
      if (GetFileAttributesA(folder) == INVALID_FILE_ATTRIBUTES) CreateDirectoryA(folder, nullptr);
      if (!doc->NewXMLDoc(path, 0, 0)) return nullptr;
      break;
    }
    default:
      return nullptr;
  }
  if (!doc->InitVFDLDoc(nullptr)) return nullptr;
  CRegisterDoc* result = doc.get();
  m_expanded.emplace(node->GetID(), std::move(doc));
  return result;
}

int CACASDVFDLDoc::DelLinkFile(CVFDLNode* node) {
  if (Owns(node)) m_expanded.erase(node->GetID());
  return CVFDLDoc::DelLinkFile(node);
}

void CACASDVFDLDoc::OnContentReplaced() {
  m_expanded.clear();
  CVFDLDoc::OnContentReplaced();
}
