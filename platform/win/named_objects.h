// The machine-wide named kernel objects through which the platform's processes meet, and the
// security attributes they are created with.
#pragma once

#include <windows.h>

// Claiming a record of the shared running-tool table (a mutex).
inline constexpr char kToolTableMutex[] = "velmora.qor.tool.runtime";
// Set whenever a tool's process is entered in the table: the platform main process's watch
// thread then waits on that process too (an event).
inline constexpr char kMonitorEvent[] = "velmora.qor.tool.moniter";
// The rights broker: its request event, the event of the one caller that launches it, and the
// mutex around its request file.
inline constexpr char kRightRequestEvent[] = "velmora.qor.right";
inline constexpr char kRightCreatorEvent[] = "velmora.qor.right.creator";
inline constexpr char kRightFileMutex[] = "velmora.qor.right.file";

// Security attributes whose descriptor has a null access list: the object is open to every
// account, so a process without rights can use what an elevated one created, and back.
class OpenSecurityAttributes {
 public:
  explicit OpenSecurityAttributes(bool inheritable);
  OpenSecurityAttributes(const OpenSecurityAttributes&) = delete;
  OpenSecurityAttributes& operator=(const OpenSecurityAttributes&) = delete;
  SECURITY_ATTRIBUTES* get() { return &m_sa; }

 private:
  SECURITY_DESCRIPTOR m_sd;
  SECURITY_ATTRIBUTES m_sa;
};
