#include "platform/doctree/xml_io.h"

#include "platform/win/com_ptr.h"
#include "platform/win/durable_file.h"
#include "platform/win/handles.h"

#include <msxml2.h>
#include <shlwapi.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

// MinGW's headers declare the SAX interfaces of MSXML 3.0 but its uuid library has neither
// their identifiers nor the classes, so they are spelled out here.
const CLSID kClsidSaxReader30 = {0x3124C396, 0xFB13, 0x4836, {0xA6, 0xAD, 0x13, 0x17, 0xF1, 0x71, 0x36, 0x88}};
const CLSID kClsidMxWriter30 = {0x3D813DFE, 0x6C91, 0x4A4E, {0x8F, 0x41, 0x04, 0x34, 0x6A, 0x84, 0x1D, 0x9C}};
const IID kIidSaxReader = {0xA4F96ED0, 0xF829, 0x476E, {0x81, 0xC0, 0xCD, 0xC7, 0xBD, 0x2A, 0x08, 0x02}};
const IID kIidSaxContentHandler = {0x1545CDFA, 0x9E4E, 0x4497, {0xA8, 0xA4, 0x2B, 0xF7, 0xD0, 0x11, 0x2C, 0x44}};
const IID kIidSaxErrorHandler = {0xA60511C4, 0xCCF5, 0x479E, {0x98, 0xA3, 0xDC, 0x8D, 0xC5, 0x45, 0xB7, 0xD0}};
const IID kIidSaxAttributes = {0xF078ABE1, 0x45D2, 0x4832, {0x91, 0xEA, 0x44, 0x66, 0xCE, 0x2F, 0x25, 0xC9}};
const IID kIidMxWriter = {0x4D7FF4BA, 0x1565, 0x4EA8, {0x94, 0xE1, 0x6E, 0x72, 0x4A, 0x46, 0xF9, 0x8D}};

// ---- text between the ANSI code page and UTF-16 ----

bool IsAscii(const wchar_t* text, size_t length) {
  for (size_t i = 0; i < length; ++i)
    if (text[i] >= 0x80) return false;
  return true;
}

bool IsAscii(const char* text, size_t length) {
  for (size_t i = 0; i < length; ++i)
    if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
  return true;
}

// UTF-16 to the ANSI code page. Every ANSI code page of Windows keeps ASCII as it is, so ASCII
// text (nearly all of a document) is copied without asking the system; other text goes through
// one conversion into a buffer that is kept for the next call.
class Narrower {
 public:
  CString operator()(const wchar_t* text, size_t length) {
    CString out;
    if (length == 0) return out;
    const int n = static_cast<int>(length);
    if (IsAscii(text, length)) {
      char* buffer = out.GetBufferSetLength(n);
      for (int i = 0; i < n; ++i) buffer[i] = static_cast<char>(text[i]);
      return out;
    }
    // At most three bytes per UTF-16 unit, whatever the code page (UTF-8 as ANSI code page).
    if (m_buffer.size() < length * 3) m_buffer.resize(length * 3);
    const int size = WideCharToMultiByte(CP_ACP, 0, text, n, m_buffer.data(), static_cast<int>(m_buffer.size()), nullptr, nullptr);
    if (size > 0) out = CString(m_buffer.data(), size);
    return out;
  }

 private:
  std::vector<char> m_buffer;
};

// Appends text in the ANSI code page to out as UTF-16.
void AppendWide(std::wstring& out, const char* text, int length) {
  if (length <= 0) return;
  const size_t at = out.size();
  if (IsAscii(text, length)) {
    out.append(text, text + length);
    return;
  }
  // A code page needs at least one byte for each UTF-16 unit it makes.
  out.resize(at + length);
  const int n = MultiByteToWideChar(CP_ACP, 0, text, length, &out[at], length);
  out.resize(at + (n > 0 ? n : 0));
}

// Short texts (names, values such as "register" or "1", time stamps) and the white space between
// elements repeat all through a document. Each is converted once and then shared: CString copies
// share their buffer, so a repeated text costs no allocation. A small table indexed by a hash of
// the text; a slot holds the last text that landed in it. Longer texts (keys, Base64 values) are
// rarely repeated and are converted each time.
class TextCache {
 public:
  CString Get(const wchar_t* text, size_t length, Narrower& narrow) {
    if (length == 0) return CString();
    if (length > kLongest || (length > kShort && !IsSpace(text, length))) return narrow(text, length);
    // Texts that differ mostly differ in their length or at either end (counters, IDs, times).
    const size_t hash = length * 31 + text[0] * 7 + text[length / 2] * 17 + text[length - 1] * 131 +
                        (length > 1 ? text[length - 2] * 3 : 0);
    Slot& slot = m_slots[hash % kSlots];
    if (slot.text.size() != length || wmemcmp(slot.text.data(), text, length) != 0) {
      slot.text.assign(text, length);
      slot.narrow = narrow(text, length);
    }
    return slot.narrow;
  }

 private:
  static constexpr size_t kShort = 24;    // every text up to this length
  static constexpr size_t kLongest = 64;  // white space up to this length
  static constexpr size_t kSlots = 509;
  static bool IsSpace(const wchar_t* text, size_t length) {
    for (size_t i = 0; i < length; ++i)
      if (text[i] != L' ' && text[i] != L'\n' && text[i] != L'\t' && text[i] != L'\r') return false;
    return true;
  }
  struct Slot {
    std::wstring text;
    CString narrow;
  };
  std::vector<Slot> m_slots{kSlots};
};

// ---- reading: MSXML's SAX2 reader straight into XmlElement ----

// The parser's callbacks build the elements as they come: attributes are read through the
// pointers the reader lends, text is gathered per open element and converted once when the
// element ends, short texts through a TextCache.
//
// The object lives on the caller's stack; its reference count only keeps COM's rules and never
// frees it. The reader that holds it must be released first.
class TreeBuilder final : public ISAXContentHandler, public ISAXErrorHandler {
 public:
  TreeBuilder() = default;
  TreeBuilder(const TreeBuilder&) = delete;
  TreeBuilder& operator=(const TreeBuilder&) = delete;

  // The whole document when it was read to its end without a fault.
  bool Complete() const { return !m_failed && m_root && m_open.empty(); }
  std::unique_ptr<XmlElement> TakeRoot() { return std::move(m_root); }

  // IUnknown
  HRESULT WINAPI QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == kIidSaxContentHandler)
      *out = static_cast<ISAXContentHandler*>(this);
    else if (iid == kIidSaxErrorHandler)
      *out = static_cast<ISAXErrorHandler*>(this);
    else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG WINAPI AddRef() override { return ++m_refs; }
  ULONG WINAPI Release() override { return --m_refs; }

  // ISAXContentHandler
  HRESULT WINAPI putDocumentLocator(ISAXLocator*) override { return S_OK; }
  HRESULT WINAPI startDocument() override { return S_OK; }
  HRESULT WINAPI endDocument() override { return S_OK; }
  HRESULT WINAPI startPrefixMapping(const wchar_t*, int, const wchar_t*, int) override { return S_OK; }
  HRESULT WINAPI endPrefixMapping(const wchar_t*, int) override { return S_OK; }
  HRESULT WINAPI startElement(const wchar_t*, int, const wchar_t*, int, const wchar_t* qname, int qnameLength,
                              ISAXAttributes* attributes) override {
    // A second root element ends the parse here (the parser reports it too).
    if (m_failed || (m_open.empty() && m_root)) return Fail();
    // Exceptions must not travel into the parser: a failure to allocate ends the parse.
    try {
      return OpenElement(qname, qnameLength, attributes);
    } catch (...) {
      return Fail();
    }
  }
  HRESULT WINAPI endElement(const wchar_t*, int, const wchar_t*, int, const wchar_t*, int) override {
    if (m_failed || m_open.empty()) return Fail();
    try {
      std::wstring& text = m_texts[m_open.size() - 1];
      if (!text.empty()) m_open.back()->text = m_cache.Get(text.data(), text.size(), m_narrow);
      m_open.pop_back();
      return S_OK;
    } catch (...) {
      return Fail();
    }
  }
  HRESULT WINAPI characters(const wchar_t* chars, int length) override {
    if (m_failed) return E_FAIL;
    if (m_open.empty() || length <= 0) return S_OK;
    try {
      m_texts[m_open.size() - 1].append(chars, length);
      return S_OK;
    } catch (...) {
      return Fail();
    }
  }
  // Only a document with a DTD has ignorable white space; it is not text of the element.
  HRESULT WINAPI ignorableWhitespace(const wchar_t*, int) override { return S_OK; }
  HRESULT WINAPI processingInstruction(const wchar_t*, int, const wchar_t*, int) override { return S_OK; }
  HRESULT WINAPI skippedEntity(const wchar_t*, int) override { return S_OK; }

  // ISAXErrorHandler: any error makes the document unusable.
  HRESULT WINAPI error(ISAXLocator*, const wchar_t*, HRESULT) override { return Fail(); }
  HRESULT WINAPI fatalError(ISAXLocator*, const wchar_t*, HRESULT) override { return Fail(); }
  HRESULT WINAPI ignorableWarning(ISAXLocator*, const wchar_t*, HRESULT) override { return S_OK; }

 private:
  HRESULT Fail() {
    m_failed = true;
    return E_FAIL;
  }

  HRESULT OpenElement(const wchar_t* qname, int qnameLength, ISAXAttributes* attributes) {
    auto element = std::make_unique<XmlElement>();
    element->name = m_cache.Get(qname, qnameLength, m_narrow);
    int count = 0;
    if (attributes && SUCCEEDED(attributes->getLength(&count)) && count > 0) {
      element->attributes.reserve(count);
      for (int i = 0; i < count; ++i) {
        const wchar_t *name = nullptr, *value = nullptr;
        int nameLength = 0, valueLength = 0;
        if (FAILED(attributes->getQName(i, &name, &nameLength)) || FAILED(attributes->getValue(i, &value, &valueLength)))
          return Fail();
        element->attributes.emplace_back(m_cache.Get(name, nameLength, m_narrow), m_cache.Get(value, valueLength, m_narrow));
      }
    }
    XmlElement* raw = element.get();
    if (m_open.empty()) {
      m_root = std::move(element);
    } else {
      // Room for a few children at once (a record has about six), not one by one.
      auto& siblings = m_open.back()->children;
      if (siblings.empty()) siblings.reserve(8);
      siblings.push_back(std::move(element));
    }
    m_open.push_back(raw);
    if (m_texts.size() < m_open.size()) m_texts.resize(m_open.size());
    m_texts[m_open.size() - 1].clear();  // keeps the buffer of an earlier element of this depth
    return S_OK;
  }

  ULONG m_refs = 0;
  bool m_failed = false;
  std::unique_ptr<XmlElement> m_root;
  std::vector<XmlElement*> m_open;     // the elements not yet ended, outermost first
  std::vector<std::wstring> m_texts;   // text gathered so far, one buffer per depth
  TextCache m_cache;
  Narrower m_narrow;
};

// Parses source (a stream) into root; false, root untouched, unless the whole input is one
// well-formed document.
//
// The input goes to the reader as a stream, not as a byte array or a string: Wine's reader drops
// the last byte of a byte array, and for input it holds in memory as a whole it looks back to
// the start of the current line on every piece of text, which turns a document written on one
// long line into minutes of work. From a stream it reads pieces, and neither happens.
bool Parse(IStream* source, std::unique_ptr<XmlElement>& root) {
  TreeBuilder builder;  // outlives the reader, which holds references to it
  bool complete = false;
  {
    ComPtr<ISAXXMLReader> reader;
    if (FAILED(CoCreateInstance(kClsidSaxReader30, nullptr, CLSCTX_INPROC_SERVER, kIidSaxReader,
                                reinterpret_cast<void**>(reader.receive()))) ||
        !reader)
      return false;
    // Nothing outside the input is fetched (a DTD or entities named by a document).
    reader->putFeature(L"http://xml.org/sax/features/external-general-entities", VARIANT_FALSE);
    reader->putFeature(L"http://xml.org/sax/features/external-parameter-entities", VARIANT_FALSE);
    if (FAILED(reader->putContentHandler(&builder)) || FAILED(reader->putErrorHandler(&builder))) return false;
    VariantValue input;
    input.SetUnknown(source);
    complete = reader->parse(input.get()) == S_OK && builder.Complete();
    reader->putContentHandler(nullptr);
    reader->putErrorHandler(nullptr);
  }
  if (!complete) return false;
  root = builder.TakeRoot();
  return true;
}

// ---- writing: MSXML's MXXMLWriter from XmlElement ----

// The attributes of one element as the writer asks for them: names and values in one UTF-16
// buffer that every element reuses. Lives on the stack like TreeBuilder.
class AttributeList final : public ISAXAttributes {
 public:
  void Clear() {
    m_chars.clear();
    m_items.clear();
  }
  void Add(const CString& name, const CString& value) {
    Item item;
    item.name = m_chars.size();
    AppendWide(m_chars, name, name.GetLength());
    item.nameLength = m_chars.size() - item.name;
    item.value = m_chars.size();
    AppendWide(m_chars, value, value.GetLength());
    item.valueLength = m_chars.size() - item.value;
    m_items.push_back(item);
  }
  size_t Count() const { return m_items.size(); }
  const wchar_t* NameAt(size_t i, size_t& length) const {
    length = m_items[i].nameLength;
    return m_chars.data() + m_items[i].name;
  }
  const wchar_t* ValueAt(size_t i, size_t& length) const {
    length = m_items[i].valueLength;
    return m_chars.data() + m_items[i].value;
  }

  // IUnknown
  HRESULT WINAPI QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid != IID_IUnknown && iid != kIidSaxAttributes) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = static_cast<ISAXAttributes*>(this);
    AddRef();
    return S_OK;
  }
  ULONG WINAPI AddRef() override { return ++m_refs; }
  ULONG WINAPI Release() override { return --m_refs; }

  // ISAXAttributes: names without namespaces, every value of type CDATA.
  HRESULT WINAPI getLength(int* length) override {
    if (!length) return E_POINTER;
    *length = static_cast<int>(m_items.size());
    return S_OK;
  }
  HRESULT WINAPI getURI(int i, const wchar_t** uri, int* length) override {
    if (!Valid(i)) return E_INVALIDARG;
    return Give(L"", 0, uri, length);
  }
  HRESULT WINAPI getLocalName(int i, const wchar_t** name, int* length) override { return getQName(i, name, length); }
  HRESULT WINAPI getQName(int i, const wchar_t** name, int* length) override {
    if (!Valid(i)) return E_INVALIDARG;
    return Give(m_chars.data() + m_items[i].name, m_items[i].nameLength, name, length);
  }
  HRESULT WINAPI getName(int i, const wchar_t** uri, int* uriLength, const wchar_t** local, int* localLength,
                         const wchar_t** qname, int* qnameLength) override {
    HRESULT hr = getURI(i, uri, uriLength);
    if (SUCCEEDED(hr)) hr = getLocalName(i, local, localLength);
    if (SUCCEEDED(hr)) hr = getQName(i, qname, qnameLength);
    return hr;
  }
  HRESULT WINAPI getIndexFromName(const wchar_t*, int, const wchar_t* local, int localLength, int* index) override {
    return getIndexFromQName(local, localLength, index);
  }
  HRESULT WINAPI getIndexFromQName(const wchar_t* name, int length, int* index) override {
    if (!name || !index) return E_POINTER;
    for (size_t i = 0; i < m_items.size(); ++i)
      if (m_items[i].nameLength == static_cast<size_t>(length) &&
          wmemcmp(m_chars.data() + m_items[i].name, name, length) == 0) {
        *index = static_cast<int>(i);
        return S_OK;
      }
    return E_INVALIDARG;
  }
  HRESULT WINAPI getType(int i, const wchar_t** type, int* length) override {
    if (!Valid(i)) return E_INVALIDARG;
    return Give(L"CDATA", 5, type, length);
  }
  HRESULT WINAPI getTypeFromName(const wchar_t*, int, const wchar_t* local, int localLength, const wchar_t** type,
                                 int* length) override {
    return getTypeFromQName(local, localLength, type, length);
  }
  HRESULT WINAPI getTypeFromQName(const wchar_t* name, int nameLength, const wchar_t** type, int* length) override {
    int i = 0;
    HRESULT hr = getIndexFromQName(name, nameLength, &i);
    return FAILED(hr) ? hr : getType(i, type, length);
  }
  HRESULT WINAPI getValue(int i, const wchar_t** value, int* length) override {
    if (!Valid(i)) return E_INVALIDARG;
    return Give(m_chars.data() + m_items[i].value, m_items[i].valueLength, value, length);
  }
  HRESULT WINAPI getValueFromName(const wchar_t*, int, const wchar_t* local, int localLength, const wchar_t** value,
                                  int* length) override {
    return getValueFromQName(local, localLength, value, length);
  }
  HRESULT WINAPI getValueFromQName(const wchar_t* name, int nameLength, const wchar_t** value, int* length) override {
    int i = 0;
    HRESULT hr = getIndexFromQName(name, nameLength, &i);
    return FAILED(hr) ? hr : getValue(i, value, length);
  }

 private:
  struct Item {
    size_t name, nameLength, value, valueLength;
  };
  bool Valid(int i) const { return i >= 0 && static_cast<size_t>(i) < m_items.size(); }
  static HRESULT Give(const wchar_t* text, size_t size, const wchar_t** out, int* length) {
    if (!out || !length) return E_POINTER;
    *out = text;
    *length = static_cast<int>(size);
    return S_OK;
  }

  ULONG m_refs = 0;
  std::wstring m_chars;
  std::vector<Item> m_items;
};

// Where the writer puts its output: the bytes it writes, kept in memory. Lives on the stack
// like TreeBuilder; only writing is offered.
class ByteSink final : public IStream {
 public:
  std::string& bytes() { return m_bytes; }

  HRESULT WINAPI QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid != IID_IUnknown && iid != IID_ISequentialStream && iid != IID_IStream) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = static_cast<IStream*>(this);
    AddRef();
    return S_OK;
  }
  ULONG WINAPI AddRef() override { return ++m_refs; }
  ULONG WINAPI Release() override { return --m_refs; }

  HRESULT WINAPI Read(void*, ULONG, ULONG*) override { return E_NOTIMPL; }
  HRESULT WINAPI Write(const void* data, ULONG size, ULONG* written) override {
    if (written) *written = 0;
    if (size && !data) return STG_E_INVALIDPOINTER;
    try {
      m_bytes.append(static_cast<const char*>(data), size);
    } catch (...) {
      return STG_E_MEDIUMFULL;
    }
    if (written) *written = size;
    return S_OK;
  }
  HRESULT WINAPI Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  HRESULT WINAPI SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  HRESULT WINAPI CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  HRESULT WINAPI Commit(DWORD) override { return S_OK; }
  HRESULT WINAPI Revert() override { return E_NOTIMPL; }
  HRESULT WINAPI LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT WINAPI UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  HRESULT WINAPI Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
  HRESULT WINAPI Clone(IStream**) override { return E_NOTIMPL; }

 private:
  ULONG m_refs = 0;
  std::string m_bytes;
};

// Whether the writer can put the text into a document so that it reads back the same. The
// writer escapes markup characters but writes every other character as it is, and a parser
// turns a CR into a line feed and, in an attribute, tabs and line breaks into spaces; the other
// control characters are not allowed in XML at all.
bool Writable(const wchar_t* text, size_t length, bool inAttribute) {
  for (size_t i = 0; i < length; ++i) {
    const wchar_t c = text[i];
    if (c < 0x20 && (inAttribute || (c != L'\t' && c != L'\n'))) return false;
    if (c == 0xFFFE || c == 0xFFFF) return false;
  }
  return true;
}

// Whether a name can stand as an element or attribute name. Not the full rule for XML names:
// enough to refuse what would break the markup (empty, white space, markup characters, a
// leading digit, dot or hyphen). The writer itself writes any name as it is given.
bool UsableName(const wchar_t* name, size_t length) {
  if (length == 0 || name[0] == L'-' || name[0] == L'.' || (name[0] >= L'0' && name[0] <= L'9')) return false;
  for (size_t i = 0; i < length; ++i) {
    switch (name[i]) {
      case L'<': case L'>': case L'&': case L'"': case L'\'': case L'=': case L'/': case L'!': case L'?':
      case L';': case L',': case L'(': case L')': case L'[': case L']': case L'{': case L'}':
      case 0xFFFE: case 0xFFFF:
        return false;
      default:
        if (name[i] <= 0x20) return false;
    }
  }
  return true;
}

class DocumentWriter {
 public:
  explicit DocumentWriter(ISAXContentHandler* out) : m_out(out) {}

  bool Write(const XmlElement& element, int depth) {
    // The name is needed again after the children: one buffer per depth, kept for the next
    // element of that depth.
    if (m_names.size() <= static_cast<size_t>(depth)) m_names.resize(depth + 1);
    std::wstring& name = m_names[depth];
    name.clear();
    AppendWide(name, element.name, element.name.GetLength());
    if (!UsableName(name.data(), name.size())) return false;
    m_attributes.Clear();
    for (const auto& a : element.attributes) m_attributes.Add(a.first, a.second);
    for (size_t i = 0; i < m_attributes.Count(); ++i) {
      size_t length = 0;
      const wchar_t* text = m_attributes.NameAt(i, length);
      if (!UsableName(text, length)) return false;
      text = m_attributes.ValueAt(i, length);
      if (!Writable(text, length, true)) return false;
    }
    const int nameLength = static_cast<int>(name.size());
    if (FAILED(m_out->startElement(L"", 0, name.data(), nameLength, name.data(), nameLength, &m_attributes))) return false;

    // Only an element that has children and no text of its own is indented, so that text stays
    // exactly as it is.
    if (!element.children.empty() && element.text.IsEmpty()) {
      for (const auto& child : element.children)
        if (!Indent(depth + 1) || !Write(*child, depth + 1)) return false;
      if (!Indent(depth)) return false;
    } else {
      if (!element.text.IsEmpty() && !WriteText(element.text)) return false;
      for (const auto& child : element.children)
        if (!Write(*child, depth + 1)) return false;
    }
    const std::wstring& end = m_names[depth];  // the vector may have grown for the children
    return SUCCEEDED(m_out->endElement(L"", 0, end.data(), nameLength, end.data(), nameLength));
  }

 private:
  // A line break (CR LF) and two spaces per level. Written as text: the writer would put
  // "ignorable white space" inside the tag that is still open.
  bool Indent(int depth) {
    const size_t length = 2 + 2 * static_cast<size_t>(depth);
    if (m_indent.size() < length) m_indent = L"\r\n" + std::wstring(length - 2 + 32, L' ');
    return SUCCEEDED(m_out->characters(m_indent.data(), static_cast<int>(length)));
  }

  // The writer escapes the text; each line feed is written as CR LF (read back as a line feed).
  bool WriteText(const CString& text) {
    m_text.clear();
    AppendWide(m_text, text, text.GetLength());
    if (!Writable(m_text.data(), m_text.size(), false)) return false;
    if (m_text.find(L'\n') != std::wstring::npos) {
      m_lines.clear();
      for (wchar_t c : m_text) {
        if (c == L'\n') m_lines += L'\r';
        m_lines += c;
      }
      m_text.swap(m_lines);
    }
    return SUCCEEDED(m_out->characters(m_text.data(), static_cast<int>(m_text.size())));
  }

  ISAXContentHandler* m_out;
  AttributeList m_attributes;
  std::vector<std::wstring> m_names;
  std::wstring m_text, m_lines, m_indent;
};

// The document's text as MSXML's writer makes it (without an XML declaration): UTF-16 bytes.
bool Serialize(const XmlElement& root, std::string& utf16) {
  ByteSink sink;  // outlives the writer, which holds a reference to it
  {
    ComPtr<IMXWriter> writer;
    ComPtr<ISAXContentHandler> handler;
    if (FAILED(CoCreateInstance(kClsidMxWriter30, nullptr, CLSCTX_INPROC_SERVER, kIidMxWriter,
                                reinterpret_cast<void**>(writer.receive()))) ||
        !writer || !writer.As(kIidSaxContentHandler, handler))
      return false;
    // Output into a stream of ours, in UTF-16 (copied through as it is, which is faster than the
    // writer's own UTF-8 encoding). Its output into a string is not used: Wine's garbles a
    // character now and then where its internal buffers meet.
    if (FAILED(writer->put_encoding(BStr(L"UTF-16").get())) || FAILED(writer->put_byteOrderMark(VARIANT_FALSE)) ||
        FAILED(writer->put_omitXMLDeclaration(VARIANT_TRUE)) || FAILED(writer->put_indent(VARIANT_FALSE)))
      return false;
    VariantValue output;
    output.SetUnknown(static_cast<IStream*>(&sink));
    if (FAILED(writer->put_output(output.get()))) return false;
    DocumentWriter document(handler.get());
    if (FAILED(handler->startDocument()) || !document.Write(root, 0) || FAILED(handler->endDocument()) ||
        FAILED(writer->flush()))
      return false;
    VariantValue none;
    writer->put_output(none.get());  // lets go of the sink
  }
  utf16.swap(sink.bytes());
  return !utf16.empty();
}

// Reads the text of a document in the ANSI code page from memory: as UTF-16 with a byte order
// mark, so that the reader takes it as characters whatever encoding its declaration names.
bool ParseText(const CString& text, std::unique_ptr<XmlElement>& root) {
  std::wstring wide(1, wchar_t(0xFEFF));
  AppendWide(wide, text, text.GetLength());
  ComPtr<IStream> stream;
  *stream.receive() =
      SHCreateMemStream(reinterpret_cast<const BYTE*>(wide.data()), static_cast<UINT>(wide.size() * sizeof(wchar_t)));
  return stream && Parse(stream.get(), root);
}

}  // namespace

bool ReadXmlFile(const CString& path, std::unique_ptr<XmlElement>& root) {
  ComApartment com;
  if (!com.usable() || path.IsEmpty()) return false;
  // Opened here rather than named to the reader, which would take the path for a URL ("#" or
  // "%" in a folder name would mean something else).
  ComPtr<IStream> stream;
  if (FAILED(SHCreateStreamOnFileA(path, STGM_READ | STGM_SHARE_DENY_WRITE, stream.receive())) || !stream)
    return false;
  return Parse(stream.get(), root);
}

bool ParseXmlText(const CString& text, std::unique_ptr<XmlElement>& root) {
  ComApartment com;
  if (!com.usable()) return false;
  return ParseText(text, root);
}

bool WriteXmlFile(const CString& path, const XmlElement& root) {
  if (path.IsEmpty()) return false;
  std::string bytes = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
  {
    std::string utf16;
    {
      ComApartment com;
      if (!com.usable() || !Serialize(root, utf16)) return false;
    }
    const wchar_t* text = reinterpret_cast<const wchar_t*>(utf16.data());
    int length = static_cast<int>(utf16.size() / sizeof(wchar_t));
    if (length && text[0] == 0xFEFF) ++text, --length;  // a byte order mark, should one come
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return false;
    const size_t at = bytes.size();
    bytes.resize(at + size + 2);
    WideCharToMultiByte(CP_UTF8, 0, text, length, &bytes[at], size, nullptr, nullptr);
    bytes[at + size] = '\r';
    bytes[at + size + 1] = '\n';
  }

  return WriteFileDurably(path.c_str(), bytes);
}

bool XmlCanCarry(const CString& text, bool inAttribute) {
  const int length = text.GetLength();
  if (length == 0) return true;
  // ASCII is the same in every ANSI code page and in UTF-16: only control characters matter.
  if (IsAscii(text.c_str(), length)) {
    for (int i = 0; i < length; ++i) {
      const char c = text[i];
      if (c < 0x20 && (inAttribute || (c != '\t' && c != '\n'))) return false;
    }
    return true;
  }
  int n = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, length, nullptr, 0);
  if (n <= 0) return false;
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, length, &wide[0], n);
  if (!Writable(wide.data(), wide.size(), inAttribute)) return false;
  Narrower narrow;
  CString back = narrow(wide.data(), wide.size());
  return back.GetLength() == length && memcmp(back.c_str(), text.c_str(), length) == 0;
}
