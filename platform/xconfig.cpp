#include "platform/xconfig.h"

#include <vector>

namespace {

CRITICAL_SECTION* ConfigLock() {
  static CRITICAL_SECTION cs;
  static const bool ready = (InitializeCriticalSection(&cs), true);
  (void)ready;
  return &cs;
}

CString& OverridePath() {
  static CString path;
  return path;
}

CString ModuleFolder(HMODULE module) {
  char path[MAX_PATH] = "";
  DWORD n = GetModuleFileNameA(module, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return CString();
  CString s(path);
  int cut = s.ReverseFind('\\');
  return cut >= 0 ? s.Left(cut) : CString();
}

CString DefaultConfigFile() {
  HMODULE self = nullptr;
  HMODULE lib = GetModuleHandleA("Vantel10.dll");
  if (!lib) {
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&DefaultConfigFile), &self);
    lib = self;
  }
  CString folder = ModuleFolder(lib);
  int cut = folder.ReverseFind('\\');
  CString platform = cut >= 0 ? folder.Left(cut) : folder;
  return platform + "\\Config.ini";
}

}  // namespace

CString CXConfig::GetConfigFile() {
  EnterCriticalSection(ConfigLock());
  CString path = OverridePath();
  LeaveCriticalSection(ConfigLock());
  return path.IsEmpty() ? DefaultConfigFile() : path;
}

void CXConfig::SetConfigFile(const CString& path) {
  EnterCriticalSection(ConfigLock());
  OverridePath() = path;
  LeaveCriticalSection(ConfigLock());
}

CString CXConfig::GetINIString(const CString& section, const CString& key) {
  if (section.IsEmpty() || key.IsEmpty()) return CString();  // empty names would enumerate
  CString file = GetConfigFile();
  if (GetFileAttributesA(file) == INVALID_FILE_ATTRIBUTES) return CString();
  // Grow the buffer until the value fits (the call reports size - 1 when it had to cut).
  std::vector<char> buf(512);
  for (;;) {
    DWORD n = GetPrivateProfileStringA(section, key, "", buf.data(), static_cast<DWORD>(buf.size()), file);
    if (n + 1 < buf.size() || buf.size() >= (1u << 20)) {
      CString value(buf.data(), static_cast<int>(n < buf.size() ? n : 0));
      value.Trim();
      return value;
    }
    buf.resize(buf.size() * 4);
  }
}

CString CXConfig::URLEncode(const CString& text) {
  static const char hex[] = "0123456789ABCDEF";
  CString out;
  const int len = text.GetLength();
  char* p = out.GetBuffer(len * 3);
  int n = 0;
  for (int i = 0; i < len; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                 c == '-' || c == '_' || c == '.' || c == '~';
    if (plain) {
      p[n++] = static_cast<char>(c);
    } else {
      p[n++] = '%';
      p[n++] = hex[c >> 4];
      p[n++] = hex[c & 15];
    }
  }
  out.ReleaseBuffer(n);
  return out;
}
