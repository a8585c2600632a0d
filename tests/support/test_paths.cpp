#include "tests/support/test_paths.h"

#include "platform/win/handles.h"
#include "tests/support/processes.h"

#include <shellapi.h>

#include <fstream>
#include <sstream>
#include <vector>

namespace {

void ListInto(const std::wstring& root, const std::wstring& rel, std::map<std::wstring, std::string>* out) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((root + (rel.empty() ? L"" : L"\\" + rel) + L"\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = fd.cFileName, sub = rel.empty() ? name : rel + L"\\" + name;
    if (name == L"." || name == L"..") continue;
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      (*out)[sub] = "<dir>";
      ListInto(root, sub, out);
    } else {
      std::string bytes;
      HANDLE f = CreateFileW((root + L"\\" + sub).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                             nullptr);
      char buf[65536];
      DWORD got = 0;
      while (f != INVALID_HANDLE_VALUE && ReadFile(f, buf, sizeof buf, &got, nullptr) && got) bytes.append(buf, got);
      if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
      (*out)[sub] = bytes;
    }
  } while (FindNextFileW(h, &fd));
  FindClose(h);
}

// The Unix path of a Windows path whose folder exists, through Wine's own kernel32 export.
std::string UnixPath(const std::string& path) {
  using ToUnix = char*(CDECL*)(const wchar_t*);
  static const ToUnix toUnix = GetProc<ToUnix>(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
  size_t slash = path.find_last_of('\\');
  std::wstring folder(path.begin(), path.begin() + slash);
  char* converted = toUnix ? toUnix(folder.c_str()) : nullptr;
  if (!converted) return std::string();
  std::string result = std::string(converted) + "/" + path.substr(slash + 1);
  HeapFree(GetProcessHeap(), 0, converted);
  return result;
}

// Wine starts a Unix program by its path on drive Z:, the Unix root. Its process handle does not
// tell when it has ended: the caller waits for its effect.
void RunUnix(const std::string& program, const std::string& arguments) {
  std::string line = "Z:\\bin\\" + program + " " + arguments;
  std::vector<char> cmd(line.begin(), line.end());
  cmd.push_back('\0');
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

}  // namespace

bool MakeFolderLink(const std::string& link, const std::string& target) {
  std::string from = UnixPath(link), to = UnixPath(target);
  if (from.empty() || to.empty()) return false;
  RunUnix("ln", "-s \"" + to + "\" \"" + from + "\"");
  return WaitUntil([&] { return FileExists(link); }, 5000);
}

void RemoveFolderLink(const std::string& link) {
  std::string path = UnixPath(link);
  if (path.empty()) return;
  RunUnix("rm", "-f \"" + path + "\"");
  WaitUntil([&] { return !FileExists(link); }, 5000);
}

std::string BinFolder() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string s = path;
  return s.substr(0, s.find_last_of('\\'));
}

ScratchFolder::ScratchFolder(const std::string& hint) {
  char tmp[MAX_PATH] = "";
  GetTempPathA(MAX_PATH, tmp);
  static LONG counter = 0;
  for (;;) {
    char name[MAX_PATH];
    wsprintfA(name, "%s%s-%lu-%ld", tmp, hint.c_str(), GetCurrentProcessId(), InterlockedIncrement(&counter));
    if (CreateDirectoryA(name, nullptr)) {
      m_path = name;
      break;
    }
  }
}

ScratchFolder::~ScratchFolder() { RemoveTree(m_path); }

void RemoveTree(const std::string& path) {
  if (path.size() < 4) return;  // never a drive root
  std::vector<char> from(path.begin(), path.end());
  from.push_back('\0');
  from.push_back('\0');
  SHFILEOPSTRUCTA op = {};
  op.wFunc = FO_DELETE;
  op.pFrom = from.data();
  op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
  SHFileOperationA(&op);
}

bool WriteTextFile(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary);
  f << text;
  return static_cast<bool>(f);
}

std::string ReadTextFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::map<std::wstring, std::string> ListTree(const std::wstring& root) {
  std::map<std::wstring, std::string> out;
  ListInto(root, L"", &out);
  return out;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD done = 0;
  BOOL ok = f != INVALID_HANDLE_VALUE && WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
  if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
  return ok && done == bytes.size();
}

bool LocalServer(std::string* www, int* port, const char* stateName) {
  const std::string state = BinFolder() + "\\..\\" + stateName;
  *www = state + "\\www";
  *port = atoi(ReadTextFile(state + "\\port").c_str());
  return *port > 0 && FileExists(*www);
}
