// The running-tool table as every process on the machine sees it: the shared section of a loaded
// Vantel10.dll, found through the library's own section table.
#pragma once

#include "runtime/shared_data.h"

#include <windows.h>

// Loads Vantel10.dll from the build's bin folder (it stays loaded) and returns its shared block;
// null when the library or its shared section cannot be found.
SHAREDTOOLDATA* LoadedSharedTable();
// The record named exactly `name`, or null.
TOOLRUNTIMEINFO* FindRecord(SHAREDTOOLDATA* table, const char* name);
