#include "platform/services/afs.h"

CAFS* CAFS::m_pthis = nullptr;

CAFS::CAFS() {
  InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(&m_pthis), this, nullptr);
}

CAFS::~CAFS() {
  InterlockedCompareExchangePointer(reinterpret_cast<void* volatile*>(&m_pthis), nullptr, this);
}
