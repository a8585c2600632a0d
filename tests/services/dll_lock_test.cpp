// The library lock across threads, and when it lets the library go. The code of this test
// program stands for the library's image: a window whose procedure lives here runs library code.
#include "platform/services/dll_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

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

TEST(DllLock, IsRecursiveAndKeepsOtherThreadsOutUntilFullyReleased) {
  CDllLock lock;
  std::atomic<bool> entered{false};
  std::thread other;
  {
    CDllLock::CAutoLock outer(lock);
    {
      CDllLock::CAutoLock inner(&lock);  // the same thread again
      other = std::thread([&] {
        CDllLock::CAutoLock mine(lock);
        entered = true;
      });
      Sleep(150);
    }
    Sleep(150);
    EXPECT_FALSE(entered);  // still held once
    EXPECT_EQ(lock.DllCanUnloadNow(), 0);
  }
  other.join();
  EXPECT_TRUE(entered);
  EXPECT_NE(lock.DllCanUnloadNow(), 0);
}

TEST(DllLock, OnlyWindowsRunningLibraryCodeKeepItLoadedAndExcludedOnesDoNot) {
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
    HWND h = kind == 0 ? CreateDialogIndirectParamA(nullptr, reinterpret_cast<DLGTEMPLATE*>(tmpl), nullptr,
                                                    OurDialogProc, 0)
                       : MakeWindow(OurWindowProc, "VantelLibraryCode", HWND_MESSAGE);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(lock.DllCanUnloadNow(), 0);
    DestroyWindow(h);
    EXPECT_NE(lock.DllCanUnloadNow(), 0);
  }
  DestroyWindow(hidden);
  DestroyWindow(system);
}

TEST(DllLock, TheFirstInstanceIsTheProcessWideOne) {
  ASSERT_EQ(GetDllLock(), nullptr);
  {
    CDllLock first, second;
    EXPECT_EQ(GetDllLock(), &first);
  }
  EXPECT_EQ(GetDllLock(), nullptr);
}

}  // namespace
