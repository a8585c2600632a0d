// The folder of the platform's libraries, found once per process.
#pragma once

#include "platform/framework/afx_string.h"

// The library folder without a trailing backslash. In the platform programs that live in that
// folder themselves ("Envoy.exe", "qorright.exe") it is the program's folder; elsewhere the
// folder of the first platform module loaded in the process (Vantel10.dll first); failing all,
// the program's folder. Computed on the first call and kept.
CString GetLibFolder();

// The platform folder: the parent of the library folder (the library folder itself when that
// has no parent). Follows GetLibFolder, so it is the same for the whole process.
CString PlatformFolder();
