// File operations on the real file system: copies and deletes of files, folders and patterns,
// silent unless a title is given, never asking anything.
#include "platform/services/xfs_operation.h"
#include "tests/support/registry.h"
#include "tests/support/test_paths.h"
#include "tests/support/zip_builder.h"

#include <gtest/gtest.h>

#include <functional>
#include <future>

namespace {

int RunOp(int code, const std::string& source, const std::string& target = "", const char* title = "") {
  CXFSOperation op;
  op.m_nOperation = code;
  op.m_strTitle = title;
  op.m_strSource = source.c_str();
  op.m_strTarget = target.c_str();
  return op.Execute();
}

// folder\a.txt, folder\b.xml, folder\sub\c.txt and the empty folder folder\sub\empty.
void FillSample(const std::string& folder) {
  for (const char* dir : {"", "\\sub", "\\sub\\empty"}) CreateDirectoryA((folder + dir).c_str(), nullptr);
  WriteTextFile(folder + "\\a.txt", "A");
  WriteTextFile(folder + "\\b.xml", "<b/>");
  WriteTextFile(folder + "\\sub\\c.txt", "C");
}

TEST(FileOperation, CopiesAndDeletesPatternsFoldersAndFiles) {
  ScratchFolder s("fo");
  FillSample(s / "src");
  ASSERT_EQ(RunOp(CXFSOperation::kCopy, s / "src\\*.*", s / "new\\dst"), 1);  // creates the folders
  EXPECT_EQ(ListTree(Wide(s / "new\\dst")), ListTree(Wide(s / "src")));
  WriteTextFile(s / "new\\dst\\a.txt", "old");
  ASSERT_EQ(RunOp(CXFSOperation::kCopy, s / "src\\a.txt", s / "new\\dst"), 1);  // replaced, no question
  EXPECT_EQ(ReadTextFile(s / "new\\dst\\a.txt"), "A");
  ASSERT_EQ(RunOp(CXFSOperation::kCopy, s / "src\\b.xml", s / "Backup\\install.xml"), 1);
  EXPECT_EQ(ReadTextFile(s / "Backup\\install.xml"), "<b/>");

  ASSERT_EQ(RunOp(CXFSOperation::kDelete, s / "new\\dst\\*.txt"), 1);
  EXPECT_EQ(ListTree(Wide(s / "new\\dst")),
            (std::map<std::wstring, std::string>{{L"b.xml", "<b/>"}, {L"sub", "<dir>"}, {L"sub\\c.txt", "C"},
                                                  {L"sub\\empty", "<dir>"}}));
  ASSERT_EQ(RunOp(CXFSOperation::kDelete, s / "new\\dst\\*.*"), 1);
  EXPECT_TRUE(FileExists(s / "new\\dst"));  // the folder itself stays
  EXPECT_TRUE(ListTree(Wide(s / "new\\dst")).empty());
  ASSERT_EQ(RunOp(CXFSOperation::kDelete, s / "Backup\\"), 1);
  EXPECT_FALSE(FileExists(s / "Backup"));
}

TEST(FileOperation, NothingToDoIsANoOpAndDangerousOrUnknownRequestsAreRefused) {
  ScratchFolder s("fo");
  FillSample(s / "src");
  EXPECT_EQ(RunOp(CXFSOperation::kCopy, s / "src\\*.none", s / "target"), 1);
  EXPECT_FALSE(FileExists(s / "target"));
  EXPECT_EQ(RunOp(CXFSOperation::kDelete, s / "gone\\*.*"), 1);
  EXPECT_EQ(RunOp(CXFSOperation::kCopy, s / "src\\missing.txt", s / "x.txt"), 0);
  EXPECT_EQ(RunOp(CXFSOperation::kDelete, "Q:\\*.*"), 0);  // a drive root (absent: refusal is all it can do)
  EXPECT_EQ(RunOp(3, s / "src\\a.txt"), 0);
  EXPECT_EQ(ListTree(Wide(s.path())).size(), 6u);
}

BOOL CALLBACK CollectOwnWindows(HWND h, LPARAM lp) {
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  char text[256] = "";
  GetWindowTextA(h, text, sizeof text);
  if (pid == GetCurrentProcessId() && IsWindowVisible(h)) reinterpret_cast<std::vector<std::string>*>(lp)->push_back(text);
  return TRUE;
}

// Runs the operation on a worker (a question or error box would block it) while this thread
// notes every visible window of the process; returns the captions seen.
std::vector<std::string> WindowsDuring(std::function<int()> op, int* result) {
  auto run = std::async(std::launch::async, op);
  std::vector<std::string> seen;
  while (run.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready) {
    EnumWindows(CollectOwnWindows, reinterpret_cast<LPARAM>(&seen));
    if (seen.size() > 1000) break;
  }
  EXPECT_EQ(run.wait_for(std::chrono::seconds(60)), std::future_status::ready);
  *result = run.get();
  return seen;
}

TEST(FileOperation, ShowsNothingWithoutATitleAndAsksNothingWithOne) {
  ScratchFolder s("fo");
  CreateDirectoryA((s / "many").c_str(), nullptr);
  for (int i = 0; i < 120; ++i) WriteTextFile(s / ("many\\f" + std::to_string(i)), std::string(256 * 1024, 'x'));
  int r = 0;
  EXPECT_TRUE(WindowsDuring([&] { return RunOp(CXFSOperation::kCopy, s / "many\\*.*", s / "out"); }, &r).empty());
  EXPECT_EQ(r, 1);
  EXPECT_TRUE(WindowsDuring([&] { return RunOp(CXFSOperation::kDelete, s / "out\\*.*"); }, &r).empty());
  EXPECT_EQ(r, 1);
  // With a title, only a progress window under that title may appear, also when files are
  // replaced (no question) — here twice over the same target.
  for (int pass = 0; pass < 2; ++pass) {
    for (const std::string& w : WindowsDuring(
             [&] { return RunOp(CXFSOperation::kCopy, s / "many\\*.*", s / "out", "Copying the template"); }, &r))
      EXPECT_EQ(w, "Copying the template");
    EXPECT_EQ(r, 1);
  }
  EXPECT_EQ(ListTree(Wide(s / "out")).size(), 120u);
}

}  // namespace
