#include "platform/framework/afx_module.h"

#include <process.h>

#include <cstring>

#include <new>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

HINSTANCE OwnImage() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

struct ThreadStart {
  AFX_THREADPROC proc;
  void* param;
};

unsigned __stdcall ThreadTrampoline(void* p) {
  ThreadStart start = *static_cast<ThreadStart*>(p);
  delete static_cast<ThreadStart*>(p);
  return start.proc(start.param);
}

}  // namespace

AFX_MODULE_STATE* AfxGetModuleState() {
  static AFX_MODULE_STATE state = {OwnImage(), OwnImage(), nullptr};
  return &state;
}

HINSTANCE AfxGetInstanceHandle() { return AfxGetModuleState()->m_hCurrentInstanceHandle; }
HINSTANCE AfxGetResourceHandle() { return AfxGetModuleState()->m_hCurrentResourceHandle; }
void AfxSetResourceHandle(HINSTANCE h) { AfxGetModuleState()->m_hCurrentResourceHandle = h; }

int AfxMessageBox(const char* text, UINT type, UINT /*helpId*/) {
  CString caption = AfxGetModuleState()->m_pszAppName;
  if (caption.IsEmpty()) {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const char* base = strrchr(path, '\\');
    caption = base ? base + 1 : path;
    int dot = caption.ReverseFind('.');
    if (dot > 0) caption = caption.Left(dot);
  }
  HWND owner = GetActiveWindow();
  int r = MessageBoxA(owner, text ? text : "", caption, type);
  return r < 0 ? 0 : r;
}

int AfxMessageBox(UINT idPrompt, UINT type, UINT helpId) {
  CString text;
  text.LoadString(idPrompt);
  return AfxMessageBox(text, type, helpId == UINT(-1) ? idPrompt : helpId);
}

HANDLE AfxBeginThread(AFX_THREADPROC proc, void* param, DWORD* threadId) {
  auto* start = new (std::nothrow) ThreadStart{proc, param};
  if (!start) return nullptr;
  unsigned id = 0;
  // _beginthreadex, not CreateThread, so the C runtime is set up for the new thread.
  HANDLE h = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, ThreadTrampoline, start, 0, &id));
  if (!h) {
    delete start;
    return nullptr;
  }
  if (threadId) *threadId = id;
  return h;
}
