#include "runtime/shared_data.h"

// ".shr" is marked shared and writable by the attribute, so the loader maps one copy for every
// process. Zero-initialised data would go to .bss, which is never shared: the section attribute
// keeps it here.
__attribute__((section(".shr"), shared)) SHAREDTOOLDATA g_sharedToolData = {};

SHAREDTOOLDATA& SharedToolData() { return g_sharedToolData; }
