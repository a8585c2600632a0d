// The file side of a document: its path, its parsed XML content until the tree is built, saving,
// and the auto-save switch.
//
// Life of a document:
//   LoadXMLDoc(path)   4: parsed; the caller then builds the tree (InitVFDLDoc)
//                      3: no file there; the caller then calls NewXMLDoc and builds the tree
//                      0: the file cannot be read or is not XML (empty, truncated, malformed,
//                         a folder, locked); 1: well-formed XML but not a document of this kind
//   NewXMLDoc(path)    makes path the document's file, sets an empty document and saves it
//   SetXMLDoc(text)    replaces the content by parsed text (the file path stays)
//   SaveXMLDoc(0)      writes the document to its file
//
// Every load first forgets the previous document (content, tree and file); after a status other
// than 4 the document has no file, so nothing it does can overwrite the file that failed to load:
// SaveXMLDoc answers 0 until NewXMLDoc or SetDocPath gives it a file again.
//
// Auto-save is on after construction: each change of the tree through the document's add,
// update and delete operations then saves the file at once. SetAutoSaveFlag(0) suspends that
// (for a batch of changes, followed by SaveXMLDoc); SetAutoSaveFlag(1) resumes it without saving.
#pragma once

#include "platform/framework/afx_string.h"
#include "platform/doctree/xml_element.h"

#include <memory>

class CXMLDoc {
 public:
  enum LoadStatus {
    LOAD_UNREADABLE = 0,
    LOAD_FOREIGN = 1,
    LOAD_NO_FILE = 3,
    LOAD_DONE = 4,
  };

  CXMLDoc();
  CXMLDoc(const CXMLDoc&) = delete;
  CXMLDoc& operator=(const CXMLDoc&) = delete;
  virtual ~CXMLDoc();

  virtual int LoadXMLDoc(const CString& path);
  // LoadXMLDoc(path) for a file that is a copy of the one `original` was loaded from: when both
  // files hold the same bytes and `original` still holds its parsed content (its tree is not
  // built yet), that content is copied instead of parsing the same text a second time.
  // Otherwise the file is loaded as LoadXMLDoc loads it.
  int LoadXMLDocCopy(const CString& path, const CXMLDoc& original);
  // Writes the document to its file (UTF-8). flag is not interpreted (callers pass 0). 1 when
  // written; 0 when there is no file path or nothing to write, or the write failed, in which
  // case the file on disk is as it was.
  virtual int SaveXMLDoc(int flag);
  // major and minor are the caller's version of the document; not used here.
  virtual int NewXMLDoc(const CString& path, const short& major, const short& minor) = 0;
  // 1 when text is a document of this kind; 0, and nothing changed, otherwise.
  virtual int SetXMLDoc(const CString& text);

  int GetAutoSaveFlag() const { return m_nAutoSave; }
  void SetAutoSaveFlag(int flag) { m_nAutoSave = flag ? 1 : 0; }

  // The document's file (a full path), empty when it has none.
  CString GetDocPath() const { return m_strPath; }
  // Makes path (made a full path) the document's file without reading or writing anything.
  void SetDocPath(const CString& path);
  // The folder of the document's file, without a trailing backslash (for "C:\doc.xml": "C:");
  // empty when the document has no file.
  CString GetBasePath() const;

 protected:
  // The parsed content waiting to be built into the tree; null when there is none.
  const XmlElement* GetContent() const { return m_content.get(); }
  XmlElement* GetContent() { return m_content.get(); }
  void DropContent() { m_content.reset(); }
  // Writes root to the document's file; as SaveXMLDoc.
  int WriteContent(const XmlElement& root) const;

  // Whether parsed XML is a document of this kind; any here.
  virtual bool AcceptContent(const XmlElement& root) const;
  // The content has been replaced or forgotten; whatever was built from the old one must go.
  virtual void OnContentReplaced();

 private:
  CString m_strPath;
  std::unique_ptr<XmlElement> m_content;
  int m_nAutoSave = 1;
};

// Holds a document's auto-save off for a change made of several steps; the previous setting
// comes back with the object's end, and the owner saves once afterwards.
class AutoSavePause {
 public:
  explicit AutoSavePause(CXMLDoc& doc) : m_doc(doc), m_nFlag(doc.GetAutoSaveFlag()) { doc.SetAutoSaveFlag(0); }
  AutoSavePause(const AutoSavePause&) = delete;
  AutoSavePause& operator=(const AutoSavePause&) = delete;
  ~AutoSavePause() { m_doc.SetAutoSaveFlag(m_nFlag); }
  // Whether auto-save was on before: the owner's cue to save once at the end.
  bool WasOn() const { return m_nFlag != 0; }

 private:
  CXMLDoc& m_doc;
  int m_nFlag;
};
