// The swap log: Swap.log in the tool's swap folder holds the last few swaps, each a few lines:
//
//   == 2026-12-06 16:30:01 swap in: 12 captured, 12 cleared, 34 written
//      clear failed: file C:\AccData\app.cfg (error 32)
//
// An entry names the step (swap in, swap out, recovery, refused ...), the counts of the report
// and every failure with its Win32 error code. Older entries are dropped beyond kKeptSwapLogEntries.
#pragma once

#include "platform/framework/afx_string.h"
#include "swap/swap_report.h"

inline constexpr int kKeptSwapLogEntries = 10;

void AppendSwapLog(const CString& swapFolder, const CString& step, const SwapReport& report);
