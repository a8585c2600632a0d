#include "tests/support/registration_docs.h"

#include "tests/support/processes.h"

#include <cstdlib>

const char kTestRoot[] = "Software\\VantelSwapTest";

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
const DWORD kSettleMs = 15000;

// The registry layout of an association record: where each variable's text goes.
const struct {
  const char* var;
  bool inClass;
  const char* key;
  const char* name;
} kClassTexts[] = {
    {"document", false, "", ""}, {"contenttype", false, "", "Content Type"}, {"name", true, "", ""},
    {"friendlyname", true, "", "FriendlyTypeName"}, {"url", true, "", "URL Protocol"}, {"icon", true, "\\DefaultIcon", ""},
    {"open", true, "\\Shell\\Open\\Command", ""}, {"edit", true, "\\Shell\\Edit\\Command", ""},
    {"print", true, "\\Shell\\Print\\Command", ""}, {"clsid", true, "\\CLSID", ""},
};

}  // namespace

unsigned BaseSeed() {
  char text[32] = "";
  if (GetEnvironmentVariableA("VANTEL_SWAP_SEED", text, sizeof text) > 0) return static_cast<unsigned>(strtoul(text, nullptr, 10));
  return 20240601u;
}

std::string Random::Text(int length) {
  const char kPunctuation[] = " ._-()&'#!~", kAlphanumeric[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string s;
  for (int kind = Pick(10); static_cast<int>(s.size()) < length; kind = Pick(10)) {
    if (kind < 2) {  // a character of code page 936 (GB2312 area)
      s += static_cast<char>(0xB0 + Pick(0xF7 - 0xB0 + 1));
      s += static_cast<char>(0xA1 + Pick(0xFE - 0xA1 + 1));
    } else {
      s += kind < 3 ? kPunctuation[Pick(sizeof kPunctuation - 1)] : kAlphanumeric[Pick(sizeof kAlphanumeric - 1)];
    }
  }
  return s;
}

std::string Random::Bytes(int count) {
  std::string s(count > 0 ? count : 0, '\0');
  for (char& c : s) c = static_cast<char>(Pick(256));
  return s;
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

std::vector<CVFDLNode*> RecordsOf(CSysRegDoc& doc, const char* className) {
  std::vector<CVFDLNode*> out;
  CPtrArray all;
  if (CVFDLNode* node = doc.GetClassNode(className, 0)) doc.BrowseNode(node, all);
  for (int i = 0; i < all.GetSize(); ++i)
    if (static_cast<CVFDLNode*>(all[i])->GetKind() == VFDL_KIND_REC) out.push_back(static_cast<CVFDLNode*>(all[i]));
  return out;
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

ScratchTool::ScratchTool(const std::string& hint) : m_folder(hint) {
  m_bLocalApp = FALSE;
  m_strSwapPath = m_folder.path().c_str();
  m_strMyPath = (m_folder / "MySelf").c_str();
  m_strBackPath = (m_folder / "Backup").c_str();
  CreateDirectoryA(m_strMyPath, nullptr);
  CreateDirectoryA(m_strBackPath, nullptr);
}

std::vector<ClassText> AssociationTexts(const Vars& record, const std::string& classKey) {
  std::string ext;
  for (const auto& v : record)
    if (v.first == "extension") ext = v.second;
  std::vector<ClassText> texts;
  for (const auto& v : record)
    for (const auto& t : kClassTexts)
      if (v.first == t.var) texts.push_back({(t.inClass ? classKey : ext) + t.key, t.name, v.first == "url" ? "" : v.second});
  return texts;
}

std::string ServiceState(const ServiceConfig& c) { return Describe(c) + (c.running ? ", running" : ", stopped"); }

void MachineView::WatchKey(HKEY root, const std::string& base, const std::string& top, const std::string& area) {
  m_keys.push_back(Key{root, base, top, area});
}
void MachineView::WatchFolder(const std::string& folder) { m_folders.push_back(folder); }
void MachineView::WatchService(const std::string& name) { m_services.push_back(name); }

MachineState MachineView::Observe() const {
  MachineState s;
  for (const Key& k : m_keys) ReadKey(s, k.root, k.base, k.top, k.area);
  for (const std::string& folder : m_folders)
    for (const auto& f : ListTree(Wide(folder))) s[Entry("file", f.first)] = f.second;
  for (const std::string& name : m_services)
    if (const ServiceConfig config = QueryService(name); config.exists) s[Entry("svc", name)] = ServiceState(config);
  return s;
}

std::string MachineView::Settled(const MachineState& expected) const {
  std::string differences;
  WaitUntil([&] { return (differences = Differences(expected, Observe())).empty(); }, kSettleMs);
  return differences;
}
