// The launch counts of the settings tree's value "TotalTime" (see launch_accounting.cpp).
#pragma once

#include "catalogue/tool_wnd.h"
#include "platform/framework/afx_coll.h"

// Splits text at any of the delimiters into parts (the array is emptied first); empty parts are
// dropped when skipEmpty is non-zero. Returns the number of parts.
int SplitString(const CString& text, CStringArray& parts, const CString& delimiters, int skipEmpty);

// The stored value with this window's counts merged in: the stored counts of the part "tool" are
// added to the map's entries, then the part is written anew from the map (entries in the map's
// order, those counting 0 left out); empty parts are dropped. A value without a part "tool" gets
// one at its end. When no count remains, the stored value comes back unchanged.
CString MergeUsageCounts(const CString& stored, ToolWatchMap& counts);
