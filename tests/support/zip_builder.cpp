#include "tests/support/zip_builder.h"

#include <zlib.h>

namespace {

void Put(std::string& s, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string DeflateRaw(const std::string& data) {
  z_stream zs = {};
  deflateInit2(&zs, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&zs, static_cast<uLong>(data.size())) + 16, '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = reinterpret_cast<Bytef*>(&out[0]);
  zs.avail_out = static_cast<uInt>(out.size());
  deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

}  // namespace

std::string BuildZip(const std::vector<RawEntry>& entries) {
  std::string zip, dir;
  for (const RawEntry& e : entries) {
    const std::string packed = e.deflate ? DeflateRaw(e.data) : e.data;
    const uint32_t crc = e.claimedCrc >= 0 ? static_cast<uint32_t>(e.claimedCrc)
                                           : crc32(0, reinterpret_cast<const Bytef*>(e.data.data()),
                                                   static_cast<uInt>(e.data.size()));
    const uint32_t size = static_cast<uint32_t>(e.claimedSize >= 0 ? e.claimedSize : e.data.size());
    // The fields a local header and a central record share, from "version needed" on.
    std::string common;
    Put(common, 20, 2);
    Put(common, e.flags, 2);
    Put(common, e.deflate ? 8 : 0, 2);
    Put(common, 0x00210000, 4);  // 1980-01-01 00:00
    Put(common, crc, 4);
    Put(common, static_cast<uint32_t>(packed.size()), 4);
    Put(common, size, 4);
    Put(common, static_cast<uint32_t>(e.name.size()), 2);
    Put(common, 0, 2);
    Put(dir, 0x02014b50, 4);
    Put(dir, 20, 2);
    dir += common;
    Put(dir, 0, 4);  // comment length, first disk
    Put(dir, 0, 2);  // internal attributes
    Put(dir, 0, 4);  // external attributes
    Put(dir, static_cast<uint32_t>(zip.size()), 4);
    dir += e.name;
    Put(zip, 0x04034b50, 4);
    zip += common + e.name + packed;
  }
  const uint32_t dirOffset = static_cast<uint32_t>(zip.size());
  zip += dir;
  Put(zip, 0x06054b50, 4);
  Put(zip, 0, 4);
  Put(zip, static_cast<uint32_t>(entries.size()), 2);
  Put(zip, static_cast<uint32_t>(entries.size()), 2);
  Put(zip, static_cast<uint32_t>(dir.size()), 4);
  Put(zip, dirOffset, 4);
  Put(zip, 0, 2);
  return zip;
}
