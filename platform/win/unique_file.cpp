#include "platform/win/unique_file.h"

#include <shlobj.h>

#include <vector>

UniqueHandle CreateUniqueFile(const std::wstring& folder, const std::wstring& prefix,
                              const std::wstring& ext, std::wstring* path) {
  static LONG counter = 0;
  path->clear();
  std::wstring base = folder;
  if (!base.empty() && base.back() != L'\\' && base.back() != L'/') base += L'\\';
  for (int attempt = 0; attempt < 1000; ++attempt) {
    wchar_t unique[48];
    wsprintfW(unique, L"%lx-%lx%04lx", GetCurrentProcessId(),
              static_cast<unsigned long>(InterlockedIncrement(&counter)),
              static_cast<unsigned long>(GetTickCount() & 0xFFFF));
    std::wstring candidate = base + prefix + unique + ext;
    UniqueHandle h(CreateFileW(candidate.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                               nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (h) {
      *path = candidate;
      return h;
    }
    DWORD err = GetLastError();
    if (err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS) break;  // not a name clash
  }
  return UniqueHandle();
}

std::wstring Widen(const char* text, UINT codePage) {
  if (!text || !*text) return std::wstring();
  int n = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::vector<wchar_t> buf(n);
  MultiByteToWideChar(codePage, 0, text, -1, buf.data(), n);
  return std::wstring(buf.data());
}

std::string Narrow(const std::wstring& text, UINT codePage, bool* lossless) {
  if (lossless) *lossless = true;
  if (text.empty()) return std::string();
  BOOL usedDefault = FALSE;
  // The UTF code pages take no default-character arguments.
  const bool utf = codePage == CP_UTF8 || codePage == CP_UTF7;
  int n = WideCharToMultiByte(codePage, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, utf ? nullptr : &usedDefault);
  if (n <= 0) {
    if (lossless) *lossless = false;
    return std::string();
  }
  std::string out(n, '\0');
  WideCharToMultiByte(codePage, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n, nullptr,
                      utf ? nullptr : &usedDefault);
  if (lossless && usedDefault) *lossless = false;
  return out;
}

std::wstring ParentFolder(const std::wstring& path) {
  size_t cut = path.find_last_of(L"\\/");
  return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut);
}

bool EnsureFolder(const std::wstring& folder) {
  if (folder.empty()) return false;
  DWORD attr = GetFileAttributesW(folder.c_str());
  if (attr != INVALID_FILE_ATTRIBUTES) return (attr & FILE_ATTRIBUTE_DIRECTORY) != 0;
  // The shell wants a full path.
  wchar_t full[MAX_PATH];
  DWORD n = GetFullPathNameW(folder.c_str(), MAX_PATH, full, nullptr);
  if (n == 0 || n >= MAX_PATH) return false;
  SHCreateDirectoryExW(nullptr, full, nullptr);  // its answer says less than a look does
  attr = GetFileAttributesW(full);
  return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
