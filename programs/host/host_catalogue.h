// The platform of a host program: its file-system object, main document and settings tree, and
// the catalogue verbs that work on the settings tree itself (list, add, remove), whether a resident
// host runs them or the client does while no host runs.
#pragma once

#include <vantel/vantel.h>

#include <functional>
#include <string>

// What a verb prints (to standard output and error) and its exit code.
struct VerbResult {
  int code = 0;
  std::string out;
  std::string err;
};
VerbResult Failure(const std::string& sentence);

class HostCatalogue {
 public:
  explicit HostCatalogue(const std::string& platformRoot);
  // Loads the main document and the settings tree; false, with a sentence that names the file,
  // when one exists and cannot be read (nothing is written then).
  bool Open(std::string& problem);
  CRegisterDoc* Settings() const { return m_settings; }

  // The catalogue tool of that data identifier (any letter case); null when there is none.
  CVFDLNode* Find(const std::string& dataId) const;

  // One line per tool: data identifier, name, installed version, "loaded" or "unloaded",
  // launch count, separated by tabs.
  VerbResult List() const;
  // Makes the tool folder a catalogue tool (docs/host.md).
  VerbResult Add(const std::string& folder);
  // Removes the tool's record and folder; unload is asked first when the tool is loaded and must
  // answer true.
  VerbResult Remove(const std::string& dataId, const std::function<bool(CVFDLNode*)>& unload);
  // Runs the tool's update check in this process (DllCheckUpdate) and says what it queued and
  // downloaded.
  VerbResult Check(const std::string& dataId);

 private:
  std::string m_root;
  CPlatformTree m_tree;
  CAFS m_afs;
  CRegisterDoc* m_settings = nullptr;
  // The block of the tool whose update is checked; the runtime makes a module for it, which
  // nothing uses after the check.
  RUNTIMEPARAM m_checkBlock{};
};

// Whether the running-tool table holds the tool loaded.
bool IsLoaded(const CString& dataId);
