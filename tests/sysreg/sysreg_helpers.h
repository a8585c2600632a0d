// Observers and guards for the registration-primitive tests.
#pragma once

#include "platform/win/handles.h"

#include <functional>
#include <string>

// Runs a command line with standard output and error captured; exitCode gets the exit code,
// -1 when it did not start or end within 30 s.
std::string RunCapture(const std::string& commandLine, int* exitCode = nullptr);
// Wine's own "reg.exe query <args>" and "sc.exe query <service>".
std::string RegQuery(const std::string& args, int* exitCode = nullptr);
std::string ScQuery(const std::string& service);
bool Has(const std::string& text, const std::string& part);

// A string value under root\subKey read through the API; "<absent>" when it cannot be read.
std::string ReadString(HKEY root, const std::string& subKey, const char* name);
bool KeyExists(HKEY root, const std::string& subKey);
// Polls every 50 ms until the condition holds or timeoutMs passes.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);
std::string CurrentDirectory();

// Deletes a registry tree before and after a test, whatever happened in between.
struct KeyCleanup {
  KeyCleanup(HKEY root, std::string subKey);
  ~KeyCleanup();
  HKEY root;
  std::string subKey;
};
