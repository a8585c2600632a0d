// CString: the 8-bit framework string, in the binary form the host and the library share.
//
// An object is one pointer to NUL-terminated text. In front of the text sits a CStringData
// header (reference count, length, allocated length). Copies share the buffer and count
// references; a write to a shared buffer first makes a private copy. Every empty string points
// at a static header whose reference count is -1 ("locked"): it is never freed, which is what
// lets two modules that each have their own empty header hand strings to each other. Every
// module of the process uses this one framework DLL, so there is one empty header for all of
// them: a host may destroy strings the library stored in its objects before or after it unloads
// the library.
// Buffers come from the C runtime's malloc/free (msvcrt.dll), which every module of the process
// shares, so a string made in the host may be grown or freed inside the library.
#pragma once

#include "platform/framework/fx_api.h"

#include <windows.h>
#include <cstdarg>
#include <cstddef>

struct CStringData {
  long nRefs;        // -1 for the shared empty header
  int nDataLength;   // characters, without the NUL
  int nAllocLength;  // characters the buffer holds, without the NUL
  char* data() { return reinterpret_cast<char*>(this + 1); }
};
static_assert(sizeof(CStringData) == 12, "CStringData header is three 32-bit fields");

class VANTELFX_API CString {
 public:
  CString();
  CString(const CString& src);
  CString(CString&& src) noexcept;
  CString(const char* psz);
  CString(const char* pch, int nLength);
  CString(char ch, int nRepeat = 1);
  ~CString();

  CString& operator=(const CString& src);
  CString& operator=(CString&& src) noexcept;
  CString& operator=(const char* psz);
  CString& operator=(char ch);
  CString& operator+=(const CString& s);
  CString& operator+=(const char* psz);
  CString& operator+=(char ch);

  int GetLength() const { return GetData()->nDataLength; }
  bool IsEmpty() const { return GetData()->nDataLength == 0; }
  void Empty();
  char GetAt(int i) const { return m_pchData[i]; }
  char operator[](int i) const { return m_pchData[i]; }
  void SetAt(int i, char ch);
  operator const char*() const { return m_pchData; }
  const char* c_str() const { return m_pchData; }

  int Compare(const char* psz) const;
  int CompareNoCase(const char* psz) const;

  CString Mid(int nFirst) const;
  CString Mid(int nFirst, int nCount) const;
  CString Left(int nCount) const;
  CString Right(int nCount) const;

  void MakeUpper();
  void MakeLower();
  void TrimLeft();               // white space
  void TrimRight();
  void TrimLeft(char ch);
  void TrimRight(char ch);
  void Trim() { TrimRight(); TrimLeft(); }

  int Find(char ch, int nStart = 0) const;
  int Find(const char* psz, int nStart = 0) const;
  int ReverseFind(char ch) const;
  int Replace(const char* pszOld, const char* pszNew);

  void Format(const char* fmt, ...);
  void FormatV(const char* fmt, va_list args);
  BOOL LoadString(UINT nID);     // from the resource chain (afx_module.h)

  char* GetBuffer(int nMinBufLength);
  void ReleaseBuffer(int nNewLength = -1);
  char* GetBufferSetLength(int nNewLength);

  // The header of this string's buffer (exposed for layout tests and for the map code).
  CStringData* GetData() const { return reinterpret_cast<CStringData*>(m_pchData) - 1; }

 private:
  void Init();
  void AllocBuffer(int nLen);
  void Release();
  void AssignCopy(int nLen, const char* src);
  void ConcatInPlace(int nLen, const char* src);
  void CopyBeforeWrite();
  void AllocBeforeWrite(int nLen);

  char* m_pchData;
};
static_assert(sizeof(CString) == 4, "CString is one pointer");

VANTELFX_API CString operator+(const CString& a, const CString& b);
VANTELFX_API CString operator+(const CString& a, const char* b);
VANTELFX_API CString operator+(const char* a, const CString& b);
VANTELFX_API CString operator+(const CString& a, char b);
inline bool operator==(const CString& a, const CString& b) { return a.Compare(b) == 0; }
inline bool operator==(const CString& a, const char* b) { return a.Compare(b) == 0; }
inline bool operator==(const char* a, const CString& b) { return b.Compare(a) == 0; }
inline bool operator!=(const CString& a, const CString& b) { return a.Compare(b) != 0; }
inline bool operator!=(const CString& a, const char* b) { return a.Compare(b) != 0; }
inline bool operator!=(const char* a, const CString& b) { return b.Compare(a) != 0; }
inline bool operator<(const CString& a, const CString& b) { return a.Compare(b) < 0; }
