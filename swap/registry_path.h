// Registry paths as the Unicode registry functions take them, for a swap that reads and writes
// the machine's names exactly: "HKEY_CURRENT_USER\Software\名前" is the root named as
// CCommon::ParserSysKey names roots, then the path below it.
#pragma once

#include "platform/win/handles.h"

#include <string>
#include <vector>

// The root key and the path below it (doubled, leading and trailing backslashes dropped); false,
// and root null, when the root name is not one of the registry's.
bool SplitRegistryPath(const std::wstring& path, HKEY& root, std::wstring& subKey);
// Opens the key without creating it; an empty owner when it cannot be opened.
RegKey OpenRegistryPath(const std::wstring& path, REGSAM access);
// Whether two key or value names are the same name to the registry (letter case ignored as the
// registry ignores it).
bool SameRegistryName(const std::wstring& a, const std::wstring& b);
// Sets a value to exactly these bytes. RegSetValueExW and RegSetValueExA count a terminating zero
// in when a string's next character in memory is zero; the bytes are passed with a guard after them
// so that a string stored without its zero (or of odd length) comes back as it was.
LONG SetValueExactly(HKEY key, const std::wstring& name, DWORD type, const std::vector<BYTE>& bytes);
LONG SetValueExactly(HKEY key, const char* name, DWORD type, const std::vector<BYTE>& bytes);
