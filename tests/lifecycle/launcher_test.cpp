// The launcher under real conditions: where its swap folder comes from and what is made when it
// cannot be used, the runtime's message for a tool without LocalApp, a launcher that dies holding
// the running-tool table's mutex, two processes changing state bits of one record, and a library
// folder that lacks one of the platform's DLLs.
#include "tests/support/dialog_answerer.h"
#include "tests/support/processes.h"
#include "tests/support/sample_tool.h"

#include <gtest/gtest.h>

namespace {

struct Outcome {
  int exitCode = -1;
  bool asked = false;  // a message box was shown (and answered with OK)
  std::string caption, text;
};

// Runs the process to its end, pressing OK in any message box it shows.
Outcome RunAnsweringOk(HANDLE process) {
  Outcome o;
  if (!process) return o;
  DialogAnswerer answer("OK", 60000, GetProcessId(process));
  WaitForSingleObject(process, 60000);
  o.asked = answer.Stop();
  o.caption = answer.Caption();
  o.text = answer.Text();
  DWORD code = 99;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  o.exitCode = static_cast<int>(code);
  return o;
}

// The swap folder a launcher ends up with, for each value of Swap it may be started with.
TEST(Launcher, SwapFolderDefaultsBesideTheToolAndIsRefusedWithoutAParent) {
  ScratchFolder root("launch");
  const std::string orphan = root / "does\\not\\exist";
  struct Row {
    const char* name;
    bool unset;
    std::string swap;      // the variable's value
    std::string expected;  // the folder that holds Config.ini afterwards; "" when refused
  };
  SampleTool tool(root.path(), "LaunchSwap");
  const std::string toolFolder = root / "App\\Tools\\LaunchSwap";
  const Row rows[] = {
      {"unset", true, "", toolFolder + "\\Swap"},
      {"empty", false, "", toolFolder + "\\Swap"},
      {"no parent", false, orphan, ""},
      {"new folder in the tool", false, toolFolder + "\\Swap2", toolFolder + "\\Swap2"},
  };
  tool.folder().SetLauncher("LocalApp", "");  // its messages still have their texts
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    RemoveTree(toolFolder + "\\Swap");
    Outcome o = RunAnsweringOk(tool.folder().Start("/install", row.unset ? nullptr : row.swap.c_str()));
    if (row.expected.empty()) {
      EXPECT_EQ(o.exitCode, 0);
      EXPECT_TRUE(o.asked);
      EXPECT_EQ(o.caption, "LaunchSwap");
      EXPECT_TRUE(Has(o.text, "LaunchSwap cannot start")) << o.text;
      EXPECT_TRUE(Has(o.text, orphan)) << o.text;
      EXPECT_FALSE(FileExists(root / "does"));
      EXPECT_FALSE(FileExists(toolFolder + "\\Swap"));
      EXPECT_EQ(tool.MachineSetting(), "<none>");
    } else {
      EXPECT_EQ(o.exitCode, 1);
      EXPECT_FALSE(o.asked) << o.text;
      EXPECT_EQ(ReadTextFile(row.expected + "\\Config.ini").find("Status=on") != std::string::npos, true);
      EXPECT_EQ(tool.MachineSetting(), "tool");
      EXPECT_EQ(RunAnsweringOk(tool.folder().Start("/uninstall", row.unset ? nullptr : row.swap.c_str())).exitCode, 1);
    }
  }
}

// A launcher that died holding the table's mutex leaves it abandoned: the next launcher owns it
// and claims its record.
TEST(Launcher, ClaimsARecordAfterAnotherDiedHoldingTheTableMutex) {
  ScratchFolder root("launch");
  SampleTool tool(root.path(), "LaunchAbandon");
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::string cmd = "\"" + BinFolder() + "\\table_peer.exe\" hold";
  ASSERT_TRUE(CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  CloseHandle(pi.hThread);
  HANDLE holder = pi.hProcess;
  auto heldElsewhere = [] {
    HANDLE mutex = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, "velmora.qor.tool.runtime");
    if (!mutex) return false;
    DWORD r = WaitForSingleObject(mutex, 0);
    if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED) ReleaseMutex(mutex);
    CloseHandle(mutex);
    return r == WAIT_TIMEOUT;
  };
  ASSERT_TRUE(WaitUntil(heldElsewhere, 10000));
  TerminateProcess(holder, 1);
  WaitForSingleObject(holder, 5000);
  CloseHandle(holder);
  EXPECT_EQ(tool.Launch("/install"), 1);
  EXPECT_EQ(tool.MachineSetting(), "tool");
  EXPECT_EQ(tool.Launch("/uninstall"), 1);
}

// Two processes set and clear different state bits of one record: neither undoes the other's.
TEST(Launcher, StateBitsOfOneRecordChangedByTwoProcessesAtOnce) {
  const std::string peer = "\"" + BinFolder() + "\\table_peer.exe\" flip ";
  std::vector<HANDLE> flippers;
  for (int bit : {0, 2}) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string cmd = peer + std::to_string(bit) + " 1500";  // ms each, mostly at the same time
    ASSERT_TRUE(CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    CloseHandle(pi.hThread);
    flippers.push_back(pi.hProcess);
  }
  for (HANDLE h : flippers) {
    ASSERT_EQ(WaitForSingleObject(h, 120000), WAIT_OBJECT_0);
    DWORD undone = 99;
    GetExitCodeProcess(h, &undone);
    EXPECT_EQ(undone, 0u) << "changes of this process's bit that the other process undid";
    CloseHandle(h);
  }
}

// A library folder without the framework DLL: the launcher names the missing file and ends.
TEST(Launcher, NamesTheMissingPlatformFile) {
  ScratchFolder lib("lib");
  for (const char* file : {"run.exe", "Vantel10.dll"})
    ASSERT_TRUE(CopyFileA((BinFolder() + "\\" + file).c_str(), (lib / file).c_str(), FALSE));
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::string cmd = "\"" + (lib / "run.exe") + "\" /install";
  ASSERT_TRUE(CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, lib.path().c_str(), &si, &pi));
  CloseHandle(pi.hThread);
  Outcome o = RunAnsweringOk(pi.hProcess);
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_TRUE(Has(o.text, lib / "VantelFx.dll")) << o.text;
}

}  // namespace
