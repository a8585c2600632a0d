// Telling a usable update feed from whatever else a download may bring.
#include "platform/services/midl_doc.h"
#include "tests/support/registry.h"
#include "tests/support/test_paths.h"
#include "tests/support/zip_builder.h"

#include <gtest/gtest.h>

namespace {

// As the document library writes its files: UTF-8 (the alias is "信息").
const std::string kFeed =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<VFDL><Folder Alias=\"Update\"><Rec Alias=\"\xE4\xBF\xA1\xE6\x81\xAF\" dataid=\"a.1\" version=\"1.10\"/></Folder></VFDL>\r\n";

std::string Read(const std::string& path, int expectResult) {
  CString out("stale");
  EXPECT_EQ(CMIDLDoc::ReadMail(path.c_str(), out), expectResult) << path;
  return std::string(out.c_str(), out.GetLength());
}

TEST(Feed, AWellFormedDocumentComesBackWholeAndAnythingElseGivesNothing) {
  ScratchFolder s("feed");
  CreateDirectoryA((s / "a#b%20c").c_str(), nullptr);  // means something else in a URL
  WriteTextFile(s / "a#b%20c\\feed.xml", kFeed);
  EXPECT_EQ(Read(s / "a#b%20c\\feed.xml", 1), kFeed);

  const std::pair<const char*, std::string> bad[] = {
      {"html page", "<!DOCTYPE html>\n<html><head><title>404</title></head><body>gone</body></html>"},
      {"xhtml page", "<?xml version=\"1.0\"?><html xmlns=\"http://www.w3.org/1999/xhtml\"><body/></html>"},
      {"cut short", kFeed.substr(0, kFeed.size() / 2)},
      {"plain text", "version=1.10"},
      {"empty", ""},
  };
  for (const auto& c : bad) {
    SCOPED_TRACE(c.first);
    WriteTextFile(s / "f.xml", c.second);
    EXPECT_EQ(Read(s / "f.xml", 0), "");
  }
  EXPECT_EQ(Read(s / "missing.xml", 0), "");
}

}  // namespace
