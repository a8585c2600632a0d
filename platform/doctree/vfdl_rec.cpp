#include "platform/doctree/vfdl_rec.h"

#include "platform/doctree/vf_tree.h"

// Tells the tree that holds the record about a change of its variables, before and after.
class CVFDLRec::VarChange {
 public:
  explicit VarChange(const CVFDLRec* record) : m_node(record->GetNode()) {
    if (m_node) m_node->GetTree()->OnRecordChanging(m_node);
  }
  VarChange(const VarChange&) = delete;
  VarChange& operator=(const VarChange&) = delete;
  ~VarChange() {
    if (m_node) m_node->GetTree()->OnRecordChanged(m_node);
  }

 private:
  CVFDLNode* m_node;
};

CVFDLRec::~CVFDLRec() = default;

CVFDLRec& CVFDLRec::operator=(const CVFDLRec& other) {
  if (this == &other) return *this;
  VarChange change(this);
  CVFDLItem::operator=(other);
  m_vars = other.m_vars;
  m_pages = other.m_pages;
  return *this;
}

bool CVFDLRec::operator==(const CVFDLRec& other) const {
  if (this == &other) return true;
  if (m_vars.GetSize() != other.m_vars.GetSize()) return false;
  for (int i = 0; i < m_vars.GetSize(); ++i) {
    int j = other.m_vars.Find(m_vars[i].m_strName);
    if (j < 0 || other.m_vars[j].m_strValue != m_vars[i].m_strValue) return false;
  }
  return true;
}

CString CVFDLRec::GetVarValue(const CString& name) const {
  int i = m_vars.Find(name);
  return i < 0 ? CString() : m_vars[i].m_strValue;
}

CString CVFDLRec::GetVarValue(const char* name) const {
  int i = m_vars.Find(name);
  return i < 0 ? CString() : m_vars[i].m_strValue;
}

void CVFDLRec::SetVarValue(const CString& name, const CString& value) {
  VarChange change(this);
  int i = m_vars.Find(name);
  if (i < 0)
    m_vars.Add(name, value);
  else
    m_vars[i].m_strValue = value;
}

int CVFDLRec::HasVar(const CString& name) const { return m_vars.Find(name) >= 0 ? 1 : 0; }
int CVFDLRec::HasVar(const char* name) const { return m_vars.Find(name) >= 0 ? 1 : 0; }

int CVFDLRec::RemoveVar(const CString& name) {
  int i = m_vars.Find(name);
  if (i < 0) return 0;
  VarChange change(this);
  m_vars.RemoveAt(i);
  return 1;
}

int CVFDLRec::GetVarList(CVFVarArray& list) const {
  list = m_vars;
  return list.GetSize();
}

void CVFDLRec::SetVarList(const CVFVarArray& list) {
  VarChange change(this);
  CVFVarArray vars;
  for (int i = 0; i < list.GetSize(); ++i) {
    int j = vars.Find(list[i].m_strName);
    if (j < 0)
      vars.Add(list[i]);
    else
      vars[j].m_strValue = list[i].m_strValue;
  }
  m_vars = vars;
}

int CVFDLRec::GetPageList(CVFPageArray& list) const {
  list = m_pages;
  return list.GetSize();
}

void CVFDLRec::SetPageList(const CVFPageArray& list) {
  CVFPageArray pages;
  for (int i = 0; i < list.GetSize(); ++i) {
    int j = pages.Find(list[i].m_strName);
    if (j < 0)
      pages.Add(list[i]);
    else
      pages[j] = list[i];
  }
  m_pages = pages;
}
