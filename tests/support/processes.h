// Programs run and watched by the tests: commands with their output, Wine's own reg.exe and
// sc.exe, processes by name, waiting for a condition, and environment variables set for a while.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Runs a command line and waits for it; returns its exit code, or -1 when it could not start
// or did not end within the time-out (it is then terminated).
int RunAndWait(const std::string& commandLine, DWORD timeoutMs = 60000,
               const std::string& workDir = std::string());
// Runs a command line with standard output and error captured; exitCode gets the exit code,
// -1 when it did not start or end within 30 s.
std::string RunCapture(const std::string& commandLine, int* exitCode = nullptr);
// Wine's own "reg.exe query <args>" and "sc.exe query <service>".
std::string RegQuery(const std::string& args, int* exitCode = nullptr);
std::string ScQuery(const std::string& service);
bool Has(const std::string& text, const std::string& part);

// Polls every 50 ms until the condition holds or timeoutMs passes.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);
std::string CurrentDirectory();

// Identifiers of the running processes whose executable has this name.
std::vector<DWORD> ProcessesNamed(const char* exeName);
bool IsProcessAlive(DWORD pid);
void EndProcessesNamed(const char* exeName);
// Starts a program of the bin folder without waiting; its process id (0 on failure).
DWORD StartBinProgram(const std::string& exeAndArguments);

// Sets (or, for a null value, removes) an environment variable of this process while it lives;
// the previous value (or its absence) comes back afterwards.
class EnvGuard {
 public:
  EnvGuard(std::string name, const char* value);
  EnvGuard(std::string name, const std::string& value) : EnvGuard(std::move(name), value.c_str()) {}
  EnvGuard(const EnvGuard&) = delete;
  EnvGuard& operator=(const EnvGuard&) = delete;
  ~EnvGuard();

 private:
  std::string m_name;
  bool m_had = false;
  std::string m_previous;
};
