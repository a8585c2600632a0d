// Start-up and exit of Vantel10.dll.
#include "runtime/module_registry.h"

#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      DisableThreadLibraryCalls(instance);
      CreateModuleRegistry();
      break;
    case DLL_PROCESS_DETACH:
      // On FreeLibrary the modules are destroyed (each frees its documents and the resource
      // library). At process exit (reserved non-null) the process's memory goes anyway, and the
      // libraries the modules would call may already be gone, so nothing is torn down.
      if (!reserved) DestroyModuleRegistry();
      break;
    default:
      break;
  }
  return TRUE;
}
