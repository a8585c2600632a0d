// The tree: random trees through random changes and round trips, hand-written files, paths and
// positions, settings keys in the document hanging at a node; Base64 and records on their own.
#include "tests/doctree/doctree_support.h"

#include "tests/support/test_paths.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace {

// The first child, in order, whose alias folds to the same key: found by walking.
CVFDLNode* WalkForAlias(CVFTree& tree, CVFDLNode* parent, const CString& alias) {
  for (CVFDLNode* c = tree.GetFirstChild(parent); c; c = tree.GetNextNode(c))
    if (!alias.IsEmpty() && vfpath::Fold(c->GetAlias()) == vfpath::Fold(alias)) return c;
  return nullptr;
}

// Every node is found by its ID and its position, every alias as a walk finds it.
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
}

// Random changes of random nodes of every kind, null and another document's. The table of
// operations is their contract: each applies to the kinds it names, is refused changing nothing
// for any other (and for a null item); an update keeps ID and creation time; a deletion tells
// every node that goes, in tree order, and frees each record through the document's hook.
void ChangeRandomly(TrackingDoc& doc, CVFDLDoc& other, std::mt19937& rng, int changes) {
  for (int i = 0; i < changes; ++i) {
    CPtrArray all, going;
    for (const char* foreign : {"", "afs:\\", "afs:\\f", "afs:\\f\\r"}) all.Add(other.GetNode(foreign));
    all.Add(doc.GetRootNode());
    doc.BrowseNode(doc.GetRootNode(), all);
    auto* node = static_cast<CVFDLNode*>(all[static_cast<int>(rng() % all.GetSize())]);
    const WORD kind = doc.Owns(node) ? node->GetKind() : 0;
    CVFDLRec rec;
    CVFDLFolder folder;
    rec.SetAlias(("A" + std::to_string(rng() % 6)).c_str());
    const std::pair<std::function<bool()>, std::vector<WORD>> operations[] = {
        {[&] { return doc.DelRec(node, 0xFFFF) == 1; }, {VFDL_KIND_REC}},
        {[&] { return doc.DelFolder(node, 0xFFFF) == 1; }, {VFDL_KIND_FOLDER}},
        {[&] { return doc.UpdateRec(node, &rec, 0xFFFF) == 1; }, {VFDL_KIND_REC}},
        {[&] { return !doc.AddRec(node, &rec, 0xFFFF).IsEmpty(); }, {VFDL_KIND_ROOT, VFDL_KIND_FOLDER}},
        {[&] { return !doc.AddFolder(node, &folder, 0xFFFF).IsEmpty(); }, {VFDL_KIND_ROOT, VFDL_KIND_FOLDER}},
        {[&] { return doc.UpdateRec(node, nullptr, 0xFFFF) || !doc.AddRec(node, nullptr, 0xFFFF).IsEmpty() ||
                      !doc.AddFolder(node, nullptr, 0xFFFF).IsEmpty(); }, {}}};
    const size_t op = rng() % std::size(operations);
    const std::string before = Describe(doc), identity = kind ? Show(node->GetID()) + Show(node->GetCreateTime()) : "";
    const std::vector<std::string> unlinked = doc.unlinked;
    const int freed = doc.freed;
    std::vector<std::string> told = unlinked;  // what a deletion of node tells, and the records it frees
    int records = 0;
    going.Add(node);
    doc.BrowseNode(node, going);
    for (int g = 0; g < going.GetSize() && kind; ++g) {
      told.push_back(Show(static_cast<CVFDLNode*>(going[g])->GetAlias()));
      records += static_cast<CVFDLNode*>(going[g])->GetKind() == VFDL_KIND_REC;
    }
    const auto& kinds = operations[op].second;
    const bool applies = std::find(kinds.begin(), kinds.end(), kind) != kinds.end(), deletes = applies && op < 2;
    ASSERT_EQ(operations[op].first(), applies) << "operation " << op << " on a node of kind " << kind;
    ASSERT_TRUE(applies || Describe(doc) == before) << "operation " << op << " changed what it refused";
    ASSERT_TRUE(!applies || op != 2 ||
                Show(node->GetID()) + Show(node->GetCreateTime()) + Fields(rec) == identity + Fields(*node->GetData()));
    ASSERT_EQ(doc.unlinked, deletes ? told : unlinked);
    ASSERT_EQ(doc.freed, freed + (deletes ? records : 0));
  }
}

// A random tree changed at random, its lookups agreeing with a walk, is the same when loaded, saves
// to the same bytes and gives the same next ID. A copy loaded beside a document that holds the same
// bytes takes its content; once that has built its tree, or the bytes differ, the file is read.
// A derived document's records are its hooks' from the file on, and die through the base.
TEST(RoundTrip, RandomTreesThroughRandomChanges) {
  ScratchFolder dir("doctree");
  const int alive = TrackedRec::alive;
  const std::string path = dir / "r.xml", copyPath = dir / "copy.xml", changedPath = dir / "changed.xml";
  // The seed: VANTEL_SEED when set (to repeat a run), else the time.
  const unsigned first = getenv("VANTEL_SEED") ? static_cast<unsigned>(strtoul(getenv("VANTEL_SEED"), nullptr, 10))
                                               : static_cast<unsigned>(time(nullptr));
  for (unsigned run = 0; run < 4; ++run) {
    const unsigned seed = first + run;
    SCOPED_TRACE("seed " + std::to_string(seed) + " (VANTEL_SEED repeats a run)");
    std::mt19937 rng(seed);
    TrackingDoc doc;
    CVFDLDoc other;  // its nodes are foreign to doc
    StartDocument(doc, path);
    StartDocument(other, dir / "other.xml");
    AddNode(other, AddNode(other, other.GetRootNode(), "f", true), "r");
    doc.GetRootNode()->GetData()->SetSubject(RandomText(rng));
    GrowRandomTree(doc, rng, 250);
    for (int round = 0; round < 3; ++round) {
      ChangeRandomly(doc, other, rng, 60);
      GrowRandomTree(doc, rng, 50);
      ExpectLookupsAgreeWithWalk(doc);
    }
    // The highest ID goes with its node: no later node may have it again.
    ASSERT_EQ(doc.DelRec(AddNode(doc, doc.GetRootNode(), ""), 0xFFFF), 1);
    ASSERT_EQ(doc.SaveXMLDoc(0), 1);
    const std::string saved = ReadTextFile(path), expected = Describe(doc);
    ASSERT_TRUE(WriteTextFile(copyPath, saved));
    ASSERT_TRUE(WriteTextFile(changedPath, saved.substr(0, saved.rfind("</vfdl>")) + "<folder alias=\"changed\"/></vfdl>"));

    TrackingDoc loaded;
    CVFDLDoc copy, changed, built;
    const int records = TrackedRec::alive;
    ASSERT_EQ(loaded.LoadXMLDoc(path.c_str()), CXMLDoc::LOAD_DONE);
    ASSERT_EQ(copy.LoadXMLDocCopy(copyPath.c_str(), loaded), CXMLDoc::LOAD_DONE);
    ASSERT_EQ(changed.LoadXMLDocCopy(changedPath.c_str(), loaded), CXMLDoc::LOAD_DONE);
    ASSERT_EQ(loaded.InitVFDLDoc(nullptr), 1);
    EXPECT_GT(TrackedRec::alive, records);  // the records read are of the document's own type
    ASSERT_EQ(built.LoadXMLDocCopy(copyPath.c_str(), loaded), CXMLDoc::LOAD_DONE);
    for (CVFDLDoc* d : {&copy, &changed, &built}) ASSERT_EQ(d->InitVFDLDoc(nullptr), 1);
    for (CVFDLDoc* d : {static_cast<CVFDLDoc*>(&loaded), &copy, &built}) EXPECT_EQ(Describe(*d), expected);
    EXPECT_NE(Describe(changed).find("|changed|"), std::string::npos);
    EXPECT_EQ(Show(copy.GetDocPath()), copyPath);
    ExpectLookupsAgreeWithWalk(loaded);
    ASSERT_EQ(loaded.SaveXMLDoc(0), 1);
    EXPECT_EQ(ReadTextFile(path), saved);
    EXPECT_EQ(Show(AddNode(loaded, loaded.GetRootNode(), "", true)->GetID()),
              Show(AddNode(doc, doc.GetRootNode(), "", true)->GetID()));
    ASSERT_EQ(loaded.SetXMLDoc("<vfdl/>"), 1);
    EXPECT_GT(loaded.freed, 0);
    EXPECT_EQ(TrackedRec::alive, records);
  }
  EXPECT_EQ(TrackedRec::alive, alive);
}

// Files written by hand: what the row shows, the file, its tree from the first save on (IDs kept,
// made or counted on as the file says), the ID the next record gets.
const char* const kHandWritten[][4] = {
    {"new IDs from nextid", "<vfdl nextid=\"50\"><record id=\"7\"/><folder id=\"12\"/></vfdl>",
     "16|0|||||0|\n2|7|||||0|\n1|12|||||0|\n", "50"},
    {"new IDs past the file's", "<vfdl nextid=\"5\"><record/><record id=\"7\"/></vfdl>",
     "16|0|||||0|\n2|8|||||0|\n2|7|||||0|\n", "9"},
    {"IDs taken, invalid or missing; texts in Base64",
     "<?xml version=\"1.0\"?>\n<vfdl nextid=\"3\"><!-- note -->\n"
     " <record id=\"7\" alias=\"a\"/>\n"
     " <record id=\"7\" alias=\"b\"><var name=\"v\" encoding=\"base64\">not base64!</var></record>\n"
     " <record id=\"CON\" alias-base64=\"YWxpYXMNCg==\"/><record id=\"x-1\"/><record/><unknown/>\n</vfdl>",
     "16|0|||||0|\n2|7|a||||0|\n2|8|b||||0|var v=|\n2|9|alias\r\n||||0|\n2|x-1|||||0|\n2|10|||||0|\n",
     "11"},
    {"names given twice: the later value, in the earlier place",
     "<vfdl><record><var name=\"t\">1</var><var name=\"T\">2</var><var name=\"t\">3</var><page name=\"p\" "
     "path=\"a\"/><page name=\"p\">in</page></record></vfdl>",
     "16|0|||||0|\n2|1|||||0|var t=3|var T=2|page p,,in|\n", "2"},
};

TEST(HandWritten, IdsAndTextsAsTheFileGivesThem) {
  ScratchFolder dir("doctree");
  const std::string path = dir / "h.xml";
  for (const auto& row : kHandWritten) {
    SCOPED_TRACE(row[0]);
    ASSERT_TRUE(WriteTextFile(path, row[1]));
    CVFDLDoc doc, again;
    Load(doc, path);
    ASSERT_EQ(doc.SaveXMLDoc(0), 1);
    Load(again, path);
    EXPECT_EQ(Describe(again), row[2]);
    EXPECT_EQ(Show(AddNode(again, again.GetRootNode(), "")->GetID()), row[3]);
  }
  CVFDLDoc example;  // the example beside docs/document_format.md
  Load(example, BinFolder() + "\\doctree-example\\install.xml");
  EXPECT_EQ(Fields(*example.GetNode("afs:\\install\\language")->GetData()),
            "language||Language of the user interface||0|var type=register|var key=HKEY_CURRENT_USER\\Software\\Vantel Demo"
            "|var name=Language|var regtype=1|var value=en|var permanent=yes");
}

TEST(Tree, PathsPositionsOrderAndFolders) {
  ScratchFolder dir("doctree");
  CVFDLDoc doc;
  StartDocument(doc, dir / "doc.xml");
  CVFDLNode* config = AddNode(doc, doc.GetRootNode(), "Config", true);
  CVFDLNode* first = AddNode(doc, config, "dup");
  CVFDLNode* sub = AddNode(doc, config, "sub", true);
  CVFDLNode* second = AddNode(doc, config, "DUP");
  CVFDLNode* bare = AddNode(doc, config, "");
  CVFDLNode* hash = AddNode(doc, config, ("#" + Show(bare->GetID())).c_str());
  auto byId = [](CVFDLNode* n) { return "afs:\\Config\\#" + Show(n->GetID()); };
  const std::pair<std::string, CVFDLNode*> paths[] = {
      {"AFS:\\config\\", config}, {"config\\\\SUB", sub},       {"afs:\\", doc.GetRootNode()},
      {"", nullptr},              {"afs:\\Config\\dup", first}, {byId(second), second},
      {byId(bare), bare},         {byId(hash), hash},           {"afs:\\missing\\dup", nullptr}};
  for (const auto& p : paths) EXPECT_EQ(doc.GetNode(p.first.c_str()), p.second) << p.first;
  // A second alias, no alias, or an alias that is another node's "#" + ID: the position is by ID.
  for (CVFDLNode* n : {second, bare, hash}) EXPECT_EQ(Show(n->GetPos()), byId(n));

  EXPECT_EQ(doc.GetFirstChild(config, false), sub);  // folders only
  EXPECT_EQ(doc.GetNextNode(sub, false), nullptr);
  doc.DelRec(first, 0xFFFF);
  EXPECT_EQ(Show(second->GetPos()), "afs:\\Config\\DUP");
  AddNode(doc, sub, "deep");
  CPtrArray all;
  all.Add(nullptr);  // appended after what is there, each node before its children
  EXPECT_EQ(doc.BrowseNode(config, all), 5);
  EXPECT_EQ(all[1], sub);
  EXPECT_EQ(all[3], second);

  // The folder of an item is named after its ID, in the document's folder.
  EXPECT_EQ(Show(bare->GetActualFilePos()), dir.path() + "\\" + Show(bare->GetID()));
  EXPECT_EQ(Show(doc.GetActualFilePos(doc.GetRootNode())), dir.path());
  for (const char* bad : {"", "..\\x", "a b", "CON", "lpt1"}) EXPECT_TRUE(doc.GetLocalID(bad).IsEmpty()) << bad;
}

// A settings document hangs at a node of the main document, its paths beginning with the node's
// position. Keys are record variables; SetKey and SetNode make the folders on the way.
TEST(Tree, SettingsKeysInTheDocumentHangingAtANode) {
  ScratchFolder dir("doctree");
  const std::string mainPath = dir / "main.xml", display = CP936_REGISTRY "\\Config\\App\\Tool\\Display";
  // Position, name, value, and whether SetKey sets it: a folder holds no values, nothing is below
  // a record, IDs are never made, nothing lies outside the document's position.
  std::vector<std::tuple<std::string, std::string, std::string, int>> keys = {
      {display, "Remote", "http://example.org/feed.xml", 1}, {CP936_REGISTRY "\\Config", "x", "1", 0},
      {display + "\\Below", "x", "1", 0},                    {CP936_REGISTRY "\\#12345\\x", "x", "1", 0},
      {"afs:\\Config\\x", "x", "1", 0},                      {CP936_CATALOGUE "\\demo", "transfer", "ok", 1}};
  if (GetACP() == 936) keys.push_back({CP936_REGISTRY "\\x\x95\\\\y", "v", "1", 1});  // 0x95 0x5C is one character
  {
    CACASDVFDLDoc main;
    StartDocument(main, mainPath);
    CVFDLNode* node = main.GetRootNode();
    for (const CString& part : vfpath::Split(CP936_REGISTRY)) node = AddNode(main, node, part, true);
    ASSERT_EQ(main.SaveXMLDoc(0), 1);
    EXPECT_EQ(main.LoadExpandVFDLDoc(node, false), nullptr);
    CRegisterDoc* reg = main.LoadExpandVFDLDoc(node, true);
    ASSERT_NE(reg, nullptr);
    EXPECT_EQ(main.LoadExpandVFDLDoc(node, false), reg);
    CVFDLRec tool;
    tool.SetAlias("demo");
    EXPECT_EQ(reg->SetNode(CP936_CATALOGUE, &tool, 0xFFFF), 1);
    tool.SetVarValue("version_now", "1.0");
    EXPECT_EQ(reg->SetNode(CP936_CATALOGUE, &tool, 0xFFFF), 1);  // same alias: replaced, not added
    for (const auto& [position, name, value, set] : keys)
      EXPECT_EQ(reg->SetKey(position.c_str(), name.c_str(), value.c_str()), set) << position;
  }
  CACASDVFDLDoc main;
  Load(main, mainPath);
  CRegisterDoc* reg = main.LoadExpandVFDLDoc(main.GetNode(CP936_REGISTRY), true);
  ASSERT_NE(reg, nullptr);
  keys.push_back({CP936_CATALOGUE "\\DEMO", "version_now", "1.0", 1});  // stored by SetNode, read in any letter case
  for (const auto& [position, name, value, set] : keys) {
    CString read = "stale";
    EXPECT_EQ(reg->GetKey(position.c_str(), name.c_str(), read), set) << position;
    EXPECT_EQ(Show(read), set ? value : "") << position;
  }
  const std::string& last = std::get<0>(keys[keys.size() - 2]);  // in code page 936, the double-byte name
  EXPECT_EQ(Show(reg->GetNode(last.c_str())->GetPos()), last);
}

// Bytes of every length come back from Base64 on one line; other text decodes to nothing; blanks are
// skipped; a missing or small buffer is told the size needed; part of a text decodes alone.
TEST(Base64, DecodingTable) {
  // Text, start, length, capacity of the buffer, result, count, bytes written.
  std::vector<std::tuple<std::string, int, int, int, int, int, std::string>> rows = {
      {"", -1, -1, 8, 1, 0, ""},   {" Zm9v\r\nYmFy\t", -1, -1, 8, 1, 6, "foobar"}, {"Zm9v", -1, -1, 2, 0, 3, ""},
      {"Zm9v", -1, -1, 0, 1, 3, ""}, {"xxZm9vyy", 2, 4, 3, 1, 3, "foo"}};
  for (const char* bad : {"QU!D", "QUJ", "QUJDR", "=QUJD", "QU=JD", "QUJD===", "Zg=a", "Zg==Zg==", "\xD6\xD0QUJD"})
    rows.push_back({bad, -1, -1, 8, 0, 0, ""});
  for (int length = 1; length < 200; ++length) {
    std::string bytes;
    for (int i = 0; i < length; ++i) bytes += static_cast<char>(i * 37 + length);
    const std::string text = Show(CXFormat::EncodeTextBase64(reinterpret_cast<const BYTE*>(bytes.data()), length, 0));
    EXPECT_EQ(text.find('\n'), std::string::npos);
    rows.push_back({text, -1, -1, length, 1, length, bytes});
  }
  for (const auto& [text, start, length, capacity, result, expectedCount, bytes] : rows) {
    std::vector<BYTE> buffer(capacity, 0xAA);
    int count = capacity;
    EXPECT_EQ(CXFormat::DecodeTextBase64(text.c_str(), capacity ? buffer.data() : nullptr, count, start, length), result)
        << text;
    EXPECT_EQ(count, expectedCount) << text;
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), bytes + std::string(capacity - bytes.size(), '\xAA')) << text;
  }
  EXPECT_EQ(Show(CXFormat::EncodeTextBase64(reinterpret_cast<const BYTE*>("foobar"), 6, 0)), "Zm9vYmFy");
  EXPECT_EQ(Show(CXFormat::EncodeTextBase64(reinterpret_cast<const BYTE*>("f"), 1, 0)), "Zg==");
}

// What the documents do not show: an empty value is a variable, removal, a list that names a
// variable twice, and equality of the variables in any order (not of texts or pages).
TEST(Record, VariablesAndEquality) {
  CVFDLRec a, b;
  a.SetAlias("tool");
  a.SetVarValue("x", "1");
  a.SetVarValue("y", "");
  EXPECT_EQ(a.HasVar("y"), 1);
  CVFVarArray given;
  given.Add("y", "2");
  given.Add("x", "1");
  given.Add("y", "");
  b.SetVarList(given);
  EXPECT_TRUE(a == b);
  b.SetVarValue("x", "changed");
  EXPECT_TRUE(a != b);
  b = a;
  EXPECT_EQ(b.RemoveVar("y"), 1);
  EXPECT_EQ(b.RemoveVar("y"), 0);
  EXPECT_FALSE(a == b);
  const CVFDLRec& same = b;
  b = same;
  EXPECT_EQ(Fields(b), "tool||||0|var x=1");
}

}  // namespace
