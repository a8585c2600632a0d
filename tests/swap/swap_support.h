// Shared by the swap tests: registry snapshots and guards, registration documents on disk, and a
// tool module whose MySelf and Backup folders live in a scratch folder.
//
// The resource library (the initial text of a new registration document) is made the resource
// handle once for the whole executable, before the first test.
#pragma once

#include "platform/win/handles.h"
#include "runtime/tool_module.h"
#include "swap/sys_reg_doc.h"
#include "tests/support/test_paths.h"
#include "tests/sysreg/sysreg_helpers.h"  // KeyCleanup, WaitUntil, RegQuery, ScQuery

#include <windows.h>

#include <map>
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

// Sets an environment variable while it lives.
class EnvGuard {
 public:
  EnvGuard(std::string name, const std::string& value);
  EnvGuard(const EnvGuard&) = delete;
  EnvGuard& operator=(const EnvGuard&) = delete;
  ~EnvGuard();

 private:
  std::string m_name;
};

// Raw registry access through the ANSI functions, as the runtime and a tool see the registry.
bool SetRaw(HKEY root, const std::string& subKey, const std::string& name, DWORD type, const std::string& bytes);
bool SetText(HKEY root, const std::string& subKey, const std::string& name, const std::string& text);
bool MakeKey(HKEY root, const std::string& subKey);
// False when the value cannot be read; type and bytes as stored.
bool GetRaw(HKEY root, const std::string& subKey, const std::string& name, DWORD* type, std::string* bytes);
bool HasKey(HKEY root, const std::string& subKey);
bool HasValue(HKEY root, const std::string& subKey, const std::string& name);
// A string value's text without its terminating zero; "<absent>" when unreadable.
std::string TextOf(HKEY root, const std::string& subKey, const std::string& name);

// A subtree of the registry as the Unicode functions report it: every key below the top (by
// path), every value (by key path and name) with its type and bytes. Names are compared
// ignoring case, as the registry compares them; types and bytes exactly.
struct RegValueData {
  std::wstring name;  // as spelt
  DWORD type = 0;
  std::vector<BYTE> data;
  bool operator==(const RegValueData& o) const { return type == o.type && data == o.data; }
};
struct RegSnapshot {
  bool exists = false;                                                      // the top key
  std::map<std::wstring, std::wstring> keys;                                // folded path -> path
  std::map<std::pair<std::wstring, std::wstring>, RegValueData> values;   // (folded path, folded name)
};
RegSnapshot Snapshot(HKEY root, const std::string& subKey);
// The differences, one line each (at most `limit`); empty when both are the same.
std::string Differences(const RegSnapshot& expected, const RegSnapshot& actual, size_t limit = 12);
// The key names and data as the Unicode registry holds what the ANSI functions wrote.
std::wstring Wide(const std::string& ansi);
std::vector<BYTE> WideData(DWORD type, const std::string& bytes);
std::wstring Fold(const std::wstring& text);

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

// The service manager's view of a service: its configuration and description.
struct ServiceConfig {
  bool exists = false;
  DWORD type = 0, start = 0, error = 0, tag = 0;
  std::string path, group, dependencies, account, display, description;  // dependencies "A|B|"
  bool operator==(const ServiceConfig& o) const;
};
ServiceConfig QueryService(const std::string& name);
std::string Describe(const ServiceConfig& c);
// Stops and deletes a test service when made and when it goes, and waits until it is gone.
class ServiceGuard {
 public:
  explicit ServiceGuard(std::string name);
  ServiceGuard(const ServiceGuard&) = delete;
  ServiceGuard& operator=(const ServiceGuard&) = delete;
  ~ServiceGuard();
  void Remove();

 private:
  std::string m_name;
};
