// The platform's main document, at whose nodes settings documents hang.
//
// The settings document of a node is a CRegisterDoc in the file "Register.xml" of the node's
// folder (CVFDLNode::GetActualFilePos: the main document's folder + "\" + the node's local ID).
// Its tree hangs at the node's position: its paths begin with that position, so the catalogue
// reaches "afs:\<registry root's path>\Config\Basic\Tool" through it.
#pragma once

#include "platform/doctree/register_doc.h"

#include <memory>
#include <unordered_map>

class CACASDVFDLDoc : public CVFDLDoc {
 public:
  CACASDVFDLDoc();
  ~CACASDVFDLDoc() override;

  // The settings document hanging at node. The first call with bLoad true loads it (creating the
  // node's folder and an empty document when there is no file yet) and keeps it; later calls
  // return the same document. With bLoad false, only a document already loaded is returned.
  // Null for a null node, a node of another document, a main document without a file, or a
  // settings file that cannot be loaded (it is left as it is). The main document owns what it
  // returns: the document lives until its node is deleted, the main document's content is
  // replaced, or the main document is destroyed.
  CRegisterDoc* LoadExpandVFDLDoc(CVFDLNode* node, bool bLoad);
  // The file of the settings document hanging at node; empty as for LoadExpandVFDLDoc.
  CString GetExpandDocPath(const CVFDLNode* node) const;

  // Lets go of the settings document of a node that is deleted (its file stays).
  int DelLinkFile(CVFDLNode* node) override;

 protected:
  void OnContentReplaced() override;

 private:
  std::unordered_map<CString, std::unique_ptr<CRegisterDoc>, vfpath::Hasher> m_expanded;  // by node ID
};
