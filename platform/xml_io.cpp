#include "platform/xml_io.h"

#include "platform/com_ptr.h"
#include "platform/handles.h"

#include <msxml2.h>
#include <shlwapi.h>

#include <string>

namespace {

// MinGW's uuid library lacks the class of the version-dependent DOM document of MSXML 3.0.
const CLSID kClsidDomDocument30 = {0xF5078F32, 0xC551, 0x11D3, {0x89, 0xB9, 0x00, 0x00, 0xF8, 0x1F, 0xE2, 0x21}};

std::wstring ToWide(const char* text, int length) {
  std::wstring wide;
  if (length <= 0) return wide;
  int n = MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
  if (n <= 0) return wide;
  wide.resize(n);
  MultiByteToWideChar(CP_ACP, 0, text, length, &wide[0], n);
  return wide;
}

BStr ToBstr(const CString& text) {
  std::wstring wide = ToWide(text, text.GetLength());
  return BStr(wide.data(), static_cast<UINT>(wide.size()));
}

CString ToAcp(const wchar_t* wide, int length) {
  CString out;
  if (length <= 0) return out;
  int n = WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return out;
  char* buffer = out.GetBuffer(n);
  WideCharToMultiByte(CP_ACP, 0, wide, length, buffer, n, nullptr, nullptr);
  out.ReleaseBuffer(n);
  return out;
}

CString ToAcp(const BStr& b) { return ToAcp(b.get(), static_cast<int>(b.length())); }

bool NewDocument(ComPtr<IXMLDOMDocument>& doc) {
  if (FAILED(CoCreateInstance(kClsidDomDocument30, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                              reinterpret_cast<void**>(doc.receive()))) ||
      !doc)
    return false;
  doc->put_async(VARIANT_FALSE);
  doc->put_validateOnParse(VARIANT_FALSE);
  doc->put_resolveExternals(VARIANT_FALSE);
  doc->put_preserveWhiteSpace(VARIANT_TRUE);
  return true;
}

// ---- DOM to XmlElement ----

bool ReadElement(IXMLDOMNode* node, XmlElement& out) {
  BStr name;
  if (FAILED(node->get_nodeName(name.receive()))) return false;
  out.name = ToAcp(name);

  ComPtr<IXMLDOMNamedNodeMap> attributes;
  if (SUCCEEDED(node->get_attributes(attributes.receive())) && attributes) {
    long count = 0;
    attributes->get_length(&count);
    out.attributes.reserve(count);
    for (long i = 0; i < count; ++i) {
      ComPtr<IXMLDOMNode> attribute;
      if (FAILED(attributes->get_item(i, attribute.receive())) || !attribute) continue;
      BStr attributeName;
      VariantValue value;
      attribute->get_nodeName(attributeName.receive());
      if (FAILED(attribute->get_nodeValue(value.receive())) || value.get().vt != VT_BSTR) continue;
      const BSTR v = value.get().bstrVal;
      out.attributes.emplace_back(ToAcp(attributeName), ToAcp(v, static_cast<int>(SysStringLen(v))));
    }
  }

  std::wstring text;
  ComPtr<IXMLDOMNode> child;
  node->get_firstChild(child.receive());
  while (child) {
    DOMNodeType type = NODE_INVALID;
    child->get_nodeType(&type);
    if (type == NODE_ELEMENT) {
      auto element = std::make_unique<XmlElement>();
      if (!ReadElement(child.get(), *element)) return false;
      out.children.push_back(std::move(element));
    } else if (type == NODE_TEXT || type == NODE_CDATA_SECTION) {
      VariantValue value;
      if (SUCCEEDED(child->get_nodeValue(value.receive())) && value.get().vt == VT_BSTR)
        text.append(value.get().bstrVal, SysStringLen(value.get().bstrVal));
    }
    ComPtr<IXMLDOMNode> next;
    child->get_nextSibling(next.receive());
    child = std::move(next);
  }
  out.text = ToAcp(text.data(), static_cast<int>(text.size()));
  return true;
}

bool ReadDocument(IXMLDOMDocument* doc, std::unique_ptr<XmlElement>& root) {
  ComPtr<IXMLDOMElement> element;
  if (FAILED(doc->get_documentElement(element.receive())) || !element) return false;
  auto parsed = std::make_unique<XmlElement>();
  if (!ReadElement(element.get(), *parsed)) return false;
  root = std::move(parsed);
  return true;
}

// ---- XmlElement to DOM ----

bool Append(IXMLDOMNode* parent, IXMLDOMNode* child) {
  ComPtr<IXMLDOMNode> added;
  return SUCCEEDED(parent->appendChild(child, added.receive()));
}

bool AppendText(IXMLDOMDocument* doc, IXMLDOMNode* parent, const BStr& text) {
  ComPtr<IXMLDOMText> node;
  return SUCCEEDED(doc->createTextNode(text.get(), node.receive())) && node && Append(parent, node.get());
}

bool WriteElement(IXMLDOMDocument* doc, IXMLDOMNode* parent, const XmlElement& in, int depth) {
  BStr name = ToBstr(in.name);
  ComPtr<IXMLDOMElement> element;
  if (FAILED(doc->createElement(name.get(), element.receive())) || !element) return false;
  for (const auto& a : in.attributes) {
    BStr attributeName = ToBstr(a.first);
    VariantValue value;
    value.SetString(ToBstr(a.second));
    if (FAILED(element->setAttribute(attributeName.get(), value.get()))) return false;
  }
  if (!in.children.empty() && in.text.IsEmpty()) {
    std::wstring inner = L"\n" + std::wstring(2 * (depth + 1), L' ');
    BStr indent(inner.c_str());
    for (const auto& child : in.children) {
      if (!AppendText(doc, element.get(), indent)) return false;
      if (!WriteElement(doc, element.get(), *child, depth + 1)) return false;
    }
    std::wstring outer = L"\n" + std::wstring(2 * depth, L' ');
    if (!AppendText(doc, element.get(), BStr(outer.c_str()))) return false;
  } else {
    if (!in.text.IsEmpty() && !AppendText(doc, element.get(), ToBstr(in.text))) return false;
    for (const auto& child : in.children)
      if (!WriteElement(doc, element.get(), *child, depth + 1)) return false;
  }
  return Append(parent, element.get());
}

CString FolderOf(const CString& path) {
  int slash = -1;
  for (int i = 0; i < path.GetLength(); ++i) {
    unsigned char c = static_cast<unsigned char>(path[i]);
    if (c == '\\' || c == '/') slash = i;
    else if (IsDBCSLeadByte(c) && i + 1 < path.GetLength()) ++i;
  }
  if (slash < 0) return CString(".");
  // The root of a drive or of the current drive keeps its backslash ("C:" alone would mean the
  // current folder of drive C).
  if (slash == 0 || (slash == 2 && path[1] == ':')) return path.Left(slash + 1);
  return path.Left(slash);
}

}  // namespace

bool ReadXmlFile(const CString& path, std::unique_ptr<XmlElement>& root) {
  ComApartment com;
  if (!com.usable() || path.IsEmpty()) return false;
  ComPtr<IXMLDOMDocument> doc;
  if (!NewDocument(doc)) return false;
  // Loading from a stream rather than by name keeps MSXML from reading the path as a URL, where
  // "#" or "%" in a folder name would mean something else.
  ComPtr<IStream> stream;
  if (FAILED(SHCreateStreamOnFileA(path, STGM_READ | STGM_SHARE_DENY_WRITE, stream.receive())) || !stream)
    return false;
  VariantValue source;
  source.SetUnknown(stream.get());
  VARIANT_BOOL loaded = VARIANT_FALSE;
  if (doc->load(source.get(), &loaded) != S_OK || loaded != VARIANT_TRUE) return false;
  return ReadDocument(doc.get(), root);
}

bool ParseXmlText(const CString& text, std::unique_ptr<XmlElement>& root) {
  ComApartment com;
  if (!com.usable()) return false;
  ComPtr<IXMLDOMDocument> doc;
  if (!NewDocument(doc)) return false;
  BStr source = ToBstr(text);
  VARIANT_BOOL loaded = VARIANT_FALSE;
  if (doc->loadXML(source.get(), &loaded) != S_OK || loaded != VARIANT_TRUE) return false;
  return ReadDocument(doc.get(), root);
}

bool WriteXmlFile(const CString& path, const XmlElement& root) {
  if (path.IsEmpty()) return false;
  // MSXML serialises the element (its xml property); the file is the declaration and that text
  // in UTF-8. The document's own save is not used: Wine's loses the memory of the whole text on
  // every save of a document that declares its encoding.
  std::string bytes = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
  {
    ComApartment com;
    if (!com.usable()) return false;
    ComPtr<IXMLDOMDocument> doc;
    if (!NewDocument(doc) || !WriteElement(doc.get(), doc.get(), root, 0)) return false;
    ComPtr<IXMLDOMElement> element;
    BStr text;
    if (FAILED(doc->get_documentElement(element.receive())) || !element || FAILED(element->get_xml(text.receive())))
      return false;
    const int length = static_cast<int>(text.length());
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.get(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return false;
    const size_t at = bytes.size();
    bytes.resize(at + size);
    WideCharToMultiByte(CP_UTF8, 0, text.get(), length, &bytes[at], size, nullptr, nullptr);
  }
  bytes += "\r\n";

  char temp[MAX_PATH];
  if (!GetTempFileNameA(FolderOf(path), "vfd", 0, temp)) return false;
  bool written = false;
  {
    UniqueHandle file(CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD done = 0;
    written = file && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
              done == bytes.size() && FlushFileBuffers(file.get());
  }
  if (!written || !MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileA(temp);
    return false;
  }
  return true;
}

bool XmlCanCarry(const CString& text, bool inAttribute) {
  const int length = text.GetLength();
  if (length == 0) return true;
  int n = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, length, nullptr, 0);
  if (n <= 0) return false;
  std::wstring wide(n, L'\0');
  MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, length, &wide[0], n);
  for (wchar_t c : wide) {
    if (c < 0x20 && (inAttribute || (c != L'\t' && c != L'\n'))) return false;
    if (c == 0xFFFE || c == 0xFFFF) return false;
  }
  CString back = ToAcp(wide.data(), n);
  return back.GetLength() == length && memcmp(back.c_str(), text.c_str(), length) == 0;
}
