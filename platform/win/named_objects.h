// The machine-wide named kernel objects through which the platform's processes meet, and the
// security attributes they are created with.
#pragma once

#include <windows.h>

// Claiming a record of the shared running-tool table (a mutex).
inline constexpr char kToolTableMutex[] = "velmora.qor.tool.runtime";
// Set whenever a tool's process is entered in the table: the platform main process's watch
// thread then waits on that process too (an event).
inline constexpr char kMonitorEvent[] = "velmora.qor.tool.moniter";
// The rights broker's request event and request-file mutex: this prefix and a number derived from
// the broker's secret (swap/right_protocol.h), so that no process without the secret can take
// the names before the broker's caller does.
inline constexpr char kRightObjectPrefix[] = "velmora.qor.right.";

// Security attributes whose access list gives this process's user and the administrators full
// access and nobody else any: the platform's processes of one user meet through these objects,
// and an elevated process (an administrator, whichever account consented) reaches them too.
// When the list cannot be built the object gets the default security of the creator's token.
class UserSecurityAttributes {
 public:
  explicit UserSecurityAttributes(bool inheritable);
  ~UserSecurityAttributes();
  UserSecurityAttributes(const UserSecurityAttributes&) = delete;
  UserSecurityAttributes& operator=(const UserSecurityAttributes&) = delete;
  SECURITY_ATTRIBUTES* get() { return &m_sa; }

 private:
  PSECURITY_DESCRIPTOR m_descriptor = nullptr;  // LocalAlloc'ed by the system
  SECURITY_ATTRIBUTES m_sa;
};
