// A tool's life through its real launcher: the swap state moved by install, uninstall, load in each
// kind and unload; stray processes, the main process, the plug-in page, the record in the shared table.
#include "runtime/plugin_page.h"
#include "tests/support/processes.h"
#include "tests/support/sample_tool.h"
#include "tests/support/dialog_answerer.h"
#include "tests/support/shared_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
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

// One step of a tool's life: a value set by hand first (Config.ini's "Status" or "Install", or the
// machine's "Setting"), the launcher's command and the button that answers its question, and what
// the launcher, the machine, Config.ini, the record and the running programs show afterwards.
struct Step {
  const char* set;
  const char* command;
  const char* answer;  // null: no question is asked
  int result;
  const char* setting;
  const char* status;
  const char* install;
  DWORD state;
  size_t programs;
};
enum Kind { kBare = 0, kProgram = 1, kSystem = 2, kGadget = 4 };  // run.ini and folders
struct Life {
  const char* tool;
  int kind;
  std::vector<Step> steps;
};

const Life kLives[] = {
    // Set up from the template without a question; the swap counts as on in any letter case.
    {"statenew",
     kBare,
     {{"", "/install", nullptr, 1, "tool", "on", "<app>", 0, 0},
      {"Status=ON", "/uninstall", nullptr, 1, "machine", "off", "<app>", 0, 0},
      {"", "/install", nullptr, 1, "tool", "on", "<app>", 0, 0}}},
    {"stateoff",
     kBare,  // an uninstall needs a swap that is on
     {{"", "/uninstall", nullptr, 0, "machine", "", "", 0, 0},
      {"Status=off", "/uninstall", nullptr, 0, "machine", "off", "", 0, 0}}},
    {"stategarbage", kBare, {{"Status=garbage", "/install", nullptr, 0, "machine", "garbage", "", 0, 0}}},
    // A system tool installed from here (in any letter case) stays; from elsewhere: out, then in.
    {"statesystem",
     kSystem,
     {{"", "/install", nullptr, 1, "tool", "on", "<app>", 0, 0},
      {"Install=<APP>", "/install", nullptr, 1, "tool", "on", "<APP>", 0, 0},
      {"Install=C:\\elsewhere\\app", "/install", nullptr, 1, "tool", "on", "<app>", 0, 0},
      {"", "/uninstall", nullptr, 1, "machine", "off", "<app>", 0, 0}}},
    // A mobile tool still on asks whether to keep it; no: off without a swap out, then in afresh.
    {"statemobile",
     kBare,
     {{"", "/install", nullptr, 1, "tool", "on", "<app>", 0, 0},
      {"Setting=changed", "/install", "Yes", 1, "changed", "on", "<app>", 0, 0},
      {"", "/install", "No", 1, "tool", "on", "<app>", 0, 0}}},
    {"lifeapp",
     kProgram,
     {{"", "/load", nullptr, 1, "tool", "on", "<app>", TOOLSTATE_APP, 1},
      {"", "/unload", nullptr, 1, "machine", "off", "<app>", 0, 0}}},
    // The second load adds the application without a second swap; no platform window keeps the gadget.
    {"lifegadget",
     kProgram | kGadget,
     {{"", "/load /mode gadget", nullptr, 1, "tool", "on", "<app>", TOOLSTATE_GADGET, 0},
      {"Setting=changed", "/load /mode app", nullptr, 1, "changed", "on", "<app>", TOOLSTATE_GADGET | TOOLSTATE_APP, 1},
      {"", "/unload", nullptr, 1, "machine", "off", "<app>", 0, 0}}},
    {"lifefall", kProgram, {{"", "/load /mode gadget", nullptr, 1, "tool", "on", "<app>", TOOLSTATE_APP, 1}}},
    // Nothing started: the fresh swap is undone.
    {"lifenone", kBare, {{"", "/load", nullptr, 0, "machine", "off", "<app>", 0, 0}}},
    {"lifeside", kProgram, {{"", "/load /mode sideways", nullptr, 0, "machine", "off", "<app>", 0, 0}}},
    // A system tool's registrations stay after the unload until it is uninstalled.
    {"lifesystem",
     kProgram | kSystem,
     {{"", "/load", nullptr, 1, "tool", "on", "<app>", TOOLSTATE_APP, 1},
      {"", "/unload", nullptr, 1, "tool", "on", "<app>", 0, 0},
      {"", "/uninstall", nullptr, 1, "machine", "off", "<app>", 0, 0}}},
};

// A text of a step with <app> and <APP> replaced by the tool's application folder.
std::string Resolve(SampleTool& tool, std::string text) {
  if (text != "<app>" && text != "<APP>") return text;
  std::string folder = tool.folder().AppPath();
  if (text == "<APP>")
    for (char& c : folder) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  return folder;
}

void SetByHand(SampleTool& tool, const std::string& set) {
  size_t eq = set.find('=');
  if (eq == std::string::npos) return;
  std::string key = set.substr(0, eq), value = Resolve(tool, set.substr(eq + 1));
  if (key == "Setting")
    tool.SetMachineSetting(value);
  else
    tool.folder().SetConfig(key, value);
}

TEST_F(Lifecycle, SwapStateStepByStep) {
  for (const Life& life : kLives) {
    SampleTool tool(m_root.path(), life.tool);
    tool.SetMachineSetting("machine");
    if (life.kind & kProgram) tool.UseProgram();
    if (life.kind & kSystem) tool.folder().SetLauncher("System", "yes");
    if (life.kind & kGadget) tool.AddFolder("Gadget");
    for (size_t i = 0; i < life.steps.size(); ++i) {
      const Step& step = life.steps[i];
      SCOPED_TRACE(std::string(life.tool) + " step " + std::to_string(i + 1) + ": " + step.set + " " + step.command);
      SetByHand(tool, step.set);
      std::string question;
      EXPECT_EQ(step.answer ? LaunchAnswering(tool, step.command, step.answer, &question) : tool.Launch(step.command),
                step.result);
      EXPECT_TRUE(!step.answer || Has(question, life.tool)) << question;
      EXPECT_EQ(tool.MachineSetting(), step.setting);
      EXPECT_EQ(tool.folder().GetConfig("Status"), step.status);
      EXPECT_EQ(tool.folder().GetConfig("Install"), Resolve(tool, step.install));
      const TOOLRUNTIMEINFO* record = tool.Record();
      EXPECT_EQ(record ? record->dwState : 0, step.state);
      std::vector<DWORD> programs = ProcessesNamed("sysreg_app.exe");
      EXPECT_EQ(programs.size(), step.programs);
      // The record names the application's process while it is loaded.
      EXPECT_EQ(record ? record->dwProcessId : 0, (step.state & TOOLSTATE_APP) && !programs.empty() ? programs[0] : 0);
    }
    EndProcessesNamed("sysreg_app.exe");  // a life may end loaded
  }
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
  EXPECT_FALSE(IsProcessAlive(a) || IsProcessAlive(b));
  EXPECT_EQ(ProcessesNamed("sysreg_app.exe").size(), 1u);  // the tool's own, started by the load
}

TEST_F(Lifecycle, ASurvivingMainProcessTakesTheToolOverUnlessTheRecordedProcessLives) {
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
  // Now the recorded process is alive, so under the platform window it is ended.
  ASSERT_EQ(tool.Launch("/unload"), 1);
  EXPECT_FALSE(IsProcessAlive(app));
  EXPECT_EQ(tool.Record(), nullptr);
  EXPECT_EQ(tool.MachineSetting(), "<none>");
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

// The encoding itself is the configuration's (tests/services/config_test.cpp).
TEST(PluginPage, TargetReachesThePageUrlEncodedAfterTheHash) {
  EXPECT_STREQ(PluginPageUrl("C:\\T\\app\\Plugin\\index.htm", "a b"), "C:\\T\\app\\Plugin\\index.htm#a%20b");
}

}  // namespace
