#include "tests/support/host_platform.h"

#include "platform/doctree/register_doc.h"
#include "platform/framework/afx_module.h"
#include "platform/services/afs_path.h"
#include "platform/win/handles.h"

HostPlatform::HostPlatform()
    : m_root("plat"),
      m_library(LoadLibraryA((BinFolder() + "\\Vantel10.dll").c_str())),
      m_resources(LoadLibraryA((BinFolder() + "\\Parlance10.dll").c_str())) {
  AfxAddResourceChain(m_resources);
  LoadApp = GetProc<void (*)()>(m_library, "LoadApp");
  UnLoadApp = GetProc<void (*)()>(m_library, "UnLoadApp");
  CanUnloadNow = GetProc<int (*)()>(m_library, "CanUnloadNow");
  DllOpenTool = GetProc<int (*)(const char*, const char*, const char*)>(m_library, "DllOpenTool");
  DllLoadTools = GetProc<int (*)(CVFDLNode*, int, const CString&, const CString&)>(m_library, "DllLoadTools");
  DllUnloadTools = GetProc<int (*)(CVFDLNode*, int)>(m_library, "DllUnloadTools");
  DllIsToolsLoaded = GetProc<int (*)(CVFDLNode*)>(m_library, "DllIsToolsLoaded");
  DllGetToolsImage = GetProc<int (*)(CVFDLNode*)>(m_library, "DllGetToolsImage");
  m_tree.Open(m_root.path().c_str());
  afs.m_strRootPath = m_root.path().c_str();
  afs.m_pMainDoc = m_tree.MainDoc();
}

HostPlatform::~HostPlatform() {
  if (UnLoadApp) UnLoadApp();
  m_tools.clear();
  AfxRemoveResourceChain(m_resources);
  FreeLibrary(m_resources);
  FreeLibrary(m_library);
}

CRegisterDoc* HostPlatform::Settings() {
  CVFDLNode* root = CAFSPath::GetRegRoot();
  return root ? m_tree.MainDoc()->LoadExpandVFDLDoc(root, true) : nullptr;
}

CVFDLNode* HostPlatform::AddTool(const std::string& dataId,
                                 const std::vector<std::pair<std::string, std::string>>& values) {
  CVFDLRec record;
  record.SetAlias(dataId.c_str());
  record.SetName(dataId.c_str());
  record.SetExtendType(kToolRecordType);
  record.SetVarValue("dataid", dataId.c_str());
  for (const auto& v : values) record.SetVarValue(v.first.c_str(), v.second.c_str());
  CString catalogue = CAFSPath::CataloguePath();
  CRegisterDoc* doc = Settings();
  if (!doc || !doc->SetNode(catalogue, &record, 65535)) return nullptr;
  CVFDLNode* node = doc->GetNode(catalogue, dataId.c_str());
  std::string folder = std::string(node->GetTree()->GetLocalID(node->GetID()));
  m_tools.push_back(std::make_unique<SampleTool>(Root(), folder, dataId));
  return node;
}

bool HostPlatform::PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  for (DWORD start = GetTickCount(); !condition(); MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT)) {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    if (GetTickCount() - start >= timeoutMs) return condition();
  }
  return true;
}
