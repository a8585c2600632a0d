#include "catalogue/tool_app.h"

#include "catalogue/settings_tree.h"
#include "catalogue/tool_command.h"
#include "catalogue/tool_wnd.h"
#include "platform/doctree/vfdl_node.h"
#include "platform/framework/afx_module.h"
#include "platform/win/lib_folder.h"
#include "resources/resource_ids.h"
#include "runtime/module_registry.h"
#include "platform/services/tool_layout.h"
#include "swap/swap_journal.h"
#include "sysreg/common.h"

#include <mbstring.h>
#include <objbase.h>
#include <shlwapi.h>

#include <cstring>

namespace {

CToolApp* g_app = nullptr;

bool IsToolRecord(const CVFDLNode* node) {
  return node && node->GetKind() == VFDL_KIND_REC && node->GetExtendType() == kToolRecordType;
}

int MbsCompare(const CString& a, const CString& b, bool ignoreCase) {
  auto* x = reinterpret_cast<const unsigned char*>(a.c_str());
  auto* y = reinterpret_cast<const unsigned char*>(b.c_str());
  return ignoreCase ? _mbsicmp(x, y) : _mbscmp(x, y);
}

// The first catalogue record whose "dataid" equals dataId.
CVFDLNode* FindByDataId(const CString& dataId, bool ignoreCase) {
  for (CVFDLNode* node : CatalogueRecords())
    if (MbsCompare(ToolValue(node, "dataid"), dataId, ignoreCase) == 0) return node;
  return nullptr;
}

}  // namespace

CToolApp* GetToolApp() { return g_app; }
void SetToolApp(CToolApp* app) { g_app = app; }

CToolApp::CToolApp() : m_pWnd(nullptr) { CoInitialize(nullptr); }

CToolApp::~CToolApp() {
  delete m_pWnd;  // destroying the window runs its OnDestroy
  m_pWnd = nullptr;
  CoUninitialize();
}

HWND CToolApp::GetHwnd() const { return m_pWnd ? m_pWnd->GetSafeHwnd() : nullptr; }

int CToolApp::LoadAllTools(int manual) {
  for (CVFDLNode* node : CatalogueRecords()) {
    CString autorun = ToolValue(node, "autorun");
    if (manual || MbsCompare(autorun, "yes", true) == 0) LoadTool(node, manual, CString(), CString());
  }
  return 1;
}

int CToolApp::LoadTool(CVFDLNode* node, int manual, const CString& arg1, const CString& arg2) {
  if (!PrepareTool(node, manual)) return 0;
  if (IsToolLoaded(node)) return 1;
  if (m_pWnd) m_pWnd->WatchTool(node);
  return RunToolCommand(node, "load_now", manual, 0, {arg1.c_str(), arg2.c_str()});
}

int CToolApp::PrepareTool(CVFDLNode* node, int showError) {
  if (!IsToolRecord(node)) return 0;
  if (ToolValue(node, "version_now").IsEmpty()) {
    if (showError) {
      CString text;
      text.Format(AfxLoadResourceString(IDS_NO_INSTALLED_VERSION), node->GetName().c_str());
      AfxMessageBox(text, MB_OK);
    }
    return 0;
  }
  CString swap = CAFSPath::ToolFolder(node) + kToolSwapFolder;
  if (!PathFileExistsA(swap)) CreateDirectoryA(swap, nullptr);
  return 1;
}

int CToolApp::UnloadTool(CVFDLNode* node, int manual) {
  TOOLRUNTIMEINFO* record = FindRuntimeRecord(node);
  if (!record) return 1;
  if (m_pWnd) m_pWnd->UnwatchTool(node);
  CString folder = CAFSPath::ToolFolder(node);
  if (PathFileExistsA(folder)) {
    RunToolCommand(node, "unload_now", manual, 0, {});
    return 1;
  }
  // The tool was removed while it ran: nothing can swap it out; its process is ended.
  DWORD process = record->dwProcessId;
  if (process && process != GetCurrentProcessId()) {
    record->dwProcessId = 0;
    CCommon::ExitApp(process, CString(), 1);
  }
  ReleaseRunningTool(record);
  return 1;
}

int CToolApp::RecoverTools() {
  for (CVFDLNode* node : CatalogueRecords()) {
    CString swap = CAFSPath::ToolFolder(node) + kToolSwapFolder;
    if (IsToolRecord(node) && SwapJournal::Unfinished(SwapJournal(swap).Read().phase))
      RunToolCommand(node, "unload_now", 0, 0, {});
  }
  return 1;
}

int CToolApp::UnloadAllTools(int manual) {
  for (CVFDLNode* node : CatalogueRecords()) UnloadTool(node, manual);
  return 1;
}

int CToolApp::UpdateTool(CVFDLNode* node) {
  if (!PrepareTool(node, 1)) return 0;
  CString backup = CAFSPath::ToolFolder(node) + kToolBackupFolder;
  CString version = ToolValue(node, "version_now");
  return RunToolCommand(node, "update_update", 0, 1, {backup.c_str(), version.c_str()});
}

int CToolApp::IsToolLoaded(CVFDLNode* node) {
  TOOLRUNTIMEINFO* record = FindRuntimeRecord(node);
  return record && record->dwProcessId != 0;
}

int CToolApp::RunToolCommand(CVFDLNode* node, const CString& valueName, int manual, int wait,
                             const std::vector<const char*>& values) {
  if (!IsToolRecord(node)) return 0;
  CString command = ToolValue(node, valueName);
  if (command.IsEmpty()) return 0;
  command = SubstituteMarkers(command, values);

  CString folder = CAFSPath::ToolFolder(node);
  CString config = folder + kToolSwapFolder + "\\Config.ini";
  WritePrivateProfileStringA("Tool", "ID", ToolValue(node, "dataid"), config);
  WritePrivateProfileStringA("Tool", "Manual", manual ? "yes" : "", config);

  CString libFolder = GetLibFolder();
  return StartToolCommand(ToolCommandLine(folder, command), ToolEnvironment(libFolder, folder + kToolSwapFolder),
                          libFolder, wait != 0);
}

TOOLRUNTIMEINFO* CToolApp::FindRuntimeRecord(CVFDLNode* node) {
  CString dataId = ToolValue(node, "dataid");
  return dataId.IsEmpty() ? nullptr : FindRunningTool(dataId);
}

CVFDLNode* CToolApp::FindToolNode(TOOLRUNTIMEINFO* record) {
  if (!record || !record->szName[0]) return nullptr;
  return FindByDataId(CString(record->szName, static_cast<int>(strnlen(record->szName, TOOL_NAME_SIZE))), false);
}

CVFDLNode* CToolApp::FindToolByDataId(const CString& dataId) { return FindByDataId(dataId, true); }
