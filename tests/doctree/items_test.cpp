// Base64 through crypt32, and the record item on its own: variables, pages, copies, equality.
#include "tests/doctree/doctree_support.h"

#include <cstring>
#include <memory>
#include <vector>

namespace {

std::vector<BYTE> Decoded(const CString& text, int& result) {
  std::vector<BYTE> bytes(text.GetLength() + 1, 0xAA);
  int count = static_cast<int>(bytes.size());
  result = CXFormat::DecodeTextBase64(text, bytes.data(), count, -1, -1);
  bytes.resize(count);
  return bytes;
}

TEST(Base64, EveryLengthAndByteComesBack) {
  for (int length = 0; length < 200; ++length) {
    std::vector<BYTE> bytes(length);
    for (int i = 0; i < length; ++i) bytes[i] = static_cast<BYTE>(i * 37 + length);
    for (int flag : {0, 1}) {
      CString text = CXFormat::EncodeTextBase64(bytes.data(), length, flag);
      if (flag == 0) {
        EXPECT_LT(text.Find('\n'), 0);
      }
      int needed = -1;
      EXPECT_EQ(CXFormat::DecodeTextBase64(text, nullptr, needed, -1, -1), 1);
      EXPECT_EQ(needed, length);
      int result = 0;
      EXPECT_EQ(Decoded(text, result), bytes) << length;
      EXPECT_EQ(result, 1);
    }
  }
  EXPECT_EQ(Show(CXFormat::EncodeTextBase64(reinterpret_cast<const BYTE*>("foobar"), 6, 0)), "Zm9vYmFy");
  EXPECT_EQ(Show(CXFormat::EncodeTextBase64(reinterpret_cast<const BYTE*>("f"), 1, 0)), "Zg==");
}

TEST(Base64, TextThatIsNotBase64DecodesToNothing) {
  for (const char* bad : {"QU!D", "QUJ", "QUJDR", "=QUJD", "QU=JD", "QUJD===", "Zg=a", "Zg==Zg==", "\xD6\xD0QUJD"}) {
    int result = 1;
    EXPECT_TRUE(Decoded(bad, result).empty()) << bad;
    EXPECT_EQ(result, 0) << bad;
  }
  int result = 0;
  EXPECT_EQ(Decoded(" Zm9v\r\nYmFy\t", result), std::vector<BYTE>({'f', 'o', 'o', 'b', 'a', 'r'}));
  EXPECT_TRUE(Decoded("", result).empty());
  EXPECT_EQ(result, 1);
}

TEST(Base64, SmallBufferAndPartOfText) {
  BYTE two[2] = {0, 0};
  int count = 2;
  EXPECT_EQ(CXFormat::DecodeTextBase64("Zm9v", two, count, -1, -1), 0);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(two[0], 0);
  BYTE three[3];
  count = 3;
  EXPECT_EQ(CXFormat::DecodeTextBase64("xxZm9vyy", three, count, 2, 4), 1);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(memcmp(three, "foo", 3), 0);
}

TEST(Record, VariablesKeepTheirOrderAndExactNames) {
  CVFDLRec rec;
  EXPECT_EQ(Show(rec.GetVarValue("key")), "");
  EXPECT_EQ(rec.HasVar("key"), 0);
  rec.SetVarValue("type", "register");
  rec.SetVarValue("key", "HKEY_CURRENT_USER\\X");
  rec.SetVarValue("name", "");
  rec.SetVarValue("type", "file");
  rec.SetVarValue("Type", "other");
  CVFVarArray list;
  ASSERT_EQ(rec.GetVarList(list), 4);
  EXPECT_EQ(Show(list[0].m_strName + "=" + list[0].m_strValue), "type=file");
  EXPECT_EQ(Show(list[3].m_strName), "Type");
  EXPECT_EQ(rec.HasVar("name"), 1);  // an empty value is still a variable
  EXPECT_EQ(rec.RemoveVar("name"), 1);
  EXPECT_EQ(rec.HasVar("name"), 0);
  EXPECT_EQ(rec.RemoveVar("name"), 0);

  CVFVarArray given;
  given.Add("a", "1");
  given.Add("b", "2");
  given.Add("a", "3");
  rec.SetVarList(given);
  ASSERT_EQ(rec.GetVarList(list), 2);
  EXPECT_EQ(Show(list[0].m_strValue), "3");
}

TEST(Record, CopiesCarryEverythingAndEqualityComparesVariables) {
  CVFDLRec a;
  a.SetAlias("tool");
  a.SetName("Demo");
  a.SetSubject("s");
  a.SetAbstract("text");
  a.SetExtendType(109);
  a.SetVarValue("x", "1");
  a.SetVarValue("y", "2");
  CVFPageArray pages;
  pages.Add(CVFPage{"readme", "readme.txt", ""});
  pages.Add(CVFPage{"readme", "", "inline"});  // same name: replaces the first
  a.SetPageList(pages);
  CVFDLRec b(a);
  EXPECT_EQ(Show(b.GetAlias() + b.GetName() + b.GetSubject() + b.GetAbstract()), "toolDemostext");
  EXPECT_EQ(b.GetExtendType(), 109);
  ASSERT_EQ(b.GetPageList(pages), 1);
  EXPECT_EQ(Show(pages[0].m_strText), "inline");
  EXPECT_TRUE(a == b);

  CVFDLRec c;
  c.SetVarValue("y", "2");
  c.SetVarValue("x", "1");
  EXPECT_TRUE(a == c);  // same variables in another order; pages and texts are not compared
  c.SetVarValue("x", "changed");
  EXPECT_TRUE(a != c);
  c = a;
  EXPECT_TRUE(a == c);
  c.RemoveVar("y");
  EXPECT_FALSE(a == c);
  const CVFDLRec& same = c;
  c = same;
  EXPECT_EQ(Show(c.GetVarValue("x")), "1");
}

struct CountedRec : CVFDLRec {
  static int alive;
  CountedRec() { ++alive; }
  ~CountedRec() override { --alive; }
};
int CountedRec::alive = 0;

TEST(Record, DerivedRecordsDieThroughTheBase) {
  std::unique_ptr<CVFDLRec> rec(new CountedRec);
  EXPECT_EQ(CountedRec::alive, 1);
  rec.reset();
  EXPECT_EQ(CountedRec::alive, 0);
}

}  // namespace
