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
#include <cstdlib>
#include <cstring>
#include <new>

typedef void* POSITION;
#define BEFORE_START_POSITION (reinterpret_cast<POSITION>(-1))

class CObject {
 public:
  virtual ~CObject() = default;

 protected:
  CObject() = default;
};

// A chain of raw blocks, each prefixed by the link to the previous one.
struct CPlex {
  CPlex* pNext;
  void* data() { return this + 1; }
  static CPlex* Create(CPlex*& head, UINT nMax, UINT cbElement);
  void FreeDataChain();
};
static_assert(sizeof(CPlex) == 4, "CPlex header is one link");

// The framework's string hash: h = h * 33 + c over the characters of the key. Characters are
// signed, as in the 4.2 framework's binary form that hosts share, so bytes above 0x7F count as
// negative: a host's map and ours put a key in the same bucket.
UINT HashKey(const char* key);

class CStringArray : public CObject {
 public:
  CStringArray() = default;
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

// Arrays of 32-bit scalars share one implementation; the two names are the framework's.
template <typename T>
class CScalarArray : public CObject {
 public:
  CScalarArray() = default;
  CScalarArray(const CScalarArray&) = delete;
  CScalarArray& operator=(const CScalarArray&) = delete;
  ~CScalarArray() override { free(m_pData); }

  int GetSize() const { return m_nSize; }
  int GetUpperBound() const { return m_nSize - 1; }
  void SetSize(int nNewSize, int nGrowBy = -1);
  void RemoveAll() { SetSize(0); }
  T GetAt(int i) const { return m_pData[i]; }
  void SetAt(int i, T v) { m_pData[i] = v; }
  T& ElementAt(int i) { return m_pData[i]; }
  T& operator[](int i) { return m_pData[i]; }
  T operator[](int i) const { return m_pData[i]; }
  int Add(T v) {
    int i = m_nSize;
    SetSize(i + 1);
    m_pData[i] = v;
    return i;
  }
  void InsertAt(int i, T v);
  void RemoveAt(int i, int nCount = 1);
  T* GetData() { return m_pData; }

 private:
  T* m_pData = nullptr;
  int m_nSize = 0;
  int m_nMaxSize = 0;
  int m_nGrowBy = 0;
};

typedef CScalarArray<UINT> CUIntArray;
typedef CScalarArray<void*> CPtrArray;

// The two string-keyed maps differ only in their value type; one template holds the layout
// and the algorithms, and the framework's two names derive from it without adding members.
template <typename V>
class CMapStringToValue : public CObject {
 public:
  struct CAssoc {
    CAssoc* pNext;
    UINT nHashValue;  // bucket index
    CString key;
    V value;
  };

  explicit CMapStringToValue(int nBlockSize = 10)
      : m_pHashTable(nullptr), m_nHashTableSize(17), m_nCount(0), m_pFreeList(nullptr),
        m_pBlocks(nullptr), m_nBlockSize(nBlockSize > 0 ? nBlockSize : 10) {}
  CMapStringToValue(const CMapStringToValue&) = delete;
  CMapStringToValue& operator=(const CMapStringToValue&) = delete;
  ~CMapStringToValue() override { RemoveAll(); }

  int GetCount() const { return m_nCount; }
  bool IsEmpty() const { return m_nCount == 0; }
  UINT GetHashTableSize() const { return m_nHashTableSize; }

  BOOL Lookup(const char* key, V& rValue) const {
    UINT nHash;
    const CAssoc* a = GetAssocAt(key, nHash);
    if (!a) return FALSE;
    rValue = a->value;
    return TRUE;
  }

  // Find or insert: an absent key is added with an empty value first.
  V& operator[](const char* key) {
    if (!key) key = "";
    UINT nHash;
    CAssoc* a = GetAssocAt(key, nHash);
    if (!a) {
      if (!m_pHashTable) InitHashTable(m_nHashTableSize);
      a = NewAssoc();
      a->nHashValue = nHash;
      a->key = key;
      a->pNext = m_pHashTable[nHash];
      m_pHashTable[nHash] = a;
    }
    return a->value;
  }
  void SetAt(const char* key, const V& value) { (*this)[key] = value; }

  BOOL RemoveKey(const char* key) {
    if (!m_pHashTable) return FALSE;
    if (!key) key = "";
    for (CAssoc** link = &m_pHashTable[HashKey(key) % m_nHashTableSize]; *link; link = &(*link)->pNext) {
      if (strcmp((*link)->key, key) == 0) {
        CAssoc* a = *link;
        *link = a->pNext;
        FreeAssoc(a);
        return TRUE;
      }
    }
    return FALSE;
  }

  void RemoveAll() {
    if (m_pHashTable) {
      for (UINT b = 0; b < m_nHashTableSize; ++b)
        for (CAssoc* a = m_pHashTable[b]; a; a = a->pNext) DestroyAssoc(a);
    }
    free(m_pHashTable);
    m_pHashTable = nullptr;
    m_nCount = 0;
    m_pFreeList = nullptr;
    if (m_pBlocks) m_pBlocks->FreeDataChain();
    m_pBlocks = nullptr;
  }

  // Sets the bucket count; only meaningful while the map is empty, as in the framework.
  void InitHashTable(UINT hashSize) {
    free(m_pHashTable);
    m_nHashTableSize = hashSize ? hashSize : 17;
    m_pHashTable = static_cast<CAssoc**>(calloc(m_nHashTableSize, sizeof(CAssoc*)));
    if (!m_pHashTable) throw std::bad_alloc();
  }

  POSITION GetStartPosition() const { return m_nCount ? BEFORE_START_POSITION : nullptr; }
  void GetNextAssoc(POSITION& pos, CString& rKey, V& rValue) const {
    auto* a = static_cast<CAssoc*>(pos);
    if (pos == BEFORE_START_POSITION) {
      a = nullptr;
      for (UINT b = 0; b < m_nHashTableSize && !a; ++b) a = m_pHashTable[b];
    }
    CAssoc* next = a->pNext;
    for (UINT b = a->nHashValue + 1; !next && b < m_nHashTableSize; ++b) next = m_pHashTable[b];
    pos = next;
    rKey = a->key;
    rValue = a->value;
  }

 private:
  CAssoc* GetAssocAt(const char* key, UINT& nHash) const {
    if (!key) key = "";
    nHash = HashKey(key) % m_nHashTableSize;
    if (!m_pHashTable) return nullptr;
    for (CAssoc* a = m_pHashTable[nHash]; a; a = a->pNext)
      if (strcmp(a->key, key) == 0) return a;
    return nullptr;
  }

  CAssoc* NewAssoc() {
    if (!m_pFreeList) {
      CPlex* block = CPlex::Create(m_pBlocks, m_nBlockSize, sizeof(CAssoc));
      CAssoc* a = static_cast<CAssoc*>(block->data()) + m_nBlockSize - 1;
      for (int i = m_nBlockSize - 1; i >= 0; --i, --a) {
        a->pNext = m_pFreeList;
        m_pFreeList = a;
      }
    }
    CAssoc* a = m_pFreeList;
    m_pFreeList = a->pNext;
    ++m_nCount;
    new (&a->key) CString();
    new (&a->value) V();
    return a;
  }

  static void DestroyAssoc(CAssoc* a) {
    a->key.~CString();
    a->value.~V();
  }

  void FreeAssoc(CAssoc* a) {
    DestroyAssoc(a);
    a->pNext = m_pFreeList;
    m_pFreeList = a;
    if (--m_nCount == 0) RemoveAll();  // the framework frees everything with the last entry
  }

  CAssoc** m_pHashTable;
  UINT m_nHashTableSize;
  int m_nCount;
  CAssoc* m_pFreeList;
  CPlex* m_pBlocks;
  int m_nBlockSize;
};

class CMapStringToString : public CMapStringToValue<CString> {
 public:
  using CMapStringToValue<CString>::CMapStringToValue;
  void SetAt(const char* key, const char* value) { (*this)[key] = value; }
};

class CMapStringToPtr : public CMapStringToValue<void*> {
 public:
  using CMapStringToValue<void*>::CMapStringToValue;
};

static_assert(sizeof(CObject) == 4, "CObject is its table pointer");
static_assert(sizeof(CStringArray) == 20, "array layout");
static_assert(sizeof(CUIntArray) == 20 && sizeof(CPtrArray) == 20, "array layout");
static_assert(sizeof(CMapStringToString) == 28 && sizeof(CMapStringToPtr) == 28, "map layout");
static_assert(sizeof(CMapStringToString::CAssoc) == 16, "association layout");
static_assert(sizeof(CMapStringToPtr::CAssoc) == 16, "association layout");
static_assert(offsetof(CMapStringToString::CAssoc, key) == 8, "association key offset");

// ---- shared by the arrays ----
// The capacity an array grows to for nNewSize elements: the requested growth step, or an eighth
// of the size (at least 4, at most 1024) when none was set, as the framework grows its arrays.
inline int GrownCapacity(int nSize, int nMaxSize, int nGrowBy, int nNewSize) {
  int grow = nGrowBy ? nGrowBy : (nSize / 8 < 4 ? 4 : (nSize / 8 > 1024 ? 1024 : nSize / 8));
  return nNewSize < nMaxSize + grow ? nMaxSize + grow : nNewSize;
}

// ---- template members ----
template <typename T>
void CScalarArray<T>::SetSize(int nNewSize, int nGrowBy) {
  if (nGrowBy >= 0) m_nGrowBy = nGrowBy;
  if (nNewSize <= 0) {
    free(m_pData);
    m_pData = nullptr;
    m_nSize = m_nMaxSize = 0;
    return;
  }
  if (nNewSize > m_nMaxSize) {
    int newMax = GrownCapacity(m_nSize, m_nMaxSize, m_nGrowBy, nNewSize);
    T* p = static_cast<T*>(realloc(m_pData, sizeof(T) * newMax));
    if (!p) throw std::bad_alloc();
    m_pData = p;
    m_nMaxSize = newMax;
  }
  for (int i = m_nSize; i < nNewSize; ++i) m_pData[i] = T();
  m_nSize = nNewSize;
}

template <typename T>
void CScalarArray<T>::InsertAt(int i, T v) {
  if (i >= m_nSize) {
    SetSize(i + 1);
  } else {
    SetSize(m_nSize + 1);
    memmove(m_pData + i + 1, m_pData + i, sizeof(T) * (m_nSize - 1 - i));
  }
  m_pData[i] = v;
}

template <typename T>
void CScalarArray<T>::RemoveAt(int i, int nCount) {
  if (i < 0 || nCount <= 0 || i >= m_nSize) return;
  if (i + nCount > m_nSize) nCount = m_nSize - i;
  memmove(m_pData + i, m_pData + i + nCount, sizeof(T) * (m_nSize - i - nCount));
  m_nSize -= nCount;
}
