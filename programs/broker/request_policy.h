// What the rights broker agrees to do. It runs elevated on behalf of any process that can write
// the request file, so it carries out only two kinds of request, and pins down everything about
// them that could carry someone else's code into the elevated process:
//
//  1. A tool's swap: the command line is exactly
//       "<platform>\App\Tools\<tool>\app\run.exe" /install    (or /uninstall)
//     with the path quoted, canonical (no "." or ".." parts) and the launcher present. It runs
//     in the tool's application folder, with the environment the caller sent except that "Swap"
//     must be "<platform>\App\Tools\<tool>\Swap" and "Path" is replaced by the system folders
//     and the library folder.
//  2. A function call: the library is a file inside the platform folder (canonical path) and
//     the function name is not empty. It runs with the library's folder as working folder.
//
// Anything else is refused ("error") without being run.
#pragma once

#include "swap/right_request.h"

// Checks the request against the rules and, when it is allowed, rewrites its working folder and
// environment as above. `platform` and `libFolder` are without trailing backslashes.
bool AdmitRequest(RIGHTREQUEST& request, const CString& platform, const CString& libFolder);
