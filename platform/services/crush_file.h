// System information: the version of the running Windows.
#pragma once

#include <windows.h>

class CCrushFile {
 public:
  // The extended version record of the running system, filled on the first call and kept for
  // the life of the process. Programs without a compatibility manifest are told 6.2 on
  // Windows 8.1 and later, as GetVersionEx tells everyone; no caller needs more than that.
  static const OSVERSIONINFOEXA& GetOSVersion();

  // Non-zero when the running system has the firewall exception list of Windows XP SP2.
  // orLater non-zero (what every caller passes): XP SP2 or any later Windows. 0: only an XP
  // release (5.1) with service pack 2 or later.
  static int IsWindowsXPSP2(int orLater);

  // The same test on a given version record.
  static int IsWindowsXPSP2(const OSVERSIONINFOEXA& version, int orLater);
};
