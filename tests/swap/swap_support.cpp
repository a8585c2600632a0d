#include "tests/swap/swap_support.h"

#include "platform/framework/afx_module.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

const char kTestRoot[] = "Software\\VantelSwapTest";

namespace {

// The resource library is the resource handle for the whole run; the test root is removed
// before the first test and after the last, whatever the tests left.
class SwapEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    SHDeleteKeyA(HKEY_CURRENT_USER, kTestRoot);
    m_library = LoadLibraryA((BinFolder() + "\\Parlance10.dll").c_str());
    ASSERT_NE(m_library, nullptr) << "Parlance10.dll beside the test";
    AfxSetResourceHandle(m_library);
  }
  void TearDown() override {
    AfxSetResourceHandle(AfxGetInstanceHandle());
    if (m_library) FreeLibrary(m_library);
    SHDeleteKeyA(HKEY_CURRENT_USER, kTestRoot);
  }

 private:
  HMODULE m_library = nullptr;
};

const ::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new SwapEnvironment);

void WalkKey(HKEY key, const std::wstring& path, RegSnapshot& out) {
  DWORD maxName = 0, maxData = 0;
  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName, &maxData, nullptr,
                   nullptr);
  std::vector<wchar_t> name(maxName + 2);
  std::vector<BYTE> data(maxData + 2);
  for (DWORD i = 0;;) {
    DWORD nameLen = static_cast<DWORD>(name.size()), dataLen = static_cast<DWORD>(data.size()), type = 0;
    LONG r = RegEnumValueW(key, i, name.data(), &nameLen, nullptr, &type, data.data(), &dataLen);
    if (r == ERROR_MORE_DATA) {
      name.resize(name.size() * 2);
      data.resize(data.size() * 2 + dataLen);
      continue;
    }
    if (r != ERROR_SUCCESS) break;
    RegValueData v;
    v.name.assign(name.data(), nameLen);
    v.type = type;
    v.data.assign(data.begin(), data.begin() + dataLen);
    out.values[{Fold(path), Fold(v.name)}] = v;
    ++i;
  }
  std::vector<std::wstring> subKeys;
  wchar_t sub[300];
  for (DWORD i = 0;; ++i) {
    DWORD len = 300;
    if (RegEnumKeyExW(key, i, sub, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    subKeys.emplace_back(sub, len);
  }
  for (const std::wstring& s : subKeys) {
    std::wstring childPath = path.empty() ? s : path + L"\\" + s;
    out.keys[Fold(childPath)] = childPath;
    RegKey child;
    if (RegOpenKeyExW(key, s.c_str(), 0, KEY_READ, child.receive()) == ERROR_SUCCESS)
      WalkKey(child.get(), childPath, out);
  }
}

std::string Printable(const std::wstring& w) {
  std::string s;
  for (wchar_t c : w) {
    if (c >= 0x20 && c < 0x7f) {
      s += static_cast<char>(c);
    } else {
      char buf[12];
      snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
      s += buf;
    }
  }
  return s;
}

std::string Printable(const RegValueData& v) {
  std::string s = "type " + std::to_string(v.type) + " [" + std::to_string(v.data.size()) + "]";
  for (size_t i = 0; i < v.data.size() && i < 24; ++i) {
    char buf[4];
    snprintf(buf, sizeof buf, " %02x", v.data[i]);
    s += buf;
  }
  if (v.data.size() > 24) s += " ...";
  return s;
}

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace

unsigned BaseSeed() {
  char text[32] = "";
  if (GetEnvironmentVariableA("VANTEL_SWAP_SEED", text, sizeof text) > 0) return static_cast<unsigned>(strtoul(text, nullptr, 10));
  return 20240601u;
}

std::string HkcuText(const std::string& subKey) { return "HKEY_CURRENT_USER\\" + subKey; }

EnvGuard::EnvGuard(std::string name, const std::string& value) : m_name(std::move(name)) {
  SetEnvironmentVariableA(m_name.c_str(), value.c_str());
}
EnvGuard::~EnvGuard() { SetEnvironmentVariableA(m_name.c_str(), nullptr); }

bool SetRaw(HKEY root, const std::string& subKey, const std::string& name, DWORD type, const std::string& bytes) {
  RegKey key;
  if (RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.receive(), nullptr) !=
      ERROR_SUCCESS)
    return false;
  return RegSetValueExA(key.get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                        static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
}

bool SetText(HKEY root, const std::string& subKey, const std::string& name, const std::string& text) {
  return SetRaw(root, subKey, name, REG_SZ, std::string(text.c_str(), text.size() + 1));
}

bool MakeKey(HKEY root, const std::string& subKey) {
  RegKey key;
  return RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, 0, KEY_READ, nullptr, key.receive(), nullptr) ==
         ERROR_SUCCESS;
}

bool GetRaw(HKEY root, const std::string& subKey, const std::string& name, DWORD* type, std::string* bytes) {
  RegKey key;
  if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_QUERY_VALUE, key.receive()) != ERROR_SUCCESS) return false;
  DWORD t = 0, size = 0;
  if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &t, nullptr, &size) != ERROR_SUCCESS) return false;
  std::string data(size + 2, '\0');
  size = static_cast<DWORD>(data.size());
  if (RegQueryValueExA(key.get(), name.c_str(), nullptr, &t, reinterpret_cast<BYTE*>(&data[0]), &size) !=
      ERROR_SUCCESS)
    return false;
  data.resize(size);
  if (type) *type = t;
  if (bytes) *bytes = data;
  return true;
}

bool HasKey(HKEY root, const std::string& subKey) { return KeyExists(root, subKey); }

bool HasValue(HKEY root, const std::string& subKey, const std::string& name) {
  return GetRaw(root, subKey, name, nullptr, nullptr);
}

std::string TextOf(HKEY root, const std::string& subKey, const std::string& name) {
  DWORD type = 0;
  std::string bytes;
  if (!GetRaw(root, subKey, name, &type, &bytes) || (type != REG_SZ && type != REG_EXPAND_SZ)) return "<absent>";
  if (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
  return bytes;
}

std::wstring Fold(const std::wstring& text) {
  std::wstring folded = text;
  if (!folded.empty()) CharUpperBuffW(&folded[0], static_cast<DWORD>(folded.size()));
  return folded;
}

std::wstring Wide(const std::string& ansi) {
  if (ansi.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  std::wstring w(n, L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &w[0], n);
  return w;
}

std::vector<BYTE> WideData(DWORD type, const std::string& bytes) {
  if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ)
    return std::vector<BYTE>(bytes.begin(), bytes.end());
  std::wstring w = Wide(bytes);
  const BYTE* p = reinterpret_cast<const BYTE*>(w.data());
  return std::vector<BYTE>(p, p + w.size() * sizeof(wchar_t));
}

RegSnapshot Snapshot(HKEY root, const std::string& subKey) {
  RegSnapshot s;
  RegKey top;
  if (RegOpenKeyExW(root, Wide(subKey).c_str(), 0, KEY_READ, top.receive()) != ERROR_SUCCESS) return s;
  s.exists = true;
  WalkKey(top.get(), std::wstring(), s);
  return s;
}

std::string Differences(const RegSnapshot& expected, const RegSnapshot& actual, size_t limit) {
  std::vector<std::string> lines;
  if (expected.exists != actual.exists)
    lines.push_back(std::string("top key ") + (expected.exists ? "missing" : "should not exist"));
  for (const auto& k : expected.keys)
    if (!actual.keys.count(k.first)) lines.push_back("missing key " + Printable(k.second));
  for (const auto& k : actual.keys)
    if (!expected.keys.count(k.first)) lines.push_back("extra key " + Printable(k.second));
  for (const auto& v : expected.values) {
    auto it = actual.values.find(v.first);
    std::string where = Printable(v.first.first) + " : \"" + Printable(v.second.name) + "\"";
    if (it == actual.values.end())
      lines.push_back("missing value " + where + " " + Printable(v.second));
    else if (!(it->second == v.second))
      lines.push_back("changed value " + where + " " + Printable(v.second) + " -> " + Printable(it->second));
  }
  for (const auto& v : actual.values)
    if (!expected.values.count(v.first))
      lines.push_back("extra value " + Printable(v.first.first) + " : \"" + Printable(v.second.name) + "\" " +
                      Printable(v.second));
  std::string out;
  for (size_t i = 0; i < lines.size() && i < limit; ++i) out += lines[i] + "\n";
  if (lines.size() > limit) out += "... " + std::to_string(lines.size() - limit) + " more\n";
  return out;
}

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

bool ServiceConfig::operator==(const ServiceConfig& o) const {
  return exists == o.exists && type == o.type && start == o.start && error == o.error && tag == o.tag &&
         path == o.path && group == o.group && dependencies == o.dependencies && account == o.account &&
         display == o.display && description == o.description;
}

ServiceConfig QueryService(const std::string& name) {
  ServiceConfig c;
  ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  ServiceHandle service(manager ? OpenServiceA(manager.get(), name.c_str(), SERVICE_QUERY_CONFIG) : nullptr);
  if (!service) return c;
  DWORD needed = 0;
  QueryServiceConfigA(service.get(), nullptr, 0, &needed);
  std::vector<BYTE> buf(needed + 16);
  auto* q = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buf.data());
  if (!QueryServiceConfigA(service.get(), q, static_cast<DWORD>(buf.size()), &needed)) return c;
  c.exists = true;
  c.type = q->dwServiceType;
  c.start = q->dwStartType;
  c.error = q->dwErrorControl;
  c.tag = q->dwTagId;
  c.path = q->lpBinaryPathName ? q->lpBinaryPathName : "";
  c.group = q->lpLoadOrderGroup ? q->lpLoadOrderGroup : "";
  for (const char* d = q->lpDependencies; d && *d; d += strlen(d) + 1) c.dependencies += std::string(d) + "|";
  c.account = q->lpServiceStartName ? q->lpServiceStartName : "";
  c.display = q->lpDisplayName ? q->lpDisplayName : "";
  needed = 0;
  QueryServiceConfig2A(service.get(), SERVICE_CONFIG_DESCRIPTION, nullptr, 0, &needed);
  std::vector<BYTE> dbuf(needed + 16);
  if (QueryServiceConfig2A(service.get(), SERVICE_CONFIG_DESCRIPTION, dbuf.data(), static_cast<DWORD>(dbuf.size()),
                           &needed)) {
    auto* d = reinterpret_cast<SERVICE_DESCRIPTIONA*>(dbuf.data());
    c.description = d->lpDescription ? d->lpDescription : "";
  }
  return c;
}

std::string Describe(const ServiceConfig& c) {
  if (!c.exists) return "(no service)";
  char buf[64];
  snprintf(buf, sizeof buf, "type %lu start %lu error %lu tag %lu", c.type, c.start, c.error, c.tag);
  return std::string(buf) + " path '" + c.path + "' group '" + c.group + "' depend '" + c.dependencies +
         "' account '" + c.account + "' display '" + c.display + "' description '" + c.description + "'";
}

ServiceGuard::ServiceGuard(std::string name) : m_name(std::move(name)) { Remove(); }
ServiceGuard::~ServiceGuard() { Remove(); }

void ServiceGuard::Remove() {
  ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  ServiceHandle service(manager ? OpenServiceA(manager.get(), m_name.c_str(),
                                               DELETE | SERVICE_STOP | SERVICE_QUERY_STATUS)
                                : nullptr);
  if (!service) return;
  SERVICE_STATUS_PROCESS status = {};
  DWORD needed = 0;
  DWORD pid = QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                   sizeof status, &needed)
                  ? status.dwProcessId
                  : 0;
  SERVICE_STATUS stop;
  ControlService(service.get(), SERVICE_CONTROL_STOP, &stop);
  DeleteService(service.get());
  service.reset();
  UniqueHandle process(pid ? OpenProcess(PROCESS_TERMINATE, FALSE, pid) : nullptr);
  if (process) TerminateProcess(process.get(), 1);
  std::string key = "SYSTEM\\CurrentControlSet\\Services\\" + m_name;
  WaitUntil([&] { return !KeyExists(HKEY_LOCAL_MACHINE, key); }, 15000);
}
