#include "update/version_compare.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

int Sign(int value) { return (value > 0) - (value < 0); }

std::vector<std::string> SplitAtDots(const char* text) {
  std::vector<std::string> parts(1);
  for (const char* c = text; *c; ++c) {
    if (*c == '.')
      parts.emplace_back();
    else
      parts.back() += *c;
  }
  return parts;
}

size_t LeadingDigits(const std::string& part) { return std::min(part.find_first_not_of("0123456789"), part.size()); }

// Two digit strings as numbers of any length: without their leading zeros, the longer one is the
// bigger, and equal lengths compare digit by digit.
int CompareNumbers(const std::string& a, const std::string& b) {
  const std::string x = a.substr(std::min(a.find_first_not_of('0'), a.size()));
  const std::string y = b.substr(std::min(b.find_first_not_of('0'), b.size()));
  if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
  return Sign(x.compare(y));
}

int ComparePart(const std::string& a, const std::string& b) {
  const size_t digitsA = LeadingDigits(a), digitsB = LeadingDigits(b);
  if (digitsA == 0 || digitsB == 0) return Sign(a.compare(b));
  if (int order = CompareNumbers(a.substr(0, digitsA), b.substr(0, digitsB))) return order;
  return Sign(a.substr(digitsA).compare(b.substr(digitsB)));
}

}  // namespace

int CompareVersions(const CString& a, const CString& b) {
  const std::vector<std::string> x = SplitAtDots(a), y = SplitAtDots(b);
  for (size_t i = 0; i < x.size() && i < y.size(); ++i)
    if (int order = ComparePart(x[i], y[i])) return order;
  if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
  return Sign(strcmp(a, b));
}
