#include "platform/services/zip_reader.h"

#include "platform/win/unique_file.h"

#include <zlib.h>

#include <algorithm>
#include <map>
#include <vector>

namespace zip {
namespace {

constexpr uint32_t kChunk = 64 * 1024;
constexpr uint32_t kMaxDirectory = 64u << 20;  // central directory bytes we are willing to hold
constexpr uint32_t kMaxEndSearch = kEndSize + 0xFFFF;

struct Entry {
  std::wstring relPath;  // validated, backslash-separated, no trailing backslash
  bool isDir = false;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint32_t dosTime = 0;
  uint32_t crc = 0;
  uint32_t csize = 0;
  uint32_t usize = 0;
  uint32_t localOffset = 0;
  std::string rawName;     // as stored, for the comparison with the local header
  uint64_t dataStart = 0;  // after the local header, once checked
};

class ArchiveFile {
 public:
  bool Open(const std::wstring& path) {
    m_h.reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size;
    if (!m_h || !GetFileSizeEx(m_h.get(), &size)) return false;
    m_size = static_cast<uint64_t>(size.QuadPart);
    return true;
  }
  uint64_t Size() const { return m_size; }
  bool Read(uint64_t offset, void* buf, uint32_t n) {
    if (offset > m_size || n > m_size - offset) return false;
    LARGE_INTEGER pos;
    pos.QuadPart = static_cast<LONGLONG>(offset);
    DWORD got = 0;
    return SetFilePointerEx(m_h.get(), pos, nullptr, FILE_BEGIN) &&
           ReadFile(m_h.get(), buf, n, &got, nullptr) && got == n;
  }

 private:
  UniqueHandle m_h;
  uint64_t m_size = 0;
};

bool IsDeviceName(const std::wstring& component) {
  std::wstring base = component.substr(0, component.find(L'.'));
  while (!base.empty() && base.back() == L' ') base.pop_back();
  CharUpperBuffW(&base[0], static_cast<DWORD>(base.size()));
  static const wchar_t* const fixed[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$", L"CLOCK$"};
  for (const wchar_t* name : fixed)
    if (base == name) return true;
  return base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) &&
         base[3] >= L'0' && base[3] <= L'9';
}

bool IsSafeComponent(const std::wstring& c) {
  if (c.empty() || c.size() > 255) return false;
  if (c.find_first_not_of(L". ") == std::wstring::npos) return false;  // "..", "...", " ."
  if (c.back() == L'.' || c.back() == L' ') return false;  // Windows would drop them
  for (wchar_t ch : c)
    if (ch < 0x20 || wcschr(L"<>:\"|?*\\/", ch)) return false;
  return !IsDeviceName(c);
}

// Turns a stored name into a relative path inside the target folder, or refuses it.
bool ParseName(const std::string& raw, uint16_t flags, UINT codePage, std::wstring* rel, bool* isDir) {
  if (raw.empty() || raw.find('\0') != std::string::npos) return false;
  const UINT cp = (flags & kFlagUtf8) ? CP_UTF8 : codePage;
  int n = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, raw.data(), static_cast<int>(raw.size()), nullptr, 0);
  if (n <= 0) return false;
  std::wstring name(n, L'\0');
  MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, raw.data(), static_cast<int>(raw.size()), &name[0], n);
  std::replace(name.begin(), name.end(), L'/', L'\\');
  if (name[0] == L'\\' || name.find(L':') != std::wstring::npos) return false;  // rooted, UNC, drive
  *isDir = name.back() == L'\\';
  rel->clear();
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find(L'\\', start);
    if (end == std::wstring::npos) end = name.size();
    std::wstring c = name.substr(start, end - start);
    start = end + 1;
    if (c.empty() || c == L".") continue;
    if (!IsSafeComponent(c)) return false;
    if (!rel->empty()) *rel += L'\\';
    *rel += c;
  }
  return !rel->empty();
}

std::wstring UpperKey(std::wstring s) {
  if (!s.empty()) CharUpperBuffW(&s[0], static_cast<DWORD>(s.size()));
  return s;
}

// Reads and checks the central directory and every local header.
bool ReadDirectory(ArchiveFile& file, const ExtractRules& rules, std::vector<Entry>* entries) {
  const uint64_t size = file.Size();
  if (size < kEndSize || size > 0xFFFFFFFFull) return false;
  const uint32_t tailSize = static_cast<uint32_t>(std::min<uint64_t>(size, kMaxEndSearch));
  std::vector<unsigned char> tail(tailSize);
  if (!file.Read(size - tailSize, tail.data(), tailSize)) return false;

  // The end record: its comment must run exactly to the end of the file.
  const unsigned char* end = nullptr;
  for (uint32_t i = tailSize - kEndSize + 1; i-- > 0;) {
    if (Get32(&tail[i]) == kEndSig && i + kEndSize + Get16(&tail[i + 20]) == tailSize) {
      end = &tail[i];
      break;
    }
  }
  if (!end) return false;
  const uint64_t endPos = size - tailSize + static_cast<uint64_t>(end - tail.data());
  const uint16_t disk = Get16(end + 4), dirDisk = Get16(end + 6);
  const uint16_t countHere = Get16(end + 8), count = Get16(end + 10);
  const uint32_t dirSize = Get32(end + 12), dirOffset = Get32(end + 16);
  if (disk != 0 || dirDisk != 0 || countHere != count) return false;  // spanned archives
  if (count == 0xFFFF || dirSize == 0xFFFFFFFF || dirOffset == 0xFFFFFFFF) return false;  // zip64
  if (count > rules.maxEntries || dirSize > kMaxDirectory) return false;
  if (static_cast<uint64_t>(dirOffset) + dirSize != endPos) return false;

  std::vector<unsigned char> dir(dirSize);
  if (dirSize && !file.Read(dirOffset, dir.data(), dirSize)) return false;

  std::map<std::wstring, bool> seen;  // upper-cased path -> is a folder
  uint64_t total = 0;
  uint32_t pos = 0;
  entries->clear();
  for (uint32_t k = 0; k < count; ++k) {
    if (dirSize - pos < kCentralSize) return false;
    const unsigned char* r = &dir[pos];
    if (Get32(r) != kCentralSig) return false;
    const uint32_t recordSize = kCentralSize + Get16(r + 28) + Get16(r + 30) + Get16(r + 32);
    if (dirSize - pos < recordSize) return false;
    Entry e;
    e.flags = Get16(r + 8);
    e.method = Get16(r + 10);
    e.dosTime = (static_cast<uint32_t>(Get16(r + 14)) << 16) | Get16(r + 12);
    e.crc = Get32(r + 16);
    e.csize = Get32(r + 20);
    e.usize = Get32(r + 24);
    e.localOffset = Get32(r + 42);
    e.rawName.assign(reinterpret_cast<const char*>(r + kCentralSize), Get16(r + 28));
    pos += recordSize;

    if (e.flags & (kFlagEncrypted | kFlagStrongEncryption)) return false;
    if (e.method != kMethodStored && e.method != kMethodDeflated) return false;
    if (Get16(r + 34) != 0) return false;  // starts on another disk
    if (!ParseName(e.rawName, e.flags, rules.nameCodePage, &e.relPath, &e.isDir)) return false;
    const bool dosDir = (Get16(r + 4) >> 8) == 0 && (Get32(r + 38) & FILE_ATTRIBUTE_DIRECTORY);
    if (dosDir && e.usize == 0) e.isDir = true;
    if (e.isDir && e.usize != 0) return false;

    // Sizes: nothing bigger than allowed, nothing that claims more than its bytes can hold.
    if (e.usize > rules.maxEntry) return false;
    if (e.method == kMethodStored && e.csize != e.usize) return false;
    if (e.usize > (1u << 20) && e.usize > static_cast<uint64_t>(e.csize) * rules.maxRatio) return false;
    total += e.usize;
    if (total > rules.maxTotal) return false;

    // Names: one entry per path; folders on the way are folders, never files.
    std::wstring key = UpperKey(e.relPath);
    for (size_t cut = key.find(L'\\'); cut != std::wstring::npos; cut = key.find(L'\\', cut + 1)) {
      auto it = seen.emplace(key.substr(0, cut), true).first;
      if (!it->second) return false;
    }
    auto ins = seen.emplace(key, e.isDir);
    if (!ins.second && !(ins.first->second && e.isDir)) return false;
    entries->push_back(std::move(e));
  }
  if (pos != dirSize) return false;

  // Local headers: present, in agreement with the directory, data inside the archive before the
  // directory, and no two entries sharing bytes (an overlapping layout is a known bomb).
  for (Entry& e : *entries) {
    unsigned char h[kLocalSize];
    if (!file.Read(e.localOffset, h, kLocalSize) || Get32(h) != kLocalSig) return false;
    const uint16_t nameLen = Get16(h + 26), extraLen = Get16(h + 28);
    if (Get16(h + 8) != e.method || (Get16(h + 6) & (kFlagEncrypted | kFlagStrongEncryption))) return false;
    if (nameLen != e.rawName.size()) return false;
    std::string localName(nameLen, '\0');
    if (nameLen && !file.Read(e.localOffset + kLocalSize, &localName[0], nameLen)) return false;
    if (localName != e.rawName) return false;
    e.dataStart = static_cast<uint64_t>(e.localOffset) + kLocalSize + nameLen + extraLen;
    if (e.dataStart + e.csize > dirOffset) return false;
  }
  std::vector<const Entry*> byOffset;
  for (const Entry& e : *entries) byOffset.push_back(&e);
  std::sort(byOffset.begin(), byOffset.end(),
            [](const Entry* a, const Entry* b) { return a->localOffset < b->localOffset; });
  for (size_t i = 1; i < byOffset.size(); ++i)
    if (byOffset[i - 1]->dataStart + byOffset[i - 1]->csize > byOffset[i]->localOffset) return false;
  return true;
}

struct InflateStream {
  z_stream zs = {};
  bool ready = false;
  ~InflateStream() {
    if (ready) inflateEnd(&zs);
  }
};

// Writes an entry's data to `out`, checking its length and CRC as it goes.
bool CopyEntry(ArchiveFile& file, const Entry& e, HANDLE out) {
  std::vector<unsigned char> in(kChunk), buf(kChunk);
  uint64_t inPos = e.dataStart;
  uint32_t inLeft = e.csize, written = 0;
  uLong crc = crc32(0, nullptr, 0);
  auto emit = [&](const unsigned char* p, uint32_t n) {
    if (n > e.usize - written) return false;  // more than the entry declared
    DWORD done = 0;
    if (n && (!WriteFile(out, p, n, &done, nullptr) || done != n)) return false;
    crc = crc32(crc, p, n);
    written += n;
    return true;
  };

  if (e.method == kMethodStored) {
    while (inLeft) {
      uint32_t n = std::min(inLeft, kChunk);
      if (!file.Read(inPos, in.data(), n) || !emit(in.data(), n)) return false;
      inPos += n;
      inLeft -= n;
    }
  } else {
    InflateStream s;
    if (inflateInit2(&s.zs, -MAX_WBITS) != Z_OK) return false;
    s.ready = true;
    for (;;) {
      if (s.zs.avail_in == 0) {
        if (inLeft == 0) return false;  // the stream ends before its end marker
        uint32_t n = std::min(inLeft, kChunk);
        if (!file.Read(inPos, in.data(), n)) return false;
        inPos += n;
        inLeft -= n;
        s.zs.next_in = in.data();
        s.zs.avail_in = n;
      }
      s.zs.next_out = buf.data();
      s.zs.avail_out = kChunk;
      int r = inflate(&s.zs, Z_NO_FLUSH);
      if (r != Z_OK && r != Z_STREAM_END && !(r == Z_BUF_ERROR && s.zs.avail_in == 0)) return false;
      if (!emit(buf.data(), kChunk - s.zs.avail_out)) return false;
      if (r == Z_STREAM_END) break;
    }
  }
  return written == e.usize && crc == e.crc;
}

// Everything an extraction has put on disk so far; undone unless committed.
class Staging {
 public:
  explicit Staging(std::wstring root) : m_root(std::move(root)) {}
  Staging(const Staging&) = delete;
  Staging& operator=(const Staging&) = delete;
  ~Staging() {
    if (m_committed) return;
    for (const Pending& p : m_files) DeleteFileW(p.temp.c_str());
    for (auto it = m_dirs.rbegin(); it != m_dirs.rend(); ++it) RemoveDirectoryW(it->c_str());
  }

  // Makes the folders of `rel` (all of it, or all but its last component) below the root.
  // An existing reparse point on the way is refused: it could lead outside the root.
  bool MakeFolders(const std::wstring& rel, bool includeLast) {
    std::wstring path = m_root;
    size_t start = 0;
    for (;;) {
      size_t end = rel.find(L'\\', start);
      if (end == std::wstring::npos && !includeLast) return true;
      path += L'\\';
      path += rel.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
      DWORD attr = GetFileAttributesW(path.c_str());
      if (attr == INVALID_FILE_ATTRIBUTES) {
        if (!CreateDirectoryW(path.c_str(), nullptr)) return false;
        m_dirs.push_back(path);
      } else if (!(attr & FILE_ATTRIBUTE_DIRECTORY) || (attr & FILE_ATTRIBUTE_REPARSE_POINT)) {
        return false;
      }
      if (end == std::wstring::npos) return true;
      start = end + 1;
    }
  }

  bool StageFile(ArchiveFile& file, const Entry& e) {
    const std::wstring final = m_root + L'\\' + e.relPath;
    const DWORD attr = GetFileAttributesW(final.c_str());
    if (attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY)) return false;
    if (!MakeFolders(e.relPath, false)) return false;
    std::wstring temp;
    UniqueHandle out = CreateUniqueFile(ParentFolder(final), L"~unz", L".tmp", &temp);
    if (!out) return false;
    m_files.push_back({temp, final});
    if (!CopyEntry(file, e, out.get())) return false;
    FILETIME ft;
    if (FileTimeFromDosTime(e.dosTime, &ft)) SetFileTime(out.get(), nullptr, nullptr, &ft);
    return true;
  }

  // Moves every written file to its name. Past this point nothing is taken back.
  bool Commit() {
    m_committed = true;
    bool ok = true;
    for (const Pending& p : m_files) {
      if (!ok || !MoveFileExW(p.temp.c_str(), p.final.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileW(p.temp.c_str());
        ok = false;
      }
    }
    return ok;
  }

 private:
  struct Pending {
    std::wstring temp;
    std::wstring final;
  };
  std::wstring m_root;
  std::vector<std::wstring> m_dirs;
  std::vector<Pending> m_files;
  bool m_committed = false;
};

}  // namespace

bool ExtractArchive(const std::wstring& archive, const std::wstring& folder, const ExtractRules& rules) {
  ArchiveFile file;
  std::vector<Entry> entries;
  if (!file.Open(archive) || !ReadDirectory(file, rules, &entries)) return false;

  wchar_t full[MAX_PATH];
  DWORD n = GetFullPathNameW(folder.c_str(), MAX_PATH, full, nullptr);
  if (folder.empty() || n == 0 || n >= MAX_PATH) return false;
  std::wstring root = full;
  while (root.size() > 3 && (root.back() == L'\\' || root.back() == L'/')) root.pop_back();
  // Room for every name, and for a temporary name beside the deepest file.
  for (const Entry& e : entries)
    if (root.size() + 1 + e.relPath.size() >= MAX_PATH - 1 ||
        ParentFolder(root + L'\\' + e.relPath).size() + 32 >= MAX_PATH)
      return false;

  const bool rootExisted = GetFileAttributesW(root.c_str()) != INVALID_FILE_ATTRIBUTES;
  if (!EnsureFolder(root)) return false;
  bool ok = true;
  {
    Staging staging(root.back() == L'\\' ? root.substr(0, root.size() - 1) : root);
    for (const Entry& e : entries) {
      ok = e.isDir ? staging.MakeFolders(e.relPath, true) : staging.StageFile(file, e);
      if (!ok) break;
    }
    if (ok) ok = staging.Commit();
  }
  if (!ok && !rootExisted) RemoveDirectoryW(root.c_str());
  return ok;
}

}  // namespace zip
