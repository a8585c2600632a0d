// The clock of the benchmarks: seconds from the performance counter.
#pragma once

#include <windows.h>

inline double Seconds() {
  LARGE_INTEGER frequency, count;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&count);
  return double(count.QuadPart) / double(frequency.QuadPart);
}
