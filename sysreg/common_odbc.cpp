// ODBC system data sources, through the ODBC installer library.
#include "sysreg/common.h"

#include "platform/win/handles.h"
#include "sysreg/odbc_installer.h"

#include <shlwapi.h>

namespace {

const WORD kAddSystemDsn = 4;     // ODBC_ADD_SYS_DSN
const WORD kRemoveSystemDsn = 6;  // ODBC_REMOVE_SYS_DSN
const WORD kSystemDsnMode = 2;    // ODBC_SYSTEM_DSN, for SQLSetConfigMode

typedef BOOL(WINAPI* ConfigDataSourceFn)(HWND, WORD, LPCSTR, LPCSTR);
typedef BOOL(WINAPI* RemoveDsnFromIniFn)(LPCSTR);
typedef BOOL(WINAPI* GetConfigModeFn)(WORD*);
typedef BOOL(WINAPI* SetConfigModeFn)(WORD);

// The driver under which the machine lists the data source; empty when it is not listed.
CString ListedDriver(const CString& dataSource) {
  char driver[MAX_PATH + 1] = "";
  DWORD size = MAX_PATH;
  DWORD type = 0;
  if (::SHGetValueA(HKEY_LOCAL_MACHINE, kOdbcDataSourceList, dataSource, &type, driver, &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ)
    return CString();
  driver[size < MAX_PATH ? size : MAX_PATH] = '\0';
  return CString(driver);
}

// Removes the data source's entries from the system information directly, for a data source
// whose driver cannot do it (for example because the driver is no longer installed).
void RemoveSystemEntries(HMODULE installer, const CString& dataSource) {
  auto removeFromIni = GetProc<RemoveDsnFromIniFn>(installer, "SQLRemoveDSNFromIni");
  if (!removeFromIni) return;
  auto getMode = GetProc<GetConfigModeFn>(installer, "SQLGetConfigMode");
  auto setMode = GetProc<SetConfigModeFn>(installer, "SQLSetConfigMode");
  WORD previous = 0;
  bool switched = getMode && setMode && getMode(&previous) && setMode(kSystemDsnMode);
  removeFromIni(dataSource);
  if (switched) setMode(previous);
}

}  // namespace

const char kOdbcDataSourceList[] = "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources";

HMODULE OdbcInstallerLibrary() {
  static LibraryHandle installer(::LoadLibraryA("odbccp32.dll"));
  return installer.get();
}

std::string OdbcAttributeList(const CString& dataSource, const CString& description,
                              const CString& database, const CString& extraAttributes) {
  std::string list;
  for (const CString& part : {"DSN=" + dataSource, "DESCRIPTION=" + description, "DBQ=" + database}) {
    list.append(part.c_str(), part.GetLength());
    list.push_back('\0');
  }
  if (!extraAttributes.IsEmpty()) {
    list.append(extraAttributes.c_str(), extraAttributes.GetLength());
    list.push_back('\0');
  }
  list.push_back('\0');
  return list;
}

int CCommon::EnableODBC(const CString& dataSource, int enable, const CString& driver,
                        const CString& database, const CString& description,
                        const CString& extraAttributes) {
  HMODULE installer = OdbcInstallerLibrary();
  auto configure = GetProc<ConfigDataSourceFn>(installer, "SQLConfigDataSource");
  if (enable) {
    if (!configure) return 0;
    std::string attributes = OdbcAttributeList(dataSource, description, database, extraAttributes);
    return configure(nullptr, kAddSystemDsn, driver, attributes.c_str()) ? 1 : 0;
  }
  // Removal names the data source; its driver is the one given or, failing that, the one the
  // machine lists it under. When the driver cannot remove it, its entries are removed directly.
  if (!configure || dataSource.IsEmpty() || !IsODBCExist(dataSource)) return 1;
  CString removeDriver = driver.IsEmpty() ? ListedDriver(dataSource) : driver;
  CString attributes = "DSN=" + dataSource;
  std::string list(attributes.c_str(), attributes.GetLength());
  list.append(2, '\0');
  configure(nullptr, kRemoveSystemDsn, removeDriver, list.c_str());
  if (IsODBCExist(dataSource)) RemoveSystemEntries(installer, dataSource);
  return 1;
}

int CCommon::IsODBCExist(const CString& dataSource) {
  if (dataSource.IsEmpty()) return 0;
  return ::SHGetValueA(HKEY_LOCAL_MACHINE, kOdbcDataSourceList, dataSource, nullptr, nullptr, nullptr) ==
         ERROR_SUCCESS;
}
