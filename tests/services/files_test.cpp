// The platform's files on the real file system: copies and deletes (silent unless a title is given,
// never asking), temporary files, zip archives (a hostile or broken one writes nothing at all), the
// shared icon list, and the file-system object with the registry root of its main document.
#include "platform/doctree/acas_doc.h"
#include "platform/services/afs.h"
#include "platform/services/afs_icon.h"
#include "platform/services/afs_path.h"
#include "platform/services/xcommon.h"
#include "platform/services/xfs_operation.h"
#include "platform/services/zip_reader.h"
#include "tests/support/registry.h"
#include "tests/support/test_paths.h"
#include "tests/support/zip_builder.h"

#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using Tree = std::map<std::wstring, std::string>;

int RunOp(int code, const std::string& source, const std::string& target = "", const char* title = "") {
  CXFSOperation op;
  op.m_nOperation = code;
  op.m_strTitle = title;
  op.m_strSource = source.c_str();
  op.m_strTarget = target.c_str();
  return op.Execute();
}

TEST(FileOperation, CopiesAndDeletesPatternsFoldersAndFiles) {
  ScratchFolder s("fo");
  for (const char* dir : {"src", "src\\sub", "src\\sub\\empty"}) CreateDirectoryA((s / dir).c_str(), nullptr);
  for (const auto& [name, text] : {std::make_pair("a.txt", "A"), {"b.xml", "<b/>"}, {"sub\\c.txt", "C"}})
    WriteTextFile(s / "src\\" + name, text);
  ASSERT_EQ(RunOp(CXFSOperation::kCopy, s / "src\\*.*", s / "new\\dst"), 1);  // creates the folders
  EXPECT_EQ(ListTree(Wide(s / "new\\dst")), ListTree(Wide(s / "src")));
  WriteTextFile(s / "new\\dst\\a.txt", "old");
  ASSERT_EQ(RunOp(CXFSOperation::kCopy, s / "src\\a.txt", s / "new\\dst"), 1);  // replaced, no question
  EXPECT_EQ(ReadTextFile(s / "new\\dst\\a.txt"), "A");
  ASSERT_EQ(RunOp(CXFSOperation::kCopy, s / "src\\b.xml", s / "Backup\\install.xml"), 1);
  EXPECT_EQ(ReadTextFile(s / "Backup\\install.xml"), "<b/>");

  ASSERT_EQ(RunOp(CXFSOperation::kDelete, s / "new\\dst\\*.txt"), 1);
  EXPECT_EQ(ListTree(Wide(s / "new\\dst")),
            (Tree{{L"b.xml", "<b/>"}, {L"sub", "<dir>"}, {L"sub\\c.txt", "C"}, {L"sub\\empty", "<dir>"}}));
  ASSERT_EQ(RunOp(CXFSOperation::kDelete, s / "new\\dst\\*.*"), 1);
  EXPECT_EQ(ListTree(Wide(s / "new")), (Tree{{L"dst", "<dir>"}}));  // the folder itself stays
  ASSERT_EQ(RunOp(CXFSOperation::kDelete, s / "Backup\\"), 1);
  EXPECT_FALSE(FileExists(s / "Backup"));

  // Nothing to do is done (1); a missing file, a drive root (absent: refusing is all it can do) or
  // an unknown operation is refused (0). Either way nothing changes.
  const Tree before = ListTree(Wide(s.path()));
  const std::tuple<int, std::string, std::string, int> requests[] = {
      {CXFSOperation::kCopy, s / "src\\*.none", s / "target", 1}, {CXFSOperation::kDelete, s / "gone\\*.*", "", 1},
      {CXFSOperation::kCopy, s / "src\\missing.txt", s / "x.txt", 0}, {CXFSOperation::kDelete, "Q:\\*.*", "", 0},
      {3, s / "src\\a.txt", "", 0}};
  for (const auto& [code, source, target, result] : requests) EXPECT_EQ(RunOp(code, source, target), result) << source;
  EXPECT_EQ(ListTree(Wide(s.path())), before);
}

BOOL CALLBACK CollectOwnWindows(HWND h, LPARAM seen) {
  DWORD pid = 0;
  char text[256] = "";
  GetWindowThreadProcessId(h, &pid);
  GetWindowTextA(h, text, sizeof text);
  if (pid == GetCurrentProcessId() && IsWindowVisible(h)) reinterpret_cast<std::set<std::string>*>(seen)->insert(text);
  return TRUE;
}

// Runs the operation on a worker (a question or error box would block it) while this thread
// notes the captions of every visible window of the process; the operation must succeed.
std::set<std::string> WindowsDuring(std::function<int()> op) {
  auto run = std::async(std::launch::async, op);
  std::set<std::string> seen;
  while (run.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
    EnumWindows(CollectOwnWindows, reinterpret_cast<LPARAM>(&seen));
  EXPECT_EQ(run.get(), 1);
  return seen;
}

// Without a title nothing is shown; with one, only the progress window under that title, also
// when every file is replaced (no question).
TEST(FileOperation, ShowsNothingWithoutATitleAndAsksNothingWithOne) {
  ScratchFolder s("fo");
  CreateDirectoryA((s / "many").c_str(), nullptr);
  for (int i = 0; i < 120; ++i) WriteTextFile(s / ("many\\f" + std::to_string(i)), std::string(256 * 1024, 'x'));
  EXPECT_TRUE(WindowsDuring([&] { return RunOp(CXFSOperation::kCopy, s / "many\\*.*", s / "out"); }).empty());
  for (const std::string& w :
       WindowsDuring([&] { return RunOp(CXFSOperation::kCopy, s / "many\\*.*", s / "out", "Copying the template"); }))
    EXPECT_EQ(w, "Copying the template");
}

// New, empty, in the folder asked for (made when missing), never handed out twice, also to
// threads at once; refused cleanly when the folder cannot be made or the name would not fit.
TEST(TempFile, IsANewEmptyFileUniqueAcrossThreads) {
  ScratchFolder s("tmp");
  const std::string folder = s / "Tmp\\";
  std::vector<std::vector<std::string>> got(8);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t)
    threads.emplace_back([&, t] {
      char buf[MAX_PATH];
      for (int i = 0; i < 50; ++i)
        if (CXCommon::GetTempQorFile(folder.c_str(), "update", buf, ".zip")) got[t].push_back(buf);
    });
  for (auto& t : threads) t.join();
  std::set<std::string> all;
  for (const auto& list : got) all.insert(list.begin(), list.end());
  ASSERT_EQ(all.size(), 400u);
  for (const std::string& path : all) {
    EXPECT_EQ(path.rfind(folder + "update", 0), 0u) << path;
    EXPECT_EQ(path.substr(path.size() - 4), ".zip");
    EXPECT_EQ(ReadTextFile(path), "");
  }
  char buf[MAX_PATH] = "junk";
  EXPECT_EQ(CXCommon::GetTempQorFile((s / std::string(220, 'd')).c_str(), "update", buf, ".xml"), 0);
  EXPECT_STREQ(buf, "");
  WriteTextFile(s / "file", "x");  // a file where the folder should be
  EXPECT_EQ(CXCommon::GetTempQorFile((s / "file\\").c_str(), "update", buf, ".xml"), 0);
  EXPECT_EQ(ListTree(Wide(s.path())).size(), all.size() + 2);  // Tmp and the file
}

// The shared icon list holds one image per file, found again by its path in any letter case.
TEST(FileSystemObjects, IconListAndRegistryRoot) {
  ScratchFolder s("icon");
  ASSERT_TRUE(CopyFileA((BinFolder() + "\\test_services.exe").c_str(), (s / "Tool.exe").c_str(), FALSE));
  WriteTextFile(s / "readme.txt", "text");
  CAFSIcon& icons = CAFSIcon::m_afsIcon;
  const int count = ImageList_GetImageCount(icons.GetImageList());
  const int exe = icons.GetImageIndex((s / "Tool.exe").c_str());
  const int txt = icons.GetImageIndex((s / "readme.txt").c_str());
  EXPECT_TRUE(exe >= 0 && txt >= 0 && exe != txt) << exe << " " << txt;
  EXPECT_EQ(icons.GetImageIndex((s / "TOOL.EXE").c_str()), exe);
  EXPECT_EQ(icons.GetImageIndex((s / "missing.exe").c_str()), -1);
  EXPECT_EQ(ImageList_GetImageCount(icons.GetImageList()), count + 2);

  // The first file-system object is the published one while it lives; the registry root is the
  // node at the registry's path in its main document (a folder of the last name elsewhere is not).
  ASSERT_EQ(CAFS::m_pthis, nullptr);
  CACASDVFDLDoc main;
  ASSERT_EQ(main.SetXMLDoc("<vfdl/>") + main.InitVFDLDoc(nullptr), 2);
  {
    CAFS afs, other;
    EXPECT_EQ(CAFS::m_pthis, &afs);
    EXPECT_EQ(CAFSPath::GetRegRoot(), nullptr);  // no main document
    afs.m_pMainDoc = &main;
    EXPECT_EQ(CAFSPath::GetRegRoot(), nullptr);  // no such node yet
    // 注册表 at the top, and below 信息中心\个人中心.
    const std::string reg = "<folder alias=\"\xD7\xA2\xB2\xE1\xB1\xED\"/>";
    const std::string text = "<vfdl>" + reg + "<folder alias=\"\xD0\xC5\xCF\xA2\xD6\xD0\xD0\xC4\">" +
                             "<folder alias=\"\xB8\xF6\xC8\xCB\xD6\xD0\xD0\xC4\">" + reg + "</folder></folder></vfdl>";
    ASSERT_EQ(main.SetXMLDoc(text.c_str()) + main.InitVFDLDoc(nullptr), 2);
    ASSERT_NE(CAFSPath::GetRegRoot(), nullptr);
    EXPECT_STREQ(CAFSPath::GetRegRoot()->GetPos(), CAFSPath::kRegRootPath);
  }
  EXPECT_EQ(CAFS::m_pthis, nullptr);
}

std::string RandomBytes(size_t n) {
  std::mt19937 rng(static_cast<unsigned>(n));
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

// Unzipped into a target with a file of its own, the archive is refused; nothing changes around.
void ExpectRefused(const std::string& zipBytes, const std::string& what) {
  ScratchFolder parent("zhost");
  ASSERT_TRUE(WriteBytes(Wide(parent / "in.zip"), zipBytes));
  CreateDirectoryA((parent / "target").c_str(), nullptr);
  WriteTextFile(parent / "target\\keep.txt", "mine");
  EXPECT_EQ(CXCommon::UnzipArchive((parent / "in.zip").c_str(), (parent / "target").c_str()), 0) << what;
  EXPECT_EQ(ListTree(Wide(parent.path())),
            (Tree{{L"in.zip", zipBytes}, {L"target", "<dir>"}, {L"target\\keep.txt", "mine"}})) << what;
}

// What the platform packs comes back unchanged, without a temporary file beside the archive; a
// pattern packs what it matches, never the archive itself; a missing source packs nothing. Archives
// made elsewhere: stored and deflated entries, a folder entry after a file in it, backslashes, a
// UTF-8 flagged name, and a code page 936 name whose second byte is a backslash (0x81 0x5C).
TEST(Zip, ArchivesComeBackUnchanged) {
  ScratchFolder src("zsrc"), out("zout"), arc("zarc"), host("zhost");
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
  ASSERT_EQ(CXCommon::ZipArchive((src / "self.txt").c_str(), (src / "*.txt").c_str()), 1);
  ASSERT_EQ(CXCommon::UnzipArchive((src / "self.txt").c_str(), (host / "p").c_str()), 1);
  EXPECT_EQ(ListTree(Wide(host / "p")), (Tree{{L"a.txt", "hello\r\n"}}));
  EXPECT_EQ(CXCommon::ZipArchive((arc / "x.zip").c_str(), (src / "nowhere\\*.*").c_str()), 0);
  EXPECT_EQ(ListTree(Wide(arc.path())).size(), 1u);

  wchar_t gbk[16] = {};
  ASSERT_GT(MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, "\xD0\xC5\xCF\xA2\\\x81\x5C.txt", -1, gbk, 16), 0);
  ASSERT_TRUE(WriteBytes(Wide(host / "f.zip"), BuildZip({{"stored.txt", "plain", false},
                                                       {"dir\\deflated.bin", RandomBytes(70000)},
                                                       {"dir/", "", false},
                                                       {"\xE4\xBF\xA1.txt", "utf8", true, 0x0800},
                                                       {"\xD0\xC5\xCF\xA2/\x81\x5C.txt", "gbk"}})));
  zip::ExtractRules rules;
  rules.nameCodePage = 936;
  ASSERT_TRUE(zip::ExtractArchive(Wide(host / "f.zip"), Wide(host / "new\\target"), rules));
  EXPECT_EQ(ListTree(Wide(host / "new\\target")),
            (Tree{{L"stored.txt", "plain"}, {L"dir", "<dir>"}, {L"dir\\deflated.bin", RandomBytes(70000)},
                  {L"\u4FE1.txt", "utf8"}, {L"\u4FE1\u606F", "<dir>"}, {gbk, "gbk"}}));
}

// Hostile and broken archives, each refused whole: bad names, the same file twice, a file used as
// a folder, encryption, bombs, lying sizes, truncation, corrupt data, a wrong CRC, no zip at all.
TEST(Zip, HostileAndBrokenArchivesAreRefusedWhole) {
  for (const char* name : {"/abs.txt", "\\abs.txt", "C:/drive.txt", "C:drive.txt", "//server/share/u", "../up.txt",
                           "..\\up.txt", "a/../../up.txt", "a/..", "dots/.../x", "trail. /x", "CON", "sub/nul.txt",
                           "x.txt:stream", "q?.txt", "bad\x01", ""})
    ExpectRefused(BuildZip({{"good.txt", "ok"}, {name, "evil"}}), name);
  EXPECT_FALSE(FileExists("C:\\abs.txt"));
  EXPECT_FALSE(FileExists("C:\\drive.txt"));
  const std::string big(2 << 20, '\0');
  const std::vector<RawEntry> good = {{"a.txt", "first"}, {"b.bin", RandomBytes(20000)}, {"c/", "", false}};
  std::vector<RawEntry> badCrc = good;
  badCrc[1].claimedCrc = 0x12345678;
  std::string flipped = BuildZip(good);
  flipped[flipped.find("b.bin") + 5000] ^= 0x55;
  const std::pair<const char*, std::string> archives[] = {
      {"invalid UTF-8", BuildZip({{"bad\xC3(.txt", "x", true, 0x0800}})},
      {"the same file twice", BuildZip({{"twice.txt", "1"}, {"TWICE.txt", "2"}})},
      {"a file used as a folder", BuildZip({{"f", "file"}, {"f/inner.txt", "x"}})},
      {"encrypted", BuildZip({{"secret.txt", "x", true, 0x0001}})},
      {"2 GiB from a few bytes", BuildZip({{"huge.bin", std::string(1000, 'a'), true, 0, 0x80000000ll}})},
      {"a ratio deflate cannot reach", BuildZip({{"ratio.bin", big, true, 0, 100 << 20}})},
      {"expands beyond its size (all goes)", BuildZip({{"a.txt", "1"}, {"liar.bin", big, true, 0, 1000}})},
      {"corrupt data", flipped},
      {"wrong CRC", BuildZip(badCrc)},
      {"random bytes", RandomBytes(100000)}};
  for (const auto& [what, bytes] : archives) ExpectRefused(bytes, what);
  const std::string whole = BuildZip(good);
  for (size_t cut : {size_t(0), size_t(29), whole.size() / 2, whole.size() - 1})
    ExpectRefused(whole.substr(0, cut), "cut at " + std::to_string(cut));

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
