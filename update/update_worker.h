// The update worker: the background check of a tool's update feed (update/update_check.h).
//
// A module has at most one (CToolModule::m_pUpdateWorker, owned by the module). It is started
// after a successful application start when the tool names a feed (m_strRemote), and runs one
// check on a thread of its own. A second application start of the same module stops the earlier
// worker first, then starts a new one. The module's destruction stops it:
//   the stop flag is set (the worker looks at it before each merge level and each download; a
//   download under way finishes); the thread gets 5000 ms to end and is terminated after that
//   (exit code 0xFFFFFFFF); the owner's DownloadCompleted(0) is called, once per worker; the feed
//   document is freed. The worker never holds the settings lock across a download, so a stop
//   never waits on it.
#pragma once

#include "platform/win/handles.h"

#include <memory>

class CRegisterDoc;
class CToolModule;

class CUpdateWorker {
 public:
  explicit CUpdateWorker(CToolModule& owner);
  CUpdateWorker(const CUpdateWorker&) = delete;
  CUpdateWorker& operator=(const CUpdateWorker&) = delete;
  // Stops the worker first when that was not done.
  ~CUpdateWorker();

  // Starts the thread; false when it could not be started.
  bool Start();
  // The stop described above. A worker that never started, or was stopped already, does nothing.
  void Stop();
  // Waits up to timeoutMs for the check to end; true when it has ended (or never started).
  bool Wait(DWORD timeoutMs) const;
  // The thread's identifier, 0 before Start.
  DWORD ThreadId() const { return m_dwThreadId; }

 private:
  static UINT __cdecl Run(void* self);

  CToolModule& m_owner;
  UniqueHandle m_thread;
  DWORD m_dwThreadId = 0;
  volatile LONG m_nStop = 0;
  std::unique_ptr<CRegisterDoc> m_pFeed;
};

// The module's application start: when the tool names a feed, the earlier worker (if any) is
// stopped and freed, and a new one is made, stored in m_pUpdateWorker and started.
void StartUpdateWorker(CToolModule& module);
// The module's destruction: its worker is stopped and freed.
void StopUpdateWorker(CToolModule& module);
