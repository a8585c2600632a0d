#include "programs/broker/request_policy.h"

#include "platform/services/tool_layout.h"

#include <shlwapi.h>

namespace {

// The canonical full path, or empty when it differs from the path as given (relative, ".",
// "..", doubled separators) or is not a plain local path.
CString Canonical(const CString& path) {
  if (path.IsEmpty() || path.Find('/') >= 0 || path.Left(2) == "\\\\") return CString();
  char full[MAX_PATH] = "";
  DWORD n = GetFullPathNameA(path, MAX_PATH, full, nullptr);
  if (n == 0 || n >= MAX_PATH) return CString();
  return CString(full).CompareNoCase(path) == 0 ? CString(full) : CString();
}

bool IsUnder(const CString& path, const CString& folder) {
  CString prefix = folder + "\\";
  return path.GetLength() > prefix.GetLength() && path.Left(prefix.GetLength()).CompareNoCase(prefix) == 0;
}

// Splits `"<path>" /verb` into its two parts; false for any other shape.
bool SplitLauncherLine(const CString& line, CString& path, CString& verb) {
  if (line.GetLength() < 2 || line[0] != '"') return false;
  int close = line.Find('"', 1);
  if (close < 0) return false;
  path = line.Mid(1, close - 1);
  verb = line.Mid(close + 1);
  return verb.CompareNoCase(" /install") == 0 || verb.CompareNoCase(" /uninstall") == 0;
}

CString SystemPath(const CString& libFolder) {
  char system[MAX_PATH] = "", windows[MAX_PATH] = "";
  GetSystemDirectoryA(system, MAX_PATH);
  GetWindowsDirectoryA(windows, MAX_PATH);
  return CString(system) + ";" + windows + ";" + libFolder;
}

// The caller's environment with Swap checked and Path replaced. False when Swap is wrong.
bool PinEnvironment(RIGHTREQUEST& r, const CString& swap, const CString& libFolder) {
  CString text = r.strEnvironment;
  if (text.IsEmpty()) return false;  // the launcher needs Swap
  CString out;
  bool swapSeen = false;
  while (!text.IsEmpty()) {
    int end = text.Find("\r\n");
    CString entry = end < 0 ? text : text.Left(end);
    text = end < 0 ? CString() : text.Mid(end + 2);
    int eq = entry.Find('=', 1);
    CString name = eq < 0 ? entry : entry.Left(eq);
    if (name.CompareNoCase("Path") == 0) continue;
    if (name.CompareNoCase("Swap") == 0) {
      CString value = entry.Mid(eq + 1);
      value.TrimRight('\\');
      if (value.CompareNoCase(swap) != 0) return false;
      swapSeen = true;
    }
    out += entry + "\r\n";
  }
  out += "Path=" + SystemPath(libFolder) + "\r\n";
  r.strEnvironment = out;
  return swapSeen;
}

bool AdmitLauncher(RIGHTREQUEST& r, const CString& platform, const CString& libFolder) {
  CString path, verb;
  if (!SplitLauncherLine(r.strLibrary, path, verb)) return false;
  CString exe = Canonical(path);
  CString tools = platform + kToolsFolder;
  if (exe.IsEmpty() || !IsUnder(exe, tools)) return false;
  // <platform>\App\Tools\<tool>\app\run.exe
  CString rest = exe.Mid(tools.GetLength() + 1);
  int slash = rest.Find('\\');
  if (slash <= 0 || rest.Mid(slash).CompareNoCase(CString(kToolAppFolder) + "\\" + kLauncherProgram) != 0) return false;
  if (GetFileAttributesA(exe) == INVALID_FILE_ATTRIBUTES) return false;
  CString toolFolder = tools + "\\" + rest.Left(slash);
  r.strWorkDir = toolFolder + kToolAppFolder;
  return PinEnvironment(r, toolFolder + kToolSwapFolder, libFolder);
}

bool AdmitFunction(RIGHTREQUEST& r, const CString& platform) {
  CString lib = Canonical(r.strLibrary);
  if (lib.IsEmpty() || !IsUnder(lib, platform) || r.strFunction.IsEmpty()) return false;
  DWORD attributes = GetFileAttributesA(lib);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  r.strWorkDir = lib.Left(lib.ReverseFind('\\'));
  r.strEnvironment.Empty();
  return true;
}

}  // namespace

bool AdmitRequest(RIGHTREQUEST& request, const CString& platform, const CString& libFolder) {
  if (platform.IsEmpty()) return false;
  return request.strFunction.IsEmpty() ? AdmitLauncher(request, platform, libFolder)
                                       : AdmitFunction(request, platform);
}
