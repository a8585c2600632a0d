#include "swap/swap_report.h"

#include <cstring>

void SwapReport::Count(int& counter) {
  std::lock_guard<std::mutex> hold(m_lock);
  ++counter;
}

void SwapReport::Failed(const char* step, const CString& item, DWORD error) {
  std::lock_guard<std::mutex> hold(m_lock);
  m_failures.push_back(SwapFailure{step, item, error});
}

std::vector<SwapFailure> SwapReport::Failures(const char* step) const {
  std::lock_guard<std::mutex> hold(m_lock);
  std::vector<SwapFailure> of;
  for (const SwapFailure& f : m_failures)
    if (!step || strcmp(f.step, step) == 0) of.push_back(f);
  return of;
}

size_t SwapReport::FailureCount() const {
  std::lock_guard<std::mutex> hold(m_lock);
  return m_failures.size();
}

void SwapReport::Reset() {
  std::lock_guard<std::mutex> hold(m_lock);
  m_captured = m_cleared = m_written = 0;
  m_failures.clear();
}
