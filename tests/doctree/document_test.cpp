// The file side of a document and the XML layer under it: load statuses, new documents, what the
// reader makes of every file, the writer's layout and refusals, auto-save, memory, COM set-up.
#include "tests/doctree/doctree_support.h"

#include "platform/doctree/xml_io.h"
#include "platform/win/handles.h"
#include "resources/resource_ids.h"
#include "tests/support/registry.h"
#include "tests/support/resource_library.h"
#include "tests/support/test_paths.h"

#include <objbase.h>
#include <psapi.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

const char kEmpty[] = "16|0|||||0|\n";  // Describe of a document that holds the root alone

class DocFile : public ::testing::Test {
 protected:
  ScratchFolder m_dir{"doctree"};
  std::string Path(const std::string& name) const { return m_dir / name; }
};

// A missing file, then new documents: made at a path, and from text, such as the resource
// library's. Text is characters already: the encoding its declaration names is not applied.
TEST_F(DocFile, MissingFileThenNewDocuments) {
  CVFDLDoc doc;
  EXPECT_EQ(doc.LoadXMLDoc(Path("absent.xml").c_str()), CXMLDoc::LOAD_NO_FILE);
  EXPECT_EQ(doc.LoadXMLDoc(Path("no folder\\absent.xml").c_str()), CXMLDoc::LOAD_NO_FILE);
  StartDocument(doc, Path("new.xml"));
  EXPECT_EQ(Describe(doc), kEmpty);
  EXPECT_EQ(CVFDLDoc().NewXMLDoc(Path("no folder\\x.xml").c_str(), 0, 0), 0);  // not written: not made
  CString text;
  {
    ScopedResourceLibrary resources;
    ASSERT_TRUE(text.LoadString(IDS_NEW_REGISTRATION_DOC));
  }
  ASSERT_EQ(doc.SetXMLDoc(text), 1);
  ASSERT_EQ(doc.InitVFDLDoc(nullptr), 1);
  EXPECT_EQ(Describe(doc), kEmpty);
  const std::string letter = GetACP() == 936 ? "\xD6\xD0" : "\xE9";  // a character of the code page
  for (const std::string encoding : {"UTF-8", "ISO-8859-1"}) {
    const std::string text = "<?xml version=\"1.0\" encoding=\"" + encoding + "\"?><vfdl alias=\"" + letter + "&amp;\"/>";
    ASSERT_EQ(doc.SetXMLDoc(text.c_str()), 1);
    ASSERT_EQ(doc.InitVFDLDoc(nullptr), 1);
    EXPECT_EQ(Show(doc.GetRootNode()->GetAlias()), letter + "&") << encoding;
  }
  for (const char* refused : {"<other/>", "", "<vfdl>"}) EXPECT_EQ(doc.SetXMLDoc(refused), 0) << refused;
  EXPECT_EQ(Show(doc.GetRootNode()->GetAlias()), letter + "&");  // nothing changed
}

// Files as the reader meets them, each with the tree it makes of them ("" for a file it refuses):
// shapes the runtime does not write, broken files, every cut of a document. A refused file gives
// nothing; a document that loads a file it cannot use (or a folder, or a locked file) forgets what
// it held, builds no tree, cannot be saved over the file, and stays usable for a new document.
TEST_F(DocFile, FilesAreReadWholeOrRefusedWhole) {
  CVFDLDoc doc;
  StartDocument(doc, Path("good.xml"));
  static_cast<CVFDLRec*>(AddNode(doc, doc.GetRootNode(), "a<b")->GetData())->SetVarValue("v", "x & y");
  ASSERT_EQ(doc.SaveXMLDoc(0), 1);
  const std::string whole = ReadTextFile(Path("good.xml"));
  const wchar_t utf16[] = L"\xFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?><vfdl a=\"&lt;\">t</vfdl>";
  std::vector<std::pair<std::string, std::string>> rows = {
      {"<vfdl/>", "<vfdl>[]</>"},  // the last byte of the file counts
      {"<vfdl a=\"1\">x</vfdl><!-- after the root -->", "<vfdl a=[1]>[x]</>"},
      {"<?xml version=\"1.0\"?>\r\n<!DOCTYPE vfdl [<!ENTITY e \"x\">]>\r\n<vfdl>t</vfdl>", "<vfdl>[t]</>"},
      {"\xEF\xBB\xBF<vfdl>a</vfdl>", "<vfdl>[a]</>"},
      {std::string(reinterpret_cast<const char*>(utf16), sizeof utf16 - sizeof(wchar_t)), "<vfdl a=[<]>[t]</>"},
      {"<vfdl>\n  <var name=\"x\">a\nb</var>\n</vfdl>\n", "<vfdl>[]<var name=[x]>[a\nb]</></>"},
      {"<vfdl a=\"&#9;&#10;&#x41;\"><![CDATA[<&>]]>&#65;&#x42;&lt;</vfdl>", "<vfdl a=[\t\nA]>[<&>AB<]</>"},
      {"<?xml version=\"1.0\"?><other/>", "<other>[]</>"}};
  const std::string broken[] = {"not xml", "<vfdl/><vfdl/>", "<vfdl/>x", "<vfdl><folder></vfdl>", "<vfdl><a></b></vfdl>",
                                "<vfdl>&undefined;</vfdl>", "<vfdl a=\"1\" a=\"2\"/>", "<vfdl a=1/>", "<vfdl>\x01</vfdl>",
                                "<vfdl>&#1;</vfdl>", "\xEF\xBB\xBF", "<?xml version=\"1.0\"?>", "<vfdl><!-- open </vfdl>",
                                "<vfdl><![CDATA[ open </vfdl>", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><vfdl>\xB0</vfdl>",
                                std::string("\0<vfdl/>", 8), std::string("\0\xFF\xFE\x01", 4)};
  for (const std::string& bytes : broken) rows.push_back({bytes, ""});
  if (GetACP() == 936) rows.push_back({"<vfdl a=\"&#x4E2D;\">\xE6\x96\x87</vfdl>", "<vfdl a=[\xD6\xD0]>[\xCE\xC4]</>"});
  std::string line = "<vfdl>", tree = "<vfdl>[]";  // on one line, as tools that do not indent write it
  for (int i = 0; i < 3000; ++i) {
    line += "<record id=\"" + std::to_string(i) + "\"><var name=\"key\">HKEY_CURRENT_USER\\x</var></record>";
    tree += "<record id=[" + std::to_string(i) + "]>[]<var name=[key]>[HKEY_CURRENT_USER\\x]</></>";
  }
  rows.push_back({line + "</vfdl>", tree + "</>"});
  for (size_t cut = 0; cut < whole.find("</vfdl>") + 7; ++cut) rows.push_back({whole.substr(0, cut), ""});
  for (const auto& [bytes, dumped] : rows) {
    SCOPED_TRACE(bytes.substr(0, 200));
    ASSERT_TRUE(WriteTextFile(Path("f.xml"), bytes));
    auto parsed = std::make_unique<XmlElement>("untouched");
    EXPECT_EQ(ReadXmlFile(Path("f.xml").c_str(), parsed), !dumped.empty());
    EXPECT_EQ(Dump(*parsed), dumped.empty() ? "<untouched>[]</>" : dumped);
    ASSERT_EQ(doc.LoadXMLDoc(Path("good.xml").c_str()), CXMLDoc::LOAD_DONE);
    const int status = dumped.empty() ? CXMLDoc::LOAD_UNREADABLE
                       : dumped.rfind("<vfdl", 0) == 0 ? CXMLDoc::LOAD_DONE : CXMLDoc::LOAD_FOREIGN;
    EXPECT_EQ(doc.LoadXMLDoc(Path("f.xml").c_str()), status);
    if (status == CXMLDoc::LOAD_DONE) continue;
    EXPECT_EQ(doc.InitVFDLDoc(nullptr), 0);
    EXPECT_EQ(doc.SetXMLDoc("<vfdl/>") + doc.SaveXMLDoc(0), 1);  // content, but no file to save it to
    EXPECT_EQ(ReadTextFile(Path("f.xml")), bytes);
  }
  EXPECT_EQ(doc.LoadXMLDoc(m_dir.path().c_str()), CXMLDoc::LOAD_UNREADABLE);  // a folder
  UniqueHandle locked(
      CreateFileA(Path("good.xml").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(locked);
  EXPECT_EQ(doc.LoadXMLDoc(Path("good.xml").c_str()), CXMLDoc::LOAD_UNREADABLE);
  EXPECT_EQ(doc.NewXMLDoc(Path("fresh.xml").c_str(), 0, 0), 1);
}

// What the writer makes of an element: the exact layout (CR LF, two spaces a level, only elements
// without text indented), or nothing at all, the old file kept and no temporary file left, when it
// holds what would not read back (control characters, CR, tabs or line breaks in attributes, bad names).
TEST_F(DocFile, WriterLaysOutFilesAndRefusesWhatXmlCannotCarry) {
  const std::string layout =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<vfdl version=\"1\">\r\n"
      "  <subject>line one\r\nline two\twith a tab</subject>\r\n  <folder>\r\n    <record id=\"7\">\r\n"
      "      <var name=\"empty\"/>\r\n      <var name=\"v\">  x  </var>\r\n    </record>\r\n  </folder>\r\n"
      "  <mixed>text<inner/></mixed>\r\n</vfdl>\r\n";
  std::vector<std::pair<XmlElement, std::string>> rows;
  XmlElement& root = rows.emplace_back(XmlElement("vfdl"), layout).first;
  root.AddAttribute("version", "1");
  root.AddChild("subject")->text = "line one\nline two\twith a tab";
  XmlElement* record = root.AddChild("folder")->AddChild("record");
  record->AddAttribute("id", "7");
  record->AddChild("var")->AddAttribute("name", "empty");
  XmlElement* var = record->AddChild("var");
  var->AddAttribute("name", "v");
  var->text = "  x  ";
  XmlElement* mixed = root.AddChild("mixed");  // text and children: nothing indented inside
  mixed->text = "text";
  mixed->AddChild("inner");
  for (const char* text : {"a\x01", "\x1F", "cr\r\nlf", "\x0B", "lone\r"})
    rows.emplace_back(XmlElement("vfdl"), "").first.AddChild("var")->text = text;
  for (const char* value : {"tab\t", "lf\n", "cr\r", "\x02"})
    rows.emplace_back(XmlElement("vfdl"), "").first.AddAttribute("a", value);
  for (const char* name : {"", "1a", "-a", ".a", "a b", "a<b", "a&b", "a=b", "a\"b", "a/b"}) {
    rows.emplace_back(XmlElement(name), "");
    rows.emplace_back(XmlElement("vfdl"), "").first.AddAttribute(name, "v");
    rows.emplace_back(XmlElement("vfdl"), "").first.AddChild("ok")->AddChild(name);
  }
  for (const auto& [element, file] : rows) {
    ASSERT_TRUE(WriteTextFile(Path("w.xml"), "before"));
    EXPECT_EQ(WriteXmlFile(Path("w.xml").c_str(), element), !file.empty()) << Dump(element);
    EXPECT_EQ(ReadTextFile(Path("w.xml")), file.empty() ? "before" : file) << Dump(element);
  }
  EXPECT_EQ(ListTree(Wide(m_dir.path())).size(), 1u);
}

// What XML carries goes plain into a document, the rest in Base64 (both read back in the random
// trees): printable ASCII, tab and line feed in element text, in code page 936 its characters.
TEST(XmlText, WhatXmlCarriesGoesPlain) {
  for (char c = ' '; c < '\x7F'; ++c) EXPECT_TRUE(XmlCanCarry(std::string(1, c).c_str(), true)) << c;
  EXPECT_TRUE(XmlCanCarry("tab\there\nline", false));
  if (GetACP() == 936) {
    int carried = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead)
      for (int trail = 0x40; trail <= 0xFE; ++trail)
        carried += XmlCanCarry(std::string{static_cast<char>(lead), static_cast<char>(trail)}.c_str(), true);
    EXPECT_GT(carried, 20000);
  }
}

// With auto-save on (as a document starts) each change saves the file at once; while it is off,
// and on resuming it, nothing is saved.
TEST_F(DocFile, AutoSaveSavesEachChangeOnlyWhileOn) {
  CVFDLDoc doc;
  StartDocument(doc, Path("a.xml"));
  CVFDLNode* quiet = AddNode(doc, doc.GetRootNode(), "quiet");
  doc.SetAutoSaveFlag(1);
  EXPECT_EQ(ReadTextFile(Path("a.xml")).find("quiet"), std::string::npos);
  AddNode(doc, doc.GetRootNode(), "saved", true);
  EXPECT_NE(ReadTextFile(Path("a.xml")).find("quiet"), std::string::npos);
  doc.DelRec(quiet, 0xFFFF);
  EXPECT_EQ(ReadTextFile(Path("a.xml")).find("quiet"), std::string::npos);
}

// Some MSXML writers keep the whole text of each document they save; saving a document over and
// over must not make the process grow, nor loading it over and over.
TEST_F(DocFile, RepeatedSavesAndLoadsKeepNoMemory) {
  auto committed = [] {
    PROCESS_MEMORY_COUNTERS c = {};
    return GetProcessMemoryInfo(GetCurrentProcess(), &c, sizeof c) ? c.PagefileUsage : 0;
  };
  CVFDLDoc doc;
  StartDocument(doc, Path("m.xml"));
  for (int i = 0; i < 2000; ++i) AddNode(doc, doc.GetRootNode(), "HKEY_CURRENT_USER\\Software\\Some\\Longer\\Path");
  ASSERT_EQ(doc.SaveXMLDoc(0), 1);
  CVFDLDoc first;  // the first load sets up what every later one reuses
  Load(first, Path("m.xml"));
  SIZE_T before = committed();
  for (int i = 0; i < 10; ++i) ASSERT_EQ(doc.SaveXMLDoc(0), 1);
  EXPECT_LT(committed() - before, 4u << 20);  // a leak of the text would be about 30 MB
  before = committed();
  for (int i = 0; i < 20; ++i) {
    CVFDLDoc loaded;
    Load(loaded, Path("m.xml"));
  }
  EXPECT_LT(committed() - before, 1u << 20);  // the parsed elements alone are about 0.5 MB a load
}

// A document works on a thread in any COM state and leaves it as it was: a thread without COM
// accepts an apartment afterwards (S_OK), one in an apartment is still in it (S_FALSE).
TEST_F(DocFile, AnyApartmentOfTheCallingThread) {
  for (int mode : {-1, static_cast<int>(COINIT_MULTITHREADED), static_cast<int>(COINIT_APARTMENTTHREADED)}) {
    int statuses = 0;
    HRESULT probe = E_FAIL;
    std::thread([&] {
      if (mode >= 0) CoInitializeEx(nullptr, static_cast<DWORD>(mode));
      CVFDLDoc doc;
      const CString path = Path("com.xml").c_str();
      statuses = doc.NewXMLDoc(path, 0, 0) + doc.LoadXMLDoc(path) + doc.InitVFDLDoc(nullptr);
      probe = CoInitializeEx(nullptr, static_cast<DWORD>(mode >= 0 ? mode : COINIT_MULTITHREADED));
      CoUninitialize();
      if (mode >= 0) CoUninitialize();
    }).join();
    EXPECT_EQ(statuses, 1 + CXMLDoc::LOAD_DONE + 1) << mode;
    EXPECT_EQ(probe, mode >= 0 ? S_FALSE : S_OK) << mode;
  }
}

}  // namespace
