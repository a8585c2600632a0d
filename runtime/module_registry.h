// The module registry (one CToolModule per runtime parameter block, per process) and the claim
// of records in the machine-wide running-tool table.
#pragma once

#include "platform/framework/afx_string.h"
#include "runtime/runtime_param.h"

class CToolModule;

// The block's module: found by block address, or created, initialised and appended. The module
// reads "NeedAdmin", "LocalApp", "System" and "Name" from the block when it is created and writes
// its seventeen folder and setting keys back.
CToolModule* FindOrCreateModule(RUNTIMEPARAM* block);

// Claims the tool's record under the named mutex "velmora.qor.tool.runtime" (5 s wait): the record
// whose name equals the ID over 15 characters ignoring case, else the first free one, which then
// takes the ID as its name. Null when the table is full or the mutex cannot be had.
TOOLRUNTIMEINFO* RegisterRunningTool(const CString& id);

// Frees a record (all 28 bytes zero). Null is ignored; no lock is taken.
void ReleaseRunningTool(TOOLRUNTIMEINFO* record);

// Wakes the platform main process's watch thread (the monitor event), when there is one: a
// process was entered in the table.
void SignalToolMonitor();

// The record whose name equals the ID exactly (whole string, case-sensitive); null if none.
TOOLRUNTIMEINFO* FindRunningTool(const CString& id);

// Creates the registry (at library start-up) and destroys every module in it (when the library
// is unloaded; not at process exit, when the process's other libraries may be gone already).
void CreateModuleRegistry();
void DestroyModuleRegistry();
