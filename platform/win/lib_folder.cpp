#include "platform/win/lib_folder.h"

#include <windows.h>

namespace {

const char* const kProgramsInLibFolder[] = {"Envoy.exe", "qorright.exe"};
const char* const kProbedModules[] = {"Vantel10.dll", "Aidkit10.dll", "Browsehook.dll", "Murk10.dll",
                                      "Cairn10.dll"};

bool EndsWithNoCase(const CString& text, const char* tail) {
  int n = lstrlenA(tail);
  return text.GetLength() >= n && text.Right(n).CompareNoCase(tail) == 0;
}

CString& Cache() {
  static CString folder;
  return folder;
}

}  // namespace

CString GetLibFolder() {
  CString& cache = Cache();
  if (!cache.IsEmpty()) return cache;

  char path[MAX_PATH + 1] = "";
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  CString file = path;
  bool inLibFolder = false;
  for (const char* program : kProgramsInLibFolder) inLibFolder = inLibFolder || EndsWithNoCase(file, program);
  if (!inLibFolder) {
    for (const char* name : kProbedModules) {
      HMODULE module = GetModuleHandleA(name);
      if (module) {
        GetModuleFileNameA(module, path, MAX_PATH);
        file = path;
        break;
      }
    }
  }
  int slash = file.ReverseFind('\\');
  cache = slash >= 0 ? file.Left(slash) : file;
  return cache;
}

CString PlatformFolder() {
  CString lib = GetLibFolder();
  int slash = lib.ReverseFind('\\');
  return slash >= 0 ? lib.Left(slash) : lib;
}
