// Shared pieces of the document-tree tests: the table of awkward texts, random texts and trees
// made with it, new and loaded documents, and field-by-field descriptions of items and trees.
#pragma once

#include "platform/doctree/doc_tree.h"
#include "platform/doctree/xml_element.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>
#include <vector>

// "afs:\信息中心\个人中心\注册表" and the catalogue folder below it, as code page 936 bytes.
#define CP936_REGISTRY "afs:\\\xD0\xC5\xCF\xA2\xD6\xD0\xD0\xC4\\\xB8\xF6\xC8\xCB\xD6\xD0\xD0\xC4\\\xD7\xA2\xB2\xE1\xB1\xED"
#define CP936_CATALOGUE CP936_REGISTRY "\\Config\\Basic\\Tool"

// Texts that XML, Base64 or the code page make hard: markup, quotes, CR, LF, tab, control
// characters, characters of code page 936 (others elsewhere), lead bytes without a trail byte.
inline const char* const kAwkwardTexts[] = {
    "<", ">", "&", "\"", "'", "<&>\"'", "]]>", "<![CDATA[x]]>", "&amp;", "&#13;", "<!-- x -->", "<?pi?>",
    "a=\"b\" c='d'", "  both ends  ", "tab\there", "line\nfeed", "\n\n", "cr\rhere", "cr\r\nlf", "\t", "\r",
    "ctl\x01", "\x1F", "del\x7F", "\x0B\x0C", "\xC2\xA0", "\xD6\xD0\xCE\xC4", "\xD7\xA2\xB2\xE1\xB1\xED <&> \"\xB0\xA1\"",
    "\xB0", "x\xB0", "\xA1\xA1\t\n\xA1\xA1", "\x80\xFF", "HKEY_CURRENT_USER\\Software\\A&B <x>"};

// Up to four pieces, or nothing: awkward texts, single bytes, and pairs of a lead and a trail
// byte of code page 936 (whether a character there or not).
inline CString RandomText(std::mt19937& rng) {
  std::string s;
  for (int parts = static_cast<int>(rng() % 5); parts > 0; --parts) {
    switch (rng() % 4) {
      case 0: s += static_cast<char>(1 + rng() % 255); break;
      case 1: s += {static_cast<char>(0x81 + rng() % 0x7E), static_cast<char>(0x40 + rng() % 0xBF)}; break;
      default: s += kAwkwardTexts[rng() % std::size(kAwkwardTexts)];
    }
  }
  return CString(s.c_str());
}

inline std::string Show(const CString& s) { return std::string(s.c_str()); }

// What a copy of an item carries: its texts, extended type, variables and pages.
inline std::string Fields(const CVFDLItem& item) {
  std::string out = Show(item.GetAlias()) + "|" + Show(item.GetName()) + "|" + Show(item.GetSubject()) + "|" +
                    Show(item.GetAbstract()) + "|" + std::to_string(item.GetExtendType());
  if (const auto* rec = dynamic_cast<const CVFDLRec*>(&item)) {
    CVFVarArray vars;
    CVFPageArray pages;
    rec->GetVarList(vars);
    rec->GetPageList(pages);
    for (int i = 0; i < vars.GetSize(); ++i) out += "|var " + Show(vars[i].m_strName) + "=" + Show(vars[i].m_strValue);
    for (int i = 0; i < pages.GetSize(); ++i)
      out += "|page " + Show(pages[i].m_strName) + "," + Show(pages[i].m_strPath) + "," + Show(pages[i].m_strText);
  }
  return out;
}

// Every node at and below node, one line each in tree order: kind, ID, fields, times.
inline std::string Describe(CVFTree& tree, CVFDLNode* node) {
  std::string out = std::to_string(node->GetKind()) + "|" + Show(node->GetID()) + "|" + Fields(*node->GetData()) + "|" +
                    Show(node->GetCreateTime()) + Show(node->GetUpdateTime()) + "\n";
  for (CVFDLNode* child = tree.GetFirstChild(node); child; child = tree.GetNextNode(child)) out += Describe(tree, child);
  return out;
}

inline std::string Describe(CVFDLDoc& doc) { return Describe(doc, doc.GetRootNode()); }

// A record that counts its instances.
struct TrackedRec : CVFDLRec {
  static inline int alive = 0;
  TrackedRec() { ++alive; }
  ~TrackedRec() override { --alive; }
};

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

// Makes doc a new, empty document at path with auto-save off.
inline void StartDocument(CVFDLDoc& doc, const std::string& path) {
  ASSERT_EQ(doc.NewXMLDoc(path.c_str(), 0, 0), 1);
  ASSERT_EQ(doc.InitVFDLDoc(nullptr), 1);
  doc.SetAutoSaveFlag(0);
}

inline void Load(CVFDLDoc& doc, const std::string& path) {
  ASSERT_EQ(doc.LoadXMLDoc(path.c_str()), CXMLDoc::LOAD_DONE) << path;
  ASSERT_EQ(doc.InitVFDLDoc(nullptr), 1);
}

// Adds a folder or a record with that alias under parent; the new node, or null when refused.
inline CVFDLNode* AddNode(CVFDLDoc& doc, CVFDLNode* parent, const char* alias, bool folder = false) {
  CVFDLFolder f;
  CVFDLRec r;
  f.SetAlias(alias);
  r.SetAlias(alias);
  return doc.GetNodeByID(folder ? doc.AddFolder(parent, &f, 0xFFFF) : doc.AddRec(parent, &r, 0xFFFF));
}

// Adds `count` random folders and records under random folders of doc (auto-save should be off);
// each node holds a copy of every field it was given.
inline void GrowRandomTree(CVFDLDoc& doc, std::mt19937& rng, int count) {
  for (int i = 0; i < count; ++i) {
    CPtrArray nodes;
    nodes.Add(doc.GetRootNode());
    doc.BrowseNode(doc.GetRootNode(), nodes);
    CVFDLNode* parent = static_cast<CVFDLNode*>(nodes[static_cast<int>(rng() % nodes.GetSize())]);
    if (parent->GetKind() == VFDL_KIND_REC) parent = doc.GetParentNode(parent);
    CVFDLRec rec;
    CVFDLFolder folder;
    CVFDLItem& item = rng() % 3 ? static_cast<CVFDLItem&>(rec) : folder;
    if (rng() % 4) item.SetAlias(rng() % 3 ? CString(("a" + std::to_string(rng() % 6)).c_str()) : RandomText(rng));
    item.SetName(RandomText(rng));
    item.SetSubject(RandomText(rng));
    item.SetAbstract(RandomText(rng));
    item.SetExtendType(static_cast<WORD>(rng() % 3 ? 0 : rng() % 65536));
    for (int v = static_cast<int>(rng() % 6); v > 0; --v) rec.SetVarValue(RandomText(rng), RandomText(rng));
    CVFPageArray pages;
    for (int p = static_cast<int>(rng() % 3); p > 0; --p) pages.Add(CVFPage{RandomText(rng), RandomText(rng), RandomText(rng)});
    rec.SetPageList(pages);
    ASSERT_EQ(Fields(CVFDLRec(rec)), Fields(rec));
    const CString id = &item == &rec ? doc.AddRec(parent, &rec, 0xFFFF) : doc.AddFolder(parent, &folder, 0xFFFF);
    CVFDLNode* node = doc.GetNodeByID(id);
    ASSERT_NE(node, nullptr);
    ASSERT_NE(node->GetData(), &item);
    ASSERT_FALSE(node->GetCreateTime().IsEmpty());
    ASSERT_EQ(Fields(*node->GetData()), Fields(item));
  }
}

// Every name, attribute and text of an XML tree, in order; not the text of elements with
// children (the indentation, once written).
inline std::string Dump(const XmlElement& e) {
  std::string out = "<" + Show(e.name);
  for (const auto& a : e.attributes) out += " " + Show(a.first) + "=[" + Show(a.second) + "]";
  out += ">[" + (e.children.empty() ? Show(e.text) : std::string()) + "]";
  for (const auto& c : e.children) out += Dump(*c);
  return out + "</>";
}
