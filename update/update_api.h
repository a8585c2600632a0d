// The update exports of Vantel10.dll: a tool's update check run in the foreground, and the wait
// for the background one. The feed and what a check does: docs/feed.md.
//
// Both take the tool's runtime parameter block and find or create its module as DllRunModule
// does; no exception leaves them.
#pragma once

#include "platform/framework/afx_coll.h"
#include "runtime/runtime_param.h"

extern "C" {
// Runs one check of the tool's update feed on the calling thread, as the update worker runs it
// after an application start (`host check <dataid>` calls it). The two arrays are emptied first;
// then queued gets "<dataid>\t<version>" for each update record this check set waiting, and
// downloaded gets "<dataid>\t<version>\t<folder>" for each one it downloaded and unpacked. 1 when
// the feed was read and merged; 0 when the tool names no feed (its parameter "Remote" is then
// empty) or the feed could not be fetched or is not a feed.
int __cdecl DllCheckUpdate(RUNTIMEPARAM* block, CStringArray& queued, CStringArray& downloaded);
// Waits up to timeoutMs for the background check that the tool's application start began. 1 when
// no check runs (it has ended, or none was started), 0 when the time ran out. A launcher calls it
// before it ends, since unloading the library stops the check.
int __cdecl DllWaitUpdate(RUNTIMEPARAM* block, unsigned long timeoutMs);
}
