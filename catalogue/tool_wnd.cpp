#include "catalogue/tool_wnd.h"

#include "catalogue/catalogue_api.h"
#include "catalogue/open_tool_payload.h"
#include "catalogue/tool_app.h"
#include "platform/framework/afx_module.h"
#include "platform/win/named_objects.h"
#include "resources/resource_ids.h"

#include <mbstring.h>

#include <vector>

bool DataIdLess::operator()(const CString& a, const CString& b) const {
  return _mbscmp(reinterpret_cast<const unsigned char*>(a.c_str()), reinterpret_cast<const unsigned char*>(b.c_str())) <
         0;
}

CToolWnd::CToolWnd() : CDialog(IDD_HIDDEN) { InitializeCriticalSection(&m_watchLock); }

CToolWnd::~CToolWnd() {
  DestroyWindow();  // OnDestroy saves the counts first
  WithWatchMap([](ToolWatchMap& map) { map.clear(); });
  DeleteCriticalSection(&m_watchLock);
}

BOOL CToolWnd::OnInitDialog() {
  CDialog::OnInitDialog();
  SharedToolData().hMainWnd = m_hWnd;
  return TRUE;
}

BOOL CToolWnd::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  switch (msg) {
    case WM_DESTROY:
      OnDestroy();
      return FALSE;  // the dialog's own handling goes on
    case WM_TOOL_EXITED:
      OnToolExited(reinterpret_cast<TOOLRUNTIMEINFO*>(wp));
      result = 0;
      return TRUE;
    case WM_COPYDATA:
      result = OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lp));
      return TRUE;
    default:
      return FALSE;
  }
}

// The main process goes: no longer published (unless another process published its own window
// meanwhile), the counts saved, every tool unloaded, the watch thread stopped.
void CToolWnd::OnDestroy() {
  InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(&SharedToolData().hMainWnd), nullptr, m_hWnd);
  if (CToolApp* app = GetToolApp()) {
    app->SaveUsageCounts();
    app->UnloadAllTools(0);
  }
  if (m_watchThread) {
    SetEvent(m_stopEvent.get());
    WaitForSingleObject(m_watchThread.get(), INFINITE);
    m_watchThread.reset();
  }
  m_stopEvent.reset();
  m_monitorEvent.reset();
  m_tableMutex.reset();
  KillTimer(m_hWnd, kTimerId);
}

void CToolWnd::OnToolExited(TOOLRUNTIMEINFO* record) {
  CToolApp* app = GetToolApp();
  if (!app) return;
  if (CVFDLNode* node = app->FindToolNode(record)) app->UnloadTool(node, 1);
}

// A payload that does not hold its three texts within its bytes, or a request of another kind,
// loads nothing and answers 0.
BOOL CToolWnd::OnCopyData(const COPYDATASTRUCT* data) {
  CString dataId, arg1, arg2;
  if (!data || data->dwData != kOpenToolRequest || !ParseOpenToolPayload(data->lpData, data->cbData, dataId, arg1, arg2))
    return FALSE;
  CToolApp* app = GetToolApp();
  CVFDLNode* node = app ? app->FindToolByDataId(dataId) : nullptr;
  return node ? app->LoadTool(node, 1, arg1, arg2) : TRUE;
}

void CToolWnd::StartWatching() {
  UserSecurityAttributes security(true);
  if (!m_tableMutex) m_tableMutex.reset(CreateMutexA(security.get(), FALSE, kToolTableMutex));
  if (!m_monitorEvent) m_monitorEvent.reset(CreateEventA(security.get(), FALSE, FALSE, kMonitorEvent));
  if (!m_stopEvent) m_stopEvent.reset(CreateEventA(security.get(), FALSE, FALSE, nullptr));
  if (!m_watchThread && m_stopEvent && m_monitorEvent) m_watchThread.reset(AfxBeginThread(WatchThreadProc, this));
}

UINT __cdecl CToolWnd::WatchThreadProc(void* window) {
  static_cast<CToolWnd*>(window)->WatchLoop();
  return 0;
}

// Each pass waits on the stop event, the monitor event and the process of every record that has
// one. A process that cannot be opened has ended: its record is cleared and reported.
void CToolWnd::WatchLoop() {
  for (;;) {
    std::vector<UniqueHandle> processes;
    std::vector<HANDLE> waitOn{m_stopEvent.get(), m_monitorEvent.get()};
    for (TOOLRUNTIMEINFO& record : SharedToolData().tools) {
      DWORD processId = record.dwProcessId;
      if (!processId) continue;
      UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
      if (!process) {
        InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(&record.dwProcessId), 0,
                                   static_cast<LONG>(processId));
        PostMessageA(m_hWnd, WM_TOOL_EXITED, reinterpret_cast<WPARAM>(&record), 0);
        continue;
      }
      waitOn.push_back(process.get());
      processes.push_back(std::move(process));
    }
    DWORD r = WaitForMultipleObjects(static_cast<DWORD>(waitOn.size()), waitOn.data(), FALSE, INFINITE);
    if (r == WAIT_FAILED || r == WAIT_OBJECT_0) return;
  }
}
