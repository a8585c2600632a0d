// Registry path texts: "ROOT_NAME\sub\path" turned into a root key and a sub-path, opened or
// created level by level, and tested for keys and values.
#include "sysreg/common.h"

#include "platform/win/handles.h"

#include <mbstring.h>
#include <shlwapi.h>

namespace {

bool SameName(const CString& a, const char* b) {
  return _mbsicmp(reinterpret_cast<const unsigned char*>(a.c_str()),
                  reinterpret_cast<const unsigned char*>(b)) == 0;
}

// HKEY_PERFORMANCE_DATA on the NT family, HKEY_DYN_DATA on the older systems; 0 when the
// system does not say which it is.
HKEY PerformanceRoot() {
  OSVERSIONINFOEXA ex = {};
  ex.dwOSVersionInfoSize = sizeof ex;
  DWORD platform;
  if (::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&ex))) {
    platform = ex.dwPlatformId;
  } else {
    OSVERSIONINFOA basic = {};
    basic.dwOSVersionInfoSize = sizeof basic;
    if (!::GetVersionExA(&basic)) return nullptr;
    platform = basic.dwPlatformId;
  }
  return platform == VER_PLATFORM_WIN32_NT ? HKEY_PERFORMANCE_DATA : HKEY_DYN_DATA;
}

}  // namespace

int CCommon::ParserSysKey(const CString& path, HKEY& root, CString& subKey) {
  root = nullptr;
  subKey.Empty();
  CString rootName = path;
  int slash = path.Find('\\');
  if (slash >= 0) {
    rootName = path.Left(slash);
    subKey = path.Mid(slash + 1);
  }
  static const struct {
    const char* name;
    HKEY key;
  } kRoots[] = {
      {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},   {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
      {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},   {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
      {"HKEY_USERS", HKEY_USERS},
  };
  for (const auto& r : kRoots) {
    if (SameName(rootName, r.name)) {
      root = r.key;
      return 1;
    }
  }
  if (SameName(rootName, "HKEY_PERFORMANCE_DATA") || SameName(rootName, "HKEY_DYN_DATA"))
    root = PerformanceRoot();
  return root != nullptr;
}

HKEY CCommon::OpenSysKey(const CString& path, int create) {
  HKEY root;
  CString rest;
  if (!ParserSysKey(path, root, rest)) return nullptr;
  RegKey current(root);  // a predefined root is never closed by its owner
  while (!rest.IsEmpty()) {
    int slash = rest.Find('\\');
    CString component = slash >= 0 ? rest.Left(slash) : rest;
    rest = slash >= 0 ? rest.Mid(slash + 1) : CString();
    // An empty component (a doubled or leading backslash) names the current key itself.
    if (component.IsEmpty()) continue;
    HKEY next = nullptr;
    if (::RegOpenKeyA(current.get(), component, &next) != ERROR_SUCCESS) {
      next = nullptr;
      if (!create || ::RegCreateKeyA(current.get(), component, &next) != ERROR_SUCCESS) next = nullptr;
    }
    current.reset(next);
    if (!current) return nullptr;
  }
  return current.release();
}

int CCommon::IsSysKeyValueExist(const CString& keyPath, const CString& valueName) {
  if (valueName.IsEmpty()) {
    RegKey key(OpenSysKey(keyPath, 0));
    return key ? 1 : 0;
  }
  HKEY root;
  CString subKey;
  if (!ParserSysKey(keyPath, root, subKey)) return 0;
  return ::SHGetValueA(root, subKey, valueName, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}
