#include "tests/support/sample_tool.h"

#include "platform/win/handles.h"
#include "tests/support/dialog_answerer.h"
#include "tests/support/shared_table.h"

#include <shlwapi.h>

#include <cstring>

namespace {

const char kInstallXml[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<vfdl version=\"1\">\r\n"
    "  <folder alias=\"config\">\r\n"
    "    <record><var name=\"type\">register</var><var name=\"key\">HKEY_CURRENT_USER\\%KEY%</var>"
    "<var name=\"name\">Setting</var></record>\r\n"
    "  </folder>\r\n"
    "  <folder alias=\"install\">\r\n"
    "    <record><var name=\"type\">register</var><var name=\"key\">HKEY_CURRENT_USER\\%KEY%</var>"
    "<var name=\"name\">Setting</var><var name=\"regtype\">1</var><var name=\"value\">tool</var></record>\r\n"
    "  </folder>\r\n"
    "</vfdl>\r\n";

}  // namespace

SampleTool::SampleTool(const std::string& root, const std::string& name, const std::string& id)
    : m_name(name), m_id(id.empty() ? name : id), m_folder(root, name, m_id) {
  // The registration document comes with the tool's template; the first set-up copies it into
  // the MySelf folder.
  std::string xml = kInstallXml;
  for (size_t at; (at = xml.find("%KEY%")) != std::string::npos;) xml.replace(at, 5, KeyPath());
  AddFolder("template");
  WriteTextFile(m_folder.AppPath() + "\\template\\install.xml", xml);
  m_folder.SetLauncher("Name", name);
  m_folder.SetLauncher("LocalApp", "yes");
  m_folder.EnableTrace();
}

SampleTool::~SampleTool() {
  SHDeleteKeyA(HKEY_CURRENT_USER, KeyPath().c_str());
  if (TOOLRUNTIMEINFO* r = Record()) memset(r, 0, sizeof *r);
}

std::string SampleTool::MachineSetting() const {
  char buf[256] = "";
  DWORD size = sizeof buf, type = 0;
  if (SHGetValueA(HKEY_CURRENT_USER, KeyPath().c_str(), "Setting", &type, buf, &size) != ERROR_SUCCESS) return "<none>";
  return buf;
}

void SampleTool::SetMachineSetting(const std::string& value) const {
  SHSetValueA(HKEY_CURRENT_USER, KeyPath().c_str(), "Setting", REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

void SampleTool::UseProgram(const std::string& arguments, int timeoutMs) {
  m_folder.SetLauncher("Program", "\"" + BinFolder() + "\\sysreg_app.exe\" " + arguments);
  m_folder.SetLauncher("Processes", "sysreg_app.exe");
  m_folder.SetLauncher("Timeout", std::to_string(timeoutMs));
}

void SampleTool::AddFolder(const std::string& relative) const {
  CreateDirectoryA((m_folder.AppPath() + "\\" + relative).c_str(), nullptr);
}

TOOLRUNTIMEINFO* SampleTool::Record() const { return FindRecord(LoadedSharedTable(), m_id.c_str()); }

int LaunchAnswering(SampleTool& tool, const std::string& items, const char* button, std::string* question) {
  HANDLE launcher = tool.folder().Start(items);
  if (!launcher) return -1;
  // The launcher blocks on its question until it is answered; once it has ended, no question
  // is left to answer.
  DialogAnswerer answer(button, 60000, GetProcessId(launcher));
  WaitForSingleObject(launcher, 60000);
  bool answered = answer.Stop();
  DWORD code = 99;
  GetExitCodeProcess(launcher, &code);
  CloseHandle(launcher);
  if (question) *question = answered ? answer.Text() : std::string();
  return static_cast<int>(code);
}
