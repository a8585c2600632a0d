// What is written reads back unchanged: random trees, a large document, hand-written documents;
// and the indexed lookups agree with a plain walk of the tree.
#include "tests/doctree/doctree_support.h"

#include "tests/support/test_paths.h"

#include <cstdlib>
#include <ctime>
#include <iostream>
#include <string>
#include <vector>

namespace {

// The seed of the random trees: VANTEL_SEED when set (to repeat a run), else the time.
unsigned Seed() {
  static const unsigned seed =
      getenv("VANTEL_SEED") ? static_cast<unsigned>(strtoul(getenv("VANTEL_SEED"), nullptr, 10)) : static_cast<unsigned>(time(nullptr));
  return seed;
}

void Load(CVFDLDoc& doc, const std::string& path) {
  ASSERT_EQ(doc.LoadXMLDoc(path.c_str()), 4);
  ASSERT_EQ(doc.InitVFDLDoc(nullptr), 1);
}

TEST(RoundTrip, RandomTreesReadBackUnchanged) {
  ScratchFolder dir("doctree");
  for (unsigned run = 0; run < 4; ++run) {
    std::mt19937 rng(Seed() + run);
    std::cout << "random tree seed " << Seed() + run << " (VANTEL_SEED repeats a run)\n";
    std::string path = dir / ("r" + std::to_string(run) + ".xml");
    CVFDLDoc doc;
    ASSERT_EQ(doc.NewXMLDoc(path.c_str(), 0, 0), 1);
    ASSERT_EQ(doc.InitVFDLDoc(nullptr), 1);
    doc.SetAutoSaveFlag(0);
    doc.GetRootNode()->GetData()->SetSubject(RandomText(rng));
    GrowRandomTree(doc, rng, 250);
    ASSERT_EQ(doc.SaveXMLDoc(0), 1);

    CVFDLDoc loaded;
    Load(loaded, path);
    EXPECT_EQ(Describe(doc, doc.GetRootNode()), Describe(loaded, loaded.GetRootNode()));
    // Saved again, the file is the same: IDs, times and texts are stable.
    std::string first = ReadTextFile(path);
    ASSERT_EQ(loaded.SaveXMLDoc(0), 1);
    EXPECT_EQ(ReadTextFile(path), first) << "seed " << Seed() + run;
  }
}

// Every kind of character a field may hold, in every field that is written as an attribute and
// in every one written as element text: markup characters and quotes, CR, LF, tab, control
// characters, characters of code page 936 (other characters in other code pages), a lead byte
// without its trail byte. What XML carries is written plain (MSXML escapes it), the rest in
// Base64; either way it reads back byte for byte.
TEST(RoundTrip, EveryKindOfCharacterInEveryField) {
  ScratchFolder dir("doctree");
  const std::string path = dir / "chars.xml";
  const std::vector<std::string> texts = {
      "<", ">", "&", "\"", "'", "<&>\"'", "]]>", "&amp;", "&#13;", "<!-- x -->", "a=\"b\"", "  both ends  ",
      "tab\there", "line\nfeed", "cr\rhere", "cr\r\nlf", "\n", "\t", "\r", "ctl\x01", "\x1F", "del\x7F", "\x0B\x0C",
      "\xD6\xD0\xCE\xC4", "\xD7\xA2\xB2\xE1\xB1\xED <&> \"\xB0\xA1\"", "\xB0", "x\xB0", "\xA1\xA1\t\n\xA1\xA1",
      "HKEY_CURRENT_USER\\Software\\A&B <x>", "\x80\xFF"};
  CVFDLDoc doc;
  ASSERT_EQ(doc.NewXMLDoc(path.c_str(), 0, 0), 1);
  ASSERT_EQ(doc.InitVFDLDoc(nullptr), 1);
  doc.SetAutoSaveFlag(0);
  CVFDLFolder folder;
  folder.SetAlias("f");
  CVFDLNode* parent = doc.GetNodeByID(doc.AddFolder(doc.GetRootNode(), &folder, 0xFFFF));
  for (const std::string& t : texts) {
    const CString text(t.c_str());
    CVFDLRec rec;
    rec.SetAlias(text);
    rec.SetName(text);
    rec.SetSubject(text);
    rec.SetAbstract(text);
    rec.SetVarValue(text, text);
    rec.SetVarValue("plain", text);
    CVFPageArray pages;
    pages.Add(CVFPage{text, text, text});
    rec.SetPageList(pages);
    ASSERT_FALSE(doc.AddRec(parent, &rec, 0xFFFF).IsEmpty());
    folder.SetAlias(text);
    folder.SetSubject(text);
    ASSERT_FALSE(doc.AddFolder(parent, &folder, 0xFFFF).IsEmpty());
  }
  ASSERT_EQ(doc.SaveXMLDoc(0), 1);
  CVFDLDoc loaded;
  Load(loaded, path);
  EXPECT_EQ(Describe(loaded, loaded.GetRootNode()), Describe(doc, doc.GetRootNode()));
  const std::string file = ReadTextFile(path);
  ASSERT_EQ(loaded.SaveXMLDoc(0), 1);
  EXPECT_EQ(ReadTextFile(path), file);

  // Markup went in plain, escaped; the texts XML cannot carry went in Base64.
  EXPECT_NE(file.find("alias=\"&lt;&amp;&gt;&quot;'\""), std::string::npos);
  EXPECT_NE(file.find("<subject>&lt;&amp;&gt;\"'</subject>"), std::string::npos);
  EXPECT_NE(file.find("alias-base64=\"dGFiCWhlcmU=\""), std::string::npos);  // "tab\there"
  EXPECT_NE(file.find("<subject>tab\there</subject>"), std::string::npos);
  EXPECT_NE(file.find("<subject encoding=\"base64\">Y3RsAQ==</subject>"), std::string::npos);  // "ctl\x01"
  if (GetACP() == 936) {  // 中文 in UTF-8
    EXPECT_NE(file.find("alias=\"\xE4\xB8\xAD\xE6\x96\x87\""), std::string::npos);
  }
}

TEST(HandWritten, NewIdsCountOnFromNextId) {
  ScratchFolder dir("doctree");
  std::string path = dir / "n.xml";
  WriteTextFile(path, "<vfdl nextid=\"50\"><record id=\"7\"/><folder id=\"12\"/></vfdl>");
  CVFDLDoc doc;
  Load(doc, path);
  CVFDLRec rec;
  EXPECT_EQ(Show(doc.AddRec(doc.GetRootNode(), &rec, 0xFFFF)), "50");
  ASSERT_EQ(doc.SaveXMLDoc(0), 1);
  EXPECT_NE(ReadTextFile(path).find("nextid=\"51\""), std::string::npos);
  WriteTextFile(path, "<vfdl nextid=\"5\"><record id=\"7\"/></vfdl>");  // IDs of the file win over a low nextid
  CVFDLDoc low;
  Load(low, path);
  EXPECT_EQ(Show(low.AddRec(low.GetRootNode(), &rec, 0xFFFF)), "8");
}

// The first child, in order, whose alias folds to the same key: found by walking.
CVFDLNode* WalkForAlias(CVFTree& tree, CVFDLNode* parent, const CString& alias) {
  for (CVFDLNode* c = tree.GetFirstChild(parent); c; c = tree.GetNextNode(c))
    if (!alias.IsEmpty() && vfpath::Fold(c->GetAlias()) == vfpath::Fold(alias)) return c;
  return nullptr;
}

void ExpectLookupsAgreeWithWalk(CVFTree& tree) {
  CPtrArray all;
  all.Add(tree.GetRootNode());
  tree.BrowseNode(tree.GetRootNode(), all);
  ASSERT_EQ(all.GetSize(), tree.GetNodeCount());
  for (int i = 0; i < all.GetSize(); ++i) {
    auto* node = static_cast<CVFDLNode*>(all[i]);
    EXPECT_EQ(tree.GetNodeByID(node->GetID()), node);
    EXPECT_EQ(tree.GetNode(node->GetPos()), node) << Show(node->GetPos());
    for (CVFDLNode* c = tree.GetFirstChild(node); c; c = tree.GetNextNode(c)) {
      EXPECT_EQ(tree.GetNode(node->GetPos(), c->GetAlias()), WalkForAlias(tree, node, c->GetAlias()));
      EXPECT_EQ(tree.GetNode(node->GetPos(), c->GetAlias() + "x"), WalkForAlias(tree, node, c->GetAlias() + "x"));
    }
  }
  EXPECT_EQ(tree.GetNodeByID("999999999"), nullptr);
}

TEST(RoundTrip, LookupsAgreeWithAWalkThroughChanges) {
  ScratchFolder dir("doctree");
  std::mt19937 rng(Seed());
  std::cout << "lookup seed " << Seed() << "\n";
  CVFDLDoc doc;
  ASSERT_EQ(doc.NewXMLDoc((dir / "l.xml").c_str(), 0, 0), 1);
  doc.InitVFDLDoc(nullptr);
  doc.SetAutoSaveFlag(0);
  GrowRandomTree(doc, rng, 300);
  for (int round = 0; round < 3; ++round) {
    CPtrArray all;
    doc.BrowseNode(doc.GetRootNode(), all);
    std::vector<CString> ids;
    for (int i = 0; i < all.GetSize(); ++i) ids.push_back(static_cast<CVFDLNode*>(all[i])->GetID());
    for (int i = 0; i < 40 && !ids.empty(); ++i) {
      CVFDLNode* node = doc.GetNodeByID(ids[rng() % ids.size()]);
      if (!node) continue;  // gone with a folder deleted earlier in this round
      switch (rng() % 3) {
        case 0: node->GetData()->SetAlias(("a" + std::to_string(rng() % 6)).c_str()); break;
        case 1: node->GetKind() == VFDL_KIND_REC ? doc.DelRec(node, 0xFFFF) : doc.DelFolder(node, 0xFFFF); break;
        default: {
          CVFDLRec rec;
          rec.SetAlias(("A" + std::to_string(rng() % 6)).c_str());
          if (node->GetKind() == VFDL_KIND_REC) doc.UpdateRec(node, &rec, 0xFFFF);
        }
      }
    }
    GrowRandomTree(doc, rng, 60);
    ExpectLookupsAgreeWithWalk(doc);
  }
  ASSERT_EQ(doc.SaveXMLDoc(0), 1);
  CVFDLDoc loaded;
  Load(loaded, dir / "l.xml");
  ExpectLookupsAgreeWithWalk(loaded);
}

TEST(RoundTrip, TwentyThousandRecords) {
  ScratchFolder dir("doctree");
  std::string path = dir / "big.xml";
  CRegisterDoc doc;
  ASSERT_EQ(doc.NewXMLDoc(path.c_str(), 0, 0), 1);
  doc.InitVFDLDoc(nullptr);
  doc.SetAutoSaveFlag(0);
  CVFDLNode* folder = nullptr;
  for (int i = 0; i < 20000; ++i) {
    if (i % 200 == 0) {
      CVFDLFolder f;
      f.SetAlias(("group" + std::to_string(i / 200)).c_str());
      folder = doc.GetNodeByID(doc.AddFolder(doc.GetRootNode(), &f, 0xFFFF));
    }
    CVFDLRec rec;
    rec.SetAlias(("item" + std::to_string(i)).c_str());
    rec.SetVarValue("type", "register");
    rec.SetVarValue("key", ("HKEY_CURRENT_USER\\Software\\Demo\\" + std::to_string(i)).c_str());
    rec.SetVarValue("value", CXFormat::EncodeTextBase64(reinterpret_cast<const BYTE*>(&i), sizeof i, 0));
    ASSERT_FALSE(doc.AddRec(folder, &rec, 0xFFFF).IsEmpty());
  }
  ASSERT_EQ(doc.SaveXMLDoc(0), 1);
  CRegisterDoc loaded;
  Load(loaded, path);
  EXPECT_EQ(loaded.GetNodeCount(), 20000 + 100 + 1);
  EXPECT_EQ(Describe(doc, doc.GetRootNode()), Describe(loaded, loaded.GetRootNode()));
  CString value;
  EXPECT_EQ(loaded.GetKey("afs:\\group99\\item19999", "key", value), 1);
  EXPECT_EQ(Show(value), "HKEY_CURRENT_USER\\Software\\Demo\\19999");
}

TEST(HandWritten, ExampleLoadsAndKeepsTheIdsItIsGiven) {
  ScratchFolder dir("doctree");
  std::string path = dir / "install.xml";
  ASSERT_TRUE(CopyFileA((BinFolder() + "\\doctree-example\\install.xml").c_str(), path.c_str(), FALSE));
  CVFDLDoc doc;
  Load(doc, path);
  CVFDLNode* install = doc.GetNode(doc.GetRootNode()->GetPos(), "install");
  ASSERT_NE(install, nullptr);
  ASSERT_NE(doc.GetNode("afs:\\config"), nullptr);
  EXPECT_EQ(doc.GetChildNum(install), 3);
  CVFDLNode* language = doc.GetNode("afs:\\install\\language");
  EXPECT_EQ(Show(static_cast<CVFDLRec*>(language->GetData())->GetVarValue("value")), "en");
  EXPECT_EQ(Show(language->GetSubject()), "Language of the user interface");
  EXPECT_EQ(Show(static_cast<CVFDLRec*>(doc.GetNextNode(language)->GetData())->GetVarValue("value")), "AAECAw==");

  // The IDs given at the first load are in the file from the first save on.
  const std::string described = Describe(doc, doc.GetRootNode());
  ASSERT_EQ(doc.SaveXMLDoc(0), 1);
  CVFDLDoc again;
  Load(again, path);
  EXPECT_EQ(Describe(again, again.GetRootNode()), described);
}

TEST(HandWritten, IdsTextsAndEncodingsAsWritten) {
  ScratchFolder dir("doctree");
  std::string path = dir / "h.xml";
  WriteTextFile(path,
                "<?xml version=\"1.0\"?>\n<vfdl nextid=\"3\"><!-- note -->\n"
                " <record id=\"7\" alias=\"a\"><var name=\"v\">  two\twords \n</var><var name=\"c\"><![CDATA[<x>]]></var></record>\n"
                " <record id=\"7\" alias=\"b\"><var name=\"v\" encoding=\"base64\">not base64!</var></record>\n"
                " <record id=\"CON\" alias-base64=\"YWxpYXMNCg==\"/><record id=\"x-1\"/><record/><unknown/>\n"
                "</vfdl>");
  CVFDLDoc doc;
  Load(doc, path);
  CPtrArray nodes;
  ASSERT_EQ(doc.BrowseNode(doc.GetRootNode(), nodes), 5);
  auto node = [&](int i) { return static_cast<CVFDLNode*>(nodes[i]); };
  auto var = [&](int i, const char* name) { return Show(static_cast<CVFDLRec*>(node(i)->GetData())->GetVarValue(name)); };
  EXPECT_EQ(Show(node(0)->GetID()), "7");
  EXPECT_EQ(var(0, "v"), "  two\twords \n");
  EXPECT_EQ(var(0, "c"), "<x>");
  EXPECT_EQ(Show(node(1)->GetID()), "8");  // taken by the first: new, past every numeric ID of the file
  EXPECT_EQ(var(1, "v"), "");
  EXPECT_EQ(Show(node(2)->GetID()), "9");  // a device name is no ID
  EXPECT_EQ(Show(node(2)->GetAlias()), "alias\r\n");
  EXPECT_EQ(Show(node(3)->GetID()), "x-1");
  EXPECT_EQ(Show(node(4)->GetID()), "10");
}

}  // namespace
