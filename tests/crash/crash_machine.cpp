#include "tests/crash/crash_machine.h"

#include "platform/win/handles.h"
#include "tests/support/registration_docs.h"
#include "tests/support/test_paths.h"

#include <sstream>

namespace {

constexpr int kValuesEach = 1500;  // the user's in the whole key, and as many of the tool's
const char kTop[] = "Software\\VantelCrashTest";
const char kWhole[] = "Software\\VantelCrashTest\\Whole";
const char kSingle[] = "Software\\VantelCrashTest\\Single";
const char kExtension[] = ".vtlcrash";
const char kUserClass[] = "VantelCrash.User";
const char kToolClass[] = "VantelCrash.Tool";
const char kFileRecordId[] = "9000";  // the tool's file lives in MySelf\<id>

// The user's value i of the whole key: every type a real machine holds, in turn.
void PutUserValue(int i) {
  const std::wstring n = std::to_wstring(i);
  const std::wstring name = i % 97 == 0 ? L"\x6587\x4EF6 " + n : L"User " + n;  // outside the code page
  DWORD type = REG_SZ;
  std::string bytes;
  switch (i % 9) {
    case 0: type = REG_NONE; bytes = std::string("\x01\x00\xFF", 3) + static_cast<char>(i); break;
    case 1: bytes = Utf16Bytes(L"user text " + n, true); break;
    case 2: bytes = Utf16Bytes(L"no zero " + n, false); break;
    case 3: bytes = Utf16Bytes(L"odd " + n, false) + "x"; break;
    case 4: type = REG_EXPAND_SZ; bytes = Utf16Bytes(L"%SystemRoot%\\user\\" + n, true); break;
    case 5: type = REG_BINARY; bytes = std::string(static_cast<size_t>(i % 40), static_cast<char>(i)); break;
    case 6: type = REG_DWORD; bytes.assign(reinterpret_cast<const char*>(&i), sizeof i); break;
    case 7: type = REG_MULTI_SZ; bytes = Utf16Bytes(std::wstring(L"a\0b ", 4) + n, true) + std::string(2, '\0'); break;
    default: {
      type = REG_QWORD;
      unsigned long long q = 0x100000000ull * i + 7;
      bytes.assign(reinterpret_cast<const char*>(&q), sizeof q);
    }
  }
  SetRawW(HKEY_CURRENT_USER, Wide(kWhole), name, type, bytes);
}

void PutUserMachine(const std::string& file) {
  for (int i = 0; i < kValuesEach; ++i) PutUserValue(i);
  SetText(HKEY_CURRENT_USER, kWhole, "", "the user's default");
  SetText(HKEY_CURRENT_USER, std::string(kWhole) + "\\Sub\\Deeper", "Deep", "kept below");
  SetText(HKEY_CURRENT_USER, kSingle, "Alpha", "user alpha");
  DWORD seven = 7;
  SetRaw(HKEY_CURRENT_USER, kSingle, "Untouched", REG_DWORD, std::string(reinterpret_cast<char*>(&seven), sizeof seven));
  SetText(HKEY_CLASSES_ROOT, kExtension, "", kUserClass);
  SetText(HKEY_CLASSES_ROOT, kExtension, "Content Type", "text/x-vtlcrash");
  SetRaw(HKEY_CLASSES_ROOT, std::string(kExtension) + "\\OpenWithProgids", kUserClass, REG_NONE, "");
  SetRaw(HKEY_CLASSES_ROOT, std::string(kExtension) + "\\OpenWithProgids", "VantelCrash.Other", REG_NONE, "");
  SetText(HKEY_CLASSES_ROOT, kUserClass, "", "User document");
  SetText(HKEY_CLASSES_ROOT, std::string(kUserClass) + "\\shell\\open\\command", "", "\"C:\\User\\editor.exe\" \"%1\"");
  CreateDirectoryA(file.substr(0, file.rfind('\\')).c_str(), nullptr);
  WriteTextFile(file, "user settings\r\n");
}

std::string Record(const std::vector<std::pair<const char*, std::string>>& vars, const char* attributes = "") {
  std::string xml = std::string("    <record") + attributes + ">";
  for (const auto& v : vars) xml += std::string("<var name=\"") + v.first + "\">" + v.second + "</var>";
  return xml + "</record>\r\n";
}

// The tool's template: what it touches, and its own registrations.
std::string ToolDocument(const std::string& file) {
  const std::string whole = HkcuText(kWhole), single = HkcuText(kSingle);
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<vfdl version=\"1\">\r\n  <folder alias=\"config\">\r\n";
  xml += Record({{"type", "register"}, {"key", whole}});
  xml += Record({{"type", "register"}, {"key", single}, {"name", "Alpha"}});
  xml += Record({{"type", "register"}, {"key", single}, {"name", "Beta"}});
  xml += Record({{"type", "file"}, {"file", file}});
  xml += Record({{"type", "association"}, {"extension", kExtension}});
  xml += "  </folder>\r\n  <folder alias=\"install\">\r\n";
  for (int i = 0; i < kValuesEach; ++i) {
    const std::string n = std::to_string(i);
    if (i % 3 == 0)
      xml += Record({{"type", "register"}, {"key", whole}, {"name", "Tool " + n}, {"regtype", "1"}, {"value", "tool text " + n}});
    else if (i % 3 == 1)
      xml += Record({{"type", "register"}, {"key", whole}, {"name", "Tool " + n}, {"regtype", "4"}, {"value", n}});
    else
      xml += Record({{"type", "register"}, {"key", whole}, {"name", "Tool " + n}, {"regtype", "3"}, {"encode", "yes"},
                     {"value", Base64(std::string(static_cast<size_t>(i % 30 + 1), static_cast<char>(i)))}});
  }
  xml += Record({{"type", "register"}, {"key", single}, {"name", "Alpha"}, {"regtype", "1"}, {"value", "tool alpha"}});
  xml += Record({{"type", "register"}, {"key", single}, {"name", "Beta"}, {"regtype", "1"}, {"value", "tool beta"}});
  xml += Record({{"type", "file"}, {"file", file}}, (std::string(" id=\"") + kFileRecordId + "\"").c_str());
  xml += Record({{"type", "association"}, {"extension", kExtension}, {"document", kToolClass}, {"name", "Tool document"},
                 {"open", "\"C:\\Tool\\tool.exe\" \"%1\""}});
  return xml + "  </folder>\r\n</vfdl>\r\n";
}

}  // namespace

CrashMachine::CrashMachine(const std::string& root) : m_root(root), m_file(root + "\\Data\\app.cfg") {
  for (const char* key : {kExtension, kUserClass, kToolClass})
    m_cleanups.emplace_back(new KeyCleanup(HKEY_CLASSES_ROOT, key));
  m_cleanups.emplace_back(new KeyCleanup(HKEY_CURRENT_USER, kTop));
  PutUserMachine(m_file);
  m_view.WatchKey(HKEY_CURRENT_USER, "", kTop, "hkcu");
  for (const char* key : {kExtension, kUserClass, kToolClass}) m_view.WatchKey(HKEY_CLASSES_ROOT, "", key, "hkcr");
  m_view.WatchFolder(m_root + "\\Data");
}

CrashMachine::~CrashMachine() = default;

const char* CrashMachine::WholeKey() { return kWhole; }

MachineState CrashMachine::Look() const { return m_view.Observe(); }

std::unique_ptr<SampleTool> CrashMachine::NewTool(const std::string& name) const {
  std::unique_ptr<SampleTool> tool(new SampleTool(m_root, name));
  const std::string templ = tool->folder().AppPath() + "\\template";
  WriteTextFile(templ + "\\install.xml", ToolDocument(m_file));
  CreateDirectoryA((templ + "\\" + kFileRecordId).c_str(), nullptr);
  WriteTextFile(templ + "\\" + kFileRecordId + "\\app.cfg", "tool settings\r\n");
  tool->UseProgram();
  return tool;
}

std::string JournalPhase(SampleTool& tool) {
  std::istringstream journal(ReadTextFile(tool.folder().SwapPath() + "\\Swap.journal"));
  for (std::string line; std::getline(journal, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.compare(0, 6, "phase=") == 0) return line.substr(6);
  }
  return "none";
}
