// Cutting the command line into items, and RunModule's choice of the one action to run.
#include "runtime/command_line.h"
#include "runtime/tool_module.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Cut(const char* line) {
  CStringArray items;
  CutCommandItems(line, items);
  std::vector<std::string> out;
  for (int i = 0; i < items.GetSize(); ++i) out.push_back(items[i].c_str());
  return out;
}

using Items = std::vector<std::string>;

TEST(CommandItems, CutAtSlashesOutsideTheFirstQuotes) {
  EXPECT_EQ(Cut("C:\\T\\app\\run.exe /load \"C:\\a/b.txt\" /mode plugin"),
            (Items{"load \"C:\\a/b.txt\"", "mode plugin"}));
  EXPECT_EQ(Cut("C:\\T\\app\\run.exe"), Items{});
  EXPECT_EQ(Cut("run.exe //x"), (Items{"", "x"}));
  EXPECT_EQ(Cut("run.exe   /  load   /unload  "), (Items{"load", "unload"}));
  EXPECT_EQ(Cut(""), Items{});
  // Only the first pair of quotes of the remaining text protects: the second pair does not.
  EXPECT_EQ(Cut("r /a \"x/y\" \"p/q\" /b"), (Items{"a \"x/y\" \"p", "q\"", "b"}));
  // A quote that opens after the slash does not protect it.
  EXPECT_EQ(Cut("r /a/b \"c/d\""), (Items{"a", "b \"c/d\""}));
  // The program path's own quotes come before the first slash and are dropped with it.
  EXPECT_EQ(Cut("\"C:\\Program Files\\t\\run.exe\" /load"), (Items{"load"}));
}

TEST(CommandItems, UnbalancedAndHugeLinesEndCleanly) {
  EXPECT_EQ(Cut("run.exe /load \"C:\\never/closed /mode app"), (Items{"load \"C:\\never", "closed", "mode app"}));
  std::string big = "run.exe";
  for (int i = 0; i < 5000; ++i) big += " /x" + std::to_string(i);
  auto items = Cut(big.c_str());
  ASSERT_EQ(items.size(), 5000u);
  EXPECT_EQ(items.back(), "x4999");
}

// A module that records which operation the dispatch chose instead of doing it.
class RecordingModule : public CToolModule {
 public:
  explicit RecordingModule(Items commands) {
    m_bLocalApp = FALSE;  // no skin library in these tests
    for (auto& c : commands) m_arrCommand.Add(c.c_str());
  }
  std::vector<std::string> calls;
  int parseRefusesAt = -1;
  int parsed = 0;

  int ParseParameter(const CString& item) override {
    calls.push_back("parse " + std::string(item));
    return parsed++ == parseRefusesAt ? 0 : 1;
  }
  int LoadModule(const CString& target, const CString& mode) override {
    calls.push_back("load [" + std::string(target) + "] [" + std::string(mode) + "]");
    return 7;
  }
  int UnloadModule() override {
    calls.push_back("unload");
    return 8;
  }
  int UpdateModule(const CString& package, const CString& version) override {
    calls.push_back("update [" + std::string(package) + "] [" + std::string(version) + "]");
    return 9;
  }
  std::string Action() const {
    for (auto& c : calls)
      if (c.rfind("parse", 0) != 0) return c;
    return "";
  }
};

TEST(RunModule, RunsTheFirstActionItemWithModeAndVersionFromTheWholeList) {
  {
    RecordingModule m({"load", "unload"});
    EXPECT_EQ(m.RunModule(), 7);
    EXPECT_EQ(m.Action(), "load [] [app]");
    EXPECT_EQ(m.calls.size(), 2u);  // one item examined, one action
  }
  {
    RecordingModule m({"mode plugin", "load \"C:\\docs\\a b.txt\""});
    m.RunModule();
    EXPECT_EQ(m.Action(), "load [C:\\docs\\a b.txt] [plugin]");
  }
  {
    RecordingModule m({"load X", "mode gadget", "mode app"});
    m.RunModule();
    EXPECT_EQ(m.Action(), "load [X] [app]");  // the later mode wins, even after the load item
  }
  {
    RecordingModule m({"LOAD  \"C:\\x\""});
    m.RunModule();
    EXPECT_EQ(m.Action(), "load [ \"C:\\x] [app]");  // one space eaten; only the closing quote goes
  }
  {
    RecordingModule m({"version 2.0", "update \"pkg.zip\"", "version 3.1"});
    EXPECT_EQ(m.RunModule(), 9);
    EXPECT_EQ(m.Action(), "update [pkg.zip] [3.1]");
  }
  {
    RecordingModule m({"loadx", "unloadx", "Unload"});
    EXPECT_EQ(m.RunModule(), 8);
    EXPECT_EQ(m.Action(), "unload");
  }
}

TEST(RunModule, NoActionOrARefusedItemEndsTheLoop) {
  {
    RecordingModule m({"mode app", "something"});
    EXPECT_EQ(m.RunModule(), 0);
    EXPECT_EQ(m.Action(), "");
  }
  {
    RecordingModule m({"load", "unload"});
    m.parseRefusesAt = 0;
    EXPECT_EQ(m.RunModule(), 1);  // the host stopped the loop: 1, no action
    EXPECT_EQ(m.Action(), "");
  }
}

class VersionRefused : public RecordingModule {
 public:
  using RecordingModule::RecordingModule;
  int CheckVersion(const OSVERSIONINFOEXA&) override { return 0; }
};

TEST(RunModule, RefusedWindowsVersionRunsNothing) {
  VersionRefused m({"load"});
  EXPECT_EQ(m.RunModule(), 0);
  EXPECT_TRUE(m.calls.empty());
}

}  // namespace
