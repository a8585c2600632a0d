// File associations in both layouts, firewall entries, and ODBC system data sources.
#include "sysreg/common.h"
#include "sysreg/odbc_installer.h"
#include "tests/support/test_paths.h"
#include "tests/support/processes.h"
#include "tests/support/registry.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

namespace {

std::string Hkcr(const std::string& key, const char* value = "") {
  return TextOf(HKEY_CLASSES_ROOT, key, value);
}
int Remove(const char* extension) {
  return CCommon::EnableAssociation(extension, 0, "", "", 0, "", "", "", "", "", "", "");
}

class AssociationTest : public ::testing::Test {
 protected:
  KeyCleanup m_ext{HKEY_CLASSES_ROOT, ".vanteltest"}, m_progId{HKEY_CLASSES_ROOT, "VantelTest.Doc.1"},
      m_outside{HKEY_CLASSES_ROOT, "VantelTestOutside"};
};

TEST_F(AssociationTest, DocumentNamesTheProgIdKey) {
  EXPECT_EQ(CCommon::EnableAssociation(".vanteltest", 1, "C:\\vt\\open.exe \"%1\"", "C:\\vt\\open.exe,1", 1,
                                       "VantelTest.Doc.1", "Vantel test document", "text/x-vantel", "Vantel document",
                                       "C:\\vt\\edit.exe", "C:\\vt\\print.exe", "{A1B2C3D4-0003-4000-8000-56414E54454C}"),
            1);
  const char* rows[][3] = {
      {".vanteltest", "", "VantelTest.Doc.1"},
      {".vanteltest", "Content Type", "text/x-vantel"},
      {"VantelTest.Doc.1", "", "Vantel test document"},
      {"VantelTest.Doc.1", "FriendlyTypeName", "Vantel document"},
      {"VantelTest.Doc.1\\DefaultIcon", "", "C:\\vt\\open.exe,1"},
      {"VantelTest.Doc.1\\Shell\\Open\\Command", "", "C:\\vt\\open.exe \"%1\""},
      {"VantelTest.Doc.1\\Shell\\Edit\\Command", "", "C:\\vt\\edit.exe"},
      {"VantelTest.Doc.1\\Shell\\Print\\Command", "", "C:\\vt\\print.exe"},
      {"VantelTest.Doc.1\\CLSID", "", "{A1B2C3D4-0003-4000-8000-56414E54454C}"},
  };
  for (const auto& row : rows) EXPECT_EQ(Hkcr(row[0], row[1]), row[2]) << row[0];
  EXPECT_FALSE(HasKey(HKEY_CLASSES_ROOT, ".vanteltest\\Shell"));
  int code = -1;
  EXPECT_TRUE(Has(RegQuery("HKCR\\VantelTest.Doc.1 /v \"URL Protocol\"", &code), "URL Protocol    REG_SZ"));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(CCommon::IsAssociationExist(".vanteltest"), 1);
  // Removal follows the default value to the ProgID and deletes both trees.
  EXPECT_EQ(Remove(".vanteltest"), 1);
  EXPECT_FALSE(HasKey(HKEY_CLASSES_ROOT, ".vanteltest") || HasKey(HKEY_CLASSES_ROOT, "VantelTest.Doc.1"));
  EXPECT_EQ(CCommon::IsAssociationExist(".vanteltest"), 0);
}

TEST_F(AssociationTest, OtherwiseEverythingGoesUnderTheExtension) {
  CCommon::EnableAssociation(".vanteltest", 1, "C:\\vt\\open.exe", "C:\\vt\\open.exe,0", 0, "", "", "", "", "", "", "");
  EXPECT_EQ(Hkcr(".vanteltest\\Shell\\Open\\Command"), "C:\\vt\\open.exe");
  EXPECT_EQ(Hkcr(".vanteltest\\DefaultIcon"), "C:\\vt\\open.exe,0");
  EXPECT_EQ(Hkcr(".vanteltest", "URL Protocol"), "<absent>");
  EXPECT_EQ(CCommon::IsAssociationExist(".vanteltest"), 0);  // no default value
  Remove(".vanteltest");
  EXPECT_FALSE(HasKey(HKEY_CLASSES_ROOT, ".vanteltest"));

  // A document holding a backslash is written as the default value, then replaced by the name;
  // without a name removal does not follow it out of the extension's tree.
  CCommon::EnableAssociation(".vanteltest", 1, "C:\\vt\\open.exe", "", 1, "VantelTestOutside\\Doc", "VantelTest.Doc.1",
                             "", "", "", "", "");
  EXPECT_EQ(Hkcr(".vanteltest"), "VantelTest.Doc.1");
  EXPECT_EQ(Hkcr(".vanteltest", "URL Protocol"), "");
  EXPECT_FALSE(HasKey(HKEY_CLASSES_ROOT, "VantelTestOutside") || HasKey(HKEY_CLASSES_ROOT, "VantelTest.Doc.1"));
  SHSetValueA(HKEY_CLASSES_ROOT, "VantelTestOutside\\Doc", nullptr, REG_SZ, "keep", 5);
  CCommon::EnableAssociation(".vanteltest", 1, "", "", 0, "VantelTestOutside\\Doc", "", "", "", "", "", "");
  EXPECT_EQ(Hkcr(".vanteltest"), "VantelTestOutside\\Doc");
  Remove(".vanteltest");
  EXPECT_FALSE(HasKey(HKEY_CLASSES_ROOT, ".vanteltest"));
  EXPECT_EQ(Hkcr("VantelTestOutside\\Doc"), "keep");

  // An empty extension would name the root itself: nothing is written or removed.
  EXPECT_EQ(CCommon::EnableAssociation("", 1, "x", "", 1, "", "VantelTestRootName", "", "", "", "", ""), 1);
  EXPECT_EQ(Remove(""), 1);
  EXPECT_EQ(Hkcr(""), "<absent>");
  EXPECT_TRUE(HasKey(HKEY_CLASSES_ROOT, "VantelTestOutside"));
}

TEST(FireWall, ExactEntryTextAndRemoval) {
  const char list[] = "SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\"
                      "StandardProfile\\AuthorizedApplications\\List";
  const std::string app = "C:\\VantelTest\\a.exe", colons = "C:\\VantelTest\\b:c::.exe", other = "C:\\VantelTest\\o.exe";
  SHSetValueA(HKEY_LOCAL_MACHINE, list, other.c_str(), REG_SZ, "untouched", 10);
  EXPECT_EQ(CCommon::EnableFireWall(app.c_str(), 1, "A"), 1);
  EXPECT_EQ(CCommon::EnableFireWall(colons.c_str(), 1, "B"), 1);
  EXPECT_TRUE(Has(RegQuery("\"HKLM\\" + std::string(list) + "\" /v " + app), app + "    REG_SZ    " + app + ":*:Enabled:A"));
  EXPECT_EQ(TextOf(HKEY_LOCAL_MACHINE, list, colons.c_str()), colons + ":*:Enabled:B");
  EXPECT_EQ(CCommon::IsFireWallExist(app.c_str()) + CCommon::IsFireWallExist(colons.c_str()), 2);
  for (int i = 0; i < 2; ++i) {  // the second removal finds nothing: harmless
    EXPECT_EQ(CCommon::EnableFireWall(app.c_str(), 0, ""), 1);
    EXPECT_EQ(CCommon::EnableFireWall(colons.c_str(), 0, ""), 1);
  }
  EXPECT_EQ(CCommon::IsFireWallExist(app.c_str()) + CCommon::IsFireWallExist(colons.c_str()), 0);
  EXPECT_EQ(CCommon::EnableFireWall("", 1, "nameless"), 1);
  EXPECT_EQ(TextOf(HKEY_LOCAL_MACHINE, list, ""), "<absent>");
  EXPECT_EQ(TextOf(HKEY_LOCAL_MACHINE, list, other.c_str()), "untouched");
  SHDeleteValueA(HKEY_LOCAL_MACHINE, list, other.c_str());
}

// A system data source as the installer lists it, removed again when the object goes.
struct ListedDataSource {
  explicit ListedDataSource(std::string name) : key("SOFTWARE\\ODBC\\ODBC.INI\\" + name), name(std::move(name)) {
    SHSetValueA(HKEY_LOCAL_MACHINE, kOdbcDataSourceList, this->name.c_str(), REG_SZ, "Vantel Test Driver", 19);
    SHSetValueA(HKEY_LOCAL_MACHINE, key.c_str(), "Driver", REG_SZ, "C:\\vt\\driver.dll", 17);
  }
  ~ListedDataSource() {
    SHDeleteValueA(HKEY_LOCAL_MACHINE, kOdbcDataSourceList, name.c_str());
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
  }
  std::string key, name;
};

TEST(Odbc, AttributeListInstallerAnswerAndNamedRemoval) {
  const char plain[] = "DSN=Sales\0DESCRIPTION=Sales figures\0DBQ=C:\\db\\sales.mdb\0\0";
  const char extra[] = "DSN=S\0DESCRIPTION=\0DBQ=\0UID=admin\0\0";
  EXPECT_EQ(OdbcAttributeList("Sales", "Sales figures", "C:\\db\\sales.mdb", ""), std::string(plain, sizeof plain - 1));
  EXPECT_EQ(OdbcAttributeList("S", "", "", "UID=admin"), std::string(extra, sizeof extra - 1));
  // Wine has no ODBC driver: the installer refuses and nothing is listed.
  EXPECT_EQ(CCommon::EnableODBC("VantelTestAdded", 1, "Microsoft Access Driver (*.mdb)", "C:\\a.mdb", "d", ""), 0);
  EXPECT_EQ(CCommon::IsODBCExist("VantelTestAdded"), 0);

  ListedDataSource gone("VantelTestDsn"), kept("VantelTestDsnKept");
  EXPECT_EQ(CCommon::IsODBCExist("VantelTestDsn"), 1);
  EXPECT_EQ(CCommon::EnableODBC("VantelTestDsn", 0, "", "", "", ""), 1);
  EXPECT_EQ(CCommon::IsODBCExist("VantelTestDsn"), 0);
  EXPECT_FALSE(HasKey(HKEY_LOCAL_MACHINE, gone.key));
  EXPECT_EQ(CCommon::IsODBCExist("VantelTestDsnKept"), 1);
  EXPECT_TRUE(HasKey(HKEY_LOCAL_MACHINE, kept.key));
  EXPECT_EQ(CCommon::EnableODBC("VantelTestDsn", 0, "", "", "", ""), 1);
}

// Runs only in a copy of this program that Wine starts without the installer library.
TEST(OdbcInstallerMissing, DISABLED_AddFailsRemoveChangesNothing) {
  ASSERT_EQ(LoadLibraryA("odbccp32.dll"), nullptr);
  ListedDataSource listed("VantelTestDsnOrphan");
  EXPECT_EQ(CCommon::EnableODBC("VantelTestAdded", 1, "Microsoft Access Driver (*.mdb)", "", "", ""), 0);
  EXPECT_EQ(CCommon::EnableODBC("VantelTestDsnOrphan", 0, "", "", "", ""), 1);
  EXPECT_EQ(CCommon::IsODBCExist("VantelTestDsnOrphan"), 1);
}

TEST(Odbc, MissingInstallerLibrary) {
  // Wine's per-program settings disable the library for a copy of this program, by its name.
  const std::string program = "vt-odbc-missing.exe";
  KeyCleanup settings(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\" + program);
  SHSetValueA(HKEY_CURRENT_USER, (settings.subKey + "\\DllOverrides").c_str(), "odbccp32", REG_SZ, "", 1);
  ScratchFolder scratch("vt-odbc");
  char self[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  ASSERT_TRUE(CopyFileA(self, (scratch / program).c_str(), FALSE));
  int code = -1;
  std::string out = RunCapture(scratch / program + " --gtest_filter=OdbcInstallerMissing.* --gtest_also_run_disabled_tests", &code);
  EXPECT_EQ(code, 0) << out;
  EXPECT_TRUE(Has(out, "[  PASSED  ] 1 test")) << out;
}

}  // namespace
