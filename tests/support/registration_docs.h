// Registration documents made and read by the swap tests, a tool module whose folders live in a
// scratch folder, the test root in the registry and the seed of the randomised tests.
#pragma once

#include "runtime/tool_module.h"
#include "swap/sys_reg_doc.h"
#include "tests/support/test_paths.h"

#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

// Everything the tests put into the registry lies under HKEY_CURRENT_USER\<kTestRoot>.
extern const char kTestRoot[];
// "HKEY_CURRENT_USER\" + subKey: the path text that records carry.
std::string HkcuText(const std::string& subKey);

// The first seed of the randomised tests: VANTEL_SWAP_SEED when set (to replay a failure),
// else a fixed number, so that every run checks the same cases.
unsigned BaseSeed();

// Registration documents.
std::unique_ptr<CSysRegDoc> NewDoc(const std::string& path);   // created and saved; auto-save on
std::unique_ptr<CSysRegDoc> OpenDoc(const std::string& path);  // null unless loaded and built
using Vars = std::vector<std::pair<std::string, std::string>>;
// Adds a record with these variables (in order) under parent; returns its node.
CVFDLNode* AddRecord(CSysRegDoc& doc, CVFDLNode* parent, const Vars& vars);
CVFDLNode* AddFolder(CSysRegDoc& doc, CVFDLNode* parent, const std::string& alias);
inline CSysRegRec* Rec(CVFDLNode* node) { return node ? static_cast<CSysRegRec*>(node->GetData()) : nullptr; }
// The records at or below the class folder, in document order (none when the class is missing).
std::vector<CVFDLNode*> RecordsOf(CSysRegDoc& doc, const char* className);
std::vector<CVFDLNode*> RecordsBelow(CSysRegDoc& doc, CVFDLNode* node);
// Base64 of bytes, and back (empty text on failure), with crypt32 as the independent coder.
std::string Base64(const std::string& bytes);
std::string Unbase64(const std::string& text, bool* ok = nullptr);

// A tool whose swap folder is a fresh scratch folder with MySelf and Backup, run without a host
// (no hooks) and without loading the resource library itself.
class ScratchTool : public CToolModule {
 public:
  explicit ScratchTool(const std::string& hint = "tool");
  using CToolModule::GetSysRegDoc;
  std::string MyDoc() const { return std::string(m_strMyPath) + "\\install.xml"; }
  std::string BackDoc() const { return std::string(m_strBackPath) + "\\install.xml"; }
  std::string Folder() const { return m_folder.path(); }

 private:
  ScratchFolder m_folder;
};
