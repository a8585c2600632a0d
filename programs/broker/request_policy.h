// What the rights broker agrees to run. Its caller holds the secret, but the secret sits in a
// process any program of the user can reach, so a request is taken as a wish, never as code:
//
//  - Only the runtime's one kind of request: the consented tool's launcher with "/install" or
//    "/uninstall", waited for: `"<tool>\app\run.exe" /install`, no function, no working folder,
//    no calling-convention or COM flags. The application folder must resolve, through the file
//    system, to the consented tool's.
//  - The launcher run is never the one in the tool's folder but the platform's own, from the
//    library folder, told which tool by `/app "<tool>\app"`; every library it loads then comes
//    from the library folder, since the loader looks in the program's own folder first.
//  - The caller's environment text must be well formed (entries "name=value", each ended by CR
//    LF, none empty, no control characters) and name the tool's swap folder as Swap, once. The
//    launcher's environment is then made here, from nothing the caller sent: Swap, Path (the
//    system folders and the library folder), the system's own folders and temporary folder and
//    the user's profile folders, as the system reports them.
#pragma once

#include "programs/broker/consented_tool.h"
#include "swap/right_request.h"

#include <vector>

struct LaunchPlan {
  CString command;              // "/install" or "/uninstall"
  std::vector<char> environment;  // entries each ended by a NUL, then one more NUL
};

// Checks the request against the rules above and, when it is admitted, fills the plan.
bool AdmitRequest(const RIGHTREQUEST& request, const ConsentedTool& tool, LaunchPlan& plan);
