// The steps of one swap in, timed one by one: "swap_profile <swap folder>" after swap_bench has
// prepared that folder. Prints the time of the copy, each document load, the reset, the capture
// and clear, the write-back, the save and the clean-up.
#include "platform/afx_module.h"
#include "platform/xfs_operation.h"
#include "swap/sys_reg_doc.h"
#include <windows.h>
#include <cstdio>
#include <memory>
static double S() { LARGE_INTEGER f, c; QueryPerformanceFrequency(&f); QueryPerformanceCounter(&c); return double(c.QuadPart) / double(f.QuadPart); }
static double t0;
static void Mark(const char* what) { double t = S(); fprintf(stderr, "%-28s %.3f\n", what, t - t0); t0 = t; }
static CSysRegDoc* Open(const CString& p) { auto* d = new CSysRegDoc; int s = d->LoadXMLDoc(p); if (s == 3) d->NewXMLDoc(p,0,0); d->InitVFDLDoc(nullptr); return d; }
int main(int, char** argv) {
  AfxSetResourceHandle(LoadLibraryA("Parlance10.dll"));
  CString my = CString(argv[1]) + "\\MySelf\\install.xml", bk = CString(argv[1]) + "\\Backup\\install.xml";
  t0 = S();
  CopyFileA(my, bk, FALSE); Mark("copy");
  std::unique_ptr<CSysRegDoc> own(Open(my)); Mark("load own");
  std::unique_ptr<CSysRegDoc> backup(Open(bk)); Mark("load backup");
  own->m_bCheckReplace = 1; backup->SetAutoSaveFlag(0);
  backup->ResetSwap(nullptr, 0); Mark("reset backup");
  own->InitSwap(nullptr, backup.get()); Mark("initswap (capture+delete)");
  own->Restore(nullptr); Mark("restore own");
  backup->SetAutoSaveFlag(1); backup->SaveXMLDoc(0); Mark("save backup");
  own.reset(); backup.reset(); Mark("free");
  return 0;
}
