// Start-up and exit of Vantel10.dll: the library lock and the module registry live from the
// library's load to its unload.
#include "platform/services/dll_lock.h"
#include "runtime/module_registry.h"

#include <windows.h>

namespace {

CDllLock* g_libraryLock = nullptr;

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      DisableThreadLibraryCalls(instance);
      // The lock judges whether windows run this library's code, so it is told its image.
      g_libraryLock = new CDllLock(instance);
      CreateModuleRegistry();
      break;
    case DLL_PROCESS_DETACH:
      // On FreeLibrary the modules are destroyed (each frees its documents and the resource
      // library). At process exit (reserved non-null) the process's memory goes anyway, and the
      // libraries the modules would call may already be gone, so nothing is torn down.
      if (!reserved) {
        DestroyModuleRegistry();
        delete g_libraryLock;
        g_libraryLock = nullptr;
      }
      break;
    default:
      break;
  }
  return TRUE;
}
