// The service manager's view of the services the tests make, and a guard that removes them.
#pragma once

#include <windows.h>

#include <string>

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
