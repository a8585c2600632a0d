// A host of the runtime: fills a runtime parameter block, runs the command items of its own
// command line for the tool whose application folder is its own, and then frees the block and the
// library in the order its first argument names ("before": the block first; "after": the library
// first, then the block, whose maps hold strings the runtime inserted). Exit code 0 when the
// runtime answered 1; a fault ends the process with its exception code.
//   sdk_host.exe before|after <path of Vantel10.dll> /install
#include <vantel/vantel.h>

#include <cstring>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  bool blockFirst = strcmp(argv[1], "before") == 0;
  HMODULE runtime = LoadLibraryExA(argv[2], nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  auto run = GetProc<int(__cdecl*)(RUNTIMEPARAM*)>(runtime, "DllRunModule");
  if (!run) return 3;

  auto* block = new RUNTIMEPARAM{};
  block->mapParam[RUNTIME_KEY_NAME] = CString("SDK host");  // made here, by the framework DLL
  block->mapParam["HostOwn"];                               // an empty value made here
  int result = run(block);
  // The runtime inserted its keys: several hold empty strings it made.
  if (block->mapParam.GetCount() < 20) return 4;
  if (blockFirst) {
    delete block;
    FreeLibrary(runtime);
  } else {
    FreeLibrary(runtime);
    if (GetModuleHandleA("Vantel10.dll")) return 5;  // the library must really be gone
    delete block;
  }
  return result == 1 ? 0 : 10 + result;
}
