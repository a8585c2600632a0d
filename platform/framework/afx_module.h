// The framework's module state and the few application helpers the system needs: the current
// instance and resource handles, the resource chain, message boxes, and starting a worker thread.
//
// There is one state for the process, as the host program and the extension libraries of the
// framework share the application's state: the instance handle is the program's, and the
// resource handle starts there. A tool module's initialisation switches the resource handle to
// the platform's resource library, so that every later string, message and dialog comes from
// there.
//
// Resources are looked for in the current resource handle first, then in the modules of the
// resource chain in the order they were added. A program that hosts the runtime adds the
// platform's resource library to the chain, so the runtime's messages have their texts whatever
// the current resource handle is.
#pragma once

#include "platform/framework/afx_string.h"

#include <windows.h>

struct AFX_MODULE_STATE {
  HINSTANCE m_hCurrentInstanceHandle;
  HINSTANCE m_hCurrentResourceHandle;
  const char* m_pszAppName;  // caption of AfxMessageBox; the program's name when null
};

VANTELFX_API AFX_MODULE_STATE* AfxGetModuleState();
VANTELFX_API HINSTANCE AfxGetInstanceHandle();
VANTELFX_API HINSTANCE AfxGetResourceHandle();
VANTELFX_API void AfxSetResourceHandle(HINSTANCE h);

// Adds a module to the end of the resource chain (once) / takes it out again. A null handle is
// ignored.
VANTELFX_API void AfxAddResourceChain(HINSTANCE module);
VANTELFX_API void AfxRemoveResourceChain(HINSTANCE module);
// The module that holds the resource: the current resource handle when it has it, else the
// first module of the chain that has it; the current resource handle when none has it.
VANTELFX_API HINSTANCE AfxFindResourceHandle(const char* name, const char* type);
// The string resource `id` from the first module that has it (as above); empty when none has.
VANTELFX_API CString AfxLoadResourceString(UINT id);

// The message box of the framework: owned by the active window of the calling thread, caption
// from the module state. Returns the button pressed (IDOK, IDYES, ...), or 0 when no box could
// be shown (for example without a display).
VANTELFX_API int AfxMessageBox(const char* text, UINT type = MB_OK, UINT helpId = 0);
VANTELFX_API int AfxMessageBox(UINT idPrompt, UINT type = MB_OK, UINT helpId = UINT(-1));

// Starts `proc(param)` on a new thread. Returns the thread's handle, which the caller owns, or
// null when the thread could not be started.
typedef UINT(__cdecl* AFX_THREADPROC)(void*);
VANTELFX_API HANDLE AfxBeginThread(AFX_THREADPROC proc, void* param, DWORD* threadId = nullptr);
