// The running-tool table every process shares, the claim rules, and the three exports, driven
// through real launcher processes and observed in the shared section of the loaded library.
#include "platform/services/crush_file.h"
#include "platform/win/handles.h"
#include "runtime/module_registry.h"
#include "runtime/runtime_param.h"
#include "runtime/shared_data.h"
#include "tests/support/shared_table.h"
#include "tests/support/test_paths.h"
#include "tests/support/tool_folder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

class SharedTable : public ::testing::Test {
 protected:
  // The library stays loaded: its modules hold blocks of this test's stack frames otherwise.
  void SetUp() override {
    ASSERT_NE(m_table, nullptr);
    memset(m_table->tools, 0, sizeof m_table->tools);
  }
  void TearDown() override {
    if (m_table) memset(m_table->tools, 0, sizeof m_table->tools);
  }
  const TOOLRUNTIMEINFO* Named(const char* name) const { return FindRecord(m_table, name); }

  SHAREDTOOLDATA* m_table = LoadedSharedTable();
  ScratchFolder m_root{"table"};
};

TEST_F(SharedTable, ALauncherClaimsARecordSeenHereAndRunsTheCommandThroughItsHooks) {
  ToolFolder alpha(m_root.path(), "Alpha", "alpha");
  alpha.EnableTrace();
  EXPECT_EQ(alpha.Launch("/update \"pkg.zip\" /version 1.2"), 1);
  EXPECT_NE(Named("alpha"), nullptr);
  // The launcher's hooks got the Windows version, the item and the update's package and version.
  const OSVERSIONINFOEXA& v = CCrushFile::GetOSVersion();
  EXPECT_EQ(alpha.TraceLines(),
            (std::vector<std::string>{
                "CheckVersion " + std::to_string(v.dwMajorVersion) + "." + std::to_string(v.dwMinorVersion),
                "ParseParameter [update \"pkg.zip\"]", "UpdateModuleBefore [pkg.zip] [1.2]", "Result 1"}));
}

TEST_F(SharedTable, AFullTableRefusesANewToolAndNoCommandRuns) {
  for (int i = 0; i < TOOL_RECORD_COUNT; ++i) wsprintfA(m_table->tools[i].szName, "other%d", i);
  ToolFolder late(m_root.path(), "Late", "late");
  late.EnableTrace();
  EXPECT_EQ(late.Launch("/load"), 0);
  EXPECT_EQ(late.TraceLines(), std::vector<std::string>{"Result 0"});  // only the launcher's own line
}

TEST_F(SharedTable, LongIdsAreCutButOnlyTheClaimFindsThemAgain) {
  using GetInfo = int(__cdecl*)(RUNTIMEPARAM*, TOOLRUNTIMEINFO*);
  using SetParam = int(__cdecl*)(RUNTIMEPARAM*, DWORD);
  HMODULE library = GetModuleHandleA("Vantel10.dll");
  auto getInfo = GetProc<GetInfo>(library, "DllGetRuntimeInfo");
  auto setParam = GetProc<SetParam>(library, "DllSetRuntimeParam");
  ASSERT_TRUE(getInfo && setParam);

  const std::string id16 = "abcdefghijklmnop";  // 16 characters
  ToolFolder longer(m_root.path(), "Long", id16);
  longer.Launch("/nothing");
  ASSERT_NE(Named("abcdefghijklmno"), nullptr);  // cut to 15

  // This process's module for the same tool: the lookups compare the whole ID and miss.
  SetEnvironmentVariableA("Swap", longer.SwapPath().c_str());
  auto* block = new RUNTIMEPARAM{};  // kept alive: the library's module refers to it
  TOOLRUNTIMEINFO info;
  memset(&info, 0xAB, sizeof info);
  EXPECT_EQ(getInfo(block, &info), 0);
  TOOLRUNTIMEINFO zero = {};
  EXPECT_EQ(memcmp(&info, &zero, sizeof info), 0);
  EXPECT_EQ(setParam(block, 77), 0);
  // The block now holds every key the runtime reads and writes.
  EXPECT_EQ(block->mapParam.GetCount(), 21);
  CString v;
  EXPECT_TRUE(block->mapParam.Lookup("ID", v));
  EXPECT_STREQ(v, id16.c_str());
  EXPECT_TRUE(block->mapParam.Lookup("NeedAdmin", v));
  EXPECT_TRUE(v.IsEmpty());

  // A 15-character ID is found exactly, and the host value lands in the shared record.
  ToolFolder exact(m_root.path(), "Exact", "fifteen-chars-x");
  exact.Launch("/nothing");
  SetEnvironmentVariableA("Swap", exact.SwapPath().c_str());
  auto* block2 = new RUNTIMEPARAM{};
  EXPECT_EQ(setParam(block2, 0xC0FFEE), 1);
  EXPECT_EQ(Named("fifteen-chars-x")->dwParam, 0xC0FFEEu);
  EXPECT_EQ(getInfo(block2, &info), 1);
  EXPECT_STREQ(info.szName, "fifteen-chars-x");
  EXPECT_EQ(info.dwParam, 0xC0FFEEu);
  SetEnvironmentVariableA("Swap", nullptr);
}

// The claim rules, on this test program's own copy of the table.
TEST(RunningToolClaim, TheToolsOwnRecordElseTheFirstFreeOne) {
  SHAREDTOOLDATA& data = SharedToolData();
  memset(&data, 0, sizeof data);
  strcpy(data.tools[3].szName, "Tool");
  data.tools[3].dwState = TOOLSTATE_APP;
  EXPECT_EQ(RegisterRunningTool("tool"), &data.tools[3]);
  EXPECT_STREQ(data.tools[3].szName, "Tool");
  EXPECT_EQ(RegisterRunningTool("new"), &data.tools[0]);
  EXPECT_STREQ(data.tools[0].szName, "new");
  // An empty ID takes the first free record and leaves it free.
  EXPECT_EQ(RegisterRunningTool(""), &data.tools[1]);
  EXPECT_EQ(data.tools[1].szName[0], '\0');
  EXPECT_EQ(FindRunningTool(""), nullptr);
  EXPECT_EQ(FindRunningTool("TOOL"), nullptr);  // the lookups are exact
  EXPECT_EQ(FindRunningTool("Tool"), &data.tools[3]);
  ReleaseRunningTool(&data.tools[3]);
  TOOLRUNTIMEINFO zero = {};
  EXPECT_EQ(memcmp(&data.tools[3], &zero, sizeof zero), 0);
  ReleaseRunningTool(nullptr);
  // A full table refuses a new tool but not one it names already.
  for (int i = 0; i < TOOL_RECORD_COUNT; ++i) wsprintfA(data.tools[i].szName, "other%d", i);
  EXPECT_EQ(RegisterRunningTool("late"), nullptr);
  EXPECT_EQ(RegisterRunningTool("OTHER7"), &data.tools[7]);
  memset(&data, 0, sizeof data);
}

}  // namespace
