// The library lock: one process-wide object that serialises the library's exported host
// operations and decides whether the library may be unloaded.
//
// The lock is recursive (a thread that holds it may take it again). The library may be
// unloaded (DllCanUnloadNow answers non-zero) when nobody holds the lock and no window of the
// process runs code of the library, that is no window (top-level, child or message-only) whose
// window procedure or dialog procedure lies inside the library's image, or that is a framework
// dialog of a class the library defines (CDialog::FromHandle), apart from the windows
// registered with AddExcludeHwnd and their children. The library's image is that of the module
// handle given at construction (Vantel10.dll gives its own), or, for a null handle, the
// process's program.
//
// The library's start-up constructs the one instance; GetDllLock() returns it (null before
// start-up and after exit). Further instances can be made (tests do) but do not replace it.
#pragma once

#include <windows.h>

#include <vector>

class CDllLock {
 public:
  explicit CDllLock(HINSTANCE module = nullptr);
  CDllLock(const CDllLock&) = delete;
  CDllLock& operator=(const CDllLock&) = delete;
  ~CDllLock();

  void Lock();
  void Unlock();

  // The window does not keep the library loaded. 1 when registered, 0 for a null handle.
  int AddExcludeHwnd(HWND hwnd);
  // Non-zero when the library may be unloaded (see above).
  int DllCanUnloadNow();

  // Holds the lock from construction to destruction. A null lock holds nothing.
  class CAutoLock {
   public:
    explicit CAutoLock(CDllLock& lock) : m_pLock(&lock) { m_pLock->Lock(); }
    explicit CAutoLock(CDllLock* lock) : m_pLock(lock) {
      if (m_pLock) m_pLock->Lock();
    }
    CAutoLock(const CAutoLock&) = delete;
    CAutoLock& operator=(const CAutoLock&) = delete;
    ~CAutoLock() {
      if (m_pLock) m_pLock->Unlock();
    }

   private:
    CDllLock* m_pLock;
  };

 private:
  bool RunsOurCode(HWND hwnd) const;
  bool IsExcluded(HWND hwnd) const;

  CRITICAL_SECTION m_lock;
  volatile LONG m_nHeld = 0;  // outstanding Lock calls, all threads
  CRITICAL_SECTION m_windowsLock;
  std::vector<HWND> m_excluded;
  ULONG_PTR m_imageStart = 0;
  ULONG_PTR m_imageEnd = 0;
};

// The process-wide instance, or null.
CDllLock* GetDllLock();
