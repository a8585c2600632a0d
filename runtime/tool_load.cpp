// Loading and unloading a tool.
#include "runtime/tool_module.h"

int CToolModule::LoadModule(const CString& /*target*/, const CString& /*mode*/) { return 0; }

int CToolModule::UnloadModule() { return 0; }
