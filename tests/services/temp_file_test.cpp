// Temporary files of the platform: new, empty, in the folder asked for, never handed out twice.
#include "platform/services/xcommon.h"
#include "tests/support/registry.h"
#include "tests/support/test_paths.h"
#include "tests/support/zip_builder.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

namespace {

TEST(TempFile, IsANewEmptyFileUniqueAcrossThreads) {
  ScratchFolder s("tmp");
  const std::string folder = s / "Tmp\\";  // does not exist yet
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
  EXPECT_EQ(ListTree(Wide(s / "Tmp")).size(), 400u);
  for (const std::string& path : all) {
    EXPECT_EQ(path.rfind(folder + "update", 0), 0u) << path;
    EXPECT_EQ(path.substr(path.size() - 4), ".zip");
    EXPECT_EQ(ReadTextFile(path), "");
  }
}

TEST(TempFile, FailsCleanlyWhenTheNameCannotBeMadeOrWouldNotFit) {
  ScratchFolder s("tmp");
  char buf[MAX_PATH] = "junk";
  EXPECT_EQ(CXCommon::GetTempQorFile((s / std::string(220, 'd')).c_str(), "update", buf, ".xml"), 0);
  EXPECT_STREQ(buf, "");
  WriteTextFile(s / "file", "x");  // a file where the folder should be
  EXPECT_EQ(CXCommon::GetTempQorFile((s / "file\\").c_str(), "update", buf, ".xml"), 0);
  EXPECT_EQ(ListTree(Wide(s.path())).size(), 1u);
}

}  // namespace
