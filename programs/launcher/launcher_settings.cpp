#include "launcher_settings.h"

#include <shlwapi.h>

namespace {

CString ReadValue(const CString& file, const char* key) {
  char buf[4096] = "";
  GetPrivateProfileStringA("Launcher", key, "", buf, sizeof buf, file);
  CString s = buf;
  s.Trim();
  return s;
}

}  // namespace

void LauncherSettings::Load(const CString& folder) {
  CString file = folder + "\\run.ini";
  needAdmin = ReadValue(file, "NeedAdmin");
  localApp = ReadValue(file, "LocalApp");
  system = ReadValue(file, "System");
  name = ReadValue(file, "Name");
  program = ReadValue(file, "Program");
  windowClass = ReadValue(file, "WindowClass");
  timeout = static_cast<UINT>(atoi(ReadValue(file, "Timeout")));
  mainProcess = ReadValue(file, "MainProcess");
  trace = ReadValue(file, "Trace");
  CString list = ReadValue(file, "Processes");
  processes.RemoveAll();
  while (!list.IsEmpty()) {
    int comma = list.Find(',');
    CString item = comma >= 0 ? list.Left(comma) : list;
    list = comma >= 0 ? list.Mid(comma + 1) : CString();
    item.Trim();
    if (!item.IsEmpty()) processes.Add(item);
  }
}

bool LauncherSettings::IsToolProcess(const CString& exeName) const {
  for (int i = 0; i < processes.GetSize(); ++i)
    if (processes[i].CompareNoCase(exeName) == 0) return true;
  return false;
}

CString ExpandProgram(const CString& program, const CString& folder, const CString& target) {
  CString line = program;
  line.Replace("%1", target);
  if (line.IsEmpty()) return line;
  // The program is the quoted text at the front, or the first word.
  CString exe;
  int exeEnd;
  if (line[0] == '"') {
    int close = line.Find('"', 1);
    if (close < 0) return line;
    exe = line.Mid(1, close - 1);
    exeEnd = close + 1;
  } else {
    int space = line.Find(' ');
    exeEnd = space < 0 ? line.GetLength() : space;
    exe = line.Left(exeEnd);
  }
  if (!PathIsRelativeA(exe)) return line;
  return "\"" + folder + "\\" + exe + "\"" + line.Mid(exeEnd);
}
