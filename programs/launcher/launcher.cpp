// run.exe: starts a tool through Vantel10.dll.
//
// It fills a runtime parameter block from run.ini (launcher_settings.h) with hooks that tell the
// runtime how to start the tool's program and which running processes belong to the tool, calls
// DllRunModule with it and exits with the result (1 success, 0 failure). The command line is the
// runtime's: "/load [target]", "/mode gadget|plugin|app", "/unload", "/install", "/uninstall",
// "/update <package>", "/version <v>"; and one item of the launcher's own, "/app "<folder>"",
// with which the platform's launcher in the library folder runs the tool of that application
// folder as if it were the run.exe there (the rights broker starts it so: every library it loads
// then comes from the library folder). The runtime passes the item on to the hook
// "ParseParameter", which lets it by.
//
// The library folder is where the ordinary search finds Vantel10.dll: beside run.exe, or in the
// library folder that the catalogue appends to Path. The launcher loads the platform's DLLs from
// there itself, before anything else: the framework VantelFx.dll (delay-loaded, so a missing
// one is a message and an exit code 0, not a failed start), VantelPlatform.dll, the resource
// library Parlance10.dll (put into the resource chain, so every message of the runtime has its
// text) and Vantel10.dll. It is built from the SDK alone: the public headers and the DLLs.
#include "launcher_settings.h"

#include <vantel/vantel.h>

#include <shlwapi.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The platform's DLLs the runtime needs, in the order they are loaded, and the runtime itself.
const char* const kPlatformLibraries[] = {"VantelFx.dll", "VantelPlatform.dll", "Parlance10.dll"};
const char kResourceLibrary[] = "Parlance10.dll";
const char kRuntimeLibrary[] = "Vantel10.dll";
const char kAppItem[] = "/app \"";
// How long the launcher stays for the tool's update check after an application start: unloading
// the runtime stops the check, and a download may take a while.
const unsigned long kUpdateCheckWaitMs = 10 * 60 * 1000;

// What the hooks need; set while the launcher runs the tool (no framework object exists before
// the framework DLL is loaded).
struct Launcher {
  LauncherSettings settings;
  CString folder;
};
Launcher* g_launcher = nullptr;

void Trace(const char* fmt, ...) {
  if (g_launcher->settings.trace.IsEmpty()) return;
  va_list args;
  va_start(args, fmt);
  CString line;
  line.FormatV(fmt, args);
  va_end(args);
  if (FILE* f = fopen(g_launcher->settings.trace, "ab")) {
    fprintf(f, "%s\r\n", line.c_str());
    fclose(f);
  }
}

DWORD __cdecl GetToolRunInfo(RUNTIMEPARAM*, CString* commandLine, void** /*environment*/, const CString* target) {
  *commandLine = ExpandProgram(g_launcher->settings.program, g_launcher->folder, *target);
  Trace("GetToolRunInfo %s", commandLine->c_str());
  return commandLine->IsEmpty() ? TOOLRUN_NONE : TOOLRUN_START;
}

int __cdecl GetToolExitInfo(RUNTIMEPARAM*, DWORD processId, const CString* exeName, CString* windowClass,
                            UINT* timeout, int* mainProcess) {
  if (!g_launcher->settings.IsToolProcess(*exeName)) return 0;
  *windowClass = g_launcher->settings.windowClass;
  *timeout = g_launcher->settings.timeout;
  *mainProcess = !g_launcher->settings.mainProcess.IsEmpty() && g_launcher->settings.mainProcess.CompareNoCase(*exeName) == 0;
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

std::string FolderOf(const std::string& file) { return file.substr(0, file.find_last_of('\\')); }

// The "/app "<folder>"" item after the program's own name: false when there is none; folder is
// empty when the item is there but names no full path (a relative one would depend on the
// current folder), and the launcher then runs nothing.
bool FindAppItem(const char* commandLine, CString& folder) {
  std::string line = commandLine;
  size_t at = line[0] == '"' ? line.find('"', 1) : line.find(' ');
  const size_t itemLength = lstrlenA(kAppItem);
  for (; at != std::string::npos && (at = line.find('/', at)) != std::string::npos; ++at) {
    if (_strnicmp(line.c_str() + at, kAppItem, itemLength) != 0) continue;
    size_t close = line.find('"', at + itemLength);
    std::string path = close == std::string::npos ? std::string() : line.substr(at + itemLength, close - at - itemLength);
    folder = path.empty() || PathIsRelativeA(path.c_str()) ? CString() : CString(path.c_str());
    return true;
  }
  return false;
}

std::string ProgramFile() {
  char path[MAX_PATH + 1] = "";
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

// The folder in which the ordinary search finds the runtime; empty when it finds none.
std::string LibraryFolder() {
  char found[MAX_PATH + 1] = "";
  DWORD n = SearchPathA(nullptr, kRuntimeLibrary, nullptr, MAX_PATH, found, nullptr);
  return n > 0 && n < MAX_PATH ? FolderOf(found) : std::string();
}

// Says which file of the platform is missing; the launcher then ends with 0.
int MissingFile(const std::string& file) {
  std::string text = "The tool cannot start: the platform file\n\n" + file + "\n\nis missing or cannot be loaded.";
  std::string name = ProgramFile().substr(ProgramFile().find_last_of('\\') + 1);
  MessageBoxA(nullptr, text.c_str(), name.c_str(), MB_OK | MB_ICONERROR);
  return 0;
}

// A launcher started by hand (double-clicked) has no Swap variable: the tool's swap folder is
// then the one beside its application folder, <tool>\Swap, as the catalogue lays tools out.
void DefaultSwapFolder(const CString& appFolder) {
  char value[2] = "";
  if (GetEnvironmentVariableA("Swap", value, sizeof value) > 0) return;  // set and not empty
  int slash = appFolder.ReverseFind('\\');
  if (slash <= 0) return;
  CString swap = appFolder.Left(slash) + kToolSwapFolder;
  CreateDirectoryA(swap, nullptr);
  SetEnvironmentVariableA("Swap", swap);
}

// Runs the tool with the platform's DLLs loaded: everything here may use the framework. The
// runtime is unloaded here, before the block is freed: a module whose tool has an update feed
// reports DownloadCompleted through the block's hooks when it goes.
int RunTool(LibraryHandle& runtime, HMODULE resources) {
  CString appFolder;
  bool appItem = FindAppItem(GetCommandLineA(), appFolder);
  if (appItem && appFolder.IsEmpty()) return 0;
  Launcher launcher;
  g_launcher = &launcher;
  AfxAddResourceChain(resources);
  g_launcher->folder = appItem ? appFolder : CString(FolderOf(ProgramFile()).c_str());
  g_launcher->settings.Load(g_launcher->folder);
  // The runtime's message boxes carry the tool's name as their caption.
  if (!g_launcher->settings.name.IsEmpty()) AfxGetModuleState()->m_pszAppName = g_launcher->settings.name;
  DefaultSwapFolder(g_launcher->folder);

  auto run = GetProc<int(__cdecl*)(RUNTIMEPARAM*)>(runtime.get(), "DllRunModule");
  auto waitUpdate = GetProc<int(__cdecl*)(RUNTIMEPARAM*, unsigned long)>(runtime.get(), "DllWaitUpdate");
  if (!run || !waitUpdate) return 0;
  auto* block = new RUNTIMEPARAM{};
  block->mapParam[RUNTIME_KEY_NEEDADMIN] = g_launcher->settings.needAdmin;
  block->mapParam[RUNTIME_KEY_LOCALAPP] = g_launcher->settings.localApp;
  block->mapParam[RUNTIME_KEY_SYSTEM] = g_launcher->settings.system;
  block->mapParam[RUNTIME_KEY_NAME] = g_launcher->settings.name;
  if (appItem) block->mapParam[RUNTIME_KEY_PATH] = appFolder;
  block->mapHook["GetToolRunInfo"] = reinterpret_cast<void*>(&GetToolRunInfo);
  block->mapHook["GetToolExitInfo"] = reinterpret_cast<void*>(&GetToolExitInfo);
  if (!g_launcher->settings.trace.IsEmpty()) {
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
  waitUpdate(block, kUpdateCheckWaitMs);
  runtime.reset();
  delete block;
  AfxGetModuleState()->m_pszAppName = nullptr;
  g_launcher = nullptr;
  return result;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  std::string folder = LibraryFolder();
  if (folder.empty()) return MissingFile(kRuntimeLibrary);
  // Each by its full path; once one is loaded, the loader takes it for every later import of its
  // name, the delay-loaded framework included. They stay loaded until the process ends.
  HMODULE resources = nullptr;
  for (const char* name : kPlatformLibraries) {
    std::string file = folder + "\\" + name;
    HMODULE library = LoadLibraryExA(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!library) return MissingFile(file);
    if (lstrcmpiA(name, kResourceLibrary) == 0) resources = library;
  }
  std::string runtimeFile = folder + "\\" + kRuntimeLibrary;
  LibraryHandle runtime(LoadLibraryExA(runtimeFile.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  if (!runtime) return MissingFile(runtimeFile);
  return RunTool(runtime, resources);
}
