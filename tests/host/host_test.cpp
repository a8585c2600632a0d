// host.exe end to end on a platform folder of the test's own: a tool added, listed, loaded by a
// client while the host runs, its program closed by the user and the tool unloaded by the host's
// watch, the host stopped; and what the verbs say when they cannot work.
#include "tests/support/processes.h"
#include "tests/support/sample_tool.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct Platform {
  ScratchFolder root{"host"};
  ScratchFolder staging{"toolsrc"};
  std::string Host(const std::string& verb) const { return "\"" + BinFolder() + "\\host.exe\" -p \"" + root.path() + "\" " + verb; }
  std::string Run(const std::string& verb, int* code = nullptr) const {  // lines end in LF here
    std::string text = RunCapture(Host(verb), code);
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
  }
};

// The tool's program closes its windows as its user would.
BOOL CALLBACK CloseWindowsOf(HWND window, LPARAM processId) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == static_cast<DWORD>(processId)) PostMessageA(window, WM_CLOSE, 0, 0);
  return TRUE;
}

TEST(Host, AToolsLifeThroughTheHost) {
  Platform p;
  SampleTool source(p.staging.path(), "HostNotes");
  source.UseProgram();
  int code = -1;
  EXPECT_TRUE(Has(p.Run("add \"" + source.folder().AppPath().substr(0, source.folder().AppPath().size() - 4) + "\"", &code), "added\tHostNotes\t"));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(p.Run("list"), "HostNotes\tHostNotes\t1.0\tunloaded\t0\n");

  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::string run = p.Host("run");
  ASSERT_TRUE(CreateProcessA(nullptr, &run[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  CloseHandle(pi.hThread);
  ASSERT_TRUE(WaitUntil([&] { return FindWindowA("VantelHost", "Vantel host") != nullptr; }, 20000));
  EXPECT_TRUE(Has(p.Run("run", &code), "already running"));
  EXPECT_EQ(code, 1);

  EXPECT_EQ(p.Run("load hostnotes", &code), "loading\thostnotes\n");  // a client: forwarded
  ASSERT_TRUE(WaitUntil([&] { return !ProcessesNamed("sysreg_app.exe").empty(); }, 30000));
  EXPECT_EQ(p.Run("list"), "HostNotes\tHostNotes\t1.0\tloaded\t0\n");
  EXPECT_EQ(source.MachineSetting(), "tool");
  EnumWindows(CloseWindowsOf, static_cast<LPARAM>(ProcessesNamed("sysreg_app.exe")[0]));
  EXPECT_TRUE(WaitUntil([&] { return p.Run("list") == "HostNotes\tHostNotes\t1.0\tunloaded\t1\n"; }, 30000));
  EXPECT_TRUE(WaitUntil([&] { return source.MachineSetting() == "<none>"; }, 30000));

  EXPECT_EQ(p.Run("stop"), "stopping\n");
  EXPECT_EQ(WaitForSingleObject(pi.hProcess, 30000), WAIT_OBJECT_0);
  CloseHandle(pi.hProcess);
  EXPECT_EQ(p.Run("remove HostNotes"), "removed\tHostNotes\n");
  EXPECT_EQ(p.Run("list"), "");
}

TEST(Host, SaysWhatItCannotDo) {
  Platform p;
  const struct {
    std::string verb, message;
  } rows[] = {
      {"unload x", "No host is running"},
      {"load x", "No host is running"},
      {"remove x", "The catalogue holds no tool x."},
      {"add \"" + p.staging.path() + "\"", "is no tool folder"},
      {"frobnicate", "usage: host"},
  };
  for (const auto& row : rows) {
    int code = 0;
    EXPECT_TRUE(Has(p.Run(row.verb, &code), row.message)) << row.verb;
    EXPECT_NE(code, 0) << row.verb;
  }
  std::string settings = p.root / "data\\3\\Register.xml";  // the settings tree of a new platform
  WriteTextFile(settings, "<vfdl><folder");
  int code = 0;
  EXPECT_TRUE(Has(p.Run("run", &code), settings + " cannot be read")) << settings;
  EXPECT_EQ(code, 1);
  EXPECT_EQ(ReadTextFile(settings), "<vfdl><folder");
}

}  // namespace
