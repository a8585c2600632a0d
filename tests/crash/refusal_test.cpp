// What a swap does when it cannot be done safely: an obstacle to the backup, a file of the user's
// held open, another tool over the same items: the swap in is refused with a message that says
// why, and the machine keeps what it had; once the obstacle is gone the tool swaps in and out as
// usual. A write-back the registry refuses is counted, and the next swap out finishes it.
#include "tests/crash/crash_machine.h"
#include "tests/support/processes.h"

#include "platform/win/handles.h"

#include <gtest/gtest.h>
#include <sddl.h>
#include <shlobj.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

// A file held open by this process with the given sharing, made first when absent.
UniqueHandle Hold(const std::string& path, DWORD share) {
  return UniqueHandle(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

struct Obstacle {
  const char* situation;
  // Puts the obstacle in place for `tool`; what it answers is released (or undone) to remove it.
  std::function<std::shared_ptr<void>(CrashMachine&, SampleTool&)> put;
  // What the message must name besides the tool: a text made from the tool.
  std::function<std::string(CrashMachine&, SampleTool&)> named;
};

std::string BackupFolder(SampleTool& tool) { return tool.folder().SwapPath() + "\\Backup"; }

}  // namespace

TEST(Refusal, AnObstacleRefusesTheSwapInAndTheMachineKeepsWhatItHas) {
  ScratchFolder root("refusal");
  EndProcessesNamed("sysreg_app.exe");
  CrashMachine machine(root.path());
  const Obstacle obstacles[] = {
      {"the old backup locked by another program",
       [](CrashMachine&, SampleTool& tool) {
         SHCreateDirectoryExA(nullptr, BackupFolder(tool).c_str(), nullptr);
         return std::make_shared<UniqueHandle>(Hold(BackupFolder(tool) + "\\install.xml", 0));
       },
       [](CrashMachine&, SampleTool& tool) { return BackupFolder(tool); }},
      {"a folder where the backup file goes",
       [](CrashMachine&, SampleTool& tool) {
         const std::string folder = BackupFolder(tool) + "\\install.xml";
         SHCreateDirectoryExA(nullptr, folder.c_str(), nullptr);
         auto held = std::make_shared<UniqueHandle>(Hold(folder + "\\held.txt", 0));
         return std::shared_ptr<void>(held.get(), [held, folder](void*) {
           held->reset();
           DeleteFileA((folder + "\\held.txt").c_str());
           RemoveDirectoryA(folder.c_str());
         });
       },
       [](CrashMachine&, SampleTool& tool) { return BackupFolder(tool); }},
      {"the user's file held open by another program",
       [](CrashMachine& m, SampleTool&) { return std::make_shared<UniqueHandle>(Hold(m.File(), FILE_SHARE_READ)); },
       [](CrashMachine& m, SampleTool&) { return m.File(); }},
      {"another tool swapped in over the same items",
       [](CrashMachine& m, SampleTool&) {
         std::shared_ptr<SampleTool> holder = m.NewTool("holder");
         EXPECT_EQ(holder->Launch("/install"), 1);
         return std::shared_ptr<void>(holder.get(), [holder](void*) { EXPECT_EQ(holder->Launch("/uninstall"), 1); });
       },
       [](CrashMachine&, SampleTool&) { return std::string("holder"); }},
  };
  const MachineState user = machine.Look();
  int index = 0;
  for (const Obstacle& o : obstacles) {
    SCOPED_TRACE(o.situation);
    auto tool = machine.NewTool("refused" + std::to_string(++index));
    std::string question;
    {
      std::shared_ptr<void> obstacle = o.put(machine, *tool);
      ASSERT_TRUE(obstacle);
      const MachineState before = machine.Look();
      EXPECT_EQ(LaunchAnswering(*tool, "/install", "OK", &question), 0);
      EXPECT_TRUE(Has(question, "cannot be swapped in") && Has(question, o.named(machine, *tool))) << question;
      EXPECT_EQ(Differences(before, machine.Look()), "");
    }
    EXPECT_EQ(tool->Launch("/install"), 1) << "once the obstacle is gone";
    EXPECT_NE(Differences(user, machine.Look()), "");
    EXPECT_EQ(tool->Launch("/uninstall"), 1);
    EXPECT_EQ(Differences(user, machine.Look()), "");
  }
}

TEST(Refusal, AWriteBackTheRegistryRefusesIsCountedAndTheNextSwapOutFinishesIt) {
  ScratchFolder root("writeback");
  CrashMachine machine(root.path());
  const MachineState user = machine.Look();
  auto tool = machine.NewTool("writeback");
  ASSERT_EQ(tool->Launch("/install"), 1);
  SetText(HKEY_CURRENT_USER, CrashMachine::WholeKey(), "Tool 3", "changed by the tool");
  const MachineState changed = machine.Look();

  // The whole key can be read but neither deleted nor written (values and subkeys).
  RegKey whole;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, CrashMachine::WholeKey(), 0, READ_CONTROL | WRITE_DAC, whole.receive()),
            ERROR_SUCCESS);
  DWORD size = 0;
  RegGetKeySecurity(whole.get(), DACL_SECURITY_INFORMATION, nullptr, &size);
  std::vector<BYTE> original(size);
  ASSERT_EQ(RegGetKeySecurity(whole.get(), DACL_SECURITY_INFORMATION, original.data(), &size), ERROR_SUCCESS);
  PSECURITY_DESCRIPTOR denying = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(D;;0x10006;;;WD)(A;;KA;;;WD)", SDDL_REVISION_1,
                                                                   &denying, nullptr));
  ASSERT_EQ(RegSetKeySecurity(whole.get(), DACL_SECURITY_INFORMATION, denying), ERROR_SUCCESS);
  LocalFree(denying);

  EXPECT_EQ(LaunchAnswering(*tool, "/uninstall", "OK"), 0);
  EXPECT_EQ(JournalPhase(*tool), "out-writing");
  EXPECT_TRUE(Has(ReadTextFile(tool->folder().SwapPath() + "\\Swap.log"), "(error 5)"));
  ASSERT_EQ(RegSetKeySecurity(whole.get(), DACL_SECURITY_INFORMATION, original.data()), ERROR_SUCCESS);

  EXPECT_EQ(tool->Launch("/uninstall"), 1);
  EXPECT_EQ(Differences(user, machine.Look()), "");
  EXPECT_EQ(tool->Launch("/install"), 1);
  EXPECT_EQ(Differences(changed, machine.Look()), "") << "the tool keeps its change";
  EXPECT_EQ(tool->Launch("/uninstall"), 1);
}
