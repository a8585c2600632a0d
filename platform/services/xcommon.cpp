#include "platform/services/xcommon.h"

#include "platform/win/unique_file.h"
#include "platform/services/zip_reader.h"
#include "platform/services/zip_writer.h"

#include <cstring>

int CXCommon::GetTempQorFile(const char* folder, const char* prefix, char* buffer, const char* ext) {
  if (!buffer) return 0;
  buffer[0] = '\0';
  if (!folder || !*folder) return 0;
  const std::wstring dir = Widen(folder);
  // The unique part takes at most 26 characters; a name that could not fit is refused before
  // anything is created.
  if (dir.size() + 1 + Widen(prefix).size() + 26 + Widen(ext).size() >= MAX_PATH) return 0;
  if (!EnsureFolder(dir)) return 0;
  std::wstring path;
  UniqueHandle file = CreateUniqueFile(dir, Widen(prefix), Widen(ext), &path);
  if (!file) return 0;
  file.reset();
  bool lossless = true;
  std::string narrow = Narrow(path, CP_ACP, &lossless);
  if (!lossless || narrow.size() >= MAX_PATH) {
    DeleteFileW(path.c_str());
    return 0;
  }
  memcpy(buffer, narrow.c_str(), narrow.size() + 1);
  return 1;
}

int CXCommon::UnzipArchive(const CString& archive, const CString& folder) {
  if (archive.IsEmpty() || folder.IsEmpty()) return 0;
  return zip::ExtractArchive(Widen(archive), Widen(folder)) ? 1 : 0;
}

int CXCommon::ZipArchive(const CString& archive, const CString& source) {
  if (archive.IsEmpty() || source.IsEmpty()) return 0;
  return zip::CreateArchive(Widen(archive), Widen(source)) ? 1 : 0;
}
