// The platform's main document (its virtual tree) as the host program keeps it on disk, with the
// folders under which the platform's settings tree hangs:
//   <root>\data\Platform.xml                      the main document; it holds the folders
//                                                 信息中心\个人中心\注册表 (code page 936 bytes)
//   <root>\data\<local ID of 注册表>\Register.xml  the settings tree (CACASDVFDLDoc::
//                                                 LoadExpandVFDLDoc), with the tool catalogue
// The host hands the document to the file-system object (CAFS::m_pMainDoc).
#pragma once

#include "platform/doctree/acas_doc.h"

#include <memory>

class CPlatformTree {
 public:
  CPlatformTree();
  ~CPlatformTree();
  CPlatformTree(const CPlatformTree&) = delete;
  CPlatformTree& operator=(const CPlatformTree&) = delete;

  // Loads the main document of the platform at root, creating it (and the folders of the
  // registry root) when missing. False when the file exists but cannot be read: it is left as it
  // is and there is no document.
  bool Open(const CString& root);
  CACASDVFDLDoc* MainDoc() const { return m_doc.get(); }

  // The main document's file under root.
  static CString MainDocPath(const CString& root);

 private:
  std::unique_ptr<CACASDVFDLDoc> m_doc;
};
