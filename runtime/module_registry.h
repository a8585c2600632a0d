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

// Claims the tool's record under the table's named mutex (5 s wait; a mutex abandoned by a
// process that died holding it counts as had): the record whose name equals the ID over 15
// characters ignoring case, else the first free one, which then takes the ID (at most 15
// characters, always NUL-terminated) as its name. Null when the table is full or the mutex
// cannot be had.
TOOLRUNTIMEINFO* RegisterRunningTool(const CString& id);

// Frees a record (all 28 bytes zero) under the table's mutex. Null is ignored.
void ReleaseRunningTool(TOOLRUNTIMEINFO* record);

// Sets or clears state bits of a record in one interlocked operation: launchers and the main
// process change different bits of one record at the same time. Null is ignored.
void SetToolState(TOOLRUNTIMEINFO* record, DWORD bits);
void ClearToolState(TOOLRUNTIMEINFO* record, DWORD bits);

// Wakes the platform main process's watch thread (the monitor event), when there is one: a
// process was entered in the table.
void SignalToolMonitor();

// The record whose name equals the ID exactly (whole string, case-sensitive); null if none.
TOOLRUNTIMEINFO* FindRunningTool(const CString& id);

// Creates the registry (at library start-up) and destroys every module in it (when the library
// is unloaded; not at process exit, when the process's other libraries may be gone already).
void CreateModuleRegistry();
void DestroyModuleRegistry();
