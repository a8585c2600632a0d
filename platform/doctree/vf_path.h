// Texts of the document tree: "afs:\" paths, alias keys and item IDs.
//
// A path is "afs:\" followed by components separated by backslashes; the "afs:" prefix may be
// written in any letter case or left out, and empty components (doubled or trailing
// backslashes) are skipped. Texts are in the ANSI code page: a trail byte of a double-byte
// character (which may be 0x5C, the backslash, in code page 936) never separates components.
//
// Aliases match ignoring the case of the ASCII letters; every other byte must be equal.
//
// An item ID is 1 to 64 characters of A-Z a-z 0-9 "_" and "-", and not a Windows device name
// (CON, PRN, AUX, NUL, COM1-9, LPT1-9), so that it is usable as a folder name on its own.
#pragma once

#include "platform/framework/afx_string.h"

#include <cstddef>
#include <vector>

namespace vfpath {

extern const char kPrefix[];  // "afs:\"

// The components of path, in order.
std::vector<CString> Split(const CString& path);

// "afs:\" followed by the components joined with backslashes.
CString Join(const std::vector<CString>& components);

// The key under which an alias is looked up (ASCII letters in lower case).
CString Fold(const CString& alias);

// Whether the text can stand as one component of a path and be read back as itself: not empty,
// no backslash outside double-byte characters, and no lead byte without its trail byte at the
// end (which would take the next separator as its trail byte).
bool IsComponent(const CString& text);

bool IsValidID(const CString& id);

// The text as a number when it is made of 1 to 18 decimal digits; false otherwise.
bool ParseNumericID(const CString& id, unsigned long long& value);

struct Hasher {
  size_t operator()(const CString& s) const noexcept;
};

}  // namespace vfpath
