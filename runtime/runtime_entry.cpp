// The three plain exports a tool's launcher calls.
#include "runtime/module_registry.h"
#include "runtime/tool_module.h"

#include <comdef.h>

#include <cstring>

extern "C" int __cdecl DllRunModule(RUNTIMEPARAM* block) {
  CToolModule* module = FindOrCreateModule(block);
  if (!module || !module->CheckSwapFolder(1)) return 0;
  TOOLRUNTIMEINFO* record = RegisterRunningTool(module->m_strID);
  if (!record) return 0;
  module->m_pRuntimeInfo = record;
  // A load whose browser object cannot be created raises _com_error inside the library; it
  // does not cross into a host that cannot catch it: the command fails with 0.
  try {
    return module->RunModule();
  } catch (const _com_error&) {
    return 0;
  }
}

extern "C" int __cdecl DllGetRuntimeInfo(RUNTIMEPARAM* block, TOOLRUNTIMEINFO* out) {
  CToolModule* module = FindOrCreateModule(block);
  TOOLRUNTIMEINFO* record = module ? FindRunningTool(module->m_strID) : nullptr;
  if (!record) {
    memset(out, 0, sizeof *out);
    return 0;
  }
  memcpy(out, record, sizeof *out);
  return 1;
}

extern "C" int __cdecl DllSetRuntimeParam(RUNTIMEPARAM* block, DWORD value) {
  CToolModule* module = FindOrCreateModule(block);
  TOOLRUNTIMEINFO* record = module ? FindRunningTool(module->m_strID) : nullptr;
  if (!record) return 0;
  record->dwParam = value;
  return 1;
}
