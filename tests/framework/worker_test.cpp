// The worker threads of the swap: a pool that spreads the items of a job over its threads and
// the caller's, and a single piece of work run beside the caller.
#include "platform/win/worker_pool.h"
#include "platform/win/worker_thread.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <vector>

namespace {

TEST(WorkerPool, EveryItemOfEveryJobRunsOnceOnAThreadOfThePool) {
  WorkerPool pool(4);
  const DWORD caller = GetCurrentThreadId();
  std::set<DWORD> seen;
  CRITICAL_SECTION lock;
  InitializeCriticalSection(&lock);
  for (size_t count : {0u, 1u, 2u, 3u, 7u, 100u, 1000u, 1u, 5u}) {
    std::vector<LONG> runs(count, 0);
    bool indexOutside = false, oneItemElsewhere = false;
    pool.ForEach(count, [&](size_t item, int thread) {
      InterlockedIncrement(&runs[item]);
      if (thread < 0 || thread >= pool.Size()) indexOutside = true;
      if (count == 1 && GetCurrentThreadId() != caller) oneItemElsewhere = true;
      EnterCriticalSection(&lock);
      seen.insert(GetCurrentThreadId());
      LeaveCriticalSection(&lock);
      if (item % 50 == 0) Sleep(1);  // lets the other threads take items meanwhile
    });
    for (size_t i = 0; i < count; ++i) ASSERT_EQ(runs[i], 1) << "item " << i << " of " << count;
    EXPECT_FALSE(indexOutside) << count;
    EXPECT_FALSE(oneItemElsewhere) << "a job of one item is the caller's";
  }
  DeleteCriticalSection(&lock);
  EXPECT_EQ(pool.Size(), 4);
  EXPECT_GT(seen.size(), 1u);
  EXPECT_LE(seen.size(), 4u);
}

TEST(WorkerPool, AnItemsExceptionComesBackOnceTheWholeJobHasRun) {
  WorkerPool pool(3);
  std::vector<LONG> runs(60, 0);
  auto job = [&](size_t item, int) {
    InterlockedIncrement(&runs[item]);
    if (item == 7 || item == 31) throw std::runtime_error("item " + std::to_string(item));
  };
  EXPECT_THROW(pool.ForEach(runs.size(), job), std::runtime_error);
  for (size_t i = 0; i < runs.size(); ++i) EXPECT_EQ(runs[i], 1) << i;
  // The pool goes on working after a failed job.
  LONG total = 0;
  pool.ForEach(10, [&](size_t, int) { InterlockedIncrement(&total); });
  EXPECT_EQ(total, 10);
}

TEST(WorkerPool, APoolOfOneThreadIsTheCallerAlone) {
  WorkerPool pool(1);
  EXPECT_EQ(pool.Size(), 1);
  const DWORD caller = GetCurrentThreadId();
  int elsewhere = 0, count = 0;
  pool.ForEach(25, [&](size_t, int thread) {
    ++count;  // no other thread: plain counters are safe
    if (GetCurrentThreadId() != caller || thread != 0) ++elsewhere;
  });
  EXPECT_EQ(count, 25);
  EXPECT_EQ(elsewhere, 0);
}

TEST(WorkerThread, RunsBesideTheCallerAndHandsItsExceptionToWait) {
  DWORD worker = 0;
  {
    WorkerThread thread([&] { worker = GetCurrentThreadId(); });
    thread.Wait();
  }
  EXPECT_NE(worker, 0u);
  EXPECT_NE(worker, GetCurrentThreadId());

  WorkerThread failing([] { throw std::logic_error("broken"); });
  EXPECT_THROW(failing.Wait(), std::logic_error);
  EXPECT_NO_THROW(failing.Wait());  // handed over once

  // Without Wait the destructor still waits for the work to end.
  volatile LONG done = 0;
  {
    WorkerThread slow([&] {
      Sleep(100);
      InterlockedExchange(&done, 1);
    });
  }
  EXPECT_EQ(done, 1);
}

}  // namespace
