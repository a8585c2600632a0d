// Registration records and documents: the record's typed attributes, the vocabularies, paths
// relative to the document, class folders, storage folders, and the variable lookup compared
// with a plain walk of randomly grown and shrunk documents.
#include "tests/support/processes.h"
#include "tests/support/registration_docs.h"
#include "tests/support/registry.h"
#include "tests/support/services.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace {

TEST(SysRegRecord, AnEmptyRecordReadsNoKindAlwaysAndUnsetNumbers) {
  CSysRegRec rec;
  EXPECT_EQ(rec.GetType(), 0);
  EXPECT_EQ(rec.GetReplace(), 0);
  EXPECT_EQ(rec.GetPermanent(), 0);
  EXPECT_EQ(rec.GetEncode(), 0);
  EXPECT_EQ(rec.GetURLProtocol(), 0);
  EXPECT_EQ(rec.GetRegType(), 0);
  EXPECT_EQ(rec.GetTag(), 0);
  EXPECT_EQ(rec.GetSrvType(), -1);
  EXPECT_EQ(rec.GetStart(), -1);
  EXPECT_EQ(rec.GetErrorControl(), -1);
  EXPECT_EQ(rec.IsSysKeyValue(), 0);
  CVFVarArray vars;
  EXPECT_EQ(rec.GetVarList(vars), 0);  // reading adds nothing
}

TEST(SysRegRecord, FlagsAndWordsAreStoredAsTheDocumentSpellsThem) {
  CSysRegRec rec;
  // "permanent" and "encode" must be exactly "yes"; "url" may be any letter case.
  rec.SetVarValue("permanent", "Yes");
  rec.SetVarValue("encode", "YES");
  rec.SetVarValue("url", "YES");
  EXPECT_EQ(rec.GetPermanent(), 0);
  EXPECT_EQ(rec.GetEncode(), 0);
  EXPECT_EQ(rec.GetURLProtocol(), 1);
  rec.SetPermanent(7);
  rec.SetEncode(1);
  EXPECT_STREQ(rec.GetVarValue("permanent"), "yes");
  EXPECT_STREQ(rec.GetVarValue("encode"), "yes");
  EXPECT_EQ(rec.GetPermanent() + rec.GetEncode(), 2);
  rec.SetPermanent(0);
  rec.SetEncode(0);
  rec.SetURLProtocol(0);
  EXPECT_STREQ(rec.GetVarValue("permanent"), "no");
  EXPECT_STREQ(rec.GetVarValue("encode"), "");
  EXPECT_STREQ(rec.GetVarValue("url"), "");

  // Kinds outside 1 to 6 store no word and read back as none.
  for (int outside : {0, 7, -1}) {
    rec.SetType(3);
    rec.SetType(outside);
    EXPECT_TRUE(rec.HasVar("type"));
    EXPECT_STREQ(rec.GetVarValue("type"), "") << outside;
    EXPECT_EQ(rec.GetType(), 0) << outside;
  }
  const char* kinds[] = {"register", "library", "file", "association", "firewall", "service"};
  for (int t = 1; t <= 6; ++t) {
    rec.SetType(t);
    EXPECT_STREQ(rec.GetVarValue("type"), kinds[t - 1]);
    EXPECT_EQ(rec.GetType(), t);
  }
  rec.SetReplace(2);
  EXPECT_STREQ(rec.GetVarValue("replace"), "ask");
  EXPECT_EQ(rec.GetReplace(), 2);
  rec.SetReplace(3);
  EXPECT_STREQ(rec.GetVarValue("replace"), "new");
  rec.SetReplace(9);  // no word: reads as "always"
  EXPECT_STREQ(rec.GetVarValue("replace"), "");
  EXPECT_EQ(rec.GetReplace(), 0);

  // Numbers: decimal text; the service numbers keep -1 for "not given" apart from 0.
  rec.SetRegType(REG_EXPAND_SZ);
  rec.SetStart(0);
  rec.SetSrvType(-1);
  EXPECT_STREQ(rec.GetVarValue("regtype"), "2");
  EXPECT_EQ(rec.GetStart(), 0);
  EXPECT_STREQ(rec.GetVarValue("srvtype"), "-1");
  rec.SetVarValue("error", "x");  // not a number, but not empty
  rec.SetVarValue("tag", "x");
  EXPECT_EQ(rec.GetErrorControl(), 0);
  EXPECT_EQ(rec.GetTag(), 0);
}

TEST(SysRegRecord, ANameVariableEvenEmptyMakesAValueRecord) {
  CSysRegRec rec;
  rec.SetType(1);
  rec.SetKey("HKEY_CURRENT_USER\\Software\\X");
  EXPECT_EQ(rec.IsSysKeyValue(), 0);  // a whole key
  rec.SetName("");
  EXPECT_EQ(rec.IsSysKeyValue(), 1);  // the key's default value
  rec.RemoveVar("name");
  EXPECT_EQ(rec.IsSysKeyValue(), 0);
  rec.SetVarValue("Name", "v");  // variable names are exact
  EXPECT_EQ(rec.IsSysKeyValue(), 0);
  rec.SetName("v");
  rec.SetType(3);  // only register records stand for values
  EXPECT_EQ(rec.IsSysKeyValue(), 0);
  rec.SetType(1);
  rec.RemoveVar("key");
  EXPECT_EQ(rec.IsSysKeyValue(), 0);

  // Copies and comparisons carry every variable.
  rec.SetKey("K");
  CSysRegRec copy(rec);
  EXPECT_TRUE(copy == rec);
  EXPECT_STREQ(copy.GetVarValue("Name"), "v");
  copy.SetName("w");
  EXPECT_TRUE(copy != rec);
  copy = rec;
  EXPECT_TRUE(copy == rec);
}

TEST(SysRegDoc, VocabulariesCompareExactly) {
  EXPECT_EQ(CSysRegDoc::GetTypeValue("register"), 1);
  EXPECT_EQ(CSysRegDoc::GetTypeValue("service"), 6);
  for (const char* word : {"Register", "REGISTER", "", "register ", "registry"})
    EXPECT_EQ(CSysRegDoc::GetTypeValue(word), 0) << word;
  EXPECT_EQ(CSysRegDoc::GetReplaceValue("new"), 3);
  EXPECT_EQ(CSysRegDoc::GetReplaceValue("none"), 1);
  for (const char* word : {"NEW", "None", "", "ask ", "never"}) EXPECT_EQ(CSysRegDoc::GetReplaceValue(word), 0) << word;
  for (int t = 0; t <= 7; ++t)
    EXPECT_EQ(CSysRegDoc::GetTypeValue(CSysRegDoc::GetTypeString(t)), t >= 1 && t <= 6 ? t : 0) << t;
  for (int r = -1; r <= 4; ++r) {
    bool known = r >= 0 && r <= 3;
    EXPECT_EQ(CSysRegDoc::GetReplaceString(r).IsEmpty(), !known) << r;
    if (known) {
      EXPECT_EQ(CSysRegDoc::GetReplaceValue(CSysRegDoc::GetReplaceString(r)), r);
    }
  }
}

TEST(SysRegDoc, FullPathsExpandTheEnvironmentAndLieUnderTheDocumentFolder) {
  ScratchFolder folder("path");
  auto doc = NewDoc(folder / "install.xml");
  ASSERT_TRUE(doc);
  const std::string base = folder.path();
  EnvGuard dir("VANTEL_SWAP_DIR", "C:\\vantel\\swap dir");
  EnvGuard rel("VANTEL_SWAP_REL", "sub\\tool.dll");

  EXPECT_STREQ(doc->GetFullPath(""), "");
  EXPECT_STREQ(doc->GetFullPath("C:\\"), "C:\\");  // a root stays as it is
  EXPECT_STREQ(doc->GetFullPath("\\"), "\\");
  EXPECT_EQ(std::string(doc->GetFullPath("bin\\tool.exe")), base + "\\bin\\tool.exe");
  EXPECT_EQ(std::string(doc->GetFullPath("..\\tool.exe")), base.substr(0, base.rfind('\\')) + "\\tool.exe");
  EXPECT_STREQ(doc->GetFullPath("D:\\A\\b.exe"), "D:\\A\\b.exe");
  EXPECT_STREQ(doc->GetFullPath("%VANTEL_SWAP_DIR%\\a.dll"), "C:\\vantel\\swap dir\\a.dll");
  EXPECT_EQ(std::string(doc->GetFullPath("%VANTEL_SWAP_REL%")), base + "\\sub\\tool.dll");
  // Leading spaces and quotes become one quote; a quoted command line stays a command line.
  EXPECT_EQ(std::string(doc->GetFullPath("   tool.exe")), "\"" + base + "\\tool.exe");
  EXPECT_STREQ(doc->GetFullPath("\"D:\\A\\b.exe\" \"%1\""), "\"D:\\A\\b.exe\" \"%1\"");
  EXPECT_EQ(std::string(doc->GetFullPath(" \"\"tool.exe\" /open \"%1\"")), "\"" + base + "\\tool.exe\" /open \"%1\"");
  EXPECT_STREQ(doc->GetFullPath("\"%VANTEL_SWAP_DIR%\\a.exe\",1"), "\"C:\\vantel\\swap dir\\a.exe\",1");

  // A document without a file has no folder: relative paths stay relative.
  CSysRegDoc bare;
  EXPECT_STREQ(bare.GetFullPath("bin\\tool.exe"), "bin\\tool.exe");
}

TEST(SysRegDoc, ANewDocumentStartsFromTheResourceTextAndClassFoldersAreMadeOnce) {
  ScratchFolder folder("class");
  const std::string path = folder / "install.xml";
  {
    auto doc = NewDoc(path);
    ASSERT_TRUE(doc);
    ASSERT_TRUE(FileExists(path));  // saved at once
    CVFDLNode* root = doc->GetRootNode();
    ASSERT_TRUE(root);
    EXPECT_EQ(doc->GetChildNum(root), 0);
    EXPECT_EQ(doc->GetClassNode("config", 0), nullptr);
    EXPECT_EQ(doc->GetChildNum(root), 0);  // asking does not add
    CVFDLNode* config = doc->GetClassNode("config", 1);
    ASSERT_TRUE(config);
    EXPECT_EQ(config->GetKind(), VFDL_KIND_FOLDER);
    EXPECT_STREQ(config->GetAlias(), "config");
    EXPECT_EQ(doc->GetClassNode("config", 1), config);
    EXPECT_EQ(doc->GetClassNode("config", 0), config);
    EXPECT_EQ(doc->GetClassNode("CONFIG", 1), config);  // aliases match ignoring case
    EXPECT_EQ(doc->GetChildNum(root), 1);
    CVFDLNode* install = doc->GetClassNode("install", 1);
    ASSERT_TRUE(install);
    EXPECT_NE(install, config);
    EXPECT_EQ(doc->GetChildNum(root), 2);
  }
  auto again = OpenDoc(path);  // auto-save kept the folders
  ASSERT_TRUE(again);
  EXPECT_EQ(again->GetChildNum(again->GetRootNode()), 2);
  CVFDLNode* config = again->GetClassNode("config", 0);
  ASSERT_TRUE(config);
  EXPECT_EQ(again->GetClassNode("config", 1), config);
  EXPECT_EQ(again->GetChildNum(again->GetRootNode()), 2);
}

TEST(SysRegDoc, ALookupWithoutStartOnADocumentWithoutInstallMakesTheFolderEmpty) {
  ScratchFolder folder("find");
  auto doc = NewDoc(folder / "install.xml");
  ASSERT_TRUE(doc);
  CVFDLNode* config = doc->GetClassNode("config", 1);
  AddRecord(*doc, config, {{"type", "register"}, {"key", "HKEY_CURRENT_USER\\A"}});
  CStringArray names, values;
  names.Add("type");
  values.Add("register");
  EXPECT_EQ(doc->FindNodeByVar(names, values, nullptr), nullptr);  // the config record is not searched
  CVFDLNode* install = doc->GetClassNode("install", 0);
  ASSERT_TRUE(install);
  EXPECT_EQ(doc->GetChildNum(install), 0);
  EXPECT_EQ(doc->FindNodeByVar(1, "key", "hkey_current_user\\a", nullptr), nullptr);
  EXPECT_EQ(doc->FindNodeByVar(1, "key", "hkey_current_user\\a", config), doc->GetFirstChild(config));
  EXPECT_EQ(doc->GetChildNum(doc->GetRootNode()), 2);
}

TEST(SysRegDoc, AFileRecordTakesItsStorageFolderWithIt) {
  ScratchFolder folder("link");
  auto doc = NewDoc(folder / "install.xml");
  ASSERT_TRUE(doc);
  CVFDLNode* install = doc->GetClassNode("install", 1);
  CVFDLNode* sub = AddFolder(*doc, install, "sub");
  CVFDLNode* file = AddRecord(*doc, install, {{"type", "file"}, {"file", "C:\\x\\a.txt"}});
  CVFDLNode* reg = AddRecord(*doc, install, {{"type", "register"}, {"key", "HKEY_CURRENT_USER\\A"}});
  CVFDLNode* deep = AddRecord(*doc, sub, {{"type", "file"}, {"file", "C:\\x\\b.txt"}});
  ASSERT_TRUE(file && reg && deep);
  auto storage = [&](CVFDLNode* n) { return folder / std::string(n->GetID()); };
  for (CVFDLNode* n : {file, reg, deep}) {
    ASSERT_TRUE(CreateDirectoryA(storage(n).c_str(), nullptr));
    WriteTextFile(storage(n) + "\\content", "x");
  }
  const std::string fileStore = storage(file), regStore = storage(reg), deepStore = storage(deep);
  EXPECT_EQ(doc->DelRec(file, 65535), 1);
  EXPECT_FALSE(FileExists(fileStore));
  EXPECT_EQ(doc->DelRec(reg, 65535), 1);
  EXPECT_TRUE(FileExists(regStore + "\\content"));  // only file records own a folder
  EXPECT_EQ(doc->DelFolder(sub, 65535), 1);
  EXPECT_FALSE(FileExists(deepStore));
}

// ---- The lookup against a plain walk -----------------------------------------------------------

const char* const kTypeWords[] = {"", "register", "library", "file", "association", "firewall", "service", ""};
const char* const kVarNames[] = {"type", "key", "name", "Name", "file", "x"};
const char* const kValues[] = {"register",
                               "Register",
                               "REGISTER",
                               "file",
                               "service",
                               "",
                               "HKEY_CURRENT_USER\\A",
                               "hkey_current_user\\a",
                               "HKEY_CURRENT_USER\\A\\B",
                               "v1",
                               "V1",
                               "\xD6\xD0\xCE\xC4",
                               "\xF6\xF0\xEE\xE4",
                               "\xD6\xD0\xCE\xC4z",
                               "\xB0\xA1" "A",
                               "\xB0\xA1" "a",
                               "a b"};

// The first record in document order at or below node whose named variables (absent ones
// read as empty) equal the values ignoring case.
CVFDLNode* PlainFind(CSysRegDoc& doc, CVFDLNode* node, const std::vector<std::string>& names,
                     const std::vector<std::string>& values) {
  if (!node) return nullptr;
  WORD kind = node->GetKind();
  if (kind == VFDL_KIND_REC) {
    for (size_t i = 0; i < names.size() && i < values.size(); ++i)
      if (Rec(node)->GetVarValue(names[i].c_str()).CompareNoCase(values[i].c_str()) != 0) return nullptr;
    return node;
  }
  if (kind != VFDL_KIND_FOLDER && kind != VFDL_KIND_ROOT) return nullptr;
  for (CVFDLNode* c = doc.GetFirstChild(node, true); c; c = doc.GetNextNode(c, true))
    if (CVFDLNode* found = PlainFind(doc, c, names, values)) return found;
  return nullptr;
}

class LookupModel {
 public:
  LookupModel(unsigned seed, const std::string& path) : m_rng(seed), m_path(path) {}

  std::unique_ptr<CSysRegDoc>& doc() { return m_doc; }
  int Pick(int n) { return n <= 0 ? 0 : static_cast<int>(m_rng() % static_cast<unsigned>(n)); }
  bool Chance(int percent) { return Pick(100) < percent; }

  std::vector<CVFDLNode*> Nodes(WORD kind) {
    std::vector<CVFDLNode*> out;
    CPtrArray all;
    m_doc->BrowseNode(m_doc->GetRootNode(), all);
    for (int i = 0; i < all.GetSize(); ++i)
      if (static_cast<CVFDLNode*>(all[i])->GetKind() == kind) out.push_back(static_cast<CVFDLNode*>(all[i]));
    return out;
  }
  CVFDLNode* Container() {
    std::vector<CVFDLNode*> folders = Nodes(VFDL_KIND_FOLDER);
    if (folders.empty() || Chance(15)) return m_doc->GetRootNode();
    return folders[Pick(static_cast<int>(folders.size()))];
  }
  std::string Value() {
    // Often a value some record holds, in another letter case, so that lookups find things.
    std::vector<CVFDLNode*> recs = Nodes(VFDL_KIND_REC);
    if (!recs.empty() && Chance(60)) {
      CVFVarArray vars;
      Rec(recs[Pick(static_cast<int>(recs.size()))])->GetVarList(vars);
      if (vars.GetSize() > 0) {
        std::string v = vars[Pick(vars.GetSize())].m_strValue.c_str();
        for (char& c : v)
          if (Chance(30) && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) c ^= 0x20;
        return v;
      }
    }
    return kValues[Pick(sizeof kValues / sizeof *kValues)];
  }
  std::string Name() { return kVarNames[Pick(sizeof kVarNames / sizeof *kVarNames)]; }
  void RandomVars(CSysRegRec& rec) {
    for (int n = Pick(5); n > 0; --n) rec.SetVarValue(Name().c_str(), Value().c_str());
  }

  std::string Step() {
    int op = Pick(100);
    std::vector<CVFDLNode*> recs = Nodes(VFDL_KIND_REC);
    std::vector<CVFDLNode*> folders = Nodes(VFDL_KIND_FOLDER);
    if (op < 35) {
      CSysRegRec rec;
      RandomVars(rec);
      CVFDLNode* parent = Container();
      m_doc->AddRec(parent, &rec, 65535);
      return "add record";
    }
    if (op < 45) {
      CVFDLNode* parent = Chance(50) ? m_doc->GetRootNode() : Container();
      const char* aliases[] = {"install", "config", "sub", "Install", ""};
      AddFolder(*m_doc, parent, aliases[Pick(5)]);
      return "add folder";
    }
    if (op < 68 && !recs.empty()) {
      CVFDLNode* node = recs[Pick(static_cast<int>(recs.size()))];
      CSysRegRec copy(*Rec(node));
      CVFVarArray vars;
      copy.GetVarList(vars);
      int how = Pick(3);
      if (how == 0 && vars.GetSize() > 0) {
        copy.RemoveVar(vars[Pick(vars.GetSize())].m_strName);
      } else if (how == 1) {
        copy.SetVarList(CVFVarArray());
        RandomVars(copy);
      } else {
        copy.SetVarValue(Name().c_str(), Value().c_str());
      }
      m_doc->UpdateRec(node, &copy, 65535);
      return "update record";
    }
    if (op < 82 && !recs.empty()) {
      m_doc->DelRec(recs[Pick(static_cast<int>(recs.size()))], 65535);
      return "delete record";
    }
    if (op < 88 && !folders.empty()) {
      m_doc->DelFolder(folders[Pick(static_cast<int>(folders.size()))], 65535);
      return "delete folder";
    }
    if (op < 94) {
      EXPECT_EQ(m_doc->SaveXMLDoc(0), 1);
      if (Chance(50)) {
        m_doc = OpenDoc(m_path);  // a new document object
      } else {
        EXPECT_EQ(m_doc->LoadXMLDoc(m_path.c_str()), CXMLDoc::LOAD_DONE);  // the same object again
        EXPECT_EQ(m_doc->InitVFDLDoc(nullptr), 1);
      }
      return "save and reload";
    }
    return "nothing";
  }

  CVFDLNode* Start(std::string* what) {
    std::vector<CVFDLNode*> recs = Nodes(VFDL_KIND_REC);
    std::vector<CVFDLNode*> folders = Nodes(VFDL_KIND_FOLDER);
    int which = Pick(10);
    if (which < 2) return *what = "no start", nullptr;
    if (which < 4) return *what = "root", m_doc->GetRootNode();
    if (which < 7 && !folders.empty()) return *what = "a folder", folders[Pick(static_cast<int>(folders.size()))];
    if (!recs.empty()) return *what = "a record", recs[Pick(static_cast<int>(recs.size()))];
    return *what = "root", m_doc->GetRootNode();
  }

 private:
  std::mt19937 m_rng;
  std::string m_path;
  std::unique_ptr<CSysRegDoc> m_doc;
};

std::string Show(const std::vector<std::string>& names, const std::vector<std::string>& values) {
  std::ostringstream s;
  for (size_t i = 0; i < names.size() || i < values.size(); ++i)
    s << (i < names.size() ? names[i] : "-") << "=\"" << (i < values.size() ? values[i] : "-") << "\" ";
  return s.str();
}

TEST(SysRegDoc, LookupsAgreeWithAPlainWalkOfChangingDocuments) {
  const unsigned base = BaseSeed();
  for (unsigned round = 0; round < 24; ++round) {
    const unsigned seed = base + round;
    SCOPED_TRACE("seed " + std::to_string(seed) + " (set VANTEL_SWAP_SEED to replay)");
    ScratchFolder folder("lookup");
    LookupModel m(seed, folder / "install.xml");
    m.doc() = NewDoc(folder / "install.xml");
    ASSERT_TRUE(m.doc());
    m.doc()->SetAutoSaveFlag(0);
    for (int step = 0; step < 70; ++step) {
      std::string op = m.Step();
      ASSERT_TRUE(m.doc()) << op;
      for (int q = 0; q < 4; ++q) {
        std::string where;
        CVFDLNode* start = m.Start(&where);
        std::vector<std::string> names, values;
        CStringArray n, v;
        int pairs = m.Pick(4);
        for (int i = 0; i < pairs; ++i) {
          names.push_back(m.Name());
          values.push_back(m.Value());
        }
        if (m.Chance(10)) names.push_back(m.Name());  // one side longer: the extra entry is ignored
        if (m.Chance(10)) values.push_back(m.Value());
        for (const auto& s : names) n.Add(s.c_str());
        for (const auto& s : values) v.Add(s.c_str());
        CVFDLNode* found = m.doc()->FindNodeByVar(n, v, start);
        CVFDLNode* from = start ? start : m.doc()->GetClassNode("install", 0);
        ASSERT_TRUE(from) << "a lookup without start leaves an install folder";
        CVFDLNode* expected = PlainFind(*m.doc(), from, names, values);
        ASSERT_EQ(found, expected) << "step " << step << " after " << op << ", from " << where << ": "
                                   << Show(names, values) << " found "
                                   << (found ? std::string(found->GetID()) : "nothing") << ", expected "
                                   << (expected ? std::string(expected->GetID()) : "nothing");

        int type = m.Pick(8);
        std::string name = m.Name(), value = m.Value();
        start = m.Start(&where);
        found = m.doc()->FindNodeByVar(type, name.c_str(), value.c_str(), start);
        from = start ? start : m.doc()->GetClassNode("install", 0);
        expected = PlainFind(*m.doc(), from, {name, "type"}, {value, kTypeWords[type]});
        ASSERT_EQ(found, expected) << "step " << step << " after " << op << ", from " << where << ": type "
                                   << type << " " << name << "=\"" << value << "\" found "
                                   << (found ? std::string(found->GetID()) : "nothing") << ", expected "
                                   << (expected ? std::string(expected->GetID()) : "nothing");
      }
    }
  }
}

}  // namespace
