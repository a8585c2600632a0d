// The platform's resource library made the current resource handle for a test's lifetime, as a
// tool module's initialisation does: strings and dialogs then come from Parlance10.dll. The
// previous handle comes back and the library is freed when the object goes.
#pragma once

#include "platform/framework/afx_module.h"
#include "tests/support/test_paths.h"

#include <windows.h>

class ScopedResourceLibrary {
 public:
  ScopedResourceLibrary()
      : m_library(LoadLibraryA((BinFolder() + "\\Parlance10.dll").c_str())), m_previous(AfxGetResourceHandle()) {
    if (m_library) AfxSetResourceHandle(m_library);
  }
  ~ScopedResourceLibrary() {
    AfxSetResourceHandle(m_previous);
    if (m_library) FreeLibrary(m_library);
  }
  ScopedResourceLibrary(const ScopedResourceLibrary&) = delete;
  ScopedResourceLibrary& operator=(const ScopedResourceLibrary&) = delete;
  HMODULE get() const { return m_library; }

 private:
  HMODULE m_library;
  HINSTANCE m_previous;
};
