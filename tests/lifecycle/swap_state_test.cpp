// The tool's swap state in Config.ini ("Status", "Install"), moved by "/install" and
// "/uninstall" through the real launcher, row by row of the state table.
#include "tests/support/processes.h"
#include "tests/support/sample_tool.h"
#include "tests/support/dialog_answerer.h"
#include "tests/support/shared_table.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace {

class SwapState : public ::testing::Test {
 protected:
  void SetUp() override { LoadedSharedTable()->hMainWnd = nullptr; }

  ScratchFolder m_root{"state"};
};

TEST_F(SwapState, FirstInstallSetsUpFromTheTemplateWithoutAQuestion) {
  SampleTool tool(m_root.path(), "statenew");
  tool.SetMachineSetting("machine");
  ASSERT_EQ(tool.Launch("/install"), 1);
  EXPECT_TRUE(FileExists(tool.folder().MyPath() + "\\install.xml"));
  EXPECT_EQ(tool.folder().GetConfig("Status"), "on");
  EXPECT_EQ(tool.folder().GetConfig("Install"), tool.folder().AppPath());
  EXPECT_EQ(tool.MachineSetting(), "tool");
  ASSERT_EQ(tool.Launch("/uninstall"), 1);
  EXPECT_EQ(tool.folder().GetConfig("Status"), "off");
  EXPECT_EQ(tool.MachineSetting(), "machine");
  // "off" -> "on" again; the tool's own value travelled back into its document.
  ASSERT_EQ(tool.Launch("/install"), 1);
  EXPECT_EQ(tool.MachineSetting(), "tool");
  tool.Launch("/uninstall");
}

TEST_F(SwapState, UninstallNeedsASwapToBeOnInAnyLetterCase) {
  SampleTool tool(m_root.path(), "stateoff");
  tool.SetMachineSetting("machine");
  EXPECT_EQ(tool.Launch("/uninstall"), 0);  // never set up
  tool.folder().SetConfig("Status", "off");
  EXPECT_EQ(tool.Launch("/uninstall"), 0);
  EXPECT_EQ(tool.MachineSetting(), "machine");
  ASSERT_EQ(tool.Launch("/install"), 1);
  tool.folder().SetConfig("Status", "ON");
  EXPECT_EQ(tool.Launch("/uninstall"), 1);
  EXPECT_EQ(tool.MachineSetting(), "machine");
}

TEST_F(SwapState, GarbageStatusRefusesTheSwap) {
  SampleTool tool(m_root.path(), "stategarbage");
  tool.SetMachineSetting("machine");
  tool.folder().SetConfig("Status", "garbage");
  EXPECT_EQ(tool.Launch("/install"), 0);
  EXPECT_EQ(tool.MachineSetting(), "machine");
  EXPECT_EQ(tool.folder().GetConfig("Status"), "garbage");
}

TEST_F(SwapState, SystemToolAlreadyInstalledFromHereIsLeftAsItIs) {
  SampleTool tool(m_root.path(), "statesystem");
  tool.folder().SetLauncher("System", "yes");
  ASSERT_EQ(tool.Launch("/install"), 1);
  tool.SetMachineSetting("changed by the tool");
  // The same folder in other letter case still counts as "installed from here".
  std::string upper = tool.folder().AppPath();
  for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  tool.folder().SetConfig("Install", upper);
  EXPECT_EQ(tool.Launch("/install"), 1);
  EXPECT_EQ(tool.MachineSetting(), "changed by the tool");  // no second swap
  // Installed from another folder: swapped out, then in again from here.
  tool.folder().SetConfig("Install", "C:\\elsewhere\\app");
  EXPECT_EQ(tool.Launch("/install"), 1);
  EXPECT_EQ(tool.MachineSetting(), "changed by the tool");  // the tool's own value came back
  EXPECT_EQ(tool.folder().GetConfig("Install"), tool.folder().AppPath());
  tool.Launch("/uninstall");
  EXPECT_EQ(tool.MachineSetting(), "<none>");
}

TEST_F(SwapState, MobileToolStillSwappedInAsksWhetherToKeepIt) {
  SampleTool tool(m_root.path(), "statemobile");
  tool.SetMachineSetting("machine");
  ASSERT_EQ(tool.Launch("/install"), 1);
  tool.SetMachineSetting("changed by the tool");
  std::string question;
  EXPECT_EQ(LaunchAnswering(tool, "/install", "Yes", &question), 1);
  EXPECT_NE(question.find("statemobile"), std::string::npos) << question;
  EXPECT_EQ(tool.MachineSetting(), "changed by the tool");  // kept as it is
  // No: marked "off" without a swap out, then swapped in afresh over what the machine has now.
  EXPECT_EQ(LaunchAnswering(tool, "/install", "No"), 1);
  EXPECT_EQ(tool.folder().GetConfig("Status"), "on");
  EXPECT_EQ(tool.MachineSetting(), "tool");
}

}  // namespace
