// The node tree of a document: structure, navigation and lookups.
//
// Structure. One root node (kind 16) holds folders (1) and records (2); folders hold folders
// and records; records hold nothing. Children keep the order in which they were added (new
// children go last).
//
// IDs. Every node has an ID unique in its tree: the root "0", the others decimal numbers given
// in rising order and never reused within a document (the next number is stored with the
// document). IDs read from a file are kept when they are valid (see vf_path.h) and not taken by
// an earlier node of the file; other nodes get new ones.
//
// Paths. GetNode(path) reads each component of an "afs:\" path as the child of the node reached
// so far: a component "#" + ID names the child with that ID when there is one; any other
// component (and a "#" one that is no child's ID) is an alias, matched ignoring ASCII case, the
// first such child in order winning. A node's position (GetPos) is "afs:\" followed by one
// component per level below the root: the node's alias when that alias leads to it (a path
// component of its own, see vfpath::IsComponent, and no earlier sibling with the same alias),
// otherwise "#" and the node's ID, so that GetNode(GetPos(node)) is always node.
// A tree may hang at a position of a larger tree (SetDocPos): its paths then begin with that
// position, e.g. "afs:\A\B\Config" for the folder Config of a tree that hangs at "afs:\A\B".
//
// Cost. Lookups by ID, by parent and alias, and by path (one lookup per component) use hash
// indexes that every change keeps up to date; nothing walks the tree except BrowseNode and the
// ordered walks, which visit what they return.
//
// Not thread-safe: one thread at a time per tree.
#pragma once

#include "platform/framework/afx_coll.h"
#include "platform/framework/afx_string.h"
#include "platform/doctree/vf_path.h"
#include "platform/doctree/vfdl_node.h"

#include <memory>
#include <unordered_map>
#include <vector>

class CVFDLItem;

class CVFTree {
 public:
  CVFTree();
  CVFTree(const CVFTree&) = delete;
  CVFTree& operator=(const CVFTree&) = delete;
  // Frees the remaining items through their virtual destructors.
  virtual ~CVFTree();

  // Called for every node made from a file or added; a derived tree may set the node's
  // extended type from its item here. Does nothing here.
  virtual void InitNodeExtendType(CVFDLNode* node);

  CVFDLNode* GetRootNode() const { return m_pRoot; }
  // Null for the root, a null node, or a node of another tree.
  CVFDLNode* GetParentNode(CVFDLNode* node) const;
  // The number of children of every kind; 0 for a record, a null node, or a node of another tree.
  int GetChildNum(CVFDLNode* node) const;
  // With bAll true, the first child of any kind and the next sibling of any kind; with bAll
  // false only folders count (the walk of a folder view). Null at the end, for a null node, or
  // for a node of another tree.
  CVFDLNode* GetFirstChild(CVFDLNode* node, bool bAll = true) const;
  CVFDLNode* GetNextNode(CVFDLNode* node, bool bAll = true) const;

  // The node at an "afs:\" path ("afs:\" alone: the root); null when nothing is there or the
  // path lies outside this tree's position.
  CVFDLNode* GetNode(const CString& path) const;
  // The child with that alias (ignoring ASCII case; the first in order when several have it) of
  // the node at position; null when either is missing or the alias is empty.
  CVFDLNode* GetNode(const CString& position, const CString& alias) const;
  // Null when no node has the ID.
  CVFDLNode* GetNodeByID(const CString& id) const;
  // Appends every node below node (not node itself), in tree order: each node before its
  // children, children in order. Returns the number appended (0 for a record or a null node).
  int BrowseNode(CVFDLNode* node, CPtrArray& nodes) const;

  // The node's position (see above); empty for a null node or a node of another tree.
  CString GetPos(const CVFDLNode* node) const;
  // The relative folder that belongs to an item ID: one folder level, named after the ID
  // (usable with one CreateDirectory under the document's base path). Empty for a text that is
  // not a valid ID.
  CString GetLocalID(const CString& id) const;
  // The folder on disk that belongs to the node: here its local ID; a document puts it under
  // its base path.
  virtual CString GetActualFilePos(const CVFDLNode* node) const;

  // The position at which this tree hangs; "afs:\" unless set.
  CString GetDocPos() const;
  void SetDocPos(const CString& position);

  int GetNodeCount() const { return static_cast<int>(m_byId.size()); }
  // True when a comes before b in document order (a parent before its children, siblings in
  // their order). False for the same node or nodes of other trees.
  bool IsBefore(const CVFDLNode* a, const CVFDLNode* b) const;
  // Whether node is a node of this tree (compares the node's tree, so node must be live).
  bool Owns(const CVFDLNode* node) const { return node && node->GetTree() == this; }

 protected:
  // Makes the root node for item (the tree must be empty); the tree then owns item.
  CVFDLNode* MakeRoot(CVFDLItem* item);
  // Adds a node holding item as the last child of parent (root or folder). The node gets `id`
  // when that is a valid ID not yet in use, a new ID otherwise; the item's ID is set to it and
  // the tree owns the item. Null, and item still the caller's, when parent cannot hold children.
  CVFDLNode* AddNode(CVFDLNode* parent, WORD kind, CVFDLItem* item, const CString& id = CString());
  // Removes node and everything below it, passing each node to DelData before it goes.
  void DelNode(CVFDLNode* node);
  // Removes every node.
  void ClearTree();
  // Frees the item of a node that is being removed; deletes it here.
  virtual void DelData(CVFDLNode* node);
  // Around every change of the variables of a record the tree holds (through the record's own
  // setters as well as the document's operations), for a derived tree that indexes them. Nothing
  // here.
  virtual void OnRecordChanging(CVFDLNode* node);
  virtual void OnRecordChanged(CVFDLNode* node);

  // The next new ID is at least this number.
  void ReserveIDs(unsigned long long next);
  unsigned long long GetNextIDNumber() const { return m_nNextID; }
  CVFDLNode* FindChild(const CVFDLNode* parent, const CString& alias) const;
  // The child that a path component names (see Paths above); null if none.
  CVFDLNode* GetChild(const CVFDLNode* parent, const CString& component) const;
  // Removes the leading components that name this tree's position; false when the path does not
  // begin with that position.
  bool StripDocPos(std::vector<CString>& components) const;

 private:
  friend class CVFDLItem;
  friend class CVFDLRec;
  void OnAliasChanged(CVFDLNode* node, const CString& previous);

  struct AliasKey {
    const CVFDLNode* parent;
    CString folded;
    bool operator==(const AliasKey& o) const { return parent == o.parent && folded == o.folded; }
  };
  struct AliasKeyHasher {
    size_t operator()(const AliasKey& k) const noexcept;
  };
  struct NodeDeleter {
    void operator()(CVFDLNode* node) const;
  };
  using NodePtr = std::unique_ptr<CVFDLNode, NodeDeleter>;

  static bool ByOrder(const CVFDLNode* a, const CVFDLNode* b);
  void IndexAlias(CVFDLNode* node);
  void UnindexAlias(CVFDLNode* node, const CString& alias);
  CString NewID();

  CVFDLNode* m_pRoot = nullptr;
  std::unordered_map<CString, NodePtr, vfpath::Hasher> m_byId;  // owns the nodes
  // Children by alias; each list is in document order.
  std::unordered_map<AliasKey, std::vector<CVFDLNode*>, AliasKeyHasher> m_byAlias;
  std::vector<CString> m_docPos;  // components of the position at which the tree hangs
  unsigned long long m_nNextID = 1;
  unsigned long long m_nNextOrder = 1;
};
