// The rights broker and its protocol, as a user without administrator rights meets them: the
// request file, the two named events, one launch of QORRIGHT.exe for every caller, and the
// broker's refusal of anything but a tool's swap or a platform library's function.
#include "platform/framework/afx_module.h"
#include "platform/win/handles.h"
#include "runtime/tool_module.h"
#include "swap/right_request.h"
#include "tests/support/processes.h"
#include "tests/support/sample_tool.h"
#include "tests/support/dialog_answerer.h"
#include "tests/support/resource_library.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

std::string PlatformFolder() { return BinFolder().substr(0, BinFolder().rfind('\\')); }

std::string ReadStatus(const CString& section) {
  char buf[64] = "";
  GetPrivateProfileStringA(section, "status", "", buf, sizeof buf, GetRequestFile());
  return buf;
}

RIGHTREQUEST FunctionRequest(const std::string& library, const char* function) {
  RIGHTREQUEST r;
  r.strLibrary = library.c_str();
  r.strFunction = function;
  r.bStdCall = TRUE;
  return r;
}

class Broker : public ::testing::Test {
 protected:
  void SetUp() override {
    SetUserAdminForTest(0);
    DeleteFileA(GetRequestFile());
  }
  void TearDown() override {
    SetUserAdminForTest(-1);
    EndProcessesNamed("QORRIGHT.exe");
    DeleteFileA(GetRequestFile());
  }
  // A function every broker may call: a library inside the platform folder.
  RIGHTREQUEST Allowed() const { return FunctionRequest(BinFolder() + "\\skinmagic_fixture.dll", "ExitSkinMagicLib"); }

  ScopedResourceLibrary m_resources;
};

TEST_F(Broker, TwoCallersAtOnceLaunchOneBrokerAfterOneNotice) {
  EndProcessesNamed("QORRIGHT.exe");
  DialogAnswerer notice("OK");
  int results[2] = {-1, -1}, values[2] = {0, 0};
  std::thread first([&] {
    RIGHTREQUEST r = Allowed();
    results[0] = ExecuteRequest(r, &values[0], 0);
  });
  std::thread second([&] {
    RIGHTREQUEST r = Allowed();
    results[1] = ExecuteRequest(r, &values[1], 0);
  });
  EXPECT_TRUE(notice.Wait());
  EXPECT_NE(notice.Text().find("consent"), std::string::npos);
  DialogAnswerer another("OK", 1500);
  first.join();
  second.join();
  EXPECT_FALSE(another.Wait());  // one notice only
  EXPECT_EQ(results[0], 1);
  EXPECT_EQ(results[1], 1);
  EXPECT_EQ(values[0], 1);  // the function's own answer came back through "result"
  EXPECT_EQ(values[1], 1);
  EXPECT_EQ(ProcessesNamed("QORRIGHT.exe").size(), 1u);
}

TEST_F(Broker, ForeignRequestsAreRefusedAndNotRun) {
  DialogAnswerer notice("OK");
  RIGHTREQUEST warm = Allowed();
  ASSERT_EQ(ExecuteRequest(warm, nullptr, 0), 1);  // the broker is running now

  std::string marker = PlatformFolder() + "\\pwned.txt";
  DeleteFileA(marker.c_str());
  RIGHTREQUEST shell;
  shell.strLibrary = ("cmd.exe /c echo x > \"" + marker + "\"").c_str();
  shell.bWait = TRUE;
  EXPECT_EQ(ExecuteRequest(shell, nullptr, 0), 0);
  // A launcher that is not a tool's, one that climbs out of the tools folder, and a library
  // outside the platform folder.
  RIGHTREQUEST fake;
  fake.strLibrary = ("\"" + BinFolder() + "\\run.exe\" /install").c_str();
  EXPECT_EQ(ExecuteRequest(fake, nullptr, 0), 0);
  RIGHTREQUEST climb;
  climb.strLibrary = ("\"" + PlatformFolder() + "\\App\\Tools\\x\\app\\..\\..\\..\\..\\bin\\run.exe\" /install").c_str();
  EXPECT_EQ(ExecuteRequest(climb, nullptr, 0), 0);
  RIGHTREQUEST system = FunctionRequest("C:\\windows\\system32\\kernel32.dll", "GetTickCount");
  EXPECT_EQ(ExecuteRequest(system, nullptr, 0), 0);
  Sleep(500);
  EXPECT_FALSE(FileExists(marker));
}

TEST_F(Broker, SectionsThatNeverBecomeReadyAreLeftAlone) {
  DialogAnswerer notice("OK");
  RIGHTREQUEST warm = Allowed();
  ASSERT_EQ(ExecuteRequest(warm, nullptr, 0), 1);
  CString file = GetRequestFile();
  WritePrivateProfileStringA("00abcd", "status", "init", file);
  WritePrivateProfileStringA("00abcd", "library", "cmd.exe /c exit", file);
  // A launcher request whose environment escapes are broken: no valid Swap, refused.
  RIGHTREQUEST broken;
  broken.strLibrary = ("\"" + PlatformFolder() + "\\App\\Tools\\none\\app\\run.exe\" /install").c_str();
  broken.strEnvironment = "Swap=C:\\x\\r\\\r\nA=\\r\\n\\";
  EXPECT_EQ(ExecuteRequest(broken, nullptr, 0), 0);
  EXPECT_EQ(ReadStatus("00abcd"), "init");
}

TEST_F(Broker, ABrokerThatNeverAnswersFailsTheRequestAfterItsPolls) {
  EndProcessesNamed("QORRIGHT.exe");
  // An event of the broker's name with nobody behind it.
  UniqueHandle impostor(CreateEventA(nullptr, FALSE, FALSE, "velmora.qor.right"));
  ASSERT_TRUE(impostor.valid());
  RIGHTREQUEST r = Allowed();
  DWORD start = GetTickCount();
  EXPECT_EQ(ExecuteRequest(r, nullptr, 0), 0);
  EXPECT_GE(GetTickCount() - start, 4000u);  // about 50 polls of 100 ms
  EXPECT_TRUE(ProcessesNamed("QORRIGHT.exe").empty());
}

// A tool that needs administrator rights, used by a user without them: its swap in and out go
// through the broker, which runs the tool's launcher elevated.
TEST_F(Broker, ASwapThatNeedsRightsRunsTheLauncherThroughTheBroker) {
  std::string name = "brokertool" + std::to_string(GetCurrentProcessId());
  SampleTool tool(PlatformFolder(), name);
  tool.SetMachineSetting("machine");
  SetUserAdminForTest(-1);  // the first set-up as an administrator
  ASSERT_EQ(tool.Launch("/install"), 1);
  ASSERT_EQ(tool.Launch("/uninstall"), 1);
  SetUserAdminForTest(0);

  char path[32768] = "";
  GetEnvironmentVariableA("Path", path, sizeof path);
  SetEnvironmentVariableA("Swap", tool.folder().SwapPath().c_str());
  {
    CToolModule module;
    module.m_bLocalApp = FALSE;
    module.InitModule((tool.folder().AppPath() + "\\run.exe").c_str());
    module.m_bNeedAdmin = TRUE;
    DialogAnswerer notice("OK");
    EXPECT_EQ(module.SwapReplaceModule(0), 1);
    EXPECT_EQ(tool.MachineSetting(), "tool");
    EXPECT_EQ(tool.folder().GetConfig("Status"), "on");
    EXPECT_EQ(module.SwapRestoreModule(0), 1);
    EXPECT_EQ(tool.MachineSetting(), "machine");
    EXPECT_EQ(tool.folder().GetConfig("Status"), "off");
  }
  SetEnvironmentVariableA("Path", path);
  SetEnvironmentVariableA("Swap", nullptr);
  RemoveTree(PlatformFolder() + "\\App\\Tools\\" + name);
}

}  // namespace
