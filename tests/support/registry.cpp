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

}  // namespace

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

