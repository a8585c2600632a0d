// One launch of a catalogue tool through the resident host, against the same program started
// directly, timed in this process:
//
//   launch_bench <platform's Vantel10.dll> <dataid> <tool's trace file> <window class> <program command line>
//
// First the program is started directly and timed until it shows a window of the class. Then the tool is
// loaded as `host load` loads it (DllOpenTool of the platform's library, forwarded to the resident
// host) and timed until its program shows a window, with the launcher's hook trace marking the
// steps: the host's answer (the launcher was started), the launcher's first hook (the runtime
// runs), its request for the program's command line (the swap in is done), the window.
// Prints one line: "direct <s> request <s> launcher <s> swap <s> program <s>".
#include "bench/bench_clock.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const DWORD kLimitMs = 60000;

struct FoundWindow {
  const char* windowClass;
  DWORD processId;
  bool found;
};

BOOL CALLBACK VisibleWindowOf(HWND window, LPARAM lp) {
  auto* f = reinterpret_cast<FoundWindow*>(lp);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  char cls[64] = "";
  GetClassNameA(window, cls, sizeof cls);
  if (IsWindowVisible(window) && strcmp(cls, f->windowClass) == 0 && (!f->processId || owner == f->processId))
    f->found = true;
  return !f->found;
}

const char* g_windowClass = "";

bool WindowShown(DWORD processId) {
  FoundWindow f{g_windowClass, processId, false};
  EnumWindows(VisibleWindowOf, reinterpret_cast<LPARAM>(&f));
  return f.found;
}

std::string ReadAll(const char* path) {
  std::string text;
  if (FILE* f = fopen(path, "rb")) {
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
    fclose(f);
  }
  return text;
}

// Polls until done() holds; the time it took, or a negative number past the limit.
template <typename Done>
double Until(double start, Done done) {
  while (!done()) {
    if (Seconds() - start > kLimitMs / 1000.0) return -1;
    Sleep(1);
  }
  return Seconds() - start;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6) return 2;
  g_windowClass = argv[4];
  double start = Seconds();
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::string command = argv[5];
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 3;
  double direct = Until(start, [&] { return WindowShown(pi.dwProcessId); });
  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, 5000);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);

  HMODULE library = LoadLibraryExA(argv[1], nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  auto open = reinterpret_cast<int(__cdecl*)(const char*, const char*, const char*)>(
      reinterpret_cast<void*>(GetProcAddress(library, "DllOpenTool")));
  if (!open) return 4;
  DeleteFileA(argv[3]);
  start = Seconds();
  if (!open(argv[2], "", "")) return 5;
  double request = Seconds() - start;
  double launcher = Until(start, [&] { return !ReadAll(argv[3]).empty(); });
  double swap = Until(start, [&] { return ReadAll(argv[3]).find("GetToolRunInfo") != std::string::npos; });
  double shown = Until(start, [] { return WindowShown(0); });
  if (direct < 0 || launcher < 0 || swap < 0 || shown < 0) return 6;
  printf("direct %.4f request %.4f launcher %.4f swap %.4f program %.4f\n", direct, request, launcher - request,
         swap - launcher, shown - swap);
  return 0;
}
