// The pieces of the zip container that both the reader and the writer need: record signatures
// and sizes, little-endian fields, DOS time stamps and the limits an extraction keeps to.
// Only the classic format is handled (no zip64, no encryption, no spanning); entries are
// stored (method 0) or deflated (method 8).
#pragma once

#include <windows.h>

#include <cstdint>

namespace zip {

constexpr uint32_t kLocalSig = 0x04034b50;
constexpr uint32_t kCentralSig = 0x02014b50;
constexpr uint32_t kEndSig = 0x06054b50;
constexpr uint32_t kLocalSize = 30;    // fixed part of a local header
constexpr uint32_t kCentralSize = 46;  // fixed part of a central directory record
constexpr uint32_t kEndSize = 22;      // end-of-central-directory record without its comment

constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;
constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagStrongEncryption = 0x0040;
constexpr uint16_t kFlagUtf8 = 0x0800;  // names are UTF-8 (else the system code page)
constexpr uint16_t kVersion20 = 20;     // "made by" and "needed": 2.0, MS-DOS attributes

// What an extraction accepts, and how it reads names. Deflate cannot shrink data by much more
// than 1032 to 1, so an entry that claims more is lying about its size.
struct ExtractRules {
  uint64_t maxTotal = 1ull << 30;  // all entries together, uncompressed
  uint64_t maxEntry = 1ull << 30;  // one entry, uncompressed
  uint32_t maxRatio = 1100;        // uncompressed / compressed, for entries above 1 MiB
  uint32_t maxEntries = 65535;
  UINT nameCodePage = CP_ACP;      // names without the UTF-8 flag
};

inline uint16_t Get16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t Get32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void Put16(unsigned char* p, uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}
inline void Put32(unsigned char* p, uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}

// DOS date and time (date in the high word) of a file time, in local time; 1980-01-01 for
// anything earlier than DOS can say.
uint32_t DosTimeFromFileTime(const FILETIME& ft);
// The file time of a DOS stamp; false when the stamp is not a valid date.
bool FileTimeFromDosTime(uint32_t dos, FILETIME* ft);

}  // namespace zip
