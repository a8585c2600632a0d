// The platform configuration and small text helpers.
//
// The platform configuration is the profile file "Config.ini" in the platform folder, which is
// the parent of the library folder (PlatformFolder, platform/win/lib_folder.h). Section "Basic"
// holds "Name" (the platform's version name) and "Skin" (the skin setting).
#pragma once

#include "platform/framework/afx_string.h"

class CXConfig {
 public:
  // The value of key in section of the platform configuration, trimmed of white space at both
  // ends; empty when the file, the section or the key is missing, or the file is not a profile
  // file at all.
  static CString GetINIString(const CString& section, const CString& key);

  // Text made safe for a URL: every byte of the (ANSI) text other than the unreserved
  // characters A-Z a-z 0-9 - _ . ~ becomes %XX with two upper-case hex digits.
  static CString URLEncode(const CString& text);

  // The full path of the platform configuration file.
  static CString GetConfigFile();
  // Points the configuration somewhere else (a host with its own layout, a test); an empty
  // path returns to the default place.
  static void SetConfigFile(const CString& path);
};
