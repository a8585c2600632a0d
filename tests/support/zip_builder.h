// Zip archives built byte by byte, with fields that may lie, for the archive tests.
#pragma once

#include <cstdint>
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
