// The framework's collections, in the binary layout of the 4.2 framework, because the host hands
// its runtime parameter block (two string-keyed maps) to the library by pointer.
//
// CObject supplies the leading table pointer every collection has. The arrays are
// {vptr, data, size, max size, grow by}. The maps are
// {vptr, hash table, table size, count, free list, plex blocks, block size}; an association is
// {next, bucket index, key, value}, allocated from CPlex blocks of `m_nBlockSize` associations.
// The bucket of a key is HashKey(key) % table size (17 unless InitHashTable says otherwise);
// operator[] finds or inserts; keys are compared exactly. All memory comes from the C runtime
// (msvcrt.dll), shared by every module in the process, so a map filled by the host may be
// extended inside the library.
#pragma once

#include "platform/framework/afx_string.h"

#include <cstddef>

typedef void* POSITION;
#define BEFORE_START_POSITION (reinterpret_cast<POSITION>(-1))

class VANTELFX_API CObject {
 public:
  virtual ~CObject();

 protected:
  CObject() = default;
};

// A chain of raw blocks, each prefixed by the link to the previous one.
struct VANTELFX_API CPlex {
  CPlex* pNext;
  void* data() { return this + 1; }
  static CPlex* Create(CPlex*& head, UINT nMax, UINT cbElement);
  void FreeDataChain();
};
static_assert(sizeof(CPlex) == 4, "CPlex header is one link");

// The framework's string hash: h = h * 33 + c over the characters of the key. Characters are
// signed, as in the 4.2 framework's binary form that hosts share, so bytes above 0x7F count as
// negative: a host's map and ours put a key in the same bucket.
VANTELFX_API UINT HashKey(const char* key);

class VANTELFX_API CStringArray : public CObject {
 public:
  CStringArray();
  CStringArray(const CStringArray&) = delete;
  CStringArray& operator=(const CStringArray&) = delete;
  ~CStringArray() override;

  int GetSize() const { return m_nSize; }
  int GetUpperBound() const { return m_nSize - 1; }
  void SetSize(int nNewSize, int nGrowBy = -1);
  void RemoveAll() { SetSize(0); }
  const CString& GetAt(int i) const { return m_pData[i]; }
  void SetAt(int i, const char* s) { m_pData[i] = s; }
  CString& ElementAt(int i) { return m_pData[i]; }
  CString& operator[](int i) { return m_pData[i]; }
  const CString& operator[](int i) const { return m_pData[i]; }
  int Add(const char* s);
  int Add(const CString& s);
  void InsertAt(int i, const char* s);
  void RemoveAt(int i, int nCount = 1);
  void Copy(const CStringArray& src);
  const CString* GetData() const { return m_pData; }

 private:
  CString* m_pData = nullptr;
  int m_nSize = 0;
  int m_nMaxSize = 0;
  int m_nGrowBy = 0;
};

// Arrays of 32-bit scalars share one implementation; the two names are the framework's. Its
// members are compiled once, in the framework DLL (see the instantiations below).
template <typename T>
class CScalarArray : public CObject {
 public:
  CScalarArray();
  CScalarArray(const CScalarArray&) = delete;
  CScalarArray& operator=(const CScalarArray&) = delete;
  ~CScalarArray() override;

  int GetSize() const { return m_nSize; }
  int GetUpperBound() const { return m_nSize - 1; }
  void SetSize(int nNewSize, int nGrowBy = -1);
  void RemoveAll() { SetSize(0); }
  T GetAt(int i) const { return m_pData[i]; }
  void SetAt(int i, T v) { m_pData[i] = v; }
  T& ElementAt(int i) { return m_pData[i]; }
  T& operator[](int i) { return m_pData[i]; }
  T operator[](int i) const { return m_pData[i]; }
  int Add(T v);
  void InsertAt(int i, T v);
  void RemoveAt(int i, int nCount = 1);
  T* GetData() { return m_pData; }

 private:
  T* m_pData = nullptr;
  int m_nSize = 0;
  int m_nMaxSize = 0;
  int m_nGrowBy = 0;
};

extern template class VANTELFX_API CScalarArray<UINT>;
extern template class VANTELFX_API CScalarArray<void*>;
typedef CScalarArray<UINT> CUIntArray;
typedef CScalarArray<void*> CPtrArray;

// The two string-keyed maps differ only in their value type; one template holds the layout
// and the algorithms, and the framework's two names derive from it without adding members.
// Like the arrays, its members are compiled once, in the framework DLL.
template <typename V>
class CMapStringToValue : public CObject {
 public:
  struct CAssoc {
    CAssoc* pNext;
    UINT nHashValue;  // bucket index
    CString key;
    V value;
  };

  explicit CMapStringToValue(int nBlockSize = 10);
  CMapStringToValue(const CMapStringToValue&) = delete;
  CMapStringToValue& operator=(const CMapStringToValue&) = delete;
  ~CMapStringToValue() override;

  int GetCount() const { return m_nCount; }
  bool IsEmpty() const { return m_nCount == 0; }
  UINT GetHashTableSize() const { return m_nHashTableSize; }

  BOOL Lookup(const char* key, V& rValue) const;
  // Find or insert: an absent key is added with an empty value first.
  V& operator[](const char* key);
  void SetAt(const char* key, const V& value) { (*this)[key] = value; }
  BOOL RemoveKey(const char* key);
  void RemoveAll();
  // Sets the bucket count; only meaningful while the map is empty, as in the framework.
  void InitHashTable(UINT hashSize);

  POSITION GetStartPosition() const { return m_nCount ? BEFORE_START_POSITION : nullptr; }
  void GetNextAssoc(POSITION& pos, CString& rKey, V& rValue) const;

 private:
  CAssoc* GetAssocAt(const char* key, UINT& nHash) const;
  CAssoc* NewAssoc();
  void FreeAssoc(CAssoc* a);

  CAssoc** m_pHashTable;
  UINT m_nHashTableSize;
  int m_nCount;
  CAssoc* m_pFreeList;
  CPlex* m_pBlocks;
  int m_nBlockSize;
};

extern template class VANTELFX_API CMapStringToValue<CString>;
extern template class VANTELFX_API CMapStringToValue<void*>;

class VANTELFX_API CMapStringToString : public CMapStringToValue<CString> {
 public:
  CMapStringToString(int nBlockSize = 10);  // not explicit: RUNTIMEPARAM{} must compile
  ~CMapStringToString() override;
  void SetAt(const char* key, const char* value) { (*this)[key] = value; }
};

class VANTELFX_API CMapStringToPtr : public CMapStringToValue<void*> {
 public:
  CMapStringToPtr(int nBlockSize = 10);
  ~CMapStringToPtr() override;
};

static_assert(sizeof(CObject) == 4, "CObject is its table pointer");
static_assert(sizeof(CStringArray) == 20, "array layout");
static_assert(sizeof(CUIntArray) == 20 && sizeof(CPtrArray) == 20, "array layout");
static_assert(sizeof(CMapStringToString) == 28 && sizeof(CMapStringToPtr) == 28, "map layout");
static_assert(sizeof(CMapStringToString::CAssoc) == 16, "association layout");
static_assert(sizeof(CMapStringToPtr::CAssoc) == 16, "association layout");
static_assert(offsetof(CMapStringToString::CAssoc, key) == 8, "association key offset");
