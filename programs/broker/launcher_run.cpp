#include "programs/broker/launcher_run.h"

#include <string>
#include <vector>

namespace {

const DWORD kNotStarted = 0;
const DWORD kEndWaitMs = 5000;

// A job whose processes end when its last handle closes: the broker's end takes its launcher along.
UniqueHandle KillOnCloseJob() {
  UniqueHandle job(CreateJobObjectA(nullptr, nullptr));
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (job && !SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits))
    job.reset();
  return job;
}

std::vector<char> CommandLine(const ConsentedTool& tool, const CString& command) {
  std::string line = "\"" + std::string(tool.LauncherPath().c_str()) + "\" /app \"" + tool.AppFolder().c_str() +
                     "\" " + command.c_str();
  std::vector<char> text(line.begin(), line.end());
  text.push_back('\0');
  return text;
}

// Starts the launcher suspended, puts it into the job (which an older system refuses when the
// broker itself runs in a job: the job is then let go, and the time limit ends the launcher
// alone), then lets it run.
bool StartLauncher(const ConsentedTool& tool, const LaunchPlan& plan, UniqueHandle& job, PROCESS_INFORMATION& pi) {
  UniqueHandle pinned = tool.OpenLauncher();
  if (!pinned) return false;
  std::vector<char> line = CommandLine(tool, plan.command);
  std::vector<char> environment = plan.environment;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  if (!CreateProcessA(tool.LauncherPath(), line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                      environment.data(), tool.LibFolder(), &si, &pi))
    return false;
  if (job && !AssignProcessToJobObject(job.get(), pi.hProcess)) job.reset();
  if (ResumeThread(pi.hThread) == static_cast<DWORD>(-1)) {
    TerminateProcess(pi.hProcess, kNotStarted);
    return false;
  }
  return true;  // the pinned launcher file is let go only now
}

}  // namespace

DWORD RunLauncher(const ConsentedTool& tool, const LaunchPlan& plan, DWORD timeLimitMs) {
  UniqueHandle job = KillOnCloseJob();
  PROCESS_INFORMATION pi = {};
  if (!StartLauncher(tool, plan, job, pi)) {
    UniqueHandle process(pi.hProcess), thread(pi.hThread);
    return kNotStarted;
  }
  UniqueHandle process(pi.hProcess), thread(pi.hThread);
  if (WaitForSingleObject(process.get(), timeLimitMs) != WAIT_OBJECT_0) {
    // The job holds what the launcher started; the launcher itself may be outside it.
    if (job) TerminateJobObject(job.get(), kEndedAtTimeLimit);
    TerminateProcess(process.get(), kEndedAtTimeLimit);
    WaitForSingleObject(process.get(), kEndWaitMs);
    return kEndedAtTimeLimit;
  }
  DWORD exitCode = kNotStarted;
  return GetExitCodeProcess(process.get(), &exitCode) ? exitCode : kNotStarted;
}
