// Swapping a tool package in and out between its two registration documents and the machine.
#include "runtime/tool_module.h"

int CToolModule::BackupTool() { return 0; }

int CToolModule::RestoreTool() { return 0; }

CSysRegDoc* CToolModule::GetSysRegDoc(const CString& /*path*/) { return nullptr; }
