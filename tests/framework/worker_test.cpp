// The worker threads of the swap: a pool that spreads the items of a job over its threads and
// the caller's, and a single piece of work run beside the caller.
#include "platform/win/worker_pool.h"
#include "platform/win/worker_thread.h"

#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <stdexcept>
#include <vector>

namespace {

// Every item of every job runs once, on the caller's thread or one of the pool's (a job of one
// item, and every job of a pool of one thread, on the caller's alone), with the index of its
// thread below the pool's size.
TEST(WorkerPool, EveryItemOfEveryJobRunsOnceOnAThreadOfThePool) {
  const DWORD caller = GetCurrentThreadId();
  std::mutex lock;
  for (int size : {1, 4}) {
    WorkerPool pool(size);
    std::set<DWORD> seen;
    for (size_t count : {0u, 1u, 2u, 3u, 7u, 100u, 1000u, 1u, 5u}) {
      std::vector<LONG> runs(count, 0);
      bool indexOutside = false, oneItemElsewhere = false;
      pool.ForEach(count, [&](size_t item, int thread) {
        InterlockedIncrement(&runs[item]);
        if (thread < 0 || thread >= pool.Size()) indexOutside = true;
        if (count == 1 && GetCurrentThreadId() != caller) oneItemElsewhere = true;
        if (item % 50 == 0) Sleep(1);  // lets the other threads take items meanwhile
        std::lock_guard<std::mutex> hold(lock);
        seen.insert(GetCurrentThreadId());
      });
      for (size_t i = 0; i < count; ++i) ASSERT_EQ(runs[i], 1) << "item " << i << " of " << count;
      EXPECT_FALSE(indexOutside) << count;
      EXPECT_FALSE(oneItemElsewhere) << "a job of one item is the caller's";
    }
    EXPECT_EQ(pool.Size(), size);
    EXPECT_EQ(seen.count(caller), 1u);
    EXPECT_EQ(seen.size() > 1, size > 1);
    EXPECT_LE(seen.size(), static_cast<size_t>(size));
  }
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
