// Requests to the rights broker, QORRIGHT.exe: the elevated platform program that carries out
// what a tool's swap needs administrator rights for.
//
// A request either starts a process (strLibrary is then its command line) or calls a function
// without arguments exported by a library. Requests travel through the profile file
// "<platform folder>\data\right.ini", one section per request named by six hex digits:
//   status       "init" while written, "ready" when complete; the broker answers "success" or
//                "error" and writes "result" (process id, or the function's return value)
//   library, function, workdir, environment ("\r\n" escaped), wait/stdcall/com ("yes")
// and two named events: "velmora.qor.right" (the broker's; set after writing a request) and
// "velmora.qor.right.creator" (made by the one caller that launches the broker, set once it runs).
//
// When the caller is an administrator the request runs in the calling process instead (the
// direct form).
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

// Executes the request. direct != 0: in this process. Else the general form: in this process for
// an administrator; otherwise through the broker, launched first when it is not running, with up
// to 50 polls 100 ms apart for its answer. `result` (when not null) gets the "result".
int ExecuteRequest(RIGHTREQUEST& request, int* result, int direct);
// The swap-in's variant of the general form: no result is read.
int ExecuteSwapRequest(RIGHTREQUEST& request);

// The broker's request event (EVENT_MODIFY_STATE), launching the broker when launch is non-zero
// and it is not running; null when it cannot be had.
HANDLE OpenRequestEvent(const char* brokerProgram, int launch);
// Writes a request as a new "ready" section and returns the section's name.
CString WriteRequest(const RIGHTREQUEST& request);
// "<platform folder>\data\right.ini".
CString GetRequestFile();
// Launcher thread: tells the user a consent prompt follows, starts the broker with "runas" from
// the library folder and waits up to 5 s for its event. Returns 0.
UINT __cdecl LaunchBroker(void* brokerProgram);

// The request that runs a tool's launcher (run.exe in its application folder) with "/install" or
// "/uninstall", elevated, with this process's environment, waiting for it.
RIGHTREQUEST LauncherRequest(const CString& appFolder, const char* command);

// The environment of this process as request text: every entry followed by CR LF.
CString CurrentEnvironmentText();
// Request file escaping of the environment text, and back.
CString EscapeEnvironment(const CString& text);
CString UnescapeEnvironment(const CString& text);
// Reads the request in a section of a request file (the broker's side).
RIGHTREQUEST ReadRequest(const CString& file, const CString& section);

// Held while a process reads or writes the request file. A profile file is rewritten whole on
// every change, so a caller writing its request while the broker writes an answer could
// otherwise lose one of the two; the named mutex "velmora.qor.right.file" (open to every account)
// serialises them across processes.
class RequestFileLock {
 public:
  RequestFileLock();
  ~RequestFileLock();
  RequestFileLock(const RequestFileLock&) = delete;
  RequestFileLock& operator=(const RequestFileLock&) = delete;

 private:
  HANDLE m_mutex;
  bool m_owned;
};
