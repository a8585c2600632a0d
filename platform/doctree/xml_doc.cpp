#include "platform/doctree/xml_doc.h"

#include "platform/win/handles.h"
#include "platform/doctree/xml_io.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace {

// Whether two files hold the same bytes (false when either cannot be read).
bool SameFileBytes(const CString& a, const CString& b) {
  UniqueHandle first(CreateFileA(a, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  UniqueHandle second(CreateFileA(b, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  LARGE_INTEGER firstSize, secondSize;
  if (!first || !second || !GetFileSizeEx(first.get(), &firstSize) || !GetFileSizeEx(second.get(), &secondSize) ||
      firstSize.QuadPart != secondSize.QuadPart)
    return false;
  std::vector<char> x(1 << 16), y(1 << 16);
  for (;;) {
    DWORD gotX = 0, gotY = 0;
    if (!ReadFile(first.get(), x.data(), static_cast<DWORD>(x.size()), &gotX, nullptr) ||
        !ReadFile(second.get(), y.data(), static_cast<DWORD>(y.size()), &gotY, nullptr) || gotX != gotY ||
        memcmp(x.data(), y.data(), gotX) != 0)
      return false;
    if (gotX == 0) return true;
  }
}

std::unique_ptr<XmlElement> CopyElement(const XmlElement& element) {
  std::unique_ptr<XmlElement> copy(new XmlElement);
  copy->name = element.name;
  copy->attributes = element.attributes;
  copy->text = element.text;
  copy->children.reserve(element.children.size());
  for (const auto& child : element.children) copy->children.push_back(CopyElement(*child));
  return copy;
}

}  // namespace

CXMLDoc::CXMLDoc() = default;

CXMLDoc::~CXMLDoc() = default;

int CXMLDoc::LoadXMLDoc(const CString& path) {
  m_strPath.Empty();
  m_content.reset();
  OnContentReplaced();
  if (path.IsEmpty()) return LOAD_UNREADABLE;

  DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? LOAD_NO_FILE : LOAD_UNREADABLE;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return LOAD_UNREADABLE;

  std::unique_ptr<XmlElement> root;
  if (!ReadXmlFile(path, root)) return LOAD_UNREADABLE;
  if (!AcceptContent(*root)) return LOAD_FOREIGN;
  m_content = std::move(root);
  SetDocPath(path);
  return LOAD_DONE;
}

int CXMLDoc::LoadXMLDocCopy(const CString& path, const CXMLDoc& original) {
  if (!original.m_content || original.m_strPath.IsEmpty() || !SameFileBytes(original.m_strPath, path))
    return LoadXMLDoc(path);
  m_strPath.Empty();
  m_content.reset();
  OnContentReplaced();
  std::unique_ptr<XmlElement> root = CopyElement(*original.m_content);
  if (!AcceptContent(*root)) return LOAD_FOREIGN;
  m_content = std::move(root);
  SetDocPath(path);
  return LOAD_DONE;
}

int CXMLDoc::SaveXMLDoc(int) { return m_content ? WriteContent(*m_content) : 0; }

int CXMLDoc::SetXMLDoc(const CString& text) {
  std::unique_ptr<XmlElement> root;
  if (!ParseXmlText(text, root) || !AcceptContent(*root)) return 0;
  m_content = std::move(root);
  OnContentReplaced();
  return 1;
}

void CXMLDoc::SetDocPath(const CString& path) {
  m_strPath.Empty();
  if (path.IsEmpty()) return;
  char full[MAX_PATH];
  DWORD n = GetFullPathNameA(path, MAX_PATH, full, nullptr);
  m_strPath = n > 0 && n < MAX_PATH ? CString(full) : path;
}

CString CXMLDoc::GetBasePath() const {
  const int length = m_strPath.GetLength();
  int slash = -1;
  for (int i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(m_strPath[i]);
    if (c == '\\' || c == '/')
      slash = i;
    else if (c >= 0x80 && IsDBCSLeadByte(c))
      ++i;
  }
  return slash < 0 ? CString() : m_strPath.Left(slash);
}

int CXMLDoc::WriteContent(const XmlElement& root) const {
  return !m_strPath.IsEmpty() && WriteXmlFile(m_strPath, root) ? 1 : 0;
}

bool CXMLDoc::AcceptContent(const XmlElement&) const { return true; }

void CXMLDoc::OnContentReplaced() {}
