#include "platform/services/xfs_operation.h"

#include "platform/win/handles.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <string>

namespace {

std::string FullPath(const CString& path) {
  char full[MAX_PATH];
  DWORD n = GetFullPathNameA(path, MAX_PATH, full, nullptr);
  return n == 0 || n >= MAX_PATH ? std::string() : std::string(full);
}

bool HasWildcard(const std::string& path) {
  size_t cut = path.find_last_of('\\');
  return path.find_first_of("*?", cut == std::string::npos ? 0 : cut) != std::string::npos;
}

bool MatchesSomething(const std::string& path) {
  WIN32_FIND_DATAA fd;
  FindHandle find(FindFirstFileA(path.c_str(), &fd));
  if (!find) return false;
  do {
    if (strcmp(fd.cFileName, ".") != 0 && strcmp(fd.cFileName, "..") != 0) return true;
  } while (FindNextFileA(find.get(), &fd));
  return false;
}

// "C:\" or "\\server\share\": nothing the platform ever means to empty.
bool IsRootFolder(const std::string& folder) {
  if (folder.size() <= 3) return true;
  if (folder.compare(0, 2, "\\\\") == 0) {
    size_t server = folder.find('\\', 2);
    size_t share = server == std::string::npos ? server : folder.find('\\', server + 1);
    return share == std::string::npos || share + 1 >= folder.size();
  }
  return false;
}

// The parent folder of a path, without its trailing backslash.
std::string Parent(const std::string& path) {
  size_t cut = path.find_last_of('\\');
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

}  // namespace

int CXFSOperation::Execute() {
  if (m_nOperation != kDelete && m_nOperation != kCopy) return 0;
  std::string source = FullPath(m_strSource);
  if (m_strSource.IsEmpty() || source.empty()) return 0;
  while (source.size() > 3 && source.back() == '\\') source.pop_back();  // "C:\x\" names C:\x
  const bool pattern = HasWildcard(source);
  if (m_nOperation == kDelete && pattern && IsRootFolder(Parent(source) + "\\")) return 0;
  if (m_nOperation == kDelete && IsRootFolder(source)) return 0;
  if (!MatchesSomething(source)) return (pattern || m_nOperation == kDelete) ? 1 : 0;

  std::string target;
  if (m_nOperation == kCopy) {
    target = FullPath(m_strTarget);
    if (m_strTarget.IsEmpty() || target.empty()) return 0;
    // A pattern goes into a folder; a single item needs the folder its new name lies in.
    std::string folder = pattern ? target : Parent(target);
    if (!folder.empty() && GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES &&
        SHCreateDirectoryExA(nullptr, folder.c_str(), nullptr) != ERROR_SUCCESS)
      return 0;
  }

  // The shell takes lists ended by an empty string.
  source.append(2, '\0');
  target.append(2, '\0');
  SHFILEOPSTRUCTA op = {};
  op.wFunc = m_nOperation == kDelete ? FO_DELETE : FO_COPY;
  op.pFrom = source.c_str();
  op.pTo = m_nOperation == kCopy ? target.c_str() : nullptr;
  op.fFlags = FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;
  if (m_strTitle.IsEmpty()) {
    op.fFlags |= FOF_SILENT;
  } else {
    op.fFlags |= FOF_SIMPLEPROGRESS;
    op.lpszProgressTitle = m_strTitle;
  }
  return SHFileOperationA(&op) == 0 && !op.fAnyOperationsAborted ? 1 : 0;
}
