// The platform configuration file, URL encoding, the version of the running Windows, and the
// library lock across threads and windows.
#include "platform/services/crush_file.h"
#include "platform/services/dll_lock.h"
#include "platform/services/xconfig.h"
#include "tests/support/test_paths.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

namespace {

TEST(PlatformConfig, TrimmedValuesNothingForAnythingMissingOrGarbageAndUrlEncoding) {
  // By default: Config.ini in the parent of the library folder, which is this program's folder.
  const std::string bin = BinFolder();
  EXPECT_EQ(CXConfig::GetConfigFile().CompareNoCase((bin.substr(0, bin.rfind('\\')) + "\\Config.ini").c_str()), 0);
  ScratchFolder s("cfg");
  CXConfig::SetConfigFile((s / "Config.ini").c_str());
  EXPECT_STREQ(CXConfig::GetINIString("Basic", "Name"), "");  // no file
  const std::string longValue(5000, 'v');
  WriteTextFile(s / "Config.ini",
                "[Basic]\r\nName =  Vantel 1.0 \t\r\nSkin=Blue.smf:large\r\nLong=" + longValue + "\r\n");
  const char* const values[][3] = {{"Basic", "Name", "Vantel 1.0"}, {"basic", "SKIN", "Blue.smf:large"},
                                   {"Basic", "Long", longValue.c_str()}, {"Missing", "Name", ""}};
  for (const auto& v : values) EXPECT_STREQ(CXConfig::GetINIString(v[0], v[1]), v[2]) << v[0] << "." << v[1];
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>(i * 131 + 7);
  WriteTextFile(s / "Config.ini", garbage);
  EXPECT_STREQ(CXConfig::GetINIString("Basic", "Name"), "");
  CXConfig::SetConfigFile("");

  // URL encoding keeps the unreserved characters and encodes every other byte, which comes back
  // through the shell's own unescaping.
  EXPECT_STREQ(CXConfig::URLEncode("AZaz09-_.~"), "AZaz09-_.~");
  EXPECT_STREQ(CXConfig::URLEncode("C:\\a b#c%d/\xD0\xC5.txt"), "C%3A%5Ca%20b%23c%25d%2F%D0%C5.txt");
  std::string all;
  for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
  std::string encoded = CXConfig::URLEncode(all.c_str()).c_str();
  EXPECT_EQ(encoded.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_.~%"),
            std::string::npos);
  DWORD n = static_cast<DWORD>(encoded.size()) + 1;
  ASSERT_EQ(UrlUnescapeA(&encoded[0], nullptr, &n, URL_UNESCAPE_INPLACE), S_OK);
  EXPECT_EQ(std::string(encoded.c_str()), all);
}

TEST(SystemInfo, VersionRecordAndTheFirewallTest) {
  const OSVERSIONINFOEXA& v = CCrushFile::GetOSVersion();
  EXPECT_EQ(v.dwMajorVersion, LOBYTE(LOWORD(GetVersion())));
  EXPECT_EQ(v.dwMinorVersion, HIBYTE(LOWORD(GetVersion())));
  EXPECT_NE(v.wProductType, 0);                 // only the extended record has it
  EXPECT_NE(CCrushFile::IsWindowsXPSP2(1), 0);  // whatever Wine poses as, it is later than XP SP2

  // The firewall list exists from XP SP2 on. Major, minor, service pack, product type; expected
  // answers for 1 (XP SP2 or later) and 0 (XP only); 5.2 as a workstation is XP x64.
  const int cases[][6] = {{5, 0, 4, VER_NT_WORKSTATION, 0, 0}, {5, 1, 1, VER_NT_WORKSTATION, 0, 0},
                          {5, 1, 2, VER_NT_WORKSTATION, 1, 1}, {5, 2, 0, VER_NT_SERVER, 0, 0},
                          {5, 2, 1, VER_NT_SERVER, 1, 0},      {5, 2, 0, VER_NT_WORKSTATION, 1, 0},
                          {6, 0, 0, VER_NT_WORKSTATION, 1, 0}};
  for (const auto& c : cases) {
    OSVERSIONINFOEXA given = {};
    given.dwPlatformId = VER_PLATFORM_WIN32_NT;
    given.dwMajorVersion = c[0];
    given.dwMinorVersion = c[1];
    given.wServicePackMajor = static_cast<WORD>(c[2]);
    given.wProductType = static_cast<BYTE>(c[3]);
    SCOPED_TRACE(testing::Message() << c[0] << "." << c[1] << " SP" << c[2] << " type " << c[3]);
    EXPECT_EQ(CCrushFile::IsWindowsXPSP2(given, 1) != 0, c[4] != 0);
    EXPECT_EQ(CCrushFile::IsWindowsXPSP2(given, 0) != 0, c[5] != 0);
  }
}

// The code of this test program stands for the library's image: a window whose procedure lives
// here runs library code.
LRESULT CALLBACK OurWindowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcA(h, msg, wp, lp); }
INT_PTR CALLBACK OurDialogProc(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }

HWND MakeWindow(WNDPROC proc, const char* cls, HWND parent = nullptr) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = cls;
  RegisterClassA(&wc);
  const DWORD style = parent == HWND_MESSAGE ? 0 : parent ? WS_CHILD : WS_OVERLAPPED;
  return CreateWindowA(cls, "", style, 0, 0, 10, 10, parent, nullptr, wc.hInstance, nullptr);
}

// The lock is recursive and keeps other threads out until fully released; the first instance is
// the process-wide one while it lives.
TEST(DllLock, RecursiveProcessWideAndHeldByWindowsRunningLibraryCode) {
  ASSERT_EQ(GetDllLock(), nullptr);
  {
    CDllLock lock, second;
    EXPECT_EQ(GetDllLock(), &lock);
    std::atomic<bool> entered{false};
    auto outer = std::make_unique<CDllLock::CAutoLock>(lock);
    auto inner = std::make_unique<CDllLock::CAutoLock>(&lock);  // the same thread again
    std::thread other([&] {
      CDllLock::CAutoLock mine(lock);
      entered = true;
    });
    Sleep(150);
    inner.reset();
    Sleep(150);
    EXPECT_FALSE(entered);  // still held once
    EXPECT_EQ(lock.DllCanUnloadNow(), 0);
    outer.reset();
    other.join();
    EXPECT_TRUE(entered);
      EXPECT_NE(lock.DllCanUnloadNow(), 0);
  }
  EXPECT_EQ(GetDllLock(), nullptr);

  // Only windows running library code keep the library loaded, and excluded ones (with their
  // children) do not.
  CDllLock lock;
  HWND system = MakeWindow(DefWindowProcA, "VantelSystemCode");
  ASSERT_NE(system, nullptr);
  EXPECT_NE(lock.DllCanUnloadNow(), 0);  // the system's code does not count
  HWND hidden = MakeWindow(OurWindowProc, "VantelLibraryCode");
  ASSERT_NE(hidden, nullptr);
  EXPECT_EQ(lock.DllCanUnloadNow(), 0);
  EXPECT_EQ(lock.AddExcludeHwnd(hidden), 1);
  EXPECT_NE(lock.DllCanUnloadNow(), 0);
  ASSERT_NE(MakeWindow(OurWindowProc, "VantelLibraryCode", hidden), nullptr);  // its children neither
  EXPECT_NE(lock.DllCanUnloadNow(), 0);
  alignas(4) WORD tmpl[16] = {};  // an empty dialog: style WS_POPUP, no controls, menu, class or title
  reinterpret_cast<DLGTEMPLATE*>(tmpl)->style = WS_POPUP;
  for (int kind = 0; kind < 2; ++kind) {  // our dialog procedure; a message-only window
    HWND h = kind == 0
                 ? CreateDialogIndirectParamA(nullptr, reinterpret_cast<DLGTEMPLATE*>(tmpl), nullptr, OurDialogProc, 0)
                 : MakeWindow(OurWindowProc, "VantelLibraryCode", HWND_MESSAGE);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(lock.DllCanUnloadNow(), 0);
    DestroyWindow(h);
    EXPECT_NE(lock.DllCanUnloadNow(), 0);
  }
  DestroyWindow(hidden);
  DestroyWindow(system);
}

}  // namespace
