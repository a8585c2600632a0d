#include "catalogue/tool_command.h"

#include "platform/win/handles.h"
#include "platform/services/tool_layout.h"

#include <cstring>

namespace {

bool StartsWithNoCase(const char* text, const char* prefix) {
  return _strnicmp(text, prefix, strlen(prefix)) == 0;
}

void Append(std::vector<char>& block, const CString& variable) {
  block.insert(block.end(), variable.c_str(), variable.c_str() + variable.GetLength() + 1);
}

}  // namespace

CString SubstituteMarkers(const CString& command, const std::vector<const char*>& values) {
  CString result = command;
  for (size_t n = 1; n <= values.size(); ++n) {
    CString marker;
    marker.Format("%%%u", static_cast<unsigned>(n));
    if (result.Find(marker) < 0 || !values[n - 1]) break;
    result.Replace(marker, values[n - 1]);
  }
  return result;
}

std::vector<char> ToolEnvironment(const CString& libFolder, const CString& swapFolder) {
  std::vector<char> block;
  char* environment = GetEnvironmentStringsA();
  for (const char* p = environment; p && *p; p += strlen(p) + 1) {
    if (StartsWithNoCase(p, "Swap=")) continue;  // the tool's own comes last
    CString variable = p;
    if (StartsWithNoCase(p, "path=")) variable += ";" + libFolder;
    Append(block, variable);
  }
  if (environment) FreeEnvironmentStringsA(environment);
  Append(block, "Swap=" + swapFolder);
  block.push_back('\0');
  return block;
}

CString ToolCommandLine(const CString& toolFolder, const CString& command) {
  char shortForm[MAX_PATH] = "";
  DWORD n = GetShortPathNameA(toolFolder, shortForm, MAX_PATH);
  CString folder = n > 0 && n < MAX_PATH ? CString(shortForm) : toolFolder;
  CString app = folder + kToolAppFolder + "\\";
  if (folder.Find(' ') < 0) return app + command;
  int end = command.Find(' ');
  CString program = end < 0 ? command : command.Left(end);
  return "\"" + app + program + "\"" + (end < 0 ? CString() : command.Mid(end));
}

int StartToolCommand(const CString& commandLine, const std::vector<char>& environment, const CString& workFolder,
                     bool wait) {
  std::vector<char> line(commandLine.c_str(), commandLine.c_str() + commandLine.GetLength() + 1);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, const_cast<char*>(environment.data()),
                      workFolder.IsEmpty() ? nullptr : workFolder.c_str(), &si, &pi))
    return 0;
  UniqueHandle process(pi.hProcess), thread(pi.hThread);
  if (wait) WaitForSingleObject(process.get(), INFINITE);
  return 1;
}
