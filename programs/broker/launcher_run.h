// Runs the platform's own launcher, elevated, for the consented tool: started from the launcher
// file while the broker holds it open (writing and deleting denied), in the library folder, with
// the environment the broker made, in a job that ends it, and whatever it started, when its time
// is up or when the broker itself ends.
#pragma once

#include "programs/broker/consented_tool.h"
#include "programs/broker/request_policy.h"

// The exit code given to a launcher ended at its time limit.
inline constexpr DWORD kEndedAtTimeLimit = ERROR_TIMEOUT;

// Runs `"<library folder>\run.exe" /app "<tool>\app" <command>` and waits at most timeLimitMs.
// Returns the launcher's exit code; 0 when it could not be started, kEndedAtTimeLimit when it
// was ended.
DWORD RunLauncher(const ConsentedTool& tool, const LaunchPlan& plan, DWORD timeLimitMs);
