// A tool swapped in and out (BackupTool, RestoreTool) over items a real machine already has with
// everything installers and the shell add to them: the machine must come back byte for byte. One
// row per kind: a whole key of awkward values, an association, a service, a COM class.
#include "tests/support/registration_docs.h"
#include "tests/support/services.h"

#include "sysreg/common.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

const char kKey[] = "Software\\VantelRealMachine";
const char kExt[] = ".vtlreal";
const char kClass[] = "VantelReal.Document";
const char kService[] = "VantelRealSvc";
const std::string kServiceKey = std::string("SYSTEM\\CurrentControlSet\\Services\\") + kService;
const char* const kServer = kComServerClass;
const std::string kServerKey = std::string("CLSID\\") + kServer;

struct RealRow {
  const char* kind;
  std::function<void(const ScratchFolder& machine)> put;  // the machine's item, ASSERTs inside
  Vars config, tool;                                       // the tool's "config" and "install" records
};

void PutWholeKey(const ScratchFolder&) {
  const std::wstring key = Wide(kKey);
  ASSERT_TRUE(SetRawW(HKEY_CURRENT_USER, key, L"", REG_SZ, Utf16Bytes(L"default", true)));
  ASSERT_TRUE(SetRawW(HKEY_CURRENT_USER, key, L"\x6587\x4EF6 \xD83D\xDE00", REG_SZ, Utf16Bytes(L"outside the code page", true)));
  ASSERT_TRUE(SetRawW(HKEY_CURRENT_USER, key, L"no zero", REG_SZ, Utf16Bytes(L"abc", false)));
  ASSERT_TRUE(SetRawW(HKEY_CURRENT_USER, key, L"odd", REG_EXPAND_SZ, Utf16Bytes(L"%TEMP%", false) + "x"));
  ASSERT_TRUE(SetRawW(HKEY_CURRENT_USER, key, L"Marker", REG_NONE, ""));
  ASSERT_TRUE(SetRawW(HKEY_CURRENT_USER, key + L"\\UserSub\\OpenWithProgids", L"Some.Prog", REG_NONE, "\x01"));
  ASSERT_TRUE(SetRawW(HKEY_CURRENT_USER, key, L"big", 0x12345, "any type number"));
}

void PutAssociation(const ScratchFolder&) {
  const HKEY cr = HKEY_CLASSES_ROOT;
  const std::string ext = kExt, cls = kClass;
  ASSERT_TRUE(SetText(cr, ext, "", cls) && SetText(cr, ext, "Content Type", "text/x-vtlreal") &&
              SetText(cr, ext, "PerceivedType", "text") && SetRaw(cr, ext + "\\OpenWithProgids", cls, REG_NONE, "") &&
              SetText(cr, ext + "\\ShellNew", "NullFile", ""));
  ASSERT_TRUE(SetText(cr, cls, "", "Real document") && SetText(cr, cls + "\\DefaultIcon", "", "notepad.exe,0"));
  for (const char* verb : {"open", "print", "edit"})
    ASSERT_TRUE(SetText(cr, cls + "\\shell\\" + verb + "\\command", "", std::string("notepad.exe /") + verb + " \"%1\""));
}

void PutService(const ScratchFolder&) {
  ASSERT_TRUE(MakeDisabledService(kService, "Real service", BinFolder() + "\\sysreg_service.exe", "RpcSs\0PlugPlay\0",
                                  "the machine's own"));
  const HKEY lm = HKEY_LOCAL_MACHINE;
  ASSERT_TRUE(SetRaw(lm, kServiceKey, "FailureActions", REG_BINARY, std::string("\x80\x51\x01\x00\x00\x00", 6)));
  DWORD one = 1;
  ASSERT_TRUE(SetRaw(lm, kServiceKey, "DelayedAutostart", REG_DWORD, std::string(reinterpret_cast<char*>(&one), sizeof one)));
  ASSERT_TRUE(SetRaw(lm, kServiceKey + "\\Parameters", "ServiceDll", REG_EXPAND_SZ, std::string("%SystemRoot%\\real.dll\0", 21)));
}

void PutClass(const ScratchFolder& machine) {
  const std::string server = machine / "installer\\server.dll";
  CreateDirectoryA((machine / "installer").c_str(), nullptr);
  ASSERT_TRUE(CopyFileA((BinFolder() + "\\sysreg_comserver.dll").c_str(), server.c_str(), FALSE));
  ASSERT_EQ(CCommon::RegisterLib(server.c_str(), 1, ""), 1);
  const HKEY cr = HKEY_CLASSES_ROOT;
  ASSERT_TRUE(SetText(cr, kServerKey, "InstalledBy", "setup") && SetText(cr, kServerKey + "\\Version", "", "1.0") &&
              MakeKey(cr, kServerKey + "\\Implemented Categories\\{62C8FE65-4EBB-45E7-B440-6E39B2CDBF29}"));
}

}  // namespace

TEST(RealMachine, ItemsWithAllTheirInstallersAddedComeBackByteForByte) {
  ScratchFolder machine("real"), toolFiles("realtool");
  const std::string toolServer = toolFiles / "server.dll";
  ASSERT_TRUE(CopyFileA((BinFolder() + "\\sysreg_comserver.dll").c_str(), toolServer.c_str(), FALSE));
  const RealRow rows[] = {
      {"a whole key", PutWholeKey, {{"type", "register"}, {"key", HkcuText(kKey)}},
       {{"type", "register"}, {"key", HkcuText(kKey)}, {"name", "Tool"}, {"regtype", "1"}, {"value", "tool's"}}},
      {"an association", PutAssociation, {{"type", "association"}, {"extension", kExt}},
       {{"type", "association"}, {"extension", kExt}, {"document", "VantelReal.Tool"}, {"open", "\"C:\\Tool\\t.exe\" \"%1\""}}},
      {"a service", PutService, {{"type", "service"}, {"name", kService}},
       {{"type", "service"}, {"name", kService}, {"file", BinFolder() + "\\sysreg_service.exe tool"}, {"start", "3"},
        {"displayname", "Tool's service"}}},
      {"a COM class", PutClass, {{"type", "library"}, {"guid", kServer}},
       {{"type", "library"}, {"guid", kServer}, {"library", toolServer}}},
  };
  for (const RealRow& row : rows) {
    SCOPED_TRACE(row.kind);
    KeyCleanup key(HKEY_CURRENT_USER, kKey), ext(HKEY_CLASSES_ROOT, kExt), cls(HKEY_CLASSES_ROOT, kClass),
        toolCls(HKEY_CLASSES_ROOT, "VantelReal.Tool"), server(HKEY_CLASSES_ROOT, kServerKey);
    ServiceGuard service(kService);
    ASSERT_NO_FATAL_FAILURE(row.put(machine));
    MachineView view;
    view.WatchKey(HKEY_CURRENT_USER, "", kKey, "reg");
    for (const char* top : {kExt, kClass, "VantelReal.Tool", kServerKey.c_str()}) view.WatchKey(HKEY_CLASSES_ROOT, "", top, "cls");
    view.WatchKey(HKEY_LOCAL_MACHINE, "", kServiceKey, "svckey");
    view.WatchService(kService);
    const MachineState before = view.Observe();

    ScratchTool tool("realswap");
    {
      auto doc = NewDoc(tool.MyDoc());
      ASSERT_TRUE(doc && AddRecord(*doc, doc->GetClassNode("config", 1), row.config) &&
                  AddRecord(*doc, doc->GetClassNode("install", 1), row.tool));
      ASSERT_EQ(doc->SaveXMLDoc(0), 1);
    }
    ASSERT_EQ(tool.BackupTool(), 1);
    EXPECT_NE(view.Observe(), before) << "the tool's own item is in";
    ASSERT_EQ(tool.RestoreTool(), 1);
    EXPECT_EQ(view.Settled(before), "") << "after the swap out";
  }
}
