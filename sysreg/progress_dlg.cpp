#include "sysreg/progress_dlg.h"

#include "resources/resource_ids.h"

CString GetCaptionText(UINT id) {
  static CString cache;
  if (cache.IsEmpty()) cache.LoadString(id);
  return cache;
}

CProgressDlg::CProgressDlg(CProgressTask* task, HWND parent)
    : CDialog(IDD_PROGRESS, parent), m_pTask(task) {}

CProgressDlg::~CProgressDlg() {
  // The window deletes the task when it goes; this covers a dialog that never opened.
  delete m_pTask;
}

BOOL CProgressDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  ::SetTimer(m_hWnd, kTimerId, m_dwInterval, nullptr);
  m_dwStartTick = ::GetTickCount();
  return TRUE;
}

void CProgressDlg::OnTimer(UINT_PTR timerId) {
  if (timerId != kTimerId) return;
  // The timer stays off while the task runs, so ticks never overlap.
  ::KillTimer(m_hWnd, kTimerId);
  if (m_pTask) m_pTask->Run();
  if (m_nResult != kWaiting) {
    ::PostMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  } else if (::GetTickCount() - m_dwStartTick < m_dwTimeout) {
    ::SetTimer(m_hWnd, kTimerId, m_dwInterval, nullptr);
  } else {
    m_nResult = kTimedOut;
    ::PostMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  }
}

void CProgressDlg::OnOK() {
  // The default button does nothing while the wait goes on.
  if (m_nResult != kWaiting) EndDialog(m_nResult);
}

void CProgressDlg::OnCancel() {
  CString question;
  question.LoadString(IDS_STOP_WAITING);
  if (::MessageBoxA(m_hWnd, question, GetCaptionText(IDS_CAPTION), MB_YESNO | MB_ICONEXCLAMATION) ==
      IDYES)
    CDialog::OnCancel();
}

BOOL CProgressDlg::OnMessage(UINT msg, WPARAM /*wp*/, LPARAM /*lp*/, LRESULT& /*result*/) {
  if (msg == WM_DESTROY) {
    delete m_pTask;
    m_pTask = nullptr;
    ::KillTimer(m_hWnd, kTimerId);
  }
  return FALSE;  // the default handling goes on
}
