// The service manager's view of the services the tests make, and a guard that removes them.
#pragma once

#include <windows.h>

#include <string>

// The service manager's view of a service: its configuration and description, and whether it runs.
struct ServiceConfig {
  bool exists = false;
  DWORD type = 0, start = 0, error = 0, tag = 0;
  std::string path, group, dependencies, account, display, description;  // dependencies "A|B|"
  bool running = false;
};
ServiceConfig QueryService(const std::string& name);
std::string Describe(const ServiceConfig& c);  // the configuration and description
// Makes a disabled own-process service that ignores errors (dependencies: names each ended by a
// zero, or null), with a description; and changes a service's description.
bool MakeDisabledService(const std::string& name, const std::string& display, const std::string& commandLine,
                         const char* dependencies, const std::string& description);
bool SetServiceDescription(const std::string& name, const std::string& text);
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
