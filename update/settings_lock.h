// The settings lock: the one lock that guards the tool settings documents of the process (the
// CRegisterDoc that CToolModule keeps in m_pRegisterDoc).
//
// Why it exists: a module's update worker merges the tool's feed into that document on a thread
// of its own, while the host reads and writes the same document through the settings exports.
// The document tree is not thread-safe, and a merged record is written back from a copy, so a
// value the host set between the copy and the write-back would be lost. Every reader and writer
// of a settings document holds this lock for the whole of its read-modify-write: each settings
// export, the worker's merge, the marks the worker sets after a download, the foreground check,
// and the module's destruction when it frees the document. (Module initialisation makes the
// document before any worker exists.)
//
// It is never held across a download: a WinINet call cannot be interrupted, and a stop must not
// wait for the lock behind one. Holders only change the tree in memory and save the file once.
//
// One lock for the process rather than one per document: a launcher holds one module and a host
// a few, the holders are short, and CToolModule keeps the layout hosts know. A kernel mutex rather
// than a critical section: a worker that outlives the stop's wait is terminated, and should that
// happen while it holds the lock, the mutex is abandoned and passes to the next waiter instead of
// staying held for ever (the document then holds what the merge had done so far).
#pragma once

#include <windows.h>

class SettingsLock {
 public:
  SettingsLock();
  SettingsLock(const SettingsLock&) = delete;
  SettingsLock& operator=(const SettingsLock&) = delete;
  ~SettingsLock();

 private:
  bool m_bOwned = false;
};
