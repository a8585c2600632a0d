// The steps of one swap in and one swap out, timed one by one: "swap_profile <swap folder>" after
// swap_bench has prepared that folder. Prints the wall time of each step (the copy, each document
// load, the reset, the capture and clear, the write-back, the save, the clean-up) and the
// process's own CPU time beside it, which tells the work done here from the time spent waiting
// for the registry.
#include "bench/bench_clock.h"
#include "platform/framework/afx_module.h"
#include "swap/sys_reg_doc.h"

#include <windows.h>

#include <cstdio>
#include <memory>

namespace {

double CpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto s = [](const FILETIME& t) { return double((ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7; };
  return s(kernel) + s(user);
}

double g_wall, g_cpu;

void Mark(const char* step) {
  double wall = Seconds(), cpu = CpuSeconds();
  fprintf(stderr, "  %-24s %.3f s  (cpu %.3f s)\n", step, wall - g_wall, cpu - g_cpu);
  g_wall = wall;
  g_cpu = cpu;
}

CSysRegDoc* Open(const CString& path) {
  auto* doc = new CSysRegDoc;
  if (doc->LoadXMLDoc(path) == 3) doc->NewXMLDoc(path, 0, 0);
  doc->InitVFDLDoc(nullptr);
  return doc;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: swap_profile <swap folder prepared by swap_bench>\n");
    return 2;
  }
  AfxSetResourceHandle(LoadLibraryA("Parlance10.dll"));
  CString mine = CString(argv[1]) + "\\MySelf\\install.xml", back = CString(argv[1]) + "\\Backup\\install.xml";
  double start = Seconds();
  g_wall = start;
  g_cpu = CpuSeconds();

  fprintf(stderr, "swap in\n");
  CopyFileA(mine, back, FALSE);
  Mark("copy");
  std::unique_ptr<CSysRegDoc> own(Open(mine));
  Mark("load own");
  std::unique_ptr<CSysRegDoc> backup(Open(back));
  Mark("load backup");
  own->m_bCheckReplace = 1;
  backup->SetAutoSaveFlag(0);
  backup->ResetSwap(nullptr, 0);
  Mark("reset backup");
  own->InitSwap(nullptr, backup.get());
  Mark("capture and clear");
  own->Restore(nullptr);
  Mark("write own back");
  backup->SetAutoSaveFlag(1);
  backup->SaveXMLDoc(0);
  Mark("save backup");
  own.reset();
  backup.reset();
  Mark("free");

  fprintf(stderr, "swap out\n");
  own.reset(Open(mine));
  Mark("load own");
  backup.reset(Open(back));
  Mark("load backup");
  own->m_bCheckReplace = 1;
  own->SetAutoSaveFlag(0);
  own->ResetSwap(nullptr, 1);
  Mark("reset own");
  backup->InitSwap(nullptr, own.get());
  Mark("capture and clear");
  backup->Restore(nullptr);
  Mark("write backup back");
  own->SetAutoSaveFlag(1);
  own->SaveXMLDoc(0);
  Mark("save own");
  own.reset();
  backup.reset();
  Mark("free");
  fprintf(stderr, "total %.3f s\n", Seconds() - start);
  return 0;
}
