// A sample tool for the tests that drive real launchers: laid out as the catalogue lays tools
// out, with the real launcher, a program (the windowed test program sysreg_app.exe), a
// registration document that installs one registry value under
// HKEY_CURRENT_USER\Software\VantelLifeTest\<tool>, and the observers the tests read: the
// registry, Config.ini, the shared running-tool table.
#pragma once

#include "runtime/shared_data.h"
#include "tests/support/tool_folder.h"

#include <windows.h>

#include <string>
#include <vector>

class SampleTool {
 public:
  // A tool under root\App\Tools\<name> whose ID is <name> (or id).
  SampleTool(const std::string& root, const std::string& name, const std::string& id = std::string());
  ~SampleTool();

  ToolFolder& folder() { return m_folder; }
  // HKEY_CURRENT_USER\<KeyPath()> holds the tool's value "Setting".
  std::string KeyPath() const { return "Software\\VantelLifeTest\\" + m_name; }
  // The value "Setting" on the machine; "<none>" when it is absent.
  std::string MachineSetting() const;
  void SetMachineSetting(const std::string& value) const;

  // run.ini: the program started for "app" loads and the processes that belong to the tool.
  void UseProgram(const std::string& arguments = "-windows", int timeoutMs = 3000);
  void AddFolder(const std::string& relative) const;  // under the application folder

  TOOLRUNTIMEINFO* Record() const;  // the tool's record in the shared table, or null
  const std::string& Id() const { return m_id; }
  int Launch(const std::string& items) { return m_folder.Launch(items); }

 private:
  std::string m_name, m_id;
  ToolFolder m_folder;
};

// Runs the tool's launcher, answers the one question it asks with `button` (pressed in the real
// dialog of the launcher's process) and returns the launcher's exit code; `question` receives the
// question's text (empty when none was asked).
int LaunchAnswering(SampleTool& tool, const std::string& items, const char* button,
                    std::string* question = nullptr);
