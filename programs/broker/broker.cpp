// QORRIGHT.exe, the rights broker. Started elevated ("runas") from the library folder by a
// process of the runtime whose tool needs administrator rights the user lacks:
//
//   QORRIGHT.exe "<platform>\App\Tools\<tool>" /secret <64 hex digits> /caller <process id>
//                /limit <milliseconds>
//
// It serves that one tool (request_policy.h) for that one caller: its request event, request
// file and the file's mutex are named from the secret (swap/right_protocol.h), every request and
// answer carries a code made with it, and whatever it runs gets the time limit (at most five
// minutes). It ends after the tool's "/uninstall" has succeeded, when the caller's process has
// ended (nobody else has the secret), or after ten minutes without requests.
#include "platform/win/lib_folder.h"
#include "programs/broker/consented_tool.h"
#include "programs/broker/launcher_run.h"
#include "programs/broker/request_policy.h"
#include "programs/broker/request_queue.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const DWORD kIdleExitMs = 10 * 60 * 1000;
// Between requests the file is looked at this often, so that answers nobody fetched go.
const DWORD kTidyIntervalMs = 10 * 1000;
const int kArgumentCount = 8;  // program, tool folder and three named values

// Exit codes of the broker itself.
const int kExitServed = 0;
const int kExitBadCommandLine = 1;
const int kExitNotATool = 2;
const int kExitNoCaller = 3;

struct Arguments {
  CString toolFolder;
  BrokerKey key;
  DWORD callerId = 0;
  DWORD timeLimitMs = 0;
};

bool ParseDecimal(const char* text, DWORD& value) {
  char* end = nullptr;
  unsigned long n = strtoul(text, &end, 10);
  if (!*text || *end || n == 0) return false;
  value = static_cast<DWORD>(n);
  return true;
}

bool ParseArguments(int argc, char** argv, Arguments& args) {
  if (argc != kArgumentCount || strcmp(argv[2], "/secret") != 0 || strcmp(argv[4], "/caller") != 0 ||
      strcmp(argv[6], "/limit") != 0)
    return false;
  args.toolFolder = argv[1];
  args.key = BrokerKey::FromHex(argv[3]);
  return args.key.valid() && ParseDecimal(argv[5], args.callerId) && ParseDecimal(argv[7], args.timeLimitMs) &&
         args.timeLimitMs <= kLauncherTimeLimitMs;
}

struct Outcome {
  bool success = false;
  DWORD exitCode = 0;
  bool uninstalled = false;
};

Outcome Carry(const RIGHTREQUEST& request, const ConsentedTool& tool, DWORD timeLimitMs) {
  Outcome outcome;
  LaunchPlan plan;
  if (!AdmitRequest(request, tool, plan)) return outcome;
  outcome.exitCode = RunLauncher(tool, plan, timeLimitMs);
  outcome.success = outcome.exitCode == kLauncherDone;
  outcome.uninstalled = outcome.success && plan.command == "/uninstall";
  return outcome;
}

int Serve(const Arguments& args, const ConsentedTool& tool, HANDLE event, HANDLE caller) {
  RequestQueue queue(args.key, args.key.RequestFile(PlatformFolder()), args.timeLimitMs);
  HANDLE waits[] = {event, caller};
  DWORD lastRequest = GetTickCount();
  for (;;) {
    bool uninstalled = false;
    TakenRequest taken;
    while (queue.TakeNext(taken)) {
      Outcome outcome = Carry(taken.request, tool, args.timeLimitMs);
      queue.Answer(taken, outcome.success, outcome.exitCode);
      uninstalled = uninstalled || outcome.uninstalled;
      lastRequest = GetTickCount();
    }
    if (uninstalled) return kExitServed;
    DWORD woken = WaitForMultipleObjects(2, waits, FALSE, kTidyIntervalMs);
    if (woken != WAIT_OBJECT_0 && woken != WAIT_TIMEOUT) return kExitServed;  // the caller has ended
    if (woken == WAIT_TIMEOUT && GetTickCount() - lastRequest >= kIdleExitMs) return kExitServed;
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  Arguments args;
  if (!ParseArguments(__argc, __argv, args)) return kExitBadCommandLine;
  ConsentedTool tool;
  if (!tool.Resolve(args.toolFolder, GetLibFolder())) return kExitNotATool;
  // The caller made the event before it started the broker; one that is not there is not ours.
  UniqueHandle event(OpenEventA(SYNCHRONIZE, FALSE, args.key.EventName()));
  UniqueHandle caller(OpenProcess(SYNCHRONIZE, FALSE, args.callerId));
  if (!event || !caller) return kExitNoCaller;
  return Serve(args, tool, event.get(), caller.get());
}
