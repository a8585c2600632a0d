#include "platform/doctree/vf_path.h"

#include <windows.h>

#include <cstring>

namespace vfpath {

const char kPrefix[] = "afs:\\";

namespace {

bool IsLead(unsigned char c) { return c >= 0x80 && IsDBCSLeadByte(c); }

bool IsIdChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

bool IsDeviceName(const CString& id) {
  static const char* const kNames[] = {"CON", "PRN", "AUX", "NUL"};
  for (const char* name : kNames)
    if (id.CompareNoCase(name) == 0) return true;
  if (id.GetLength() == 4 && (_strnicmp(id, "COM", 3) == 0 || _strnicmp(id, "LPT", 3) == 0))
    return id[3] >= '1' && id[3] <= '9';
  return false;
}

}  // namespace

std::vector<CString> Split(const CString& path) {
  std::vector<CString> parts;
  const char* p = path.c_str();
  const int length = path.GetLength();
  int i = 0;
  if (length >= 4 && _strnicmp(p, "afs:", 4) == 0) i = 4;
  int begin = i;
  while (i <= length) {
    if (i == length || p[i] == '\\') {
      if (i > begin) parts.emplace_back(p + begin, i - begin);
      begin = ++i;
    } else {
      i += IsLead(static_cast<unsigned char>(p[i])) && i + 1 < length ? 2 : 1;
    }
  }
  return parts;
}

CString Join(const std::vector<CString>& components) {
  CString path(kPrefix);
  for (size_t i = 0; i < components.size(); ++i) {
    if (i) path += '\\';
    path += components[i];
  }
  return path;
}

CString Fold(const CString& alias) {
  CString key(alias);
  const int length = key.GetLength();
  for (int i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(key[i]);
    if (IsLead(c)) {
      ++i;
    } else if (c >= 'A' && c <= 'Z') {
      key.SetAt(i, static_cast<char>(c - 'A' + 'a'));
    }
  }
  return key;
}

bool IsComponent(const CString& text) {
  const int length = text.GetLength();
  if (length == 0) return false;
  for (int i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\\') return false;
    if (IsLead(c) && ++i == length) return false;
  }
  return true;
}

bool IsValidID(const CString& id) {
  const int length = id.GetLength();
  if (length < 1 || length > 64) return false;
  for (int i = 0; i < length; ++i)
    if (!IsIdChar(id[i])) return false;
  return !IsDeviceName(id);
}

bool ParseNumericID(const CString& id, unsigned long long& value) {
  const int length = id.GetLength();
  if (length < 1 || length > 18) return false;
  value = 0;
  for (int i = 0; i < length; ++i) {
    if (id[i] < '0' || id[i] > '9') return false;
    value = value * 10 + static_cast<unsigned>(id[i] - '0');
  }
  return true;
}

size_t Hasher::operator()(const CString& s) const noexcept {
  // FNV-1a over the bytes.
  size_t h = 2166136261u;
  const int length = s.GetLength();
  for (int i = 0; i < length; ++i) {
    h ^= static_cast<unsigned char>(s[i]);
    h *= 16777619u;
  }
  return h;
}

}  // namespace vfpath
