// run.ini, the launcher's settings beside run.exe, section "Launcher":
//
//   NeedAdmin, LocalApp, System, Name  copied as given into the runtime parameter map
//   Program      command line of the tool's program, relative to the application folder
//                (an absolute path is taken as it is); %1 stands for the load target.
//                Empty: the launcher starts nothing
//   Processes    comma-separated executable file names that belong to the tool
//   WindowClass  window class to close in those processes (empty: every window)
//   Timeout      milliseconds to wait for them to close before they are ended
//   MainProcess  executable file name of the tool's main process, if it has one
//   Trace        optional file: every hook call is appended to it as one line
#pragma once

#include <vantel/vantel.h>

struct LauncherSettings {
  CString needAdmin, localApp, system, name;
  CString program;
  CStringArray processes;
  CString windowClass;
  UINT timeout = 0;
  CString mainProcess;
  CString trace;

  // Reads run.ini from the folder (no trailing backslash). A missing file gives empty settings.
  void Load(const CString& folder);
  bool IsToolProcess(const CString& exeName) const;
};

// The Program command line for a target: relative paths are put under the folder, %1 replaced.
CString ExpandProgram(const CString& program, const CString& folder, const CString& target);
