// Starting processes with a derived working folder and a time-out, ending them by their
// windows, and short paths.
#include "sysreg/common.h"
#include "tests/support/test_paths.h"
#include "tests/support/processes.h"
#include "tests/support/registry.h"

#include <gtest/gtest.h>

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
  // Starts the program with windows and waits until they are up.
  UniqueHandle StartWindows(const std::string& args, DWORD* pid) {
    *pid = Exec(m_app + " -windows " + args, 0);
    UniqueHandle h(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, *pid));
    EXPECT_TRUE(WaitUntil([&] { return Has(Log(), "ready"); }, 10000)) << Log();
    return h;
  }
  static DWORD EndCode(HANDLE process) {
    DWORD code = 0;
    EXPECT_EQ(WaitForSingleObject(process, 3000), static_cast<DWORD>(WAIT_OBJECT_0));
    GetExitCodeProcess(process, &code);
    return code;
  }

  ScratchFolder m_scratch{"vt-proc"};
  std::string m_tools = m_scratch / "Tools", m_app = m_tools + "\\app.exe", m_log = m_scratch / "log.txt";
  std::string m_env;
};

TEST_F(ProcessTest, WorkingFolderComesFromTheCommandLine) {
  std::string caller = CurrentDirectory();
  SetCurrentDirectoryA(m_scratch.path().c_str());
  const std::pair<std::string, std::string> cases[] = {
      {m_app + " /q", m_tools},                                  // the first slash ends the text
      {m_app + " Z:\\vantel-nowhere\\data\\f.txt", m_tools},     // candidates that do not exist
      {"\"" + m_app + "\" /q", m_scratch.path()},                // quoted: the caller's folder
  };
  for (const auto& c : cases) {
    EXPECT_NE(Exec(c.first, 10000), 0u) << c.first;
    EXPECT_TRUE(Has(Log(), "cwd=" + c.second + "\ncmd=" + c.first + "\n")) << Log();
  }
  EXPECT_EQ(CCommon::ExecApp((m_tools + "\\missing.exe").c_str(), 0, nullptr), 0u);
  SetCurrentDirectoryA(caller.c_str());
}

TEST_F(ProcessTest, TimeOutTerminatesAndTheIdentifierComesBack) {
  DWORD start = GetTickCount();
  DWORD pid = Exec(m_app + " -sleep:4000", 0);
  UniqueHandle running(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid));
  EXPECT_LT(GetTickCount() - start, 2000u);
  EXPECT_EQ(WaitForSingleObject(running.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(CCommon::ExitApp(pid, "", 1), 1);  // no windows to close: ended after 1 ms
  EXPECT_EQ(EndCode(running.get()), 0xFFFFFFFFu);

  start = GetTickCount();
  EXPECT_NE(Exec(m_app + " -sleep:4000", 300), 0u);
  EXPECT_LT(GetTickCount() - start, 2500u);
  Sleep(200);
  EXPECT_TRUE(Has(Log(), "cwd=") && !Has(Log(), "done")) << Log();
  EXPECT_NE(Exec(m_app + " -sleep:100", 10000), 0u);
  EXPECT_TRUE(Has(Log(), "done\n")) << Log();
}

TEST_F(ProcessTest, ExitAppClosesTheWindowsOfOneClassOrAll) {
  DWORD pid = 0;
  UniqueHandle app = StartWindows("", &pid);
  EXPECT_EQ(CCommon::ExitApp(pid, "vanteltestother", 1500), 1);
  EXPECT_EQ(EndCode(app.get()), 0xFFFFFFFFu);  // its other window kept it running
  EXPECT_TRUE(Has(Log(), "close VantelTestOther\n") && !Has(Log(), "close VantelTestMain")) << Log();

  app = StartWindows("", &pid);
  EXPECT_EQ(CCommon::ExitApp(pid, "", 10000), 1);
  EXPECT_EQ(EndCode(app.get()), 0u);
  EXPECT_TRUE(Has(Log(), "close VantelTestMain\n") && Has(Log(), "close VantelTestOther\n")) << Log();

  app = StartWindows("-stubborn", &pid);
  EXPECT_EQ(CCommon::ExitApp(pid, "", 500), 1);
  EXPECT_EQ(EndCode(app.get()), 0xFFFFFFFFu);
  EXPECT_TRUE(Has(Log(), "close VantelTestMain\n")) << Log();

  DWORD start = GetTickCount();
  EXPECT_EQ(CCommon::ExitApp(pid, "", 10000), 1);  // gone already
  EXPECT_LT(GetTickCount() - start, 1000u);
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

}  // namespace
