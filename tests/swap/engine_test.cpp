// The swap engine item by item: the replace decision of the capture-and-clear walk, the capture
// of registry values and keys, files, associations, firewall exceptions and services, the write
// back, the reset of the "install" class, and the tool package's swap in and out with documents
// that are missing, malformed or hold records the engine cannot use. Machine effects are read
// back through the registry API, the service manager and the file system.
#include "tests/support/processes.h"
#include "tests/support/registration_docs.h"
#include "tests/support/registry.h"
#include "tests/support/services.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

namespace {

const std::string kEngine = std::string(kTestRoot) + "\\Engine";
const std::string kFirewallList =
    "SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\StandardProfile\\"
    "AuthorizedApplications\\List";

std::string Z(const std::string& text) { return std::string(text.c_str(), text.size() + 1); }

// The "install" record of a registry value (a record with a "name" variable); null if none.
CSysRegRec* ValueRecord(CSysRegDoc& doc, const std::string& key, const std::string& name) {
  for (CVFDLNode* n : RecordsOf(doc, "install")) {
    CSysRegRec* r = Rec(n);
    if (r->GetType() == 1 && r->HasVar("name") && r->GetKey().CompareNoCase(key.c_str()) == 0 &&
        r->GetName().CompareNoCase(name.c_str()) == 0)
      return r;
  }
  return nullptr;
}

int CountRecords(CSysRegDoc& doc, const char* className) { return static_cast<int>(RecordsOf(doc, className).size()); }

// The bytes a captured value record holds.
std::string Captured(const CSysRegRec* r) {
  bool ok = false;
  std::string bytes = r ? Unbase64(r->GetValue().c_str(), &ok) : std::string();
  return ok ? bytes : "<not Base64>";
}

// A value of the firewall's list, removed (with the list key, if it was made for it) afterwards.
struct FirewallEntryCleanup {
  explicit FirewallEntryCleanup(std::string n) : name(std::move(n)), hadList(HasKey(HKEY_LOCAL_MACHINE, kFirewallList)) {
    SHDeleteValueA(HKEY_LOCAL_MACHINE, kFirewallList.c_str(), name.c_str());
  }
  ~FirewallEntryCleanup() {
    SHDeleteValueA(HKEY_LOCAL_MACHINE, kFirewallList.c_str(), name.c_str());
    if (!hadList) SHDeleteKeyA(HKEY_LOCAL_MACHINE, kFirewallList.c_str());
  }
  std::string name;
  bool hadList;
};

class SwapEngine : public ::testing::Test {
 protected:
  // A document in the scratch folder, and a copy of it that shares its record IDs (as the
  // Backup document starts as a copy of the tool's own).
  std::unique_ptr<CSysRegDoc> CopyOf(CSysRegDoc& doc, const std::string& name) {
    EXPECT_EQ(doc.SaveXMLDoc(0), 1);
    CopyFileA(doc.GetDocPath(), (m_folder / name).c_str(), FALSE);
    return OpenDoc(m_folder / name);
  }

  KeyCleanup m_keys{HKEY_CURRENT_USER, kEngine};
  ScratchFolder m_folder{"engine"};
};

TEST_F(SwapEngine, TheReplacePolicyDecidesRowByRow) {
  struct Policy {
    const char* word;  // null: no "replace" variable
    bool protects;     // with m_bCheckReplace 1
  } policies[] = {{"always", false}, {nullptr, false}, {"Never", false}, {"NONE", false},
                  {"none", true},    {"ask", true},    {"new", true}};
  int row = 0;
  for (int check : {0, 1}) {
    for (const Policy& policy : policies) {
      for (bool present : {true, false}) {
        for (bool wholeKey : {false, true}) {
          const std::string sub = kEngine + "\\Row" + std::to_string(++row);
          const std::string keyText = HkcuText(sub);
          SCOPED_TRACE("row " + std::to_string(row) + ": check " + std::to_string(check) + ", replace " +
                       (policy.word ? policy.word : "(absent)") + (present ? ", present" : ", absent") +
                       (wholeKey ? ", whole key" : ", value"));
          if (present) {
            ASSERT_TRUE(SetText(HKEY_CURRENT_USER, sub, "v", "machine"));
            ASSERT_TRUE(SetText(HKEY_CURRENT_USER, sub + "\\deep", "", "below"));
          } else if (!wholeKey) {
            ASSERT_TRUE(SetText(HKEY_CURRENT_USER, sub, "other", "x"));  // the key, without the value
          }
          const RegSnapshot before = Snapshot(HKEY_CURRENT_USER, sub);

          auto own = NewDoc(m_folder / ("own" + std::to_string(row) + ".xml"));
          ASSERT_TRUE(own);
          Vars vars = {{"type", "register"}, {"key", keyText}};
          if (!wholeKey) vars.push_back({"name", "v"});
          if (policy.word) vars.push_back({"replace", policy.word});
          CVFDLNode* config = AddRecord(*own, own->GetClassNode("config", 1), vars);
          ASSERT_TRUE(config);
          const CString id = config->GetID();
          auto target = CopyOf(*own, "target" + std::to_string(row) + ".xml");
          ASSERT_TRUE(target);
          ASSERT_TRUE(target->GetNodeByID(id));

          own->m_bCheckReplace = check;
          EXPECT_EQ(own->InitSwap(nullptr, target.get()), 1);

          const bool leftAlone = check && policy.protects && present;
          if (leftAlone) {
            EXPECT_EQ(Differences(before, Snapshot(HKEY_CURRENT_USER, sub)), "");
            EXPECT_EQ(CountRecords(*target, "install"), 0);
            EXPECT_EQ(target->GetNodeByID(id), nullptr);  // the target forgets the item
          } else if (present) {
            if (wholeKey) {
              EXPECT_FALSE(HasKey(HKEY_CURRENT_USER, sub));
              EXPECT_EQ(Captured(ValueRecord(*target, keyText + "\\deep", "")), Z("below"));
            } else {
              EXPECT_FALSE(HasValue(HKEY_CURRENT_USER, sub, "v"));
              EXPECT_TRUE(HasValue(HKEY_CURRENT_USER, sub + "\\deep", ""));  // only the value went
            }
            CSysRegRec* r = ValueRecord(*target, keyText, "v");
            ASSERT_TRUE(r);
            EXPECT_EQ(r->GetRegType(), REG_SZ);
            EXPECT_EQ(r->GetEncode(), 1);
            EXPECT_EQ(Captured(r), Z("machine"));
            EXPECT_TRUE(target->GetNodeByID(id));
          } else {
            EXPECT_EQ(Differences(before, Snapshot(HKEY_CURRENT_USER, sub)), "");
            EXPECT_EQ(CountRecords(*target, "install"), 0);
            EXPECT_TRUE(target->GetNodeByID(id));
          }
          // The walked document itself is not changed by the walk.
          EXPECT_EQ(CountRecords(*own, "config"), 1);
          EXPECT_EQ(CountRecords(*own, "install"), 0);
        }
      }
    }
  }
}

TEST_F(SwapEngine, CapturesKeepTheFirstRecordOfAnItem) {
  auto doc = NewDoc(m_folder / "install.xml");
  ASSERT_TRUE(doc);
  const std::string sub = kEngine + "\\Twice";
  const std::string key = HkcuText(sub);
  ASSERT_TRUE(SetText(HKEY_CURRENT_USER, sub, "v", "first"));
  EXPECT_EQ(doc->BackupRegister(key.c_str(), "v", nullptr), 1);
  ASSERT_TRUE(SetText(HKEY_CURRENT_USER, sub, "v", "second"));
  EXPECT_EQ(doc->BackupRegister(key.c_str(), "v", nullptr), 1);
  // The same item spelt in another letter case is the same item.
  std::string lower = key;
  for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(doc->BackupRegister(lower.c_str(), "V", nullptr), 1);
  ASSERT_EQ(CountRecords(*doc, "install"), 1);
  EXPECT_EQ(Captured(ValueRecord(*doc, key, "v")), Z("first"));

  // A whole-key capture afterwards adds the rest of the key, not the value again.
  ASSERT_TRUE(SetText(HKEY_CURRENT_USER, sub, "w", "other"));
  EXPECT_EQ(doc->BackupRegister(key.c_str(), nullptr, nullptr), 1);
  EXPECT_EQ(Captured(ValueRecord(*doc, key, "v")), Z("first"));
  EXPECT_EQ(Captured(ValueRecord(*doc, key, "w")), Z("other"));
  EXPECT_EQ(CountRecords(*doc, "install"), 2);  // a value record of the key stands for the key too
  EXPECT_EQ(doc->BackupRegister(key.c_str(), nullptr, nullptr), 1);
  EXPECT_EQ(CountRecords(*doc, "install"), 2);

  // Values that cannot be captured: missing, or of type 0 (REG_NONE).
  ASSERT_TRUE(SetRaw(HKEY_CURRENT_USER, sub, "none", REG_NONE, "abc"));
  EXPECT_EQ(doc->BackupRegister(key.c_str(), "none", nullptr), 0);
  EXPECT_EQ(doc->BackupRegister(key.c_str(), "missing", nullptr), 0);
  EXPECT_EQ(doc->BackupRegister((key + "\\nokey").c_str(), "v", nullptr), 0);
  EXPECT_EQ(CountRecords(*doc, "install"), 2);
  // The capture lands under a given folder; a record is not a parent.
  CVFDLNode* folder = AddFolder(*doc, doc->GetClassNode("install", 1), "more");
  ASSERT_TRUE(SetText(HKEY_CURRENT_USER, sub, "x", "in folder"));
  EXPECT_EQ(doc->BackupRegister(key.c_str(), "x", folder), 1);
  ASSERT_EQ(RecordsBelow(*doc, folder).size(), 1u);
  EXPECT_STREQ(Rec(RecordsBelow(*doc, folder)[0])->GetName(), "x");
  EXPECT_EQ(doc->BackupRegister(key.c_str(), "w", RecordsBelow(*doc, folder)[0]), 0);
}

TEST_F(SwapEngine, AMissingWholeKeyCapturesAndClearsNothing) {
  const std::string sub = kEngine + "\\Missing";
  ASSERT_TRUE(SetText(HKEY_CURRENT_USER, kEngine + "\\Sibling", "s", "stays"));
  ASSERT_TRUE(SetText(HKEY_CURRENT_USER, kEngine + "\\MissingNot", "s", "stays"));
  const RegSnapshot before = Snapshot(HKEY_CURRENT_USER, kEngine);
  auto own = NewDoc(m_folder / "own.xml");
  auto target = NewDoc(m_folder / "target.xml");
  ASSERT_TRUE(own && target);
  EXPECT_EQ(target->BackupRegister(HkcuText(sub).c_str(), nullptr, nullptr), 1);
  EXPECT_EQ(CountRecords(*target, "install"), 0);
  AddRecord(*own, own->GetClassNode("config", 1), {{"type", "register"}, {"key", HkcuText(sub)}});
  own->m_bCheckReplace = 1;
  EXPECT_EQ(own->InitSwap(nullptr, target.get()), 1);
  EXPECT_EQ(CountRecords(*target, "install"), 0);
  EXPECT_EQ(Differences(before, Snapshot(HKEY_CURRENT_USER, kEngine)), "");
}

TEST_F(SwapEngine, AWholeKeyIsCapturedWithEveryValueAndSubkeyAndComesBackAsItWas) {
  const std::string sub = kEngine + "\\Whole";
  const std::string big(1000, 'b');
  ASSERT_TRUE(SetText(HKEY_CURRENT_USER, sub, "", "default"));
  ASSERT_TRUE(SetRaw(HKEY_CURRENT_USER, sub, "expand", REG_EXPAND_SZ, Z("%WINDIR%\\x")));
  ASSERT_TRUE(SetRaw(HKEY_CURRENT_USER, sub, "big", REG_BINARY, big));
  ASSERT_TRUE(SetRaw(HKEY_CURRENT_USER, sub, "multi", REG_MULTI_SZ, std::string("a\0bc\0\0", 6)));
  ASSERT_TRUE(SetRaw(HKEY_CURRENT_USER, sub, "empty", REG_BINARY, ""));
  ASSERT_TRUE(SetRaw(HKEY_CURRENT_USER, sub + "\\a\\b\\c", "dword", REG_DWORD, std::string("\x01\x02\x03\x04", 4)));
  ASSERT_TRUE(SetText(HKEY_CURRENT_USER, sub + "\\a", "", "a default"));
  ASSERT_TRUE(MakeKey(HKEY_CURRENT_USER, sub + "\\emptykey"));
  const RegSnapshot before = Snapshot(HKEY_CURRENT_USER, sub);

  auto own = NewDoc(m_folder / "own.xml");
  auto target = NewDoc(m_folder / "target.xml");
  ASSERT_TRUE(own && target);
  AddRecord(*own, own->GetClassNode("config", 1), {{"type", "register"}, {"key", HkcuText(sub)}});
  own->InitSwap(nullptr, target.get());
  EXPECT_FALSE(HasKey(HKEY_CURRENT_USER, sub));
  EXPECT_EQ(Captured(ValueRecord(*target, HkcuText(sub), "")), Z("default"));
  EXPECT_EQ(Captured(ValueRecord(*target, HkcuText(sub), "big")), big);
  target->Restore(nullptr);
  EXPECT_EQ(Differences(before, Snapshot(HKEY_CURRENT_USER, sub)), "");
}

TEST_F(SwapEngine, AFileWithoutItsFileKeepsAnEarlierRecordWithAnEmptyStorageFolder) {
  ScratchFolder machine("machine");
  const std::string file = machine / "tool.cfg";
  auto doc = NewDoc(m_folder / "install.xml");
  ASSERT_TRUE(doc);
  EXPECT_EQ(doc->BackupFile(file.c_str(), nullptr), 1);
  EXPECT_EQ(CountRecords(*doc, "install"), 0);  // nothing there, nothing recorded

  ASSERT_TRUE(WriteTextFile(file, "machine content"));
  EXPECT_EQ(doc->BackupFile(file.c_str(), nullptr), 1);
  ASSERT_EQ(CountRecords(*doc, "install"), 1);
  const std::string storage = m_folder / std::string(RecordsOf(*doc, "install")[0]->GetID());
  EXPECT_EQ(ReadTextFile(storage + "\\tool.cfg"), "machine content");

  ASSERT_TRUE(DeleteFileA(file.c_str()));
  EXPECT_EQ(doc->BackupFile(file.c_str(), nullptr), 1);
  ASSERT_EQ(CountRecords(*doc, "install"), 1);
  EXPECT_EQ(std::string(RecordsOf(*doc, "install")[0]->GetID()), storage.substr(storage.rfind('\\') + 1));
  EXPECT_TRUE(PathIsDirectoryA(storage.c_str()));
  EXPECT_TRUE(PathIsDirectoryEmptyA(storage.c_str()));

  // The swap of a file: the copy goes into the target's storage, the file off the machine, and
  // the target's write-back puts it where it was.
  ASSERT_TRUE(WriteTextFile(file, "second"));
  ScratchFolder docs("swapdocs");
  auto own = NewDoc(docs / "own.xml");
  auto target = NewDoc(docs / "target.xml");
  ASSERT_TRUE(own && target);
  AddRecord(*own, own->GetClassNode("config", 1), {{"type", "file"}, {"file", file}});
  own->InitSwap(nullptr, target.get());
  EXPECT_FALSE(FileExists(file));
  target->Restore(nullptr);
  EXPECT_EQ(ReadTextFile(file), "second");
}

TEST_F(SwapEngine, AnAssociationWhoseClassNameHoldsABackslashIsReadFromTheExtensionKey) {
  const std::string ext = ".vantelswaptestbs";
  KeyCleanup extKey(HKEY_CLASSES_ROOT, ext), classKey(HKEY_CLASSES_ROOT, "VantelSwapTestBs");
  const std::string document = "VantelSwapTestBs\\Class";
  ASSERT_TRUE(SetText(HKEY_CLASSES_ROOT, ext, "", document));
  ASSERT_TRUE(SetText(HKEY_CLASSES_ROOT, ext, "Content Type", "text/x-vantel"));
  ASSERT_TRUE(SetText(HKEY_CLASSES_ROOT, ext, "FriendlyTypeName", "from the extension"));
  ASSERT_TRUE(SetText(HKEY_CLASSES_ROOT, ext + "\\DefaultIcon", "", "C:\\icons\\ext.ico,1"));
  ASSERT_TRUE(SetText(HKEY_CLASSES_ROOT, ext + "\\Shell\\Open\\Command", "", "\"C:\\ext.exe\" \"%1\""));
  // The key that the class name would name holds other texts, which must not be taken.
  ASSERT_TRUE(SetText(HKEY_CLASSES_ROOT, document, "", "class name"));
  ASSERT_TRUE(SetText(HKEY_CLASSES_ROOT, document, "FriendlyTypeName", "from the class"));
  ASSERT_TRUE(SetText(HKEY_CLASSES_ROOT, document, "URL Protocol", ""));
  ASSERT_TRUE(SetText(HKEY_CLASSES_ROOT, document + "\\DefaultIcon", "", "C:\\icons\\class.ico"));

  auto doc = NewDoc(m_folder / "install.xml");
  ASSERT_TRUE(doc);
  EXPECT_EQ(doc->BackupAssociation(ext.c_str(), nullptr), 1);
  ASSERT_EQ(CountRecords(*doc, "install"), 1);
  CSysRegRec* r = Rec(RecordsOf(*doc, "install")[0]);
  EXPECT_EQ(r->GetType(), 4);
  EXPECT_STREQ(r->GetExt(), ext.c_str());
  EXPECT_STREQ(r->GetDocument(), document.c_str());
  EXPECT_STREQ(r->GetName(), document.c_str());  // the extension key's default value
  EXPECT_STREQ(r->GetContentType(), "text/x-vantel");
  EXPECT_STREQ(r->GetFriendlyName(), "from the extension");
  EXPECT_STREQ(r->GetIcon(), "C:\\icons\\ext.ico,1");
  EXPECT_STREQ(r->GetOpen(), "\"C:\\ext.exe\" \"%1\"");
  EXPECT_EQ(r->GetURLProtocol(), 0);
  EXPECT_STREQ(r->GetEdit(), "");
  // Captured once only.
  EXPECT_EQ(doc->BackupAssociation(ext.c_str(), nullptr), 1);
  EXPECT_EQ(CountRecords(*doc, "install"), 1);
}

TEST_F(SwapEngine, AnAssociationIsCapturedFromItsClassKeyAndNothingReadableAddsNothing) {
  const std::string ext = ".vantelswaptestas", cls = "VantelSwapTestAs.Doc";
  KeyCleanup extKey(HKEY_CLASSES_ROOT, ext), classKey(HKEY_CLASSES_ROOT, cls);
  KeyCleanup bareKey(HKEY_CLASSES_ROOT, ".vantelswaptestnone");
  ASSERT_TRUE(SetText(HKEY_CLASSES_ROOT, ext, "", cls));
  ASSERT_TRUE(SetText(HKEY_CLASSES_ROOT, cls, "", "Vantel document"));
  ASSERT_TRUE(SetText(HKEY_CLASSES_ROOT, cls, "URL Protocol", ""));
  ASSERT_TRUE(SetText(HKEY_CLASSES_ROOT, cls + "\\Shell\\Print\\Command", "", "C:\\p.exe /p \"%1\""));
  ASSERT_TRUE(SetText(HKEY_CLASSES_ROOT, cls + "\\CLSID", "", "{00000000-1111-2222-3333-444444444444}"));
  ASSERT_TRUE(MakeKey(HKEY_CLASSES_ROOT, ".vantelswaptestnone"));  // a key with nothing in it

  auto doc = NewDoc(m_folder / "install.xml");
  ASSERT_TRUE(doc);
  EXPECT_EQ(doc->BackupAssociation(".vantelswaptestnone", nullptr), 0);
  EXPECT_EQ(doc->BackupAssociation(".vantelswaptestmissing", nullptr), 0);
  EXPECT_EQ(CountRecords(*doc, "install"), 0);
  EXPECT_EQ(doc->BackupAssociation(ext.c_str(), nullptr), 1);
  ASSERT_EQ(CountRecords(*doc, "install"), 1);
  CSysRegRec* r = Rec(RecordsOf(*doc, "install")[0]);
  EXPECT_STREQ(r->GetDocument(), cls.c_str());
  EXPECT_STREQ(r->GetName(), "Vantel document");
  EXPECT_EQ(r->GetURLProtocol(), 1);
  EXPECT_STREQ(r->GetPrint(), "C:\\p.exe /p \"%1\"");
  EXPECT_STREQ(r->GetCLSID(), "{00000000-1111-2222-3333-444444444444}");
  EXPECT_FALSE(r->HasVar("open"));
}

TEST_F(SwapEngine, AFirewallEntryIsSplitIntoPathEnabledWordAndDescription) {
  FirewallEntryCleanup entry("D:\\A\\b.exe");
  ASSERT_TRUE(SetText(HKEY_LOCAL_MACHINE, kFirewallList, "D:\\A\\b.exe", "D:\\A\\b.exe:*:Enabled:Tool"));
  auto own = NewDoc(m_folder / "own.xml");
  auto target = NewDoc(m_folder / "target.xml");
  ASSERT_TRUE(own && target);
  AddRecord(*own, own->GetClassNode("config", 1), {{"type", "firewall"}, {"execute", "D:\\A\\b.exe"}});
  own->InitSwap(nullptr, target.get());
  EXPECT_FALSE(HasValue(HKEY_LOCAL_MACHINE, kFirewallList, "D:\\A\\b.exe"));
  ASSERT_EQ(CountRecords(*target, "install"), 1);
  CSysRegRec* r = Rec(RecordsOf(*target, "install")[0]);
  EXPECT_EQ(r->GetType(), 5);
  EXPECT_STREQ(r->GetExe(), "D:\\A\\b.exe");
  EXPECT_STREQ(r->GetEnabled(), "Enabled");
  EXPECT_STREQ(r->GetName(), "Tool");
  EXPECT_EQ(target->BackupFireWall("D:\\A\\b.exe", nullptr), 1);  // recorded once
  EXPECT_EQ(CountRecords(*target, "install"), 1);
  target->Restore(nullptr);
  EXPECT_EQ(TextOf(HKEY_LOCAL_MACHINE, kFirewallList, "D:\\A\\b.exe"), "D:\\A\\b.exe:*:Enabled:Tool");
  // A program the list does not name adds nothing.
  EXPECT_EQ(target->BackupFireWall("D:\\A\\none.exe", nullptr), 1);
  EXPECT_EQ(CountRecords(*target, "install"), 1);
}

TEST_F(SwapEngine, AServiceIsCapturedWithItsDependenciesAndWrittenBackAsItWas) {
  const std::string name = "VantelSwapTestDeps";
  ServiceGuard guard(name);
  const std::string image = BinFolder() + "\\sysreg_service.exe";
  {
    ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    ASSERT_TRUE(manager);
    ServiceHandle service(CreateServiceA(manager.get(), name.c_str(), "Vantel Swap Test Deps", SERVICE_ALL_ACCESS,
                                         SERVICE_WIN32_OWN_PROCESS, SERVICE_DISABLED, SERVICE_ERROR_IGNORE,
                                         image.c_str(), nullptr, nullptr, "VantelSwapTestA\0VantelSwapTestB\0\0",
                                         nullptr, nullptr));
    ASSERT_TRUE(service) << GetLastError();
    char text[] = "kept by the swap";
    SERVICE_DESCRIPTIONA description = {text};
    ASSERT_TRUE(ChangeServiceConfig2A(service.get(), SERVICE_CONFIG_DESCRIPTION, &description));
  }
  const ServiceConfig before = QueryService(name);
  ASSERT_TRUE(before.exists);
  auto own = NewDoc(m_folder / "own.xml");
  auto target = NewDoc(m_folder / "target.xml");
  ASSERT_TRUE(own && target);
  AddRecord(*own, own->GetClassNode("config", 1), {{"type", "service"}, {"name", name}});
  own->InitSwap(nullptr, target.get());
  ASSERT_EQ(CountRecords(*target, "install"), 1);
  CSysRegRec* r = Rec(RecordsOf(*target, "install")[0]);
  if (before.dependencies.empty()) {
    // Wine's service manager answers no dependencies (and its CreateServiceA stores a list of
    // several names garbled), so there is nothing to capture here; on Windows there is.
    printf("note: the service manager reports no dependencies for %s\n", name.c_str());
    EXPECT_STREQ(r->GetDependOnService(), "");
  } else {
    ASSERT_EQ(before.dependencies, "VantelSwapTestA|VantelSwapTestB|");
    EXPECT_STREQ(r->GetDependOnService(), "VantelSwapTestA\\0VantelSwapTestB\\0");
  }
  EXPECT_STREQ(r->GetName(), name.c_str());
  EXPECT_EQ(r->GetStart(), SERVICE_DISABLED);
  EXPECT_EQ(r->GetErrorControl(), SERVICE_ERROR_IGNORE);
  EXPECT_EQ(r->GetSrvType(), SERVICE_WIN32_OWN_PROCESS);
  EXPECT_STREQ(r->GetDisplayName(), "Vantel Swap Test Deps");
  EXPECT_STREQ(r->GetDescription(), "kept by the swap");
  EXPECT_EQ(std::string(r->GetFile()), before.path);
  EXPECT_TRUE(WaitUntil([&] { return !QueryService(name).exists; }, 15000)) << "removed from the machine";

  target->Restore(nullptr);
  EXPECT_EQ(Describe(QueryService(name)), Describe(before));
  // A service that is not there is not captured.
  EXPECT_EQ(target->BackupService("VantelSwapTestNoSuchService", nullptr), 0);
  EXPECT_EQ(CountRecords(*target, "install"), 1);
}

TEST_F(SwapEngine, ResetKeepsPermanentRecordsOnlyWhenAskedAndDropsEmptyFolders) {
  auto doc = NewDoc(m_folder / "install.xml");
  ASSERT_TRUE(doc);
  CVFDLNode* install = doc->GetClassNode("install", 1);
  CVFDLNode* config = doc->GetClassNode("config", 1);
  AddRecord(*doc, config, {{"type", "register"}, {"key", "HKEY_CURRENT_USER\\C"}});
  CVFDLNode* p1 = AddRecord(*doc, install, {{"type", "register"}, {"key", "K1"}, {"permanent", "yes"}});
  AddRecord(*doc, install, {{"type", "register"}, {"key", "K2"}, {"permanent", "no"}});
  CVFDLNode* onlyTemporary = AddFolder(*doc, install, "a");
  AddRecord(*doc, onlyTemporary, {{"type", "register"}, {"key", "K3"}, {"permanent", "Yes"}});
  CVFDLNode* mixed = AddFolder(*doc, install, "b");
  CVFDLNode* p2 = AddRecord(*doc, AddFolder(*doc, mixed, "c"), {{"type", "register"}, {"key", "K4"}, {"permanent", "yes"}});
  CVFDLNode* file = AddRecord(*doc, mixed, {{"type", "file"}, {"file", "C:\\x.txt"}});
  CVFDLNode* empty = AddFolder(*doc, install, "empty");
  const std::string storage = m_folder / std::string(file->GetID());
  ASSERT_TRUE(CreateDirectoryA(storage.c_str(), nullptr));
  ASSERT_TRUE(WriteTextFile(storage + "\\x.txt", "x"));
  const CString p1Id = p1->GetID(), p2Id = p2->GetID(), mixedId = mixed->GetID();
  const CString temporaryId = onlyTemporary->GetID(), emptyId = empty->GetID();

  // Nodes other than folders and records are refused, and nothing goes.
  const int all = doc->GetNodeCount();
  EXPECT_EQ(doc->ResetSwap(doc->GetRootNode(), 0), 0);
  EXPECT_EQ(doc->GetNodeCount(), all);

  EXPECT_EQ(doc->ResetSwap(nullptr, 1), 1);
  std::vector<CVFDLNode*> left = RecordsOf(*doc, "install");
  ASSERT_EQ(left.size(), 2u);
  EXPECT_EQ(left[0]->GetID(), p1Id);
  EXPECT_EQ(left[1]->GetID(), p2Id);
  EXPECT_TRUE(doc->GetNodeByID(mixedId));
  EXPECT_EQ(doc->GetNodeByID(temporaryId), nullptr);
  EXPECT_EQ(doc->GetNodeByID(emptyId), nullptr);
  EXPECT_FALSE(FileExists(storage));  // the file record's copy went with it
  EXPECT_EQ(CountRecords(*doc, "config"), 1);
  // Saved as it went (auto-save is on).
  {
    auto reread = OpenDoc(m_folder / "install.xml");
    ASSERT_TRUE(reread);
    EXPECT_EQ(CountRecords(*reread, "install"), 2);
  }

  // Only permanent records left: keeping them changes nothing.
  const int kept = doc->GetNodeCount();
  EXPECT_EQ(doc->ResetSwap(nullptr, 1), 1);
  EXPECT_EQ(doc->GetNodeCount(), kept);
  // Without keeping, the class folder itself goes; "config" stays.
  EXPECT_EQ(doc->ResetSwap(nullptr, 0), 1);
  EXPECT_EQ(doc->GetClassNode("install", 0), nullptr);
  EXPECT_EQ(CountRecords(*doc, "config"), 1);
  // On a document without the class, the reset makes and removes it.
  EXPECT_EQ(doc->ResetSwap(nullptr, 0), 1);
  EXPECT_EQ(doc->GetClassNode("install", 0), nullptr);
}

TEST_F(SwapEngine, TheWriteBackFollowsTheRecordsTypeAndPassesOverWhatItCannotUse) {
  EnvGuard dir("VANTEL_SWAP_DIR", "C:\\vantel");
  const std::string sub = kEngine + "\\Restore";
  const std::string key = HkcuText(sub);
  auto doc = NewDoc(m_folder / "install.xml");
  ASSERT_TRUE(doc);
  CVFDLNode* install = doc->GetClassNode("install", 1);
  CVFDLNode* deeper = AddFolder(*doc, AddFolder(*doc, install, "x"), "y");
  const std::string binary("\x00\x01\xff\x00\x7f", 5);
  AddRecord(*doc, install, {{"type", "register"}, {"key", key + "\\bare"}, {"name", "v"}, {"regtype", "3"}, {"value", "AAEC"}});
  AddRecord(*doc, install, {{"type", "register"}, {"key", key}, {"name", "expand"}, {"regtype", "2"}, {"value", "%VANTEL_SWAP_DIR%\\x"}});
  AddRecord(*doc, install, {{"type", "register"}, {"key", key}, {"name", "relative"}, {"regtype", "2"}, {"value", "bin\\x.dll"}});
  AddRecord(*doc, install, {{"type", "register"}, {"key", key}, {"name", "number"}, {"regtype", "4"}, {"value", "12"}});
  AddRecord(*doc, install, {{"type", "register"}, {"key", key}, {"name", "minus"}, {"regtype", "4"}, {"value", "-2"}});
  AddRecord(*doc, install, {{"type", "register"}, {"key", key}, {"name", "text"}, {"regtype", "1"}, {"value", "%VANTEL_SWAP_DIR%"}});
  AddRecord(*doc, install, {{"type", "register"}, {"key", key}, {"name", "corrupt"}, {"regtype", "1"}, {"encode", "yes"}, {"value", "#not base64#"}});
  AddRecord(*doc, deeper, {{"type", "register"}, {"key", key}, {"name", ""}, {"regtype", "3"}, {"encode", "yes"}, {"value", Base64(binary)}});
  AddRecord(*doc, install, {{"type", "register"}, {"key", "HKEY_NOWHERE\\" + sub}, {"name", "lost"}, {"regtype", "1"}, {"value", "x"}});
  AddRecord(*doc, install, {{"type", "registry"}, {"key", key}, {"name", "unknown"}, {"regtype", "1"}, {"value", "x"}});
  AddRecord(*doc, install, {{"type", "register"}, {"key", key + "\\onlykey"}});
  AddRecord(*doc, install, {{"type", "register"}, {"key", key}, {"name", "multi"}, {"regtype", "7"}, {"encode", "yes"}, {"value", Base64(std::string("a\0b\0\0", 5))}});
  AddRecord(*doc, install, {{"type", "register"}, {"key", key}, {"name", "last"}, {"regtype", "1"}, {"value", "written"}});
  // The root walks nothing: only folders and records are written.
  EXPECT_EQ(doc->Restore(doc->GetRootNode()), 1);
  EXPECT_FALSE(HasKey(HKEY_CURRENT_USER, sub));

  EXPECT_EQ(doc->Restore(nullptr), 1);
  EXPECT_TRUE(HasKey(HKEY_CURRENT_USER, sub + "\\bare"));  // type 3 without "encode": only the key
  EXPECT_FALSE(HasValue(HKEY_CURRENT_USER, sub + "\\bare", "v"));
  EXPECT_TRUE(HasKey(HKEY_CURRENT_USER, sub + "\\onlykey"));
  DWORD type = 0;
  std::string bytes;
  ASSERT_TRUE(GetRaw(HKEY_CURRENT_USER, sub, "expand", &type, &bytes));
  EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
  EXPECT_EQ(bytes, Z("C:\\vantel\\x"));
  ASSERT_TRUE(GetRaw(HKEY_CURRENT_USER, sub, "relative", &type, &bytes));
  EXPECT_EQ(bytes, Z(m_folder / "bin\\x.dll"));
  ASSERT_TRUE(GetRaw(HKEY_CURRENT_USER, sub, "number", &type, &bytes));
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(bytes, std::string("\x0c\0\0\0", 4));
  ASSERT_TRUE(GetRaw(HKEY_CURRENT_USER, sub, "minus", &type, &bytes));
  EXPECT_EQ(bytes, std::string("\xfe\xff\xff\xff", 4));
  ASSERT_TRUE(GetRaw(HKEY_CURRENT_USER, sub, "text", &type, &bytes));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(bytes, Z("%VANTEL_SWAP_DIR%"));  // plain strings are written as they stand
  ASSERT_TRUE(GetRaw(HKEY_CURRENT_USER, sub, "", &type, &bytes));
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(bytes, binary);
  ASSERT_TRUE(GetRaw(HKEY_CURRENT_USER, sub, "multi", &type, &bytes));
  EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
  EXPECT_EQ(bytes, std::string("a\0b\0\0", 5));
  EXPECT_FALSE(HasValue(HKEY_CURRENT_USER, sub, "corrupt"));
  EXPECT_FALSE(HasValue(HKEY_CURRENT_USER, sub, "unknown"));
  EXPECT_EQ(TextOf(HKEY_CURRENT_USER, sub, "last"), "written");

  // What the capture records comes back byte for byte, terminating zero included, and a second
  // capture and write-back leaves it as it is.
  const RegSnapshot written = Snapshot(HKEY_CURRENT_USER, sub);
  for (int pass = 0; pass < 2; ++pass) {
    auto again = NewDoc(m_folder / ("again" + std::to_string(pass) + ".xml"));
    ASSERT_TRUE(again);
    AddRecord(*again, again->GetClassNode("config", 1), {{"type", "register"}, {"key", key}, {"name", "text"}});
    AddRecord(*again, again->GetClassNode("config", 1), {{"type", "register"}, {"key", key}, {"name", "expand"}});
    auto target = NewDoc(m_folder / ("target" + std::to_string(pass) + ".xml"));
    ASSERT_TRUE(target);
    again->InitSwap(nullptr, target.get());
    EXPECT_FALSE(HasValue(HKEY_CURRENT_USER, sub, "text"));
    EXPECT_EQ(Captured(ValueRecord(*target, key, "text")), Z("%VANTEL_SWAP_DIR%"));
    target->Restore(nullptr);
    EXPECT_EQ(Differences(written, Snapshot(HKEY_CURRENT_USER, sub)), "") << "pass " << pass;
  }
}

TEST_F(SwapEngine, ValuesAfterALibraryRecordLandInTheKeysItsRegistrationMadeAgain) {
  // The test server's registration deletes its class key and writes it again.
  const std::string classKey = "CLSID\\{5C0A2B61-7D3E-4F19-A8B2-3E6D9C1F0A41}";
  KeyCleanup cls(HKEY_CLASSES_ROOT, classKey);
  const std::string server = m_folder / "server.dll";
  ASSERT_TRUE(CopyFileA((BinFolder() + "\\sysreg_comserver.dll").c_str(), server.c_str(), FALSE));
  auto doc = NewDoc(m_folder / "install.xml");
  ASSERT_TRUE(doc);
  CVFDLNode* install = doc->GetClassNode("install", 1);
  const std::string key = "HKEY_CLASSES_ROOT\\" + classKey;
  AddRecord(*doc, install, {{"type", "register"}, {"key", key}, {"name", "Before"}, {"regtype", "1"}, {"value", "1"}});
  AddRecord(*doc, install, {{"type", "library"}, {"library", server}, {"guid", "{5C0A2B61-7D3E-4F19-A8B2-3E6D9C1F0A41}"}});
  AddRecord(*doc, install, {{"type", "register"}, {"key", key}, {"name", "After"}, {"regtype", "1"}, {"value", "2"}});
  EXPECT_EQ(doc->Restore(nullptr), 1);
  EXPECT_EQ(TextOf(HKEY_CLASSES_ROOT, classKey + "\\InprocServer32", ""), server);
  EXPECT_FALSE(HasValue(HKEY_CLASSES_ROOT, classKey, "Before"));  // the registration started afresh
  EXPECT_EQ(TextOf(HKEY_CLASSES_ROOT, classKey, "After"), "2");
}

TEST_F(SwapEngine, WalksStartAtTheirClassFolderAndTheRootIsNotAClass) {
  const std::string sub = kEngine + "\\Root";
  ASSERT_TRUE(SetText(HKEY_CURRENT_USER, sub, "v", "machine"));
  auto own = NewDoc(m_folder / "own.xml");
  auto target = NewDoc(m_folder / "target.xml");
  ASSERT_TRUE(own && target);
  // A register record of the "install" class names the same value; walking from the root
  // would take it for an item to clear.
  AddRecord(*own, own->GetClassNode("install", 1), {{"type", "register"}, {"key", HkcuText(sub)}, {"name", "v"}, {"regtype", "1"}, {"value", "tool"}});
  EXPECT_EQ(own->InitSwap(own->GetRootNode(), target.get()), 1);
  EXPECT_EQ(TextOf(HKEY_CURRENT_USER, sub, "v"), "machine");
  EXPECT_EQ(CountRecords(*target, "install"), 0);
  EXPECT_EQ(own->InitSwap(nullptr, target.get()), 1);  // an empty "config" class
  EXPECT_EQ(TextOf(HKEY_CURRENT_USER, sub, "v"), "machine");
  EXPECT_TRUE(own->GetClassNode("config", 0));
}

// ---- The tool package ------------------------------------------------------------------------

class ToolSwap : public ::testing::Test {
 protected:
  KeyCleanup m_keys{HKEY_CURRENT_USER, kEngine};
  ScratchTool m_tool{"pkg"};
};

TEST_F(ToolSwap, SwappingInTwiceCapturesWhatTheFirstSwapLeft) {
  const std::string sub = kEngine + "\\Twice";
  ASSERT_TRUE(SetText(HKEY_CURRENT_USER, sub, "v", "user"));
  {
    auto own = NewDoc(m_tool.MyDoc());
    ASSERT_TRUE(own);
    AddRecord(*own, own->GetClassNode("config", 1), {{"type", "register"}, {"key", HkcuText(sub)}, {"name", "v"}});
    AddRecord(*own, own->GetClassNode("install", 1), {{"type", "register"}, {"key", HkcuText(sub)}, {"name", "v"}, {"regtype", "1"}, {"value", "tool"}});
  }
  EXPECT_EQ(m_tool.BackupTool(), 1);
  EXPECT_EQ(TextOf(HKEY_CURRENT_USER, sub, "v"), "tool");
  {
    auto backup = OpenDoc(m_tool.BackDoc());
    ASSERT_TRUE(backup);
    EXPECT_EQ(Captured(ValueRecord(*backup, HkcuText(sub), "v")), Z("user"));
    EXPECT_EQ(CountRecords(*backup, "install"), 1);  // the tool's records were not copied along
  }
  EXPECT_EQ(m_tool.BackupTool(), 1);
  EXPECT_EQ(TextOf(HKEY_CURRENT_USER, sub, "v"), "tool");
  {
    auto backup = OpenDoc(m_tool.BackDoc());
    ASSERT_TRUE(backup);
    EXPECT_EQ(Captured(ValueRecord(*backup, HkcuText(sub), "v")), Z("tool"));
    EXPECT_EQ(CountRecords(*backup, "install"), 1);
  }
  // The second swap in replaced the record of the user's value: swapping out gives the tool's.
  EXPECT_EQ(m_tool.RestoreTool(), 1);
  EXPECT_EQ(TextOf(HKEY_CURRENT_USER, sub, "v"), "tool");
}

TEST_F(ToolSwap, SwappingOutKeepsPermanentRecordsAndTakesTheToolsStateBack) {
  const std::string sub = kEngine + "\\Permanent";
  const std::string key = HkcuText(sub);
  ASSERT_TRUE(SetText(HKEY_CURRENT_USER, sub, "p", "user p"));
  ASSERT_TRUE(SetText(HKEY_CURRENT_USER, sub, "t", "user t"));
  const RegSnapshot before = Snapshot(HKEY_CURRENT_USER, kEngine);
  {
    auto own = NewDoc(m_tool.MyDoc());
    ASSERT_TRUE(own);
    CVFDLNode* config = own->GetClassNode("config", 1);
    AddRecord(*own, config, {{"type", "register"}, {"key", key}, {"name", "p"}, {"permanent", "yes"}});
    AddRecord(*own, config, {{"type", "register"}, {"key", key}, {"name", "t"}});
    AddRecord(*own, config, {{"type", "register"}, {"key", key + "\\new"}});
    CVFDLNode* install = own->GetClassNode("install", 1);
    AddRecord(*own, install, {{"type", "register"}, {"key", key}, {"name", "p"}, {"regtype", "1"}, {"value", "tool p"}, {"permanent", "yes"}});
    AddRecord(*own, install, {{"type", "register"}, {"key", key}, {"name", "t"}, {"regtype", "1"}, {"value", "tool t"}});
  }
  ASSERT_EQ(m_tool.BackupTool(), 1);
  EXPECT_EQ(TextOf(HKEY_CURRENT_USER, sub, "p"), "tool p");
  EXPECT_EQ(TextOf(HKEY_CURRENT_USER, sub, "t"), "tool t");
  // The tool runs and changes its values.
  ASSERT_TRUE(SetText(HKEY_CURRENT_USER, sub, "p", "changed p"));
  ASSERT_TRUE(SetText(HKEY_CURRENT_USER, sub, "t", "changed t"));
  ASSERT_TRUE(SetText(HKEY_CURRENT_USER, sub + "\\new\\deep", "n", "made by the tool"));
  ASSERT_EQ(m_tool.RestoreTool(), 1);
  EXPECT_EQ(Differences(before, Snapshot(HKEY_CURRENT_USER, kEngine)), "");

  auto own = OpenDoc(m_tool.MyDoc());
  ASSERT_TRUE(own);
  CSysRegRec* p = ValueRecord(*own, key, "p");
  ASSERT_TRUE(p);
  EXPECT_EQ(p->GetPermanent(), 1);
  EXPECT_STREQ(p->GetValue(), "tool p");  // the permanent record stays as it was written
  EXPECT_EQ(Captured(ValueRecord(*own, key, "t")), Z("changed t"));
  EXPECT_EQ(Captured(ValueRecord(*own, key + "\\new\\deep", "n")), Z("made by the tool"));
  EXPECT_EQ(CountRecords(*own, "config"), 3);

  // The next swap in shows the tool's state again.
  ASSERT_EQ(m_tool.BackupTool(), 1);
  EXPECT_EQ(TextOf(HKEY_CURRENT_USER, sub, "p"), "tool p");
  EXPECT_EQ(TextOf(HKEY_CURRENT_USER, sub, "t"), "changed t");
  EXPECT_EQ(TextOf(HKEY_CURRENT_USER, sub + "\\new\\deep", "n"), "made by the tool");
  ASSERT_EQ(m_tool.RestoreTool(), 1);
  EXPECT_EQ(Differences(before, Snapshot(HKEY_CURRENT_USER, kEngine)), "");
}

TEST_F(ToolSwap, AMalformedDocumentStopsTheSwapBeforeAnythingChanges) {
  const std::string sub = kEngine + "\\Malformed";
  const std::string key = HkcuText(sub);
  ASSERT_TRUE(SetText(HKEY_CURRENT_USER, sub, "v", "user"));
  const RegSnapshot before = Snapshot(HKEY_CURRENT_USER, kEngine);
  // Records a lenient reader could still act on, cut off before the document ends.
  const std::string broken =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<vfdl version=\"1\">\r\n  <folder alias=\"config\">\r\n"
      "    <record><var name=\"type\">register</var><var name=\"key\">" + key + "</var></record>\r\n"
      "  </folder>\r\n  <folder alias=\"install\">\r\n    <record><var name=\"type\">register</var>"
      "<var name=\"key\">" + key + "</var><var name=\"name\">v</var><var name=\"regtype\">1</var>"
      "<var name=\"value\">tool</var></record>\r\n  </fold";
  for (const std::string& text : {broken, std::string("<html><body>not ours</body></html>"), std::string()}) {
    SCOPED_TRACE(text.substr(0, 40));
    ASSERT_TRUE(WriteTextFile(m_tool.MyDoc(), text));
    EXPECT_EQ(m_tool.GetSysRegDoc(m_tool.MyDoc().c_str()), nullptr);
    EXPECT_EQ(m_tool.BackupTool(), 0);
    EXPECT_EQ(Differences(before, Snapshot(HKEY_CURRENT_USER, kEngine)), "");
    EXPECT_EQ(ReadTextFile(m_tool.MyDoc()), text);
    EXPECT_EQ(m_tool.RestoreTool(), 0);
    EXPECT_EQ(Differences(before, Snapshot(HKEY_CURRENT_USER, kEngine)), "");
    EXPECT_EQ(ReadTextFile(m_tool.MyDoc()), text);
  }

  // A sound tool document with a broken Backup document: the swap out does nothing.
  DeleteFileA(m_tool.MyDoc().c_str());
  {
    auto own = NewDoc(m_tool.MyDoc());
    ASSERT_TRUE(own);
    AddRecord(*own, own->GetClassNode("config", 1), {{"type", "register"}, {"key", key}});
  }
  const std::string own = ReadTextFile(m_tool.MyDoc());
  ASSERT_TRUE(WriteTextFile(m_tool.BackDoc(), broken));
  EXPECT_EQ(m_tool.RestoreTool(), 0);
  EXPECT_EQ(Differences(before, Snapshot(HKEY_CURRENT_USER, kEngine)), "");
  EXPECT_EQ(ReadTextFile(m_tool.MyDoc()), own);
  EXPECT_EQ(ReadTextFile(m_tool.BackDoc()), broken);
}

TEST_F(ToolSwap, AToolWithoutADocumentGetsAnEmptyOneAndTheMachineStaysAsItIs) {
  ASSERT_TRUE(SetText(HKEY_CURRENT_USER, kEngine + "\\Any", "v", "user"));
  const RegSnapshot before = Snapshot(HKEY_CURRENT_USER, kEngine);
  ASSERT_FALSE(FileExists(m_tool.MyDoc()));
  EXPECT_EQ(m_tool.BackupTool(), 1);
  EXPECT_TRUE(FileExists(m_tool.MyDoc()));
  EXPECT_TRUE(OpenDoc(m_tool.BackDoc()));
  EXPECT_EQ(m_tool.RestoreTool(), 1);
  EXPECT_EQ(Differences(before, Snapshot(HKEY_CURRENT_USER, kEngine)), "");
}

TEST_F(ToolSwap, RecordsTheEngineCannotUseArePassedOverAndTheRestIsSwapped) {
  const std::string sub = kEngine + "\\Bad";
  const std::string key = HkcuText(sub);
  ASSERT_TRUE(SetText(HKEY_CURRENT_USER, sub + "\\unknown", "u", "user u"));
  ASSERT_TRUE(SetText(HKEY_CURRENT_USER, sub, "a", "user a"));
  ASSERT_TRUE(SetText(HKEY_CURRENT_USER, sub + "\\whole", "w", "user w"));
  const RegSnapshot before = Snapshot(HKEY_CURRENT_USER, kEngine);
  CString badRootId;
  {
    auto own = NewDoc(m_tool.MyDoc());
    ASSERT_TRUE(own);
    CVFDLNode* config = own->GetClassNode("config", 1);
    AddRecord(*own, config, {{"type", "registry"}, {"key", key + "\\unknown"}});
    badRootId = AddRecord(*own, config, {{"type", "register"}, {"key", "HKEY_NOWHERE\\" + sub}, {"replace", "none"}})->GetID();
    AddRecord(*own, config, {{"type", "service"}, {"name", ""}});
    AddRecord(*own, config, {{"type", "register"}, {"key", key}, {"name", "a"}});
    AddRecord(*own, config, {{"type", "register"}, {"key", key}, {"name", "x"}});
    AddRecord(*own, config, {{"type", "register"}, {"key", key + "\\whole"}});
    CVFDLNode* install = own->GetClassNode("install", 1);
    AddRecord(*own, install, {{"type", "register"}, {"key", key}, {"name", "x"}, {"regtype", "1"}, {"encode", "yes"}, {"value", "*corrupt*"}});
    AddRecord(*own, install, {{"type", "service"}, {"name", ""}, {"file", "C:\\none.exe"}});
    AddRecord(*own, install, {{"type", "register"}, {"key", key}, {"name", "a"}, {"regtype", "1"}, {"value", "tool a"}});
    AddRecord(*own, install, {{"type", "register"}, {"key", key + "\\whole"}, {"name", "y"}, {"regtype", "1"}, {"value", "tool y"}});
  }
  ASSERT_EQ(m_tool.BackupTool(), 1);
  EXPECT_EQ(TextOf(HKEY_CURRENT_USER, sub + "\\unknown", "u"), "user u");
  EXPECT_EQ(TextOf(HKEY_CURRENT_USER, sub, "a"), "tool a");
  EXPECT_FALSE(HasValue(HKEY_CURRENT_USER, sub, "x"));
  EXPECT_FALSE(HasValue(HKEY_CURRENT_USER, sub + "\\whole", "w"));
  EXPECT_EQ(TextOf(HKEY_CURRENT_USER, sub + "\\whole", "y"), "tool y");
  {
    auto backup = OpenDoc(m_tool.BackDoc());
    ASSERT_TRUE(backup);
    EXPECT_EQ(Captured(ValueRecord(*backup, key, "a")), Z("user a"));
    EXPECT_EQ(Captured(ValueRecord(*backup, key + "\\whole", "w")), Z("user w"));
    EXPECT_EQ(CountRecords(*backup, "install"), 3);  // a, the whole key and its value
    // A passed-over record under a protecting policy counts as left alone.
    EXPECT_EQ(backup->GetNodeByID(badRootId), nullptr);
    EXPECT_EQ(CountRecords(*backup, "config"), 5);
  }
  ASSERT_EQ(m_tool.RestoreTool(), 1);
  EXPECT_EQ(Differences(before, Snapshot(HKEY_CURRENT_USER, kEngine)), "");
}

}  // namespace
