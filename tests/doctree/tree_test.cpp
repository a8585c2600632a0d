// Changes of the tree and what callers rely on from them: copies, refusals, deletes and their
// hook, derived documents, paths and positions, settings keys, the settings hanging at a node.
#include "tests/doctree/doctree_support.h"

#include "tests/support/test_paths.h"

#include <string>
#include <vector>

namespace {

struct TrackedRec : CVFDLRec {
  static int alive;
  TrackedRec() { ++alive; }
  TrackedRec(const TrackedRec& o) : CVFDLRec(o) { ++alive; }
  ~TrackedRec() override { --alive; }
};
int TrackedRec::alive = 0;

// A derived document as the registration document is one: its own record type, and a record of
// every node given to DelLinkFile.
class TrackingDoc : public CVFDLDoc {
 public:
  std::vector<std::string> unlinked;
  int freed = 0;
  CVFDLRec* NewRecPointer() override { return new TrackedRec; }
  void DelRecPointer(void* item) override {
    ++freed;
    delete static_cast<TrackedRec*>(item);
  }
  int DelLinkFile(CVFDLNode* node) override {
    unlinked.push_back(Show(node->GetAlias()));
    return CVFDLDoc::DelLinkFile(node);
  }
};

class Tree : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(m_doc.NewXMLDoc((m_dir / "doc.xml").c_str(), 0, 0), 1);
    ASSERT_EQ(m_doc.InitVFDLDoc(nullptr), 1);
    m_doc.SetAutoSaveFlag(0);
  }
  CVFDLNode* Add(CVFDLNode* parent, const char* alias, bool folder) {
    CVFDLFolder f;
    CVFDLRec r;
    f.SetAlias(alias);
    r.SetAlias(alias);
    return m_doc.GetNodeByID(folder ? m_doc.AddFolder(parent, &f, 0xFFFF) : m_doc.AddRec(parent, &r, 0xFFFF));
  }
  ScratchFolder m_dir{"doctree"};
  TrackingDoc m_doc;
};

TEST_F(Tree, AddingCopiesAndRefusesImpossibleParents) {
  CVFDLRec rec;
  rec.SetVarValue("k", "v");
  CVFDLNode* node = m_doc.GetNodeByID(m_doc.AddRec(m_doc.GetRootNode(), &rec, 0xFFFF));
  ASSERT_NE(node, nullptr);
  EXPECT_NE(dynamic_cast<TrackedRec*>(node->GetData()), nullptr);  // made by the document's hook
  EXPECT_FALSE(node->GetCreateTime().IsEmpty());
  rec.SetVarValue("k", "changed later");
  EXPECT_EQ(Show(static_cast<CVFDLRec*>(node->GetData())->GetVarValue("k")), "v");

  CVFDLDoc other;
  other.NewXMLDoc((m_dir / "other.xml").c_str(), 0, 0);
  other.InitVFDLDoc(nullptr);
  CVFDLFolder folder;
  for (CVFDLNode* parent : {node, static_cast<CVFDLNode*>(nullptr), other.GetRootNode()}) {
    EXPECT_TRUE(m_doc.AddRec(parent, &rec, 0xFFFF).IsEmpty());
    EXPECT_TRUE(m_doc.AddFolder(parent, &folder, 0xFFFF).IsEmpty());
  }
  EXPECT_TRUE(m_doc.AddRec(m_doc.GetRootNode(), nullptr, 0xFFFF).IsEmpty());
  EXPECT_EQ(m_doc.GetNodeCount(), 2);
  EXPECT_EQ(m_doc.GetNodeByID("no such id"), nullptr);
}

TEST_F(Tree, UpdateKeepsIdentityAndFollowsTheAlias) {
  CVFDLNode* node = Add(m_doc.GetRootNode(), "old", false);
  CString id = node->GetID(), created = node->GetCreateTime();
  CVFDLRec replacement;
  replacement.SetAlias("new");
  replacement.SetVarValue("only", "this");
  EXPECT_EQ(m_doc.UpdateRec(node, &replacement, 0xFFFF), 1);
  EXPECT_EQ(Show(node->GetID()), Show(id));
  EXPECT_EQ(Show(node->GetCreateTime()), Show(created));
  EXPECT_EQ(m_doc.GetNode("afs:\\new"), node);
  EXPECT_EQ(m_doc.GetNode("afs:\\old"), nullptr);
  node->GetData()->SetAlias("direct");  // an item changed in place is found under its new alias
  EXPECT_EQ(m_doc.GetNode("afs:\\", "DIRECT"), node);
  EXPECT_EQ(m_doc.UpdateRec(m_doc.GetRootNode(), &replacement, 0xFFFF), 0);
}

TEST_F(Tree, DeletesRefuseTheWrongKindAndTellEveryNode) {
  CVFDLNode* top = Add(m_doc.GetRootNode(), "top", true);
  CVFDLNode* sub = Add(top, "sub", true);
  Add(top, "r1", false);
  Add(sub, "r2", false);
  CVFDLNode* keep = Add(m_doc.GetRootNode(), "keep", false);
  EXPECT_EQ(m_doc.DelRec(top, 0xFFFF), 0);
  EXPECT_EQ(m_doc.DelFolder(keep, 0xFFFF), 0);
  EXPECT_EQ(m_doc.DelFolder(m_doc.GetRootNode(), 0xFFFF), 0);
  EXPECT_EQ(m_doc.DelFolder(nullptr, 0xFFFF), 0);
  EXPECT_TRUE(m_doc.unlinked.empty());

  CString subId = sub->GetID();
  EXPECT_EQ(m_doc.DelFolder(top, 0xFFFF), 1);
  EXPECT_EQ(m_doc.unlinked, (std::vector<std::string>{"top", "sub", "r2", "r1"}));
  EXPECT_EQ(m_doc.freed, 2);
  EXPECT_EQ(m_doc.GetNodeByID(subId), nullptr);
  EXPECT_EQ(m_doc.GetNode("afs:\\top\\sub"), nullptr);
  EXPECT_EQ(m_doc.GetChildNum(m_doc.GetRootNode()), 1);
  EXPECT_EQ(m_doc.GetNodeCount(), 2);
  EXPECT_EQ(m_doc.DelRec(keep, 0xFFFF), 1);
  EXPECT_EQ(m_doc.unlinked.back(), "keep");
}

TEST_F(Tree, RecordsOfADerivedDocumentAreItsOwnFromFileToEnd) {
  Add(Add(m_doc.GetRootNode(), "f", true), "r", false);
  ASSERT_EQ(m_doc.SaveXMLDoc(0), 1);
  int before = TrackedRec::alive;
  {
    TrackingDoc loaded;
    ASSERT_EQ(loaded.LoadXMLDoc((m_dir / "doc.xml").c_str()), 4);
    ASSERT_EQ(loaded.InitVFDLDoc(nullptr), 1);
    EXPECT_NE(dynamic_cast<TrackedRec*>(loaded.GetNode("afs:\\f\\r")->GetData()), nullptr);
    EXPECT_EQ(TrackedRec::alive, before + 1);
  }
  EXPECT_EQ(TrackedRec::alive, before);
  m_doc.SetXMLDoc("<vfdl/>");  // replacing the content frees the old records through the hook
  EXPECT_EQ(m_doc.freed, 1);
}

TEST_F(Tree, PathsPositionsAndOrder) {
  CVFDLNode* config = Add(m_doc.GetRootNode(), "Config", true);
  CVFDLNode* first = Add(config, "dup", false);
  CVFDLNode* sub = Add(config, "sub", true);
  CVFDLNode* second = Add(config, "DUP", false);
  CVFDLNode* bare = Add(config, "", false);
  CVFDLNode* slash = Add(config, "a\\b", false);
  CVFDLNode* hash = Add(config, ("#" + Show(bare->GetID())).c_str(), false);

  EXPECT_EQ(m_doc.GetNode("AFS:\\config\\"), config);
  EXPECT_EQ(m_doc.GetNode("config\\\\SUB"), sub);
  EXPECT_EQ(m_doc.GetNode("afs:\\"), m_doc.GetRootNode());
  EXPECT_EQ(m_doc.GetNode(""), nullptr);
  EXPECT_EQ(m_doc.GetNode("afs:\\Config", "Dup"), first);
  EXPECT_EQ(m_doc.GetNode("afs:\\Config", ""), nullptr);
  EXPECT_EQ(m_doc.GetNode("afs:\\missing", "dup"), nullptr);
  // Every position leads back to its node, whether it is made of aliases or of IDs.
  for (CVFDLNode* n : {config, first, sub, second, bare, slash, hash}) EXPECT_EQ(m_doc.GetNode(n->GetPos()), n) << Show(n->GetPos());
  EXPECT_EQ(Show(second->GetPos()), "afs:\\Config\\#" + Show(second->GetID()));
  // "#" + ID names the child with that ID before a child whose alias happens to be that text.
  EXPECT_EQ(Show(bare->GetPos()), "afs:\\Config\\#" + Show(bare->GetID()));
  EXPECT_EQ(Show(hash->GetPos()), "afs:\\Config\\#" + Show(hash->GetID()));

  EXPECT_EQ(m_doc.GetFirstChild(config, false), sub);  // folders only
  EXPECT_EQ(m_doc.GetNextNode(sub, false), nullptr);
  EXPECT_EQ(m_doc.GetFirstChild(config, true), first);
  EXPECT_EQ(m_doc.GetNextNode(sub, true), second);
  m_doc.DelRec(first, 0xFFFF);
  EXPECT_EQ(m_doc.GetNode("afs:\\Config\\dup"), second);
  EXPECT_EQ(Show(second->GetPos()), "afs:\\Config\\DUP");
  Add(sub, "deep", false);
  CPtrArray all;
  all.Add(nullptr);  // appended after what is there
  EXPECT_EQ(m_doc.BrowseNode(m_doc.GetRootNode(), all), 7);
  EXPECT_EQ(all[1], config);
  EXPECT_EQ(Show(static_cast<CVFDLNode*>(all[3])->GetAlias()), "deep");
  EXPECT_EQ(m_doc.BrowseNode(second, all), 0);
}

TEST_F(Tree, LocalFoldersOfItems) {
  CVFDLNode* node = Add(m_doc.GetRootNode(), "r", false);
  EXPECT_EQ(Show(m_doc.GetLocalID(node->GetID())), Show(node->GetID()));
  EXPECT_EQ(Show(node->GetActualFilePos()), m_dir.path() + "\\" + Show(node->GetID()));
  EXPECT_EQ(Show(m_doc.GetActualFilePos(m_doc.GetRootNode())), m_dir.path());
  for (const char* bad : {"", "..\\x", "a b", "CON", "lpt1"}) EXPECT_TRUE(m_doc.GetLocalID(bad).IsEmpty()) << bad;
}

TEST_F(Tree, SettingsKeysAreRecordVariables) {
  CRegisterDoc reg;
  std::string path = m_dir / "Register.xml";
  ASSERT_EQ(reg.NewXMLDoc(path.c_str(), 0, 0), 1);
  ASSERT_EQ(reg.InitVFDLDoc(nullptr), 1);
  const CString display = "afs:\\Register\\Config\\App\\Tool\\Display";
  EXPECT_EQ(reg.SetKey(display, "Remote", "http://example.org/feed.xml"), 1);
  EXPECT_EQ(reg.GetNode(display)->GetKind(), VFDL_KIND_REC);
  EXPECT_EQ(reg.GetNode("afs:\\Register\\Config\\App\\Tool")->GetKind(), VFDL_KIND_FOLDER);
  CString value = "stale";
  EXPECT_EQ(reg.GetKey(display, "Absent", value), 0);
  EXPECT_TRUE(value.IsEmpty());
  EXPECT_EQ(reg.GetKey("afs:\\Register\\Config", "Remote", value), 0);
  EXPECT_EQ(reg.SetKey("afs:\\Register\\Config", "x", "1"), 0);  // a folder holds no values
  EXPECT_EQ(reg.SetKey(display + "\\Below", "x", "1"), 0);       // nothing below a record
  EXPECT_EQ(reg.SetKey("afs:\\#12345\\x", "x", "1"), 0);          // IDs are never made

  CVFDLRec tool;
  tool.SetAlias("demo");
  tool.SetVarValue("dataid", "demo.1");
  EXPECT_EQ(reg.SetNode(CP936_CATALOGUE, &tool, 0xFFFF), 1);
  tool.SetVarValue("version_now", "1.0");
  EXPECT_EQ(reg.SetNode(CP936_CATALOGUE, &tool, 0xFFFF), 1);  // same alias: replaced, not added
  CVFDLNode* catalogue = reg.GetNode(CP936_CATALOGUE);
  ASSERT_EQ(reg.GetChildNum(catalogue), 1);
  EXPECT_EQ(Show(reg.GetFirstChild(catalogue)->GetPos()), CP936_CATALOGUE "\\demo");
  EXPECT_EQ(reg.SetKey(reg.GetFirstChild(catalogue)->GetPos(), "transfer", "ok"), 1);

  CRegisterDoc reread;  // everything reached the file
  ASSERT_EQ(reread.LoadXMLDoc(path.c_str()), 4);
  ASSERT_EQ(reread.InitVFDLDoc(nullptr), 1);
  ASSERT_EQ(reread.GetKey(display, "Remote", value), 1);
  EXPECT_EQ(Show(value), "http://example.org/feed.xml");
  ASSERT_EQ(reread.GetKey(CP936_CATALOGUE "\\DEMO", "version_now", value), 1);
  EXPECT_EQ(Show(value), "1.0");
  ASSERT_EQ(reread.GetKey(CP936_CATALOGUE "\\demo", "transfer", value), 1);
  EXPECT_EQ(Show(value), "ok");
}

TEST_F(Tree, DoubleByteNamesAreNotCutAtTheirTrailByte) {
  if (GetACP() != 936) GTEST_SKIP() << "needs the ANSI code page 936 (the doctree_cp936 run)";
  CRegisterDoc reg;
  reg.NewXMLDoc((m_dir / "r.xml").c_str(), 0, 0);
  reg.InitVFDLDoc(nullptr);
  const char* name = "afs:\\x\x95\\\\y";  // 0x95 0x5C is one character whose second byte is "\"
  ASSERT_EQ(reg.SetKey(name, "v", "1"), 1);
  CVFDLNode* node = reg.GetNode(name);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(Show(node->GetAlias()), "y");
  EXPECT_EQ(Show(reg.GetParentNode(node)->GetAlias()), "x\x95\\");
  EXPECT_EQ(Show(node->GetPos()), name);
}

TEST_F(Tree, SettingsHangingAtANodeOfTheMainDocument) {
  std::string mainPath = m_dir / "main.xml";
  CString regId;
  {
    CACASDVFDLDoc main;
    ASSERT_EQ(main.NewXMLDoc(mainPath.c_str(), 0, 0), 1);
    ASSERT_EQ(main.InitVFDLDoc(nullptr), 1);
    CVFDLNode* node = main.GetRootNode();
    for (const CString& part : vfpath::Split(CP936_REGISTRY)) {
      CVFDLFolder f;
      f.SetAlias(part);
      node = main.GetNodeByID(main.AddFolder(node, &f, 0xFFFF));
    }
    regId = node->GetID();
    EXPECT_EQ(main.LoadExpandVFDLDoc(node, false), nullptr);
    CRegisterDoc* reg = main.LoadExpandVFDLDoc(node, true);
    ASSERT_NE(reg, nullptr);
    EXPECT_EQ(main.LoadExpandVFDLDoc(node, true), reg);
    EXPECT_EQ(main.LoadExpandVFDLDoc(node, false), reg);
    EXPECT_EQ(reg->GetNode(CP936_REGISTRY), reg->GetRootNode());
    EXPECT_EQ(reg->SetKey("afs:\\Config\\Basic\\Tool\\demo", "dataid", "x"), 0);  // outside its position
    ASSERT_EQ(reg->SetKey(CP936_CATALOGUE "\\demo", "dataid", "demo.1"), 1);
    CPtrArray tools;
    EXPECT_EQ(reg->BrowseNode(reg->GetNode(CP936_CATALOGUE), tools), 1);
    EXPECT_EQ(Show(static_cast<CVFDLNode*>(tools[0])->GetPos()), CP936_CATALOGUE "\\demo");
    EXPECT_TRUE(FileExists(m_dir / (Show(regId) + "\\Register.xml")));
  }
  CACASDVFDLDoc main;
  ASSERT_EQ(main.LoadXMLDoc(mainPath.c_str()), 4);
  ASSERT_EQ(main.InitVFDLDoc(nullptr), 1);
  CRegisterDoc* reg = main.LoadExpandVFDLDoc(main.GetNode(CP936_REGISTRY), true);
  ASSERT_NE(reg, nullptr);
  CString value;
  EXPECT_EQ(reg->GetKey(CP936_CATALOGUE "\\demo", "dataid", value), 1);
  EXPECT_EQ(Show(value), "demo.1");
  EXPECT_EQ(main.DelFolder(main.GetNodeByID(regId), 0xFFFF), 1);  // lets go of the hanging document
}

}  // namespace
