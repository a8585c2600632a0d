#include "tests/services/services_support.h"

#include "platform/win/unique_file.h"

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

void ListInto(const std::wstring& root, const std::wstring& rel, std::map<std::wstring, std::string>* out) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((root + (rel.empty() ? L"" : L"\\" + rel) + L"\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = fd.cFileName, sub = rel.empty() ? name : rel + L"\\" + name;
    if (name == L"." || name == L"..") continue;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      (*out)[sub] = "<dir>";
      ListInto(root, sub, out);
    } else {
      std::string bytes;
      HANDLE f = CreateFileW((root + L"\\" + sub).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                             nullptr);
      char buf[65536];
      DWORD got = 0;
      while (f != INVALID_HANDLE_VALUE && ReadFile(f, buf, sizeof buf, &got, nullptr) && got) bytes.append(buf, got);
      if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
      (*out)[sub] = bytes;
    }
  } while (FindNextFileW(h, &fd));
  FindClose(h);
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

std::map<std::wstring, std::string> ListTree(const std::wstring& root) {
  std::map<std::wstring, std::string> out;
  ListInto(root, L"", &out);
  return out;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD done = 0;
  BOOL ok = f != INVALID_HANDLE_VALUE && WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
  if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
  return ok && done == bytes.size();
}

std::wstring W(const std::string& ansi) { return Widen(ansi.c_str()); }

bool LocalServer(std::string* www, int* port) {
  const std::string state = BinFolder() + "\\..\\services-http";
  *www = state + "\\www";
  *port = atoi(ReadTextFile(state + "\\port").c_str());
  return *port > 0 && FileExists(*www);
}
