#include "catalogue/open_tool_payload.h"

#include <cstring>

std::vector<char> BuildOpenToolPayload(const char* dataId, const char* arg1, const char* arg2) {
  std::vector<char> payload;
  for (const char* text : {dataId, arg1, arg2}) {
    if (text) payload.insert(payload.end(), text, text + strlen(text));
    payload.push_back('\0');
  }
  payload.push_back('\0');
  return payload;
}

bool ParseOpenToolPayload(const void* data, DWORD size, CString& dataId, CString& arg1, CString& arg2) {
  const char* at = static_cast<const char*>(data);
  const char* end = at + (data ? size : 0);
  CString texts[3];
  for (CString& text : texts) {
    const void* nul = at < end ? memchr(at, '\0', static_cast<size_t>(end - at)) : nullptr;
    if (!nul) return false;
    text = CString(at, static_cast<int>(static_cast<const char*>(nul) - at));
    at = static_cast<const char*>(nul) + 1;
  }
  dataId = texts[0];
  arg1 = texts[1];
  arg2 = texts[2];
  return true;
}
