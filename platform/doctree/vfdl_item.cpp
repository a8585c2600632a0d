#include "platform/doctree/vfdl_item.h"

#include "platform/doctree/vf_tree.h"
#include "platform/doctree/vfdl_node.h"

CVFDLItem::~CVFDLItem() = default;

CVFDLItem::CVFDLItem(const CVFDLItem& other)
    : m_strID(other.m_strID),
      m_strAlias(other.m_strAlias),
      m_strName(other.m_strName),
      m_strSubject(other.m_strSubject),
      m_strAbstract(other.m_strAbstract),
      m_strCreated(other.m_strCreated),
      m_strUpdated(other.m_strUpdated),
      m_wExtendType(other.m_wExtendType) {}

CVFDLItem& CVFDLItem::operator=(const CVFDLItem& other) {
  if (this == &other) return *this;
  if (!m_pNode) {
    m_strID = other.m_strID;
    m_strCreated = other.m_strCreated;
  }
  SetAlias(other.m_strAlias);
  m_strName = other.m_strName;
  m_strSubject = other.m_strSubject;
  m_strAbstract = other.m_strAbstract;
  m_strUpdated = other.m_strUpdated;
  m_wExtendType = other.m_wExtendType;
  return *this;
}

CString CVFDLItem::GetSubject() const { return m_strSubject; }

void CVFDLItem::SetSubject(const CString& subject) { m_strSubject = subject; }

CString CVFDLItem::GetTimeStamp() const { return m_strUpdated; }

void CVFDLItem::SetAlias(const CString& alias) {
  if (m_strAlias == alias) return;
  CString previous = m_strAlias;
  m_strAlias = alias;
  if (m_pNode) m_pNode->GetTree()->OnAliasChanged(m_pNode, previous);
}

CVFDLFolder::~CVFDLFolder() = default;

CString VFDLTimeNow() {
  SYSTEMTIME t;
  GetSystemTime(&t);
  CString text;
  text.Format("%04u-%02u-%02uT%02u:%02u:%02uZ", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
  return text;
}
