// CToolWnd: the hidden window of the platform's main process (dialog 582 of the resource chain,
// modeless, never shown). Its handle is published in the shared data, so every process reaches
// the main process through it:
//   WM_COPYDATA      an open request forwarded by DllOpenTool in another process
//   WM_TOOL_EXITED   posted by the watch thread: a watched tool's process has ended; the tool is
//                    unloaded here, on the window's thread
//   WM_TIMER         the launch accounting's 500 ms look at the running-tool table
//   WM_DESTROY       the launch counts are saved, every tool unloaded, the watch thread stopped
//
// The watch thread waits on a stop event, the machine-wide monitor event (set whenever a launcher
// enters a process in the table) and the processes of the table's records, and posts
// WM_TOOL_EXITED for each record whose process has ended.
//
// The watch map (launch accounting, launch_accounting.cpp) is reached from the window's thread and
// from the threads that call the catalogue exports; its own lock guards it.
#pragma once

#include "platform/framework/afx_dialog.h"
#include "platform/win/handles.h"
#include "runtime/shared_data.h"

#include <map>

class CVFDLNode;

// One tool's launches in this window's life.
struct ToolLaunchEntry {
  int count = 0;   // launches that reached the tool's application (plus, while saving, the stored total)
  int active = 0;  // the timer is to look at the tool's record
  CString text;    // passed on in the gadget notice; empty
};

// Data identifiers in the order the system code page compares them, case-sensitively (byte order
// for single-byte text).
struct DataIdLess {
  bool operator()(const CString& a, const CString& b) const;
};
using ToolWatchMap = std::map<CString, ToolLaunchEntry, DataIdLess>;

class CToolWnd : public CDialog {
 public:
  CToolWnd();
  ~CToolWnd() override;

  // Launch accounting: the tool's load was started / it is being unloaded. Both answer 1.
  int WatchTool(CVFDLNode* node);
  int UnwatchTool(CVFDLNode* node);
  // Runs fn on the watch map under its lock.
  template <typename Fn>
  void WithWatchMap(Fn fn) {
    CriticalSectionLock hold(&m_watchLock);
    fn(m_watch);
  }

 protected:
  BOOL OnInitDialog() override;
  void OnTimer(UINT_PTR timerId) override;
  BOOL OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

 private:
  enum { kTimerId = 1, kTimerPeriodMs = 500 };

  void OnDestroy();
  void OnToolExited(TOOLRUNTIMEINFO* record);
  BOOL OnCopyData(const COPYDATASTRUCT* data);
  void SendGadgetNotice(TOOLRUNTIMEINFO* record, const ToolLaunchEntry& entry);

  // Creates the watch objects that are missing and starts the thread when none runs.
  void StartWatching();
  static UINT __cdecl WatchThreadProc(void* window);
  void WatchLoop();

  CRITICAL_SECTION m_watchLock;
  ToolWatchMap m_watch;
  UniqueHandle m_tableMutex;
  UniqueHandle m_monitorEvent;
  UniqueHandle m_stopEvent;
  UniqueHandle m_watchThread;
};
