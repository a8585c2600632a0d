// CCommon: the registration primitives through which the swap, the tool module, the catalogue
// and the host change the machine. A class without data; every operation is static.
//
// Registry locations are written as one text, a full root name and a sub-path joined by a
// backslash ("HKEY_LOCAL_MACHINE\SOFTWARE\Classes"). Operations answer 1 for success and 0 for
// failure; several answer 1 whatever happened, and their callers do not rely on them.
//
// Concern files: common_regkey.cpp (registry paths), common_process.cpp (processes),
// common_library.cpp (COM libraries), common_association.cpp (associations and firewall),
// common_odbc.cpp (ODBC data sources), common_service.cpp (services).
#pragma once

#include "sysreg/vantel_api.h"
#include "platform/framework/afx_string.h"
#include "sysreg/progress_dlg.h"

#include <windows.h>

class VANTEL_API CCommon {
 public:
  // --- Registry paths -------------------------------------------------------------------------

  // Splits a path into its root key and sub-path. Only the full root names are recognised
  // (case-insensitively); root is 0 otherwise. subKey is whatever follows the first backslash,
  // also when the root name is not recognised. Non-zero when the root was recognised.
  static int ParserSysKey(const CString& path, HKEY& root, CString& subKey);
  // Opens the key level by level, creating missing levels when create is non-zero. Returns the
  // open key (the caller closes it with RegCloseKey; a root name alone gives the predefined root
  // itself), or null.
  static HKEY OpenSysKey(const CString& path, int create);
  // With an empty value name: whether the key exists. Otherwise whether the value exists under
  // it, whatever its type. Never creates anything.
  static int IsSysKeyValueExist(const CString& keyPath, const CString& valueName);

  // --- COM libraries --------------------------------------------------------------------------

  // The file the machine has registered for a GUID (with braces): the "Win32" file of the type
  // library version and locale that enumerate last, else the class's LocalServer32, else its
  // InprocServer32. Environment references are expanded. Empty when nothing is registered.
  static CString GetLibPath(const CString& guid);
  // Registers (reg non-zero) or unregisters a library file: through the registrar program when
  // one is named (success = it started), otherwise in-process through DllRegisterServer /
  // DllUnregisterServer with the file as a type library as the fallback. The file's folder is
  // the current directory meanwhile. 0 for a missing file.
  static int RegisterLib(const CString& path, int reg, const CString& registrar);

  // --- Associations, firewall exceptions, ODBC data sources ----------------------------------

  // Writes (enable non-zero) or removes a file-type or URL-protocol association under
  // HKEY_CLASSES_ROOT. Empty texts and zero flags are skipped. Always 1.
  static int EnableAssociation(const CString& extension, int enable, const CString& openCommand,
                               const CString& icon, int urlProtocol, const CString& document,
                               const CString& name, const CString& contentType,
                               const CString& friendlyName, const CString& editCommand,
                               const CString& printCommand, const CString& classId);
  // Whether the extension's key has a default value.
  static int IsAssociationExist(const CString& extension);
  // Adds (enable non-zero) or removes an application's entry in the firewall's list of
  // authorised applications. Always 1.
  static int EnableFireWall(const CString& applicationPath, int enable, const CString& name);
  static int IsFireWallExist(const CString& applicationPath);
  // Adds a system data source through the ODBC installer (its answer is returned), or removes
  // the named one (always 1). 0 when the installer library is not available.
  static int EnableODBC(const CString& dataSource, int enable, const CString& driver,
                        const CString& database, const CString& description,
                        const CString& extraAttributes);
  // Whether the machine lists the system data source.
  static int IsODBCExist(const CString& dataSource);

  // --- Services -------------------------------------------------------------------------------

  // Replaces any service of that name (waiting for its deletion) and creates it; -1 for type,
  // start and error control give an own-process, demand-start, normal-error service. Starts it
  // unless its start type is SERVICE_DISABLED. Always 1.
  static int NewService(const CString& name, const CString& imagePath, int serviceType,
                        int startType, int errorControl, const CString& group, unsigned long tag,
                        const CString& dependencies, const CString& account,
                        const CString& displayName, const CString& description);
  // Stops the service and marks it for deletion. Waits behind the progress dialog when wait is
  // non-zero or the service refuses to stop. Always 1.
  static int DelService(const CString& name, int wait);
  // Whether the service manager knows a service by that display name.
  static int IsServiceExist(const CString& name);
  // Whether the service manager knows a service by that (key) name: what the swap captures,
  // clears and writes, whatever its display name.
  static int IsServiceInstalled(const CString& name);

  // --- Processes ------------------------------------------------------------------------------

  // Starts the command line (working folder derived from it), waits up to timeout ms when that
  // is not 0 and terminates the process if it is still running then. Returns the process's
  // identifier, 0 when it could not be started.
  static unsigned long ExecApp(const CString& commandLine, int timeout, void* environment);
  // Asks the process's top-level windows (only those of windowClass when it is not empty) to
  // close, then waits up to timeout ms when that is not 0 and terminates the process if it is
  // still running. Always 1.
  static int ExitApp(unsigned long processId, const CString& windowClass, int timeout);
  // The short (8.3) form of an existing path with "." and ".." resolved; empty when the path
  // has no short form (for example because it does not exist).
  static CString GetShortPathNameA(const CString& path);

 protected:
  // One tick of the wait for a service's deletion: retries the stop when the dialog says so,
  // then sets the dialog's result to 1 once the service's key has gone.
  static void WaitServiceDelete(CProgressDlg* dialog, const char* name);
  // ExitApp's window-enumeration callback; context points to the process and window class.
  static int CALLBACK TerminateAppEnum(HWND hwnd, long context);
};
