// Shared pieces of the document-tree tests: the catalogue path in code page 936, random texts
// and trees, and a field-by-field comparison of two trees.
#pragma once

#include "platform/doctree/doc_tree.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

// "afs:\信息中心\个人中心\注册表" and the catalogue folder below it, as code page 936 bytes.
#define CP936_REGISTRY "afs:\\\xD0\xC5\xCF\xA2\xD6\xD0\xD0\xC4\\\xB8\xF6\xC8\xCB\xD6\xD0\xD0\xC4\\\xD7\xA2\xB2\xE1\xB1\xED"
#define CP936_CATALOGUE CP936_REGISTRY "\\Config\\Basic\\Tool"

// A text of random shape: words, GB2312 characters, blanks at either end, tabs, line breaks,
// carriage returns, control characters, markup characters, a dangling lead byte, or nothing.
inline CString RandomText(std::mt19937& rng) {
  std::string s;
  int parts = static_cast<int>(rng() % 5);
  for (int i = 0; i < parts; ++i) {
    switch (rng() % 9) {
      case 0: s += "word"; break;
      case 1: s += static_cast<char>(0xB0 + rng() % 0x48); s += static_cast<char>(0xA1 + rng() % 0x5E); break;
      case 2: s += "  "; break;
      case 3: s += "\t\n"; break;
      case 4: s += "\r\n"; break;
      case 5: s += '\x01'; break;
      case 6: s += "<&>\"'"; break;
      case 7: s += "HKEY_CURRENT_USER\\Software"; break;
      default: s += std::to_string(rng() % 1000); break;
    }
  }
  if (rng() % 20 == 0) s += '\xB0';  // lead byte without its trail byte
  return CString(s.c_str());
}

// Adds `count` random folders and records under random folders of doc (auto-save should be off).
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
    CString id = &item == &rec ? doc.AddRec(parent, &rec, 0xFFFF) : doc.AddFolder(parent, &folder, 0xFFFF);
    ASSERT_FALSE(id.IsEmpty());
  }
}

inline std::string Show(const CString& s) { return std::string(s.c_str()); }

// Every field of every node below and at node, one line per node, in tree order.
inline std::string Describe(CVFTree& tree, CVFDLNode* node) {
  std::string out = std::to_string(node->GetKind()) + "|" + Show(node->GetID()) + "|" + Show(node->GetAlias()) + "|" +
                    Show(node->GetName()) + "|" + Show(node->GetSubject()) + "|" + Show(node->GetAbstract()) + "|" +
                    std::to_string(node->GetExtendType()) + "|" + Show(node->GetCreateTime()) + Show(node->GetUpdateTime());
  if (node->GetKind() == VFDL_KIND_REC) {
    CVFVarArray vars;
    CVFPageArray pages;
    static_cast<CVFDLRec*>(node->GetData())->GetVarList(vars);
    static_cast<CVFDLRec*>(node->GetData())->GetPageList(pages);
    for (int i = 0; i < vars.GetSize(); ++i) out += "|var " + Show(vars[i].m_strName) + "=" + Show(vars[i].m_strValue);
    for (int i = 0; i < pages.GetSize(); ++i)
      out += "|page " + Show(pages[i].m_strName) + "," + Show(pages[i].m_strPath) + "," + Show(pages[i].m_strText);
  }
  out += "\n";
  for (CVFDLNode* child = tree.GetFirstChild(node); child; child = tree.GetNextNode(child)) out += Describe(tree, child);
  return out;
}
