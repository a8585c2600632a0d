// Registration documents made and read by the swap tests, a tool module whose folders live in a
// scratch folder, the test root in the registry, the seed of the randomised tests, and the view of
// the machine the tests compare before and after a swap.
#pragma once

#include "runtime/tool_module.h"
#include "swap/sys_reg_doc.h"
#include "tests/support/registry.h"
#include "tests/support/services.h"
#include "tests/support/test_paths.h"

#include <windows.h>

#include <memory>
#include <random>
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

// Random choices from a seed: numbers, items of a list, rows of a table by their weight, bytes, and
// texts of letters, digits, punctuation and code page 936 characters.
class Random {
 public:
  explicit Random(unsigned seed) : m_rng(seed) {}
  std::mt19937& engine() { return m_rng; }
  int Pick(int n) { return n <= 0 ? 0 : static_cast<int>(m_rng() % static_cast<unsigned>(n)); }
  bool Chance(int percent) { return Pick(100) < percent; }
  template <class T>
  const T& Of(const std::vector<T>& list) { return list[Pick(static_cast<int>(list.size()))]; }
  template <class T, size_t N>
  const T& Weighted(const T (&rows)[N]) {
    int at = 0;
    for (const T& row : rows) at += row.weight;
    at = Pick(at);
    for (const T& row : rows)
      if ((at -= row.weight) < 0) return row;
    return rows[0];
  }
  std::string Text(int length);
  std::string Bytes(int count);

 private:
  std::mt19937 m_rng;
};

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
// Base64 of bytes, coded here independently of the product's coder.
std::string Base64(const std::string& bytes);

// A tool whose swap folder is a fresh scratch folder with MySelf and Backup, run without a host
// (no hooks) and without loading the resource library itself.
class ScratchTool : public CToolModule {
 public:
  explicit ScratchTool(const std::string& hint = "tool");
  std::string MyDoc() const { return std::string(m_strMyPath) + "\\install.xml"; }
  std::string BackDoc() const { return std::string(m_strBackPath) + "\\install.xml"; }

 private:
  ScratchFolder m_folder;
};

// Where the texts of an association record lie below HKEY_CLASSES_ROOT, as the write-back writes
// them: in the extension's key, and in classKey, the class's key (the extension's own when the class
// name holds a backslash).
struct ClassText {
  std::string key, name, text;
};
std::vector<ClassText> AssociationTexts(const Vars& record, const std::string& classKey);

// A service as a MachineView entry holds it: its configuration and description, and whether it runs.
std::string ServiceState(const ServiceConfig& c);

// What a test watches on the machine, as entries of a MachineState.
class MachineView {
 public:
  // root\base\top and everything below it, as "area\top...".
  void WatchKey(HKEY root, const std::string& base, const std::string& top, const std::string& area);
  void WatchFolder(const std::string& folder);  // "file\..." for all in it
  void WatchService(const std::string& name);   // "svc\NAME": its configuration, and whether it runs
  MachineState Observe() const;
  // The differences from expected once the machine has settled: services start and go away in the
  // background, so a difference is looked at again for a while before it counts.
  std::string Settled(const MachineState& expected) const;

 private:
  struct Key {
    HKEY root;
    std::string base, top, area;
  };
  std::vector<Key> m_keys;
  std::vector<std::string> m_folders, m_services;
};
