#include "swap/swap_log.h"

#include <fstream>
#include <sstream>
#include <vector>

void AppendSwapLog(const CString& swapFolder, const CString& step, const SwapReport& report) {
  CString file = swapFolder + "\\Swap.log";
  std::vector<std::string> entries;
  {
    std::ifstream in(file.c_str(), std::ios::binary);
    for (std::string line; std::getline(in, line);) {
      if (line.compare(0, 3, "== ") == 0 || entries.empty()) entries.emplace_back();
      entries.back() += line + "\n";
    }
  }
  SYSTEMTIME now;
  GetLocalTime(&now);
  char head[160];
  snprintf(head, sizeof head, "== %04u-%02u-%02u %02u:%02u:%02u %s: %d captured, %d cleared, %d written\r\n", now.wYear,
           now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, step.c_str(), report.captured(),
           report.cleared(), report.written());
  std::string entry = head;
  for (const SwapFailure& f : report.Failures(nullptr)) {
    char line[64];
    snprintf(line, sizeof line, " (error %lu)\r\n", f.error);
    entry += "   " + std::string(f.step.c_str()) + " failed: " + f.item.c_str() + line;
  }
  entries.push_back(entry);
  size_t first = entries.size() > static_cast<size_t>(kKeptSwapLogEntries) ? entries.size() - kKeptSwapLogEntries : 0;
  std::ofstream out(file.c_str(), std::ios::binary | std::ios::trunc);
  for (size_t i = first; i < entries.size(); ++i) out << entries[i];
}
