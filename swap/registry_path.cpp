#include "swap/registry_path.h"

#include "platform/win/unique_file.h"
#include "sysreg/common.h"

bool SplitRegistryPath(const std::wstring& path, HKEY& root, std::wstring& subKey) {
  root = nullptr;
  subKey.clear();
  size_t slash = path.find(L'\\');
  CString rootName = Narrow(path.substr(0, slash)).c_str();
  CString ignored;
  if (!CCommon::ParserSysKey(rootName, root, ignored) || !root) return false;
  if (slash == std::wstring::npos) return true;
  for (size_t i = slash + 1; i < path.size(); ++i) {
    if (path[i] == L'\\' && (subKey.empty() || subKey.back() == L'\\')) continue;
    subKey += path[i];
  }
  while (!subKey.empty() && subKey.back() == L'\\') subKey.pop_back();
  return true;
}

RegKey OpenRegistryPath(const std::wstring& path, REGSAM access) {
  HKEY root;
  std::wstring subKey;
  RegKey key;
  if (!SplitRegistryPath(path, root, subKey)) return key;
  if (subKey.empty()) return RegKey(root);
  if (RegOpenKeyExW(root, subKey.c_str(), 0, access, key.receive()) != ERROR_SUCCESS) key.reset();
  return key;
}

bool SameRegistryName(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  std::wstring x = a, y = b;
  if (!x.empty()) CharUpperBuffW(&x[0], static_cast<DWORD>(x.size()));
  if (!y.empty()) CharUpperBuffW(&y[0], static_cast<DWORD>(y.size()));
  return x == y;
}

namespace {
// Bytes followed by a guard that is no terminating zero, in either character width.
std::vector<BYTE> Guarded(const std::vector<BYTE>& bytes) {
  static const BYTE kGuard[] = {0xFF, 0xFF};
  std::vector<BYTE> guarded(bytes);
  guarded.insert(guarded.end(), kGuard, kGuard + sizeof kGuard);
  return guarded;
}
}  // namespace

LONG SetValueExactly(HKEY key, const std::wstring& name, DWORD type, const std::vector<BYTE>& bytes) {
  return RegSetValueExW(key, name.c_str(), 0, type, Guarded(bytes).data(), static_cast<DWORD>(bytes.size()));
}

LONG SetValueExactly(HKEY key, const char* name, DWORD type, const std::vector<BYTE>& bytes) {
  return RegSetValueExA(key, name, 0, type, Guarded(bytes).data(), static_cast<DWORD>(bytes.size()));
}
