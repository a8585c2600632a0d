#include "platform/framework/afx_coll.h"

#include <cstdlib>
#include <cstring>
#include <new>

CPlex* CPlex::Create(CPlex*& head, UINT nMax, UINT cbElement) {
  auto* p = static_cast<CPlex*>(malloc(sizeof(CPlex) + nMax * cbElement));
  if (!p) throw std::bad_alloc();
  p->pNext = head;
  head = p;
  return p;
}

void CPlex::FreeDataChain() {
  CPlex* p = this;
  while (p) {
    CPlex* next = p->pNext;
    free(p);
    p = next;
  }
}

UINT HashKey(const char* key) {
  UINT h = 0;
  while (*key) h = (h << 5) + h + static_cast<UINT>(static_cast<int>(static_cast<signed char>(*key++)));
  return h;
}

// ---------------------------------------------------------------- CStringArray

CStringArray::~CStringArray() { SetSize(0); }

void CStringArray::SetSize(int nNewSize, int nGrowBy) {
  if (nGrowBy >= 0) m_nGrowBy = nGrowBy;
  if (nNewSize < 0) nNewSize = 0;
  for (int i = nNewSize; i < m_nSize; ++i) m_pData[i].~CString();
  if (nNewSize == 0) {
    free(m_pData);
    m_pData = nullptr;
    m_nSize = m_nMaxSize = 0;
    return;
  }
  if (nNewSize > m_nMaxSize) {
    int newMax = GrownCapacity(m_nSize, m_nMaxSize, m_nGrowBy, nNewSize);
    // A CString is one pointer with no self-references, so its bytes may be moved as they are.
    auto* p = static_cast<CString*>(realloc(static_cast<void*>(m_pData), sizeof(CString) * newMax));
    if (!p) throw std::bad_alloc();
    m_pData = p;
    m_nMaxSize = newMax;
  }
  for (int i = m_nSize; i < nNewSize; ++i) new (&m_pData[i]) CString();
  m_nSize = nNewSize;
}

int CStringArray::Add(const char* s) {
  CString copy(s);  // s may point into this array
  int i = m_nSize;
  SetSize(i + 1);
  m_pData[i] = static_cast<CString&&>(copy);
  return i;
}

int CStringArray::Add(const CString& s) {
  CString copy(s);
  int i = m_nSize;
  SetSize(i + 1);
  m_pData[i] = static_cast<CString&&>(copy);
  return i;
}

void CStringArray::InsertAt(int i, const char* s) {
  CString copy(s);
  if (i < 0) i = 0;
  if (i >= m_nSize) {
    SetSize(i + 1);
  } else {
    SetSize(m_nSize + 1);
    m_pData[m_nSize - 1].~CString();
    memmove(static_cast<void*>(m_pData + i + 1), m_pData + i, sizeof(CString) * (m_nSize - 1 - i));
    new (&m_pData[i]) CString();
  }
  m_pData[i] = static_cast<CString&&>(copy);
}

void CStringArray::RemoveAt(int i, int nCount) {
  if (i < 0 || nCount <= 0 || i >= m_nSize) return;
  if (i + nCount > m_nSize) nCount = m_nSize - i;
  for (int k = i; k < i + nCount; ++k) m_pData[k].~CString();
  memmove(static_cast<void*>(m_pData + i), m_pData + i + nCount, sizeof(CString) * (m_nSize - i - nCount));
  m_nSize -= nCount;
}

void CStringArray::Copy(const CStringArray& src) {
  if (&src == this) return;
  SetSize(src.m_nSize);
  for (int i = 0; i < m_nSize; ++i) m_pData[i] = src.m_pData[i];
}

