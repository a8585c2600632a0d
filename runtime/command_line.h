// Cutting a process command line into command items.
//
// Items are introduced by "/": "run.exe /load "C:\a/b.txt" /mode plugin" gives
// `load "C:\a/b.txt"` and `mode plugin`. A "/" inside the first pair of double quotes of the
// remaining text does not end an item; quotes stay in the item. Items are trimmed of white space;
// empty items are kept ("x //y" gives "" and "y").
#pragma once

#include "platform/framework/afx_coll.h"

void CutCommandItems(const CString& commandLine, CStringArray& items);
