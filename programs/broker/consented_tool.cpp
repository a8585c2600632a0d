#include "programs/broker/consented_tool.h"

#include "platform/services/tool_layout.h"

namespace {

const char kLongPathPrefix[] = "\\\\?\\";
const char kLongUncPrefix[] = "\\\\?\\UNC\\";
const DWORD kFinalPathChars = 32768;
const DWORD kFileNameNormalized = 0;  // FILE_NAME_NORMALIZED | VOLUME_NAME_DOS

using GetFinalPathFn = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD, DWORD);

// The path of an open file or folder as the file system resolves it (links followed), without
// the "\\?\" prefix; empty when it cannot be had. GetFinalPathNameByHandleA is Windows 6.0's,
// so it is looked up rather than imported.
CString FinalPathOf(HANDLE file) {
  static const GetFinalPathFn getFinalPath =
      GetProc<GetFinalPathFn>(GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleA");
  if (!getFinalPath) return CString();
  CString path;
  DWORD n = getFinalPath(file, path.GetBuffer(kFinalPathChars), kFinalPathChars, kFileNameNormalized);
  path.ReleaseBuffer(n > 0 && n < kFinalPathChars ? static_cast<int>(n) : 0);
  if (path.Left(lstrlenA(kLongUncPrefix)).CompareNoCase(kLongUncPrefix) == 0)
    return "\\\\" + path.Mid(lstrlenA(kLongUncPrefix));
  if (path.Left(lstrlenA(kLongPathPrefix)) == kLongPathPrefix) return path.Mid(lstrlenA(kLongPathPrefix));
  return path;
}

// The final path of a folder; empty when it is no folder or cannot be opened.
CString FinalFolderPath(const CString& folder) {
  UniqueHandle handle(CreateFileA(folder, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!handle || !GetFileInformationByHandle(handle.get(), &info) ||
      !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return CString();
  return FinalPathOf(handle.get());
}

bool SamePath(const CString& a, const CString& b) { return !a.IsEmpty() && a.CompareNoCase(b) == 0; }

CString LastPart(const CString& path) { return path.Mid(path.ReverseFind('\\') + 1); }

CString ParentOf(const CString& path) {
  int slash = path.ReverseFind('\\');
  return slash > 0 ? path.Left(slash) : CString();
}

// A full local or UNC path with no ".", "..", doubled or trailing separators and no "/".
bool IsCanonical(const CString& path) {
  if (path.IsEmpty() || path.Find('/') >= 0 || path[path.GetLength() - 1] == '\\') return false;
  char full[MAX_PATH] = "";
  DWORD n = GetFullPathNameA(path, MAX_PATH, full, nullptr);
  return n > 0 && n < MAX_PATH && path.Compare(full) == 0;
}

}  // namespace

bool ConsentedTool::Resolve(const CString& toolFolder, const CString& libFolder) {
  CString platform = ParentOf(libFolder);
  CString finalPlatform = FinalFolderPath(platform);
  m_finalLibFolder = FinalFolderPath(libFolder);
  m_finalFolder = FinalFolderPath(toolFolder);
  if (!IsCanonical(toolFolder) || finalPlatform.IsEmpty() ||
      !SamePath(m_finalLibFolder, finalPlatform + "\\" + LastPart(libFolder)) ||
      !SamePath(m_finalFolder, finalPlatform + kToolsFolder + "\\" + LastPart(toolFolder)))
    return false;
  m_folder = toolFolder;
  m_libFolder = libFolder;
  return true;
}

CString ConsentedTool::AppFolder() const { return m_folder + kToolAppFolder; }

CString ConsentedTool::SwapFolder() const { return m_folder + kToolSwapFolder; }

CString ConsentedTool::LauncherPath() const { return m_libFolder + "\\" + kLauncherProgram; }

bool ConsentedTool::IsAppFolder(const CString& folder) const {
  return SamePath(FinalFolderPath(folder), m_finalFolder + kToolAppFolder);
}

bool ConsentedTool::IsSwapFolder(const CString& folder) const {
  return SamePath(FinalFolderPath(folder), m_finalFolder + kToolSwapFolder);
}

bool ConsentedTool::StillInPlace() const {
  return SamePath(FinalFolderPath(m_folder), m_finalFolder) && IsAppFolder(AppFolder()) && IsSwapFolder(SwapFolder());
}

UniqueHandle ConsentedTool::OpenLauncher() const {
  UniqueHandle file(CreateFileA(LauncherPath(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file || !SamePath(FinalPathOf(file.get()), m_finalLibFolder + "\\" + kLauncherProgram)) return UniqueHandle();
  return file;
}
