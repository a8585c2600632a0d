#include "platform/framework/afx_dialog.h"

#include "platform/framework/afx_module.h"

CDialog::CDialog(UINT templateId, HWND parent) : m_nTemplateId(templateId), m_hParent(parent) {}

CDialog* CDialog::FromHandle(HWND hwnd) {
  if (!hwnd || GetWindowLongPtrA(hwnd, DWLP_DLGPROC) != reinterpret_cast<LONG_PTR>(&DialogProc)) return nullptr;
  return reinterpret_cast<CDialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
}

HINSTANCE CDialog::TemplateModule() const {
  return AfxFindResourceHandle(MAKEINTRESOURCEA(m_nTemplateId), RT_DIALOG);
}

CDialog::~CDialog() {
  if (m_hWnd && !m_bModal) ::DestroyWindow(m_hWnd);
}

INT_PTR CDialog::DoModal() {
  m_bModal = TRUE;
  INT_PTR r = ::DialogBoxParamA(TemplateModule(), MAKEINTRESOURCEA(m_nTemplateId), m_hParent, DialogProc,
                                reinterpret_cast<LPARAM>(this));
  m_hWnd = nullptr;
  return r;
}

BOOL CDialog::Create(HWND parent) {
  if (parent) m_hParent = parent;
  m_bModal = FALSE;
  HWND h = ::CreateDialogParamA(TemplateModule(), MAKEINTRESOURCEA(m_nTemplateId), m_hParent, DialogProc,
                                reinterpret_cast<LPARAM>(this));
  return h != nullptr;
}

BOOL CDialog::DestroyWindow() {
  if (!m_hWnd) return FALSE;
  BOOL destroyed = ::DestroyWindow(m_hWnd);  // the handlers of its last messages still see it
  m_hWnd = nullptr;
  return destroyed;
}

void CDialog::EndDialog(INT_PTR result) {
  if (!m_hWnd) return;
  if (m_bModal)
    ::EndDialog(m_hWnd, result);
  else
    DestroyWindow();
}

BOOL CDialog::OnCommand(WORD id, WORD /*code*/, HWND /*control*/) {
  if (id == IDOK) {
    OnOK();
    return TRUE;
  }
  if (id == IDCANCEL) {
    OnCancel();
    return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  CDialog* self;
  if (msg == WM_INITDIALOG) {
    self = reinterpret_cast<CDialog*>(lp);
    SetWindowLongPtrA(hwnd, DWLP_USER, lp);
    self->m_hWnd = hwnd;
    return self->OnInitDialog();
  }
  self = reinterpret_cast<CDialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
  if (!self) return FALSE;
  switch (msg) {
    case WM_COMMAND:
      return self->OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
    case WM_TIMER:
      self->OnTimer(wp);
      return TRUE;
    case WM_NCDESTROY:
      SetWindowLongPtrA(hwnd, DWLP_USER, 0);
      if (self->m_hWnd == hwnd) self->m_hWnd = nullptr;
      return FALSE;
    default: {
      LRESULT result = 0;
      if (self->OnMessage(msg, wp, lp, result)) {
        SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
        return TRUE;
      }
      return FALSE;
    }
  }
}
