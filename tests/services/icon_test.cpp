// The shared icon list: one image per file, found again by path.
#include "platform/services/afs_icon.h"
#include "tests/support/registry.h"
#include "tests/support/test_paths.h"
#include "tests/support/zip_builder.h"

#include <gtest/gtest.h>

namespace {

TEST(IconList, OneImagePerPathFoundAgainInAnyLetterCase) {
  ScratchFolder s("icon");
  ASSERT_TRUE(CopyFileA((BinFolder() + "\\test_services.exe").c_str(), (s / "Tool.exe").c_str(), FALSE));
  WriteTextFile(s / "readme.txt", "text");
  CAFSIcon& icons = CAFSIcon::m_afsIcon;
  const int count = icons.GetImageCount();
  const int exe = icons.GetImageIndex((s / "Tool.exe").c_str());
  const int txt = icons.GetImageIndex((s / "readme.txt").c_str());
  EXPECT_GE(exe, 0);
  EXPECT_GE(txt, 0);
  EXPECT_NE(exe, txt);
  EXPECT_EQ(icons.GetImageIndex((s / "TOOL.EXE").c_str()), exe);
  EXPECT_EQ(icons.GetImageIndex((s / "missing.exe").c_str()), -1);
  EXPECT_EQ(icons.GetImageCount(), count + 2);
  EXPECT_EQ(ImageList_GetImageCount(icons.GetImageList()), count + 2);
}

}  // namespace
