// The record item: named text variables and pages, besides the fields of every item.
//
// Variables are name/value pairs in a list that keeps its order. Names are compared exactly
// (case-sensitive) and occur once: SetVarValue replaces the value of an existing name in place
// and appends a new name at the end. Changing the variables of a record a tree holds tells the
// tree (CVFTree::OnRecordChanging / OnRecordChanged), so its indexes stay right.
//
// Pages are named attachments of a record (a description, release notes, a help text), matched
// by name like variables. A page holds its text inline, or refers to a file by a path (relative
// paths are meant against the document's base path), or both.
//
// CVFDLRec is meant to be derived from (records of a derived document are usually of a derived
// type, made by the document's NewRecPointer); its destructor is virtual.
#pragma once

#include "platform/doctree/vfdl_item.h"

#include <cstring>
#include <vector>

struct CVFVar {
  CString m_strName;
  CString m_strValue;
};

struct CVFPage {
  CString m_strName;
  CString m_strPath;  // file of the page; may be empty
  CString m_strText;  // inline text of the page; may be empty
};

// An ordered list of entries that have an m_strName. Add appends as given (duplicates
// included); the record's setters are what keep names unique.
template <typename Entry>
class CVFArray {
 public:
  int GetSize() const { return static_cast<int>(m_entries.size()); }
  const Entry& GetAt(int i) const { return m_entries[i]; }
  Entry& ElementAt(int i) { return m_entries[i]; }
  const Entry& operator[](int i) const { return m_entries[i]; }
  Entry& operator[](int i) { return m_entries[i]; }
  int Add(const Entry& entry) {
    m_entries.push_back(entry);
    return GetSize() - 1;
  }
  void RemoveAt(int i) {
    if (i >= 0 && i < GetSize()) m_entries.erase(m_entries.begin() + i);
  }
  void RemoveAll() { m_entries.clear(); }
  // Index of the first entry with exactly this name, or -1.
  int Find(const CString& name) const {
    for (int i = 0; i < GetSize(); ++i)
      if (m_entries[i].m_strName == name) return i;
    return -1;
  }
  // The same for a name given as text (the records' own accessors), without making a CString.
  int Find(const char* name) const {
    for (int i = 0; i < GetSize(); ++i)
      if (strcmp(m_entries[i].m_strName.c_str(), name) == 0) return i;
    return -1;
  }

 private:
  std::vector<Entry> m_entries;
};

class CVFVarArray : public CVFArray<CVFVar> {
 public:
  using CVFArray<CVFVar>::Add;
  int Add(const CString& name, const CString& value) { return Add(CVFVar{name, value}); }
};

class CVFPageArray : public CVFArray<CVFPage> {};

class CVFDLRec : public CVFDLItem {
 public:
  CVFDLRec() = default;
  CVFDLRec(const CVFDLRec& other) = default;
  ~CVFDLRec() override;
  // Every field and every variable and page (see CVFDLItem for the ID of a held item).
  CVFDLRec& operator=(const CVFDLRec& other);

  // Equal when both hold the same variables: the same names with the same values, in any order.
  // Pages, texts, aliases and IDs are not compared.
  bool operator==(const CVFDLRec& other) const;
  bool operator!=(const CVFDLRec& other) const { return !(*this == other); }

  // The value of the variable, "" when there is none of that name.
  CString GetVarValue(const CString& name) const;
  CString GetVarValue(const char* name) const;
  // Replaces the value of the variable, or appends the variable when the name is new.
  void SetVarValue(const CString& name, const CString& value);
  // 1 when a variable of that name exists (with any value, the empty one included).
  int HasVar(const CString& name) const;
  int HasVar(const char* name) const;
  // Removes the variable; 1 when there was one.
  int RemoveVar(const CString& name);
  // Fills list with the variables in order (the list is emptied first); returns their number.
  int GetVarList(CVFVarArray& list) const;
  // Replaces all variables by the list's, in its order. A name that occurs again in the list
  // replaces the value of its first occurrence, as SetVarValue would.
  void SetVarList(const CVFVarArray& list);

  // The same for pages, matched by m_strName.
  int GetPageList(CVFPageArray& list) const;
  void SetPageList(const CVFPageArray& list);

 private:
  class VarChange;

  CVFVarArray m_vars;
  CVFPageArray m_pages;
};
