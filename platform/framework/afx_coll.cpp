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

CObject::~CObject() = default;

UINT HashKey(const char* key) {
  UINT h = 0;
  while (*key) h = (h << 5) + h + static_cast<UINT>(static_cast<int>(static_cast<signed char>(*key++)));
  return h;
}

namespace {

// The capacity an array grows to for nNewSize elements: the requested growth step, or an eighth
// of the size (at least 4, at most 1024) when none was set, as the framework grows its arrays.
int GrownCapacity(int nSize, int nMaxSize, int nGrowBy, int nNewSize) {
  int grow = nGrowBy ? nGrowBy : (nSize / 8 < 4 ? 4 : (nSize / 8 > 1024 ? 1024 : nSize / 8));
  return nNewSize < nMaxSize + grow ? nMaxSize + grow : nNewSize;
}


// An association's key and value are destroyed; its memory stays in the map's blocks.
template <typename A>
void DestroyAssoc(A* a) {
  a->key.~CString();
  using Value = decltype(a->value);
  a->value.~Value();
}

}  // namespace

// ---------------------------------------------------------------- CStringArray

CStringArray::CStringArray() = default;
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


// ---------------------------------------------------------------- CScalarArray

template <typename T>
CScalarArray<T>::CScalarArray() = default;

template <typename T>
CScalarArray<T>::~CScalarArray() {
  free(m_pData);
}

template <typename T>
int CScalarArray<T>::Add(T v) {
  int i = m_nSize;
  SetSize(i + 1);
  m_pData[i] = v;
  return i;
}

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

template class CScalarArray<UINT>;  // exported by the declaration in the header
template class CScalarArray<void*>;  // exported by the declaration in the header

// ---------------------------------------------------------------- CMapStringToValue

template <typename V>
CMapStringToValue<V>::CMapStringToValue(int nBlockSize)
    : m_pHashTable(nullptr), m_nHashTableSize(17), m_nCount(0), m_pFreeList(nullptr), m_pBlocks(nullptr),
      m_nBlockSize(nBlockSize > 0 ? nBlockSize : 10) {}

template <typename V>
CMapStringToValue<V>::~CMapStringToValue() {
  RemoveAll();
}

template <typename V>
BOOL CMapStringToValue<V>::Lookup(const char* key, V& rValue) const {
  UINT nHash;
  const CAssoc* a = GetAssocAt(key, nHash);
  if (!a) return FALSE;
  rValue = a->value;
  return TRUE;
}

template <typename V>
V& CMapStringToValue<V>::operator[](const char* key) {
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

template <typename V>
BOOL CMapStringToValue<V>::RemoveKey(const char* key) {
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

template <typename V>
void CMapStringToValue<V>::RemoveAll() {
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

template <typename V>
void CMapStringToValue<V>::InitHashTable(UINT hashSize) {
  free(m_pHashTable);
  m_nHashTableSize = hashSize ? hashSize : 17;
  m_pHashTable = static_cast<CAssoc**>(calloc(m_nHashTableSize, sizeof(CAssoc*)));
  if (!m_pHashTable) throw std::bad_alloc();
}

template <typename V>
void CMapStringToValue<V>::GetNextAssoc(POSITION& pos, CString& rKey, V& rValue) const {
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

template <typename V>
typename CMapStringToValue<V>::CAssoc* CMapStringToValue<V>::GetAssocAt(const char* key, UINT& nHash) const {
  if (!key) key = "";
  nHash = HashKey(key) % m_nHashTableSize;
  if (!m_pHashTable) return nullptr;
  for (CAssoc* a = m_pHashTable[nHash]; a; a = a->pNext)
    if (strcmp(a->key, key) == 0) return a;
  return nullptr;
}

template <typename V>
typename CMapStringToValue<V>::CAssoc* CMapStringToValue<V>::NewAssoc() {
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

template <typename V>
void CMapStringToValue<V>::FreeAssoc(CAssoc* a) {
  DestroyAssoc(a);
  a->pNext = m_pFreeList;
  m_pFreeList = a;
  if (--m_nCount == 0) RemoveAll();  // the framework frees everything with the last entry
}

template class CMapStringToValue<CString>;  // exported by the declaration in the header
template class CMapStringToValue<void*>;  // exported by the declaration in the header

CMapStringToString::CMapStringToString(int nBlockSize) : CMapStringToValue<CString>(nBlockSize) {}
CMapStringToString::~CMapStringToString() = default;
CMapStringToPtr::CMapStringToPtr(int nBlockSize) : CMapStringToValue<void*>(nBlockSize) {}
CMapStringToPtr::~CMapStringToPtr() = default;
