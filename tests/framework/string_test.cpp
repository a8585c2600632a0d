// CString behaviour that hosts and the runtime rely on, and its binary layout.
#include "platform/framework/afx.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

// The layout a host built for the 4.2 framework reads: the text is preceded by {references,
// length, allocated}; copies share the text until one is written; every empty string shares one
// locked header (references -1).
TEST(CString, HeaderSharedTextAndTheLockedEmptyString) {
  CString a, b("");
  EXPECT_EQ(static_cast<const char*>(a), static_cast<const char*>(b));
  EXPECT_EQ(a.GetData()->nRefs, -1);
  CString s("abc"), t(s);
  const long* header = reinterpret_cast<const long*>(static_cast<const char*>(s)) - 3;
  EXPECT_EQ(header[0], 2);  // references
  EXPECT_EQ(header[1], 3);  // length
  EXPECT_GE(header[2], 3);  // allocated
  t += "d";
  EXPECT_EQ(header[0], 1);
  EXPECT_STREQ(s, "abc");
  EXPECT_STREQ(t, "abcd");
}

TEST(CString, SelfAssignmentAndOverlappingSources) {
  CString s("abcdef");
  s = s;
  EXPECT_STREQ(s, "abcdef");
  s = static_cast<const char*>(s) + 2;  // a source inside its own buffer
  EXPECT_STREQ(s, "cdef");
  s += s;
  EXPECT_STREQ(s, "cdefcdef");
  s = s.Mid(1, 3);
  EXPECT_STREQ(s, "def");
}

TEST(CString, SearchSlicingTrimmingAndComparing) {
  const CString s("C:\\Tools\\Demo\\app\\run.exe");
  EXPECT_EQ(s.ReverseFind('\\'), 17);
  EXPECT_EQ(s.Find("Demo"), 9);
  EXPECT_EQ(s.Find('x', 100), -1);
  CString trimmed("  \t trimmed \r\n"), quoted("\"quoted\""), upper("hello world");
  trimmed.Trim();
  quoted.TrimLeft('"');
  quoted.TrimRight('"');
  upper.MakeUpper();
  const std::pair<CString, const char*> results[] = {
      {s.Left(s.ReverseFind('\\')), "C:\\Tools\\Demo\\app"}, {s.Right(3), "exe"}, {s.Mid(100), ""}, {s.Left(-1), ""},
      {trimmed, "trimmed"}, {quoted, "quoted"}, {upper, "HELLO WORLD"}};
  for (const auto& [result, expected] : results) EXPECT_STREQ(result, expected);
  EXPECT_EQ(CString("YES").CompareNoCase("yes"), 0);
  EXPECT_NE(CString("yes ").CompareNoCase("yes"), 0);
}

TEST(CString, FormatReplaceAndBuffers) {
  CString s;
  s.Format("%d-%s", 42, "x");
  EXPECT_STREQ(s, "42-x");
  CString big;
  big.Format("%s", std::string(5000, 'z').c_str());
  EXPECT_EQ(big.GetLength(), 5000);
  CString r("a%sb%sc");
  EXPECT_EQ(r.Replace("%s", "Demo"), 2);
  EXPECT_STREQ(r, "aDemobDemoc");
  CString b;
  char* p = b.GetBuffer(260);
  strcpy(p, "from an API");
  b.ReleaseBuffer();
  EXPECT_EQ(b.GetLength(), 11);
  CString shared(b);
  shared.GetBuffer(10)[0] = 'F';  // writing through a buffer must not touch the other copy
  shared.ReleaseBuffer();
  EXPECT_STREQ(b, "from an API");
  EXPECT_STREQ(shared, "From an API");
}

TEST(CString, ManyAppendsStayLinear) {
  CString s;
  for (int i = 0; i < 200000; ++i) s += 'x';
  EXPECT_EQ(s.GetLength(), 200000);
}

}  // namespace
