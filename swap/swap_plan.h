// SwapPlan: what the capture pass of a swap found and decided, for the clear pass that follows it.
// The capture pass changes nothing on the machine; between the two the caller saves what it must
// (the backup of the machine, the tool's own document), so that a swap killed at any moment can be
// completed or undone.
#pragma once

#include "platform/win/worker_pool.h"
#include "swap/key_snapshot.h"
#include "swap/sys_reg_rec.h"

#include <memory>
#include <string>
#include <vector>

struct SwapPlanItem {
  CSysRegRec record;                      // the "config" record of the item (a copy)
  std::unique_ptr<KeySnapshot> snapshot;  // a whole key, read once by the capture
  std::vector<std::wstring> classKeys;    // keys below HKEY_CLASSES_ROOT that go with it
};

class SwapPlan {
 public:
  std::vector<SwapPlanItem> items;
  WorkerPool pool;  // reads and deletes whole keys

  // The items as the swap journal names them ("register|<key>", "value|<key>|<name>",
  // "file|<path>", "association|<extension>", "service|<name>", "library|<guid>",
  // "firewall|<path>"), in UTF-8.
  std::vector<std::string> JournalItems() const;
};
