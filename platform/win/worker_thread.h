// WorkerThread: one piece of work run on a thread of its own beside the caller's, for work that
// needs nothing of the caller's thread (a document loaded or saved while the registry is read or
// written). Wait, or the destructor, blocks until the work is done; an exception the work throws
// is thrown again from Wait on the caller's thread. When no thread can be started the work is
// done at once on the caller's thread, so a caller has no second path to write.
#pragma once

#include "platform/win/handles.h"

#include <exception>
#include <functional>

class WorkerThread {
 public:
  explicit WorkerThread(std::function<void()> work);
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;
  // Waits; an exception of the work is dropped here (Wait is the place to receive it).
  ~WorkerThread();

  void Wait();

 private:
  static UINT __cdecl Run(void* self);

  std::function<void()> m_work;
  std::exception_ptr m_error;
  UniqueHandle m_thread;
};
