// A small dialog base over Win32 dialog templates, found through the resource chain (the current
// resource handle first, see afx_module.h).
//
// Modal: DoModal() runs the dialog's own loop and returns what EndDialog was given (-1 when the
// template is missing or no window can be made). Modeless: Create() returns once the window
// exists; DestroyWindow() ends it. Derived classes override the On... handlers; the base routes
// WM_INITDIALOG, WM_COMMAND (IDOK, IDCANCEL and the rest) and WM_TIMER to them.
#pragma once

#include "platform/framework/afx_string.h"

#include <windows.h>

class VANTELFX_API CDialog {
 public:
  explicit CDialog(UINT templateId, HWND parent = nullptr);
  CDialog(const CDialog&) = delete;
  CDialog& operator=(const CDialog&) = delete;
  virtual ~CDialog();

  INT_PTR DoModal();
  BOOL Create(HWND parent = nullptr);
  BOOL DestroyWindow();
  void EndDialog(INT_PTR result);

  // The dialog object of a window this framework made; null for any other window.
  static CDialog* FromHandle(HWND hwnd);

  HWND GetSafeHwnd() const { return m_hWnd; }
  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
  void SetDlgItemText(int id, const char* text) { ::SetDlgItemTextA(m_hWnd, id, text); }
  void SetWindowText(const char* text) { ::SetWindowTextA(m_hWnd, text); }
  BOOL IsModal() const { return m_bModal; }

 protected:
  virtual BOOL OnInitDialog() { return TRUE; }
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  virtual BOOL OnCommand(WORD id, WORD code, HWND control);
  virtual void OnTimer(UINT_PTR /*timerId*/) {}
  // Everything not routed above; return TRUE when handled.
  virtual BOOL OnMessage(UINT /*msg*/, WPARAM /*wp*/, LPARAM /*lp*/, LRESULT& /*result*/) { return FALSE; }

  HWND m_hWnd = nullptr;

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  // The module whose template the dialog uses (the resource chain's answer).
  HINSTANCE TemplateModule() const;

  UINT m_nTemplateId;
  HWND m_hParent;
  BOOL m_bModal = FALSE;
};
