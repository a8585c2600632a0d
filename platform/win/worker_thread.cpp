#include "platform/win/worker_thread.h"

#include "platform/framework/afx_module.h"

#include <utility>

WorkerThread::WorkerThread(std::function<void()> work) : m_work(std::move(work)) {
  m_thread.reset(AfxBeginThread(&WorkerThread::Run, this));
  if (!m_thread) Run(this);
}

WorkerThread::~WorkerThread() {
  if (m_thread) WaitForSingleObject(m_thread.get(), INFINITE);
}

void WorkerThread::Wait() {
  if (m_thread) {
    WaitForSingleObject(m_thread.get(), INFINITE);
    m_thread.reset();
  }
  if (m_error) std::rethrow_exception(std::exchange(m_error, nullptr));
}

UINT __cdecl WorkerThread::Run(void* self) {
  auto* worker = static_cast<WorkerThread*>(self);
  try {
    worker->m_work();
  } catch (...) {
    worker->m_error = std::current_exception();
  }
  return 0;
}
