#include "platform/services/zip_format.h"

namespace zip {

uint32_t DosTimeFromFileTime(const FILETIME& ft) {
  FILETIME local;
  WORD date = 0, time = 0;
  if (!FileTimeToLocalFileTime(&ft, &local) || !FileTimeToDosDateTime(&local, &date, &time))
    return (1u << 5 | 1u) << 16;  // 1980-01-01 00:00
  return (static_cast<uint32_t>(date) << 16) | time;
}

bool FileTimeFromDosTime(uint32_t dos, FILETIME* ft) {
  FILETIME local;
  if (!DosDateTimeToFileTime(static_cast<WORD>(dos >> 16), static_cast<WORD>(dos), &local)) return false;
  return LocalFileTimeToFileTime(&local, ft) != FALSE;
}

}  // namespace zip
