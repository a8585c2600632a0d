// Items of the document tree: what a node carries.
//
// Every item has an ID (given by the tree; see CVFTree), an alias (its name in "afs:\" paths), a
// display name, a subject line, an abstract, a 16-bit extended type (109 marks a tool record)
// and its creation and update times (UTC, "YYYY-MM-DDThh:mm:ssZ", empty when unknown, as for
// items of a hand-written document). A folder item carries nothing more; CVFDLRec adds named
// variables and pages.
//
// An item is either free (made by a caller) or held by a node of a tree. Adding an item to a tree
// adds a copy of it; changing an item that a node holds changes the tree in memory (an alias
// change is seen by the tree's lookups at once) and reaches the file with the next save.
#pragma once

#include "platform/framework/afx_string.h"

#include <windows.h>

class CVFDLNode;

class CVFDLItem {
 public:
  virtual ~CVFDLItem();

  virtual CString GetSubject() const;
  virtual void SetSubject(const CString& subject);
  // The time of the last change (the update time).
  virtual CString GetTimeStamp() const;

  CString GetID() const { return m_strID; }
  CString GetAlias() const { return m_strAlias; }
  void SetAlias(const CString& alias);
  CString GetName() const { return m_strName; }
  void SetName(const CString& name) { m_strName = name; }
  CString GetAbstract() const { return m_strAbstract; }
  void SetAbstract(const CString& text) { m_strAbstract = text; }
  WORD GetExtendType() const { return m_wExtendType; }
  void SetExtendType(WORD type) { m_wExtendType = type; }
  CString GetCreateTime() const { return m_strCreated; }
  CString GetUpdateTime() const { return m_strUpdated; }

  // The node that holds the item; null for a free item.
  CVFDLNode* GetNode() const { return m_pNode; }

 protected:
  CVFDLItem() = default;
  // A copy has every field of the original, ID and times included, and is free.
  CVFDLItem(const CVFDLItem& other);
  // Takes every field of other; an item held by a node keeps its own ID and creation time,
  // which belong to the node.
  CVFDLItem& operator=(const CVFDLItem& other);

 private:
  friend class CVFTree;
  friend class CVFDLDoc;

  CString m_strID;
  CString m_strAlias;
  CString m_strName;
  CString m_strSubject;
  CString m_strAbstract;
  CString m_strCreated;
  CString m_strUpdated;
  WORD m_wExtendType = 0;
  CVFDLNode* m_pNode = nullptr;
};

class CVFDLFolder : public CVFDLItem {
 public:
  CVFDLFolder() = default;
  CVFDLFolder(const CVFDLFolder& other) = default;
  CVFDLFolder& operator=(const CVFDLFolder& other) = default;
  ~CVFDLFolder() override;
};

// The current time in the form items store it.
CString VFDLTimeNow();
