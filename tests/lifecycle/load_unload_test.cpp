// A tool's life through its real launcher: load in each kind with the fallback chain, the swap in
// and out around it, the tool's processes, and the record in the shared table.
#include "runtime/plugin_page.h"
#include "tests/support/processes.h"
#include "tests/support/sample_tool.h"
#include "tests/support/dialog_answerer.h"
#include "tests/support/shared_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

class Lifecycle : public ::testing::Test {
 protected:
  void SetUp() override {
    m_table = LoadedSharedTable();
    ASSERT_NE(m_table, nullptr);
    m_table->hMainWnd = nullptr;  // no platform main window unless a test makes one
    EndProcessesNamed("sysreg_app.exe");
  }
  void TearDown() override {
    m_table->hMainWnd = nullptr;
    if (m_window) DestroyWindow(m_window);
    EndProcessesNamed("sysreg_app.exe");
  }
  // A window of this process posing as the platform's main window.
  void MakeMainWindow() {
    m_window = CreateWindowA("STATIC", "main", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    m_table->hMainWnd = m_window;
  }

  SHAREDTOOLDATA* m_table = nullptr;
  HWND m_window = nullptr;
  ScratchFolder m_root{"life"};
};

TEST_F(Lifecycle, AppLoadSwapsInAndUnloadPutsTheMachineBack) {
  SampleTool tool(m_root.path(), "lifeapp");
  tool.SetMachineSetting("machine");
  tool.UseProgram();
  ASSERT_EQ(tool.Launch("/load"), 1);
  EXPECT_EQ(tool.MachineSetting(), "tool");
  EXPECT_EQ(tool.folder().GetConfig("Status"), "on");
  EXPECT_EQ(tool.folder().GetConfig("Install"), tool.folder().AppPath());
  TOOLRUNTIMEINFO* record = tool.Record();
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->dwState, static_cast<DWORD>(TOOLSTATE_APP));
  auto apps = ProcessesNamed("sysreg_app.exe");
  ASSERT_EQ(apps.size(), 1u);
  EXPECT_EQ(record->dwProcessId, apps[0]);

  ASSERT_EQ(tool.Launch("/unload"), 1);
  EXPECT_FALSE(IsProcessAlive(apps[0]));
  EXPECT_EQ(tool.MachineSetting(), "machine");
  EXPECT_EQ(tool.folder().GetConfig("Status"), "off");
  EXPECT_EQ(tool.Record(), nullptr);  // released
}

TEST_F(Lifecycle, SecondLoadOfAGadgetAddsTheAppWithoutASecondSwap) {
  SampleTool tool(m_root.path(), "lifegadget");
  tool.UseProgram();
  tool.AddFolder("Gadget");
  ASSERT_EQ(tool.Launch("/load /mode gadget"), 1);
  EXPECT_EQ(tool.Record()->dwState, static_cast<DWORD>(TOOLSTATE_GADGET));
  EXPECT_TRUE(ProcessesNamed("sysreg_app.exe").empty());
  EXPECT_EQ(tool.MachineSetting(), "tool");
  tool.SetMachineSetting("changed while running");  // a swap in now would write "tool" again
  ASSERT_EQ(tool.Launch("/load /mode app"), 1);
  EXPECT_EQ(tool.MachineSetting(), "changed while running");
  EXPECT_EQ(tool.Record()->dwState, static_cast<DWORD>(TOOLSTATE_GADGET | TOOLSTATE_APP));
  // Without a platform window nothing keeps the gadget: the unload swaps out and releases.
  ASSERT_EQ(tool.Launch("/unload"), 1);
  EXPECT_EQ(tool.MachineSetting(), "<none>");
  EXPECT_EQ(tool.Record(), nullptr);
}

TEST_F(Lifecycle, GadgetFallsBackToTheApplicationWhenNeitherFolderExists) {
  SampleTool tool(m_root.path(), "lifefall");
  tool.UseProgram();
  ASSERT_EQ(tool.Launch("/load /mode gadget"), 1);
  EXPECT_EQ(tool.Record()->dwState, static_cast<DWORD>(TOOLSTATE_APP));
  EXPECT_EQ(ProcessesNamed("sysreg_app.exe").size(), 1u);
  tool.Launch("/unload");
}

TEST_F(Lifecycle, NothingStartedMeansTheFreshSwapIsUndone) {
  SampleTool tool(m_root.path(), "lifenone");
  tool.SetMachineSetting("machine");  // no Program in run.ini: the host starts nothing
  EXPECT_EQ(tool.Launch("/load"), 0);
  EXPECT_EQ(tool.MachineSetting(), "machine");
  EXPECT_EQ(tool.folder().GetConfig("Status"), "off");
  EXPECT_EQ(tool.Record(), nullptr);
  // A mode that is none of the three loads nothing either.
  tool.UseProgram();
  EXPECT_EQ(tool.Launch("/load /mode sideways"), 0);
  EXPECT_TRUE(ProcessesNamed("sysreg_app.exe").empty());
  EXPECT_EQ(tool.MachineSetting(), "machine");
}

TEST_F(Lifecycle, StrayProcessesAreClosedOnlyWhenTheUserAgrees) {
  SampleTool tool(m_root.path(), "lifestray");
  tool.SetMachineSetting("machine");
  tool.UseProgram();
  DWORD a = StartBinProgram("sysreg_app.exe -windows");
  DWORD b = StartBinProgram("sysreg_app.exe -windows");
  ASSERT_TRUE(a && b);
  Sleep(500);
  std::string question;
  EXPECT_EQ(LaunchAnswering(tool, "/load", "No", &question), 0);
  EXPECT_NE(question.find("lifestray"), std::string::npos) << question;
  EXPECT_TRUE(IsProcessAlive(a) && IsProcessAlive(b));
  EXPECT_EQ(tool.MachineSetting(), "machine");  // no registration touched
  EXPECT_EQ(LaunchAnswering(tool, "/load", "Yes"), 1);
  EXPECT_FALSE(IsProcessAlive(a));
  EXPECT_FALSE(IsProcessAlive(b));
  EXPECT_EQ(ProcessesNamed("sysreg_app.exe").size(), 1u);  // the tool's own, started by the load
  tool.Launch("/unload");
  EXPECT_EQ(tool.MachineSetting(), "machine");
}

TEST_F(Lifecycle, UnloadUnderAPlatformWindowEndsALiveRecordedProcess) {
  SampleTool tool(m_root.path(), "lifewatched");
  tool.UseProgram();
  tool.folder().SetLauncher("MainProcess", "sysreg_app.exe");
  ASSERT_EQ(tool.Launch("/load"), 1);
  DWORD app = tool.Record()->dwProcessId;
  MakeMainWindow();
  // The recorded process is alive, so no main-process take-over: it is ended.
  ASSERT_EQ(tool.Launch("/unload"), 1);
  EXPECT_FALSE(IsProcessAlive(app));
  EXPECT_EQ(tool.Record(), nullptr);
  EXPECT_EQ(tool.MachineSetting(), "<none>");
}

TEST_F(Lifecycle, ASurvivingMainProcessTakesTheToolOver) {
  SampleTool tool(m_root.path(), "lifemain");
  tool.UseProgram();
  tool.folder().SetLauncher("MainProcess", "sysreg_app.exe");
  ASSERT_EQ(tool.Launch("/load"), 1);
  DWORD app = tool.Record()->dwProcessId;
  MakeMainWindow();
  tool.Record()->dwProcessId = 0;  // the recorded process is gone; the main process survives
  EXPECT_EQ(tool.Launch("/unload"), 0);
  EXPECT_TRUE(IsProcessAlive(app));
  ASSERT_NE(tool.Record(), nullptr);
  EXPECT_EQ(tool.Record()->dwProcessId, app);  // handed over
  EXPECT_EQ(tool.MachineSetting(), "tool");    // still swapped in
  m_table->hMainWnd = nullptr;
  tool.folder().SetLauncher("MainProcess", "");
  EXPECT_EQ(tool.Launch("/unload"), 1);
  EXPECT_EQ(tool.MachineSetting(), "<none>");
}

TEST_F(Lifecycle, ASystemToolKeepsItsRegistrationsUntilUninstalled) {
  SampleTool tool(m_root.path(), "lifesystem");
  tool.SetMachineSetting("machine");
  tool.UseProgram();
  tool.folder().SetLauncher("System", "yes");
  ASSERT_EQ(tool.Launch("/load"), 1);
  ASSERT_EQ(tool.Launch("/unload"), 1);
  EXPECT_TRUE(ProcessesNamed("sysreg_app.exe").empty());
  EXPECT_EQ(tool.Record(), nullptr);
  EXPECT_EQ(tool.MachineSetting(), "tool");
  EXPECT_EQ(tool.folder().GetConfig("Status"), "on");
  ASSERT_EQ(tool.Launch("/uninstall"), 1);
  EXPECT_EQ(tool.MachineSetting(), "machine");
  EXPECT_EQ(tool.folder().GetConfig("Status"), "off");
}

// The visible browser frames on the desktop, with their processes.
std::vector<std::pair<HWND, DWORD>> BrowserFrames() {
  std::vector<std::pair<HWND, DWORD>> frames;
  EnumWindows(
      [](HWND h, LPARAM lp) -> BOOL CALLBACK {
        char cls[64] = "";
        GetClassNameA(h, cls, sizeof cls);
        DWORD pid = 0;
        GetWindowThreadProcessId(h, &pid);
        if (strcmp(cls, "IEFrame") == 0 && IsWindowVisible(h))
          reinterpret_cast<std::vector<std::pair<HWND, DWORD>>*>(lp)->push_back({h, pid});
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&frames));
  return frames;
}

// Closed the way a user closes them: the browser's server process stays usable for the next.
void CloseBrowserFrames() {
  for (auto& f : BrowserFrames()) PostMessageA(f.first, WM_CLOSE, 0, 0);
  for (int i = 0; i < 50 && !BrowserFrames().empty(); ++i) Sleep(100);
}

TEST_F(Lifecycle, PluginPageOpensInABrowserProcessOfItsOwn) {
  CloseBrowserFrames();
  SampleTool tool(m_root.path(), "lifeplugin");
  tool.AddFolder("Plugin");  // no "Gadget" folder: the gadget kind falls back to the page
  WriteTextFile(tool.folder().AppPath() + "\\Plugin\\index.htm", "<html><body>plug-in</body></html>");
  ASSERT_EQ(tool.Launch("/load \"a b/c\" /mode gadget"), 1);
  EXPECT_EQ(tool.Record()->dwState, static_cast<DWORD>(TOOLSTATE_PLUGIN));
  EXPECT_EQ(tool.Record()->dwProcessId, 0u);  // a page has no process of the tool's
  auto frames = BrowserFrames();
  ASSERT_EQ(frames.size(), 1u);
  auto browsers = ProcessesNamed("iexplore.exe");
  EXPECT_NE(std::find(browsers.begin(), browsers.end(), frames[0].second), browsers.end());
  EXPECT_EQ(tool.MachineSetting(), "tool");
  CloseBrowserFrames();
  // No platform window: the unload releases the page's record and swaps out.
  ASSERT_EQ(tool.Launch("/unload"), 1);
  EXPECT_EQ(tool.Record(), nullptr);
  EXPECT_EQ(tool.MachineSetting(), "<none>");
}

TEST(PluginPage, TargetReachesThePageOnlyUrlEncodedAfterTheHash) {
  EXPECT_STREQ(PluginPageUrl("C:\\T\\app\\Plugin\\index.htm", "a b/\xE9&x"),
               "C:\\T\\app\\Plugin\\index.htm#a%20b%2F%E9%26x");
  EXPECT_STREQ(PluginPageUrl("C:\\p.htm", ""), "C:\\p.htm#");
}

}  // namespace
