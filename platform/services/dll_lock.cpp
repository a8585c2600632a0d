#include "platform/services/dll_lock.h"

#include "platform/framework/afx_dialog.h"
#include "platform/win/handles.h"

#include <algorithm>

namespace {

CDllLock* g_instance = nullptr;

struct WindowScan {
  DWORD pid;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectChild(HWND h, LPARAM lp) {
  reinterpret_cast<WindowScan*>(lp)->found.push_back(h);
  return TRUE;
}

BOOL CALLBACK CollectTopLevel(HWND h, LPARAM lp) {
  auto* scan = reinterpret_cast<WindowScan*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  if (pid == scan->pid) {
    scan->found.push_back(h);
    EnumChildWindows(h, CollectChild, lp);
  }
  return TRUE;
}

LONG_PTR WindowLong(HWND h, int index) {
  return IsWindowUnicode(h) ? GetWindowLongPtrW(h, index) : GetWindowLongPtrA(h, index);
}

}  // namespace

CDllLock::CDllLock(HINSTANCE module) {
  InitializeCriticalSection(&m_lock);
  InitializeCriticalSection(&m_windowsLock);
  HMODULE image = module ? module : GetModuleHandleA(nullptr);
  if (image) {
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(reinterpret_cast<const BYTE*>(image) + dos->e_lfanew);
    m_imageStart = reinterpret_cast<ULONG_PTR>(image);
    m_imageEnd = m_imageStart + nt->OptionalHeader.SizeOfImage;
  }
  InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(&g_instance), this, nullptr);
}

CDllLock::~CDllLock() {
  InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(&g_instance), nullptr, this);
  DeleteCriticalSection(&m_windowsLock);
  DeleteCriticalSection(&m_lock);
}

void CDllLock::Lock() {
  EnterCriticalSection(&m_lock);
  InterlockedIncrement(&m_nHeld);
}

void CDllLock::Unlock() {
  InterlockedDecrement(&m_nHeld);
  LeaveCriticalSection(&m_lock);
}

int CDllLock::AddExcludeHwnd(HWND hwnd) {
  if (!hwnd) return 0;
  CriticalSectionLock hold(&m_windowsLock);
  // Handles of windows that are gone are dropped: Windows may hand the value out again.
  m_excluded.erase(std::remove_if(m_excluded.begin(), m_excluded.end(), [](HWND h) { return !IsWindow(h); }),
                   m_excluded.end());
  if (std::find(m_excluded.begin(), m_excluded.end(), hwnd) == m_excluded.end()) m_excluded.push_back(hwnd);
  return 1;
}

bool CDllLock::IsExcluded(HWND hwnd) const {
  for (HWND h : m_excluded)
    if (h == hwnd || IsChild(h, hwnd)) return true;
  return false;
}

bool CDllLock::RunsOurCode(HWND hwnd) const {
  auto inside = [this](LONG_PTR p) {
    auto a = static_cast<ULONG_PTR>(p);
    return a >= m_imageStart && a < m_imageEnd;
  };
  if (inside(WindowLong(hwnd, GWLP_WNDPROC))) return true;
  // A dialog of the framework runs the code of the class its object belongs to: the object's
  // table of virtual functions lies in the image that defines that class.
  if (CDialog* dialog = CDialog::FromHandle(hwnd)) return inside(*reinterpret_cast<const LONG_PTR*>(dialog));
  char cls[16] = "";
  GetClassNameA(hwnd, cls, sizeof cls);
  return lstrcmpA(cls, "#32770") == 0 && inside(WindowLong(hwnd, DWLP_DLGPROC));
}

int CDllLock::DllCanUnloadNow() {
  if (InterlockedCompareExchange(&m_nHeld, 0, 0) != 0) return 0;
  WindowScan scan{GetCurrentProcessId(), {}};
  EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&scan));
  for (HWND h = FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); h;
       h = FindWindowExA(HWND_MESSAGE, h, nullptr, nullptr)) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid == scan.pid) scan.found.push_back(h);
  }
  CriticalSectionLock hold(&m_windowsLock);
  for (HWND h : scan.found)
    if (!IsExcluded(h) && RunsOurCode(h)) return 0;
  return 1;
}

CDllLock* GetDllLock() { return g_instance; }
