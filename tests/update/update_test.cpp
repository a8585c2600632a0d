// The update checker against HTTP servers on 127.0.0.1, the settings exports, and the documented
// example through host check and a launcher.
#include <winsock2.h>

#include "exports/settings_api.h"
#include "platform/doctree/register_doc.h"
#include "runtime/module_registry.h"
#include "runtime/tool_module.h"
#include "tests/support/processes.h"
#include "tests/support/registry.h"
#include "tests/support/sample_tool.h"
#include "tests/support/zip_builder.h"
#include "update/update_api.h"
#include "update/update_worker.h"
#include "update/version_compare.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <random>
#include <thread>

namespace {

std::string Rec(const std::string& alias, const std::string& vars) {  // vars: "name=value;..."
  std::string xml = "<record alias=\"" + alias + "\">";
  for (size_t at = 0, end, eq; at < vars.size(); at = end + 1) {
    end = std::min(vars.find(';', at), vars.size());
    eq = vars.find('=', at);
    xml += "<var name=\"" + vars.substr(at, eq - at) + "\">" + vars.substr(eq + 1, end - eq - 1) + "</var>";
  }
  return xml + "</record>";
}
std::string Folder(const std::string& alias, const std::string& body) { return "<folder alias=\"" + alias + "\">" + body + "</folder>"; }
std::string Doc(const std::string& body) { return "<vfdl version=\"1\">" + body + "</vfdl>"; }
std::string Join(const CStringArray& a) {
  std::string s;
  for (int i = 0; i < a.GetSize(); ++i) s += (i ? "," : "") + std::string(a[i]);
  return s;
}

int g_completions = 0;
int __cdecl CountCompletion(RUNTIMEPARAM*, int success) { return g_completions += success ? 100 : 1; }

struct Update : testing::Test {
  void SetUp() override {
    ASSERT_TRUE(LocalServer(&www, &port, "update-http")) << "the fixture update_http_start did not run";
    CreateDirectoryA(swap.c_str(), nullptr);
    CreateDirectoryA((swap + "\\MySelf").c_str(), nullptr);
    block.mapHook["DownloadCompleted"] = reinterpret_cast<void*>(&CountCompletion);
  }
  void TearDown() override { DestroyModuleRegistry(); }  // stops every worker before the folders go
  // A fresh module of the block with these settings, whose feed is at path on the local server.
  CToolModule* Tool(const std::string& settings, const std::string& feedPath = "/none") {
    DestroyModuleRegistry();
    RemoveTree(swap + "\\Download");
    WriteTextFile(swap + "\\MySelf\\Register.xml", settings);
    CToolModule* m = FindOrCreateModule(&block);
    m->m_strRemote = Url(feedPath).c_str();
    return m;
  }
  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port) + path; }
  void Serve(const std::string& name, const std::string& bytes) { ASSERT_TRUE(WriteBytes(Wide(www + "\\" + name), bytes)); }
  std::string Get(const std::string& key, const char* name) {
    CString value("stale");
    return DllRegGetKey(&block, key.c_str(), name, value) ? value.c_str() : "<none>" + std::string(value);
  }
  int Check() {
    CStringArray queued, downloaded;
    return DllCheckUpdate(&block, queued, downloaded);
  }

  ScratchFolder root{"update"};
  std::string swap = root / "Swap", www;
  int port = 0;
  EnvGuard swapVariable{"Swap", swap};
  RUNTIMEPARAM block;
};

TEST(Versions, ComparedAsPeopleReadThem) {
  const std::pair<const char*, const char*> olderNewer[] = {
      {"1.9", "1.10"}, {"1.09", "1.9"}, {"1.9", "1.9.1"}, {"1.9", "1.9a"}, {"1.9a", "1.10"},  {"1.99", "2.0"}, {"", "1.0"},
      {"1", "1.0"},    {"1.-", "1.0"},  {"1.10", "1.a"},  {"1.A", "1.a"},  {"1.010", "1.10"}, {"9.99999999999999999999", "9.100000000000000000000"}};
  for (const auto& [older, newer] : olderNewer)
    EXPECT_TRUE(CompareVersions(older, newer) < 0 && CompareVersions(newer, older) > 0 && !CompareVersions(newer, newer)) << older << " < " << newer;
}

// Random versions are in one order: antisymmetric, transitive, 0 only for the same text.
TEST(Versions, RandomVersionsAreInOneOrder) {
  std::mt19937 random(20240501);
  const char* const parts[] = {"1", "2", "9", "10", "11", "0", "00", "01", "a", "1a", "9a", "b2", "-", ""};
  std::vector<std::string> versions(40);
  for (std::string& v : versions)
    for (int k = 0, count = 1 + random() % 4; k < count; ++k) v += (k ? "." : "") + std::string(parts[random() % std::size(parts)]);
  auto order = [](const std::string& a, const std::string& b) { return CompareVersions(a.c_str(), b.c_str()); };
  for (const std::string& x : versions) {
    for (const std::string& y : versions) {
      EXPECT_TRUE(order(x, y) == -order(y, x) && (order(x, y) == 0) == (x == y)) << x << " " << y;
      for (const std::string& z : versions) EXPECT_TRUE(order(x, y) > 0 || order(y, z) > 0 || order(x, z) <= 0) << x << " " << y << " " << z;
    }
  }
}

TEST(UpdateExports, AreInTheLibrarysExportTable) {
  LibraryHandle library(LoadLibraryA((BinFolder() + "\\Vantel10.dll").c_str()));
  for (const char* name : {"DllRegSetKey", "DllRegGetKey", "DllRegBrowseKey", "DllRegCreateNode", "DllRegDeleteNode", "DllRegBrowseNode",
                           "DllZipArchive", "DllUnzipArchive", "DllExecApp", "DllExitApp", "DllRegisterLib", "DllCheckUpdate", "DllWaitUpdate"})
    EXPECT_NE(GetProcAddress(library.get(), name), nullptr) << name;
}

// Export calls in turn, each with its result and output; outputs start "stale" and must be emptied.
TEST_F(Update, SettingsExportsGiveTheirDocumentedAnswers) {
  Tool(Doc(Folder("F", "<record id=\"7\" alias=\"R\"><subject>S</subject><var name=\"a\">1</var><var name=\"x@y\">2</var></record>" +
                       Folder("Sub", Rec("S", "b=3")))));
  using Answer = std::pair<int, std::string>;
  auto get = [&](const char* key, const char* name) {
    CString v("stale");
    return Answer{DllRegGetKey(&block, key, name, v), v.c_str()};
  };
  auto list = [&](int (*browse)(RUNTIMEPARAM*, const CString&, CStringArray&), const char* key) {
    CStringArray a;
    a.Add("stale");
    return Answer{browse(&block, key, a), Join(a)};
  };
  const struct { const char* what; std::function<Answer()> call; Answer expected; } steps[] = {
      {"missing key", [&] { return get("afs:\\F\\Nothing", "a"); }, {0, ""}},
      {"unknown attribute", [&] { return get("afs:\\F\\R", "@Colour"); }, {0, ""}},
      {"attribute in lower case", [&] { return get("afs:\\F\\R", "@id"); }, {0, ""}},
      {"attribute of nothing", [&] { return get("afs:\\F\\Nothing", "@ID"); }, {0, ""}},
      {"@ later in a name", [&] { return get("afs:\\F\\R", "x@y"); }, {1, "2"}},
      {"attributes", [&] { return Answer{1, Get("afs:\\F\\R", "@ID") + Get("afs:\\F\\R", "@Alias") + Get("afs:\\F\\R", "@Subject") +
                                             Get("afs:\\F\\R", "@FilePos") + Get("afs:\\", "@Type") + Get("afs:\\F", "@Type") + Get("afs:\\F\\R", "@Type")}; },
       {1, "7RS" + swap + "\\MySelf\\7RootFolderRec"}},
      {"variables of a folder", [&] { return list(DllRegBrowseKey, "afs:\\F"); }, {0, ""}},
      {"variables of a record", [&] { return list(DllRegBrowseKey, "afs:\\F\\R"); }, {2, "a,x@y"}},
      {"records below", [&] { return list(DllRegBrowseNode, "afs:\\F"); }, {2, "afs:\\F\\R,afs:\\F\\Sub\\S"}},
      {"create what exists", [&] { return Answer{DllRegCreateNode(&block, "afs:\\F", "r", 1), Get("afs:\\F\\R", "@Type")}; }, {1, "Rec"}},
      {"create a folder", [&] { return Answer{DllRegCreateNode(&block, "afs:\\F", "N", 1), Get("afs:\\F\\N", "@Type")}; }, {1, "Folder"}},
      {"create under nothing", [&] { return Answer{DllRegCreateNode(&block, "afs:\\None", "x", 0), ""}; }, {0, ""}},
      {"delete nothing, the root", [&] { return Answer{DllRegDeleteNode(&block, "afs:\\F\\No") + DllRegDeleteNode(&block, "afs:\\"), ""}; }, {0, ""}},
      {"delete a folder", [&] { return Answer{DllRegDeleteNode(&block, "afs:\\F\\Sub"), list(DllRegBrowseNode, "afs:\\F").second}; }, {1, "afs:\\F\\R"}},
      {"set a key", [&] { return Answer{DllRegSetKey(&block, "afs:\\G\\K", "v", "w"), Get("afs:\\G\\K", "v")}; }, {1, "w"}}};
  for (const auto& step : steps) EXPECT_EQ(step.call(), step.expected) << step.what;
}

TEST_F(Update, AFeedThatCannotBeHadChangesNothing) {
  const std::string feed = Doc(Folder("U", Rec("N", "dataid=n;version=2;default=yes;download=" + Url("/f.zip"))));
  const std::string settings = Doc(Folder("U", Rec("Old", "k=v")));
  const struct { const char* name; std::string url, body; } rows[] = {{"server down", "http://127.0.0.1:1/feed.xml", ""}, {"not found", Url("/no-such.xml"), ""},
              {"HTML", Url("/html.xml"), "<!DOCTYPE html><html><body>Not here</body></html>"},
              {"truncated XML", Url("/cut.xml"), feed.substr(0, feed.size() / 2)}, {"empty body", Url("/empty.xml"), ""},
              {"foreign XML", Url("/rss.xml"), "<rss version=\"2.0\"><channel/></rss>"}};
  for (const auto& row : rows) {
    if (row.url.find(Url("/")) == 0 && row.url != Url("/no-such.xml")) Serve(row.url.substr(row.url.rfind('/') + 1), row.body);
    Tool(settings)->m_strRemote = row.url.c_str();
    EXPECT_EQ(Check(), 0) << row.name;
    EXPECT_EQ(ReadTextFile(swap + "\\MySelf\\Register.xml") + (FileExists(swap + "\\Download") ? "+Download" : ""), settings) << row.name;
  }
}

// A feed merged into the tool's settings (both under U), and what they say afterwards ("*": the
// record's variables; "~": a text the saved file holds).
TEST_F(Update, FeedsMergeIntoTheToolsSettings) {
  const std::string none = ";download=" + Url("/missing.zip");  // every download fails: queued records stay "wait"
  const struct { const char* name; std::string local, feed; std::vector<std::tuple<const char*, const char*, std::string>> after; } rows[] = {
      {"not queued unless default is yes", "", Rec("N", "dataid=n;version=2;default=no" + none), {{"N", "dataid", "<none>"}}},
      {"not queued again nor refreshed: the dataid is there, deeper, as new",
       Folder("D", Rec("Old", "dataid=n;version=2;download=x;version_now=2;transfer=ok")), Rec("N", "dataid=n;version=2;default=yes" + none),
       {{"N", "dataid", "<none>"}, {"D\\Old", "transfer", "ok"}}},
      {"refreshed: 1.9 is older than 1.10", Rec("Old", "dataid=n;version=1.9;download=x;version_now=1.9;transfer=ok;note=mine"),
       Rec("N", "dataid=n;version=1.10;homepage=h;size=5;default=no" + none),
       {{"Old", "*", "dataid,version,download,version_now,transfer,note,default,homepage,size"}, {"Old", "version", "1.10"},
        {"Old", "transfer", "wait"}, {"Old", "homepage", "h"}, {"Old", "note", "mine"}}},
      {"left alone in state transfer", Rec("Old", "dataid=n;version=1;download=x;version_now=1;transfer=Transfer"),
       Rec("N", "dataid=n;version=2" + none), {{"Old", "version", "1"}, {"Old", "transfer", "Transfer"}}},
      {"merged by alias without download",
       "<record alias=\"Opt\"><abstract>mine</abstract><var name=\"a\">1</var><var name=\"b\">2</var><page name=\"p\">old</page>"
       "<page name=\"q\">kept</page></record>",
       "<record alias=\"opt\"><abstract>theirs</abstract><var name=\"b\">3</var><var name=\"c\">4</var><var name=\"dataid\">n</var>"
       "<var name=\"version\">9</var><page name=\"p\">new</page></record>",
       {{"Opt", "*", "a,b,c,dataid,version"}, {"Opt", "b", "3"}, {"Opt", "~", "<abstract>mine</abstract>"},
        {"Opt", "~", "<page name=\"q\">kept</page>"}, {"Opt", "~", "<page name=\"p\">new</page>"}}},
      {"copied when new; left when the kinds differ", Rec("Same", "k=1"), Folder("Same", Rec("X", "k=2")) + Folder("New", Folder("In", Rec("X", "k=3"))),
       {{"Same", "k", "1"}, {"New\\In\\X", "k", "3"}}}};
  for (const auto& row : rows) {
    Serve("merge.xml", Doc(Folder("U", row.feed)));
    Tool(Doc(Folder("U", row.local)), "/merge.xml");
    ASSERT_EQ(Check(), 1) << row.name;
    for (const auto& [key, name, value] : row.after) {
      const std::string path = std::string("afs:\\U\\") + key;
      CStringArray names;
      std::string actual = *name == '*' ? (DllRegBrowseKey(&block, path.c_str(), names), Join(names)) : Get(path, name);
      if (*name == '~') actual = Has(ReadTextFile(swap + "\\MySelf\\Register.xml"), value) ? value : "not in the file";
      EXPECT_EQ(actual, value) << row.name << ": " << key << " " << name;
    }
  }
}

// One item per archive: only the one that stays inside its folder is unpacked, nothing elsewhere.
TEST_F(Update, OnlyArchivesThatStayInsideTheirFolderAreUnpacked) {
  const std::string outside = root / "evil.txt";
  const std::pair<std::string, std::string> archives[] = {
      {"good", BuildZip({{"a.txt", "A"}, {"sub/b.txt", "B"}})}, {"dotdot", BuildZip({{"ok.txt", "x"}, {"..\\evil.txt", "x"}})},
      {"absolute", BuildZip({{outside, "x"}})}, {"notzip", "PK\x03\x04 but nothing more"}, {"missing", ""}};
  std::string items;
  for (const auto& [name, zip] : archives) {
    if (name != "missing") Serve(name + ".zip", zip);
    items += Rec(name, "dataid=" + name + ";version=1;default=YES;download=" + Url("/" + name + ".zip"));  // queued by default
  }
  Serve("archives.xml", Doc(Folder("U", items)));
  Tool(Doc(Folder("U", "")), "/archives.xml");
  ASSERT_EQ(Check(), 1);
  for (const auto& [name, zip] : archives) EXPECT_EQ(Get("afs:\\U\\" + name, "transfer"), name == "good" ? "ok" : "wait") << name;
  const std::wstring id = Wide(Get("afs:\\U\\good", "@ID"));
  EXPECT_EQ(ListTree(Wide(swap + "\\Download")),
            (std::map<std::wstring, std::string>{{id, "<dir>"}, {id + L"\\a.txt", "A"}, {id + L"\\sub", "<dir>"}, {id + L"\\sub\\b.txt", "B"}}));
  EXPECT_FALSE(FileExists(outside));
}

// The host counts in a record (read, add one, write) while the worker merges a feed that names it
// again and again (saving is off, so that the host's writes fall between the merge's steps): no
// count is lost, in memory or in the file, and the feed's values are there.
TEST_F(Update, TheHostsWritesDuringAMergeAreKept) {
  std::string feed;
  for (int i = 0; i < 10000; ++i) feed += Rec("Hot", "feed=" + std::to_string(i));
  Serve("hot.xml", Doc(feed));
  CToolModule* m = Tool(Doc(Rec("Hot", "count=0")), "/hot.xml");
  m->m_pRegisterDoc->SetAutoSaveFlag(0);
  StartUpdateWorker(*m);
  int counted = 0;
  for (; counted < 100 || !m->m_pUpdateWorker->Wait(0); ++counted)
    ASSERT_EQ(DllRegSetKey(&block, "afs:\\Hot", "count", std::to_string(atoi(Get("afs:\\Hot", "count").c_str()) + 1).c_str()), 1);
  m->m_pRegisterDoc->SetAutoSaveFlag(1);
  DllRegSetKey(&block, "afs:\\Saved", "yes", "yes");
  EXPECT_EQ(Get("afs:\\Hot", "count") + Get("afs:\\Hot", "feed"), std::to_string(counted) + "9999");
  EXPECT_TRUE(Has(ReadTextFile(swap + "\\MySelf\\Register.xml"), "<var name=\"count\">" + std::to_string(counted) + "</var>"));
}

// The documented example (docs/update, with this server's port) through host check, then through
// a launcher's application start, which waits for the check before it ends.
TEST_F(Update, TheExampleUpdateArrivesThroughHostCheckAndThroughTheLauncher) {
  const std::string example = BinFolder() + "\\update-example\\";
  auto ours = [&](std::string s) {
    for (size_t at; (at = s.find("http://127.0.0.1:8080")) != std::string::npos;) s.replace(at, 21, Url(""));
    return s;
  };
  CreateDirectoryA((www + "\\notes").c_str(), nullptr);
  Serve("notes\\feed.xml", ours(ReadTextFile(example + "notes\\feed.xml")));
  Serve("notes\\notes-1.1.zip", ReadTextFile(example + "notes\\notes-1.1.zip"));
  ScratchFolder platform("updplat");
  SampleTool source(root.path(), "UpdNotes");
  source.UseProgram();
  const std::string host = "\"" + BinFolder() + "\\host.exe\" -p \"" + platform.path() + "\" ";
  std::string added = RunCapture(host + "add \"" + root.path() + "\\App\\Tools\\UpdNotes\"");
  added.erase(added.find_last_not_of("\r\n") + 1);
  ToolFolder tool(platform.path(), added.substr(added.rfind('\\') + 1), "UpdNotes");
  CreateDirectoryA((tool.SwapPath() + "\\MySelf").c_str(), nullptr);
  WriteTextFile(tool.SwapPath() + "\\MySelf\\Register.xml", ours(ReadTextFile(example + "Register.xml")));
  const std::string download = tool.SwapPath() + "\\Download\\21";
  auto unpacked = [&] { return ReadTextFile(download + "\\readme.txt").substr(0, 9) + ReadTextFile(download + "\\lang\\en.ini").substr(0, 9); };

  std::string checked = RunCapture(host + "check updnotes");
  checked.erase(std::remove(checked.begin(), checked.end(), '\r'), checked.end());
  EXPECT_EQ(checked, "checked\tUpdNotes\t" + Url("/notes/feed.xml") + "\nqueued\tNotes\t1.1\ndownloaded\tNotes\t1.1\t" + download + "\n");
  EXPECT_EQ(unpacked(), "Notes 1.1[Strings]");
  RemoveTree(tool.SwapPath() + "\\Download");
  EXPECT_EQ(tool.Launch("/load"), 1);
  EXPECT_EQ(unpacked(), "Notes 1.1[Strings]");
  EXPECT_TRUE(Has(ReadTextFile(tool.SwapPath() + "\\MySelf\\Register.xml"), "<var name=\"version_update\">1.1</var>"));
  EXPECT_EQ(tool.Launch("/unload"), 1);
}

// The module goes while its worker downloads the first of two items from the test's own socket: an
// answer within the stop's 5 s is unpacked and the second item never asked for (it would hang);
// without one the thread is cut off (0xFFFFFFFF). DownloadCompleted(0) comes once. Last in the
// suite: a thread cut off inside WinINet leaves WinINet's state behind.
TEST_F(Update, AStopLetsTheDownloadUnderWayFinishAndCutsOffAWorkerThatOutlivesIt) {
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  for (bool answered : {true, false}) {
    SOCKET server = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP), client;
    sockaddr_in a = {AF_INET, 0, {}, {}};
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof a;
    bind(server, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(server, 4);
    getsockname(server, reinterpret_cast<sockaddr*>(&a), &length);
    const std::string zip = ";version=1;default=yes;download=http://127.0.0.1:" + std::to_string(ntohs(a.sin_port)) + "/item.zip";
    Serve("two.xml", Doc(Folder("U", Rec("A", "dataid=a" + zip) + Rec("B", "dataid=b" + zip))));
    g_completions = 0;
    StartUpdateWorker(*Tool(Doc(Folder("U", "")), "/two.xml"));
    UniqueHandle thread(OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION, FALSE, FindOrCreateModule(&block)->m_pUpdateWorker->ThreadId()));
    char request[4096];
    recv(client = accept(server, nullptr, nullptr), request, sizeof request, 0);  // A is asked for
    const DWORD start = GetTickCount();
    std::thread stop([] { DestroyModuleRegistry(); });
    Sleep(500);
    const std::string body = BuildZip({{"a.txt", "A"}}), head = "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    if (answered) send(client, (head + body).data(), static_cast<int>(head.size() + body.size()), 0);
    stop.join();
    const DWORD took = GetTickCount() - start;
    DWORD code = 0;
    EXPECT_EQ(took >= 5000, !answered) << took << " ms";
    EXPECT_TRUE(GetExitCodeThread(thread.get(), &code) && code == (answered ? 0 : 0xFFFFFFFF)) << answered;
    EXPECT_EQ(g_completions, 1) << answered;
    EXPECT_EQ(Has(ReadTextFile(swap + "\\MySelf\\Register.xml"), ">ok<") + FileExists(swap + "\\Download\\" + Get("afs:\\U\\A", "@ID")), answered ? 2 : 0);
    closesocket(client);
    closesocket(server);
  }
  WSACleanup();
}

}  // namespace
