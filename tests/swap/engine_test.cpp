// The swap engine item by item: what the capture-and-clear walk records and takes from the machine
// for each kind of item (whole keys read and deleted on several threads), what the write-back makes
// of each kind of record (long runs on several threads), and the tool package's swap with documents
// it cannot read. Machine effects are read through the registry API, service manager and files.
#include "sysreg/common.h"
#include "sysreg/machine_keys.h"
#include "tests/support/processes.h"
#include "tests/support/registration_docs.h"
#include "tests/support/services.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <cwchar>

namespace {

const std::string kEngine = std::string(kTestRoot) + "\\Engine", kItem = kEngine + "\\Item", kItemText = HkcuText(kItem);
const std::string kProbe = "Software\\VantelRootProbe";
const char kExt[] = ".vantelswaptestcap", kClass[] = "VantelSwapTestCap.Doc", kService[] = "VantelSwapTestCap";
const char* const kServer = kComServerClass;
const std::string kServerKey = std::string("CLSID\\") + kServer;
const char kProgram[] = "D:\\A\\b.exe";
const Vars kAssociation = {{"type", "association"}, {"extension", kExt}, {"document", kClass}, {"contenttype", "text/x-vantel"}, {"name", "Vantel document"},
                           {"friendlyname", "Vantel \xC4\xE3"}, {"url", "yes"}, {"icon", "C:\\icons\\class.ico,1"},
                           {"open", "\"C:\\v.exe\" \"%1\""}, {"print", "C:\\p.exe /p \"%1\""}, {"clsid", "{00000000-1111-2222-3333-444444444444}"}};

std::string Z(const std::string& text) { return std::string(text.c_str(), text.size() + 1); }
// A string as the Unicode registry holds it, with its terminating zero: what a capture records.
std::string WideZ(const std::string& text) {
  const std::vector<BYTE> wide = WideData(REG_SZ, Z(text));
  return std::string(wide.begin(), wide.end());
}

// A registry link below parent whose target does not exist: it is listed among the subkeys, but
// cannot be opened. It goes only through the native delete of the link itself.
bool MakeBrokenLink(const std::string& parent) {
  RegKey base, link;
  const wchar_t target[] = L"\\Registry\\Machine\\Software\\VantelNoSuchKey";
  return RegCreateKeyExA(HKEY_CURRENT_USER, parent.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, base.receive(), nullptr) == ERROR_SUCCESS &&
         RegCreateKeyExW(base.get(), L"link", 0, nullptr, REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE, KEY_ALL_ACCESS | KEY_CREATE_LINK,
                         nullptr, link.receive(), nullptr) == ERROR_SUCCESS &&
         RegSetValueExW(link.get(), L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target),
                        static_cast<DWORD>(wcslen(target) * sizeof(wchar_t))) == ERROR_SUCCESS;
}
void DeleteLink(const std::string& parent) {
  auto ntDeleteKey = GetProc<LONG(WINAPI*)(HANDLE)>(GetModuleHandleA("ntdll.dll"), "NtDeleteKey");
  RegKey base, link;
  if (ntDeleteKey && RegOpenKeyExA(HKEY_CURRENT_USER, parent.c_str(), 0, KEY_READ, base.receive()) == ERROR_SUCCESS &&
      RegOpenKeyExW(base.get(), L"link", REG_OPTION_OPEN_LINK, DELETE, link.receive()) == ERROR_SUCCESS)
    ntDeleteKey(link.get());
}

// What a row puts on the machine, besides neighbours no row names (a key whose name begins with
// the item's, and a key of a root): nothing, the item of its kind, or a whole key that is wide
// (more keys on a level than reading threads; values of type 0, which no capture takes) or has a
// link that cannot be opened.
enum class Put { Nothing, Value, NoneValue, KeyWithoutValue, File, Library, Association, Firewall, Service, WideKey, KeyWithALink };

// The machine of one row, removed again whatever the row left, and the view of all a row may touch.
class Scene {
 public:
  Scene(const ScratchFolder& machine, const ScratchFolder& docs) : m_machine(machine), m_docs(docs) {
    SHDeleteValueA(HKEY_LOCAL_MACHINE, kFirewallList, kProgram);
    m_view.WatchKey(HKEY_CURRENT_USER, kEngine, "", "reg");
    m_view.WatchKey(HKEY_CURRENT_CONFIG, kProbe, "", "root");
    for (const std::string& key : {std::string(kExt), std::string(kClass), kServerKey}) m_view.WatchKey(HKEY_CLASSES_ROOT, "", key, "cls");
    m_view.WatchKey(HKEY_LOCAL_MACHINE, kFirewallList, "", "fw");
    m_view.WatchFolder(m_machine.path());
    m_view.WatchService(kService);
  }
  ~Scene() {
    DeleteLink(kItem + "\\a\\b");
    DeleteFileA(File().c_str());
    SHDeleteValueA(HKEY_LOCAL_MACHINE, kFirewallList, kProgram);
    if (!m_hadFirewallList) SHDeleteKeyA(HKEY_LOCAL_MACHINE, kFirewallList);
  }
  std::string File() const { return m_machine / "tool.cfg"; }
  const MachineView& view() const { return m_view; }

  void Make(Put what) {
    ASSERT_TRUE(SetText(HKEY_CURRENT_USER, kItem + "Not", "s", "stays") && SetText(HKEY_CURRENT_CONFIG, kProbe, "p", "stays"));
    const HKEY hkcu = HKEY_CURRENT_USER;
    switch (what) {
      case Put::Value: ASSERT_TRUE(SetText(hkcu, kItem, "v", "machine") && SetText(hkcu, kItem + "\\deep", "", "below")); break;
      case Put::NoneValue: ASSERT_TRUE(SetText(hkcu, kItem, "other", "x") && SetRaw(hkcu, kItem, "v", REG_NONE, "none")); break;
      case Put::KeyWithoutValue: ASSERT_TRUE(SetText(hkcu, kItem, "other", "x")); break;
      case Put::File: ASSERT_TRUE(WriteTextFile(File(), "machine content")); break;
      case Put::Firewall: ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kFirewallList, kProgram, std::string(kProgram) + ":*:Enabled:Tool")); break;
      case Put::Nothing: break;
      case Put::Library:
        ASSERT_TRUE(CopyFileA((BinFolder() + "\\sysreg_comserver.dll").c_str(), (m_docs / "server.dll").c_str(), FALSE));
        ASSERT_EQ(CCommon::RegisterLib((m_docs / "server.dll").c_str(), 1, ""), 1);
        break;
      case Put::Association:
        for (const ClassText& t : AssociationTexts(kAssociation, kClass)) ASSERT_TRUE(SetText(HKEY_CLASSES_ROOT, t.key, t.name, t.text));
        break;
      case Put::Service:
        ASSERT_TRUE(MakeDisabledService(kService, "Vantel Swap Test Capture", BinFolder() + "\\sysreg_service.exe",
                                        "VantelSwapTestA\0VantelSwapTestB\0", "kept by the swap"));
        break;
      case Put::WideKey:  // thirty keys on a level, values of type 0 among the values, and a deep branch
        for (int k = 0; k < 30; ++k) {
          const std::string key = kItem + "\\k" + std::to_string(k);
          ASSERT_TRUE(SetText(hkcu, key, "v", key) && (k % 7 || SetRaw(hkcu, key, "none", REG_NONE, "x")) &&
                      (k % 5 || SetRaw(hkcu, key, "", REG_BINARY, std::string("\0\1\2", 3))));
          for (int s = 0; s < k % 5; ++s) ASSERT_TRUE(SetText(hkcu, key + "\\s" + std::to_string(s) + (k == 9 ? "\\deep\\deeper" : ""), "c", key));
        }
        ASSERT_TRUE(MakeKey(hkcu, kItem + "\\empty"));
        break;
      case Put::KeyWithALink:
        ASSERT_TRUE(SetText(hkcu, kItem, "top", "1") && SetText(hkcu, kItem + "\\a", "a", "2") && SetText(hkcu, kItem + "\\a\\b", "b", "3"));
        ASSERT_TRUE(SetText(hkcu, kItem + "\\a\\whole", "w", "4") && SetText(hkcu, kItem + "\\c\\d", "d", "5"));
        ASSERT_TRUE(MakeBrokenLink(kItem + "\\a\\b"));
        break;
    }
  }

 private:
  KeyCleanup m_keys{HKEY_CURRENT_USER, kEngine}, m_probe{HKEY_CURRENT_CONFIG, kProbe};
  KeyCleanup m_ext{HKEY_CLASSES_ROOT, kExt}, m_class{HKEY_CLASSES_ROOT, kClass}, m_server{HKEY_CLASSES_ROOT, kServerKey};
  ServiceGuard m_service{kService};
  bool m_hadFirewallList = HasKey(HKEY_LOCAL_MACHINE, kFirewallList);
  const ScratchFolder &m_machine, &m_docs;
  MachineView m_view;
};

// "key" for a key record, "key = name" for a value record, in document order.
std::vector<std::string> RecordList(CSysRegDoc& doc) {
  std::vector<std::string> list;
  for (CVFDLNode* n : RecordsOf(doc, "install"))
    list.push_back(std::string(Rec(n)->GetKey()) + (Rec(n)->HasVar("name") ? " = " + std::string(Rec(n)->GetName()) : ""));
  return list;
}

// The same list made by a plain recursive walk of what can be opened.
void PlainWalk(HKEY key, const std::string& path, std::vector<std::string>& list) {
  list.push_back(path);
  char name[300];
  DWORD length = sizeof name, type = 0;
  for (DWORD i = 0; RegEnumValueA(key, i, name, &length, nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS; ++i, length = sizeof name)
    list.push_back(path + " = " + std::string(name, length));
  std::vector<std::string> subKeys;
  for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i) subKeys.push_back(name);
  for (const std::string& sub : subKeys) {
    RegKey child;
    if (RegOpenKeyExA(key, sub.c_str(), 0, KEY_READ, child.receive()) == ERROR_SUCCESS) PlainWalk(child.get(), path + "\\" + sub, list);
  }
}

// One row: what is on the machine, the tool's "config" record, what the capture must record in
// the target document (its "install" records in order, each with at least these variables; for a
// key of many levels, the records of a plain walk of it) and what must go from the machine
// (entries, with all below them). Written back, the target's records give back all that went;
// reset, the target leaves no storage folder behind.
struct CaptureRow {
  const char* situation;
  Put machine;
  Vars config;
  std::vector<Vars> captured;
  std::vector<std::string> gone;
};

TEST(SwapEngine, EachKindOfItemIsCapturedAndClearedAsItsRowSays) {
  ScratchFolder machine("machine"), docs("engine");
  const std::string file = machine / "tool.cfg", image = BinFolder() + "\\sysreg_service.exe";
  const Vars whole = {{"type", "register"}, {"key", kItemText}};
  const Vars value = {{"type", "register"}, {"key", kItemText}, {"name", "v"}, {"regtype", "1"}, {"encode", "wide"}, {"value", Base64(WideZ("machine"))}};
  const CaptureRow rows[] = {
      {"a value", Put::Value, {{"type", "register"}, {"key", kItemText}, {"name", "v"}}, {value}, {ValueEntry("reg", "Item", "v")}},
      {"a value its key lacks", Put::KeyWithoutValue, {{"type", "register"}, {"key", kItemText}, {"name", "v"}}, {}, {}},
      {"a value of type 0, with its bytes", Put::NoneValue, {{"type", "register"}, {"key", kItemText}, {"name", "v"}},
       {{{"key", kItemText}, {"name", "v"}, {"regtype", "0"}, {"encode", "wide"}, {"value", Base64("none")}}},
       {ValueEntry("reg", "Item", "v")}},
      {"a whole key", Put::Value, whole,
       {whole, value, {{"key", kItemText + "\\deep"}}, {{"key", kItemText + "\\deep"}, {"name", ""}, {"value", Base64(WideZ("below"))}}},
       {Entry("reg", "Item")}},
      {"a wide whole key", Put::WideKey, whole, {}, {Entry("reg", "Item")}},
      {"a whole key with a link that cannot be opened: it stays, with its parents", Put::KeyWithALink, whole, {},
       {Entry("reg", "Item\\c"), Entry("reg", "Item\\a\\whole")}},
      {"a missing file", Put::Nothing, {{"type", "file"}, {"file", file}}, {}, {}},
      {"an extension with nothing readable", Put::Nothing, {{"type", "association"}, {"extension", kExt}}, {}, {}},
      {"a file", Put::File, {{"type", "file"}, {"file", file}}, {{{"type", "file"}, {"file", file}}}, {Entry("file", "tool.cfg")}},
      {"a library", Put::Library, {{"type", "library"}, {"guid", kServer}}, {{{"type", "library"}, {"guid", kServer}, {"library", docs / "server.dll"}}},
       {Entry("cls", kServerKey)}},
      {"an association", Put::Association, {{"type", "association"}, {"extension", kExt}}, {kAssociation}, {Entry("cls", kExt), Entry("cls", kClass)}},
      {"a firewall exception", Put::Firewall, {{"type", "firewall"}, {"execute", kProgram}},
       {{{"type", "firewall"}, {"execute", kProgram}, {"enabled", "Enabled"}, {"name", "Tool"}}}, {ValueEntry("fw", "", kProgram)}},
      {"a service", Put::Service, {{"type", "service"}, {"name", kService}},
       {{{"type", "service"}, {"name", kService}, {"file", image}, {"srvtype", "16"}, {"start", "4"}, {"error", "0"},
         {"displayname", "Vantel Swap Test Capture"}, {"description", "kept by the swap"}}},
       {Entry("svc", kService)}},
      {"a record of no known kind", Put::Value, {{"type", "registry"}, {"key", kItemText}}, {}, {}},
      {"a key under no root", Put::Value, {{"type", "register"}, {"key", "HKEY_NOWHERE\\" + kItem}}, {}, {}},
      {"a root named whole", Put::Nothing, {{"type", "register"}, {"key", "HKEY_CURRENT_CONFIG"}}, {}, {}},
      {"a root named whole, with a backslash", Put::Nothing, {{"type", "register"}, {"key", "HKEY_CURRENT_CONFIG\\"}}, {}, {}},
      {"a root named whole, in lower case", Put::Nothing, {{"type", "register"}, {"key", "hkey_current_config\\\\"}}, {}, {}},
  };
  for (const CaptureRow& row : rows) {
    SCOPED_TRACE(row.situation);
    Scene scene(machine, docs);
    ASSERT_NO_FATAL_FAILURE(scene.Make(row.machine));
    const MachineState before = scene.view().Observe();
    std::vector<std::string> readable;
    if (RegKey key; RegOpenKeyExA(HKEY_CURRENT_USER, kItem.c_str(), 0, KEY_READ, key.receive()) == ERROR_SUCCESS)
      PlainWalk(key.get(), kItemText, readable);
    auto own = NewDoc(docs / "own.xml"), target = NewDoc(docs / "target.xml");
    ASSERT_TRUE(own && target);
    AddRecord(*own, own->GetClassNode("config", 1), row.config);
    own->InitSwap(nullptr, target.get());

    const std::vector<CVFDLNode*> records = RecordsOf(*target, "install");
    if (row.machine == Put::WideKey || row.machine == Put::KeyWithALink) {
      EXPECT_EQ(RecordList(*target), readable);
    } else {
      ASSERT_EQ(records.size(), row.captured.size());
      for (size_t i = 0; i < records.size(); ++i)
        for (const auto& v : row.captured[i]) EXPECT_EQ(Rec(records[i])->GetVarValue(v.first.c_str()), v.second.c_str()) << "record " << i << ": " << v.first;
    }
    MachineState after = before;
    for (const std::string& top : row.gone) RemoveBelow(after, top);
    EXPECT_EQ(scene.view().Settled(after), "") << "after the capture";
    target->Restore(nullptr);
    EXPECT_EQ(scene.view().Settled(before), "") << "after the write-back";
    own->InitSwap(nullptr, target.get());  // captured again, the item adds nothing: its first record stands
    EXPECT_EQ(RecordsOf(*target, "install").size(), records.size()) << "after a second capture";
    target->Restore(nullptr);
    target->ResetSwap(nullptr, 0);
    EXPECT_EQ(target->GetClassNode("install", 0), nullptr) << "the reset removes the emptied class";
    for (const auto& f : ListTree(Wide(docs.path()))) EXPECT_NE(f.second, "<dir>") << Printable(f.first) << " after the reset";
  }
}

// ---- Write back --------------------------------------------------------------------------------

// One row: a record of the "install" class, and the value it must leave (type 0: none).
struct WriteRow {
  Vars record;
  HKEY root;
  std::string key, name;
  DWORD type;
  std::string bytes;
};

TEST(SwapEngine, TheWriteBackFollowsEachRecordInOrderAndPassesOverWhatItCannotUse) {
  const std::string sub = kEngine + "\\Restore", key = HkcuText(sub), classKey = "HKEY_CLASSES_ROOT\\" + kServerKey;
  const std::string walkClass = "Software\\Classes\\VantelWalkClass";
  KeyCleanup keys(HKEY_CURRENT_USER, kEngine), server(HKEY_CLASSES_ROOT, kServerKey), classes(HKEY_LOCAL_MACHINE, walkClass);
  ScratchFolder folder("restore");
  EnvGuard dir("VANTEL_SWAP_DIR", "C:\\vantel");  // plain strings are written as they stand
  const std::string library = folder / "server.dll";
  ASSERT_TRUE(CopyFileA((BinFolder() + "\\sysreg_comserver.dll").c_str(), library.c_str(), FALSE));
  auto text = [](const std::string& keyText, const std::string& name, const char* regtype, const std::string& value) {
    return Vars{{"type", "register"}, {"key", keyText}, {"name", name}, {"regtype", regtype}, {"value", value}};
  };
  const HKEY hkcu = HKEY_CURRENT_USER, hkcr = HKEY_CLASSES_ROOT;
  std::vector<WriteRow> rows = {
      // The server's registration deletes its class key and writes it again: the records after it
      // land in the new key, not in the one held open before.
      {text(classKey, "Before", "1", "1"), hkcr, kServerKey, "Before", 0, ""},
      {{{"type", "library"}, {"library", library}, {"guid", kServer}}, hkcr, kServerKey + "\\InprocServer32", "", REG_SZ, Z(library)},
      {text(classKey, "After", "1", "2"), hkcr, kServerKey, "After", REG_SZ, Z("2")},
      {text(key, "relative", "2", "bin\\x.dll"), hkcu, sub, "relative", REG_EXPAND_SZ, Z(folder / "bin\\x.dll")},
      {text(key, "text", "1", "%VANTEL_SWAP_DIR%"), hkcu, sub, "text", REG_SZ, Z("%VANTEL_SWAP_DIR%")},
      {text(key, "binary", "3", "AAEC"), hkcu, sub, "binary", 0, ""},  // binary only in Base64
      {{{"type", "register"}, {"key", key}, {"name", "no zero"}, {"regtype", "1"}, {"encode", "wide"}, {"value", Base64(std::string("a\0b\0", 4))}},
       hkcu, sub, "no zero", REG_SZ, "ab"},
      {{{"type", "register"}, {"key", key}, {"name", "corrupt"}, {"regtype", "1"}, {"encode", "yes"}, {"value", "#not base64#"}}, hkcu, sub, "corrupt", 0, ""},
      {text("HKEY_NOWHERE\\" + sub, "lost", "1", "x"), hkcu, sub, "lost", 0, ""},
      {{{"type", "registry"}, {"key", key}, {"name", "unknown"}, {"regtype", "1"}, {"value", "x"}}, hkcu, sub, "unknown", 0, ""},
      {text(key, "last", "1", "written"), hkcu, sub, "last", REG_SZ, Z("written")},
  };
  // A value written through two spellings of its key ends as the later record says. The first
  // comes after many records of its key, the later right after it: were the two spellings written
  // by different threads, the later would land first now and then.
  std::string lower = HkcuText(sub);
  for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  const struct {
    std::string first, later;
    HKEY root;
    std::string key;
  } spellings[] = {{key + "\\Case", lower + "\\CASE", hkcu, sub + "\\Case"},
                   {key + "\\Slash", key + "\\\\Slash\\", hkcu, sub + "\\Slash"},
                   {"HKEY_CLASSES_ROOT\\VantelWalkClass", "HKEY_LOCAL_MACHINE\\" + walkClass, HKEY_LOCAL_MACHINE, walkClass}};
  for (const auto& s : spellings) {
    for (int i = 0; i < 60; ++i) rows.push_back({text(s.first, "f" + std::to_string(i), "1", "x"), s.root, s.key, "f" + std::to_string(i), REG_SZ, Z("x")});
    rows.push_back({text(s.first, "v", "1", "first"), s.root, s.key, "v", REG_SZ, Z("later")});
    rows.push_back({text(s.later, "V", "1", "later"), s.root, s.key, "v", REG_SZ, Z("later")});
  }
  auto doc = NewDoc(folder / "install.xml");
  ASSERT_TRUE(doc);
  doc->SetAutoSaveFlag(0);
  for (const WriteRow& row : rows) ASSERT_TRUE(AddRecord(*doc, doc->GetClassNode("install", 1), row.record));
  // Walks start at their class folder: the root is not one.
  EXPECT_EQ(doc->Restore(doc->GetRootNode()), 1);
  EXPECT_FALSE(HasKey(HKEY_CURRENT_USER, sub));
  const int nodes = doc->GetNodeCount();
  EXPECT_EQ(doc->ResetSwap(doc->GetRootNode(), 0), 0);
  EXPECT_EQ(doc->GetNodeCount(), nodes);

  for (int round = 0; round < 4; ++round) {
    // The corrupt and the rootless record fail and are counted; every other record is written.
    const size_t failures = doc->GetSwapReport().FailureCount();
    EXPECT_EQ(doc->Restore(nullptr), 0);
    EXPECT_EQ(doc->GetSwapReport().FailureCount(), failures + 2);
    for (size_t i = 0; i < rows.size(); ++i) {
      DWORD type = 0;
      std::string bytes;
      const bool has = GetRaw(rows[i].root, rows[i].key, rows[i].name, &type, &bytes);
      EXPECT_TRUE(rows[i].type ? has && type == rows[i].type && bytes == rows[i].bytes : !has)
          << "row " << i << ", " << rows[i].key << " : " << rows[i].name << ", round " << round << ": type " << type << " " << bytes;
    }
  }
  // Nor is the root walked by a capture: the register records of "install" would be cleared.
  auto target = NewDoc(folder / "target.xml");
  ASSERT_TRUE(target);
  EXPECT_EQ(doc->InitSwap(doc->GetRootNode(), target.get()), 1);
  EXPECT_EQ(TextOf(HKEY_CURRENT_USER, sub, "last"), "written");
  // A capture lands under the folder it is given; a record is no parent.
  CVFDLNode* given = AddFolder(*target, target->GetClassNode("install", 1), "given");
  EXPECT_EQ(target->BackupRegister(key.c_str(), "last", given), 1);
  EXPECT_EQ(target->BackupRegister(key.c_str(), "text", RecordsOf(*target, "install").at(0)), 0);
  EXPECT_EQ(target->GetChildNum(given), 1);
}

// ---- The tool package with documents it cannot read ---------------------------------------------

TEST(ToolSwap, ADocumentThatCannotBeReadStopsTheSwapBeforeAnythingChanges) {
  KeyCleanup keys(HKEY_CURRENT_USER, kEngine);
  ASSERT_TRUE(SetText(HKEY_CURRENT_USER, kItem, "v", "user"));
  ScratchFolder folder("documents");
  // A sound document, and the same cut off: its records a lenient reader could still act on.
  {
    auto doc = NewDoc(folder / "sound.xml");
    ASSERT_TRUE(doc);
    AddRecord(*doc, doc->GetClassNode("config", 1), {{"type", "register"}, {"key", kItemText}});
    AddRecord(*doc, doc->GetClassNode("install", 1), {{"type", "register"}, {"key", kItemText}, {"name", "v"}, {"regtype", "1"}, {"value", "tool"}});
  }
  const std::string sound = ReadTextFile(folder / "sound.xml"), broken = sound.substr(0, sound.rfind("</")), html = "<html><body>not ours</body></html>", empty;
  const struct {
    const char* situation;
    const std::string *own, *backup;  // null: no file
    int swapIn, swapOut;              // what BackupTool and RestoreTool answer (-1: not called)
  } rows[] = {
      {"a document cut off", &broken, nullptr, 0, 0},
      {"not a registration document", &html, nullptr, 0, 0},
      {"an empty file", &empty, nullptr, 0, 0},
      {"a sound document and a Backup cut off", &sound, &broken, -1, 0},
      {"no document: an empty one is made", nullptr, nullptr, 1, 1},
  };
  MachineView view;
  view.WatchKey(HKEY_CURRENT_USER, kEngine, "", "reg");
  const MachineState before = view.Observe();
  for (const auto& row : rows) {
    SCOPED_TRACE(row.situation);
    ScratchTool tool("pkg");
    ASSERT_TRUE((!row.own || WriteTextFile(tool.MyDoc(), *row.own)) && (!row.backup || WriteTextFile(tool.BackDoc(), *row.backup)));
    EXPECT_TRUE(row.swapIn < 0 || tool.BackupTool() == row.swapIn);
    EXPECT_EQ(tool.RestoreTool(), row.swapOut);
    EXPECT_EQ(Differences(before, view.Observe()), "");
    EXPECT_TRUE(row.own ? ReadTextFile(tool.MyDoc()) == *row.own : OpenDoc(tool.MyDoc()) && OpenDoc(tool.BackDoc()));
    EXPECT_TRUE(!row.backup || ReadTextFile(tool.BackDoc()) == *row.backup);
  }
}

}  // namespace
