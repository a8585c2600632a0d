// Zip archives: what the platform packs comes back unchanged, and a hostile or broken archive
// writes nothing at all, inside or outside the target folder.
#include "platform/win/unique_file.h"
#include "platform/services/xcommon.h"
#include "platform/services/zip_reader.h"
#include "tests/support/registry.h"
#include "tests/support/test_paths.h"
#include "tests/support/zip_builder.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using Tree = std::map<std::wstring, std::string>;

std::string RandomBytes(size_t n) {
  std::mt19937 rng(static_cast<unsigned>(n));
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

// Unzips into a target that holds one file of its own, inside a fresh parent: the archive must
// be refused and the parent must hold exactly what it held before.
void ExpectRefused(const std::string& zipBytes, const std::string& what) {
  SCOPED_TRACE(what);
  ScratchFolder parent("zhost");
  ASSERT_TRUE(WriteBytes(Wide(parent / "in.zip"), zipBytes));
  CreateDirectoryA((parent / "target").c_str(), nullptr);
  WriteTextFile(parent / "target\\keep.txt", "mine");
  EXPECT_EQ(CXCommon::UnzipArchive((parent / "in.zip").c_str(), (parent / "target").c_str()), 0);
  Tree before = {{L"in.zip", zipBytes}, {L"target", "<dir>"}, {L"target\\keep.txt", "mine"}};
  EXPECT_EQ(ListTree(Wide(parent.path())), before);
}

TEST(ZipRoundTrip, FoldersEmptyFilesBinaryDataAndWideNamesComeBackUnchanged) {
  ScratchFolder src("zsrc"), out("zout"), arc("zarc");
  const std::wstring s = Wide(src.path());
  for (const wchar_t* dir : {L"\\sub", L"\\sub\\deeper", L"\\empty dir", L"\\\u6CE8\u518C\u8868"})
    ASSERT_TRUE(CreateDirectoryW((s + dir).c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(s + L"\\a.txt", "hello\r\n"));
  ASSERT_TRUE(WriteBytes(s + L"\\empty.dat", ""));
  ASSERT_TRUE(WriteBytes(s + L"\\sub\\deeper\\random.bin", RandomBytes(300000)));
  ASSERT_TRUE(WriteBytes(s + L"\\\u6CE8\u518C\u8868\\\u4FE1\u606F.txt", "cjk"));

  ASSERT_EQ(CXCommon::ZipArchive((arc / "t.zip").c_str(), src.path().c_str()), 1);
  ASSERT_EQ(CXCommon::UnzipArchive((arc / "t.zip").c_str(), out.path().c_str()), 1);
  EXPECT_EQ(ListTree(Wide(out.path())), ListTree(s));
  EXPECT_EQ(ListTree(Wide(arc.path())).size(), 1u);  // no temporary file left beside the archive

  // A pattern packs what it matches (a matching folder whole); the archive never packs itself.
  ASSERT_EQ(CXCommon::ZipArchive((src / "self.txt").c_str(), (src / "*.txt").c_str()), 1);
  ScratchFolder p("zout");
  ASSERT_EQ(CXCommon::UnzipArchive((src / "self.txt").c_str(), p.path().c_str()), 1);
  EXPECT_EQ(ListTree(Wide(p.path())), (Tree{{L"a.txt", "hello\r\n"}}));
  // A source that does not exist packs nothing and leaves nothing.
  EXPECT_EQ(CXCommon::ZipArchive((arc / "x.zip").c_str(), (src / "nowhere\\*.*").c_str()), 0);
  EXPECT_EQ(ListTree(Wide(arc.path())).size(), 1u);
}

TEST(UnzipForeignArchives, StoredDeflatedFoldersAndDoubleByteNames) {
  // Stored and deflated entries, a folder entry after a file in it, backslash separators, a
  // UTF-8 flagged name, and a code page 936 name whose second byte is a backslash (0x81 0x5C).
  const std::string gbk = "\xD0\xC5\xCF\xA2/\x81\x5C.txt";
  wchar_t gbkWide[16] = {};
  ASSERT_GT(MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, "\xD0\xC5\xCF\xA2\\\x81\x5C.txt", -1, gbkWide, 16), 0);
  ScratchFolder host("zhost");
  ASSERT_TRUE(WriteBytes(Wide(host / "f.zip"), BuildZip({{"stored.txt", "plain", false},
                                                       {"dir\\deflated.bin", RandomBytes(70000)},
                                                       {"dir/", "", false},
                                                       {"\xE4\xBF\xA1.txt", "utf8", true, 0x0800},
                                                       {gbk, "gbk"}})));
  zip::ExtractRules rules;
  rules.nameCodePage = 936;
  ASSERT_TRUE(zip::ExtractArchive(Wide(host / "f.zip"), Wide(host / "new\\target"), rules));
  Tree want = {{L"stored.txt", "plain"}, {L"dir", "<dir>"},    {L"dir\\deflated.bin", RandomBytes(70000)},
               {L"\u4FE1.txt", "utf8"},  {L"\u4FE1\u606F", "<dir>"}, {gbkWide, "gbk"}};
  EXPECT_EQ(ListTree(Wide(host / "new\\target")), want);
}

TEST(UnzipRefuses, NamesThatLeaveTheTargetFolder) {
  for (const char* name : {"/abs.txt", "\\abs.txt", "C:/drive.txt", "C:drive.txt", "//server/share/u",
                           "../up.txt", "..\\up.txt", "a/../../up.txt", "a/..", "dots/.../x", "trail. /x",
                           "CON", "sub/nul.txt", "x.txt:stream", "q?.txt", "bad\x01", ""})
    ExpectRefused(BuildZip({{"good.txt", "ok"}, {name, "evil"}}), name);
  EXPECT_FALSE(FileExists("C:\\abs.txt"));
  EXPECT_FALSE(FileExists("C:\\drive.txt"));
  ExpectRefused(BuildZip({{"bad\xC3(.txt", "x", true, 0x0800}}), "invalid UTF-8");
  ExpectRefused(BuildZip({{"twice.txt", "1"}, {"TWICE.txt", "2"}}), "the same file twice");
  ExpectRefused(BuildZip({{"f", "file"}, {"f/inner.txt", "x"}}), "a file used as a folder");
  ExpectRefused(BuildZip({{"secret.txt", "x", true, 0x0001}}), "encrypted");
}

TEST(UnzipRefuses, BombsTruncatedCorruptAndNonZipFiles) {
  RawEntry huge{"huge.bin", std::string(1000, 'a')};
  huge.claimedSize = 0x80000000ll;  // 2 GiB from a few bytes
  ExpectRefused(BuildZip({huge}), "over the size limit");
  RawEntry ratio{"ratio.bin", std::string(2 << 20, '\0')};
  ratio.claimedSize = 100 << 20;  // a ratio deflate cannot reach
  ExpectRefused(BuildZip({ratio}), "impossible ratio");
  RawEntry liar{"liar.bin", std::string(1 << 20, '\0')};
  liar.claimedSize = 1000;  // expands beyond its size: stops, the entry before it goes too
  ExpectRefused(BuildZip({{"first.txt", "1"}, liar}), "expands beyond its size");

  std::vector<RawEntry> entries = {{"a.txt", "first"}, {"b.bin", RandomBytes(20000)}, {"c/", "", false}};
  const std::string good = BuildZip(entries);
  for (size_t cut : {size_t(0), size_t(29), good.size() / 2, good.size() - 1})
    ExpectRefused(good.substr(0, cut), "cut at " + std::to_string(cut));
  std::string flipped = good;
  flipped[good.find("b.bin") + 5000] ^= 0x55;
  ExpectRefused(flipped, "corrupt data");
  entries[1].claimedCrc = 0x12345678;
  ExpectRefused(BuildZip(entries), "wrong CRC");
  ExpectRefused("just text", "text");
  ExpectRefused(RandomBytes(100000), "random bytes");

  // The total limit, on a smaller scale than the real 1 GiB.
  ScratchFolder host("zhost");
  ASSERT_TRUE(WriteBytes(Wide(host / "two.zip"), BuildZip({{"x", std::string(600000, 'x')}, {"y", "y"}})));
  zip::ExtractRules tight;
  tight.maxTotal = 500000;
  EXPECT_FALSE(zip::ExtractArchive(Wide(host / "two.zip"), Wide(host / "t"), tight));
  EXPECT_FALSE(FileExists(host / "t"));
  EXPECT_TRUE(zip::ExtractArchive(Wide(host / "two.zip"), Wide(host / "t")));
}

}  // namespace
