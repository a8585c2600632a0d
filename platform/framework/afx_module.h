// The framework's module state and the few application helpers the system needs: the current
// instance and resource handles, message boxes, and starting a worker thread.
//
// Each module (the library, a program) has its own state, as with an extension library of the
// framework. The resource handle starts as the module's own image and is switched by the tool
// module's initialisation to the platform's resource library, so that every later string,
// message and dialog comes from there.
#pragma once

#include "platform/framework/afx_string.h"

#include <windows.h>

struct AFX_MODULE_STATE {
  HINSTANCE m_hCurrentInstanceHandle;
  HINSTANCE m_hCurrentResourceHandle;
  const char* m_pszAppName;  // caption of AfxMessageBox; the program's name when null
};

AFX_MODULE_STATE* AfxGetModuleState();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
void AfxSetResourceHandle(HINSTANCE h);

// The message box of the framework: owned by the active window of the calling thread, caption
// from the module state. Returns the button pressed (IDOK, IDYES, ...), or 0 when no box could
// be shown (for example without a display).
int AfxMessageBox(const char* text, UINT type = MB_OK, UINT helpId = 0);
int AfxMessageBox(UINT idPrompt, UINT type = MB_OK, UINT helpId = UINT(-1));

// Starts `proc(param)` on a new thread. Returns the thread's handle, which the caller owns, or
// null when the thread could not be started.
typedef UINT(__cdecl* AFX_THREADPROC)(void*);
HANDLE AfxBeginThread(AFX_THREADPROC proc, void* param, DWORD* threadId = nullptr);
