// Comparing version texts the way people read them.
//
// Both texts are split at the dots and compared part by part. Two parts that both begin with
// digits are compared by those digits as numbers (of any length), then by what follows them as
// text; any other pair of parts is compared as text, byte by byte. A version that runs out of
// parts first is the older one. When every part is equal that way, the whole texts decide as
// text. Examples: 1.9 < 1.10, 1.09 < 1.9 (equal as numbers, "1.09" first as text), 1.9 < 1.9.1,
// 1.9 < 1.9a < 1.10, 2.0 > 1.99, "" < 1.0.
//
// Parts with a number and a suffix are read as number then suffix (9a < 10), not as plain text
// (where "10" < "9a" while 9 < 10 as numbers): only so is the order one order, with no three
// versions each older than the next in a circle.
#pragma once

#include "platform/framework/afx_string.h"

// Negative when a is older than b, 0 when they are the same text, positive when a is newer.
int CompareVersions(const CString& a, const CString& b);
