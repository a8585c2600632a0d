#include "tests/support/services.h"

#include "platform/win/handles.h"
#include "sysreg/machine_keys.h"
#include "tests/support/processes.h"
#include "tests/support/registry.h"

#include <cstdio>
#include <cstring>
#include <vector>

ServiceConfig QueryService(const std::string& name) {
  ServiceConfig c;
  ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  ServiceHandle service(manager ? OpenServiceA(manager.get(), name.c_str(), SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS)
                                : nullptr);
  if (!service) return c;
  SERVICE_STATUS status = {};
  c.running = QueryServiceStatus(service.get(), &status) && status.dwCurrentState == SERVICE_RUNNING;
  DWORD needed = 0;
  QueryServiceConfigA(service.get(), nullptr, 0, &needed);
  std::vector<BYTE> buf(needed + 16);
  auto* q = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buf.data());
  if (!QueryServiceConfigA(service.get(), q, static_cast<DWORD>(buf.size()), &needed)) return c;
  c.exists = true;
  c.type = q->dwServiceType;
  c.start = q->dwStartType;
  c.error = q->dwErrorControl;
  c.tag = q->dwTagId;
  c.path = q->lpBinaryPathName ? q->lpBinaryPathName : "";
  c.group = q->lpLoadOrderGroup ? q->lpLoadOrderGroup : "";
  for (const char* d = q->lpDependencies; d && *d; d += strlen(d) + 1) c.dependencies += std::string(d) + "|";
  c.account = q->lpServiceStartName ? q->lpServiceStartName : "";
  c.display = q->lpDisplayName ? q->lpDisplayName : "";
  needed = 0;
  QueryServiceConfig2A(service.get(), SERVICE_CONFIG_DESCRIPTION, nullptr, 0, &needed);
  std::vector<BYTE> dbuf(needed + 16);
  if (QueryServiceConfig2A(service.get(), SERVICE_CONFIG_DESCRIPTION, dbuf.data(), static_cast<DWORD>(dbuf.size()),
                           &needed)) {
    auto* d = reinterpret_cast<SERVICE_DESCRIPTIONA*>(dbuf.data());
    c.description = d->lpDescription ? d->lpDescription : "";
  }
  return c;
}

std::string Describe(const ServiceConfig& c) {
  if (!c.exists) return "(no service)";
  char buf[64];
  snprintf(buf, sizeof buf, "type %lu start %lu error %lu tag %lu", c.type, c.start, c.error, c.tag);
  return std::string(buf) + " path '" + c.path + "' group '" + c.group + "' depend '" + c.dependencies +
         "' account '" + c.account + "' display '" + c.display + "' description '" + c.description + "'";
}

bool MakeDisabledService(const std::string& name, const std::string& display, const std::string& commandLine,
                         const char* dependencies, const std::string& description) {
  ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
  ServiceHandle service(manager ? CreateServiceA(manager.get(), name.c_str(), display.c_str(), SERVICE_ALL_ACCESS,
                                                 SERVICE_WIN32_OWN_PROCESS, SERVICE_DISABLED, SERVICE_ERROR_IGNORE,
                                                 commandLine.c_str(), nullptr, nullptr, dependencies, nullptr, nullptr)
                                : nullptr);
  return service && SetServiceDescription(name, description);
}

bool SetServiceDescription(const std::string& name, const std::string& text) {
  ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  ServiceHandle service(manager ? OpenServiceA(manager.get(), name.c_str(), SERVICE_CHANGE_CONFIG) : nullptr);
  SERVICE_DESCRIPTIONA description = {const_cast<char*>(text.c_str())};
  return service && ChangeServiceConfig2A(service.get(), SERVICE_CONFIG_DESCRIPTION, &description);
}

ServiceGuard::ServiceGuard(std::string name) : m_name(std::move(name)) { Remove(); }
ServiceGuard::~ServiceGuard() { Remove(); }

void ServiceGuard::Remove() {
  ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  ServiceHandle service(manager ? OpenServiceA(manager.get(), m_name.c_str(),
                                               DELETE | SERVICE_STOP | SERVICE_QUERY_STATUS)
                                : nullptr);
  if (!service) return;
  SERVICE_STATUS_PROCESS status = {};
  DWORD needed = 0;
  DWORD pid = QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                   sizeof status, &needed)
                  ? status.dwProcessId
                  : 0;
  SERVICE_STATUS stop;
  ControlService(service.get(), SERVICE_CONTROL_STOP, &stop);
  DeleteService(service.get());
  service.reset();
  UniqueHandle process(pid ? OpenProcess(PROCESS_TERMINATE, FALSE, pid) : nullptr);
  if (process) TerminateProcess(process.get(), 1);
  std::string key = std::string(kServicesKey) + "\\" + m_name;
  WaitUntil([&] { return !HasKey(HKEY_LOCAL_MACHINE, key); }, 15000);
}
