// Small owners for Win32 handles: each closes what it holds on every way out of a scope.
//
//   UniqueHandle   kernel objects (CloseHandle); null and INVALID_HANDLE_VALUE both mean "none"
//   RegKey         an open registry key (RegCloseKey); predefined roots are never closed
//   LibraryHandle  a loaded module (FreeLibrary)
//   ServiceHandle  a service manager or service handle (CloseServiceHandle)
//   FindHandle     a FindFirstFile search (FindClose)
// and CriticalSectionLock, which holds a critical section for its scope.
#pragma once

#include <windows.h>
#include <winsvc.h>

#include <utility>

template <typename T, typename Traits>
class ScopedHandle {
 public:
  ScopedHandle() = default;
  explicit ScopedHandle(T h) : m_h(h) {}
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ScopedHandle(ScopedHandle&& o) noexcept : m_h(o.release()) {}
  ScopedHandle& operator=(ScopedHandle&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
  }
  ~ScopedHandle() { reset(); }

  T get() const { return m_h; }
  bool valid() const { return Traits::Valid(m_h); }
  explicit operator bool() const { return valid(); }
  T release() { return std::exchange(m_h, Traits::None()); }
  void reset(T h = Traits::None()) {
    if (Traits::Valid(m_h)) Traits::Close(m_h);
    m_h = h;
  }
  // For APIs that return the handle through an out-parameter.
  T* receive() {
    reset();
    return &m_h;
  }

 private:
  T m_h = Traits::None();
};

struct KernelHandleTraits {
  static HANDLE None() { return nullptr; }
  static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { ::CloseHandle(h); }
};
using UniqueHandle = ScopedHandle<HANDLE, KernelHandleTraits>;

struct RegKeyTraits {
  static HKEY None() { return nullptr; }
  static bool Valid(HKEY h) { return h != nullptr; }
  static void Close(HKEY h) {
    // The predefined roots (0x80000000 and up) are not ours to close.
    if (reinterpret_cast<ULONG_PTR>(h) < 0x80000000UL) ::RegCloseKey(h);
  }
};
using RegKey = ScopedHandle<HKEY, RegKeyTraits>;

struct LibraryTraits {
  static HMODULE None() { return nullptr; }
  static bool Valid(HMODULE h) { return h != nullptr; }
  static void Close(HMODULE h) { ::FreeLibrary(h); }
};
using LibraryHandle = ScopedHandle<HMODULE, LibraryTraits>;

struct ServiceTraits {
  static SC_HANDLE None() { return nullptr; }
  static bool Valid(SC_HANDLE h) { return h != nullptr; }
  static void Close(SC_HANDLE h) { ::CloseServiceHandle(h); }
};
using ServiceHandle = ScopedHandle<SC_HANDLE, ServiceTraits>;

struct FindTraits {
  static HANDLE None() { return INVALID_HANDLE_VALUE; }
  static bool Valid(HANDLE h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
  static void Close(HANDLE h) { ::FindClose(h); }
};
using FindHandle = ScopedHandle<HANDLE, FindTraits>;

class CriticalSectionLock {
 public:
  explicit CriticalSectionLock(CRITICAL_SECTION* section) : m_section(section) { ::EnterCriticalSection(m_section); }
  CriticalSectionLock(const CriticalSectionLock&) = delete;
  CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;
  ~CriticalSectionLock() { ::LeaveCriticalSection(m_section); }

 private:
  CRITICAL_SECTION* m_section;
};

// A typed export of a loaded module; null when the module does not export it.
template <typename Fn>
Fn GetProc(HMODULE module, const char* name) {
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
}
