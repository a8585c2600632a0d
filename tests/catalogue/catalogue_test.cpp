// The host side of the library through the real Vantel10.dll, with this test as the host: the
// bytes of a forwarded request and the window's answers to good and malformed ones, a tool whose
// program is killed unloaded by the watch thread, the launch counts and gadget notices, the
// launcher's environment and command line, the tool icons, and bad catalogues.
#include "catalogue/launch_accounting.h"
#include "catalogue/settings_tree.h"
#include "catalogue/tool_command.h"
#include "platform/doctree/register_doc.h"
#include "platform/services/afs_icon.h"
#include "platform/services/afs_path.h"
#include "tests/support/dialog_answerer.h"
#include "tests/support/host_platform.h"
#include "tests/support/processes.h"
#include "tests/support/shared_table.h"

#include <gtest/gtest.h>

namespace {


// A window that records the open requests sent to it and answers 7.
std::string g_received;
LRESULT CALLBACK RecordingProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_COPYDATA) {
    auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
    g_received = std::to_string(data->dwData) + ":" + std::string(static_cast<char*>(data->lpData), data->cbData);
    return 7;
  }
  if (msg == WM_TOOL_GADGET) {
    auto* notice = reinterpret_cast<const TOOLGADGETNOTICE*>(wp);
    g_received = "gadget " + std::string(notice->pNode ? notice->pNode->GetAlias().c_str() : "-") + " " +
                 std::to_string(notice->dwValue);
    return 0;
  }
  return DefWindowProcA(h, msg, wp, lp);
}

HWND RecordingWindow() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = RecordingProc;
  wc.lpszClassName = "VantelRecordingWindow";
  RegisterClassA(&wc);
  return CreateWindowA(wc.lpszClassName, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
}

// Runs a program of the bin folder while this thread answers its window's messages.
int RunPumping(HostPlatform& host, const std::string& commandLine) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::string cmd = "\"" + BinFolder() + "\\" + commandLine;
  cmd.insert(cmd.find(".exe") + 4, "\"");
  if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
  host.PumpUntil([&] { return WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0; });
  DWORD code = 99;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return static_cast<int>(code);
}

TEST(Forwarding, RequestBytesAndTheWindowsAnswers) {
  HostPlatform host;
  SHAREDTOOLDATA* table = LoadedSharedTable();
  HWND recorder = RecordingWindow();
  table->hMainWnd = recorder;  // another process's main window, as this process sees it
  const struct {
    const char *id, *arg1, *arg2, *bytes;
    size_t size;
  } rows[] = {{"x", nullptr, nullptr, "x\0\0\0\0", 5}, {"Tool", "a b.txt", "2", "Tool\0a b.txt\0" "2\0\0", 16}};
  for (const auto& row : rows) {
    EXPECT_EQ(host.DllOpenTool(row.id, row.arg1, row.arg2), 7);
    EXPECT_EQ(g_received, "0:" + std::string(row.bytes, row.size)) << row.id;
  }
  table->hMainWnd = nullptr;
  EXPECT_EQ(host.DllOpenTool("x", "", ""), 0);  // no main window: nothing sent
  DestroyWindow(recorder);

  host.LoadApp();
  ASSERT_NE(table->hMainWnd, nullptr);
  host.AddTool("Alpha", {{"version_now", "1.0"}, {"load_now", "run.exe /version 1"}});
  EXPECT_EQ(host.DllOpenTool("nothing", "", ""), 0);          // here: unknown is 0
  EXPECT_EQ(RunPumping(host, "table_peer.exe open nothing"), 1);  // forwarded: 1
  for (const std::string& bad : {std::string(), std::string("Alpha"), std::string("Alpha\0a\0", 8)}) {
    COPYDATASTRUCT data = {0, static_cast<DWORD>(bad.size()), const_cast<char*>(bad.data())};
    EXPECT_EQ(SendMessageA(table->hMainWnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)), 0) << bad.size();
  }
  EXPECT_EQ(RunPumping(host, "table_peer.exe open aLpHa"), 1);  // found in any letter case, loaded
  EXPECT_TRUE(WaitUntil([&] { return host.Tool(0).Record() != nullptr; }, 20000));  // its launcher ran
}

TEST(Watch, AKilledToolIsUnloadedOnTheWindowsThread) {
  HostPlatform host;
  host.LoadApp();
  CVFDLNode* node = host.AddTool("Killed", {{"version_now", "1"}, {"load_now", "run.exe /load"},
                                            {"unload_now", "run.exe /unload"}});
  SampleTool& tool = host.Tool(0);
  tool.UseProgram();
  ASSERT_EQ(host.DllLoadTools(node, 1, "", ""), 1);
  ASSERT_TRUE(host.PumpUntil([&] { return host.DllIsToolsLoaded(node) == 1; }));
  EXPECT_EQ(tool.MachineSetting(), "tool");
  EXPECT_EQ(host.CanUnloadNow(), 0);  // a record is named
  EndProcessesNamed("sysreg_app.exe");
  EXPECT_TRUE(host.PumpUntil([&] { return !tool.Record() && tool.MachineSetting() == "<none>"; }));
  EXPECT_TRUE(host.PumpUntil([&] { return host.CanUnloadNow() != 0; }));  // once its launcher has ended
}

TEST(LaunchAccounting, TotalTimeMerged) {
  const struct {
    const char *stored, *launches, *expected;
  } rows[] = {
      {"a=1;tool=x:2,y:3;b=2", "x", "a=1;tool=x:3,y:3;b=2"},
      {"tool=x:2", "", "tool=x:2"},
      {";;a=1;;tool=;", "z", "a=1;tool=z:1"},
      {"tool= x :4, y", "", "tool=x:4"},
      {"tool=x:-1", "x", "tool=x:-1"},  // summing to 0 drops x: no count left, the value stays
      {"a=1", "q", "a=1;tool=q:1"},     // no tool part: one is added
      {"tool=B:1,a:1", "", "tool=B:1,a:1"},
      {"x:;=:,tool==:;::", "", "x:;=:,tool==:;::"},
  };
  for (const auto& row : rows) {
    ToolWatchMap counts;
    if (*row.launches) counts[row.launches].count = 1;
    EXPECT_STREQ(MergeUsageCounts(row.stored, counts), row.expected) << row.stored;
  }
}

TEST(LaunchAccounting, CountsLaunchesOnceAndAnnouncesGadgets) {
  HostPlatform host;
  HWND notify = RecordingWindow();
  host.afs.m_hNotifyWnd = notify;
  host.afs.m_dwNotifyParam = 42;
  host.LoadApp();
  CRegisterDoc* settings = host.Settings();
  settings->SetKey(CAFSPath::UserRecordPath(), "TotalTime", "tool=Both:5");
  CVFDLNode* both = host.AddTool("Both", {{"version_now", "1"}, {"load_now", "run.exe /version 1"}});
  CVFDLNode* gadget = host.AddTool("Gadget", {{"version_now", "1"}, {"load_now", "run.exe /version 1"}});
  SHAREDTOOLDATA* table = LoadedSharedTable();
  for (CVFDLNode* node : {both, gadget}) ASSERT_EQ(host.DllLoadTools(node, 0, "", ""), 1);
  // The launchers report what they loaded as a launcher would (theirs load nothing).
  TOOLRUNTIMEINFO& a = table->tools[18];
  TOOLRUNTIMEINFO& b = table->tools[19];
  strcpy(a.szName, "Both");
  strcpy(b.szName, "Gadget");
  a.dwState = TOOLSTATE_APP | TOOLSTATE_GADGET;
  g_received.clear();
  b.dwState = TOOLSTATE_GADGET;
  host.PumpUntil([] { return !g_received.empty(); }, 5000);
  EXPECT_EQ(g_received, "gadget Gadget 42");
  memset(&a, 0, sizeof a);
  memset(&b, 0, sizeof b);
  host.UnLoadApp();
  CString total;
  settings->GetKey(CAFSPath::UserRecordPath(), "TotalTime", total);
  EXPECT_STREQ(total, "tool=Both:6");
  DestroyWindow(notify);
}

TEST(LaunchAccounting, LoadUnloadLoadCountsTwo) {
  HostPlatform host;
  host.LoadApp();
  CVFDLNode* node = host.AddTool("Twice", {{"version_now", "1"}, {"load_now", "run.exe /load"},
                                           {"unload_now", "run.exe /unload"}});
  host.Tool(0).UseProgram();
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(host.DllLoadTools(node, 1, "", ""), 1);
    ASSERT_TRUE(host.PumpUntil([&] { return host.DllIsToolsLoaded(node) == 1; }));
    host.PumpUntil([] { return false; }, 1200);  // two timer ticks
    ASSERT_EQ(host.DllUnloadTools(node, 1), 1);
    ASSERT_TRUE(host.PumpUntil([&] { return !host.Tool(0).Record(); }));
  }
  host.UnLoadApp();
  CString total;
  host.Settings()->GetKey(CAFSPath::UserRecordPath(), "TotalTime", total);
  EXPECT_STREQ(total, "tool=Twice:2");
}

TEST(Catalogue, LauncherEnvironmentCommandLineAndConfig) {
  HostPlatform host;
  host.LoadApp();
  CVFDLNode* node = host.AddTool("Probe", {{"version_now", "1"}, {"load_now", "probe.exe /load %1 %2"}});
  SampleTool& tool = host.Tool(0);
  ASSERT_TRUE(CopyFileA((BinFolder() + "\\sysreg_app.exe").c_str(), (tool.folder().AppPath() + "\\probe.exe").c_str(), FALSE));
  std::string log = host.Root() + "\\probe.log";
  EnvGuard logFile("VANTEL_APP_LOG", log);
  EnvGuard swap("Swap", "C:\\host-own");  // the host's own Swap does not reach the tool
  ASSERT_EQ(host.DllLoadTools(node, 1, "a.txt", ""), 1);
  ASSERT_TRUE(WaitUntil([&] { return Has(ReadTextFile(log), "swap="); }, 20000));
  char shortFolder[MAX_PATH] = "";
  GetShortPathNameA((host.Root() + "\\App\\Tools\\" + tool.folder().AppPath().substr(host.Root().size() + 11, std::string::npos)).c_str(), shortFolder, MAX_PATH);
  std::string text = ReadTextFile(log);
  EXPECT_TRUE(Has(text, "cwd=" + BinFolder() + "\n")) << text;
  EXPECT_TRUE(Has(text, "cmd=" + std::string(shortFolder) + "\\probe.exe /load a.txt \n")) << text;
  EXPECT_TRUE(Has(text, ";" + BinFolder() + "\nswap=" + tool.folder().SwapPath() + "\n")) << text;
  std::vector<char> block = ToolEnvironment("C:\\lib", "C:\\t\\Swap");  // Wine reorders a child's block
  std::string all(block.begin(), block.end());
  EXPECT_EQ(all.substr(all.size() - 16), std::string("Swap=C:\\t\\Swap\0\0", 16));
  EXPECT_TRUE(Has(all, ";C:\\lib" + std::string(1, '\0'))) << "Path ends with the library folder";
  EXPECT_EQ(tool.folder().GetConfig("ID"), "Probe");
  EXPECT_EQ(tool.folder().GetConfig("Manual"), "yes");
}

TEST(Catalogue, ToolImageCandidatesAndBadRecords) {
  HostPlatform host;
  CVFDLNode* node = host.AddTool("Icon", {{"version_now", ""}, {"load_now", "tool /x"}});
  std::string app = host.Tool(0).folder().AppPath() + "\\";
  const std::vector<std::vector<const char*>> rows = {{"tool.exe"}, {"tool.com", "tool.exe"}, {"tool", "tool.com"}};
  for (const auto& files : rows) {
    for (const char* f : files) CopyFileA((BinFolder() + "\\sysreg_app.exe").c_str(), (app + f).c_str(), FALSE);
    EXPECT_EQ(host.DllGetToolsImage(node), CAFSIcon::m_afsIcon.GetImageIndex((app + files[0]).c_str())) << files[0];
  }
  EXPECT_EQ(host.DllLoadTools(node, 1, "", ""), 0);  // before LoadApp
  host.LoadApp();
  DialogAnswerer answer("OK");
  EXPECT_EQ(host.DllLoadTools(node, 1, "", ""), 0);  // no installed version: said for a manual load
  EXPECT_TRUE(answer.Wait());
  EXPECT_TRUE(Has(answer.Text(), "Icon has no installed version")) << answer.Text();
  node->SetExtendType(1);
  EXPECT_EQ(host.DllGetToolsImage(node), -1);
}

TEST(Catalogue, TheDocumentedExampleHoldsTwoTools) {
  HostPlatform host;
  CPlatformTree example;
  ASSERT_TRUE(example.Open((BinFolder() + "\\platform-example").c_str()));
  host.afs.m_pMainDoc = example.MainDoc();
  std::string ids;
  for (CVFDLNode* node : CatalogueRecords()) ids += std::string(ToolValue(node, "dataid")) + "@" + std::string(CAFSPath::ToolFolder(node)) + " ";
  std::string tools = std::string(host.afs.m_strRootPath) + "\\App\\Tools\\";
  EXPECT_EQ(ids, "Notes@" + tools + "11 Viewer@" + tools + "12 ");
  host.afs.m_pMainDoc = nullptr;
}

TEST(Catalogue, AMalformedSettingsFileStopsLoadAppAndStaysAsItWas) {
  HostPlatform host;
  CString file = host.afs.m_pMainDoc->GetExpandDocPath(CAFSPath::GetRegRoot());
  CreateDirectoryA(file.Left(file.ReverseFind('\\')), nullptr);
  WriteTextFile(file.c_str(), "<vfdl><folder alias=");
  host.LoadApp();
  EXPECT_EQ(LoadedSharedTable()->hMainWnd, nullptr);
  EXPECT_EQ(ReadTextFile(file.c_str()), "<vfdl><folder alias=");
}

}  // namespace
