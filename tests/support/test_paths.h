// Where the tests find the built programs, and scratch folders they can make and remove.
#pragma once

#include <windows.h>

#include <map>
#include <string>

// The folder of the running test executable (the build's bin folder), without a trailing
// backslash. Every DLL, program and fixture of the build lives there.
std::string BinFolder();
// The class the COM server fixture (sysreg_comserver.dll) registers.
inline constexpr char kComServerClass[] = "{5C0A2B61-7D3E-4F19-A8B2-3E6D9C1F0A41}";

// A fresh, empty folder under the Windows temporary folder, removed with its contents when the
// object goes away.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& hint = "vt");
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder();
  const std::string& path() const { return m_path; }
  std::string operator/(const std::string& name) const { return m_path + "\\" + name; }

 private:
  std::string m_path;
};

void RemoveTree(const std::string& path);
bool WriteTextFile(const std::string& path, const std::string& text);
std::string ReadTextFile(const std::string& path);
bool FileExists(const std::string& path);
bool WriteBytes(const std::wstring& path, const std::string& bytes);
// Every file and folder below root: relative path -> content ("<dir>" for folders).
std::map<std::wstring, std::string> ListTree(const std::wstring& root);

// A Unix symbolic link at `link` to the folder `target` (both Windows paths, inside the Wine
// machine): a Windows program sees it as a plain folder. It stands in for a junction, which Wine
// cannot make. RemoveFolderLink removes the link alone, never what it leads to.
bool MakeFolderLink(const std::string& link, const std::string& target);
void RemoveFolderLink(const std::string& link);

// The folder a suite's local HTTP server serves and its port (tests/services/http_server.sh, run
// with the state folder <build>/<state>); false when the CTest fixture did not start it.
bool LocalServer(std::string* www, int* port, const char* state = "services-http");
