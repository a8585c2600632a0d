#include "platform/services/xconfig.h"

#include "platform/win/handles.h"
#include "platform/win/lib_folder.h"

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

}  // namespace

CString CXConfig::GetConfigFile() {
  CString path;
  {
    CriticalSectionLock hold(ConfigLock());
    path = OverridePath();
  }
  return path.IsEmpty() ? PlatformFolder() + "\\Config.ini" : path;
}

void CXConfig::SetConfigFile(const CString& path) {
  CriticalSectionLock hold(ConfigLock());
  OverridePath() = path;
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
