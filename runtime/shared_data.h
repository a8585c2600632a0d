// The block every process that loads the library shares: the platform main window's handle and
// the running-tool table. It lives in a shared, writable section of the library image, so it is
// zero when first mapped and one block for all processes on the machine.
//
//   offset 0   HWND of the platform's hidden main window (0 when there is none)
//   offset 4   reserved
//   offset 8   20 TOOLRUNTIMEINFO records of 28 bytes
//
// Claiming and releasing a record are serialised by a named mutex; state bits are changed with
// interlocked operations (several processes change bits of one record); the other fields are
// read and written with plain aligned 32-bit accesses (see module_registry).
#pragma once

#include <windows.h>

#include <cstddef>

#define TOOLSTATE_APP 0x1
#define TOOLSTATE_PLUGIN 0x2
#define TOOLSTATE_GADGET 0x4
#define TOOLSTATE_LOADED_MASK 0xF

#define TOOL_RECORD_COUNT 20
#define TOOL_NAME_SIZE 16

struct TOOLRUNTIMEINFO {
  DWORD dwProcessId;
  char szName[TOOL_NAME_SIZE];
  DWORD dwState;
  DWORD dwParam;
};

struct SHAREDTOOLDATA {
  HWND hMainWnd;
  DWORD dwReserved;
  TOOLRUNTIMEINFO tools[TOOL_RECORD_COUNT];
};

static_assert(sizeof(TOOLRUNTIMEINFO) == 28, "record is 28 bytes");
static_assert(offsetof(TOOLRUNTIMEINFO, szName) == 4, "record layout");
static_assert(offsetof(TOOLRUNTIMEINFO, dwState) == 20, "record layout");
static_assert(offsetof(TOOLRUNTIMEINFO, dwParam) == 24, "record layout");
static_assert(offsetof(SHAREDTOOLDATA, tools) == 8, "table follows the handle and reserved word");
static_assert(sizeof(SHAREDTOOLDATA) == 0x238, "shared block is 0x238 bytes");

// The shared block of this machine.
SHAREDTOOLDATA& SharedToolData();
