#include "platform/doctree/xformat.h"

#include <wincrypt.h>

#include <cstring>

namespace {

bool IsBase64Letter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/';
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// crypt32 accepts more than Base64 (missing padding, stray "=", a dangling character) and then
// returns a guess; only text of the exact form is handed to it.
bool IsWellFormed(const char* text, int length) {
  int letters = 0, padding = 0;
  for (int i = 0; i < length; ++i) {
    char c = text[i];
    if (IsSpace(c)) continue;
    if (c == '=') {
      ++padding;
    } else if (IsBase64Letter(c) && padding == 0) {
      ++letters;
    } else {
      return false;
    }
  }
  return padding <= 2 && (letters + padding) % 4 == 0;
}

}  // namespace

CString CXFormat::EncodeTextBase64(const BYTE* bytes, int count, int flag) {
  CString out;
  if (!bytes || count <= 0) return out;
  DWORD size = 0;
  if (!CryptBinaryToStringA(bytes, static_cast<DWORD>(count), CRYPT_STRING_BASE64, nullptr, &size) || size == 0)
    return out;
  char* buffer = out.GetBuffer(static_cast<int>(size));
  memset(buffer, 0, size + 1);
  if (!CryptBinaryToStringA(bytes, static_cast<DWORD>(count), CRYPT_STRING_BASE64, buffer, &size)) {
    out.ReleaseBuffer(0);
    return out;
  }
  // The text ends at its NUL: some crypt32 versions report a length that counts NULs of padding.
  out.ReleaseBuffer(-1);
  if (flag == 0) {
    out.Replace("\r", "");
    out.Replace("\n", "");
  }
  return out;
}

int CXFormat::DecodeTextBase64(const CString& text, BYTE* buffer, int& count, int start, int length) {
  const int total = text.GetLength();
  int first = start < 0 ? 0 : (start > total ? total : start);
  int size = length < 0 || length > total - first ? total - first : length;
  const char* part = text.c_str() + first;
  const int capacity = count;
  count = 0;
  if (!IsWellFormed(part, size)) return 0;

  bool blank = true;
  for (int i = 0; i < size && blank; ++i) blank = IsSpace(part[i]);
  if (blank) return 1;

  DWORD needed = 0;
  if (!CryptStringToBinaryA(part, static_cast<DWORD>(size), CRYPT_STRING_BASE64, nullptr, &needed, nullptr, nullptr))
    return 0;
  if (!buffer) {
    count = static_cast<int>(needed);
    return 1;
  }
  if (capacity < static_cast<int>(needed)) {
    count = static_cast<int>(needed);
    return 0;
  }
  DWORD written = needed;
  if (!CryptStringToBinaryA(part, static_cast<DWORD>(size), CRYPT_STRING_BASE64, buffer, &written, nullptr, nullptr))
    return 0;
  count = static_cast<int>(written);
  return 1;
}
