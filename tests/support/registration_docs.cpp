#include "tests/support/registration_docs.h"

#include <cstdlib>
#include <cstring>

const char kTestRoot[] = "Software\\VantelSwapTest";

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

unsigned BaseSeed() {
  char text[32] = "";
  if (GetEnvironmentVariableA("VANTEL_SWAP_SEED", text, sizeof text) > 0) return static_cast<unsigned>(strtoul(text, nullptr, 10));
  return 20240601u;
}

std::string HkcuText(const std::string& subKey) { return "HKEY_CURRENT_USER\\" + subKey; }

std::unique_ptr<CSysRegDoc> NewDoc(const std::string& path) {
  std::unique_ptr<CSysRegDoc> doc(new CSysRegDoc);
  if (!doc->NewXMLDoc(path.c_str(), 0, 0) || !doc->InitVFDLDoc(nullptr)) return nullptr;
  return doc;
}

std::unique_ptr<CSysRegDoc> OpenDoc(const std::string& path) {
  std::unique_ptr<CSysRegDoc> doc(new CSysRegDoc);
  if (doc->LoadXMLDoc(path.c_str()) != CXMLDoc::LOAD_DONE || !doc->InitVFDLDoc(nullptr)) return nullptr;
  return doc;
}

CVFDLNode* AddRecord(CSysRegDoc& doc, CVFDLNode* parent, const Vars& vars) {
  CSysRegRec rec;
  for (const auto& v : vars) rec.SetVarValue(v.first.c_str(), CString(v.second.data(), static_cast<int>(v.second.size())));
  return doc.GetNodeByID(doc.AddRec(parent, &rec, 65535));
}

CVFDLNode* AddFolder(CSysRegDoc& doc, CVFDLNode* parent, const std::string& alias) {
  CVFDLFolder folder;
  folder.SetAlias(alias.c_str());
  return doc.GetNodeByID(doc.AddFolder(parent, &folder, 65535));
}

std::vector<CVFDLNode*> RecordsBelow(CSysRegDoc& doc, CVFDLNode* node) {
  std::vector<CVFDLNode*> out;
  if (!node) return out;
  CPtrArray all;
  doc.BrowseNode(node, all);
  for (int i = 0; i < all.GetSize(); ++i) {
    auto* n = static_cast<CVFDLNode*>(all[i]);
    if (n->GetKind() == VFDL_KIND_REC) out.push_back(n);
  }
  return out;
}

std::vector<CVFDLNode*> RecordsOf(CSysRegDoc& doc, const char* className) {
  return RecordsBelow(doc, doc.GetClassNode(className, 0));
}

std::string Base64(const std::string& bytes) {
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    unsigned n = static_cast<unsigned char>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) n |= static_cast<unsigned char>(bytes[i + 2]);
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += i + 1 < bytes.size() ? kAlphabet[(n >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kAlphabet[n & 63] : '=';
  }
  return out;
}

std::string Unbase64(const std::string& text, bool* ok) {
  std::string out;
  unsigned n = 0;
  int bits = 0;
  bool good = text.size() % 4 == 0;
  for (size_t i = 0; good && i < text.size(); ++i) {
    char c = text[i];
    if (c == '=') {
      good = i + 2 >= text.size();
      continue;
    }
    const char* p = strchr(kAlphabet, c);
    if (!p || !c) {
      good = false;
      break;
    }
    n = (n << 6) | static_cast<unsigned>(p - kAlphabet);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((n >> bits) & 0xff);
    }
  }
  if (ok) *ok = good;
  return good ? out : std::string();
}

ScratchTool::ScratchTool(const std::string& hint) : m_folder(hint) {
  m_bLocalApp = FALSE;
  m_strSwapPath = m_folder.path().c_str();
  m_strMyPath = (m_folder / "MySelf").c_str();
  m_strBackPath = (m_folder / "Backup").c_str();
  CreateDirectoryA(m_strMyPath, nullptr);
  CreateDirectoryA(m_strBackPath, nullptr);
}
