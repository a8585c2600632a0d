#include "platform/xml_doc.h"

#include "platform/xml_io.h"

#include <windows.h>

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
