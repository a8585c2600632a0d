// A tool laid out on disk the way the catalogue lays it out, with the real launcher:
//
//   <root>\App\Tools\<name>\app\run.exe, run.ini     the application folder
//   <root>\App\Tools\<name>\Swap\Config.ini          section "Tool": ID (and more)
//
// Launch() runs run.exe there with the given command items, the environment variable Swap set
// to the swap folder and the build's bin folder (Vantel10.dll) appended to Path, as the
// catalogue starts a launcher, and returns its exit code (DllRunModule's result).
#pragma once

#include "tests/support/test_paths.h"

#include <windows.h>

#include <string>
#include <vector>

class ToolFolder {
 public:
  ToolFolder(const std::string& root, const std::string& name, const std::string& id);

  const std::string& AppPath() const { return m_app; }
  const std::string& SwapPath() const { return m_swap; }
  std::string ConfigFile() const { return m_swap + "\\Config.ini"; }
  std::string TraceFile() const { return m_swap + "\\trace.log"; }

  // Writes a key of run.ini's section "Launcher".
  void SetLauncher(const std::string& key, const std::string& value);
  // Writes a key of Config.ini's section "Tool".
  void SetConfig(const std::string& key, const std::string& value);
  std::string GetConfig(const std::string& key) const;
  // Turns the launcher's hook trace on (TraceFile()).
  void EnableTrace() { SetLauncher("Trace", TraceFile()); }
  std::vector<std::string> TraceLines() const;

  int Launch(const std::string& commandItems, DWORD timeoutMs = 60000) const;
  // Starts the launcher without waiting; the caller owns the process handle. swap: the value of
  // the variable Swap (null: unset); the tool's own swap folder unless said.
  HANDLE Start(const std::string& commandItems) const { return Start(commandItems, m_swap.c_str()); }
  HANDLE Start(const std::string& commandItems, const char* swap) const;

 private:
  std::string m_app, m_swap;
};
