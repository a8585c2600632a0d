// Windows services: created from a registration, deleted (waiting behind the progress dialog
// until the service manager has really removed them), and tested for presence.
#include "sysreg/common.h"

#include "platform/win/handles.h"
#include "sysreg/machine_keys.h"

#include <shlwapi.h>

#include <string>

namespace {

const DWORD kDeleteInterval = 2000;  // ms between looks at the service's key
const DWORD kDeleteTimeout = 60000;  // ms before the wait gives up

// Sends the stop control. The service counts as stopping unless the control failed while the
// service reports itself as neither stopped nor stopping.
bool SendStop(SC_HANDLE service) {
  SERVICE_STATUS status = {};
  if (::ControlService(service, SERVICE_CONTROL_STOP, &status)) return true;
  return status.dwServiceType == 0 || status.dwCurrentState == SERVICE_STOPPED ||
         status.dwCurrentState == SERVICE_STOP_PENDING;
}

DWORD OrDefault(int value, DWORD fallback) { return value == -1 ? fallback : static_cast<DWORD>(value); }

}  // namespace

int CCommon::NewService(const CString& name, const CString& imagePath, int serviceType, int startType,
                        int errorControl, const CString& group, unsigned long tag,
                        const CString& dependencies, const CString& account,
                        const CString& displayName, const CString& description) {
  DelService(name, 1);
  ServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
  if (!manager) return 1;
  // The dependencies are names each ended by a NUL; two more NULs end the list whatever the
  // caller left at its end.
  std::string dependencyList(dependencies.c_str(), dependencies.GetLength());
  dependencyList.append(2, '\0');
  DWORD assignedTag = tag;
  ServiceHandle service(::CreateServiceA(
      manager.get(), name, displayName.IsEmpty() ? name.c_str() : displayName.c_str(),
      SERVICE_CHANGE_CONFIG | SERVICE_START, OrDefault(serviceType, SERVICE_WIN32_OWN_PROCESS),
      OrDefault(startType, SERVICE_DEMAND_START), OrDefault(errorControl, SERVICE_ERROR_NORMAL),
      imagePath, group.IsEmpty() ? nullptr : group.c_str(), tag ? &assignedTag : nullptr,
      dependencies.IsEmpty() ? nullptr : dependencyList.c_str(),
      account.IsEmpty() ? nullptr : account.c_str(), nullptr));
  if (!service) return 1;
  if (!description.IsEmpty()) {
    SERVICE_DESCRIPTIONA text = {const_cast<char*>(description.c_str())};
    ::ChangeServiceConfig2A(service.get(), SERVICE_CONFIG_DESCRIPTION, &text);
  }
  if (startType != SERVICE_DISABLED) ::StartServiceA(service.get(), 0, nullptr);
  return 1;
}

int CCommon::DelService(const CString& name, int wait) {
  bool stopping;
  {
    ServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return 1;
    ServiceHandle service(::OpenServiceA(manager.get(), name, DELETE | SERVICE_STOP));
    if (!service) return 1;
    stopping = SendStop(service.get());
    ::DeleteService(service.get());
  }  // the service manager removes the service only after every handle to it is closed
  if (!wait && stopping) return 1;

  CProgressDlg dialog;
  dialog.m_bRetryStop = !stopping;
  dialog.m_dwInterval = kDeleteInterval;
  dialog.m_dwTimeout = kDeleteTimeout;
  dialog.m_pTask = new CProgressCall<CProgressDlg*, const char*>(WaitServiceDelete, &dialog, name.c_str());
  dialog.DoModal();
  return 1;
}

void CCommon::WaitServiceDelete(CProgressDlg* dialog, const char* name) {
  if (dialog->m_bRetryStop) {
    ServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return;
    dialog->m_bRetryStop = FALSE;
    ServiceHandle service(::OpenServiceA(manager.get(), name, SERVICE_STOP));
    if (service && !SendStop(service.get())) dialog->m_bRetryStop = TRUE;
    if (dialog->m_bRetryStop) return;
  }
  CString key = CString(kServicesKey) + "\\" + name;
  if (::SHGetValueA(HKEY_LOCAL_MACHINE, key, "ImagePath", nullptr, nullptr, nullptr) == ERROR_FILE_NOT_FOUND)
    dialog->m_nResult = CProgressDlg::kCompleted;
}

int CCommon::IsServiceInstalled(const CString& name) {
  if (name.IsEmpty()) return 0;
  ServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  return manager && ServiceHandle(::OpenServiceA(manager.get(), name, SERVICE_QUERY_STATUS)) ? 1 : 0;
}

int CCommon::IsServiceExist(const CString& name) {
  if (name.IsEmpty()) return 0;
  ServiceHandle manager(::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return 0;
  DWORD size = 0;
  if (::GetServiceKeyNameA(manager.get(), name, nullptr, &size)) return 1;
  return ::GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST;
}
