// The bytes of a forwarded open request (WM_COPYDATA with dwData 0): the data identifier, arg1
// and arg2, each ended by a NUL, and one more NUL. Texts travel in the system code page; a null
// text travels as an empty one.
#pragma once

#include "platform/framework/afx_string.h"

#include <windows.h>

#include <vector>

// dwData of an open request.
const ULONG_PTR kOpenToolRequest = 0;

std::vector<char> BuildOpenToolPayload(const char* dataId, const char* arg1, const char* arg2);

// Reads the three texts from at most `size` bytes; false (texts untouched) when they do not all
// end within them.
bool ParseOpenToolPayload(const void* data, DWORD size, CString& dataId, CString& arg1, CString& arg2);
