// The version of the running Windows and the firewall test built on it.
#include "platform/services/crush_file.h"

#include <gtest/gtest.h>

namespace {

TEST(SystemInfo, VersionRecordIsFilledOnceAndMatchesTheSystem) {
  const OSVERSIONINFOEXA& v = CCrushFile::GetOSVersion();
  EXPECT_EQ(&v, &CCrushFile::GetOSVersion());
  EXPECT_EQ(v.dwOSVersionInfoSize, sizeof(OSVERSIONINFOEXA));
  EXPECT_EQ(v.dwMajorVersion, LOBYTE(LOWORD(GetVersion())));
  EXPECT_EQ(v.dwMinorVersion, HIBYTE(LOWORD(GetVersion())));
  EXPECT_NE(v.wProductType, 0);  // only the extended record has it
  EXPECT_NE(CCrushFile::IsWindowsXPSP2(1), 0);  // whatever Wine poses as, it is later than XP SP2
}

TEST(SystemInfo, FirewallListExistsFromXpSp2On) {
  // major, minor, service pack, product type; expected answers for 1 (or later) and 0 (XP only).
  const int cases[][6] = {{5, 0, 4, VER_NT_WORKSTATION, 0, 0}, {5, 1, 1, VER_NT_WORKSTATION, 0, 0},
                          {5, 1, 2, VER_NT_WORKSTATION, 1, 1}, {5, 1, 3, VER_NT_WORKSTATION, 1, 1},
                          {5, 2, 0, VER_NT_SERVER, 0, 0},      {5, 2, 1, VER_NT_SERVER, 1, 0},
                          {5, 2, 0, VER_NT_WORKSTATION, 1, 0},  // XP x64
                          {6, 0, 0, VER_NT_WORKSTATION, 1, 0}, {10, 0, 0, VER_NT_SERVER, 1, 0}};
  for (const auto& c : cases) {
    OSVERSIONINFOEXA v = {};
    v.dwPlatformId = VER_PLATFORM_WIN32_NT;
    v.dwMajorVersion = c[0];
    v.dwMinorVersion = c[1];
    v.wServicePackMajor = static_cast<WORD>(c[2]);
    v.wProductType = static_cast<BYTE>(c[3]);
    SCOPED_TRACE(testing::Message() << c[0] << "." << c[1] << " SP" << c[2] << " type " << c[3]);
    EXPECT_EQ(CCrushFile::IsWindowsXPSP2(v, 1) != 0, c[4] != 0);
    EXPECT_EQ(CCrushFile::IsWindowsXPSP2(v, 0) != 0, c[5] != 0);
  }
}

}  // namespace
