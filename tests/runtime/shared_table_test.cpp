// The running-tool table every process shares, the claim rules, and the three exports, driven
// through real launcher processes and observed in the shared section of the loaded library.
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

namespace {

class SharedTable : public ::testing::Test {
 protected:
  void SetUp() override {
    m_dll = LoadLibraryA((BinFolder() + "\\Vantel10.dll").c_str());
    ASSERT_NE(m_dll, nullptr);
    m_table = SharedSectionOf(m_dll);
    ASSERT_NE(m_table, nullptr);
    memset(m_table->tools, 0, sizeof m_table->tools);
  }
  void TearDown() override {
    if (m_table) memset(m_table->tools, 0, sizeof m_table->tools);
    // The library stays loaded: its modules hold blocks of this test's stack frames otherwise.
  }
  const TOOLRUNTIMEINFO* Named(const char* name) const {
    for (auto& r : m_table->tools)
      if (strcmp(r.szName, name) == 0) return &r;
    return nullptr;
  }
  int NamedCount() const {
    int n = 0;
    for (auto& r : m_table->tools) n += r.szName[0] != '\0';
    return n;
  }

  HMODULE m_dll = nullptr;
  SHAREDTOOLDATA* m_table = nullptr;
  ScratchFolder m_root{"table"};
};

TEST_F(SharedTable, ARecordClaimedByOneLauncherIsSeenByTheNextAndByThisProcess) {
  ToolFolder alpha(m_root.path(), "Alpha", "alpha");
  alpha.EnableTrace();
  EXPECT_EQ(alpha.Launch("/nothing"), 0);  // no action item: 0, but the record is claimed
  const TOOLRUNTIMEINFO* record = Named("alpha");
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record - m_table->tools, 0);
  // The same ID in other letter case shares the record and leaves its name alone.
  ToolFolder upper(m_root.path(), "Upper", "ALPHA");
  EXPECT_EQ(upper.Launch("/nothing"), 0);
  EXPECT_EQ(NamedCount(), 1);
  ToolFolder beta(m_root.path(), "Beta", "beta");
  EXPECT_EQ(beta.Launch("/nothing"), 0);
  EXPECT_EQ(Named("beta") - m_table->tools, 1);
  // RunModule ran in the launcher: its hooks saw the version check and the item.
  auto trace = alpha.TraceLines();
  ASSERT_GE(trace.size(), 2u);
  EXPECT_EQ(trace[0].rfind("CheckVersion", 0), 0u);
  EXPECT_EQ(trace[1], "ParseParameter [nothing]");
}

TEST_F(SharedTable, TheTwentyFirstToolIsRefusedAndNoCommandRuns) {
  for (int i = 0; i < TOOL_RECORD_COUNT; ++i) wsprintfA(m_table->tools[i].szName, "other%d", i);
  ToolFolder late(m_root.path(), "Late", "late");
  late.EnableTrace();
  EXPECT_EQ(late.Launch("/load"), 0);
  auto trace = late.TraceLines();
  ASSERT_EQ(trace.size(), 1u);  // only the launcher's own result line
  EXPECT_EQ(trace[0], "Result 0");
  EXPECT_EQ(Named("late"), nullptr);
  // A tool already named in the full table still gets its record.
  ToolFolder known(m_root.path(), "Known", "OTHER7");
  known.EnableTrace();
  known.Launch("/nothing");
  EXPECT_EQ(known.TraceLines().size(), 3u);
}

TEST_F(SharedTable, LongIdsAreCutButOnlyTheClaimFindsThemAgain) {
  using GetInfo = int(__cdecl*)(RUNTIMEPARAM*, TOOLRUNTIMEINFO*);
  using SetParam = int(__cdecl*)(RUNTIMEPARAM*, DWORD);
  auto getInfo = GetProc<GetInfo>(m_dll, "DllGetRuntimeInfo");
  auto setParam = GetProc<SetParam>(m_dll, "DllSetRuntimeParam");
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
TEST(RunningToolClaim, MatchingRecordWinsOverAnEarlierFreeOne) {
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
  memset(&data, 0, sizeof data);
}

}  // namespace
