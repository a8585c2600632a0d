// WorkerPool: a few threads that work through one job at a time, together with the caller.
//
// Meant for registry work. Each registry call mostly waits (on Wine it is a round trip to the
// wineserver, elsewhere a system call that takes the hive's lock), so one caller leaves the
// registry idle between its calls; several callers at once keep it busy and finish the same
// calls in a fraction of the time. A job is a count of items; every thread takes the next item
// from a shared counter until none is left, and ForEach returns when all are done.
//
// A pool whose threads could not be started runs its jobs on the caller's thread alone. The
// pool runs one job at a time: ForEach must not be called again before it has returned.
#pragma once

#include "platform/win/handles.h"

#include <exception>
#include <functional>
#include <vector>

class WorkerPool {
 public:
  // The number of threads, the caller's included, that registry jobs are spread over.
  static constexpr int kRegistryThreads = 4;

  // A pool of threads - 1 threads besides the caller, started when a job first needs them.
  explicit WorkerPool(int threads = kRegistryThreads);
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;
  ~WorkerPool();

  // Threads that take part in a job (the caller's included); each has an index below this.
  // Before the first job with more than one item: the threads the pool will try to start.
  int Size() const { return (m_started ? static_cast<int>(m_threads.size()) : m_wanted) + 1; }

  // Calls fn(item, thread) once for every item below count and waits for all of them. thread
  // is the index of the calling thread, for state of its own (an open key, a buffer). The first
  // exception an item throws is thrown again here once the job has ended; later items of the
  // job still run.
  void ForEach(size_t count, const std::function<void(size_t item, int thread)>& fn);

 private:
  struct ThreadStart {
    WorkerPool* pool;
    int thread;
  };
  static UINT __cdecl ThreadMain(void* start);
  void Start();
  void Work(int thread);

  int m_wanted;
  bool m_started = false;

  std::vector<ThreadStart> m_starts;  // one per pool thread, for ThreadMain
  std::vector<UniqueHandle> m_go;     // one auto-reset event per pool thread: a job (or the end)
  std::vector<UniqueHandle> m_threads;
  UniqueHandle m_done;                // auto-reset: the last thread of a job has finished
  const std::function<void(size_t, int)>* m_job = nullptr;
  LONG m_count = 0;
  volatile LONG m_next = 0;     // the next item to take
  volatile LONG m_running = 0;  // threads still working on the job
  bool m_stop = false;
  CRITICAL_SECTION m_errorLock;
  std::exception_ptr m_error;
};
