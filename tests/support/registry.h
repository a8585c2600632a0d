// Registry observers and guards: values read and written raw, whole subtrees compared byte for
// byte through the Unicode functions, and test keys removed whatever a test left.
#pragma once

#include "platform/win/handles.h"

#include <windows.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

// Deletes a registry tree before and after a test, whatever happened in between.
struct KeyCleanup {
  KeyCleanup(HKEY root, std::string subKey);
  ~KeyCleanup();
  HKEY root;
  std::string subKey;
};

// Raw registry access through the ANSI functions, as the runtime and a tool see the registry.
bool SetRaw(HKEY root, const std::string& subKey, const std::string& name, DWORD type, const std::string& bytes);
bool SetText(HKEY root, const std::string& subKey, const std::string& name, const std::string& text);
// The same through the Unicode functions: names outside the code page, strings of any length.
bool SetRawW(HKEY root, const std::wstring& subKey, const std::wstring& name, DWORD type, const std::string& bytes);
// UTF-16 bytes of a text, with or without its terminating zero.
std::string Utf16Bytes(const std::wstring& text, bool withZero);
bool MakeKey(HKEY root, const std::string& subKey);
// False when the value cannot be read; type and bytes as stored.
bool GetRaw(HKEY root, const std::string& subKey, const std::string& name, DWORD* type, std::string* bytes);
bool HasKey(HKEY root, const std::string& subKey);
bool HasValue(HKEY root, const std::string& subKey, const std::string& name);
// A string value's text without its terminating zero ("" names the default value); "<absent>"
// when it cannot be read or is no string.
std::string TextOf(HKEY root, const std::string& subKey, const std::string& name);

// A subtree of the registry as the Unicode functions report it: every key below the top (by
// path), every value (by key path and name) with its type and bytes. Names are compared
// ignoring case, as the registry compares them; types and bytes exactly.
struct RegValueData {
  std::wstring name;  // as spelt
  DWORD type = 0;
  std::vector<BYTE> data;
  bool operator==(const RegValueData& o) const { return type == o.type && data == o.data; }
};
struct RegSnapshot {
  bool exists = false;                                                     // the top key
  std::map<std::wstring, std::wstring> keys;                               // folded path -> path
  std::map<std::pair<std::wstring, std::wstring>, RegValueData> values;  // (folded path, folded name)
};
RegSnapshot Snapshot(HKEY root, const std::string& subKey);

// The machine as flat entries with their content, so that the state a test expects can be worked
// out from an earlier one and compared byte for byte: "area\PATH" for a key (the area alone for
// the empty path) and "area\PATH\nNAME" for a value, names folded as the registry compares them.
// Other things a test watches (files, services) are entries of their own areas.
using MachineState = std::map<std::string, std::string>;  // entry -> content
std::string Entry(const std::string& area, const std::wstring& path);
std::string Entry(const std::string& area, const std::string& ansiPath);
std::string ValueEntry(const std::string& area, const std::string& ansiPath, const std::string& ansiName);
// A value's content from the bytes given to the ANSI functions; whether it is of type 0 (REG_NONE).
std::string ValueContent(DWORD type, const std::string& ansiBytes);
bool IsTypeNone(const std::string& content);
// A key with its parents within the area; a value (a string: with its terminating zero) with its keys.
void PutKey(MachineState& s, const std::string& area, const std::string& path);
void PutValue(MachineState& s, const std::string& area, const std::string& path, const std::string& name, DWORD type,
              const std::string& bytes);
void PutText(MachineState& s, const std::string& area, const std::string& path, const std::string& name, const std::string& text);
// Whether entry is top or lies below it (nothing lies below a value); removes those entries.
bool Within(const std::string& entry, const std::string& top);
void RemoveBelow(MachineState& s, const std::string& top);
// The entries of root\base\top and everything below it, as "area\top...".
void ReadKey(MachineState& s, HKEY root, const std::string& base, const std::string& top, const std::string& area);
// One line per difference (a dozen at most); empty when both are the same.
std::string Differences(const MachineState& expected, const MachineState& actual);

// ANSI (system code page) text as the Unicode registry holds it, and value data likewise.
std::wstring Wide(const std::string& ansi);
std::vector<BYTE> WideData(DWORD type, const std::string& bytes);
std::wstring Fold(const std::wstring& text);
// Text fit for a failure message: printable ASCII as it is, anything else as \uXXXX.
std::string Printable(const std::wstring& text);
