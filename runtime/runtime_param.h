// The public interface between a host (a tool's launcher, the platform's host program) and the
// runtime in Vantel10.dll. A host includes this header.
//
// Runtime parameter block: owned by the host and passed by pointer to every export; its address
// identifies the host's tool module. It holds a 32-bit member the runtime never reads, the
// parameter map (string keys to string values) and the hook map (string keys to function
// addresses). Both maps are the framework's, shared in binary form; every access by the runtime
// is a find-or-insert, so after DllRunModule the parameter map holds all of its keys.
//
// Calling convention: the three exports and every hook use __cdecl. A hook receives the block
// first, then the arguments its name stands for, and returns a 32-bit integer; string arguments
// are addresses of CString objects (out and in/out ones are the runtime's own).
#pragma once

#include "platform/framework/afx_coll.h"
#include "runtime/shared_data.h"

#include <windows.h>

struct RUNTIMEPARAM {
  DWORD dwReserved;                 // the host's own; never read by the runtime
  CMapStringToString mapParam;      // "NeedAdmin", "LocalApp", "System", "Name", ... (see below)
  CMapStringToPtr mapHook;          // hook name -> function address
};
static_assert(sizeof(RUNTIMEPARAM) == 60, "block: one word and two framework maps");

// Keys the runtime reads when it creates a tool's module ("yes" in any letter case is true).
#define RUNTIME_KEY_NEEDADMIN "NeedAdmin"
#define RUNTIME_KEY_LOCALAPP "LocalApp"
#define RUNTIME_KEY_SYSTEM "System"
#define RUNTIME_KEY_NAME "Name"
// The tool's application folder, without a trailing backslash; empty or absent: the folder of the
// host's executable. A launcher started for another folder than its own sets it (run.exe's
// "/app"); after DllRunModule it holds the folder the runtime uses.
#define RUNTIME_KEY_PATH "Path"
// Set to "yes" when the tool's application process has been started.
#define RUNTIME_KEY_RUNSUCCEED "RunSucceed"

// Answers of the hook "GetToolRunInfo" (taken as a signed number):
//   TOOLRUN_NONE or below               nothing is started
//   TOOLRUN_START_MIN..TOOLRUN_START_MAX  the runtime starts the command line the hook filled in,
//                                       without waiting, with the hook's environment block
//                                       (null: the launcher's own); TOOLRUN_START is the usual one
//   above TOOLRUN_START_MAX             the host started the tool itself: the answer is its
//                                       process identifier
//   TOOLRUN_MAIN_PROCESS                the platform's main process runs the tool
#define TOOLRUN_NONE 0
#define TOOLRUN_START_MIN 1
#define TOOLRUN_START 3
#define TOOLRUN_START_MAX 4
#define TOOLRUN_MAIN_PROCESS 0xFFFFFFFFu

// Hook signatures, by hook name.
typedef int(__cdecl* HOOK_CHECKVERSION)(RUNTIMEPARAM*, const OSVERSIONINFOEXA*);     // "CheckVersion"
typedef int(__cdecl* HOOK_PARSEPARAMETER)(RUNTIMEPARAM*, const CString* item);      // "ParseParameter"
typedef int(__cdecl* HOOK_LOADMODULE)(RUNTIMEPARAM*, CString* target, CString* mode);  // "LoadModuleBefore"/"After"
typedef int(__cdecl* HOOK_NOARGS)(RUNTIMEPARAM*);  // "UnloadModule...", "ImportTool...", "BackupTool...", "RestoreTool..."
typedef int(__cdecl* HOOK_UPDATEMODULE)(RUNTIMEPARAM*, const CString* package, const CString* version);
typedef DWORD(__cdecl* HOOK_GETTOOLRUNINFO)(RUNTIMEPARAM*, CString* commandLine, void** environment,
                                            const CString* target);  // "GetToolRunInfo"
typedef int(__cdecl* HOOK_GETTOOLEXITINFO)(RUNTIMEPARAM*, DWORD processId, const CString* exeName,
                                           CString* windowClass, UINT* timeout, int* mainProcess);
typedef int(__cdecl* HOOK_DOWNLOADCOMPLETED)(RUNTIMEPARAM*, int success);  // "DownloadCompleted"

extern "C" {
// Finds or creates the block's tool module, claims its record in the running-tool table and runs
// the command items of the process command line. Returns the action's result; 0 when nothing ran.
int __cdecl DllRunModule(RUNTIMEPARAM* block);
// Copies the tool's record of the running-tool table; 0 and a zeroed record when it has none.
int __cdecl DllGetRuntimeInfo(RUNTIMEPARAM* block, TOOLRUNTIMEINFO* out);
// Stores a host value in the tool's record; 0 when the tool has no record.
int __cdecl DllSetRuntimeParam(RUNTIMEPARAM* block, DWORD value);
// Copies the record of the running-tool table named dataId exactly; 0 and a zeroed record when
// there is none. Needs no runtime parameter block: a host reads any tool's state with it.
int __cdecl DllGetToolRuntimeInfo(const char* dataId, TOOLRUNTIMEINFO* out);
}
