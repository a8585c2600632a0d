// The machine and the tool of the crash suite. The machine holds what a user's machine holds in
// the places the tool swaps: a key of a few thousand values of every type (REG_NONE, strings
// without their zero or of odd length, names outside the code page, a subkey), single values
// beside values the tool leaves alone, a settings file, and an association with OpenWithProgids.
// The tool ("config": the whole key, two single values, the file, the association) brings as
// many values of its own, its file and its association.
#pragma once

#include "tests/support/registration_docs.h"
#include "tests/support/registry.h"
#include "tests/support/sample_tool.h"

#include <memory>
#include <string>
#include <vector>

class CrashMachine {
 public:
  // The user's machine put in place; the file lives under root.
  explicit CrashMachine(const std::string& root);
  ~CrashMachine();

  // The swapped places of the registry and the settings file's folder, entry by entry.
  MachineState Look() const;
  const std::string& File() const { return m_file; }
  // The whole key's path below HKEY_CURRENT_USER.
  static const char* WholeKey();
  // A tool under root whose registrations are the ones described above.
  std::unique_ptr<SampleTool> NewTool(const std::string& name) const;

 private:
  std::string m_root, m_file;
  std::vector<std::unique_ptr<KeyCleanup>> m_cleanups;
  MachineView m_view;
};

// The phase the tool's swap journal shows ("none" without one).
std::string JournalPhase(SampleTool& tool);
