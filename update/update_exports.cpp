#include "update/update_api.h"

#include "platform/doctree/register_doc.h"
#include "runtime/export_guard.h"
#include "runtime/module_registry.h"
#include "runtime/tool_module.h"
#include "update/update_check.h"
#include "update/update_worker.h"

namespace {

const char kFieldSeparator[] = "\t";

}  // namespace

extern "C" int __cdecl DllCheckUpdate(RUNTIMEPARAM* block, CStringArray& queued, CStringArray& downloaded) {
  queued.RemoveAll();
  downloaded.RemoveAll();
  return GuardedExport(0, [&] {
    CToolModule* module = FindOrCreateModule(block);
    if (!module) return 0;
    const volatile LONG neverStopped = 0;
    std::unique_ptr<CRegisterDoc> feed;
    CUpdateCheck check(*module, neverStopped);
    int read = check.Run(feed);
    for (const UpdateItem& item : check.Report().queued) queued.Add(item.dataId + kFieldSeparator + item.version);
    for (const UpdateItem& item : check.Report().downloaded)
      downloaded.Add(item.dataId + kFieldSeparator + item.version + kFieldSeparator + item.folder);
    return read;
  });
}

extern "C" int __cdecl DllWaitUpdate(RUNTIMEPARAM* block, unsigned long timeoutMs) {
  return GuardedExport(0, [&] {
    CToolModule* module = FindOrCreateModule(block);
    return module && (!module->m_pUpdateWorker || module->m_pUpdateWorker->Wait(timeoutMs)) ? 1 : 0;
  });
}
