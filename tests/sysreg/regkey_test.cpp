// Registry path texts: parsing, opening level by level, presence of keys and values.
#include "sysreg/common.h"
#include "tests/support/processes.h"
#include "tests/support/registry.h"

#include <gtest/gtest.h>

namespace {

const std::string kBase = "Software\\VantelTestRegKey", kPath = "HKEY_CURRENT_USER\\" + kBase;

TEST(ParserSysKey, OnlyFullRootNamesAndTheSubPathAlways) {
  struct {
    const char* path;
    HKEY root;
    const char* subKey;
  } cases[] = {
      {"hkey_current_user\\Software", HKEY_CURRENT_USER, "Software"},
      {"HKEY_CLASSES_ROOT\\CLSID\\{x}", HKEY_CLASSES_ROOT, "CLSID\\{x}"},
      {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG, ""},
      {"Hkey_Local_Machine\\SOFTWARE\\", HKEY_LOCAL_MACHINE, "SOFTWARE\\"},
      {"HKEY_USERS\\.DEFAULT", HKEY_USERS, ".DEFAULT"},
      {"HKEY_DYN_DATA\\x", HKEY_PERFORMANCE_DATA, "x"},  // an NT-family system
      {"HKLM\\Software", nullptr, "Software"},
      {"HKEY_CURRENT_USERS\\a", nullptr, "a"},
      {"", nullptr, ""},
      {"\\", nullptr, ""},
  };
  for (const auto& c : cases) {
    HKEY root = HKEY_LOCAL_MACHINE;
    CString subKey("stale");
    EXPECT_EQ(CCommon::ParserSysKey(c.path, root, subKey), c.root != nullptr) << c.path;
    EXPECT_EQ(root, c.root) << c.path;
    EXPECT_STREQ(subKey, c.subKey) << c.path;
  }
}

TEST(OpenSysKey, OpensOrCreatesLevelByLevel) {
  KeyCleanup cleanup(HKEY_CURRENT_USER, kBase);
  const std::string deep = kPath + "\\A\\B\\C";
  EXPECT_EQ(CCommon::OpenSysKey("HKEY_CURRENT_USER", 0), HKEY_CURRENT_USER);
  EXPECT_EQ(CCommon::OpenSysKey(deep.c_str(), 0), nullptr);
  EXPECT_FALSE(HasKey(HKEY_CURRENT_USER, kBase));
  for (const char* bad : {"HKCU\\Software\\VantelTestRegKey", "", "\\", "\\Software"})
    EXPECT_EQ(CCommon::OpenSysKey(bad, 1), nullptr) << bad;

  RegKey created(CCommon::OpenSysKey(deep.c_str(), 1));
  ASSERT_TRUE(created);
  RegSetValueExA(created.get(), "v", 0, REG_SZ, reinterpret_cast<const BYTE*>("deep"), 5);
  int code = -1;
  EXPECT_TRUE(Has(RegQuery("\"HKCU\\" + kBase + "\\A\\B\\C\" /v v", &code), "deep"));
  EXPECT_EQ(code, 0);
  // A trailing backslash, a doubled one and other letter case reach the same key; no nameless
  // level is made on the way.
  for (const std::string& alias : {deep + "\\", kPath + "\\A\\\\B\\C", std::string("HKEY_CURRENT_USER\\software\\VANTELTESTREGKEY\\a\\b\\c")}) {
    RegKey key(CCommon::OpenSysKey(alias.c_str(), 1));
    char data[8] = "";
    DWORD size = sizeof data;
    EXPECT_EQ(RegQueryValueExA(key.get(), "v", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size), ERROR_SUCCESS);
    EXPECT_STREQ(data, "deep") << alias;
  }
  EXPECT_FALSE(Has(RegQuery("\"HKCU\\" + kBase + "\" /s"), "\\\\")) << RegQuery("\"HKCU\\" + kBase + "\" /s");
}

TEST(IsSysKeyValueExist, AnyTypeCountsAndNothingIsCreated) {
  KeyCleanup cleanup(HKEY_CURRENT_USER, kBase);
  RegKey key(CCommon::OpenSysKey(kPath.c_str(), 1));
  ASSERT_TRUE(key);
  DWORD number = 42;
  std::string longText(5000, 'x');
  RegSetValueExA(key.get(), "number", 0, REG_DWORD, reinterpret_cast<BYTE*>(&number), sizeof number);
  RegSetValueExA(key.get(), "long", 0, REG_SZ, reinterpret_cast<const BYTE*>(longText.c_str()), 5001);
  RegSetValueExA(key.get(), "multi", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>("a\0b\0"), 5);
  RegSetValueExA(key.get(), "empty", 0, REG_BINARY, nullptr, 0);
  for (const char* name : {"number", "long", "multi", "empty"})
    EXPECT_EQ(CCommon::IsSysKeyValueExist(kPath.c_str(), name), 1) << name;
  EXPECT_EQ(CCommon::IsSysKeyValueExist(kPath.c_str(), "missing"), 0);
  EXPECT_EQ(CCommon::IsSysKeyValueExist("HKCU\\Software\\VantelTestRegKey", "number"), 0);
  EXPECT_EQ(CCommon::IsSysKeyValueExist(kPath.c_str(), ""), 1);
  EXPECT_EQ(CCommon::IsSysKeyValueExist((kPath + "\\Gone").c_str(), ""), 0);
  EXPECT_EQ(CCommon::IsSysKeyValueExist((kPath + "\\Gone").c_str(), "number"), 0);
  EXPECT_FALSE(HasKey(HKEY_CURRENT_USER, kBase + "\\Gone"));
}

}  // namespace
