// The skin steps of RunModule, observed through a stand-in skin library that records its calls.
#include "runtime/tool_module.h"
#include "tests/support/test_paths.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

class Skin : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string dlls = m_root / "dlls";
    CreateDirectoryA(dlls.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA((BinFolder() + "\\skinmagic_fixture.dll").c_str(), (dlls + "\\SkinMagic.dll").c_str(), FALSE));
    SetDllDirectoryA(dlls.c_str());
    SetEnvironmentVariableA("VANTEL_SKIN_LOG", Log().c_str());
    CreateDirectoryA((m_root / "templates").c_str(), nullptr);
    CreateDirectoryA((m_root / "templates\\skin").c_str(), nullptr);
    m_module.m_strQORPath = m_root.path().c_str();
  }
  void TearDown() override {
    SetDllDirectoryA(nullptr);
    SetEnvironmentVariableA("VANTEL_SKIN_LOG", nullptr);
  }
  std::string Log() const { return m_root / "skin.log"; }
  std::vector<std::string> Calls() const {
    std::vector<std::string> lines;
    std::istringstream in(ReadTextFile(Log()));
    for (std::string line; std::getline(in, line);) lines.push_back(line.substr(0, line.find(' ') == 1 && line[0] == '1' ? 1 : line.size()));
    return lines;
  }

  ScratchFolder m_root{"skin"};
  CToolModule m_module;
};

TEST_F(Skin, NamedSkinFallsBackToTheDefaultWhenItsFileIsMissing) {
  m_module.m_strQORSkin = "Blue.smf:large";
  m_module.RunModule();
  std::string skins = m_root / "templates\\skin\\";
  EXPECT_EQ(Calls(), (std::vector<std::string>{"1", "3 " + skins + "default.smf", "8 Dialog", "2"}));
}

TEST_F(Skin, NamedSkinFileIsLoadedWhenPresent) {
  std::string blue = m_root / "templates\\skin\\Blue.smf";
  WriteTextFile(blue, "skin");
  m_module.m_strQORSkin = "Blue.smf:large";
  m_module.RunModule();
  m_module.RunModule();  // every run initialises and releases the library again
  EXPECT_EQ(Calls(), (std::vector<std::string>{"1", "3 " + blue, "8 Dialog", "2", "1", "3 " + blue, "8 Dialog", "2"}));
}

TEST_F(Skin, NoSkinCallsForAModuleThatIsNotLocal) {
  m_module.m_bLocalApp = FALSE;
  m_module.m_strQORSkin = "Blue.smf";
  m_module.RunModule();
  EXPECT_FALSE(FileExists(Log()));
}

}  // namespace
