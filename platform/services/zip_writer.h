// Packing files into a new zip archive.
//
// What `source` names decides what is packed and how the entries are named:
//   a folder                       its whole content, names relative to the folder
//                                  (the folder's own name is not part of them);
//   a pattern ("C:\x\*.txt")       the matching files and folders of the pattern's folder,
//                                  each folder with everything in it, names relative to that
//                                  folder;
//   a file                         that file alone, under its own name.
// Sub-folders become folder entries ("sub/"), so empty folders survive the round trip; links
// (reparse points) to folders are recorded as folders but not followed. Files are deflated,
// empty ones stored. Names use "/" between components and are UTF-8 (flagged as such) when
// they hold anything beyond ASCII. The archive is written under a temporary name beside its
// place (a missing folder is created) and moved there when complete, replacing an older
// archive; it never packs itself.
// Classic format only: at most 65535 entries and 4 GiB.
#pragma once

#include <string>

namespace zip {

// True when the archive was written. A folder or pattern that matches nothing gives an empty
// archive; a source whose folder does not exist fails and writes nothing.
bool CreateArchive(const std::wstring& archive, const std::wstring& source);

}  // namespace zip
