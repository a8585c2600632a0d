// Archives and temporary files of the platform.
#pragma once

#include "platform/framework/afx_string.h"

class CXCommon {
 public:
  // Puts into `buffer` (MAX_PATH characters) the path of a new, empty file
  // "<folder><prefix><unique part><ext>" and returns 1; the file is created, so the name stays
  // reserved until the caller deletes it, and concurrent callers (threads or processes) always
  // get different files. The folder may end with a backslash and is created when missing.
  // Returns 0 with an empty buffer when no file could be made or the path would not fit.
  static int GetTempQorFile(const char* folder, const char* prefix, char* buffer, const char* ext);

  // Extracts the zip archive at `archive` into `folder` (created when missing): all entries or
  // none; see platform/zip_reader.h for what is refused. 1 on success, 0 otherwise.
  static int UnzipArchive(const CString& archive, const CString& folder);

  // Writes a new zip archive at `archive` (replacing an existing one) from `source`: a folder
  // (its content), a pattern such as "C:\x\*.txt" (the matching files and folders) or a single
  // file; see platform/zip_writer.h. 1 on success, 0 otherwise (nothing is left at `archive`
  // that was not there before).
  static int ZipArchive(const CString& archive, const CString& source);
};
