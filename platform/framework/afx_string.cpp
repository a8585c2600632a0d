#include "platform/framework/afx_string.h"

#include "platform/framework/afx_module.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mbstring.h>
#include <new>

namespace {

// The locked empty header every empty string points at; nRefs -1 keeps it from being freed.
struct NilString {
  CStringData header;
  char text[4];
};
NilString g_nil = {{-1, 0, 0}, {0, 0, 0, 0}};

bool IsLocked(const CStringData* d) { return d->nRefs < 0; }

// Kept out of line: the compiler cannot see that a locked header never reaches free().
__attribute__((noinline)) void FreeData(CStringData* d) { free(d); }

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

}  // namespace

void CString::Init() { m_pchData = g_nil.header.data(); }

CString::CString() { Init(); }

CString::CString(const CString& src) {
  CStringData* d = src.GetData();
  if (!IsLocked(d)) {
    InterlockedIncrement(&d->nRefs);
    m_pchData = src.m_pchData;
  } else {
    Init();
    *this = src.m_pchData;
  }
}

CString::CString(CString&& src) noexcept : m_pchData(src.m_pchData) { src.Init(); }

CString::CString(const char* psz) {
  Init();
  int n = psz ? static_cast<int>(strlen(psz)) : 0;
  if (n) {
    AllocBuffer(n);
    memcpy(m_pchData, psz, n);
  }
}

CString::CString(const char* pch, int nLength) {
  Init();
  if (pch && nLength > 0) {
    AllocBuffer(nLength);
    memcpy(m_pchData, pch, nLength);
  }
}

CString::CString(char ch, int nRepeat) {
  Init();
  if (nRepeat > 0) {
    AllocBuffer(nRepeat);
    memset(m_pchData, ch, nRepeat);
  }
}

CString::~CString() { Release(); }

void CString::AllocBuffer(int nLen) {
  if (nLen <= 0) {
    Init();
    return;
  }
  auto* d = static_cast<CStringData*>(malloc(sizeof(CStringData) + nLen + 1));
  if (!d) throw std::bad_alloc();
  d->nRefs = 1;
  d->nDataLength = nLen;
  d->nAllocLength = nLen;
  d->data()[nLen] = '\0';
  m_pchData = d->data();
}

void CString::Release() {
  CStringData* d = GetData();
  if (!IsLocked(d) && InterlockedDecrement(&d->nRefs) <= 0) FreeData(d);
  Init();
}

void CString::Empty() { Release(); }

void CString::CopyBeforeWrite() {
  CStringData* d = GetData();
  if (d->nRefs > 1) {
    CString copy(m_pchData, d->nDataLength);  // private buffer
    Release();
    m_pchData = copy.m_pchData;
    copy.Init();
  }
}

void CString::AllocBeforeWrite(int nLen) {
  CStringData* d = GetData();
  if (d->nRefs > 1 || IsLocked(d) || nLen > d->nAllocLength) {
    Release();
    AllocBuffer(nLen);
  }
}

void CString::AssignCopy(int nLen, const char* src) {
  if (nLen == 0) {
    Release();
    return;
  }
  // The source may live inside our own buffer (s = s.Mid(1)): copy it out first.
  CString keep;
  CStringData* d = GetData();
  if (src >= m_pchData && src <= m_pchData + d->nAllocLength) keep = *this;
  AllocBeforeWrite(nLen);
  memmove(m_pchData, src, nLen);
  GetData()->nDataLength = nLen;
  m_pchData[nLen] = '\0';
}

CString& CString::operator=(const CString& src) {
  if (m_pchData == src.m_pchData) return *this;
  CStringData* s = src.GetData();
  if (!IsLocked(s)) {
    InterlockedIncrement(&s->nRefs);
    Release();
    m_pchData = src.m_pchData;
  } else {
    AssignCopy(s->nDataLength, src.m_pchData);
  }
  return *this;
}

CString& CString::operator=(CString&& src) noexcept {
  if (this != &src) {
    Release();
    m_pchData = src.m_pchData;
    src.Init();
  }
  return *this;
}

CString& CString::operator=(const char* psz) {
  AssignCopy(psz ? static_cast<int>(strlen(psz)) : 0, psz);
  return *this;
}

CString& CString::operator=(char ch) {
  AssignCopy(1, &ch);
  return *this;
}

void CString::ConcatInPlace(int nLen, const char* src) {
  if (nLen <= 0) return;
  CStringData* d = GetData();
  int oldLen = d->nDataLength;
  if (d->nRefs > 1 || IsLocked(d) || oldLen + nLen > d->nAllocLength) {
    // Grow geometrically so that appending in a loop stays linear.
    int want = oldLen + nLen;
    int cap = want < 64 ? want : want + want / 2;
    auto* nd = static_cast<CStringData*>(malloc(sizeof(CStringData) + cap + 1));
    if (!nd) throw std::bad_alloc();
    nd->nRefs = 1;
    nd->nDataLength = oldLen;
    nd->nAllocLength = cap;
    memcpy(nd->data(), m_pchData, oldLen);
    memcpy(nd->data() + oldLen, src, nLen);  // src may be our old buffer: still alive here
    Release();
    m_pchData = nd->data();
  } else {
    memmove(m_pchData + oldLen, src, nLen);
  }
  GetData()->nDataLength = oldLen + nLen;
  m_pchData[oldLen + nLen] = '\0';
}

CString& CString::operator+=(const CString& s) {
  CString keep(s);  // s may be *this
  ConcatInPlace(keep.GetLength(), keep.m_pchData);
  return *this;
}

CString& CString::operator+=(const char* psz) {
  if (psz) ConcatInPlace(static_cast<int>(strlen(psz)), psz);
  return *this;
}

CString& CString::operator+=(char ch) {
  ConcatInPlace(1, &ch);
  return *this;
}

CString operator+(const CString& a, const CString& b) {
  CString r(a);
  r += b;
  return r;
}
CString operator+(const CString& a, const char* b) {
  CString r(a);
  r += b;
  return r;
}
CString operator+(const char* a, const CString& b) {
  CString r(a);
  r += b;
  return r;
}
CString operator+(const CString& a, char b) {
  CString r(a);
  r += b;
  return r;
}

void CString::SetAt(int i, char ch) {
  if (i < 0 || i >= GetLength()) return;
  CopyBeforeWrite();
  m_pchData[i] = ch;
}

int CString::Compare(const char* psz) const { return strcmp(m_pchData, psz ? psz : ""); }

int CString::CompareNoCase(const char* psz) const {
  // Multi-byte aware, like the framework's _mbsicmp: trail bytes of code page 936 characters
  // are never folded.
  return _mbsicmp(reinterpret_cast<const unsigned char*>(m_pchData),
                  reinterpret_cast<const unsigned char*>(psz ? psz : ""));
}

CString CString::Mid(int nFirst) const { return Mid(nFirst, GetLength() - (nFirst < 0 ? 0 : nFirst)); }

CString CString::Mid(int nFirst, int nCount) const {
  if (nFirst < 0) nFirst = 0;
  if (nCount < 0) nCount = 0;
  int len = GetLength();
  if (nFirst > len) nFirst = len;
  if (nCount > len - nFirst) nCount = len - nFirst;
  if (nFirst == 0 && nCount == len) return *this;
  return CString(m_pchData + nFirst, nCount);
}

CString CString::Left(int nCount) const { return Mid(0, nCount); }

CString CString::Right(int nCount) const {
  int len = GetLength();
  if (nCount < 0) nCount = 0;
  if (nCount > len) nCount = len;
  return Mid(len - nCount, nCount);
}

void CString::MakeUpper() {
  CopyBeforeWrite();
  _mbsupr(reinterpret_cast<unsigned char*>(m_pchData));
}

void CString::MakeLower() {
  CopyBeforeWrite();
  _mbslwr(reinterpret_cast<unsigned char*>(m_pchData));
}

void CString::TrimLeft() {
  const char* p = m_pchData;
  while (*p && IsSpace(*p)) ++p;
  if (p != m_pchData) AssignCopy(GetLength() - static_cast<int>(p - m_pchData), p);
}

void CString::TrimRight() {
  int n = GetLength();
  while (n > 0 && IsSpace(m_pchData[n - 1])) --n;
  if (n != GetLength()) AssignCopy(n, m_pchData);
}

void CString::TrimLeft(char ch) {
  const char* p = m_pchData;
  while (*p && *p == ch) ++p;
  if (p != m_pchData) AssignCopy(GetLength() - static_cast<int>(p - m_pchData), p);
}

void CString::TrimRight(char ch) {
  int n = GetLength();
  while (n > 0 && m_pchData[n - 1] == ch) --n;
  if (n != GetLength()) AssignCopy(n, m_pchData);
}

int CString::Find(char ch, int nStart) const {
  if (nStart < 0) nStart = 0;
  if (nStart >= GetLength()) return -1;
  const char* p = strchr(m_pchData + nStart, ch);
  return p ? static_cast<int>(p - m_pchData) : -1;
}

int CString::Find(const char* psz, int nStart) const {
  if (nStart < 0) nStart = 0;
  if (nStart > GetLength() || !psz) return -1;
  const char* p = strstr(m_pchData + nStart, psz);
  return p ? static_cast<int>(p - m_pchData) : -1;
}

int CString::ReverseFind(char ch) const {
  const char* p = strrchr(m_pchData, ch);
  return p ? static_cast<int>(p - m_pchData) : -1;
}

int CString::Replace(const char* pszOld, const char* pszNew) {
  if (!pszOld || !*pszOld) return 0;
  int oldLen = static_cast<int>(strlen(pszOld));
  CString out;
  int count = 0;
  int pos = 0;
  for (int hit; (hit = Find(pszOld, pos)) >= 0; pos = hit + oldLen, ++count) {
    out += Mid(pos, hit - pos);
    out += pszNew;
  }
  if (count) {
    out += Mid(pos);
    *this = out;
  }
  return count;
}

void CString::FormatV(const char* fmt, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int n = vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  if (n <= 0) {
    Empty();
    return;
  }
  CString out;
  out.AllocBuffer(n);
  vsnprintf(out.m_pchData, n + 1, fmt, args);
  *this = out;
}

void CString::Format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  FormatV(fmt, args);
  va_end(args);
}

BOOL CString::LoadString(UINT nID) {
  *this = AfxLoadResourceString(nID);
  return !IsEmpty();
}

char* CString::GetBuffer(int nMinBufLength) {
  CStringData* d = GetData();
  if (d->nRefs > 1 || IsLocked(d) || nMinBufLength > d->nAllocLength) {
    int len = d->nDataLength;
    int cap = nMinBufLength > len ? nMinBufLength : len;
    if (cap == 0) cap = 1;  // a writable buffer even for an empty request
    CString copy;
    copy.AllocBuffer(cap);
    memcpy(copy.m_pchData, m_pchData, len + 1);
    copy.GetData()->nDataLength = len;
    *this = static_cast<CString&&>(copy);
  }
  return m_pchData;
}

void CString::ReleaseBuffer(int nNewLength) {
  CopyBeforeWrite();
  if (IsLocked(GetData())) return;
  if (nNewLength < 0) nNewLength = static_cast<int>(strnlen(m_pchData, GetData()->nAllocLength));
  if (nNewLength > GetData()->nAllocLength) nNewLength = GetData()->nAllocLength;
  GetData()->nDataLength = nNewLength;
  m_pchData[nNewLength] = '\0';
  if (nNewLength == 0) Release();
}

char* CString::GetBufferSetLength(int nNewLength) {
  GetBuffer(nNewLength);
  GetData()->nDataLength = nNewLength;
  m_pchData[nNewLength] = '\0';
  return m_pchData;
}
