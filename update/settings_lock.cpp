#include "update/settings_lock.h"

#include "platform/win/handles.h"

namespace {

// Made on first use and kept for the process's life.
HANDLE SettingsMutex() {
  static UniqueHandle mutex(CreateMutexA(nullptr, FALSE, nullptr));
  return mutex.get();
}

}  // namespace

SettingsLock::SettingsLock() {
  // Without a mutex (the system could not make one) the wait fails and nothing is held; nothing
  // else would work on such a machine either.
  DWORD r = WaitForSingleObject(SettingsMutex(), INFINITE);
  m_bOwned = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
}

SettingsLock::~SettingsLock() {
  if (m_bOwned) ReleaseMutex(SettingsMutex());
}
