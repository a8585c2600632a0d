// KeySnapshot: a registry key read whole - its values and its subkeys at any depth - as the
// whole-key capture of a swap needs it, and the deletion of what was read.
//
// The keys of one depth are read at the same time on a WorkerPool, level after level, and each
// key stays open so that it can be deleted afterwards through the handle it was read with (one
// call per key). Values and subkeys are kept in the order the registry enumerates them, so a
// walk of the snapshot meets the keys in the order of a plain recursive reading. Everything is
// read through the Unicode registry functions: names as the registry holds them, data as raw
// bytes, values of every type (REG_NONE included).
#pragma once

#include "platform/win/handles.h"

#include <memory>
#include <string>
#include <vector>

class WorkerPool;

struct KeySnapshot {
  struct Value {
    std::wstring name;
    DWORD type = 0;
    std::vector<BYTE> data;
  };

  std::wstring path;  // the key's full path: its parent's, a backslash and its name
  std::wstring name;  // its name below the parent (empty for the key the snapshot starts at)
  RegKey key;    // open while the snapshot lives; null when the key could not be opened
  std::vector<Value> values;
  std::vector<std::unique_ptr<KeySnapshot>> children;
  // Every value and subkey name was read (a key that could not be opened is not whole).
  bool whole = false;
  bool deleted = false;

  // Reads the key that key refers to (the snapshot takes it over) and everything below it.
  static std::unique_ptr<KeySnapshot> Read(RegKey key, const std::wstring& path, WorkerPool& pool);

  // Deletes the keys of the snapshot, subkeys before their parents. A key is deleted only when
  // it was read whole and all its subkeys were deleted: what is missing from the snapshot stays
  // on the machine. True when the key itself was deleted.
  bool DeleteAll(WorkerPool& pool);

 private:
  KeySnapshot* parent = nullptr;

  void ReadOwn();
  void DeleteOwn();
};
