#include "tests/support/registry.h"

#include <shlwapi.h>

#include <cstdio>

KeyCleanup::KeyCleanup(HKEY r, std::string s) : root(r), subKey(std::move(s)) { SHDeleteKeyA(root, subKey.c_str()); }
KeyCleanup::~KeyCleanup() { SHDeleteKeyA(root, subKey.c_str()); }

namespace {

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

const char kKeyContent[] = "key", kTypePrefix[] = "type ";

std::wstring Under(const std::wstring& top, const std::wstring& path) {
  return top.empty() ? path : path.empty() ? top : top + L"\\" + path;
}

std::string ValueEntryW(const std::string& area, const std::wstring& path, const std::wstring& name) {
  return Entry(area, path) + "\n" + Printable(Fold(name));
}

std::string ValueContentW(DWORD type, const std::vector<BYTE>& data) {
  std::string s = kTypePrefix + std::to_string(type) + ":";
  for (BYTE b : data) {
    char hex[4];
    snprintf(hex, sizeof hex, " %02x", b);
    s += hex;
  }
  return s;
}

}  // namespace

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

bool SetRaw(HKEY root, const std::string& subKey, const std::string& name, DWORD type, const std::string& bytes) {
  RegKey key;
  if (RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.receive(), nullptr) !=
      ERROR_SUCCESS)
    return false;
  // A guard after the bytes: the registry would count a string's next zero in.
  const std::string guarded = bytes + '\xff';
  return RegSetValueExA(key.get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(guarded.data()),
                        static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
}

bool SetRawW(HKEY root, const std::wstring& subKey, const std::wstring& name, DWORD type, const std::string& bytes) {
  RegKey key;
  if (RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.receive(), nullptr) != ERROR_SUCCESS)
    return false;
  const std::string guarded = bytes + "\xFF\xFF";  // as above, in either width
  return RegSetValueExW(key.get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(guarded.data()),
                        static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
}

std::string Utf16Bytes(const std::wstring& text, bool withZero) {
  std::string bytes(reinterpret_cast<const char*>(text.c_str()), text.size() * sizeof(wchar_t));
  if (withZero) bytes.append(2, '\0');
  return bytes;
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

bool HasKey(HKEY root, const std::string& subKey) {
  RegKey key;
  return RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, key.receive()) == ERROR_SUCCESS;
}

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

std::string Entry(const std::string& area, const std::wstring& path) {
  return path.empty() ? area : area + "\\" + Printable(Fold(path));
}
std::string Entry(const std::string& area, const std::string& ansiPath) { return Entry(area, Wide(ansiPath)); }
std::string ValueEntry(const std::string& area, const std::string& ansiPath, const std::string& ansiName) {
  return ValueEntryW(area, Wide(ansiPath), Wide(ansiName));
}
std::string ValueContent(DWORD type, const std::string& ansiBytes) { return ValueContentW(type, WideData(type, ansiBytes)); }
bool IsTypeNone(const std::string& content) { return content.rfind(kTypePrefix + std::to_string(REG_NONE) + ":", 0) == 0; }

void PutKey(MachineState& s, const std::string& area, const std::string& path) {
  for (size_t at = 0; at != std::string::npos;) {
    at = path.find('\\', at + 1);
    s[Entry(area, path.substr(0, at))] = kKeyContent;
  }
}

void PutValue(MachineState& s, const std::string& area, const std::string& path, const std::string& name, DWORD type,
              const std::string& bytes) {
  if (!path.empty()) PutKey(s, area, path);
  s[ValueEntry(area, path, name)] = ValueContent(type, bytes);
}

void PutText(MachineState& s, const std::string& area, const std::string& path, const std::string& name, const std::string& text) {
  PutValue(s, area, path, name, REG_SZ, std::string(text.c_str(), text.size() + 1));
}

bool Within(const std::string& entry, const std::string& top) {
  if (entry.compare(0, top.size(), top) != 0) return false;
  if (entry.size() == top.size()) return true;
  return top.find('\n') == std::string::npos && (entry[top.size()] == '\\' || entry[top.size()] == '\n');
}

void RemoveBelow(MachineState& s, const std::string& top) {
  for (auto it = s.lower_bound(top); it != s.end() && it->first.compare(0, top.size(), top) == 0;)
    it = Within(it->first, top) ? s.erase(it) : std::next(it);
}

void ReadKey(MachineState& s, HKEY root, const std::string& base, const std::string& top, const std::string& area) {
  const RegSnapshot snapshot = Snapshot(root, base.empty() || top.empty() ? base + top : base + "\\" + top);
  const std::wstring at = Wide(top);
  if (snapshot.exists) s[Entry(area, at)] = kKeyContent;
  for (const auto& key : snapshot.keys) s[Entry(area, Under(at, key.second))] = kKeyContent;
  for (const auto& v : snapshot.values)
    s[ValueEntryW(area, Under(at, v.first.first), v.second.name)] = ValueContentW(v.second.type, v.second.data);
}

std::string Differences(const MachineState& expected, const MachineState& actual) {
  const size_t limit = 12, shown = 400;
  std::vector<std::string> lines;
  auto line = [&lines](const char* what, std::string entry, const std::string& content) {
    if (entry.find('\n') != std::string::npos) entry.replace(entry.find('\n'), 1, " : ");
    lines.push_back(what + entry + " = " + content.substr(0, shown));
  };
  for (const auto& e : expected) {
    auto it = actual.find(e.first);
    if (it == actual.end())
      line("missing ", e.first, e.second);
    else if (it->second != e.second)
      line("changed ", e.first, e.second.substr(0, shown) + " -> " + it->second.substr(0, shown));
  }
  for (const auto& a : actual)
    if (!expected.count(a.first)) line("extra ", a.first, a.second);
  std::string out;
  for (size_t i = 0; i < lines.size() && i < limit; ++i) out += lines[i] + "\n";
  return lines.size() > limit ? out + "... " + std::to_string(lines.size() - limit) + " more\n" : out;
}
