// Cutting the command line into items, RunModule's choice of the one action to run, and the
// module's operations that consult the host's hooks.
#include "runtime/command_line.h"
#include "runtime/shared_data.h"
#include "runtime/tool_module.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Items = std::vector<std::string>;

Items Cut(const std::string& line) {
  CStringArray items;
  CutCommandItems(line.c_str(), items);
  Items out;
  for (int i = 0; i < items.GetSize(); ++i) out.push_back(items[i].c_str());
  return out;
}

TEST(CommandItems, CutAtSlashesOutsideTheFirstQuotes) {
  const struct {
    const char* line;
    Items items;
  } rows[] = {
      {"C:\\T\\app\\run.exe /load \"C:\\a/b.txt\" /mode plugin", {"load \"C:\\a/b.txt\"", "mode plugin"}},
      {"C:\\T\\app\\run.exe", {}},
      {"", {}},
      {"run.exe //x", {"", "x"}},
      {"run.exe   /  load   /unload  ", {"load", "unload"}},
      // Only the first pair of quotes of the remaining text protects: the second pair does not.
      {"r /a \"x/y\" \"p/q\" /b", {"a \"x/y\" \"p", "q\"", "b"}},
      // A quote that opens after the slash does not protect it.
      {"r /a/b \"c/d\"", {"a", "b \"c/d\""}},
      // The program path's own quotes come before the first slash and are dropped with it.
      {"\"C:\\Program Files\\t\\run.exe\" /load", {"load"}},
      // A quote that never closes protects nothing.
      {"run.exe /load \"C:\\never/closed /mode app", {"load \"C:\\never", "closed", "mode app"}},
  };
  for (const auto& row : rows) EXPECT_EQ(Cut(row.line), row.items) << row.line;
}

TEST(CommandItems, AHugeLineGivesEveryItem) {
  std::string big = "run.exe";
  for (int i = 0; i < 5000; ++i) big += " /x" + std::to_string(i);
  Items items = Cut(big);
  ASSERT_EQ(items.size(), 5000u);
  EXPECT_EQ(items.back(), "x4999");
}

// A hook that answers N whatever it is given: hooks are __cdecl, so the caller removes the
// arguments and one such function stands in for a hook of any signature.
template <int N>
int __cdecl Answers(RUNTIMEPARAM*) {
  return N;
}

// A module that notes the operations the dispatch chose instead of doing them, behind a host
// whose hook of the given name (if any) refuses.
class RecordingModule : public CToolModule {
 public:
  RecordingModule(const Items& commands, const char* refusingHook) {
    m_bLocalApp = FALSE;  // no skin library in these tests
    m_pParam = &m_block;
    if (refusingHook) m_block.mapHook[refusingHook] = reinterpret_cast<void*>(&Answers<0>);
    for (auto& c : commands) m_arrCommand.Add(c.c_str());
  }
  std::string actions;  // "; " between two

  int LoadModule(const CString& target, const CString& mode) override {
    return Note("load [" + std::string(target) + "] [" + std::string(mode) + "]", 7);
  }
  int UnloadModule() override { return Note("unload", 8); }
  int UpdateModule(const CString& package, const CString& version) override {
    return Note("update [" + std::string(package) + "] [" + std::string(version) + "]", 9);
  }

 private:
  int Note(const std::string& action, int result) {
    actions += (actions.empty() ? "" : "; ") + action;
    return result;
  }
  RUNTIMEPARAM m_block{};
};

TEST(RunModule, RunsTheFirstActionItemWithModeAndVersionFromTheWholeList) {
  const struct {
    Items commands;
    const char* refusingHook;
    int result;
    const char* actions;
  } rows[] = {
      {{"load", "unload"}, nullptr, 7, "load [] [app]"},
      {{"mode plugin", "load \"C:\\docs\\a b.txt\""}, nullptr, 7, "load [C:\\docs\\a b.txt] [plugin]"},
      // The later mode wins, even after the load item.
      {{"load X", "mode gadget", "mode app"}, nullptr, 7, "load [X] [app]"},
      // One space eaten; only the closing quote goes.
      {{"LOAD  \"C:\\x\""}, nullptr, 7, "load [ \"C:\\x] [app]"},
      {{"version 2.0", "update \"pkg.zip\"", "version 3.1"}, nullptr, 9, "update [pkg.zip] [3.1]"},
      {{"loadx", "unloadx", "Unload"}, nullptr, 8, "unload"},
      {{"mode app", "something"}, nullptr, 0, ""},
      {{"load", "unload"}, "ParseParameter", 1, ""},  // the host stopped the loop: 1, no action
      {{"load"}, "CheckVersion", 0, ""},
  };
  for (const auto& row : rows) {
    RecordingModule m(row.commands, row.refusingHook);
    EXPECT_EQ(m.RunModule(), row.result) << ::testing::PrintToString(row.commands);
    EXPECT_EQ(m.actions, row.actions) << ::testing::PrintToString(row.commands);
  }
}

// The operations that consult the host's hooks.
using Operation = long (*)(CToolModule&);

long RunInfo(CToolModule& m) {
  CString commandLine;
  void* environment = nullptr;
  return m.GetToolRunInfo(commandLine, environment, "t");
}
long ExitInfo(CToolModule& m) {
  CString windowClass;
  UINT timeout = 0;
  int mainProcess = 0;
  return m.GetToolExitInfo(1, "a.exe", windowClass, timeout, mainProcess);
}

// The operation's answer on a module with this block (null: none).
long Ask(Operation call, RUNTIMEPARAM* block) {
  CToolModule module;
  module.m_bLocalApp = FALSE;  // leaves the resource library alone when destroyed
  module.m_pParam = block;
  return call(module);
}

TEST(Hooks, EachOperationAsksTheHookOfItsExactName) {
  // The operation's answer without the hook, with a hook answering 0 and with one answering 2.
  const struct {
    const char* hook;
    Operation call;
    long absent, zero, two;
  } rows[] = {
      {"CheckVersion", [](CToolModule& m) -> long { return m.CheckVersion(OSVERSIONINFOEXA{}); }, 1, 0, 1},
      {"ParseParameter", [](CToolModule& m) -> long { return m.ParseParameter("load"); }, 1, 0, 1},
      {"UpdateModuleBefore", [](CToolModule& m) -> long { return m.UpdateModule("p", "v"); }, 1, 0, 1},
      {"UpdateModuleAfter", [](CToolModule& m) -> long { return m.UpdateModule("p", "v"); }, 1, 0, 1},
      {"ImportToolBefore", [](CToolModule& m) -> long { return m.ImportTool(); }, 1, 0, 1},
      {"ImportToolAfter", [](CToolModule& m) -> long { return m.ImportTool(); }, 1, 0, 1},
      {"DownloadCompleted", [](CToolModule& m) -> long { return m.DownloadCompleted(0); }, 1, 0, 1},
      {"GetToolRunInfo", RunInfo, 0, 0, 2},
      {"GetToolExitInfo", ExitInfo, 0, 0, 2},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(Ask(row.call, nullptr), row.absent) << row.hook;
    RUNTIMEPARAM absent{}, zero{}, two{};
    CString otherCase = row.hook;  // another spelling names another hook
    otherCase.MakeLower();
    absent.mapHook[otherCase] = reinterpret_cast<void*>(&Answers<0>);
    zero.mapHook[row.hook] = reinterpret_cast<void*>(&Answers<0>);
    two.mapHook[row.hook] = reinterpret_cast<void*>(&Answers<2>);
    EXPECT_EQ(Ask(row.call, &absent), row.absent) << row.hook;
    void* left = &absent;  // the name looked up is left behind with a null address
    EXPECT_TRUE(absent.mapHook.Lookup(row.hook, left) && left == nullptr) << row.hook;
    EXPECT_EQ(Ask(row.call, &zero), row.zero) << row.hook;
    EXPECT_EQ(Ask(row.call, &two), row.two) << row.hook;
  }
}

std::string g_exitInfoCall;

int __cdecl ExitInfoHook(RUNTIMEPARAM* block, DWORD pid, const CString* exe, CString* cls, UINT* timeout, int* main) {
  g_exitInfoCall = std::to_string(pid) + " " + std::string(*exe) + " " + std::string(block->mapParam["Name"]);
  *cls = "Wnd";
  *timeout = 250;
  *main = 1;
  return 1;
}
DWORD __cdecl RunInfoMain(RUNTIMEPARAM*, CString* commandLine, void**, const CString* target) {
  *commandLine = "x.exe " + *target;
  return TOOLRUN_MAIN_PROCESS;
}

// The arguments of the other hooks are checked through the launcher's trace (shared_table_test.cpp).
TEST(Hooks, RunAndExitInfoGetTheirArgumentsAndFillTheirOutputs) {
  RUNTIMEPARAM block{};
  block.mapParam["Name"] = "Demo";
  block.mapHook["GetToolExitInfo"] = reinterpret_cast<void*>(&ExitInfoHook);
  block.mapHook["GetToolRunInfo"] = reinterpret_cast<void*>(&RunInfoMain);
  CToolModule module;
  module.m_bLocalApp = FALSE;
  module.m_pParam = &block;
  CString cls;
  UINT timeout = 0;
  int main = 0;
  EXPECT_EQ(module.GetToolExitInfo(42, "tool.exe", cls, timeout, main), 1);
  EXPECT_EQ(g_exitInfoCall, "42 tool.exe Demo");
  EXPECT_STREQ(cls, "Wnd");
  EXPECT_EQ(timeout, 250u);
  EXPECT_EQ(main, 1);
  // "The platform's main process runs it": the owner of the shared main window, when there is one.
  HWND window = CreateWindowA("STATIC", "main", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  SharedToolData().hMainWnd = window;
  CString cmd;
  void* env = nullptr;
  EXPECT_EQ(module.GetToolRunInfo(cmd, env, "doc"), GetCurrentProcessId());
  EXPECT_STREQ(cmd, "x.exe doc");
  SharedToolData().hMainWnd = nullptr;
  EXPECT_EQ(module.GetToolRunInfo(cmd, env, "doc"), 0u);
  DestroyWindow(window);
}

}  // namespace
