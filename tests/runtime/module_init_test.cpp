// A tool module's initialisation: folders, environment, configuration, resource library and
// skin, observed on the real file system, environment and loaded modules.
#include "platform/framework/afx_module.h"
#include "platform/win/lib_folder.h"
#include "runtime/tool_module.h"
#include "tests/support/processes.h"
#include "tests/support/test_paths.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Env(const char* name) {
  char buf[4096] = "";
  GetEnvironmentVariableA(name, buf, sizeof buf);
  return buf;
}

// A module without the resource library, whose configuration accessors the tests may call.
class ProbeModule : public CToolModule {
 public:
  ProbeModule() { m_bLocalApp = FALSE; }
  using CToolModule::GetINIString;
  using CToolModule::SetINIString;
};

class ModuleInit : public ::testing::Test {
 protected:
  void SetUp() override {
    m_swap = m_root / "Swap";
    CreateDirectoryA(m_swap.c_str(), nullptr);
    SetEnvironmentVariableA("Swap", (m_swap + "\\\\").c_str());  // trailing backslashes are dropped
  }
  void TearDown() override { SetEnvironmentVariableA("Swap", nullptr); }

  ScratchFolder m_root{"init"};
  std::string m_swap;
};

TEST_F(ModuleInit, FoldersComeFromTheHostPathAndTheSwapVariable) {
  WritePrivateProfileStringA("Tool", "ID", "  demo.tool  ", (m_swap + "\\Config.ini").c_str());
  WritePrivateProfileStringA("Tool", "Manual", "YES", (m_swap + "\\Config.ini").c_str());
  CToolModule m;
  m.m_bLocalApp = FALSE;
  EXPECT_EQ(m.InitModule("D:\\x\\y\\run.exe"), 1);
  EXPECT_STREQ(m.m_strPath, "D:\\x\\y");
  EXPECT_STREQ(m.m_strSwapPath, m_swap.c_str());
  EXPECT_EQ(std::string(m.m_strConfigPos), m_swap + "\\Config.ini");
  EXPECT_EQ(std::string(m.m_strRegisterPos), m_swap + "\\MySelf\\Register.xml");
  EXPECT_EQ(std::string(m.m_strDownloadPath), m_swap + "\\Download");
  EXPECT_TRUE(FileExists(m_swap + "\\MySelf"));
  EXPECT_TRUE(FileExists(m_swap + "\\Backup"));
  EXPECT_FALSE(FileExists(m_swap + "\\Update"));  // only the two are created
  EXPECT_STREQ(m.m_strID, "demo.tool");
  EXPECT_TRUE(m.m_bManual);
  EXPECT_TRUE(m.m_bMobile);
  // The library folder is this program's (no platform module is loaded), the platform folder
  // its parent, and the environment tells the tool's programs both.
  EXPECT_EQ(std::string(m.m_strLibPath), BinFolder());
  std::string parent = BinFolder().substr(0, BinFolder().rfind('\\'));
  EXPECT_EQ(std::string(m.m_strQORPath), parent);
  EXPECT_EQ(std::string(m.m_strTempPath), parent + "\\Tmp");
  EXPECT_EQ(Env("App"), "D:\\x\\y");
  EXPECT_EQ(Env("Path"), "%Path%;" + BinFolder());  // stored unexpanded, as the runtime wrote it
}

TEST_F(ModuleInit, PathArgumentsAndTheDefaultHostPath) {
  CToolModule slash;
  slash.m_bLocalApp = FALSE;
  slash.InitModule("D:\\x\\y\\");
  EXPECT_STREQ(slash.m_strPath, "D:\\x\\y");
  EXPECT_FALSE(slash.m_bManual);  // no Config.ini: the constructor's 1 is replaced
  EXPECT_TRUE(slash.m_strID.IsEmpty());
  CToolModule host;
  host.m_bLocalApp = FALSE;
  host.InitModule("");
  EXPECT_EQ(std::string(host.m_strPath), BinFolder());
}

TEST_F(ModuleInit, ResourceLibraryIsTheCurrentOneWhileTheModuleLives) {
  HINSTANCE before = AfxGetResourceHandle();
  {
    CToolModule m;  // m_bLocalApp is set by default
    m.InitModule("C:\\t\\run.exe");
    HMODULE resources = GetModuleHandleA("Parlance10.dll");
    ASSERT_NE(resources, nullptr);
    EXPECT_EQ(AfxGetResourceHandle(), resources);
    CString text;
    EXPECT_TRUE(text.LoadString(51972));
  }
  EXPECT_EQ(GetModuleHandleA("Parlance10.dll"), nullptr);  // freed with the module
  EXPECT_EQ(AfxGetResourceHandle(), before);
}

TEST_F(ModuleInit, ConfigurationValuesAreTrimmedAndMissingOnesEmpty) {
  std::string config = m_swap + "\\Config.ini";
  WriteTextFile(config, std::string("\x01\x02garbage\xff\r\n[Tool]\r\nStatus =  on \r\n", 33));
  ProbeModule m;
  m.InitModule("C:\\t\\run.exe");
  EXPECT_STREQ(m.GetINIString("Tool", "Status"), "on");
  EXPECT_STREQ(m.GetINIString("Tool", "Install"), "");
  EXPECT_STREQ(m.GetINIString("Nowhere", "Status"), "");
  EXPECT_NE(m.SetINIString("Tool", "Install", "C:\\t"), 0);
  EXPECT_STREQ(m.GetINIString("Tool", "Install"), "C:\\t");
}

TEST_F(ModuleInit, MissingSwapVariablePutsTheFoldersAtTheDriveRoot) {
  SetEnvironmentVariableA("Swap", nullptr);
  char cwd[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, cwd);
  SetCurrentDirectoryA("C:\\");
  bool hadMySelf = FileExists("C:\\MySelf");
  ProbeModule m;
  m.InitModule("C:\\t\\run.exe");
  EXPECT_STREQ(m.m_strConfigPos, "\\Config.ini");
  EXPECT_TRUE(FileExists("C:\\MySelf"));
  EXPECT_TRUE(m.GetINIString("Tool", "ID").IsEmpty());
  if (!hadMySelf) {
    RemoveDirectoryA("C:\\MySelf");
    RemoveDirectoryA("C:\\Backup");
  }
  SetCurrentDirectoryA(cwd);
}

TEST(LibFolder, EnvoyProgramsUseTheirOwnFolderOthersTheLoadedLibrary) {
  ScratchFolder root("lib");
  std::string envoyDir = root / "envoy";
  std::string otherDir = root / "other";
  CreateDirectoryA(envoyDir.c_str(), nullptr);
  CreateDirectoryA(otherDir.c_str(), nullptr);
  std::string probe = BinFolder() + "\\libfolder_probe.exe";
  ASSERT_TRUE(CopyFileA(probe.c_str(), (envoyDir + "\\myEnvoy.exe").c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(probe.c_str(), (otherDir + "\\probe.exe").c_str(), FALSE));
  std::string dll = "\"" + BinFolder() + "\\Vantel10.dll\"";
  std::string out = root / "out.txt";

  ASSERT_EQ(RunAndWait("\"" + envoyDir + "\\myEnvoy.exe\" \"" + out + "\" " + dll), 0);
  EXPECT_EQ(ReadTextFile(out), envoyDir);
  ASSERT_EQ(RunAndWait("\"" + otherDir + "\\probe.exe\" \"" + out + "\" " + dll), 0);
  EXPECT_EQ(ReadTextFile(out), BinFolder());
  ASSERT_EQ(RunAndWait("\"" + otherDir + "\\probe.exe\" \"" + out + "\""), 0);
  EXPECT_EQ(ReadTextFile(out), otherDir);
}

}  // namespace
