#include "runtime/command_line.h"

namespace {

// Position of the "/" that ends the item at the start of `rest`, or -1 when it runs to the end.
// Only the first pair of quotes of `rest` protects: the quote search always starts at the front.
int FindItemEnd(const CString& rest) {
  int end = rest.Find('/');
  while (end >= 0) {
    int open = rest.Find('"');
    if (open < 0 || open > end) break;
    int close = rest.Find('"', open + 1);
    if (close < 0 || close < end) break;
    end = rest.Find('/', close);
  }
  return end;
}

}  // namespace

void CutCommandItems(const CString& commandLine, CStringArray& items) {
  CString rest = commandLine;
  while (!rest.IsEmpty()) {
    int slash = rest.Find('/');
    if (slash < 0) break;
    rest = rest.Mid(slash + 1);
    int end = FindItemEnd(rest);
    CString item = end < 0 ? rest : rest.Left(end);
    item.Trim();
    items.Add(item);
    rest = end < 0 ? CString() : rest.Mid(end);
  }
}
