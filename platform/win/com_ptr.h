// Small owners for COM resources, in the manner of handles.h:
//
//   ComPtr<T>     an interface pointer (Release)
//   BStr          a BSTR (SysFreeString)
//   VariantValue  a VARIANT (VariantClear)
//   ComApartment  the calling thread's COM initialisation, balanced on the way out
//
// Declare a ComApartment before any ComPtr of the same scope, so that every interface is released
// before the apartment is left.
#pragma once

#include <objbase.h>
#include <oleauto.h>
#include <windows.h>

#include <utility>

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& o) noexcept : m_p(o.m_p) { o.m_p = nullptr; }
  ComPtr& operator=(ComPtr&& o) noexcept {
    if (this != &o) {
      reset();
      m_p = std::exchange(o.m_p, nullptr);
    }
    return *this;
  }
  ~ComPtr() { reset(); }

  T* get() const { return m_p; }
  T* operator->() const { return m_p; }
  explicit operator bool() const { return m_p != nullptr; }
  void reset() {
    if (m_p) m_p->Release();
    m_p = nullptr;
  }
  // For calls that hand out an interface through an out-parameter.
  T** receive() {
    reset();
    return &m_p;
  }
  // QueryInterface into another owner; false when the object lacks the interface.
  template <typename U>
  bool As(REFIID iid, ComPtr<U>& out) const {
    return m_p && SUCCEEDED(m_p->QueryInterface(iid, reinterpret_cast<void**>(out.receive()))) && out;
  }

 private:
  T* m_p = nullptr;
};

class BStr {
 public:
  BStr() = default;
  // Copies of the text.
  explicit BStr(const wchar_t* text) : m_b(::SysAllocString(text)) {}
  BStr(const wchar_t* text, UINT length) : m_b(::SysAllocStringLen(text, length)) {}
  // Takes over a BSTR that the caller owns.
  static BStr Adopt(BSTR b) {
    BStr owner;
    owner.m_b = b;
    return owner;
  }
  BStr(const BStr&) = delete;
  BStr& operator=(const BStr&) = delete;
  BStr(BStr&& o) noexcept : m_b(std::exchange(o.m_b, nullptr)) {}
  BStr& operator=(BStr&& o) noexcept {
    if (this != &o) {
      ::SysFreeString(m_b);
      m_b = std::exchange(o.m_b, nullptr);
    }
    return *this;
  }
  ~BStr() { ::SysFreeString(m_b); }

  BSTR get() const { return m_b; }
  UINT length() const { return ::SysStringLen(m_b); }
  BSTR* receive() {
    ::SysFreeString(m_b);
    m_b = nullptr;
    return &m_b;
  }
  BSTR release() { return std::exchange(m_b, nullptr); }

 private:
  BSTR m_b = nullptr;
};

class VariantValue {
 public:
  VariantValue() { ::VariantInit(&m_v); }
  VariantValue(const VariantValue&) = delete;
  VariantValue& operator=(const VariantValue&) = delete;
  ~VariantValue() { ::VariantClear(&m_v); }

  VARIANT& get() { return m_v; }
  const VARIANT& get() const { return m_v; }
  VARIANT* receive() {
    ::VariantClear(&m_v);
    return &m_v;
  }
  // Takes over the string.
  void SetString(BStr&& b) {
    ::VariantClear(&m_v);
    m_v.vt = VT_BSTR;
    m_v.bstrVal = b.release();
  }
  // Holds one reference of the interface (AddRef here, Release when cleared).
  void SetUnknown(IUnknown* unknown) {
    ::VariantClear(&m_v);
    m_v.vt = VT_UNKNOWN;
    m_v.punkVal = unknown;
    if (unknown) unknown->AddRef();
  }

 private:
  VARIANT m_v;
};

// Makes sure the calling thread may use COM for the lifetime of the object. A thread that has
// already chosen a different apartment model (RPC_E_CHANGED_MODE) can use COM as it is; nothing
// is to be balanced then.
class ComApartment {
 public:
  ComApartment() {
    HRESULT hr = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    m_bOwned = SUCCEEDED(hr);  // S_OK and S_FALSE both need their CoUninitialize
    m_bUsable = m_bOwned || hr == RPC_E_CHANGED_MODE;
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (m_bOwned) ::CoUninitialize();
  }
  bool usable() const { return m_bUsable; }

 private:
  bool m_bOwned = false;
  bool m_bUsable = false;
};
