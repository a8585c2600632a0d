// A platform played by a test as its host program plays it: a scratch platform folder with its
// main document and settings tree, the file-system object pointing at them, the resource library
// in the resource chain, and the host exports of the real Vantel10.dll (the one the launchers
// load, so both see one running-tool table). Tools are added to the catalogue as sample tools
// (sample_tool.h) in the folders the catalogue gives them. The window LoadApp makes belongs to the
// test's thread: Pump runs its messages.
#pragma once

#include "catalogue/catalogue_api.h"
#include "platform/services/afs.h"
#include "platform/services/platform_tree.h"
#include "tests/support/sample_tool.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class CRegisterDoc;

class HostPlatform {
 public:
  HostPlatform();
  ~HostPlatform();  // UnLoadApp, then the tools and the folder go

  // A tool record (extended type 109) in the catalogue with these variables, "dataid" given, and
  // its sample tool in <root>\App\Tools\<local ID>.
  CVFDLNode* AddTool(const std::string& dataId, const std::vector<std::pair<std::string, std::string>>& values);
  SampleTool& Tool(size_t i) { return *m_tools[i]; }
  CRegisterDoc* Settings();
  const std::string& Root() const { return m_root.path(); }

  // Runs this thread's messages until the condition holds or timeoutMs passes.
  bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs = 30000);

  // The exports, from Vantel10.dll.
  void (*LoadApp)();
  void (*UnLoadApp)();
  int (*CanUnloadNow)();
  int (*DllOpenTool)(const char*, const char*, const char*);
  int (*DllLoadTools)(CVFDLNode*, int, const CString&, const CString&);
  int (*DllUnloadTools)(CVFDLNode*, int);
  int (*DllIsToolsLoaded)(CVFDLNode*);
  int (*DllGetToolsImage)(CVFDLNode*);

  CAFS afs;

 private:
  ScratchFolder m_root;
  HMODULE m_library;
  HMODULE m_resources;
  CPlatformTree m_tree;
  std::vector<std::unique_ptr<SampleTool>> m_tools;
};
