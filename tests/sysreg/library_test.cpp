// COM libraries: where a GUID is registered, and registering in-process, through a registrar
// and as a type library, with the current directory put back on every way out.
#include "sysreg/common.h"
#include "tests/support/test_paths.h"
#include "tests/support/processes.h"
#include "tests/support/registry.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

namespace {

const std::string kServer = "{5C0A2B61-7D3E-4F19-A8B2-3E6D9C1F0A41}";   // sysreg_comserver.dll
const std::string kTypeLib = "{7E21C9A4-3B58-4D06-9F1A-B2C4D8E07153}";  // sysreg_typelib.dll
const std::string kLookup = "{A1B2C3D4-0001-4000-8000-56414E54454C}";

void Set(const std::string& key, const char* data, DWORD type = REG_SZ) {
  SHSetValueA(HKEY_CLASSES_ROOT, key.c_str(), nullptr, type, data, lstrlenA(data) + 1);
}

TEST(GetLibPath, LastTypeLibVersionThenLocalThenInprocServer) {
  KeyCleanup lib(HKEY_CLASSES_ROOT, "TypeLib\\" + kLookup), cls(HKEY_CLASSES_ROOT, "CLSID\\" + kLookup);
  Set(cls.subKey + "\\LocalServer32", "%SystemRoot%\\system32\\vt-local.exe", REG_EXPAND_SZ);
  Set(cls.subKey + "\\InprocServer32", "C:\\vt-inproc.dll");
  Set(lib.subKey + "\\1.0\\0\\win32", "C:\\one.dll");
  Set(lib.subKey + "\\2.0\\0\\win32", "C:\\two.dll");
  Set(lib.subKey + "\\2.0\\409\\win32", "C:\\two-409.dll");
  Set(lib.subKey + "\\3.0\\0\\win64", "C:\\three-64.dll");  // no Win32 file: skipped
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
  bool Registered() { return HasKey(HKEY_CLASSES_ROOT, m_class.subKey); }

  ScratchFolder m_scratch{"vt-lib"};
  std::string m_server = m_scratch / "server.dll", m_typelib = m_scratch / "typelib.dll";
  std::string m_elsewhere = m_scratch / "elsewhere", m_caller = CurrentDirectory();
  KeyCleanup m_class{HKEY_CLASSES_ROOT, "CLSID\\" + kServer}, m_lib{HKEY_CLASSES_ROOT, "TypeLib\\" + kTypeLib};
};

TEST_F(RegisterLibTest, InProcessOrElseAsTypeLibrary) {
  EXPECT_EQ(CCommon::RegisterLib(m_server.c_str(), 1, ""), 1);
  int code = -1;
  EXPECT_TRUE(Has(RegQuery("\"HKCR\\" + m_class.subKey + "\\InprocServer32\"", &code), m_server));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(TextOf(HKEY_CLASSES_ROOT, m_class.subKey, "RegisteredFrom"), m_scratch.path());
  EXPECT_STREQ(CCommon::GetLibPath(kServer.c_str()), m_server.c_str());
  EXPECT_EQ(CCommon::RegisterLib(m_server.c_str(), 0, ""), 1);
  EXPECT_FALSE(Registered());

  // No DllRegisterServer, and a DllUnregisterServer that fails: the type library both ways.
  const std::string version = m_lib.subKey + "\\1.0";
  EXPECT_EQ(CCommon::RegisterLib(m_typelib.c_str(), 1, ""), 1);
  EXPECT_EQ(TextOf(HKEY_CLASSES_ROOT, version + "\\0\\win32", ""), m_typelib);
  EXPECT_STREQ(CCommon::GetLibPath(kTypeLib.c_str()), m_typelib.c_str());
  EXPECT_EQ(CCommon::RegisterLib(m_typelib.c_str(), 0, ""), 1);
  EXPECT_FALSE(HasKey(HKEY_CLASSES_ROOT, version));

  std::string text = m_scratch / "notes.txt";
  WriteTextFile(text, "not a library");
  for (const std::string& path : {m_scratch / "missing.dll", m_scratch.path(), text}) {
    EXPECT_EQ(CCommon::RegisterLib(path.c_str(), 1, ""), 0) << path;
    EXPECT_EQ(CCommon::RegisterLib(path.c_str(), 0, "reg.exe"), path == text) << path;
  }
  EXPECT_EQ(CurrentDirectory(), m_elsewhere);
}

TEST_F(RegisterLibTest, ThroughARegistrarProgram) {
  std::string log = m_scratch / "registrar.log", registrar = BinFolder() + "\\sysreg_registrar.exe";
  SetEnvironmentVariableA("VANTEL_REGISTRAR_LOG", log.c_str());
  EXPECT_EQ(CCommon::RegisterLib(m_server.c_str(), 1, registrar.c_str()), 1);
  EXPECT_TRUE(Registered());
  EXPECT_EQ(CCommon::RegisterLib(m_server.c_str(), 0, registrar.c_str()), 1);
  EXPECT_FALSE(Registered());
  SetEnvironmentVariableA("VANTEL_REGISTRAR_LOG", nullptr);
  // The quoted path and the switches; the registrar's folder comes from its own command line.
  const std::string cmd = "cmd=" + registrar + " \"" + m_server + "\" /s", cwd = "\ncwd=" + BinFolder() + "\n";
  EXPECT_EQ(ReadTextFile(log), cmd + cwd + cmd + " /u" + cwd);
  // Success only means that the registrar started.
  EXPECT_EQ(CCommon::RegisterLib(m_server.c_str(), 1, "reg.exe"), 1);
  EXPECT_EQ(CCommon::RegisterLib(m_server.c_str(), 1, (m_scratch / "none.exe").c_str()), 0);
  EXPECT_FALSE(Registered());
  EXPECT_EQ(CurrentDirectory(), m_elsewhere);
}

}  // namespace
