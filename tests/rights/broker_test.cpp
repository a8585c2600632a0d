// The rights broker as a user without administrator rights meets it (SetUserAdminForTest: Wine
// answers "administrator" otherwise): one launch and one notice for two callers of a tool, the
// tool's swap through the broker, and a table of attacks with the user's ordinary rights against
// a broker consented for one tool. Each attack plants code that leaves a marker file when it runs;
// none may appear, and the broker must still carry out the tool's own request after each.
#include "platform/win/handles.h"
#include "runtime/tool_module.h"
#include "swap/right_request.h"
#include "tests/support/dialog_answerer.h"
#include "tests/support/processes.h"
#include "tests/support/resource_library.h"
#include "tests/support/sample_tool.h"

#include <gtest/gtest.h>

#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

const DWORD kTimeLimitMs = 3000;  // the launcher's time limit of the brokers started here
const DWORD kEndedAtTimeLimit = ERROR_TIMEOUT;
const int kJunkSections = 10000;
const char kMarkerExe[] = "rights_marker.exe";
const char kMarkerDll[] = "rights_marker_dll.dll";
const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kPlanted[] = "VantelPlanted";
// The consented tool's registrations: its value "Setting", and "Env", written expanded with the
// variables of the elevated launcher that swaps it in.
const char kToolRecords[] =
    "<vfdl version=\"1\"><folder alias=\"config\"><record><var name=\"type\">register</var>"
    "<var name=\"key\">HKEY_CURRENT_USER\\%KEY%</var></record></folder><folder alias=\"install\">"
    "<record><var name=\"type\">register</var><var name=\"key\">HKEY_CURRENT_USER\\%KEY%</var>"
    "<var name=\"name\">Setting</var><var name=\"regtype\">1</var><var name=\"value\">tool</var></record>"
    "<record><var name=\"type\">register</var><var name=\"key\">HKEY_CURRENT_USER\\%KEY%</var>"
    "<var name=\"name\">Env</var><var name=\"regtype\">2</var>"
    "<var name=\"value\">%APPDATA%;%ComSpec%;%PATHEXT%;%__COMPAT_LAYER%</var></record></folder></vfdl>";

std::string Platform() { return BinFolder().substr(0, BinFolder().rfind('\\')); }
std::string Data() { return Platform() + "\\data"; }
std::string Unique(const char* name) { return name + std::to_string(GetCurrentProcessId()); }
std::string SwapEntry(const ToolFolder& tool) { return "Swap=" + tool.SwapPath() + "\r\n"; }

RIGHTREQUEST Launcher(const std::string& app, const char* command, const std::string& environment) {
  RIGHTREQUEST r = LauncherRequest(app.c_str(), command);
  r.strEnvironment = environment.c_str();
  return r;
}

RIGHTREQUEST Call(const std::string& library, const char* function) {
  RIGHTREQUEST r;
  r.strLibrary = library.c_str();
  r.strFunction = function;
  r.bStdCall = TRUE;
  return r;
}

// The request file in which a request is running, found as an attacker finds it: by looking.
std::string FileWithRunningRequest() {
  std::string found;
  WaitUntil([&] {
    WIN32_FIND_DATAA entry;
    FindHandle search(FindFirstFileA((Data() + "\\right-*.ini").c_str(), &entry));
    for (BOOL more = search.valid(); more && found.empty(); more = FindNextFileA(search.get(), &entry)) {
      std::string file = Data() + "\\" + entry.cFileName;
      if (ReadTextFile(file).find("status=running") != std::string::npos) found = file;
    }
    return !found.empty();
  }, 10000);
  return found;
}

struct DialogSearch {
  std::vector<DWORD> processes;
  bool found;
};

BOOL CALLBACK FindDialogOf(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<DialogSearch*>(data);
  DWORD pid = 0;
  char name[16] = "";
  GetWindowThreadProcessId(window, &pid);
  GetClassNameA(window, name, sizeof name);
  search->found = IsWindowVisible(window) && lstrcmpA(name, "#32770") == 0 &&
                  std::find(search->processes.begin(), search->processes.end(), pid) != search->processes.end();
  return !search->found;
}

// A launcher's question on the screen: a visible dialog of a run.exe process.
bool LauncherAsks() {
  DialogSearch search{ProcessesNamed("run.exe"), false};
  EnumWindows(FindDialogOf, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

size_t LauncherRuns(const ToolFolder& tool) {
  std::vector<std::string> lines = tool.TraceLines();
  return std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("CheckVersion", 0) == 0; });
}

class Broker : public ::testing::Test {
 protected:
  void SetUp() override {
    EndProcessesNamed("QORRIGHT.exe");
    SetUserAdminForTest(0);
    SetBrokerTimeLimitForTest(kTimeLimitMs);
  }
  void TearDown() override {
    SetUserAdminForTest(-1);
    SetBrokerTimeLimitForTest(0);
    EndProcessesNamed("QORRIGHT.exe");
  }

  ScopedResourceLibrary m_resources;
};

TEST_F(Broker, TwoCallersOfOneToolLaunchOneBrokerAfterOneNotice) {
  SampleTool tool(Platform(), Unique("rightstwo"));
  tool.folder().SetLauncher("System", "yes");  // its second /install succeeds at once
  EnvGuard swap("Swap", tool.folder().SwapPath());
  DialogAnswerer notice("OK");
  int results[2] = {-1, -1};
  auto call = [&](int i) {
    RIGHTREQUEST r = LauncherRequest(tool.folder().AppPath().c_str(), "/install");
    results[i] = ExecuteRequest(r, nullptr, 0);
  };
  std::thread first(call, 0), second(call, 1);
  EXPECT_TRUE(notice.Wait());
  EXPECT_NE(notice.Text().find("consent"), std::string::npos);
  DialogAnswerer another("OK", 1500);
  first.join();
  second.join();
  EXPECT_FALSE(another.Wait());  // one notice only
  EXPECT_EQ(results[0], 1);
  EXPECT_EQ(results[1], 1);
  EXPECT_EQ(ProcessesNamed("QORRIGHT.exe").size(), 1u);
  EXPECT_EQ(tool.MachineSetting(), "tool");
  RemoveTree(Platform() + "\\App\\Tools\\" + Unique("rightstwo"));
}

// A tool that needs administrator rights, used by a user without them: its swap in and out go
// through the broker, which ends after the swap out.
TEST_F(Broker, ASwapThatNeedsRightsRunsTheLauncherThroughTheBroker) {
  SampleTool tool(Platform(), Unique("rightsswap"));
  tool.SetMachineSetting("machine");
  EnvGuard swap("Swap", tool.folder().SwapPath());
  {
    CToolModule module;
    module.m_bLocalApp = FALSE;
    module.InitModule((tool.folder().AppPath() + "\\run.exe").c_str());
    module.m_bNeedAdmin = TRUE;
    DialogAnswerer notice("OK");
    EXPECT_EQ(module.SwapReplaceModule(0), 1);
    EXPECT_EQ(tool.MachineSetting(), "tool");
    EXPECT_EQ(tool.folder().GetConfig("Status"), "on");
    EXPECT_EQ(module.SwapRestoreModule(0), 1);
    EXPECT_EQ(tool.MachineSetting(), "machine");
    EXPECT_EQ(tool.folder().GetConfig("Status"), "off");
  }
  EXPECT_TRUE(WaitUntil([] { return ProcessesNamed("QORRIGHT.exe").empty(); }, 5000));
  RemoveTree(Platform() + "\\App\\Tools\\" + Unique("rightsswap"));
}

// The consented tool is a system tool: once swapped in, its /install succeeds again at once, so
// it is the legitimate request asked after every attack.
class BrokerAttacks : public Broker {
 protected:
  BrokerAttacks() : m_tool(Platform(), Unique("rightstool")) {
    m_tool.folder().SetLauncher("System", "yes");
    std::string records = kToolRecords;
    for (size_t at; (at = records.find("%KEY%")) != std::string::npos;) records.replace(at, 5, m_tool.KeyPath());
    WriteTextFile(Tool().AppPath() + "\\template\\install.xml", records);
    m_tool.SetMachineSetting("machine");
  }
  std::string MachineValue(const char* name) const {
    char value[1024] = "";
    DWORD size = sizeof value;
    SHGetValueA(HKEY_CURRENT_USER, m_tool.KeyPath().c_str(), name, nullptr, value, &size);
    return value;
  }
  ~BrokerAttacks() override { RemoveTree(ToolsFolder() + "\\" + Unique("rightstool")); }

  static std::string ToolsFolder() { return Platform() + "\\App\\Tools"; }
  ToolFolder& Tool() { return m_tool.folder(); }
  std::string ToolFolderPath() const { return ToolsFolder() + "\\" + Unique("rightstool"); }
  int Send(const RIGHTREQUEST& r, int* exitCode = nullptr) {
    return ExecuteThroughBroker(ToolFolderPath().c_str(), r, exitCode);
  }
  int Legit(int* exitCode = nullptr) { return Send(Launcher(Tool().AppPath(), "/install", SwapEntry(Tool())), exitCode); }

  std::string Plant(const char* fixture, const std::string& at) {
    CreateDirectoryA(at.substr(0, at.rfind('\\')).c_str(), nullptr);
    EXPECT_TRUE(CopyFileA((BinFolder() + "\\" + fixture).c_str(), at.c_str(), FALSE)) << at;
    m_plants.push_back(at);
    return at;
  }
  ToolFolder NewTool(const char* name) {
    m_trees.push_back(ToolsFolder() + "\\" + Unique(name));
    return ToolFolder(Platform(), Unique(name), name);
  }
  const std::string& Outside() {
    m_outside.emplace_back(new ScratchFolder("rights-out"));
    return m_outside.back()->path();
  }
  // The tool's application or swap folder replaced by a link out of the platform while the
  // tool's own request is sent.
  int WithLinkedOut(const std::string& folder, const std::string& outside) {
    MoveFileA(folder.c_str(), (folder + ".real").c_str());
    EXPECT_TRUE(MakeFolderLink(folder, outside));
    int result = Legit();
    RemoveFolderLink(folder);
    MoveFileA((folder + ".real").c_str(), folder.c_str());
    return result;
  }
  // The tool's next launcher asks whether its still active swap may stay, and nobody answers.
  void HangNextLauncher(bool hang) {
    m_tool.folder().SetLauncher("System", hang ? "" : "yes");
    m_tool.folder().SetConfig("Install", hang ? "C:\\elsewhere" : Tool().AppPath());
  }
  void CleanUp() {
    for (const std::string& plant : m_plants) {
      EXPECT_FALSE(FileExists(plant + ".ran")) << plant << " ran";
      DeleteFileA(plant.c_str());
      DeleteFileA((plant + ".ran").c_str());
    }
    for (const std::string& tree : m_trees) RemoveTree(tree);
    m_plants.clear();
    m_trees.clear();
    m_outside.clear();
    CopyFileA((BinFolder() + "\\run.exe").c_str(), (Tool().AppPath() + "\\run.exe").c_str(), FALSE);
  }

  SampleTool m_tool;
  std::vector<std::string> m_plants, m_trees;
  std::vector<std::unique_ptr<ScratchFolder>> m_outside;
};

TEST_F(BrokerAttacks, NoPlantedCodeRunsAndTheToolIsStillServed) {
  const std::string app = Tool().AppPath(), swap = SwapEntry(Tool());
  struct Attack {
    const char* name;
    int expected;  // the attack's request: 1 where it is the tool's own, carried out safely
    std::function<int()> run;
  };
  const Attack attacks[] = {
      {"function requests: an export of a DLL under data\\, a missing one, DllRunModule", 0,
       [&] {
         std::string evil = Plant(kMarkerDll, Data() + "\\evil.dll");
         return Send(Call(evil, "Mark")) + Send(Call(evil, "NoSuchExport")) +
                Send(Call(BinFolder() + "\\Vantel10.dll", "DllRunModule"));
       }},
      {"an attacker's run.exe in a new tool folder, its Swap named", 0,
       [&] {
         ToolFolder evil = NewTool("rightsevil");
         Plant(kMarkerExe, evil.AppPath() + "\\run.exe");
         return Send(Launcher(evil.AppPath(), "/install", SwapEntry(evil)));
       }},
      {"the genuine launcher of a new tool beside a planted Vantel10.dll, its install.xml for Run", 0,
       [&] {
         ToolFolder evil = NewTool("rightsnew");
         Plant(kMarkerDll, evil.AppPath() + "\\Vantel10.dll");
         CreateDirectoryA((evil.AppPath() + "\\template").c_str(), nullptr);
         WriteTextFile(evil.AppPath() + "\\template\\install.xml",
                       "<vfdl version=\"1\"><folder alias=\"install\"><record><var name=\"type\">register</var>"
                       "<var name=\"key\">HKEY_LOCAL_MACHINE\\" + std::string(kRunKey) + "</var><var name=\"name\">"
                       "VantelEvil</var><var name=\"regtype\">1</var><var name=\"value\">x</var></record></folder></vfdl>");
         int result = Send(Launcher(evil.AppPath(), "/install", SwapEntry(evil)));
         EXPECT_NE(SHGetValueA(HKEY_LOCAL_MACHINE, kRunKey, "VantelEvil", nullptr, nullptr, nullptr), ERROR_SUCCESS);
         return result;
       }},
      {"the consented tool's own run.exe replaced by the attacker's", 1,
       [&] {
         Plant(kMarkerExe, app + "\\run.exe");
         return Legit();
       }},
      {"swapped in again with DLLs beside the tool's launcher and APPDATA, ComSpec, PATHEXT, "
       "__COMPAT_LAYER, Path and =C: of the caller's",
       1,
       [&] {
         EXPECT_EQ(m_tool.Launch("/uninstall"), 1);  // by the tool's own launcher, with rights
         Plant(kMarkerDll, app + "\\Vantel10.dll");
         Plant(kMarkerDll, app + "\\SkinMagic.dll");
         std::string planted = Data() + "\\" + kPlanted;
         std::string comspec = Plant(kMarkerExe, planted + "\\cmd.exe");
         int result = Send(Launcher(app, "/install", swap + "APPDATA=" + planted + "\r\nComSpec=" + comspec +
                                                         "\r\nPATHEXT=." + kPlanted + "\r\n__COMPAT_LAYER=" + kPlanted +
                                                         "\r\nPath=" + planted + "\r\n=C:=C:\\\r\n"));
         char appData[MAX_PATH] = "";
         SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData);
         EXPECT_EQ(MachineValue("Env").find(kPlanted), std::string::npos) << MachineValue("Env");
         EXPECT_EQ(MachineValue("Env").find(appData), 0u) << MachineValue("Env");  // the system's
         return result;
       }},
      {"an environment text with an empty entry before a planted Path", 0,
       [&] {
         std::string path = Data() + "\\path";
         Plant(kMarkerDll, path + "\\SkinMagic.dll");
         return Send(Launcher(app, "/install", swap + "\r\nPath=" + path + "\r\n"));
       }},
      {"the tool's application folder a link out of the platform", 0,
       [&] {
         const std::string& outside = Outside();
         Plant(kMarkerExe, outside + "\\run.exe");
         Plant(kMarkerDll, outside + "\\Vantel10.dll");
         CopyFileA((app + "\\run.ini").c_str(), (outside + "\\run.ini").c_str(), FALSE);
         return WithLinkedOut(app, outside);
       }},
      {"the tool's swap folder a link out of the platform", 0,
       [&] {
         const std::string& outside = Outside();
         int result = WithLinkedOut(Tool().SwapPath(), outside);
         EXPECT_TRUE(ListTree(std::wstring(outside.begin(), outside.end())).empty());  // nothing written
         return result;
       }},
      {"a tool folder that is a link out of the platform, consented to", 0,
       [&] {
         const std::string& outside = Outside();
         SampleTool linked(outside, Unique("rightslinked"));
         std::string link = ToolsFolder() + "\\" + Unique("rightslinked");
         Plant(kMarkerDll, linked.folder().AppPath() + "\\Vantel10.dll");
         EXPECT_TRUE(MakeFolderLink(link, outside + "\\App\\Tools\\" + Unique("rightslinked")));
         DialogAnswerer notice("OK");
         RIGHTREQUEST r = LauncherRequest((link + "\\app").c_str(), "/install");
         int result = ExecuteRequest(r, nullptr, 0);  // its own broker, which refuses to serve it
         EXPECT_TRUE(notice.Wait());
         RemoveFolderLink(link);
         EXPECT_EQ(linked.MachineSetting(), "<none>");
         return result;
       }},
      {"the broker's former fixed names taken first and its file mutex held", 1,
       [&] {
         UniqueHandle event(CreateEventA(nullptr, FALSE, FALSE, "velmora.qor.right"));
         UniqueHandle creator(CreateEventA(nullptr, TRUE, FALSE, "velmora.qor.right.creator"));
         UniqueHandle mutex(CreateMutexA(nullptr, TRUE, "velmora.qor.right.file"));
         EndProcessesNamed("QORRIGHT.exe");
         DialogAnswerer notice("OK");
         int result = Legit();  // a new broker, consented again
         EXPECT_TRUE(notice.Wait());
         return result;
       }},
      {"the broker ended while its launcher runs: the next answers the left-over, never runs it", 0,
       [&] {
         HangNextLauncher(true);
         auto hung = std::async(std::launch::async, [&] { return Legit(); });
         EXPECT_TRUE(WaitUntil(LauncherAsks, 10000));
         size_t runs = LauncherRuns(Tool());
         EndProcessesNamed("QORRIGHT.exe");
         int result = hung.get();
         HangNextLauncher(false);
         EXPECT_TRUE(WaitUntil([] { return ProcessesNamed("run.exe").empty(); }, 5000));  // ended with it
         DialogAnswerer notice("OK");
         EXPECT_EQ(Legit(), 1);
         EXPECT_TRUE(notice.Wait());
         EXPECT_EQ(LauncherRuns(Tool()), runs + 1);
         return result;
       }},
      {"a launcher that never ends; meanwhile a forged answer, a forged request, 10,000 junk sections, "
       "the lock named after the request file held",
       0,
       [&] {
         HangNextLauncher(true);
         DWORD start = GetTickCount();
         int exitCode = -1;
         auto hung = std::async(std::launch::async, [&] { return Legit(&exitCode); });
         EXPECT_TRUE(WaitUntil(LauncherAsks, 10000));
         std::string file = FileWithRunningRequest();
         HangNextLauncher(false);
         std::string text = ReadTextFile(file);
         text.replace(text.find("status=running"), 14, "status=success\r\nexit=1\r\nanswer=" + std::string(64, '0'));
         ToolFolder evil = NewTool("rightsforged");
         text += "[00000000000000ff]\r\nstatus=ready\r\nissued=" + std::to_string(GetTickCount()) + "\r\nlibrary=\"" +
                 Plant(kMarkerExe, evil.AppPath() + "\\run.exe") + "\" /install\r\nwait=yes\r\nmac=" +
                 std::string(64, '0') + "\r\n";
         for (int i = 0; i < kJunkSections; ++i) text += "[junk" + std::to_string(i) + "]\r\nstatus=ready\r\n";
         WriteTextFile(file, text);
         std::string id = file.substr(file.rfind("right-") + 6, 32);
         UniqueHandle held(CreateMutexA(nullptr, FALSE, ("velmora.qor.right." + id + ".file").c_str()));
         WaitForSingleObject(held.get(), 0);
         auto queued = std::async(std::launch::async, [&] { return Legit(); });
         int result = hung.get();
         EXPECT_GE(GetTickCount() - start, kTimeLimitMs);
         EXPECT_EQ(exitCode, static_cast<int>(kEndedAtTimeLimit));
         EXPECT_EQ(queued.get(), 1);  // seen among the junk, and served after the time limit
         ReleaseMutex(held.get());
         EXPECT_LT(ReadTextFile(file).size(), 1024u);
         return result;
       }},
  };

  DialogAnswerer notice("OK");
  ASSERT_EQ(Legit(), 1);  // the broker for the tool starts, and swaps the tool in
  ASSERT_TRUE(notice.Wait());
  for (const Attack& attack : attacks) {
    SCOPED_TRACE(attack.name);
    EXPECT_EQ(attack.run(), attack.expected);
    CleanUp();
    int exitCode = -1;
    EXPECT_EQ(Legit(&exitCode), 1);
    EXPECT_EQ(exitCode, 1);
    EXPECT_EQ(m_tool.MachineSetting(), "tool");
  }
  RIGHTREQUEST out = Launcher(app, "/uninstall", swap);
  EXPECT_EQ(Send(out), 1);
  EXPECT_EQ(m_tool.MachineSetting(), "machine");
  EXPECT_TRUE(WaitUntil([] { return ProcessesNamed("QORRIGHT.exe").empty(); }, 5000));
}

}  // namespace
