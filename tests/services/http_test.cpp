// Downloads from the local server of the test run, stored whole or not at all, and the feed
// reader, which tells a usable update feed from whatever else a download may bring.
#include <winsock2.h>

#include "platform/services/http.h"
#include "platform/services/midl_doc.h"
#include "tests/support/registry.h"
#include "tests/support/test_paths.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>

namespace {

struct Http : testing::Test {
  void SetUp() override {
    ASSERT_TRUE(LocalServer(&www, &port)) << "the HTTP server fixture (services_http_start) is not running";
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
  }
  void TearDown() override { WSACleanup(); }

  int Get(const std::string& url, const std::string& local, DWORD timeout = 30000) {
    CHttp http;
    http.SetTimeout(timeout);
    int abort = 0;
    return http.httpGetFile(url.c_str(), CString(), local.c_str(), status, received, error, type, abort);
  }
  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port) + path; }

  std::string www;
  int port = 0;
  unsigned long status = 0, received = 0;
  int error = 0;
  CString type;
};

// As the document library writes its files: UTF-8 (the alias is "信息").
const std::string kFeed =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<VFDL><Folder Alias=\"Update\"><Rec Alias=\"\xE4\xBF\xA1\xE6\x81\xAF\" dataid=\"a.1\" version=\"1.10\"/>"
    "</Folder></VFDL>\r\n";

// What arrives is stored whole, over a file that is there, whatever it is: the
// feed reader then gives back a well-formed document whole (from a folder whose name means
// something else in a URL) and nothing for anything else.
TEST_F(Http, StoresWhatArrivesWholeOrNothingAndTheFeedReaderTakesOnlyADocument) {
  std::string body;
  for (int i = 0; i < 200000; ++i) body += static_cast<char>(i * 7 + i / 256);
  ASSERT_TRUE(WriteBytes(Wide(www + "\\data.bin"), body));
  ScratchFolder s("http");
  const std::string temp = s / "update.zip";
  ASSERT_TRUE(WriteTextFile(temp, "placeholder"));
  EXPECT_EQ(Get(Url("/data.bin"), temp), 1);
  EXPECT_EQ(status, 200u);
  EXPECT_EQ(received, body.size());
  EXPECT_EQ(ReadTextFile(temp), body);
  EXPECT_EQ(ListTree(Wide(s.path())).size(), 1u);  // nothing partial beside it

  const std::string local = s / "a#b%20c\\feed.xml";
  const std::pair<const char*, std::string> feeds[] = {
      {"feed.xml", kFeed},
      {"html.xml", "<!DOCTYPE html>\n<html><head><title>404</title></head><body>gone</body></html>"},
      {"xhtml.xml", "<?xml version=\"1.0\"?><html xmlns=\"http://www.w3.org/1999/xhtml\"><body/></html>"},
      {"cut.xml", kFeed.substr(0, kFeed.size() / 2)},
      {"text.xml", "version=1.10"},
      {"empty.xml", ""}};
  for (const auto& [name, text] : feeds) {
    ASSERT_TRUE(WriteBytes(Wide(www + "\\" + name), text));
    ASSERT_EQ(Get(Url(std::string("/") + name), local), 1) << name;
    CString out("stale");
    EXPECT_EQ(CMIDLDoc::ReadMail(local.c_str(), out), text == kFeed ? 1 : 0) << name;
    EXPECT_EQ(std::string(out.c_str(), out.GetLength()), text == kFeed ? kFeed : "") << name;
  }
  CString out("stale");
  EXPECT_EQ(CMIDLDoc::ReadMail((s / "missing.xml").c_str(), out), 0);
  EXPECT_TRUE(out.IsEmpty());

  // A refusal (not found, not HTTP), a closed port and a server that never answers (only the
  // time-out ends the wait) each fail in time, leave nothing at the target and keep what is there.
  ScratchFolder f("http");
  WriteTextFile(f / "old.xml", "previous");
  SOCKET sockets[2];  // bound with nobody listening; listening and never answering
  int ports[2];
  for (int i = 0; i < 2; ++i) {
    sockets[i] = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(sockets[i], reinterpret_cast<sockaddr*>(&a), sizeof a);
    if (i == 1) listen(sockets[i], 4);
    int length = sizeof a;
    getsockname(sockets[i], reinterpret_cast<sockaddr*>(&a), &length);
    ports[i] = ntohs(a.sin_port);
  }
  const std::tuple<std::string, const char*, unsigned long> requests[] = {
      {Url("/no/such/feed.xml"), "feed.xml", 404}, {Url("/missing"), "old.xml", 404},
      {"file:///C:/windows/win.ini", "f.txt", 0},  {"http://127.0.0.1:" + std::to_string(ports[0]), "x", 0},
      {"http://127.0.0.1:" + std::to_string(ports[1]), "x", 0}};
  for (const auto& [url, target, expected] : requests) {
    const DWORD start = GetTickCount();
    EXPECT_EQ(Get(url, f / target, 1500), 0) << url;
    EXPECT_EQ(status, expected) << url;
    EXPECT_EQ(error != 0, expected == 0) << url;
    EXPECT_LT(GetTickCount() - start, 15000u) << url;
  }
  for (SOCKET open : sockets) closesocket(open);
  EXPECT_EQ(ListTree(Wide(f.path())), (std::map<std::wstring, std::string>{{L"old.xml", "previous"}}));
}

}  // namespace
