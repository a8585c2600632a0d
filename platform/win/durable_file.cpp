#include "platform/win/durable_file.h"

#include "platform/win/handles.h"
#include "platform/win/unique_file.h"

#include <windows.h>

namespace {

constexpr DWORD kRetryPauseMs = 50;

bool IsSharingConflict(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION;
}

// Moves temp over path, again and again for a while when another process holds path open.
bool ReplaceWithRetry(const std::wstring& temp, const std::wstring& path) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    const DWORD error = GetLastError();
    if (!IsSharingConflict(error) || GetTickCount() - start >= kDurableReplaceRetryMs) {
      SetLastError(error);
      return false;
    }
    Sleep(kRetryPauseMs);
  }
}

}  // namespace

bool WriteFileDurably(const std::string& path, const std::string& bytes) {
  const std::wstring target = Widen(path.c_str());
  std::wstring temp;
  bool written = false;
  {
    const std::wstring folder = ParentFolder(target);
    UniqueHandle file = CreateUniqueFile(folder.empty() ? L"." : folder, L"~dur", L".tmp", &temp);
    if (!file) return false;
    DWORD done = 0;
    written = WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
              done == bytes.size() && FlushFileBuffers(file.get());
  }
  if (written && ReplaceWithRetry(temp, target)) return true;
  const DWORD error = written ? GetLastError() : ERROR_WRITE_FAULT;
  DeleteFileW(temp.c_str());
  SetLastError(error);
  return false;
}
