// Extraction of a zip archive into a folder, all or nothing.
//
// The whole archive is checked before anything is written: its central directory must be
// consistent with the file, every entry must be stored or deflated, unencrypted, within the
// limits, and its local header must agree with the directory and not overlap another entry.
// Every entry name must stay inside the target folder: names that are absolute, drive-qualified
// or UNC, that hold ":" or a ".." component, a device name (CON, NUL, COM1 ...), a component
// made only of dots and blanks or ending in one, or characters Windows forbids in names, refuse
// the whole archive. So do two entries that name the same file, or a file and a folder of the
// same name. Names are UTF-8 when the entry says so, else in the system code page (as the
// platform's own tools and the shell's zip folders write them).
//
// Files are then written under temporary names beside their final places, each checked against
// its size and CRC while it is inflated; output beyond the size an entry declared stops the
// extraction. Only when every entry has been written are the files moved to their names (an
// existing file is replaced). A failure before that point removes every temporary file and
// every folder this extraction created, so the target folder is left as it was.
#pragma once

#include "platform/services/zip_format.h"

#include <string>

namespace zip {

// Extracts `archive` into `folder` (created when missing). True when every entry was extracted.
bool ExtractArchive(const std::wstring& archive, const std::wstring& folder,
                    const ExtractRules& rules = ExtractRules());

}  // namespace zip
