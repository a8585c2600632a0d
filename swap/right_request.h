// Requests for administrator rights: what a tool's swap asks of the rights broker, QORRIGHT.exe,
// when the tool needs rights the user lacks.
//
// A request either starts a process (strLibrary is then its command line) or calls a function
// without arguments exported by a library. When the caller is an administrator the request runs
// in the calling process (the direct form), whatever it is.
//
// Otherwise only one kind of request is carried out, elevated, by the broker: a tool's launcher
// with "/install" or "/uninstall" (LauncherRequest). The broker is started for that one tool,
// with "runas", after the user has been told that Windows will ask for consent; this process
// gives it a random secret on its command line and every request and answer carries a code made
// with that secret (swap/right_protocol.h). One broker serves every thread of this process that
// asks for the same tool; another tool gets a broker (and a consent) of its own, and so does a
// later request after the broker has ended.
#pragma once

#include "platform/framework/afx_string.h"

#include <windows.h>

struct RIGHTREQUEST {
  CString strLibrary;      // library, or the command line of the process to start
  CString strFunction;     // exported function to call; empty for a process
  CString strWorkDir;      // working folder; empty for none
  CString strEnvironment;  // "name=value" entries each ended by CR LF; empty: the caller's own
  BOOL bWait = FALSE;      // wait for the process to end
  BOOL bStdCall = FALSE;   // the function is __stdcall (else __cdecl)
  BOOL bCom = FALSE;       // initialise COM around the call
};

// The administrator test through shell32's IsUserAnAdmin (by name, else ordinal 680). A shell32
// that cannot be loaded counts as administrator; a missing export as not.
BOOL TestUserIsAdmin();
// The same answer, computed on first use and kept for the process.
BOOL IsUserAdminCached();
// For tests only (Wine always answers "administrator"): 0 or 1 replaces the answer of both
// tests in this process; -1 returns to the real test.
void SetUserAdminForTest(int isAdmin);
// For tests only: the time a broker started from now on gives a launcher, instead of five
// minutes; 0 returns to five minutes.
void SetBrokerTimeLimitForTest(DWORD ms);

// Executes the request. direct != 0, or an administrator: in this process; `result` (when not
// null) gets the process id or the function's return value. Otherwise a tool's launcher request
// goes to that tool's broker and `result` gets the launcher's exit code; any other request fails.
// Returns 1 when the request was carried out (through the broker: the launcher ended with 1).
int ExecuteRequest(RIGHTREQUEST& request, int* result, int direct);
// The swap-in's variant of the general form: no result is read.
int ExecuteSwapRequest(RIGHTREQUEST& request);
// Hands the request, whatever it is, to the broker consented for the tool in toolFolder
// (<platform>\App\Tools\<tool>), started first when this process has none running for it, and
// waits at most the launcher's time limit and 30 s for a genuine answer. 1 for "success";
// `exitCode` (when not null) gets the launcher's exit code. Needs Windows 6.0 or later.
int ExecuteThroughBroker(const CString& toolFolder, const RIGHTREQUEST& request, int* exitCode);

// The request that runs a tool's launcher (run.exe in its application folder) with "/install" or
// "/uninstall", elevated, with this process's environment, waiting for it.
RIGHTREQUEST LauncherRequest(const CString& appFolder, const char* command);

// The environment of this process as request text: every entry followed by CR LF.
CString CurrentEnvironmentText();
// Request file escaping of the environment text (every line end as the four characters "\r\n"),
// and back.
CString EscapeEnvironment(const CString& text);
CString UnescapeEnvironment(const CString& text);
