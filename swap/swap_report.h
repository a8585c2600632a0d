// What one half of a swap did: how many items it captured, cleared and wrote, and each item it
// could not capture, clear or write, with the Win32 error code of the failure.
#pragma once

#include "platform/framework/afx_string.h"

#include <windows.h>

#include <mutex>
#include <vector>

struct SwapFailure {
  CString step;  // "capture", "clear" or "write"
  CString item;  // the item as its record names it
  DWORD error;   // the Win32 error code; 0 when the system gave none
};

class SwapReport {
 public:
  void Captured() { Count(m_captured); }
  void Cleared() { Count(m_cleared); }
  void Written() { Count(m_written); }
  void Failed(const char* step, const CString& item, DWORD error);

  int captured() const { return m_captured; }
  int cleared() const { return m_cleared; }
  int written() const { return m_written; }
  std::vector<SwapFailure> Failures(const char* step) const;
  size_t FailureCount() const;
  void Reset();

 private:
  void Count(int& counter);

  mutable std::mutex m_lock;  // the write-back runs on several threads
  int m_captured = 0, m_cleared = 0, m_written = 0;
  std::vector<SwapFailure> m_failures;
};
