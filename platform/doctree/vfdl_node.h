// A node of the document tree: its kind, its place among its parent's children, and the item it
// holds. Nodes are made and destroyed by their tree (CVFTree) only; a node pointer stays valid
// until the node is deleted or the tree's content is replaced.
#pragma once

#include "platform/framework/afx_string.h"

#include <windows.h>

class CVFTree;
class CVFDLItem;

// Node kinds.
enum : WORD {
  VFDL_KIND_FOLDER = 1,
  VFDL_KIND_REC = 2,
  VFDL_KIND_ACCOUNT = 3,  // known to the numbering; documents of this system hold none
  VFDL_KIND_ROOT = 16,
};

class CVFDLNode {
 public:
  CVFDLNode(const CVFDLNode&) = delete;
  CVFDLNode& operator=(const CVFDLNode&) = delete;

  WORD GetKind() const { return m_wKind; }
  // The item's extended type (109 marks a tool record).
  WORD GetExtendType() const;
  void SetExtendType(WORD type);

  CString GetID() const;
  CString GetName() const;
  CString GetAlias() const;
  CString GetSubject() const;
  CString GetAbstract() const;
  CString GetCreateTime() const;
  CString GetUpdateTime() const;
  // The node's position: an "afs:\" path that CVFTree::GetNode resolves to this node.
  CString GetPos() const;
  // The folder on disk that belongs to the node (CVFTree::GetActualFilePos).
  CString GetActualFilePos() const;

  CVFTree* GetTree() const { return m_pTree; }
  CVFDLItem* GetData() const { return m_pItem; }

 private:
  friend class CVFTree;
  CVFDLNode(CVFTree* tree, WORD kind, CVFDLItem* item, unsigned long long order)
      : m_pTree(tree), m_pItem(item), m_wKind(kind), m_nOrder(order) {}
  ~CVFDLNode() = default;

  CVFTree* m_pTree;
  CVFDLItem* m_pItem;  // owned by the tree's document, freed through its hooks
  WORD m_wKind;
  unsigned long long m_nOrder;  // rises with every node made: among siblings, document order
  CVFDLNode* m_pParent = nullptr;
  CVFDLNode* m_pFirstChild = nullptr;
  CVFDLNode* m_pLastChild = nullptr;
  CVFDLNode* m_pPrev = nullptr;
  CVFDLNode* m_pNext = nullptr;
  int m_nChildren = 0;
};
