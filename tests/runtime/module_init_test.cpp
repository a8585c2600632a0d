// A tool module's initialisation (folders, environment, configuration, resource library) and its
// skin steps, observed on the real file system, environment and loaded modules.
#include "platform/framework/afx_module.h"
#include "platform/win/lib_folder.h"
#include "runtime/tool_module.h"
#include "tests/support/processes.h"
#include "tests/support/test_paths.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

std::string Env(const char* name) {
  char buf[4096] = "";
  GetEnvironmentVariableA(name, buf, sizeof buf);
  return buf;
}

using Texts = std::vector<std::string>;
Texts TextsOf(std::initializer_list<const char*> values) { return Texts(values.begin(), values.end()); }

class ModuleInit : public ::testing::Test {
 protected:
  void SetUp() override { CreateDirectoryA(m_swap.c_str(), nullptr); }

  ScratchFolder m_root{"init"};
  std::string m_swap = m_root / "Swap";
  EnvGuard m_swapVariable{"Swap", m_swap + "\\\\"};  // trailing backslashes are dropped
};

TEST_F(ModuleInit, FoldersComeFromTheSwapVariableAndTheLibrary) {
  WritePrivateProfileStringA("Tool", "ID", "  demo.tool  ", (m_swap + "\\Config.ini").c_str());
  WritePrivateProfileStringA("Tool", "Manual", "YES", (m_swap + "\\Config.ini").c_str());
  CToolModule m;
  m.m_bLocalApp = FALSE;
  EXPECT_EQ(m.InitModule("D:\\x\\y\\run.exe"), 1);
  EXPECT_TRUE(FileExists(m_swap + "\\MySelf"));
  EXPECT_TRUE(FileExists(m_swap + "\\Backup"));
  EXPECT_FALSE(FileExists(m_swap + "\\Update"));  // only the two are created
  EXPECT_TRUE(m.m_bManual);
  EXPECT_TRUE(m.m_bMobile);
  // The library folder is this program's (no platform module is loaded), the platform folder
  // its parent, and the environment tells the tool's programs both; Path is stored unexpanded.
  const std::string parent = BinFolder().substr(0, BinFolder().rfind('\\'));
  EXPECT_EQ(TextsOf({m.m_strSwapPath, m.m_strConfigPos, m.m_strRegisterPos, m.m_strDownloadPath, m.m_strLibPath,
                     m.m_strQORPath, m.m_strTempPath, m.m_strID, Env("App").c_str(), Env("Path").c_str()}),
            (Texts{m_swap, m_swap + "\\Config.ini", m_swap + "\\MySelf\\Register.xml", m_swap + "\\Download",
                   BinFolder(), parent, parent + "\\Tmp", "demo.tool", "D:\\x\\y", "%Path%;" + BinFolder()}));
}

TEST_F(ModuleInit, TheApplicationFolderIsTheHostPathsFolder) {
  for (const auto& c : {std::make_pair(std::string("D:\\x\\y\\run.exe"), std::string("D:\\x\\y")),
                        std::make_pair(std::string("D:\\x\\y\\"), std::string("D:\\x\\y")),
                        std::make_pair(std::string(), BinFolder())}) {  // empty: this program's
    CToolModule m;
    m.m_bLocalApp = FALSE;
    m.InitModule(c.first.c_str());
    EXPECT_EQ(std::string(m.m_strPath), c.second) << c.first;
  }
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

TEST_F(ModuleInit, MissingSwapVariableMakesNothingAtTheDriveRoot) {
  SetEnvironmentVariableA("Swap", nullptr);
  char cwd[MAX_PATH];
  GetCurrentDirectoryA(MAX_PATH, cwd);
  SetCurrentDirectoryA("C:\\");
  bool hadMySelf = FileExists("C:\\MySelf");
  CToolModule m;
  m.m_bLocalApp = FALSE;
  m.InitModule("C:\\t\\run.exe");
  EXPECT_STREQ(m.m_strConfigPos, "\\Config.ini");
  EXPECT_EQ(FileExists("C:\\MySelf"), hadMySelf);  // a swap folder that is no full path is not used
  EXPECT_TRUE(m.m_strID.IsEmpty());
  EXPECT_FALSE(m.m_bManual);  // no Config.ini: the constructor's 1 is replaced
  if (!hadMySelf) {
    RemoveDirectoryA("C:\\MySelf");
    RemoveDirectoryA("C:\\Backup");
  }
  SetCurrentDirectoryA(cwd);
}

TEST(LibFolder, EnvoyProgramsUseTheirOwnFolderOthersTheLoadedLibrary) {
  ScratchFolder root("lib");
  const std::string envoy = root / "envoy", other = root / "other", out = root / "out.txt";
  const std::string dll = "\"" + BinFolder() + "\\Vantel10.dll\"";
  const struct {
    std::string program, library, folder;
  } rows[] = {{envoy + "\\myEnvoy.exe", dll, envoy},
              {other + "\\probe.exe", dll, BinFolder()},
              {other + "\\probe.exe", "", other}};
  for (const auto& row : rows) {
    CreateDirectoryA(row.program.substr(0, row.program.rfind('\\')).c_str(), nullptr);
    ASSERT_TRUE(CopyFileA((BinFolder() + "\\libfolder_probe.exe").c_str(), row.program.c_str(), FALSE));
    ASSERT_EQ(RunAndWait("\"" + row.program + "\" \"" + out + "\" " + row.library), 0) << row.program;
    EXPECT_EQ(ReadTextFile(out), row.folder) << row.program << " " << row.library;
  }
}

// The skin steps of RunModule, observed through a stand-in skin library that records its calls.
class Skin : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(
        CopyFileA((BinFolder() + "\\skinmagic_fixture.dll").c_str(), (m_root / "SkinMagic.dll").c_str(), FALSE));
    SetDllDirectoryA(m_root.path().c_str());
    CreateDirectoryA((m_root / "templates").c_str(), nullptr);
    CreateDirectoryA(m_skins.c_str(), nullptr);
    m_module.m_strQORPath = m_root.path().c_str();
  }
  void TearDown() override { SetDllDirectoryA(nullptr); }
  // The calls of one run (the instance and caption of the first left out); the log starts anew.
  std::vector<std::string> RunCalls() {
    m_module.RunModule();
    std::vector<std::string> lines;
    std::istringstream in(ReadTextFile(m_log));
    for (std::string line; std::getline(in, line);) lines.push_back(line.rfind("1 ", 0) == 0 ? "1" : line);
    DeleteFileA(m_log.c_str());
    return lines;
  }

  ScratchFolder m_root{"skin"};
  std::string m_skins = m_root / "templates\\skin", m_log = m_root / "skin.log";
  EnvGuard m_logVariable{"VANTEL_SKIN_LOG", m_log};
  CToolModule m_module;
};

TEST_F(Skin, EveryRunSkinsWithTheNamedFileOrElseTheDefault) {
  using Calls = std::vector<std::string>;
  m_module.m_strQORSkin = "Blue.smf:large";
  EXPECT_EQ(RunCalls(), (Calls{"1", "3 " + m_skins + "\\default.smf", "8 Dialog", "2"}));
  WriteTextFile(m_skins + "\\Blue.smf", "skin");
  EXPECT_EQ(RunCalls(), (Calls{"1", "3 " + m_skins + "\\Blue.smf", "8 Dialog", "2"}));
  m_module.m_bLocalApp = FALSE;  // a module that is not local leaves the skin alone
  EXPECT_EQ(RunCalls(), Calls{});
}

}  // namespace
