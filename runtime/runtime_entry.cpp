// The three plain exports a tool's launcher calls.
#include "runtime/export_guard.h"
#include "runtime/module_registry.h"
#include "runtime/tool_module.h"


#include <cstring>

// A load whose browser object cannot be created raises _com_error inside the library; like any
// other exception it does not cross into the host: the command fails with 0.
extern "C" int __cdecl DllRunModule(RUNTIMEPARAM* block) {
  return GuardedExport(0, [block] {
    CToolModule* module = FindOrCreateModule(block);
    if (!module || !module->CheckSwapFolder(1)) return 0;
    TOOLRUNTIMEINFO* record = RegisterRunningTool(module->m_strID);
    if (!record) return 0;
    module->m_pRuntimeInfo = record;
    return module->RunModule();
  });
}

extern "C" int __cdecl DllGetRuntimeInfo(RUNTIMEPARAM* block, TOOLRUNTIMEINFO* out) {
  memset(out, 0, sizeof *out);
  return GuardedExport(0, [block, out] {
    CToolModule* module = FindOrCreateModule(block);
    TOOLRUNTIMEINFO* record = module ? FindRunningTool(module->m_strID) : nullptr;
    if (!record) return 0;
    memcpy(out, record, sizeof *out);
    return 1;
  });
}

extern "C" int __cdecl DllGetToolRuntimeInfo(const char* dataId, TOOLRUNTIMEINFO* out) {
  memset(out, 0, sizeof *out);
  return GuardedExport(0, [dataId, out] {
    TOOLRUNTIMEINFO* record = dataId ? FindRunningTool(dataId) : nullptr;
    if (!record) return 0;
    memcpy(out, record, sizeof *out);
    return 1;
  });
}

extern "C" int __cdecl DllSetRuntimeParam(RUNTIMEPARAM* block, DWORD value) {
  return GuardedExport(0, [block, value] {
    CToolModule* module = FindOrCreateModule(block);
    TOOLRUNTIMEINFO* record = module ? FindRunningTool(module->m_strID) : nullptr;
    if (!record) return 0;
    record->dwParam = value;
    return 1;
  });
}
