// The swap of one tool whose "config" names a whole registry key, timed in this process:
//
//   swap_bench <folder> <key under HKEY_CURRENT_USER>
//
// <folder> is made the tool's swap folder. The tool's own document gets a "config" record for
// the key and, in its "install" class, the key's current content (so the tool's values are the
// machine's own, as in the registry floor). Then one swap in (BackupTool) and one swap out
// (RestoreTool) run, documents loaded and saved as in real use, and the time is printed:
//   "swap <seconds> s"
// The key ends as it began.
#include "bench/bench_clock.h"
#include "platform/framework/afx_module.h"
#include "runtime/tool_module.h"
#include "swap/sys_reg_doc.h"

#include <windows.h>

#include <cstdio>
#include <memory>

namespace {

class BenchModule : public CToolModule {
 public:
  BenchModule(const CString& swap) {
    m_bLocalApp = FALSE;
    m_strSwapPath = swap;
    m_strMyPath = swap + "\\MySelf";
    m_strBackPath = swap + "\\Backup";
    CreateDirectoryA(swap, nullptr);
    CreateDirectoryA(m_strMyPath, nullptr);
    CreateDirectoryA(m_strBackPath, nullptr);
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: swap_bench <folder> <key under HKEY_CURRENT_USER>\n");
    return 2;
  }
  // Registration documents start from a text of the resource library, as in the runtime.
  AfxSetResourceHandle(LoadLibraryA("Parlance10.dll"));
  CString swap = argv[1];
  CString key = CString("HKEY_CURRENT_USER\\") + argv[2];
  BenchModule module(swap);
  {
    CSysRegDoc own;
    CString path = module.m_strMyPath + "\\install.xml";
    DeleteFileA(path);
    if (!own.NewXMLDoc(path, 0, 0) || !own.InitVFDLDoc(nullptr)) return 1;
    own.SetAutoSaveFlag(0);
    CSysRegRec config;
    config.SetType(1);
    config.SetKey(key);
    own.AddRec(own.GetClassNode("config", 1), &config, 65535);
    own.BackupRegister(key, nullptr, nullptr);
    own.SetAutoSaveFlag(1);
    own.SaveXMLDoc(0);
  }
  double start = Seconds();
  double in0 = Seconds();
  int in = module.BackupTool();
  double in1 = Seconds();
  int out = module.RestoreTool();
  double end = Seconds();
  fprintf(stderr, "swap in %.3f s, swap out %.3f s\n", in1 - in0, end - in1);
  if (!in || !out) return 1;
  printf("swap %.3f s\n", end - start);
  return 0;
}
