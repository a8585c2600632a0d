// Reading a downloaded update feed.
//
// A feed is an XML document in the platform's document format. A usable feed file is one that
// holds a well-formed XML document (checked with the system's XML parser, which resolves no
// external entities) whose root element is not an HTML page: servers and proxies answer with
// HTML error and log-in pages, and a download cut short is not well-formed.
#pragma once

#include "platform/framework/afx_string.h"

class CMIDLDoc {
 public:
  // `out` receives the file's bytes when the file is a usable feed, else it is emptied.
  // Returns 1 for a usable feed, 0 otherwise. Files above 16 MiB are not read.
  static int ReadMail(const CString& path, CString& out);
};
