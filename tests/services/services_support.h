// Shared pieces of the platform-services tests: archives built byte by byte, folder listings and
// where the local HTTP server of the test run is.
#pragma once

#include "tests/support/test_paths.h"

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// One entry of a hand-made archive; the claimed fields (when >= 0) replace the true ones.
struct RawEntry {
  std::string name;  // stored bytes of the name
  std::string data;  // uncompressed content
  bool deflate = true;
  uint16_t flags = 0;
  int64_t claimedSize = -1;
  int64_t claimedCrc = -1;
};

// Local headers with their data, the central directory and the end record.
std::string BuildZip(const std::vector<RawEntry>& entries);

// Every file and folder below root: relative path -> content ("<dir>" for folders).
std::map<std::wstring, std::string> ListTree(const std::wstring& root);
bool WriteBytes(const std::wstring& path, const std::string& bytes);
std::wstring W(const std::string& ansi);  // system code page to wide

// The folder the local server serves and its port; false when the fixture did not start it.
bool LocalServer(std::string* www, int* port);
