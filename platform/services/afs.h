// The platform's file-system object: where the platform lives and the document that holds its
// virtual tree and registry.
//
// The platform's program makes one and fills it in; the first one made is published in
// CAFS::m_pthis (and unpublished when it is destroyed). The runtime reads it through
// m_pthis only.
#pragma once

#include "platform/framework/afx_string.h"

#include <windows.h>

class CACASDVFDLDoc;

class CAFS {
 public:
  static CAFS* m_pthis;

  CAFS();
  CAFS(const CAFS&) = delete;
  CAFS& operator=(const CAFS&) = delete;
  ~CAFS();

  // In this order of declaration:
  HWND m_hNotifyWnd = nullptr;         // the platform's window that receives the gadget notice
  DWORD m_dwNotifyParam = 0;           // passed on in that notice
  CString m_strRootPath;               // the platform root folder, no trailing backslash
  CACASDVFDLDoc* m_pMainDoc = nullptr;  // the main document (virtual tree); not owned
};
