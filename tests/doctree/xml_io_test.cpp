// The XML layer on its own: the exact layout of a written file, escaping and the characters of
// the code page through a write and a read, what the writer refuses, inputs of every shape the
// reader must take, and inputs it must refuse (every truncation of a document among them).
#include "tests/doctree/doctree_support.h"

#include "platform/doctree/xml_io.h"
#include "tests/support/test_paths.h"

#include <memory>
#include <string>
#include <vector>

namespace {

std::unique_ptr<XmlElement> Read(const std::string& path) {
  std::unique_ptr<XmlElement> root;
  return ReadXmlFile(path.c_str(), root) ? std::move(root) : nullptr;
}

// Every name, attribute and text of a tree, in order; not the text of elements with children
// (the indentation, once written).
std::string Dump(const XmlElement& e) {
  std::string out = "<" + Show(e.name);
  for (const auto& a : e.attributes) out += " " + Show(a.first) + "=[" + Show(a.second) + "]";
  out += ">[" + (e.children.empty() ? Show(e.text) : std::string()) + "]";
  for (const auto& c : e.children) out += Dump(*c);
  return out + "</>";
}

TEST(XmlFile, LayoutOfAWrittenFile) {
  ScratchFolder dir("doctree");
  XmlElement root("vfdl");
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
  ASSERT_TRUE(WriteXmlFile((dir / "l.xml").c_str(), root));
  EXPECT_EQ(ReadTextFile(dir / "l.xml"),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
            "<vfdl version=\"1\">\r\n"
            "  <subject>line one\r\nline two\twith a tab</subject>\r\n"
            "  <folder>\r\n"
            "    <record id=\"7\">\r\n"
            "      <var name=\"empty\"/>\r\n"
            "      <var name=\"v\">  x  </var>\r\n"
            "    </record>\r\n"
            "  </folder>\r\n"
            "  <mixed>text<inner/></mixed>\r\n"
            "</vfdl>\r\n");
  auto back = Read(dir / "l.xml");
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(Show(back->children[0]->text), "line one\nline two\twith a tab");
  EXPECT_EQ(Show(back->children[1]->children[0]->children[1]->text), "  x  ");
}

// Texts with markup characters, quotes, white space, and characters of the code page: written
// plain (escaped by MSXML), they read back byte for byte, in attributes and in element text.
TEST(XmlFile, MarkupQuotesWhiteSpaceAndCodePageCharactersComeBack) {
  ScratchFolder dir("doctree");
  std::vector<std::string> texts = {"<", ">", "&", "\"", "'", "<&>\"'", "]]>", "<![CDATA[x]]>", "&amp;", "&#13;",
                                    "a=\"b\" c='d'", "<!-- no comment -->", "<?pi?>", "  both ends  ", "tab\there",
                                    "line\nfeed", "\n\n", "\t", "\xC2\xA0", "HKEY_CURRENT_USER\\Software\\A&B <x>"};
  // Every single byte of the code page, and in code page 936 a spread of double-byte characters.
  for (int b = 0x20; b < 0x100; ++b) texts.push_back(std::string(1, static_cast<char>(b)) + "x");
  if (GetACP() == 936) {
    for (int lead = 0x81; lead <= 0xFE; lead += 3)
      for (int trail = 0x40; trail <= 0xFE; trail += 7)
        if (trail != 0x7F) texts.push_back(std::string{static_cast<char>(lead), static_cast<char>(trail), '<'});
    texts.push_back("\xD6\xD0\xCE\xC4 \"\xD7\xA2\xB2\xE1\xB1\xED\" & \xB0\xA1");  // 中文 "注册表" & 啊
  }
  XmlElement root("vfdl");
  std::vector<const std::string*> inAttributes, inText;
  for (const std::string& t : texts) {
    const bool attribute = XmlCanCarry(t.c_str(), true), text = XmlCanCarry(t.c_str(), false);
    XmlElement* e = root.AddChild("var");
    if (attribute) {
      e->AddAttribute("name", t.c_str());
      inAttributes.push_back(&t);
    }
    if (text) {
      e->text = t.c_str();
      inText.push_back(&t);
    }
  }
  // What the writer must carry: all of ASCII's printable characters, and in code page 936 its
  // characters (bytes that are no character of the code page are left to Base64 by the documents).
  EXPECT_GE(inAttributes.size(), 16u + 95u);
  if (GetACP() == 936) {
    EXPECT_GT(inText.size(), 20u + 95u + 300u);
  }
  ASSERT_TRUE(WriteXmlFile((dir / "c.xml").c_str(), root));
  auto back = Read(dir / "c.xml");
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(Dump(*back), Dump(root));

  const std::string file = ReadTextFile(dir / "c.xml");
  EXPECT_NE(file.find("name=\"&lt;&amp;&gt;&quot;'\""), std::string::npos) << "attribute escaped in place";
  EXPECT_NE(file.find(">&lt;&amp;&gt;\"'</var>"), std::string::npos) << "text escaped in place";
  EXPECT_NE(file.find("]]&gt;"), std::string::npos);
  if (GetACP() == 936) {
    EXPECT_NE(file.find("\xE4\xB8\xAD\xE6\x96\x87"), std::string::npos) << "written as UTF-8";
  }
}

// Nothing is written that would not read back as it was: control characters, carriage returns,
// tabs and line breaks in attributes, unusable names. The file that was there stays.
TEST(XmlFile, WriterRefusesWhatXmlCannotCarry) {
  ScratchFolder dir("doctree");
  const std::string path = dir / "r.xml";
  ASSERT_TRUE(WriteTextFile(path, "before"));
  auto refused = [&](const XmlElement& root) {
    return !WriteXmlFile(path.c_str(), root) && ReadTextFile(path) == "before";
  };
  for (const char* text : {"a\x01", "\x1F", "cr\r\nlf", "\x0B", "lone\r"}) {
    EXPECT_FALSE(XmlCanCarry(text, false));
    XmlElement root("vfdl");
    root.AddChild("var")->text = text;
    EXPECT_TRUE(refused(root)) << Show(text);
  }
  for (const char* value : {"tab\t", "lf\n", "cr\r", "\x02"}) {
    EXPECT_FALSE(XmlCanCarry(value, true));
    XmlElement root("vfdl");
    root.AddAttribute("a", value);
    EXPECT_TRUE(refused(root)) << Show(value);
  }
  for (const char* name : {"", "1a", "-a", ".a", "a b", "a<b", "a&b", "a=b", "a\"b", "a/b"}) {
    XmlElement element(name);
    EXPECT_TRUE(refused(element)) << name;
    XmlElement root("vfdl");
    root.AddAttribute(name, "v");
    EXPECT_TRUE(refused(root)) << name;
    XmlElement parent("vfdl");
    parent.AddChild("ok")->AddChild(name);
    EXPECT_TRUE(refused(parent)) << name;
  }
  // No temporary file is left behind either.
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((dir / "*.tmp").c_str(), &found);
  EXPECT_EQ(find, INVALID_HANDLE_VALUE);
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
}

// Inputs that are well-formed but shaped otherwise than the runtime writes them.
TEST(XmlFile, ReaderTakesEveryShapeOfDocument) {
  ScratchFolder dir("doctree");
  const std::string path = dir / "s.xml";
  auto parse = [&](const std::string& bytes) {
    EXPECT_TRUE(WriteTextFile(path, bytes));
    return Read(path);
  };
  // The last byte of the file counts (no line break after the root element).
  auto bare = parse("<vfdl/>");
  ASSERT_NE(bare, nullptr);
  EXPECT_EQ(Show(bare->name), "vfdl");
  auto tail = parse("<vfdl a=\"1\">x</vfdl><!-- after the root -->");
  ASSERT_NE(tail, nullptr);
  EXPECT_EQ(Show(tail->text), "x");
  // A document type declaration (entities it declares are not referred to).
  auto doctype = parse("<?xml version=\"1.0\"?>\r\n<!DOCTYPE vfdl [<!ENTITY e \"x\">]>\r\n<vfdl>t</vfdl>");
  ASSERT_NE(doctype, nullptr);
  EXPECT_EQ(Show(doctype->text), "t");
  // Byte order marks, UTF-16, LF line ends, CDATA, character references.
  auto bom = parse("\xEF\xBB\xBF<vfdl>a</vfdl>");
  ASSERT_NE(bom, nullptr);
  EXPECT_EQ(Show(bom->text), "a");
  const wchar_t wide[] = L"\xFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?><vfdl a=\"&lt;\">t\x00E9</vfdl>";
  auto utf16 = parse(std::string(reinterpret_cast<const char*>(wide), sizeof wide - sizeof(wchar_t)));
  ASSERT_NE(utf16, nullptr);
  EXPECT_EQ(Show(*utf16->FindAttribute("a")), "<");
  auto lf = parse("<vfdl>\n  <var name=\"x\">a\nb</var>\n</vfdl>\n");
  ASSERT_NE(lf, nullptr);
  ASSERT_EQ(lf->children.size(), 1u);
  EXPECT_EQ(Show(lf->children[0]->text), "a\nb");
  EXPECT_EQ(Show(lf->text), "\n  \n");
  auto refs = parse("<vfdl a=\"&#9;&#10;&#x41;\"><![CDATA[<&>]]>&#65;&#x42;&lt;</vfdl>");
  ASSERT_NE(refs, nullptr);
  EXPECT_EQ(Show(*refs->FindAttribute("a")), "\t\nA");
  EXPECT_EQ(Show(refs->text), "<&>AB<");
  if (GetACP() == 936) {
    auto cjk = parse("<vfdl a=\"&#x4E2D;\">\xE6\x96\x87</vfdl>");
    ASSERT_NE(cjk, nullptr);
    EXPECT_EQ(Show(*cjk->FindAttribute("a")), "\xD6\xD0");
    EXPECT_EQ(Show(cjk->text), "\xCE\xC4");
  }

  // A document written on one single line, as tools that write XML without indenting do.
  std::string line = "<vfdl>";
  for (int i = 0; i < 3000; ++i)
    line += "<record id=\"" + std::to_string(i + 1) + "\" alias=\"r" + std::to_string(i) +
            "\"><var name=\"type\">register</var><var name=\"key\">HKEY_CURRENT_USER\\x</var></record>";
  line += "</vfdl>";
  auto single = parse(line);
  ASSERT_NE(single, nullptr);
  ASSERT_EQ(single->children.size(), 3000u);
  EXPECT_EQ(Show(*single->children[2999]->FindAttribute("alias")), "r2999");
  EXPECT_EQ(Show(single->children[2999]->children[1]->text), "HKEY_CURRENT_USER\\x");
}

// Every cut of a document, at every byte, is refused until the root element is complete; so
// are documents broken in other ways. Nothing of them is returned.
TEST(XmlFile, ReaderRefusesBrokenInput) {
  ScratchFolder dir("doctree");
  const std::string path = dir / "b.xml";
  XmlElement root("vfdl");
  root.AddAttribute("version", "1");
  XmlElement* record = root.AddChild("record");
  record->AddAttribute("alias", "a<b");
  record->AddChild("var")->text = "x & y";
  ASSERT_TRUE(WriteXmlFile(path.c_str(), root));
  const std::string whole = ReadTextFile(path);
  const size_t end = whole.find("</vfdl>") + 7;
  for (size_t length = 0; length <= whole.size(); ++length) {
    ASSERT_TRUE(WriteTextFile(path, whole.substr(0, length)));
    std::unique_ptr<XmlElement> parsed = std::make_unique<XmlElement>("untouched");
    const bool read = ReadXmlFile(path.c_str(), parsed);
    EXPECT_EQ(read, length >= end) << length << ": " << whole.substr(0, length);
    if (!read) {
      EXPECT_EQ(Show(parsed->name), "untouched");
    }
  }
  for (const std::string& bad :
       {std::string("<vfdl/><vfdl/>"), std::string("<vfdl/>x"), std::string("<vfdl><a></b></vfdl>"),
        std::string("<vfdl>&undefined;</vfdl>"), std::string("<vfdl a=\"1\" a=\"2\"/>"), std::string("<vfdl a=1/>"),
        std::string("<vfdl>\x01</vfdl>"), std::string("<vfdl>&#1;</vfdl>"), std::string("\xEF\xBB\xBF"),
        std::string("<?xml version=\"1.0\"?>"), std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><vfdl>\xB0</vfdl>"),
        std::string("<vfdl><!-- open </vfdl>"), std::string("<vfdl><![CDATA[ open </vfdl>"), std::string("\0<vfdl/>", 8)}) {
    ASSERT_TRUE(WriteTextFile(path, bad));
    EXPECT_EQ(Read(path), nullptr) << bad;
  }
  std::unique_ptr<XmlElement> parsed;
  EXPECT_FALSE(ReadXmlFile((dir / "absent.xml").c_str(), parsed));
  EXPECT_FALSE(ReadXmlFile(dir.path().c_str(), parsed));
}

// Text given to a document is characters already: its declared encoding is not applied.
TEST(XmlFile, TextIsTakenAsCharacters) {
  const std::string letter = GetACP() == 936 ? "\xD6\xD0" : "\xE9";  // a character of the code page
  std::unique_ptr<XmlElement> root;
  ASSERT_TRUE(ParseXmlText(("<?xml version=\"1.0\" encoding=\"UTF-8\"?><vfdl a=\"" + letter + "&amp;\">" + letter +
                            "</vfdl>").c_str(),
                           root));
  EXPECT_EQ(Show(*root->FindAttribute("a")), letter + "&");
  EXPECT_EQ(Show(root->text), letter);
  ASSERT_TRUE(ParseXmlText("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><vfdl>\xD6\xD0</vfdl>", root));
  EXPECT_EQ(Show(root->text), "\xD6\xD0");
  EXPECT_FALSE(ParseXmlText("", root));
  EXPECT_FALSE(ParseXmlText("<vfdl>", root));
  EXPECT_EQ(Show(root->text), "\xD6\xD0");  // untouched by the failures
}

}  // namespace
