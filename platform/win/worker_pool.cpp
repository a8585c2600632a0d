#include "platform/win/worker_pool.h"

#include "platform/framework/afx_module.h"

#include <climits>
#include <stdexcept>
#include <utility>

WorkerPool::WorkerPool(int threads) : m_wanted(threads > 1 ? threads - 1 : 0) {
  InitializeCriticalSection(&m_errorLock);
}

// The threads start with the first job that has items for them: a pool whose jobs all have one
// item costs no thread at all.
void WorkerPool::Start() {
  m_started = true;
  m_done.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
  if (!m_done) return;  // no pool threads then: the caller does every job alone
  // Reserved: a running thread reads its entries while later ones are added.
  m_starts.reserve(m_wanted);
  m_go.reserve(m_wanted);
  for (int i = 0; i < m_wanted; ++i) {
    UniqueHandle go(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (!go) break;
    m_starts.push_back(ThreadStart{this, i});
    m_go.push_back(std::move(go));
    UniqueHandle thread(AfxBeginThread(&WorkerPool::ThreadMain, &m_starts.back()));
    if (!thread) {
      m_go.pop_back();
      m_starts.pop_back();
      break;
    }
    m_threads.push_back(std::move(thread));
  }
}

WorkerPool::~WorkerPool() {
  m_stop = true;
  for (auto& go : m_go) SetEvent(go.get());
  for (auto& thread : m_threads) WaitForSingleObject(thread.get(), INFINITE);
  DeleteCriticalSection(&m_errorLock);
}

void WorkerPool::ForEach(size_t count, const std::function<void(size_t, int)>& fn) {
  if (count == 0) return;
  if (count > static_cast<size_t>(LONG_MAX)) throw std::length_error("WorkerPool: too many items");
  if (count > 1 && !m_started) Start();
  m_job = &fn;
  m_count = static_cast<LONG>(count);
  m_next = 0;
  // Only as many pool threads as there are items beyond the caller's first one are woken.
  const size_t helpers = count - 1 < m_threads.size() ? count - 1 : m_threads.size();
  m_running = static_cast<LONG>(helpers) + 1;
  for (size_t i = 0; i < helpers; ++i) SetEvent(m_go[i].get());
  Work(Size() - 1);
  if (m_done) WaitForSingleObject(m_done.get(), INFINITE);  // set by whichever thread ended last
  m_job = nullptr;
  if (m_error) std::rethrow_exception(std::exchange(m_error, nullptr));
}

UINT __cdecl WorkerPool::ThreadMain(void* start) {
  const ThreadStart& s = *static_cast<const ThreadStart*>(start);
  for (;;) {
    WaitForSingleObject(s.pool->m_go[s.thread].get(), INFINITE);
    if (s.pool->m_stop) return 0;
    s.pool->Work(s.thread);
  }
}

void WorkerPool::Work(int thread) {
  for (;;) {
    LONG item = InterlockedIncrement(&m_next) - 1;
    if (item >= m_count) break;
    try {
      (*m_job)(static_cast<size_t>(item), thread);
    } catch (...) {
      CriticalSectionLock hold(&m_errorLock);
      if (!m_error) m_error = std::current_exception();
    }
  }
  if (InterlockedDecrement(&m_running) == 0 && m_done) SetEvent(m_done.get());
}
