// New files with names nobody else holds, and the conversions between the ANSI texts of the
// framework and the wide paths the file code works with.
#pragma once

#include "platform/win/handles.h"

#include <string>

// Creates a new, empty file "<folder>\<prefix><unique part><ext>" and returns it open for
// reading and writing (share: read). The unique part combines the process identifier, a
// process-wide counter and the clock; the file is made with CREATE_NEW, so two threads or
// processes can never be handed the same name. `folder` may end with a backslash. On failure
// the handle is invalid, *path is empty and GetLastError tells why.
UniqueHandle CreateUniqueFile(const std::wstring& folder, const std::wstring& prefix,
                              const std::wstring& ext, std::wstring* path);

// ANSI (system code page) text to wide and back. Narrow sets *lossless to false when some
// character has no form in the code page.
std::wstring Widen(const char* text, UINT codePage = CP_ACP);
std::string Narrow(const std::wstring& text, UINT codePage = CP_ACP, bool* lossless = nullptr);

// The folder part of a path (everything before the last backslash or slash); empty if none.
std::wstring ParentFolder(const std::wstring& path);

// Creates the folder and every missing parent; true when it exists afterwards.
bool EnsureFolder(const std::wstring& folder);
