#include "platform/win/message_auth.h"

#include "platform/win/handles.h"

#include <bcrypt.h>

namespace {

const wchar_t kSha256[] = L"SHA256";
const ULONG kHmacFlag = 0x00000008;           // BCRYPT_ALG_HANDLE_HMAC_FLAG
const ULONG kSystemPreferredRng = 0x00000002;  // BCRYPT_USE_SYSTEM_PREFERRED_RNG
const size_t kSha256Bytes = 32;
const char kHexDigits[] = "0123456789abcdef";

bool Succeeded(NTSTATUS status) { return status >= 0; }

// The few bcrypt functions used here, from the system folder's bcrypt.dll (never one found
// beside a program), and the HMAC-SHA256 provider, opened once for the process: opening it is
// the costly step, and one provider serves every thread.
struct Bcrypt {
  LibraryHandle library;
  decltype(&BCryptOpenAlgorithmProvider) open = nullptr;
  decltype(&BCryptCloseAlgorithmProvider) close = nullptr;
  decltype(&BCryptCreateHash) createHash = nullptr;
  decltype(&BCryptHashData) hashData = nullptr;
  decltype(&BCryptFinishHash) finishHash = nullptr;
  decltype(&BCryptDestroyHash) destroyHash = nullptr;
  decltype(&BCryptGenRandom) genRandom = nullptr;
  BCRYPT_ALG_HANDLE hmac = nullptr;

  Bcrypt() {
    char system[MAX_PATH] = "";
    UINT n = GetSystemDirectoryA(system, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    library.reset(LoadLibraryA((std::string(system) + "\\bcrypt.dll").c_str()));
    open = GetProc<decltype(open)>(library.get(), "BCryptOpenAlgorithmProvider");
    close = GetProc<decltype(close)>(library.get(), "BCryptCloseAlgorithmProvider");
    createHash = GetProc<decltype(createHash)>(library.get(), "BCryptCreateHash");
    hashData = GetProc<decltype(hashData)>(library.get(), "BCryptHashData");
    finishHash = GetProc<decltype(finishHash)>(library.get(), "BCryptFinishHash");
    destroyHash = GetProc<decltype(destroyHash)>(library.get(), "BCryptDestroyHash");
    genRandom = GetProc<decltype(genRandom)>(library.get(), "BCryptGenRandom");
    if (open && close && !Succeeded(open(&hmac, kSha256, nullptr, kHmacFlag))) hmac = nullptr;
  }
  ~Bcrypt() {
    if (hmac) close(hmac, 0);
  }
  Bcrypt(const Bcrypt&) = delete;
  Bcrypt& operator=(const Bcrypt&) = delete;
  bool usable() const { return hmac && createHash && hashData && finishHash && destroyHash && genRandom; }
};

const Bcrypt& Api() {
  static const Bcrypt api;
  return api;
}

// One keyed hash object, destroyed on every way out.
class HmacObject {
 public:
  HmacObject(const Bcrypt& api, const std::string& key) : m_api(api) {
    std::string mutableKey = key;  // the API takes the key through a non-const pointer
    if (!Succeeded(api.createHash(api.hmac, &m_hash, nullptr, 0, reinterpret_cast<PUCHAR>(&mutableKey[0]),
                                  static_cast<ULONG>(mutableKey.size()), 0)))
      m_hash = nullptr;
  }
  ~HmacObject() {
    if (m_hash) m_api.destroyHash(m_hash);
  }
  HmacObject(const HmacObject&) = delete;
  HmacObject& operator=(const HmacObject&) = delete;

  bool Compute(const std::string& message, std::string& digest) {
    if (!m_hash) return false;
    std::string data = message;
    digest.assign(kSha256Bytes, '\0');
    return Succeeded(m_api.hashData(m_hash, reinterpret_cast<PUCHAR>(&data[0]), static_cast<ULONG>(data.size()), 0)) &&
           Succeeded(m_api.finishHash(m_hash, reinterpret_cast<PUCHAR>(&digest[0]), static_cast<ULONG>(kSha256Bytes), 0));
  }

 private:
  const Bcrypt& m_api;
  BCRYPT_HASH_HANDLE m_hash = nullptr;
};

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string HmacSha256Hex(const std::string& key, const std::string& message) {
  if (!Api().usable() || key.empty()) return std::string();
  HmacObject hmac(Api(), key);
  std::string digest;
  return hmac.Compute(message, digest) ? ToHex(digest) : std::string();
}

std::string RandomBytes(size_t size) {
  if (!Api().usable()) return std::string();
  std::string bytes(size, '\0');
  if (!Succeeded(Api().genRandom(nullptr, reinterpret_cast<PUCHAR>(&bytes[0]), static_cast<ULONG>(size),
                                 kSystemPreferredRng)))
    return std::string();
  return bytes;
}

std::string ToHex(const std::string& bytes) {
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) {
    hex += kHexDigits[b >> 4];
    hex += kHexDigits[b & 0x0F];
  }
  return hex;
}

bool FromHex(const std::string& hex, std::string& bytes) {
  if (hex.size() % 2 != 0) return false;
  bytes.clear();
  for (size_t i = 0; i < hex.size(); i += 2) {
    int high = HexValue(hex[i]), low = HexValue(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes += static_cast<char>(high * 16 + low);
  }
  return true;
}

bool SameCode(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  unsigned char difference = 0;
  for (size_t i = 0; i < a.size(); ++i) difference |= static_cast<unsigned char>(a[i] ^ b[i]);
  return difference == 0;
}
