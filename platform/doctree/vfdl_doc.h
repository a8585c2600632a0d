// A document of folders and records kept in an XML file: the file side (CXMLDoc) and the node
// tree (CVFTree) together, with the operations that change the tree.
//
// The XML layout is described in docs/document_format.md: root element <vfdl>, elements
// <folder> and <record> for nodes, <var>, <page>, <subject> and <abstract> inside them.
//
// Changes and their outcomes (the integer argument of the add, update and delete operations is
// not interpreted; the system always passes 65535):
//   AddFolder / AddRec   add a copy of the item as the last child of parent (the root or a
//                        folder) and return the new node's ID. The copy is made by
//                        NewFolderPointer / NewRecPointer, gets a new ID and the current time as
//                        creation and update time. Empty ID, nothing added, when parent is null,
//                        a record, or a node of another document, or item is null.
//   UpdateRec            replaces the content of a record node's item by the record's (ID and
//                        creation time stay); update time now. 0 for a node that is not a record.
//   DelRec               deletes a record node (1); 0 and nothing deleted for a folder, the root,
//                        a null node or a node of another document.
//   DelFolder            deletes a folder with everything below it (1); 0 for a record, the
//                        root, a null node or a node of another document.
// Before a node goes, DelLinkFile is called for it: DelRec calls it for the record, DelFolder for
// the folder and then every node below it, in tree order; its result is not examined. Pointers
// to deleted nodes and their items are dead afterwards. Each change saves the file when
// auto-save is on; the change stands even when that save fails.
//
// Items are made and freed only through the hooks NewFolderPointer / DelFolderPointer and
// NewRecPointer / DelRecPointer, for the nodes read from the file as for the added ones, so a
// derived document's records are all of its own type. While the document is being destroyed
// the remaining items are freed through their virtual destructors instead.
#pragma once

#include "platform/doctree/vf_tree.h"
#include "platform/doctree/vfdl_item.h"
#include "platform/doctree/vfdl_rec.h"
#include "platform/doctree/xml_doc.h"

// The integer argument the system passes to every add, update and delete operation.
constexpr int kVFDLChangeFlag = 65535;

class CVFDLDoc : public CXMLDoc, public CVFTree {
 public:
  CVFDLDoc();
  ~CVFDLDoc() override;

  // Makes path the document's file, sets the empty document (the root alone) and saves it.
  // 1 when saved; 0 when the file could not be written (the empty document is set all the same).
  int NewXMLDoc(const CString& path, const short& major, const short& minor) override;
  // Writes the tree (or, before InitVFDLDoc, the parsed content) to the file; see CXMLDoc.
  int SaveXMLDoc(int flag) override;

  // Hooks around a document's version upgrade, for derived documents; nothing here.
  virtual void PreUpdateVersion();
  virtual void AfterUpdateVersion();

  // With null, builds the tree from the content that LoadXMLDoc, SetXMLDoc or NewXMLDoc set:
  // 1 when built (the parsed content is then released); 0 when there is no content and no tree,
  // or a hook refused a record (no tree then; the content stays). When the tree is already built
  // and no new content came since, 1 and the tree stays as it is. With a node, the tree is
  // current already: 1 for a node of this document, 0 otherwise.
  virtual int InitVFDLDoc(CVFDLNode* node);

  virtual CVFDLFolder* NewFolderPointer();
  virtual void DelFolderPointer(void* item);
  // Reads what a derived document keeps of a record beyond the standard fields, from the
  // record's element of the file. 1 to accept; 0 makes InitVFDLDoc fail. Accepts here.
  virtual int InitExtendRecItem(CVFDLRec* item, const XmlElement& element);
  virtual CVFDLRec* NewRecPointer();
  virtual void DelRecPointer(void* item);

  virtual CString AddFolder(CVFDLNode* parent, CVFDLFolder* item, int flag);
  virtual int DelFolder(CVFDLNode* node, int flag);
  virtual CString AddRec(CVFDLNode* parent, CVFDLRec* item, int flag);
  virtual int DelRec(CVFDLNode* node, int flag);
  virtual int UpdateRec(CVFDLNode* node, CVFDLRec* item, int flag);
  // Adds what a derived document keeps of a record to the record's element (attributes or
  // child elements of its own names). 1 to go on; 0 makes the save fail. Nothing added here.
  virtual int CreateExtendRecText(const CVFDLRec* item, XmlElement& element);
  // Called for each node that is about to be deleted, to remove what belongs to it outside the
  // document. Nothing here; returns 1.
  virtual int DelLinkFile(CVFDLNode* node);

  // The node's folder under the document's base path: base path + "\" + local ID of its ID (the
  // base path itself for the root); only the local ID when the document has no file.
  CString GetActualFilePos(const CVFDLNode* node) const override;

 protected:
  void DelData(CVFDLNode* node) override;
  bool AcceptContent(const XmlElement& root) const override;
  void OnContentReplaced() override;
  // Saves when auto-save is on; 1 when saved or not due.
  int AutoSave();

 private:
  bool BuildTree(const XmlElement& root);
  bool BuildChildren(const XmlElement& element, CVFDLNode* parent);
  bool ComposeChildren(CVFDLNode* node, XmlElement& element);
};
