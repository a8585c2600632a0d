// The launcher ended with TerminateProcess at seeded moments spread over a swap in (/install) and
// a swap out (/unload); what the user does next (load, then unload, answering any question as it
// comes) must give the tool its last values and leave the machine byte for byte as it was.
//
//   VANTEL_CRASH_SEED     the seed to replay (printed by every run)
//   VANTEL_CRASH_MOMENTS  how many moments to try (20 unless more are asked for)
#include "tests/crash/crash_machine.h"
#include "tests/support/processes.h"
#include "tests/support/registration_docs.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <random>

namespace {

constexpr int kSuiteMoments = 20;

unsigned EnvNumber(const char* name, unsigned fallback) {
  char text[32] = "";
  return GetEnvironmentVariableA(name, text, sizeof text) > 0 ? static_cast<unsigned>(strtoul(text, nullptr, 10)) : fallback;
}

// Runs the launcher and ends it after `ms` if it still runs; how long it ran.
DWORD RunFor(SampleTool& tool, const std::string& items, DWORD ms) {
  DWORD start = GetTickCount();
  HANDLE launcher = tool.folder().Start(items);
  if (!launcher) return 0;
  if (WaitForSingleObject(launcher, ms) == WAIT_TIMEOUT) TerminateProcess(launcher, 9);
  WaitForSingleObject(launcher, 30000);
  CloseHandle(launcher);
  return GetTickCount() - start;
}

// When a launcher run reached the phases of the swap: the moments are spread over the swap, not
// over the launcher's start and the program's end around it.
struct Window {
  DWORD from = 0, to = 0;  // ms after the launcher started
};
Window WatchSwap(SampleTool& tool, const std::string& items, const char* firstPhase) {
  DWORD start = GetTickCount();
  HANDLE launcher = tool.folder().Start(items);
  Window window;
  while (launcher && WaitForSingleObject(launcher, 1) == WAIT_TIMEOUT)
    if (!window.from && JournalPhase(tool) == firstPhase) window.from = GetTickCount() - start;
  window.to = GetTickCount() - start;
  if (launcher) CloseHandle(launcher);
  // What comes before the first phase is the capture: twice as long as the rest, at most.
  window.from -= std::min(window.from, 2 * (window.to - window.from));
  return window;
}

DWORD MomentIn(const Window& window, std::mt19937& random) {
  return std::uniform_int_distribution<DWORD>(window.from, window.to)(random);
}

}  // namespace

TEST(Crash, KilledAtAnyMomentOfASwapTheNextLoadAndUnloadLoseNothing) {
  const unsigned seed = EnvNumber("VANTEL_CRASH_SEED", BaseSeed());
  const int moments = static_cast<int>(EnvNumber("VANTEL_CRASH_MOMENTS", kSuiteMoments));
  std::printf("crash seed %u, %d moments\n", seed, moments);
  std::mt19937 random(seed);
  ScratchFolder root("crash");
  EndProcessesNamed("sysreg_app.exe");
  CrashMachine machine(root.path());
  const MachineState user = machine.Look();

  // One life without a kill: when the two swaps run, and the machine with the tool in. The first
  // install of a run is slower (cold caches), so the second one is timed.
  auto calibration = machine.NewTool("calibration");
  ASSERT_EQ(calibration->Launch("/install"), 1);
  ASSERT_EQ(calibration->Launch("/uninstall"), 1);
  const Window install = WatchSwap(*calibration, "/install", "in-clearing");
  const MachineState fresh = machine.Look();
  ASSERT_NE(Differences(user, fresh), "");
  ASSERT_EQ(calibration->Launch("/uninstall"), 1);
  ASSERT_EQ(Differences(user, machine.Look()), "");
  ASSERT_EQ(calibration->Launch("/load"), 1);
  const Window unload = WatchSwap(*calibration, "/unload", "out-capturing");
  ASSERT_EQ(Differences(user, machine.Look()), "");
  std::printf("swap in from %lu to %lu ms of /install, swap out from %lu to %lu ms of /unload\n", install.from,
              install.to, unload.from, unload.to);

  for (int round = 0; round * 2 < moments && !HasFailure(); ++round) {
    auto tool = machine.NewTool("round" + std::to_string(round));
    const char* answers[] = {"Yes", "No"};
    std::string question;

    // Killed during the swap in; the next load must bring the tool's registrations in.
    DWORD ran = RunFor(*tool, "/install", MomentIn(install, random));
    std::string where = "round " + std::to_string(round) + ": /install ended after " + std::to_string(ran) +
                        " ms, journal " + JournalPhase(*tool);
    std::printf("%s\n", where.c_str());
    const char* answer = answers[random() % 2];
    EXPECT_EQ(LaunchAnswering(*tool, "/load", answer, &question), 1) << where;
    EXPECT_EQ(Differences(fresh, machine.Look()), "") << where;

    // The tool changes its settings; killed during the swap out, the change must survive.
    SetText(HKEY_CURRENT_USER, CrashMachine::WholeKey(), "Tool 3", "changed in round " + std::to_string(round));
    WriteTextFile(machine.File(), "tool settings of round " + std::to_string(round));
    const MachineState changed = machine.Look();
    ran = RunFor(*tool, "/unload", MomentIn(unload, random));
    where = "round " + std::to_string(round) + ": /unload ended after " + std::to_string(ran) + " ms, journal " +
            JournalPhase(*tool);
    std::printf("%s\n", where.c_str());
    EndProcessesNamed("sysreg_app.exe");  // the user closes what the dead launcher left open
    answer = answers[random() % 2];
    EXPECT_EQ(LaunchAnswering(*tool, "/load", answer, &question), 1) << where;
    // Asked whether to keep registrations never swapped out, "No" installs the saved ones afresh.
    const bool afresh = !question.empty() && std::string(answer) == "No";
    EXPECT_EQ(Differences(afresh ? fresh : changed, machine.Look()), "") << where << ", answered " << answer;
    EXPECT_EQ(tool->Launch("/unload"), 1) << where;
    EXPECT_EQ(Differences(user, machine.Look()), "") << where;
  }
}
