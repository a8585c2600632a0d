#include "platform/services/midl_doc.h"

#include "platform/win/handles.h"
#include "platform/win/unique_file.h"

#include <msxml2.h>
#include <objbase.h>
#include <shlwapi.h>

#include <string>

namespace {

// MSXML 3.0's DOMDocument30; MinGW's uuid library does not carry the class identifier.
const CLSID kDomDocument30 = {0xF5078F32, 0xC551, 0x11D3, {0x89, 0xB9, 0x00, 0x00, 0xF8, 0x1F, 0xE2, 0x21}};
constexpr DWORD kMaxFeedSize = 16u << 20;

// COM for the calling thread, undone only when this object did it.
class ComScope {
 public:
  ComScope() : m_hr(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  ~ComScope() {
    if (SUCCEEDED(m_hr)) CoUninitialize();
  }
  // Usable also when the thread had COM in another apartment model already.
  bool ok() const { return SUCCEEDED(m_hr) || m_hr == RPC_E_CHANGED_MODE; }

 private:
  HRESULT m_hr;
};

template <typename T>
class ComRef {
 public:
  ComRef() = default;
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ~ComRef() {
    if (m_p) m_p->Release();
  }
  T* operator->() const { return m_p; }
  T* get() const { return m_p; }
  T** receive() { return &m_p; }
  void** receive_void() { return reinterpret_cast<void**>(&m_p); }

 private:
  T* m_p = nullptr;
};

struct Bstr {
  BSTR s = nullptr;
  ~Bstr() { SysFreeString(s); }
};

bool ReadWholeFile(const CString& path, std::string* bytes) {
  UniqueHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER size;
  if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 || size.QuadPart > kMaxFeedSize)
    return false;
  bytes->resize(static_cast<size_t>(size.QuadPart));
  DWORD got = 0;
  return ReadFile(file.get(), &(*bytes)[0], static_cast<DWORD>(bytes->size()), &got, nullptr) &&
         got == bytes->size();
}

// Parses the file with MSXML; true when it is well-formed and its root is not <html>.
bool IsFeedDocument(const CString& path) {
  ComScope com;
  if (!com.ok()) return false;
  ComRef<IXMLDOMDocument> doc;
  if (FAILED(CoCreateInstance(kDomDocument30, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                              doc.receive_void())))
    return false;
  doc->put_async(VARIANT_FALSE);
  doc->put_validateOnParse(VARIANT_FALSE);
  doc->put_resolveExternals(VARIANT_FALSE);
  // From a stream, not by name: MSXML would read a name as a URL, where "#" or "%" in a
  // folder name mean something else.
  ComRef<IStream> stream;
  if (FAILED(SHCreateStreamOnFileA(path, STGM_READ | STGM_SHARE_DENY_WRITE, stream.receive())))
    return false;
  VARIANT source;
  VariantInit(&source);
  source.vt = VT_UNKNOWN;
  source.punkVal = stream.get();  // borrowed: not cleared
  VARIANT_BOOL loaded = VARIANT_FALSE;
  if (doc->load(source, &loaded) != S_OK || loaded != VARIANT_TRUE) return false;
  ComRef<IXMLDOMElement> root;
  if (doc->get_documentElement(root.receive()) != S_OK || !root.get()) return false;
  Bstr name;
  if (FAILED(root->get_baseName(&name.s)) || !name.s) return false;
  return lstrcmpiW(name.s, L"html") != 0;
}

}  // namespace

int CMIDLDoc::ReadMail(const CString& path, CString& out) {
  out.Empty();
  std::string bytes;
  if (path.IsEmpty() || !ReadWholeFile(path, &bytes) || !IsFeedDocument(path)) return 0;
  out = CString(bytes.data(), static_cast<int>(bytes.size()));
  return 1;
}
