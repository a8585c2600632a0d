#include "tests/support/shared_table.h"

#include "tests/support/test_paths.h"

#include <cstring>

namespace {

// The shared block of a loaded module with a ".shr" section marked shared.
SHAREDTOOLDATA* SharedSectionOf(HMODULE module) {
  if (!module) return nullptr;
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  for (int i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section)
    if (memcmp(section->Name, ".shr", 5) == 0 && (section->Characteristics & IMAGE_SCN_MEM_SHARED))
      return reinterpret_cast<SHAREDTOOLDATA*>(base + section->VirtualAddress);
  return nullptr;
}

}  // namespace

SHAREDTOOLDATA* LoadedSharedTable() {
  return SharedSectionOf(LoadLibraryA((BinFolder() + "\\Vantel10.dll").c_str()));
}

TOOLRUNTIMEINFO* FindRecord(SHAREDTOOLDATA* table, const char* name) {
  if (!table) return nullptr;
  for (TOOLRUNTIMEINFO& r : table->tools)
    if (strcmp(r.szName, name) == 0) return &r;
  return nullptr;
}
