// Registrations kept in the registry: registry path texts (parsed, opened level by level, keys and
// values present), COM libraries (where a GUID is registered; registered in-process, through a
// registrar and as a type library, with the current directory put back on every way out), file
// associations in both layouts, firewall entries, and ODBC system data sources.
#include "sysreg/common.h"
#include "sysreg/machine_keys.h"
#include "sysreg/odbc_installer.h"
#include "tests/support/test_paths.h"
#include "tests/support/processes.h"
#include "tests/support/registry.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

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

  // The path made level by level, and with a trailing backslash, a doubled one or in other letter
  // case, reaches the same key; no nameless level is made on the way.
  for (const std::string& path : {deep, deep + "\\", kPath + "\\A\\\\B\\C",
                                  std::string("HKEY_CURRENT_USER\\software\\VANTELTESTREGKEY\\a\\b\\c")}) {
    RegKey key(CCommon::OpenSysKey(path.c_str(), 1));
    ASSERT_TRUE(key) << path;
    RegSetValueExA(key.get(), "v", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()), path.size() + 1);
    EXPECT_EQ(TextOf(HKEY_CURRENT_USER, kBase + "\\A\\B\\C", "v"), path);
  }
  EXPECT_FALSE(Has(RegQuery("\"HKCU\\" + kBase + "\" /s"), "\\\\")) << RegQuery("\"HKCU\\" + kBase + "\" /s");
}

TEST(IsSysKeyValueExist, AnyTypeCountsAndNothingIsCreated) {
  KeyCleanup cleanup(HKEY_CURRENT_USER, kBase);
  SetRaw(HKEY_CURRENT_USER, kBase, "number", REG_DWORD, std::string("\x2A\0\0\0", 4));
  SetText(HKEY_CURRENT_USER, kBase, "long", std::string(5000, 'x'));
  SetRaw(HKEY_CURRENT_USER, kBase, "empty", REG_BINARY, "");
  const struct {
    std::string key;
    const char* value;  // empty: the key itself
    int exists;
  } rows[] = {
      {kPath, "number", 1}, {kPath, "long", 1}, {kPath, "empty", 1}, {kPath, "missing", 0}, {kPath, "", 1},
      {kPath + "\\Gone", "", 0}, {kPath + "\\Gone", "number", 0}, {"HKCU\\Software\\VantelTestRegKey", "number", 0},
  };
  for (const auto& row : rows)
    EXPECT_EQ(CCommon::IsSysKeyValueExist(row.key.c_str(), row.value), row.exists) << row.key << " " << row.value;
  EXPECT_FALSE(HasKey(HKEY_CURRENT_USER, kBase + "\\Gone"));
}

const std::string kServer = kComServerClass;
const std::string kTypeLib = "{7E21C9A4-3B58-4D06-9F1A-B2C4D8E07153}";  // sysreg_typelib.dll
const std::string kLookup = "{A1B2C3D4-0001-4000-8000-56414E54454C}";

TEST(GetLibPath, LastTypeLibVersionThenLocalThenInprocServer) {
  KeyCleanup lib(HKEY_CLASSES_ROOT, "TypeLib\\" + kLookup), cls(HKEY_CLASSES_ROOT, "CLSID\\" + kLookup);
  const char local[] = "%SystemRoot%\\system32\\vt-local.exe";
  SetRaw(HKEY_CLASSES_ROOT, cls.subKey + "\\LocalServer32", "", REG_EXPAND_SZ, std::string(local, sizeof local));
  SetText(HKEY_CLASSES_ROOT, cls.subKey + "\\InprocServer32", "", "C:\\vt-inproc.dll");
  SetText(HKEY_CLASSES_ROOT, lib.subKey + "\\1.0\\0\\win32", "", "C:\\one.dll");
  SetText(HKEY_CLASSES_ROOT, lib.subKey + "\\2.0\\0\\win32", "", "C:\\two.dll");
  SetText(HKEY_CLASSES_ROOT, lib.subKey + "\\2.0\\409\\win32", "", "C:\\two-409.dll");
  SetText(HKEY_CLASSES_ROOT, lib.subKey + "\\3.0\\0\\win64", "", "C:\\three-64.dll");  // no Win32 file: skipped
  EXPECT_STREQ(CCommon::GetLibPath(kLookup.c_str()), "C:\\two-409.dll");
  SHDeleteKeyA(HKEY_CLASSES_ROOT, lib.subKey.c_str());
  char root[MAX_PATH] = "";
  GetEnvironmentVariableA("SystemRoot", root, MAX_PATH);
  EXPECT_EQ(std::string(CCommon::GetLibPath(kLookup.c_str())), std::string(root) + "\\system32\\vt-local.exe");
  SHDeleteKeyA(HKEY_CLASSES_ROOT, (cls.subKey + "\\LocalServer32").c_str());
  EXPECT_STREQ(CCommon::GetLibPath(kLookup.c_str()), "C:\\vt-inproc.dll");
  EXPECT_TRUE(CCommon::GetLibPath(kLookup.substr(1, 36).c_str()).IsEmpty());  // without braces
}

// The fixture libraries in a scratch folder; the test runs from another folder.
class RegisterLibTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CopyFileA((BinFolder() + "\\sysreg_comserver.dll").c_str(), m_server.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((BinFolder() + "\\sysreg_typelib.dll").c_str(), m_typelib.c_str(), FALSE));
    CreateDirectoryA(m_elsewhere.c_str(), nullptr);
    SetCurrentDirectoryA(m_elsewhere.c_str());
  }
  void TearDown() override { SetCurrentDirectoryA(m_caller.c_str()); }

  ScratchFolder m_scratch{"vt-lib"};
  std::string m_server = m_scratch / "server.dll", m_typelib = m_scratch / "typelib.dll";
  std::string m_elsewhere = m_scratch / "elsewhere", m_caller = CurrentDirectory();
  KeyCleanup m_class{HKEY_CLASSES_ROOT, "CLSID\\" + kServer}, m_lib{HKEY_CLASSES_ROOT, "TypeLib\\" + kTypeLib};
};

TEST_F(RegisterLibTest, InProcessAsTypeLibraryOrThroughARegistrar) {
  const std::string log = m_scratch / "registrar.log", registrar = BinFolder() + "\\sysreg_registrar.exe";
  EnvGuard registrarLog("VANTEL_REGISTRAR_LOG", log);
  // The file registered, the registrar, and the server's note of the folder it was registered from
  // (the file's own, or the registrar's). The type library has no DllRegisterServer, and a
  // DllUnregisterServer that fails.
  const struct {
    std::string file, registrar, key, from;
  } rows[] = {
      {m_server, "", m_class.subKey + "\\InprocServer32", m_scratch.path()},
      {m_typelib, "", m_lib.subKey + "\\1.0\\0\\win32", "<absent>"},
      {m_server, registrar, m_class.subKey + "\\InprocServer32", BinFolder()},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.file + " " + row.registrar);
    EXPECT_EQ(CCommon::RegisterLib(row.file.c_str(), 1, row.registrar.c_str()), 1);
    EXPECT_EQ(TextOf(HKEY_CLASSES_ROOT, row.key, ""), row.file);
    EXPECT_EQ(TextOf(HKEY_CLASSES_ROOT, m_class.subKey, "RegisteredFrom"), row.from);
    EXPECT_EQ(CCommon::RegisterLib(row.file.c_str(), 0, row.registrar.c_str()), 1);
    EXPECT_FALSE(HasKey(HKEY_CLASSES_ROOT, row.key));
  }
  // The quoted path and the switches; the registrar's folder comes from its own command line.
  const std::string cmd = "cmd=" + registrar + " \"" + m_server + "\" /s", cwd = "\ncwd=" + BinFolder() + "\n";
  EXPECT_EQ(ReadTextFile(log), cmd + cwd + cmd + " /u" + cwd);
  // A registrar that cannot start fails; success only means that it started (reg.exe with a text file).
  EXPECT_EQ(CCommon::RegisterLib(m_server.c_str(), 1, (m_scratch / "none.exe").c_str()), 0);
  std::string text = m_scratch / "notes.txt";
  WriteTextFile(text, "not a library");
  for (const std::string& path : {m_scratch / "missing.dll", m_scratch.path(), text}) {
    EXPECT_EQ(CCommon::RegisterLib(path.c_str(), 1, ""), 0) << path;
    EXPECT_EQ(CCommon::RegisterLib(path.c_str(), 0, "reg.exe"), path == text) << path;
  }
  EXPECT_EQ(CurrentDirectory(), m_elsewhere);
}

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
  SetText(HKEY_CLASSES_ROOT, "VantelTestOutside\\Doc", "", "keep");
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
  const std::string other = "C:\\VantelTest\\o.exe";
  SetText(HKEY_LOCAL_MACHINE, kFirewallList, other, "untouched");
  for (const std::string app : {"C:\\VantelTest\\a.exe", "C:\\VantelTest\\b:c::.exe"}) {  // colons in the path too
    EXPECT_EQ(CCommon::EnableFireWall(app.c_str(), 1, "Name"), 1);
    EXPECT_EQ(TextOf(HKEY_LOCAL_MACHINE, kFirewallList, app), app + ":*:Enabled:Name");
    EXPECT_EQ(CCommon::IsFireWallExist(app.c_str()), 1);
    for (int i = 0; i < 2; ++i) EXPECT_EQ(CCommon::EnableFireWall(app.c_str(), 0, ""), 1);  // then nothing: harmless
    EXPECT_EQ(CCommon::IsFireWallExist(app.c_str()), 0);
  }
  // An empty path would name the list's default value.
  EXPECT_EQ(CCommon::EnableFireWall("", 1, "nameless"), 1);
  EXPECT_EQ(TextOf(HKEY_LOCAL_MACHINE, kFirewallList, ""), "<absent>");
  EXPECT_EQ(TextOf(HKEY_LOCAL_MACHINE, kFirewallList, other), "untouched");
  SHDeleteValueA(HKEY_LOCAL_MACHINE, kFirewallList, other.c_str());
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
