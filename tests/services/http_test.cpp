// Downloads from the local server of the test run: what arrives is stored whole, and nothing
// appears at the target when the server refuses, is missing, or never answers.
#include <winsock2.h>

#include "platform/services/http.h"
#include "platform/services/midl_doc.h"
#include "platform/services/xcommon.h"
#include "tests/support/registry.h"
#include "tests/support/test_paths.h"
#include "tests/support/zip_builder.h"

#include <gtest/gtest.h>

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
  std::string Url(const std::string& path, int p = 0) {
    return "http://127.0.0.1:" + std::to_string(p ? p : port) + path;
  }

  std::string www;
  int port = 0;
  unsigned long status = 0, received = 0;
  int error = 0;
  CString type;
};

TEST_F(Http, StoresTheBodyExactlyOverThePlaceholderFile) {
  std::string body;
  for (int i = 0; i < 200000; ++i) body += static_cast<char>(i * 7 + i / 256);
  ASSERT_TRUE(WriteBytes(Wide(www + "\\data.bin"), body));
  ScratchFolder s("http");
  char temp[MAX_PATH];
  ASSERT_EQ(CXCommon::GetTempQorFile((s.path() + "\\").c_str(), "update", temp, ".zip"), 1);
  EXPECT_EQ(Get(Url("/data.bin"), temp), 1);
  EXPECT_EQ(status, 200u);
  EXPECT_EQ(received, body.size());
  EXPECT_EQ(ReadTextFile(temp), body);
  EXPECT_EQ(ListTree(Wide(s.path())).size(), 1u);  // nothing partial beside it

  // An HTML page is stored as it came; it is the feed reader that turns it down.
  ASSERT_EQ(Get(Url("/"), s / "feed.xml"), 1);
  CString text("stale");
  CMIDLDoc::ReadMail((s / "feed.xml").c_str(), text);
  EXPECT_TRUE(text.IsEmpty());
}

TEST_F(Http, RefusalsLeaveNoFileAndKeepAnExistingOne) {
  ScratchFolder s("http");
  EXPECT_EQ(Get(Url("/no/such/feed.xml"), s / "feed.xml"), 0);
  EXPECT_EQ(status, 404u);
  WriteTextFile(s / "old.xml", "previous");
  EXPECT_EQ(Get(Url("/missing"), s / "old.xml"), 0);
  EXPECT_EQ(Get("file:///C:/windows/win.ini", s / "f.txt"), 0);
  EXPECT_EQ(ListTree(Wide(s.path())), (std::map<std::wstring, std::string>{{L"old.xml", "previous"}}));
}

TEST_F(Http, AClosedPortOrASilentServerFailsInTime) {
  // Two local sockets: one bound with nobody listening (refused at once), one listening that
  // never answers (only the time-out ends the wait).
  SOCKET sockets[2];
  int ports[2];
  for (int i = 0; i < 2; ++i) {
    sockets[i] = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(sockets[i], reinterpret_cast<sockaddr*>(&a), sizeof a);
    if (i == 1) listen(sockets[i], 4);
    int len = sizeof a;
    getsockname(sockets[i], reinterpret_cast<sockaddr*>(&a), &len);
    ports[i] = ntohs(a.sin_port);
  }
  ScratchFolder s("http");
  for (int i = 0; i < 2; ++i) {
    DWORD start = GetTickCount();
    EXPECT_EQ(Get(Url("/x", ports[i]), s / "x", 1500), 0);
    EXPECT_EQ(status, 0u);
    EXPECT_NE(error, 0);
    EXPECT_LT(GetTickCount() - start, 15000u);
    closesocket(sockets[i]);
  }
  EXPECT_TRUE(ListTree(Wide(s.path())).empty());
}

}  // namespace
