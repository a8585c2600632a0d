#include "platform/framework/afx_module.h"

#include <process.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace {

HINSTANCE ProgramImage() { return GetModuleHandleA(nullptr); }

// The resource chain, with its lock: any thread may load a string.
struct ResourceChain {
  CRITICAL_SECTION lock;
  std::vector<HINSTANCE> modules;
  ResourceChain() { InitializeCriticalSection(&lock); }
};

ResourceChain& Chain() {
  static ResourceChain chain;
  return chain;
}

// The current resource handle, then the chain's modules.
std::vector<HINSTANCE> ResourceCandidates() {
  ResourceChain& chain = Chain();
  EnterCriticalSection(&chain.lock);
  std::vector<HINSTANCE> candidates{AfxGetResourceHandle()};
  candidates.insert(candidates.end(), chain.modules.begin(), chain.modules.end());
  LeaveCriticalSection(&chain.lock);
  return candidates;
}

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
  static AFX_MODULE_STATE state = {ProgramImage(), ProgramImage(), nullptr};
  return &state;
}

HINSTANCE AfxGetInstanceHandle() { return AfxGetModuleState()->m_hCurrentInstanceHandle; }
HINSTANCE AfxGetResourceHandle() { return AfxGetModuleState()->m_hCurrentResourceHandle; }
void AfxSetResourceHandle(HINSTANCE h) { AfxGetModuleState()->m_hCurrentResourceHandle = h; }

void AfxAddResourceChain(HINSTANCE module) {
  if (!module) return;
  ResourceChain& chain = Chain();
  EnterCriticalSection(&chain.lock);
  if (std::find(chain.modules.begin(), chain.modules.end(), module) == chain.modules.end())
    chain.modules.push_back(module);
  LeaveCriticalSection(&chain.lock);
}

void AfxRemoveResourceChain(HINSTANCE module) {
  ResourceChain& chain = Chain();
  EnterCriticalSection(&chain.lock);
  chain.modules.erase(std::remove(chain.modules.begin(), chain.modules.end(), module), chain.modules.end());
  LeaveCriticalSection(&chain.lock);
}

HINSTANCE AfxFindResourceHandle(const char* name, const char* type) {
  for (HINSTANCE module : ResourceCandidates())
    if (module && FindResourceA(module, name, type)) return module;
  return AfxGetResourceHandle();
}

CString AfxLoadResourceString(UINT id) {
  char buf[1024];
  for (HINSTANCE module : ResourceCandidates()) {
    int n = module ? LoadStringA(module, id, buf, sizeof buf) : 0;
    if (n > 0) return CString(buf, n);
  }
  return CString();
}

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
