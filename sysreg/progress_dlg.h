// The small modal dialog behind which the runtime waits for something slow (a service's
// deletion): a timer runs a task on every tick until the task reports completion, the time-out
// passes, or the user confirms that waiting should stop.
//
// Template: dialog 278 of the current resource library (IDOK default button, IDCANCEL).
#pragma once

#include "platform/framework/afx_dialog.h"
#include "platform/framework/afx_string.h"

#include <windows.h>

// The work a progress dialog runs on every tick. The base does nothing and answers 0.
class CProgressTask {
 public:
  CProgressTask() = default;
  CProgressTask(const CProgressTask&) = delete;
  CProgressTask& operator=(const CProgressTask&) = delete;
  virtual ~CProgressTask() = default;
  // With the arguments stored in the task (the only form the dialog uses).
  virtual int Run() { return 0; }
  // With the first argument supplied by the caller, the second stored.
  virtual int Run(DWORD_PTR /*arg1*/) { return 0; }
  // With both arguments supplied by the caller.
  virtual int Run(DWORD_PTR /*arg1*/, DWORD_PTR /*arg2*/) { return 0; }
};

// A task that calls a function: of its three slots (no argument, one, two) the first that is
// set, with the arguments in order. Normally one slot is set. Answers 0.
template <class A1, class A2>
class CProgressCall : public CProgressTask {
 public:
  typedef void (*Fn0)();
  typedef void (*Fn1)(A1);
  typedef void (*Fn2)(A1, A2);

  explicit CProgressCall(Fn0 fn) : m_pfn0(fn) {}
  CProgressCall(Fn1 fn, A1 arg1) : m_pfn1(fn), m_arg1(arg1) {}
  CProgressCall(Fn2 fn, A1 arg1, A2 arg2) : m_pfn2(fn), m_arg1(arg1), m_arg2(arg2) {}

  int Run() override { return Call(m_arg1, m_arg2); }
  int Run(DWORD_PTR arg1) override { return Call((A1)arg1, m_arg2); }
  int Run(DWORD_PTR arg1, DWORD_PTR arg2) override { return Call((A1)arg1, (A2)arg2); }

 private:
  int Call(A1 arg1, A2 arg2) {
    if (m_pfn0)
      m_pfn0();
    else if (m_pfn1)
      m_pfn1(arg1);
    else if (m_pfn2)
      m_pfn2(arg1, arg2);
    return 0;
  }

  Fn0 m_pfn0 = nullptr;
  Fn1 m_pfn1 = nullptr;
  Fn2 m_pfn2 = nullptr;
  A1 m_arg1 = A1();
  A2 m_arg2 = A2();
};

class CProgressDlg : public CDialog {
 public:
  enum { kTimerId = 1 };
  enum Result { kWaiting = 0, kCompleted = 1, kTimedOut = 2 };

  explicit CProgressDlg(CProgressTask* task = nullptr, HWND parent = nullptr);
  ~CProgressDlg() override;

  CProgressTask* m_pTask;       // owned; deleted when the window is destroyed
  DWORD m_dwInterval = 1000;    // timer period, ms
  DWORD m_dwTimeout = 5000;     // longest wait, ms
  int m_nResult = kWaiting;     // set to kCompleted by the task, kTimedOut by the dialog
  BOOL m_bRetryStop = FALSE;    // the service still has to be stopped
  DWORD m_dwStartTick = 0;      // tick count when the dialog opened

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;
  void OnTimer(UINT_PTR timerId) override;
  BOOL OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;
};

// The caption of the system's message boxes: resource string id of the current resource
// library, loaded on first use and kept for the process's life (an empty answer is retried).
CString GetCaptionText(UINT id);
