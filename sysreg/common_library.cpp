// COM libraries: where the machine has a GUID registered, and registering or unregistering a
// library file in-process, through a registrar program, or as a type library.
#include "sysreg/common.h"

#include "platform/win/handles.h"

#include <objbase.h>
#include <oleauto.h>

#include <vector>

namespace {

// The subkey opened for reading, or an empty owner when it cannot be opened.
RegKey OpenKey(HKEY parent, const char* subKey) {
  HKEY key = nullptr;
  return RegKey(::RegOpenKeyA(parent, subKey, &key) == ERROR_SUCCESS ? key : nullptr);
}

// The default value of an open key, at most MAX_PATH bytes; empty when it cannot be read.
CString DefaultValue(HKEY key) {
  char data[MAX_PATH + 1] = "";
  DWORD size = MAX_PATH;
  DWORD type = 0;
  if (::RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
          ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return CString();
  data[size < MAX_PATH ? size : MAX_PATH] = '\0';
  return CString(data);
}

CString DefaultValueOf(HKEY parent, const char* subKey) {
  RegKey key = OpenKey(parent, subKey);
  return key ? DefaultValue(key.get()) : CString();
}

DWORD SubkeyCount(HKEY key) {
  DWORD count = 0;
  if (::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return 0;
  return count;
}

// Calls fn(opened subkey) for the subkeys of key from the last enumeration index down to the
// first, until fn answers true.
template <typename Fn>
bool ForSubkeysBackwards(HKEY key, Fn fn) {
  for (DWORD i = SubkeyCount(key); i-- > 0;) {
    char name[MAX_PATH + 1] = "";
    if (::RegEnumKeyA(key, i, name, sizeof name) != ERROR_SUCCESS) continue;
    RegKey sub = OpenKey(key, name);
    if (sub && fn(sub.get())) return true;
  }
  return false;
}

// The "Win32" file of the type library version and locale that enumerate last.
CString TypeLibraryFile(const CString& guid) {
  RegKey library = OpenKey(HKEY_CLASSES_ROOT, "TypeLib\\" + guid);
  if (!library) return CString();
  CString path;
  ForSubkeysBackwards(library.get(), [&](HKEY version) {
    return ForSubkeysBackwards(version, [&](HKEY locale) {
      path = DefaultValueOf(locale, "Win32");
      return !path.IsEmpty();
    });
  });
  return path;
}

std::vector<WCHAR> Wide(const CString& text) {
  int n = ::MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  std::vector<WCHAR> wide(n > 0 ? n : 1, L'\0');
  if (n > 0) ::MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), n);
  return wide;
}

// Registers or unregisters the file as a type library; hr is left alone when it does not load.
void RegisterTypeLibrary(const CString& path, bool reg, HRESULT& hr) {
  std::vector<WCHAR> widePath = Wide(path);
  ITypeLib* lib = nullptr;
  if (FAILED(::LoadTypeLib(widePath.data(), &lib)) || !lib) return;
  if (reg) {
    hr = ::RegisterTypeLib(lib, widePath.data(), nullptr);
    lib->Release();
    return;
  }
  TLIBATTR* attr = nullptr;
  HRESULT got = lib->GetLibAttr(&attr);
  if (FAILED(got) || !attr) {
    lib->Release();
    hr = FAILED(got) ? got : E_FAIL;
    return;
  }
  TLIBATTR copy = *attr;
  lib->ReleaseTLibAttr(attr);
  lib->Release();
  hr = ::UnRegisterTypeLib(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid, copy.syskind);
}

// Calls the library's own DllRegisterServer or DllUnregisterServer with COM initialised.
HRESULT RegisterInProcess(const CString& path, bool reg) {
  LibraryHandle library(::LoadLibraryA(path));
  if (!library) return E_FAIL;
  typedef HRESULT(STDAPICALLTYPE * EntryFn)();
  auto entry = GetProc<EntryFn>(library.get(), reg ? "DllRegisterServer" : "DllUnregisterServer");
  if (!entry) return E_FAIL;
  HRESULT hr = E_FAIL;
  // Uninitialised only when this call initialised it: a thread already in another apartment
  // model keeps its own initialisation.
  bool initialised = SUCCEEDED(::CoInitialize(nullptr));
  try {
    hr = entry();
  } catch (...) {
    hr = E_FAIL;
  }
  if (initialised) ::CoUninitialize();
  return hr;
}

// Makes a folder the current directory and puts the previous one back when it goes.
class CurrentDirectoryScope {
 public:
  explicit CurrentDirectoryScope(const CString& folder) {
    DWORD n = ::GetCurrentDirectoryA(MAX_PATH, m_previous);
    m_saved = n > 0 && n < MAX_PATH;
    ::SetCurrentDirectoryA(folder);
  }
  CurrentDirectoryScope(const CurrentDirectoryScope&) = delete;
  CurrentDirectoryScope& operator=(const CurrentDirectoryScope&) = delete;
  ~CurrentDirectoryScope() {
    if (m_saved) ::SetCurrentDirectoryA(m_previous);
  }

 private:
  char m_previous[MAX_PATH] = "";
  bool m_saved;
};

}  // namespace

CString CCommon::GetLibPath(const CString& guid) {
  CString path = TypeLibraryFile(guid);
  if (path.IsEmpty()) path = DefaultValueOf(HKEY_CLASSES_ROOT, "CLSID\\" + guid + "\\LocalServer32");
  if (path.IsEmpty()) path = DefaultValueOf(HKEY_CLASSES_ROOT, "CLSID\\" + guid + "\\InprocServer32");
  if (path.IsEmpty()) return path;
  char expanded[MAX_PATH] = "";
  DWORD n = ::ExpandEnvironmentStringsA(path, expanded, MAX_PATH);
  return n == 0 || n > MAX_PATH ? path : CString(expanded);
}

int CCommon::RegisterLib(const CString& path, int reg, const CString& registrar) {
  DWORD attributes = ::GetFileAttributesA(path);
  if (path.IsEmpty() || attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return 0;
  int lastBackslash = path.ReverseFind('\\');
  CurrentDirectoryScope folder(path.Left(lastBackslash < 0 ? 0 : lastBackslash));

  if (!registrar.IsEmpty()) {
    CString command = registrar + " \"" + path + "\" /s";
    if (!reg) command += " /u";
    return ExecApp(command, 3000, nullptr) != 0;
  }

  HRESULT hr = RegisterInProcess(path, reg != 0);
  if (FAILED(hr)) RegisterTypeLibrary(path, reg != 0, hr);
  return SUCCEEDED(hr);
}
