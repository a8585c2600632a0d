// The module's virtual operations that consult the host's hooks.
#include "runtime/shared_data.h"
#include "runtime/tool_module.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> g_calls;

int __cdecl CheckVersionRefuses(RUNTIMEPARAM*, const OSVERSIONINFOEXA* v) {
  g_calls.push_back("CheckVersion " + std::to_string(v->dwMajorVersion));
  return 0;
}
int __cdecl ReturnsTwo(RUNTIMEPARAM*) { return 2; }
int __cdecl UpdateBefore(RUNTIMEPARAM*, const CString* package, const CString* version) {
  g_calls.push_back("before " + std::string(*package) + " " + std::string(*version));
  return 1;
}
int __cdecl UpdateAfterRefuses(RUNTIMEPARAM*, const CString*, const CString*) {
  g_calls.push_back("after");
  return 0;
}
DWORD __cdecl RunInfoMain(RUNTIMEPARAM*, CString* commandLine, void**, const CString* target) {
  *commandLine = "x.exe " + *target;
  return 0xFFFFFFFF;
}
int __cdecl ExitInfo(RUNTIMEPARAM* block, DWORD pid, const CString* exe, CString* cls, UINT* timeout, int* main) {
  g_calls.push_back("exit " + std::to_string(pid) + " " + std::string(*exe) + " " +
                    std::string(block->mapParam["Name"]));
  *cls = "Wnd";
  *timeout = 250;
  *main = 1;
  return 5;
}

class Hooks : public ::testing::Test {
 protected:
  void SetUp() override {
    g_calls.clear();
    module.m_pParam = &block;
    module.m_bLocalApp = FALSE;  // leaves the resource library alone when destroyed
  }
  RUNTIMEPARAM block{};
  CToolModule module;
};

TEST_F(Hooks, AbsentHooksTakeTheirDefaultsAndLeaveTheirNamesBehind) {
  OSVERSIONINFOEXA v = {};
  EXPECT_EQ(module.CheckVersion(v), 1);
  EXPECT_EQ(module.ParseParameter("load"), 1);
  EXPECT_EQ(module.UpdateModule("p", "v"), 1);
  EXPECT_EQ(module.ImportTool(), 1);
  EXPECT_EQ(module.DownloadCompleted(0), 1);
  CString cmd;
  void* env = nullptr;
  EXPECT_EQ(module.GetToolRunInfo(cmd, env, "t"), 0u);
  CString cls;
  UINT timeout = 0;
  int main = 0;
  EXPECT_EQ(module.GetToolExitInfo(1, "a.exe", cls, timeout, main), 0);
  // Every name looked up is now in the map, with a null address.
  for (const char* name : {"CheckVersion", "ParseParameter", "UpdateModuleBefore", "UpdateModuleAfter",
                           "ImportToolBefore", "ImportToolAfter", "DownloadCompleted", "GetToolRunInfo",
                           "GetToolExitInfo"}) {
    void* p = reinterpret_cast<void*>(1);
    EXPECT_TRUE(block.mapHook.Lookup(name, p)) << name;
    EXPECT_EQ(p, nullptr) << name;
  }
  EXPECT_EQ(block.mapHook.GetCount(), 9);
}

TEST_F(Hooks, WithoutABlockNothingIsLookedUp) {
  CToolModule bare;
  bare.m_bLocalApp = FALSE;
  OSVERSIONINFOEXA v = {};
  EXPECT_EQ(bare.CheckVersion(v), 1);
  EXPECT_EQ(bare.ImportTool(), 1);
}

TEST_F(Hooks, ResultsAreReducedOrPassedAsTheHookAnswers) {
  block.mapHook["CheckVersion"] = reinterpret_cast<void*>(&CheckVersionRefuses);
  block.mapHook["ImportToolBefore"] = reinterpret_cast<void*>(&ReturnsTwo);
  block.mapHook["DownloadCompleted"] = reinterpret_cast<void*>(&ReturnsTwo);
  block.mapHook["UpdateModuleBefore"] = reinterpret_cast<void*>(&UpdateBefore);
  block.mapHook["UpdateModuleAfter"] = reinterpret_cast<void*>(&UpdateAfterRefuses);
  block.mapHook["GetToolExitInfo"] = reinterpret_cast<void*>(&ExitInfo);
  block.mapParam["Name"] = "Demo";
  OSVERSIONINFOEXA v = {};
  v.dwMajorVersion = 6;
  EXPECT_EQ(module.CheckVersion(v), 0);
  EXPECT_EQ(module.ImportTool(), 1);
  EXPECT_EQ(module.DownloadCompleted(1), 1);  // 2 reduced to 1
  EXPECT_EQ(module.UpdateModule("pkg", "1.2"), 0);
  CString cls;
  UINT timeout = 0;
  int main = 0;
  EXPECT_EQ(module.GetToolExitInfo(42, "tool.exe", cls, timeout, main), 5);  // unchanged
  EXPECT_STREQ(cls, "Wnd");
  EXPECT_EQ(timeout, 250u);
  EXPECT_EQ(main, 1);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"CheckVersion 6", "before pkg 1.2", "after", "exit 42 tool.exe Demo"}));
}

TEST_F(Hooks, NamesAreExact) {
  block.mapHook["checkversion"] = reinterpret_cast<void*>(&CheckVersionRefuses);
  OSVERSIONINFOEXA v = {};
  EXPECT_EQ(module.CheckVersion(v), 1);
  EXPECT_TRUE(g_calls.empty());
}

TEST_F(Hooks, RunInfoOfTheMainProcessIsTheOwnerOfTheSharedWindow) {
  block.mapHook["GetToolRunInfo"] = reinterpret_cast<void*>(&RunInfoMain);
  HWND window = CreateWindowA("STATIC", "main", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  HWND saved = SharedToolData().hMainWnd;
  SharedToolData().hMainWnd = window;
  CString cmd;
  void* env = nullptr;
  EXPECT_EQ(module.GetToolRunInfo(cmd, env, "doc"), GetCurrentProcessId());
  EXPECT_STREQ(cmd, "x.exe doc");
  SharedToolData().hMainWnd = nullptr;
  EXPECT_EQ(module.GetToolRunInfo(cmd, env, "doc"), 0u);  // no main window: nobody
  SharedToolData().hMainWnd = saved;
  DestroyWindow(window);
}

}  // namespace
