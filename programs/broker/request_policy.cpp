#include "programs/broker/request_policy.h"

#include "swap/right_protocol.h"

#include <shlobj.h>

#include <algorithm>
#include <string>
#include <utility>

namespace {

// The most characters an environment block can hold.
const int kMaxEnvironmentChars = 32767;
const char kSwapVariable[] = "Swap";
const char kLineEnd[] = "\r\n";
const char kTempFolder[] = "\\Temp";

using Variable = std::pair<std::string, std::string>;

bool IsWellFormedEntry(const CString& entry) {
  for (int i = 0; i < entry.GetLength(); ++i)
    if (static_cast<unsigned char>(entry[i]) < 0x20) return false;
  // "=C:=C:\x" (a drive's current folder) is a name that starts with "=".
  return entry.Find('=', 1) > 0;
}

// The value of the one Swap entry of a well-formed environment text; false for a malformed text
// or one without exactly one Swap.
bool SwapOfEnvironment(const CString& text, CString& swap) {
  if (text.IsEmpty() || text.GetLength() > kMaxEnvironmentChars) return false;
  int swaps = 0;
  for (int start = 0; start < text.GetLength();) {
    int end = text.Find(kLineEnd, start);
    if (end <= start) return false;  // an empty entry, or one without its line end
    CString entry = text.Mid(start, end - start);
    if (!IsWellFormedEntry(entry)) return false;
    int eq = entry.Find('=', 1);
    if (entry.Left(eq).CompareNoCase(kSwapVariable) == 0) {
      swap = entry.Mid(eq + 1);
      ++swaps;
    }
    start = end + lstrlenA(kLineEnd);
  }
  swap.TrimRight('\\');
  return swaps == 1;
}

std::string ShellFolder(int csidl) {
  char path[MAX_PATH] = "";
  return SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)) ? path : "";
}

std::string SystemFolder() {
  char path[MAX_PATH] = "";
  UINT n = GetSystemDirectoryA(path, MAX_PATH);
  return n > 0 && n < MAX_PATH ? path : "";
}

std::string WindowsFolder() {
  char path[MAX_PATH] = "";
  UINT n = GetSystemWindowsDirectoryA(path, MAX_PATH);
  return n > 0 && n < MAX_PATH ? path : "";
}

std::vector<Variable> LauncherVariables(const ConsentedTool& tool) {
  std::string windows = WindowsFolder();
  std::string programData = ShellFolder(CSIDL_COMMON_APPDATA);
  return {{kSwapVariable, tool.SwapFolder().c_str()},
          {"Path", SystemFolder() + ";" + windows + ";" + tool.LibFolder().c_str()},
          {"SystemRoot", windows},
          {"windir", windows},
          {"SystemDrive", windows.substr(0, 2)},
          {"TEMP", windows + kTempFolder},
          {"TMP", windows + kTempFolder},
          {"ProgramFiles", ShellFolder(CSIDL_PROGRAM_FILES)},
          {"CommonProgramFiles", ShellFolder(CSIDL_PROGRAM_FILES_COMMON)},
          {"ProgramData", programData},
          {"ALLUSERSPROFILE", programData},
          {"USERPROFILE", ShellFolder(CSIDL_PROFILE)},
          {"APPDATA", ShellFolder(CSIDL_APPDATA)},
          {"LOCALAPPDATA", ShellFolder(CSIDL_LOCAL_APPDATA)}};
}

// An environment block sorted by name, ignoring case, as CreateProcess wants it; variables the
// system could not tell are left out.
std::vector<char> EnvironmentBlock(std::vector<Variable> variables) {
  std::sort(variables.begin(), variables.end(),
            [](const Variable& a, const Variable& b) { return lstrcmpiA(a.first.c_str(), b.first.c_str()) < 0; });
  std::vector<char> block;
  for (const Variable& v : variables) {
    if (v.second.empty()) continue;
    std::string entry = v.first + "=" + v.second;
    block.insert(block.end(), entry.begin(), entry.end());
    block.push_back('\0');
  }
  block.push_back('\0');
  return block;
}

bool IsRuntimeShape(const RIGHTREQUEST& r) {
  return r.strFunction.IsEmpty() && r.strWorkDir.IsEmpty() && r.bWait && !r.bStdCall && !r.bCom;
}

}  // namespace

bool AdmitRequest(const RIGHTREQUEST& request, const ConsentedTool& tool, LaunchPlan& plan) {
  CString appFolder, swap;
  if (!IsRuntimeShape(request) || !ParseLauncherLine(request.strLibrary, appFolder, plan.command) ||
      !SwapOfEnvironment(request.strEnvironment, swap))
    return false;
  if (!tool.IsAppFolder(appFolder) || !tool.IsSwapFolder(swap) || !tool.StillInPlace()) return false;
  plan.environment = EnvironmentBlock(LauncherVariables(tool));
  return true;
}
