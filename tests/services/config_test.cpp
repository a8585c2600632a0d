// The platform configuration file and URL encoding.
#include "platform/services/xconfig.h"
#include "tests/support/registry.h"
#include "tests/support/test_paths.h"
#include "tests/support/zip_builder.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

namespace {

TEST(PlatformConfig, ReadsTrimmedValuesAndEmptyForAnythingMissingOrGarbage) {
  // By default: Config.ini in the parent of the library folder, which is this program's folder.
  const std::string bin = BinFolder();
  EXPECT_EQ(CXConfig::GetConfigFile().CompareNoCase((bin.substr(0, bin.rfind('\\')) + "\\Config.ini").c_str()), 0);

  ScratchFolder s("cfg");
  CXConfig::SetConfigFile((s / "Config.ini").c_str());
  EXPECT_STREQ(CXConfig::GetINIString("Basic", "Name"), "");  // no file
  const std::string longValue(5000, 'v');
  WriteTextFile(s / "Config.ini", "[Basic]\r\nName =  Vantel 1.0 \t\r\nSkin=Blue.smf:large\r\nLong=" + longValue + "\r\n");
  EXPECT_STREQ(CXConfig::GetINIString("Basic", "Name"), "Vantel 1.0");
  EXPECT_STREQ(CXConfig::GetINIString("basic", "SKIN"), "Blue.smf:large");
  EXPECT_STREQ(CXConfig::GetINIString("Basic", "Long"), longValue.c_str());
  EXPECT_STREQ(CXConfig::GetINIString("Basic", "Missing"), "");
  EXPECT_STREQ(CXConfig::GetINIString("Missing", "Name"), "");
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += static_cast<char>(i * 131 + 7);
  WriteTextFile(s / "Config.ini", garbage);
  EXPECT_STREQ(CXConfig::GetINIString("Basic", "Name"), "");
  CXConfig::SetConfigFile("");
}

TEST(UrlEncode, KeepsUnreservedCharactersAndEncodesEveryOtherByte) {
  EXPECT_STREQ(CXConfig::URLEncode("AZaz09-_.~"), "AZaz09-_.~");
  EXPECT_STREQ(CXConfig::URLEncode("C:\\a b#c%d/\xD0\xC5.txt"), "C%3A%5Ca%20b%23c%25d%2F%D0%C5.txt");
  EXPECT_STREQ(CXConfig::URLEncode(""), "");
  // Every byte comes back through the shell's own unescaping.
  std::string all;
  for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
  std::string encoded = CXConfig::URLEncode(all.c_str()).c_str();
  EXPECT_EQ(encoded.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_.~%"),
            std::string::npos);
  DWORD n = static_cast<DWORD>(encoded.size()) + 1;
  ASSERT_EQ(UrlUnescapeA(&encoded[0], nullptr, &n, URL_UNESCAPE_INPLACE), S_OK);
  EXPECT_EQ(std::string(encoded.c_str()), all);
}

}  // namespace
