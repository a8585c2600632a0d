// CString behaviour that hosts and the runtime rely on, and its binary layout.
#include "platform/framework/afx.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CString, EmptyStringsShareOneLockedHeader) {
  CString a, b("");
  EXPECT_EQ(static_cast<const char*>(a), static_cast<const char*>(b));
  EXPECT_EQ(a.GetData()->nRefs, -1);
  EXPECT_EQ(a.GetLength(), 0);
  EXPECT_STREQ(a, "");
}

TEST(CString, CopiesShareUntilWritten) {
  CString a("hello");
  CString b(a);
  EXPECT_EQ(static_cast<const char*>(a), static_cast<const char*>(b));
  EXPECT_EQ(a.GetData()->nRefs, 2);
  b += " world";
  EXPECT_STREQ(a, "hello");
  EXPECT_STREQ(b, "hello world");
  EXPECT_EQ(a.GetData()->nRefs, 1);
  b.MakeUpper();
  EXPECT_STREQ(b, "HELLO WORLD");
}

TEST(CString, HeaderPrecedesTheText) {
  CString s("abc");
  const long* header = reinterpret_cast<const long*>(static_cast<const char*>(s)) - 3;
  EXPECT_EQ(header[0], 1);  // references
  EXPECT_EQ(header[1], 3);  // length
  EXPECT_GE(header[2], 3);  // allocated
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

TEST(CString, SearchAndSlicing) {
  CString s("C:\\Tools\\Demo\\app\\run.exe");
  EXPECT_EQ(s.ReverseFind('\\'), 17);
  EXPECT_STREQ(s.Left(s.ReverseFind('\\')), "C:\\Tools\\Demo\\app");
  EXPECT_EQ(s.Find("Demo"), 9);
  EXPECT_EQ(s.Find('x', 100), -1);
  EXPECT_STREQ(s.Right(3), "exe");
  EXPECT_STREQ(s.Mid(100), "");
  EXPECT_STREQ(s.Left(-1), "");
  CString t("  \t trimmed \r\n");
  t.Trim();
  EXPECT_STREQ(t, "trimmed");
  CString q("\"quoted\"");
  q.TrimLeft('"');
  q.TrimRight('"');
  EXPECT_STREQ(q, "quoted");
}

TEST(CString, CaseInsensitiveCompareKeepsDoubleByteCharactersIntact) {
  EXPECT_EQ(CString("YES").CompareNoCase("yes"), 0);
  EXPECT_NE(CString("yes ").CompareNoCase("yes"), 0);
  // Code page 936 text: the comparison must not fold trail bytes as if they were letters.
  const char* cjk = "\xD0\xC5\xCF\xA2\xD6\xD0\xD0\xC4";  // "信息中心"
  EXPECT_EQ(CString(cjk).CompareNoCase(cjk), 0);
  EXPECT_EQ(CString(cjk).Compare(cjk), 0);
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
