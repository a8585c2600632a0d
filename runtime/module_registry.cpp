#include "runtime/module_registry.h"

#include "platform/framework/afx_coll.h"
#include "platform/win/handles.h"
#include "platform/win/named_objects.h"
#include "runtime/tool_module.h"

#include <cstring>

namespace {

const DWORD kClaimWaitMs = 5000;
const int kClaimCompareLength = TOOL_NAME_SIZE - 1;

CPtrArray* g_modules = nullptr;

CPtrArray& Modules() {
  if (!g_modules) g_modules = new CPtrArray;
  return *g_modules;
}

bool IsYes(const CString& value) { return value.CompareNoCase("yes") == 0; }

// Creates or opens the table's mutex, open to every account and inheritable.
UniqueHandle OpenTableMutex() {
  OpenSecurityAttributes security(true);
  return UniqueHandle(CreateMutexA(security.get(), FALSE, kToolTableMutex));
}

void WriteOutputKeys(CToolModule* m, CMapStringToString& params) {
  params["Path"] = m->m_strPath;
  params["SwapPath"] = m->m_strSwapPath;
  params["QORPath"] = m->m_strQORPath;
  params["LibPath"] = m->m_strLibPath;
  params["TempPath"] = m->m_strTempPath;
  params["MyPath"] = m->m_strMyPath;
  params["BackPath"] = m->m_strBackPath;
  params["ConfigPos"] = m->m_strConfigPos;
  params["RegisterPos"] = m->m_strRegisterPos;
  params["UpdatePath"] = m->m_strUpdatePath;
  params["DownloadPath"] = m->m_strDownloadPath;
  params["QORVersion"] = m->m_strQORVersion;
  params["QORSkin"] = m->m_strQORSkin;
  params["ID"] = m->m_strID;
  params["Mobile"] = m->m_bMobile ? "yes" : "";
  params["Manual"] = m->m_bManual ? "yes" : "";
  params["Remote"] = m->m_strRemote;
}

}  // namespace

void CreateModuleRegistry() { Modules(); }

void DestroyModuleRegistry() {
  if (!g_modules) return;
  for (int i = 0; i < g_modules->GetSize(); ++i) delete static_cast<CToolModule*>((*g_modules)[i]);
  delete g_modules;
  g_modules = nullptr;
}

CToolModule* FindOrCreateModule(RUNTIMEPARAM* block) {
  CPtrArray& modules = Modules();
  for (int i = 0; i < modules.GetSize(); ++i) {
    auto* m = static_cast<CToolModule*>(modules[i]);
    if (m->m_pParam == block) return m;
  }
  auto* m = new CToolModule;
  m->m_pParam = block;
  CMapStringToString& params = block->mapParam;
  m->m_bNeedAdmin = IsYes(params[RUNTIME_KEY_NEEDADMIN]);
  m->m_bLocalApp = IsYes(params[RUNTIME_KEY_LOCALAPP]);
  m->m_bSystem = IsYes(params[RUNTIME_KEY_SYSTEM]);
  m->m_strName = params[RUNTIME_KEY_NAME];
  m->InitModule(CString());
  WriteOutputKeys(m, params);
  modules.Add(m);
  return m;
}

TOOLRUNTIMEINFO* RegisterRunningTool(const CString& id) {
  UniqueHandle mutex = OpenTableMutex();
  if (!mutex) return nullptr;
  if (WaitForSingleObject(mutex.get(), kClaimWaitMs) != WAIT_OBJECT_0) return nullptr;

  TOOLRUNTIMEINFO* chosen = nullptr;
  for (TOOLRUNTIMEINFO& record : SharedToolData().tools) {
    if (record.szName[0] == '\0' && !chosen) chosen = &record;
    if (_strnicmp(id, record.szName, kClaimCompareLength) == 0) {
      chosen = &record;  // a record of the same tool wins over an earlier free one
      break;
    }
  }
  if (chosen && chosen->szName[0] == '\0') {
    strncpy(chosen->szName, id, TOOL_NAME_SIZE);
    chosen->szName[TOOL_NAME_SIZE - 1] = '\0';
  }
  ReleaseMutex(mutex.get());
  return chosen;
}

void ReleaseRunningTool(TOOLRUNTIMEINFO* record) {
  if (record) memset(record, 0, sizeof *record);
}

void SignalToolMonitor() {
  UniqueHandle event(OpenEventA(EVENT_MODIFY_STATE, FALSE, kMonitorEvent));
  if (event) SetEvent(event.get());
}

TOOLRUNTIMEINFO* FindRunningTool(const CString& id) {
  if (id.IsEmpty()) return nullptr;
  for (TOOLRUNTIMEINFO& record : SharedToolData().tools)
    if (strcmp(id, record.szName) == 0) return &record;
  return nullptr;
}
