// The utility exports: the platform's archives and the registration primitives, passed through
// unchanged behind GuardedExport.
#include "exports/settings_api.h"

#include "platform/services/xcommon.h"
#include "runtime/export_guard.h"
#include "sysreg/common.h"

extern "C" int __cdecl DllZipArchive(const CString& archive, const CString& source) {
  return GuardedExport(0, [&] { return CXCommon::ZipArchive(archive, source); });
}

extern "C" int __cdecl DllUnzipArchive(const CString& archive, const CString& folder) {
  return GuardedExport(0, [&] { return CXCommon::UnzipArchive(archive, folder); });
}

extern "C" unsigned long __cdecl DllExecApp(const CString& commandLine, int timeout, void* environment) {
  return GuardedExport(0ul, [&] { return CCommon::ExecApp(commandLine, timeout, environment); });
}

extern "C" int __cdecl DllExitApp(unsigned long processId, const CString& windowClass, int timeout) {
  return GuardedExport(0, [&] { return CCommon::ExitApp(processId, windowClass, timeout); });
}

extern "C" int __cdecl DllRegisterLib(const CString& path, int reg, const CString& registrar) {
  return GuardedExport(0, [&] { return CCommon::RegisterLib(path, reg, registrar); });
}
