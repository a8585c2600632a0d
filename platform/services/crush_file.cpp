#include "platform/services/crush_file.h"

namespace {

OSVERSIONINFOEXA QueryVersion() {
  OSVERSIONINFOEXA v = {};
  v.dwOSVersionInfoSize = sizeof v;
  if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&v))) {
    // Only the basic record is available (never on XP or later): keep what it says.
    v = {};
    v.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&v));
    v.dwOSVersionInfoSize = sizeof v;
  }
  return v;
}

}  // namespace

const OSVERSIONINFOEXA& CCrushFile::GetOSVersion() {
  static const OSVERSIONINFOEXA version = QueryVersion();  // initialised once, thread-safe
  return version;
}

int CCrushFile::IsWindowsXPSP2(int orLater) { return IsWindowsXPSP2(GetOSVersion(), orLater); }

int CCrushFile::IsWindowsXPSP2(const OSVERSIONINFOEXA& v, int orLater) {
  if (v.dwPlatformId != VER_PLATFORM_WIN32_NT) return 0;
  if (v.dwMajorVersion == 5 && v.dwMinorVersion == 1) return v.wServicePackMajor >= 2 ? 1 : 0;
  if (!orLater) return 0;
  if (v.dwMajorVersion > 5) return 1;
  // 5.2: the firewall came with Server 2003 SP1; XP x64 (a workstation 5.2) always has it.
  if (v.dwMajorVersion == 5 && v.dwMinorVersion == 2)
    return (v.wServicePackMajor >= 1 || v.wProductType == VER_NT_WORKSTATION) ? 1 : 0;
  return 0;
}
