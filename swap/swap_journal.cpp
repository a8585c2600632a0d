#include "swap/swap_journal.h"

#include "platform/win/durable_file.h"

#include <cstring>
#include <fstream>
#include <sstream>

namespace {

const char kJournalFile[] = "\\Swap.journal";
const char* const kPhaseWords[] = {"idle", "in-clearing", "in", "out-capturing", "out-writing"};

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

}  // namespace

SwapJournal::SwapJournal(const CString& swapFolder) : m_path(swapFolder + kJournalFile) {}

SwapJournalState SwapJournal::Read() const {
  SwapJournalState state;
  std::ifstream in(m_path.c_str(), std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.compare(0, 6, "phase=") == 0) {
      for (size_t i = 0; i < sizeof kPhaseWords / sizeof kPhaseWords[0]; ++i)
        if (line.substr(6) == kPhaseWords[i]) state.phase = static_cast<SwapPhase>(i);
    } else if (line.compare(0, 5, "item=") == 0) {
      state.items.push_back(line.substr(5));
    }
  }
  return state;
}

bool SwapJournal::Write(SwapPhase phase, const std::vector<std::string>& items) const {
  std::string text = std::string("phase=") + kPhaseWords[static_cast<int>(phase)] + "\r\n";
  for (const std::string& item : items) text += "item=" + item + "\r\n";
  return WriteFileDurably(m_path.c_str(), text);
}

namespace {

struct Item {
  std::string kind, path, name;  // upper case; name only for a value
};

Item Parse(const std::string& text) {
  Item item;
  std::string upper = Upper(text);
  size_t bar = upper.find('|');
  item.kind = upper.substr(0, bar);
  std::string rest = bar == std::string::npos ? std::string() : upper.substr(bar + 1);
  size_t name = item.kind == "VALUE" ? rest.rfind('|') : std::string::npos;
  item.path = rest.substr(0, name);
  if (name != std::string::npos) item.name = rest.substr(name + 1);
  return item;
}

// Whether the key path is the other or lies below it.
bool Within(const std::string& inner, const std::string& outer) {
  return inner == outer ||
         (inner.size() > outer.size() && inner.compare(0, outer.size(), outer) == 0 && inner[outer.size()] == '\\');
}

}  // namespace

bool ItemsOverlap(const std::string& a, const std::string& b) {
  Item x = Parse(a), y = Parse(b);
  if (x.kind == "REGISTER" && y.kind == "REGISTER") return Within(x.path, y.path) || Within(y.path, x.path);
  if (x.kind == "REGISTER" && y.kind == "VALUE") return Within(y.path, x.path);
  if (x.kind == "VALUE" && y.kind == "REGISTER") return Within(x.path, y.path);
  return x.kind == y.kind && x.path == y.path && x.name == y.name;
}
