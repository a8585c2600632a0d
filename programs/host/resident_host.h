// `host run`: the platform's main program, resident. It sets up the platform (file-system object,
// main document, settings tree), opens its own window (the platform's notification window, which
// also takes the requests of the other verbs), calls LoadApp, loads the autorun tools and runs its
// message loop until `host stop`, Ctrl+C in its console or WM_CLOSE to its window. It then unloads
// every tool and saves the launch counts (UnLoadApp) and ends.
#pragma once

#include <string>

// The exit code: 0 after a clean end, 1 when it could not start (the reason on standard error).
int RunResidentHost(const std::string& platformRoot);
