#include "platform/services/zip_writer.h"

#include "platform/win/unique_file.h"
#include "platform/services/zip_format.h"

#include <zlib.h>

#include <cstring>
#include <vector>

namespace zip {
namespace {

constexpr uint32_t kChunk = 64 * 1024;

struct Item {
  std::wstring path;  // full path on disk
  std::string name;   // entry name as stored
  bool isDir;
  bool utf8;
  uint32_t dosTime;
  uint32_t attributes;
};

std::wstring Upper(std::wstring s) {
  if (!s.empty()) CharUpperBuffW(&s[0], static_cast<DWORD>(s.size()));
  return s;
}

bool MakeName(const std::wstring& rel, bool isDir, Item* item) {
  std::wstring w = rel;
  for (wchar_t& c : w)
    if (c == L'\\') c = L'/';
  if (isDir) w += L'/';
  item->utf8 = false;
  for (wchar_t c : w)
    if (c >= 0x80) item->utf8 = true;
  item->name = Narrow(w, CP_UTF8);
  return !item->name.empty() && item->name.size() <= 0xFFFF;
}

// Appends the entries of `folder` that match `pattern`, folders with all they hold.
bool Collect(const std::wstring& folder, const std::wstring& relFolder, const std::wstring& pattern,
             const std::vector<std::wstring>& skip, std::vector<Item>* items) {
  WIN32_FIND_DATAW fd;
  FindHandle find(FindFirstFileW((folder + L'\\' + pattern).c_str(), &fd));
  if (!find) {
    DWORD err = GetLastError();
    return err == ERROR_FILE_NOT_FOUND || err == ERROR_NO_MORE_FILES;  // nothing matches
  }
  do {
    std::wstring name = fd.cFileName;
    if (name == L"." || name == L"..") continue;
    Item item;
    item.path = folder + L'\\' + name;
    const std::wstring rel = relFolder.empty() ? name : relFolder + L'\\' + name;
    bool skipped = false;
    for (const std::wstring& s : skip) skipped = skipped || Upper(item.path) == s;
    if (skipped) continue;
    item.isDir = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    item.dosTime = DosTimeFromFileTime(fd.ftLastWriteTime);
    item.attributes = fd.dwFileAttributes & 0x3F;  // the MS-DOS attribute bits
    if (!item.isDir && (fd.nFileSizeHigh != 0 || fd.nFileSizeLow == 0xFFFFFFFF)) return false;
    if (!MakeName(rel, item.isDir, &item)) return false;
    items->push_back(item);
    if (items->size() > 0xFFFF) return false;
    if (item.isDir && !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
        !Collect(item.path, rel, L"*", skip, items))
      return false;
  } while (FindNextFileW(find.get(), &fd));
  return GetLastError() == ERROR_NO_MORE_FILES;
}

struct DeflateStream {
  z_stream zs = {};
  bool ready = false;
  ~DeflateStream() {
    if (ready) deflateEnd(&zs);
  }
};

class Writer {
 public:
  explicit Writer(HANDLE h) : m_h(h) {}

  bool Add(const Item& item) {
    const uint32_t offset = static_cast<uint32_t>(m_pos);
    UniqueHandle in;
    uint16_t method = kMethodStored;
    if (!item.isDir) {
      in.reset(CreateFileW(item.path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
      LARGE_INTEGER size;
      if (!in || !GetFileSizeEx(in.get(), &size)) return false;
      if (size.QuadPart > 0) method = kMethodDeflated;
    }
    uint32_t crc = 0, csize = 0, usize = 0;
    if (!Header(item, kLocalSig, method, 0, 0, 0, 0)) return false;
    if (method == kMethodDeflated) {
      if (!Deflate(in.get(), &crc, &csize, &usize)) return false;
      // Sizes and CRC are known now: fill them into the local header.
      unsigned char fix[12];
      Put32(fix, crc);
      Put32(fix + 4, csize);
      Put32(fix + 8, usize);
      if (!Patch(offset + 14, fix, sizeof fix)) return false;
    }
    return Header(item, kCentralSig, method, crc, csize, usize, offset);
  }

  bool Finish() {
    const uint32_t dirOffset = static_cast<uint32_t>(m_pos);
    if (!Write(m_central.data(), static_cast<uint32_t>(m_central.size()))) return false;
    unsigned char end[kEndSize] = {};
    Put32(end, kEndSig);
    Put16(end + 8, m_count);
    Put16(end + 10, m_count);
    Put32(end + 12, static_cast<uint32_t>(m_central.size()));
    Put32(end + 16, dirOffset);
    return Write(end, kEndSize);
  }

 private:
  // A local header (written to the file) or a central record (kept for the end).
  bool Header(const Item& item, uint32_t sig, uint16_t method, uint32_t crc, uint32_t csize,
              uint32_t usize, uint32_t offset) {
    const bool central = sig == kCentralSig;
    const uint32_t fixed = central ? kCentralSize : kLocalSize;
    std::vector<unsigned char> h(fixed + item.name.size());
    unsigned char* p = h.data();
    Put32(p, sig);
    // From "version needed" on, a central record is a local header moved on by the two bytes
    // of "made by" (MS-DOS attributes, 2.0).
    if (central) Put16(p + 4, kVersion20);
    p += central ? 2 : 0;
    Put16(p + 4, kVersion20);
    Put16(p + 6, item.utf8 ? kFlagUtf8 : 0);
    Put16(p + 8, method);
    Put16(p + 10, item.dosTime & 0xFFFF);
    Put16(p + 12, item.dosTime >> 16);
    Put32(p + 14, crc);
    Put32(p + 18, csize);
    Put32(p + 22, usize);
    Put16(p + 26, static_cast<uint32_t>(item.name.size()));
    if (central) {
      Put32(h.data() + 38, item.attributes);
      Put32(h.data() + 42, offset);
    }
    memcpy(h.data() + fixed, item.name.data(), item.name.size());
    if (!central) return Write(h.data(), static_cast<uint32_t>(h.size()));
    if (m_count == 0xFFFF) return false;
    ++m_count;
    m_central.insert(m_central.end(), h.begin(), h.end());
    return true;
  }

  bool Deflate(HANDLE in, uint32_t* crc, uint32_t* csize, uint32_t* usize) {
    DeflateStream s;
    if (deflateInit2(&s.zs, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
      return false;
    s.ready = true;
    std::vector<unsigned char> inBuf(kChunk), outBuf(kChunk);
    uLong c = crc32(0, nullptr, 0);
    uint64_t total = 0;
    int flush = Z_NO_FLUSH;
    do {
      DWORD got = 0;
      if (!ReadFile(in, inBuf.data(), kChunk, &got, nullptr)) return false;
      total += got;
      if (total > 0xFFFFFFFEull) return false;
      c = crc32(c, inBuf.data(), got);
      flush = got == 0 ? Z_FINISH : Z_NO_FLUSH;
      s.zs.next_in = inBuf.data();
      s.zs.avail_in = got;
      do {
        s.zs.next_out = outBuf.data();
        s.zs.avail_out = kChunk;
        if (deflate(&s.zs, flush) == Z_STREAM_ERROR) return false;
        if (!Write(outBuf.data(), kChunk - s.zs.avail_out)) return false;
      } while (s.zs.avail_out == 0);
    } while (flush != Z_FINISH);
    if (s.zs.total_out > 0xFFFFFFFEul) return false;
    *crc = static_cast<uint32_t>(c);
    *usize = static_cast<uint32_t>(total);
    *csize = static_cast<uint32_t>(s.zs.total_out);
    return true;
  }

  bool Write(const void* data, uint32_t n) {
    DWORD done = 0;
    if (m_pos + n > 0xFFFFFFFFull) return false;
    if (n && (!WriteFile(m_h, data, n, &done, nullptr) || done != n)) return false;
    m_pos += n;
    return true;
  }

  bool Patch(uint32_t at, const unsigned char* data, uint32_t n) {
    LARGE_INTEGER pos, end;
    pos.QuadPart = at;
    end.QuadPart = static_cast<LONGLONG>(m_pos);
    DWORD done = 0;
    return SetFilePointerEx(m_h, pos, nullptr, FILE_BEGIN) && WriteFile(m_h, data, n, &done, nullptr) &&
           done == n && SetFilePointerEx(m_h, end, nullptr, FILE_BEGIN);
  }

  HANDLE m_h;
  uint64_t m_pos = 0;
  uint32_t m_count = 0;
  std::vector<unsigned char> m_central;
};

}  // namespace

bool CreateArchive(const std::wstring& archive, const std::wstring& source) {
  wchar_t full[MAX_PATH], src[MAX_PATH];
  DWORD n = GetFullPathNameW(archive.c_str(), MAX_PATH, full, nullptr);
  DWORD m = GetFullPathNameW(source.c_str(), MAX_PATH, src, nullptr);
  if (archive.empty() || source.empty() || n == 0 || n >= MAX_PATH || m == 0 || m >= MAX_PATH) return false;
  std::wstring target = full, from = src;
  while (from.size() > 3 && from.back() == L'\\') from.pop_back();

  // Where the entries come from, and which of them.
  std::wstring folder, pattern;
  const std::wstring last = from.substr(from.find_last_of(L'\\') + 1);
  const DWORD attr = GetFileAttributesW(from.c_str());
  if (last.find_first_of(L"*?") != std::wstring::npos) {
    folder = ParentFolder(from);
    pattern = last;
  } else if (attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY)) {
    folder = from;
    pattern = L"*";
  } else if (attr != INVALID_FILE_ATTRIBUTES) {
    folder = ParentFolder(from);
    pattern = last;
  } else {
    return false;
  }
  if (folder.size() == 2 && folder[1] == L':') folder += L'\\';  // "C:" is the drive's root
  const DWORD folderAttr = GetFileAttributesW(folder.c_str());
  if (folderAttr == INVALID_FILE_ATTRIBUTES || !(folderAttr & FILE_ATTRIBUTE_DIRECTORY)) return false;
  if (folder.back() == L'\\') folder.pop_back();

  std::wstring temp;
  if (!EnsureFolder(ParentFolder(target))) return false;
  UniqueHandle out = CreateUniqueFile(ParentFolder(target), L"~zip", L".tmp", &temp);
  if (!out) return false;
  std::vector<Item> items;
  bool ok = Collect(folder, L"", pattern, {Upper(target), Upper(temp)}, &items);
  Writer writer(out.get());
  for (size_t i = 0; ok && i < items.size(); ++i) ok = writer.Add(items[i]);
  ok = ok && writer.Finish();
  out.reset();
  ok = ok && MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
  if (!ok) DeleteFileW(temp.c_str());
  return ok;
}

}  // namespace zip
