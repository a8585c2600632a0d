// The tool's swap state in Config.ini and the operations that move it.
#include "runtime/tool_module.h"

int CToolModule::SwapNewModule(int /*ask*/) { return 0; }
int CToolModule::SwapReplaceModule(int /*ask*/) { return 0; }
int CToolModule::SwapRestoreModule(int /*ask*/) { return 0; }
int CToolModule::SwapDeleteModule(int /*ask*/) { return 0; }
