// Processes and services: programs started with a derived working folder and a time-out and ended
// by their windows, short paths; services against Wine's service manager (read back through its
// API, its registry keys and sc.exe) created with defaults, disabled, replaced, and deleted with and
// without the progress dialog; and that dialog on its real template: completion, time-out, the
// inert default button, Cancel, and the caption cache.
#include "resources/resource_ids.h"
#include "sysreg/common.h"
#include "sysreg/machine_keys.h"
#include "sysreg/progress_dlg.h"
#include "tests/support/dialog_answerer.h"
#include "tests/support/processes.h"
#include "tests/support/registry.h"
#include "tests/support/resource_library.h"
#include "tests/support/services.h"
#include "tests/support/test_paths.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// The test program copied to <scratch>\Tools\app.exe; it reports to <scratch>\log.txt, named
// in the environment block handed to ExecApp.
class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CreateDirectoryA(m_tools.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA((BinFolder() + "\\sysreg_app.exe").c_str(), m_app.c_str(), FALSE));
    char* env = GetEnvironmentStringsA();
    for (const char* p = env; *p; p += strlen(p) + 1) m_env.append(p, strlen(p) + 1);
    FreeEnvironmentStringsA(env);
    m_env += "VANTEL_APP_LOG=" + m_log + std::string(2, '\0');
  }
  DWORD Exec(const std::string& commandLine, int timeout) {
    DeleteFileA(m_log.c_str());
    return CCommon::ExecApp(commandLine.c_str(), timeout, &m_env[0]);
  }
  std::string Log() { return ReadTextFile(m_log); }
  // The program's windows that were asked to close.
  std::string Closed() {
    return std::string(Has(Log(), "close VantelTestMain\n") ? "Main " : "") +
           (Has(Log(), "close VantelTestOther\n") ? "Other" : "");
  }

  ScratchFolder m_scratch{"vt-proc"};
  std::string m_tools = m_scratch / "Tools", m_app = m_tools + "\\app.exe", m_log = m_scratch / "log.txt";
  std::string m_env;
};

const int kLongWait = 10000;
const DWORD kTerminated = 0xFFFFFFFF;  // the exit code of a program that the primitives end

TEST_F(ProcessTest, ExecAppStartsInTheFolderOfTheCommandLineAndEndsTheProgramAfterTheTimeOut) {
  std::string caller = CurrentDirectory();
  SetCurrentDirectoryA(m_scratch.path().c_str());
  const struct {
    std::string command;
    int timeout;
    std::string logged;
  } rows[] = {
      {m_app + " /q", kLongWait, "cwd=" + m_tools + "\ncmd=" + m_app + " /q\n"},  // the first slash ends the text
      {m_app + " Z:\\vantel-nowhere\\data\\f.txt", kLongWait, "cwd=" + m_tools + "\n"},  // candidates that do not exist
      {"\"" + m_app + "\" /q", kLongWait, "cwd=" + m_scratch.path() + "\n"},             // quoted: the caller's folder
      {m_app + " -sleep:100", kLongWait, "done\n"},
      {m_app + " -sleep:4000", 300, "cwd="},  // ended after 300 ms
  };
  for (const auto& row : rows) {
    DWORD start = GetTickCount();
    DWORD pid = Exec(row.command, row.timeout);
    EXPECT_NE(pid, 0u) << row.command;
    EXPECT_LT(GetTickCount() - start, row.timeout + 2000u) << row.command;
    EXPECT_TRUE(Has(Log(), row.logged)) << row.command << "\n" << Log();
    EXPECT_TRUE(WaitUntil([&] { return !IsProcessAlive(pid); }, 1000)) << row.command;
  }
  EXPECT_EQ(CCommon::ExecApp((m_tools + "\\missing.exe").c_str(), 0, nullptr), 0u);
  SetCurrentDirectoryA(caller.c_str());
}

TEST_F(ProcessTest, ExitAppClosesTheWindowsOfOneClassOrAllThenEndsTheProgram) {
  const struct {
    std::string arguments, windowClass;
    int timeout;
    DWORD exitCode;
    std::string closed;
  } rows[] = {
      {"-sleep:4000", "", 1, kTerminated, ""},                      // no windows: ended after 1 ms
      {"-windows", "vanteltestother", 1500, kTerminated, "Other"},  // its other window keeps it running
      {"-windows", "", kLongWait, 0, "Main Other"},                 // it closes itself
      {"-windows -stubborn", "", 500, kTerminated, "Main Other"},
  };
  for (const auto& row : rows) {
    DWORD pid = Exec(m_app + " " + row.arguments, 0);  // no wait
    UniqueHandle program(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid));
    const char* up = Has(row.arguments, "-windows") ? "ready" : "cmd=";
    ASSERT_TRUE(WaitUntil([&] { return Has(Log(), up); }, kLongWait)) << row.arguments << "\n" << Log();
    EXPECT_EQ(CCommon::ExitApp(pid, row.windowClass.c_str(), row.timeout), 1);
    DWORD code = 0;
    EXPECT_EQ(WaitForSingleObject(program.get(), 3000), static_cast<DWORD>(WAIT_OBJECT_0)) << row.arguments;
    GetExitCodeProcess(program.get(), &code);
    EXPECT_EQ(code, row.exitCode) << row.arguments;
    EXPECT_EQ(Closed(), row.closed) << row.arguments;
  }
}

TEST(ShortPath, CanonicalShortFormOfAnExistingPath) {
  ScratchFolder scratch("vt-short");
  std::string one = scratch / "LongFolderNameOne", two = scratch / "LongFolderNameTwo";
  CreateDirectoryA(one.c_str(), nullptr);
  CreateDirectoryA(two.c_str(), nullptr);
  std::string s = CCommon::GetShortPathNameA((one + "\\..\\.\\LongFolderNameTwo").c_str()).c_str();
  EXPECT_FALSE(Has(s, "\\.")) << s;
  EXPECT_LE(s.size() - s.find_last_of('\\') - 1, 12u) << s;  // an 8.3 name
  char longOfResult[MAX_PATH] = "", longOfTwo[MAX_PATH] = "";
  GetLongPathNameA(s.c_str(), longOfResult, MAX_PATH);
  GetLongPathNameA(two.c_str(), longOfTwo, MAX_PATH);
  EXPECT_EQ(lstrcmpiA(longOfResult, longOfTwo), 0) << longOfResult;
  EXPECT_TRUE(CCommon::GetShortPathNameA((scratch / "missing").c_str()).IsEmpty());
}

bool Gone(const std::string& name) { return !HasKey(HKEY_LOCAL_MACHINE, std::string(kServicesKey) + "\\" + name); }

// How long a test looks for the progress dialog. It is found by pressing its default button, which
// does nothing while the dialog waits.
const DWORD kDialogLookMs = 1500;

class ServiceTest : public ::testing::Test {
 protected:
  std::string m_image = BinFolder() + "\\sysreg_service.exe";
  ScopedResourceLibrary m_resources;
};

TEST_F(ServiceTest, DefaultsGiveAStartedOwnProcessServiceDeletedWithoutDialog) {
  ServiceGuard cleanup("VantelTestSvcA");
  EXPECT_EQ(CCommon::IsServiceExist("VantelTestSvcA"), 0);
  EXPECT_EQ(CCommon::NewService("VantelTestSvcA", m_image.c_str(), -1, -1, -1, "", 0, "", "", "", "Vantel test service"), 1);
  const ServiceConfig defaults = {true, SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, 0,
                                  m_image, "", "", "LocalSystem", "VantelTestSvcA", "Vantel test service"};
  EXPECT_EQ(Describe(QueryService("VantelTestSvcA")), Describe(defaults));
  EXPECT_TRUE(WaitUntil([] { return Has(ScQuery("VantelTestSvcA"), "RUNNING"); }, 10000));
  EXPECT_EQ(CCommon::IsServiceExist("VantelTestSvcA"), 1);

  DialogAnswerer watch("OK", kDialogLookMs);
  DWORD start = GetTickCount();
  EXPECT_EQ(CCommon::DelService("VantelTestSvcA", 0), 1);  // it accepts the stop: no wait
  EXPECT_LT(GetTickCount() - start, kDialogLookMs);
  EXPECT_FALSE(watch.Wait());
  EXPECT_TRUE(WaitUntil([] { return Gone("VantelTestSvcA"); }, 10000));

  // Once it is gone there is nothing to wait for, with or without wait.
  DialogAnswerer none("OK", kDialogLookMs);
  start = GetTickCount();
  EXPECT_EQ(CCommon::IsServiceExist("VantelTestSvcA") + CCommon::IsServiceExist(""), 0);
  EXPECT_EQ(CCommon::DelService("VantelTestSvcA", 1) + CCommon::DelService("", 1), 2);
  EXPECT_LT(GetTickCount() - start, 1000u);
  EXPECT_FALSE(none.Wait());
}

TEST_F(ServiceTest, DisabledServiceIsNotStartedAndIsReplacedBehindTheDialog) {
  ServiceGuard cleanup("VantelTestSvcB");
  CCommon::NewService("VantelTestSvcB", m_image.c_str(), -1, SERVICE_DISABLED, -1, "", 0, CString("RpcSs\0", 6), "",
                      "Vantel Test Disabled", "");
  // Wine's service manager does not report dependencies: the service's key is read through reg.exe.
  std::string config = RegQuery("HKLM\\" + std::string(kServicesKey) + "\\VantelTestSvcB");
  EXPECT_TRUE(Has(config, "Start    REG_DWORD    0x4") && Has(config, "DependOnService    REG_MULTI_SZ    RpcSs")) << config;
  EXPECT_FALSE(Has(config, "Description")) << config;
  EXPECT_TRUE(Has(ScQuery("VantelTestSvcB"), "STOPPED"));
  // Presence is asked by display name.
  EXPECT_EQ(CCommon::IsServiceExist("Vantel Test Disabled"), 1);
  EXPECT_EQ(CCommon::IsServiceExist("VantelTestSvcB"), 0);

  // The old service is deleted first; the dialog closes on the first tick after its key went.
  DialogAnswerer watch("OK", kDialogLookMs);
  DWORD start = GetTickCount();
  CCommon::NewService("VantelTestSvcB", m_image.c_str(), -1, SERVICE_DISABLED, -1, "", 0, "", "", "Vantel Test Again", "");
  DWORD took = GetTickCount() - start;
  EXPECT_TRUE(watch.Wait());
  EXPECT_TRUE(took >= 1900 && took < 8000) << took;
  EXPECT_EQ(QueryService("VantelTestSvcB").display, "Vantel Test Again");
  EXPECT_FALSE(Has(RegQuery("HKLM\\" + std::string(kServicesKey) + "\\VantelTestSvcB"), "DependOnService"));
}

TEST_F(ServiceTest, ServiceThatRefusesToStopIsRetriedBehindTheDialog) {
  ServiceGuard cleanup("VantelTestSvcC");
  // The service refuses the stop control for its first 5 s, then accepts it.
  CCommon::NewService("VantelTestSvcC", (m_image + " nostop:5000").c_str(), -1, -1, -1, "", 0, "", "", "", "");
  ASSERT_TRUE(WaitUntil([] { return Has(ScQuery("VantelTestSvcC"), "RUNNING"); }, 10000));
  // Even without wait the dialog shows, and Cancel asks first (answered No: the wait goes on). A
  // later tick's stop attempt succeeds; the service ends, its key goes and the dialog closes.
  DialogAnswerer cancel("Cancel"), no("No");
  DWORD start = GetTickCount();
  EXPECT_EQ(CCommon::DelService("VantelTestSvcC", 0), 1);
  DWORD took = GetTickCount() - start;
  EXPECT_TRUE(cancel.Wait() && no.Wait());
  EXPECT_EQ(no.Caption(), "Vantel");
  EXPECT_TRUE(Has(no.Text(), "Stop waiting")) << no.Text();
  EXPECT_TRUE(took >= 4000 && took < 20000) << took;
  EXPECT_TRUE(Gone("VantelTestSvcC"));
}

class ProgressDlgTest : public ::testing::Test {
 protected:
  // Counts its runs, reports completion on run number `completeOn` (never when 0), and notes its
  // deletion.
  struct CountingTask : CProgressTask {
    explicit CountingTask(ProgressDlgTest* test) : test(test) {}
    ~CountingTask() override { test->m_deleted = true; }
    int Run() override {
      if (++test->m_runs == test->m_completeOn) test->m_dialog->m_nResult = CProgressDlg::kCompleted;
      return 0;
    }
    ProgressDlgTest* test;
  };
  // Runs a dialog with a counting task, a 50 ms interval and the given time-out.
  INT_PTR Run(int completeOn, DWORD timeoutMs) {
    m_runs = 0;
    m_completeOn = completeOn;
    m_deleted = false;
    m_dialog.reset(new CProgressDlg(new CountingTask(this)));
    m_dialog->m_dwInterval = 50;
    m_dialog->m_dwTimeout = timeoutMs;
    return m_dialog->DoModal();
  }

  ScopedResourceLibrary m_resources;
  std::unique_ptr<CProgressDlg> m_dialog;
  int m_runs = 0, m_completeOn = 0;
  bool m_deleted = false;
};

TEST_F(ProgressDlgTest, EndsOnCompletionOrTimeOutButNotOnTheDefaultButton) {
  EXPECT_EQ(Run(3, 10000), CProgressDlg::kCompleted);
  EXPECT_EQ(m_runs, 3);
  EXPECT_TRUE(m_deleted);  // with the window, before the object goes
  EXPECT_EQ(m_dialog->m_pTask, nullptr);

  DialogAnswerer ok("OK");
  DWORD start = GetTickCount();
  EXPECT_EQ(Run(0, 1200), CProgressDlg::kTimedOut);
  EXPECT_TRUE(ok.Wait());
  EXPECT_GE(GetTickCount() - start, 1200u);
  EXPECT_GE(m_runs, 3);
}

// Cancel answered No, where the wait goes on, is in the service test above.
TEST_F(ProgressDlgTest, CancelAnsweredYesEndsTheWait) {
  DialogAnswerer cancel("Cancel"), yes("Yes");
  DWORD start = GetTickCount();
  EXPECT_EQ(Run(0, 20000), IDCANCEL);
  EXPECT_TRUE(cancel.Wait() && yes.Wait());
  EXPECT_LT(GetTickCount() - start, 15000u);
  EXPECT_EQ(m_dialog->m_nResult, CProgressDlg::kWaiting);
  EXPECT_TRUE(m_deleted);
}

TEST_F(ProgressDlgTest, TaskIsFreedWhenTheDialogCannotOpenAndCaptionIsKept) {
  EXPECT_STREQ(GetCaptionText(IDS_CAPTION), "Vantel");
  AfxSetResourceHandle(GetModuleHandleA(nullptr));  // no dialog 278, no string 51972
  EXPECT_STREQ(GetCaptionText(IDS_CAPTION), "Vantel");
  EXPECT_EQ(Run(1, 1000), -1);
  EXPECT_EQ(m_runs, 0);
  m_dialog.reset();
  EXPECT_TRUE(m_deleted);
}

}  // namespace
