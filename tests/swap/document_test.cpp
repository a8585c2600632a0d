// Registration records and documents: the record's attributes and vocabularies as a document
// spells them, paths relative to the document, and the variable lookup compared with a plain walk
// of randomly grown and shrunk documents.
#include "tests/support/processes.h"
#include "tests/support/registration_docs.h"

#include <gtest/gtest.h>


namespace {

using Record = CSysRegRec;

// One row: a record with these variables, then changed by set (if any); what read then answers
// and the text a variable then holds (if one is named).
struct RecordRow {
  Vars vars;
  void (*set)(Record&);
  int (Record::*read)() const;
  int reads;
  const char* variable;
  const char* text;
};

TEST(SysRegRecord, AttributesReadAndWriteAsTheDocumentSpellsThem) {
  const RecordRow rows[] = {
      {{}, nullptr, &Record::GetStart, -1, nullptr, nullptr},  // a service number not given
      {{}, nullptr, &Record::GetRegType, 0, nullptr, nullptr},
      {{{"error", "x"}}, nullptr, &Record::GetErrorControl, 0, nullptr, nullptr},  // given, but no number
      // "permanent" and "encode" are exactly "yes"; "url" is "yes" in any letter case.
      {{{"permanent", "Yes"}}, nullptr, &Record::GetPermanent, 0, nullptr, nullptr},
      {{{"encode", "YES"}}, nullptr, &Record::GetEncode, 0, nullptr, nullptr},
      {{{"url", "YES"}}, nullptr, &Record::GetURLProtocol, 1, nullptr, nullptr},
      {{}, [](Record& r) { r.SetPermanent(7); }, &Record::GetPermanent, 1, "permanent", "yes"},
      {{}, [](Record& r) { r.SetPermanent(0); }, &Record::GetPermanent, 0, "permanent", "no"},
      {{}, [](Record& r) { r.SetEncode(0); }, &Record::GetEncode, 0, "encode", ""},
      {{}, [](Record& r) { r.SetURLProtocol(0); }, &Record::GetURLProtocol, 0, "url", ""},
      // The vocabularies compare exactly; other words, and numbers outside them, are none and "always".
      {{{"type", "Register"}}, nullptr, &Record::GetType, 0, nullptr, nullptr},
      {{{"type", "file"}}, [](Record& r) { r.SetType(SYSREG_SERVICE + 1); }, &Record::GetType, 0, "type", ""},
      {{{"type", "file"}}, [](Record& r) { r.SetType(SYSREG_UNKNOWN); }, &Record::GetType, 0, "type", ""},
      {{{"replace", "None"}}, nullptr, &Record::GetReplace, 0, nullptr, nullptr},
      {{{"replace", "NEW"}}, nullptr, &Record::GetReplace, 0, nullptr, nullptr},
      {{}, [](Record& r) { r.SetReplace(REPLACE_ASK); }, &Record::GetReplace, REPLACE_ASK, "replace", "ask"},
      {{}, [](Record& r) { r.SetReplace(REPLACE_NEW + 1); }, &Record::GetReplace, 0, "replace", ""},
      {{}, [](Record& r) { r.SetReplace(REPLACE_ALWAYS - 1); }, &Record::GetReplace, 0, "replace", ""},
      {{{"type", "file"}, {"key", "K"}, {"name", ""}}, nullptr, &Record::IsSysKeyValue, 0, nullptr, nullptr},  // only registry values
      // Copies carry every variable.
      {{{"type", "register"}, {"key", "K"}, {"name", ""}}, [](Record& r) { Record copy(r); r = Record(); r = copy; },
       &Record::IsSysKeyValue, 1, "key", "K"},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    Record rec;
    for (const auto& v : rows[i].vars) rec.SetVarValue(v.first.c_str(), v.second.c_str());
    if (rows[i].set) rows[i].set(rec);
    EXPECT_EQ((rec.*rows[i].read)(), rows[i].reads) << "row " << i;
    const char* variable = rows[i].variable;
    EXPECT_TRUE(!variable || (rec.HasVar(variable) && rec.GetVarValue(variable) == rows[i].text)) << "row " << i;
    Record copy(rec);
    copy.SetVarValue("extra", "x");
    EXPECT_TRUE(Record(rec) == rec && copy != rec) << "row " << i;
  }
}

TEST(SysRegDoc, FullPathsExpandTheEnvironmentAndLieUnderTheDocumentFolder) {
  ScratchFolder folder("path");
  auto doc = NewDoc(folder / "install.xml");
  ASSERT_TRUE(doc && FileExists(folder / "install.xml")) << "a new document is saved at once";
  const std::string base = folder.path(), parent = base.substr(0, base.rfind('\\'));
  EnvGuard dir("VANTEL_SWAP_DIR", "C:\\vantel\\swap dir"), rel("VANTEL_SWAP_REL", "sub\\tool.dll");
  const struct {
    std::string path, full;
  } rows[] = {
      {"", ""}, {"C:\\", "C:\\"}, {"\\", "\\"},  // a root stays as it is
      {"..\\tool.exe", parent + "\\tool.exe"}, {"%VANTEL_SWAP_REL%", base + "\\sub\\tool.dll"},
      // Leading spaces and quotes become one quote: a quoted command line stays a command line.
      {"   tool.exe", "\"" + base + "\\tool.exe"}, {" \"\"tool.exe\" /open \"%1\"", "\"" + base + "\\tool.exe\" /open \"%1\""},
      {"\"%VANTEL_SWAP_DIR%\\a.exe\",1", "\"C:\\vantel\\swap dir\\a.exe\",1"},
  };
  for (const auto& row : rows) EXPECT_EQ(std::string(doc->GetFullPath(row.path.c_str())), row.full) << row.path;
  // A document without a file has no folder: relative paths stay relative.
  EXPECT_STREQ(CSysRegDoc().GetFullPath("bin\\tool.exe"), "bin\\tool.exe");
}

// ---- Lookups against a plain walk ---------------------------------------------------------------

const char* const kVarNames[] = {"type", "key", "name", "Name", "file", "x"};
const char* const kAliases[] = {"install", "config", "sub", "Install", ""};
const char* const kValues[] = {"register", "Register", "REGISTER", "file", "service", "", "HKEY_CURRENT_USER\\A",
                               "hkey_current_user\\a", "HKEY_CURRENT_USER\\A\\B", "v1", "V1", "a b",
                               // code page 936 characters, some followed by letters
                               "\xD6\xD0\xCE\xC4", "\xF6\xF0\xEE\xE4", "\xD6\xD0\xCE\xC4z", "\xB0\xA1" "A", "\xB0\xA1" "a"};

// The first record in document order at or below node whose named variables (absent ones read as
// empty) equal the values ignoring case.
CVFDLNode* PlainFind(CSysRegDoc& doc, CVFDLNode* node, const std::vector<std::string>& names, const std::vector<std::string>& values) {
  if (node && node->GetKind() == VFDL_KIND_REC) {
    for (size_t i = 0; i < names.size() && i < values.size(); ++i)
      if (Rec(node)->GetVarValue(names[i].c_str()).CompareNoCase(values[i].c_str()) != 0) return nullptr;
    return node;
  }
  for (CVFDLNode* c = node ? doc.GetFirstChild(node, true) : nullptr; c; c = doc.GetNextNode(c, true))
    if (CVFDLNode* found = PlainFind(doc, c, names, values)) return found;
  return nullptr;
}


// A document grown and shrunk by random steps.
class LookupModel : public Random {
 public:
  LookupModel(unsigned seed, const std::string& path) : Random(seed), m_path(path), m_doc(NewDoc(path)) {}
  CSysRegDoc& doc() { return *m_doc; }
  bool loaded() const { return m_doc != nullptr; }
  std::vector<CVFDLNode*> Nodes(WORD kind) {
    std::vector<CVFDLNode*> out;
    CPtrArray all;
    m_doc->BrowseNode(m_doc->GetRootNode(), all);
    for (int i = 0; i < all.GetSize(); ++i)
      if (static_cast<CVFDLNode*>(all[i])->GetKind() == kind) out.push_back(static_cast<CVFDLNode*>(all[i]));
    return out;
  }
  std::string Name() { return kVarNames[Pick(sizeof kVarNames / sizeof *kVarNames)]; }
  // Often a value some record holds, in another letter case, so that lookups find things.
  std::string Value() {
    const std::vector<CVFDLNode*> recs = Nodes(VFDL_KIND_REC);
    CVFVarArray vars;
    if (!recs.empty() && Chance(60)) Rec(Of(recs))->GetVarList(vars);
    if (vars.GetSize() == 0) return kValues[Pick(sizeof kValues / sizeof *kValues)];
    std::string v = vars[Pick(vars.GetSize())].m_strValue.c_str();
    for (char& c : v)
      if (Chance(30) && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) c ^= 0x20;
    return v;
  }
  void RandomVars(CSysRegRec& rec) {
    for (int n = Pick(5); n > 0; --n) rec.SetVarValue(Name().c_str(), Value().c_str());
  }

  std::string Step() {
    const int op = Pick(100);
    const std::vector<CVFDLNode*> recs = Nodes(VFDL_KIND_REC), folders = Nodes(VFDL_KIND_FOLDER);
    CVFDLNode* container = folders.empty() || Chance(15) ? m_doc->GetRootNode() : Of(folders);
    CSysRegRec rec;
    if (op < 35) {
      RandomVars(rec);
      m_doc->AddRec(container, &rec, 65535);
      return "add record";
    }
    if (op < 45) {
      AddFolder(*m_doc, Chance(50) ? m_doc->GetRootNode() : container, kAliases[Pick(5)]);
      return "add folder";
    }
    if (op < 68 && !recs.empty()) {  // one variable less, all new ones, or one set
      CVFDLNode* node = Of(recs);
      rec = *Rec(node);
      CVFVarArray vars;
      rec.GetVarList(vars);
      const int how = Pick(3);
      if (how == 0 && vars.GetSize() > 0) rec.RemoveVar(vars[Pick(vars.GetSize())].m_strName);
      if (how == 1) rec.SetVarList(CVFVarArray());
      if (how == 1) RandomVars(rec);
      if (how == 2) rec.SetVarValue(Name().c_str(), Value().c_str());
      m_doc->UpdateRec(node, &rec, 65535);
      return "update record";
    }
    if (op < 73 && !recs.empty()) {  // through the record's own setter, held by the document
      Rec(Of(recs))->SetVarValue(Name().c_str(), Value().c_str());
      return "set a variable in place";
    }
    if (op < 82 && !recs.empty()) {
      m_doc->DelRec(Of(recs), 65535);
      return "delete record";
    }
    if (op < 88 && !folders.empty()) {
      m_doc->DelFolder(Of(folders), 65535);
      return "delete folder";
    }
    if (op >= 94) return "nothing";
    EXPECT_EQ(m_doc->SaveXMLDoc(0), 1);
    if (Chance(50)) {
      m_doc = OpenDoc(m_path);
      return "save and load into a new document";
    }
    EXPECT_EQ(m_doc->LoadXMLDoc(m_path.c_str()), CXMLDoc::LOAD_DONE);
    EXPECT_EQ(m_doc->InitVFDLDoc(nullptr), 1);
    return "save and load again";
  }

  // Where a lookup starts: nowhere (the "install" class), the root, a folder or a record.
  CVFDLNode* Start(std::string* where) {
    const std::vector<CVFDLNode*> recs = Nodes(VFDL_KIND_REC), folders = Nodes(VFDL_KIND_FOLDER);
    const int which = Pick(10);
    if (which < 2) return *where = "no start", nullptr;
    if (which >= 4 && which < 7 && !folders.empty()) return *where = "a folder", Of(folders);
    if (which >= 7 && !recs.empty()) return *where = "a record", Of(recs);
    return *where = "the root", m_doc->GetRootNode();
  }

 private:
  std::string m_path;
  std::unique_ptr<CSysRegDoc> m_doc;
};

TEST(SysRegDoc, LookupsAgreeWithAPlainWalkOfChangingDocuments) {
  const unsigned base = BaseSeed();
  for (unsigned round = 0; round < 24; ++round) {
    SCOPED_TRACE("seed " + std::to_string(base + round) + " (set VANTEL_SWAP_SEED to replay)");
    ScratchFolder folder("lookup");
    LookupModel m(base + round, folder / "install.xml");
    for (int step = 0; step < 70; ++step) {
      const std::string op = m.Step();
      ASSERT_TRUE(m.loaded()) << op;
      SCOPED_TRACE("step " + std::to_string(step) + " after " + op);
      // Lookups by pairs of names and values (a longer side's extra entries are ignored).
      for (int q = 0; q < 4; ++q) {
        std::string where;
        CVFDLNode* start = m.Start(&where);
        std::vector<std::string> names, values;
        for (int i = m.Pick(4); i > 0; --i) {
          names.push_back(m.Name());
          values.push_back(m.Value());
        }
        if (m.Chance(10)) names.push_back(m.Name());
        if (m.Chance(10)) values.push_back(m.Value());
        CStringArray n, v;
        for (const auto& s : names) n.Add(s.c_str());
        for (const auto& s : values) v.Add(s.c_str());
        CVFDLNode* found = m.doc().FindNodeByVar(n, v, start);
        CVFDLNode* from = start ? start : m.doc().GetClassNode("install", 0);
        ASSERT_TRUE(from) << "a lookup without start leaves an install folder";
        CVFDLNode* expected = PlainFind(m.doc(), from, names, values);
        std::string pairs;
        for (size_t i = 0; i < names.size() || i < values.size(); ++i)
          pairs += (i < names.size() ? names[i] : "-") + "=\"" + (i < values.size() ? values[i] : "-") + "\" ";
        ASSERT_EQ(found, expected) << "from " << where << ": " << pairs << "found " << (found ? found->GetID().c_str() : "nothing")
                                   << ", expected " << (expected ? expected->GetID().c_str() : "nothing");
      }
    }
  }
}

}  // namespace
