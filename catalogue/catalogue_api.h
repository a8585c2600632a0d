// The host's exports of Vantel10.dll: the application object with its hidden window and the
// forwarding of requests from other processes, and the tool catalogue. A host (the platform's
// main program) calls LoadApp once, on the thread that runs its message loop, before it uses the
// catalogue, and UnLoadApp on the same thread before it ends.
//
// Every export except CanUnloadNow holds the library lock (CDllLock) while it runs. The catalogue
// exports answer 0 while the process has no application object (DllGetToolsImage: -1 for a node
// that is no tool record). A node is a record node of the catalogue folder of the platform's
// settings tree, as the host got it from that tree. An exception inside an export never leaves
// it: the export answers its failure value.
#pragma once

#include "platform/framework/afx_string.h"

class CVFDLNode;

extern "C" {
// Creates the application object and its hidden window, whose handle every process then finds in
// the shared data; does nothing when the object exists, or when the platform's settings document
// exists but cannot be read (the file is left as it is).
void __cdecl LoadApp();
// Destroys them: every tool is unloaded and the launch counts are saved first.
void __cdecl UnLoadApp();
void __cdecl ShowApp();
// Non-zero when the library may be unloaded: no tool of the table named (in the main process) and
// no window running the library's code.
int __cdecl CanUnloadNow();
// Loads the catalogue tool whose data identifier is dataId (any letter case) with the two load
// arguments, here when this process owns the main window, else in the main process (WM_COPYDATA
// to the published window). 0 without a main window; else the load's result (an unknown data
// identifier: 0 here, 1 when forwarded).
int __cdecl DllOpenTool(const char* dataId, const char* arg1, const char* arg2);

int __cdecl DllLoadAllTools(int manual);
int __cdecl DllLoadTools(CVFDLNode* node, int manual, const CString& arg1, const CString& arg2);
int __cdecl DllUnloadAllTools(int manual);
int __cdecl DllUnloadTools(CVFDLNode* node, int manual);
int __cdecl DllUpdateTools(CVFDLNode* node);
int __cdecl DllIsToolsLoaded(CVFDLNode* node);
int __cdecl DllGetToolsImage(CVFDLNode* node);
}

// The message the watch thread posts to the hidden window (wParam: the table record whose process
// ended), and the gadget notice sent to the platform's notification window (wParam: the address of
// a TOOLGADGETNOTICE on the sender's stack).
#define WM_TOOL_EXITED (WM_USER + 5000)
#define WM_TOOL_GADGET (WM_USER + 718)

struct TOOLGADGETNOTICE {
  CVFDLNode* pNode;   // the tool's catalogue record; null when it is not in the catalogue
  CString strText;    // empty
  DWORD dwValue;      // CAFS::m_dwNotifyParam of the platform's file-system object
  DWORD dwReserved1;  // 0
  DWORD dwReserved2;  // 0
};
