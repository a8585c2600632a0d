// run.exe: starts a tool through Vantel10.dll.
//
// It fills a runtime parameter block from run.ini (launcher_settings.h) with hooks that tell the
// runtime how to start the tool's program and which running processes belong to the tool, calls
// DllRunModule with it and exits with the result (1 success, 0 failure). The command line is the
// runtime's: "/load [target]", "/mode gadget|plugin|app", "/unload", "/install", "/uninstall",
// "/update <package>", "/version <v>". Vantel10.dll is found by the ordinary search: beside
// run.exe, or in the library folder that the catalogue appends to Path.
#include "platform/win/handles.h"
#include "programs/launcher/launcher_settings.h"
#include "runtime/runtime_param.h"

#include <cstdio>

namespace {

LauncherSettings g_settings;
CString g_folder;

void Trace(const char* fmt, ...) {
  if (g_settings.trace.IsEmpty()) return;
  va_list args;
  va_start(args, fmt);
  CString line;
  line.FormatV(fmt, args);
  va_end(args);
  if (FILE* f = fopen(g_settings.trace, "ab")) {
    fprintf(f, "%s\r\n", line.c_str());
    fclose(f);
  }
}

DWORD __cdecl GetToolRunInfo(RUNTIMEPARAM*, CString* commandLine, void** /*environment*/, const CString* target) {
  *commandLine = ExpandProgram(g_settings.program, g_folder, *target);
  Trace("GetToolRunInfo %s", commandLine->c_str());
  return commandLine->IsEmpty() ? TOOLRUN_NONE : TOOLRUN_START;
}

int __cdecl GetToolExitInfo(RUNTIMEPARAM*, DWORD processId, const CString* exeName, CString* windowClass,
                            UINT* timeout, int* mainProcess) {
  if (!g_settings.IsToolProcess(*exeName)) return 0;
  *windowClass = g_settings.windowClass;
  *timeout = g_settings.timeout;
  *mainProcess = !g_settings.mainProcess.IsEmpty() && g_settings.mainProcess.CompareNoCase(*exeName) == 0;
  Trace("GetToolExitInfo %lu %s", processId, exeName->c_str());
  return 1;
}

int __cdecl CheckVersion(RUNTIMEPARAM*, const OSVERSIONINFOEXA* version) {
  Trace("CheckVersion %lu.%lu", version->dwMajorVersion, version->dwMinorVersion);
  return 1;
}
int __cdecl ParseParameter(RUNTIMEPARAM*, const CString* item) {
  Trace("ParseParameter [%s]", item->c_str());
  return 1;
}
int __cdecl LoadModuleBefore(RUNTIMEPARAM*, CString* target, CString* mode) {
  Trace("LoadModuleBefore [%s] [%s]", target->c_str(), mode->c_str());
  return 1;
}
int __cdecl LoadModuleAfter(RUNTIMEPARAM*, CString* target, CString* mode) {
  Trace("LoadModuleAfter [%s] [%s]", target->c_str(), mode->c_str());
  return 1;
}
int __cdecl UnloadModuleBefore(RUNTIMEPARAM*) {
  Trace("UnloadModuleBefore");
  return 1;
}
int __cdecl UnloadModuleAfter(RUNTIMEPARAM*) {
  Trace("UnloadModuleAfter");
  return 1;
}
int __cdecl UpdateModuleBefore(RUNTIMEPARAM*, const CString* package, const CString* version) {
  Trace("UpdateModuleBefore [%s] [%s]", package->c_str(), version->c_str());
  return 1;
}

CString ProgramFolder() {
  char path[MAX_PATH + 1] = "";
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  CString s = path;
  return s.Left(s.ReverseFind('\\'));
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  g_folder = ProgramFolder();
  g_settings.Load(g_folder);

  LibraryHandle runtime(LoadLibraryA("Vantel10.dll"));
  auto run = GetProc<int(__cdecl*)(RUNTIMEPARAM*)>(runtime.get(), "DllRunModule");
  if (!run) {
    Trace("Vantel10.dll not found");
    return 0;
  }

  auto* block = new RUNTIMEPARAM{};
  block->mapParam[RUNTIME_KEY_NEEDADMIN] = g_settings.needAdmin;
  block->mapParam[RUNTIME_KEY_LOCALAPP] = g_settings.localApp;
  block->mapParam[RUNTIME_KEY_SYSTEM] = g_settings.system;
  block->mapParam[RUNTIME_KEY_NAME] = g_settings.name;
  block->mapHook["GetToolRunInfo"] = reinterpret_cast<void*>(&GetToolRunInfo);
  block->mapHook["GetToolExitInfo"] = reinterpret_cast<void*>(&GetToolExitInfo);
  if (!g_settings.trace.IsEmpty()) {
    block->mapHook["CheckVersion"] = reinterpret_cast<void*>(&CheckVersion);
    block->mapHook["ParseParameter"] = reinterpret_cast<void*>(&ParseParameter);
    block->mapHook["LoadModuleBefore"] = reinterpret_cast<void*>(&LoadModuleBefore);
    block->mapHook["LoadModuleAfter"] = reinterpret_cast<void*>(&LoadModuleAfter);
    block->mapHook["UnloadModuleBefore"] = reinterpret_cast<void*>(&UnloadModuleBefore);
    block->mapHook["UnloadModuleAfter"] = reinterpret_cast<void*>(&UnloadModuleAfter);
    block->mapHook["UpdateModuleBefore"] = reinterpret_cast<void*>(&UpdateModuleBefore);
  }
  int result = run(block);
  Trace("Result %d", result);
  // The block goes before the library: empty strings the runtime stored in it point at the
  // library's own empty-string header, which is gone once the library is unloaded.
  delete block;
  runtime.reset();
  return result;
}
