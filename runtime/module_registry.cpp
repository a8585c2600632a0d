#include "runtime/module_registry.h"

#include "platform/framework/afx_coll.h"
#include "platform/services/tool_layout.h"
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

// Holds the table's mutex (created or opened, open to every account and inheritable) while it
// lives. A mutex left abandoned by a launcher that died holding it is ours all the same: the
// claim it was making wrote at most one name, which is whole or empty, so the table is usable.
class TableLock {
 public:
  TableLock() : m_mutex(CreateMutexA(UserSecurityAttributes(true).get(), FALSE, kToolTableMutex)) {
    if (!m_mutex) return;
    DWORD r = WaitForSingleObject(m_mutex.get(), kClaimWaitMs);
    m_owned = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
  }
  ~TableLock() {
    if (m_owned) ReleaseMutex(m_mutex.get());
  }
  TableLock(const TableLock&) = delete;
  TableLock& operator=(const TableLock&) = delete;
  bool owned() const { return m_owned; }

 private:
  UniqueHandle m_mutex;
  bool m_owned = false;
};

// A record's name, bounded by the record: a name that fills all 16 bytes is read as 16.
CString NameOf(const TOOLRUNTIMEINFO& record) {
  return CString(record.szName, static_cast<int>(strnlen(record.szName, TOOL_NAME_SIZE)));
}

volatile LONG* StateWord(TOOLRUNTIMEINFO* record) { return reinterpret_cast<volatile LONG*>(&record->dwState); }

void WriteOutputKeys(CToolModule* m, CMapStringToString& params) {
  params[RUNTIME_KEY_PATH] = m->m_strPath;
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
  // InitModule takes the host's executable and uses its folder.
  CString appFolder = params[RUNTIME_KEY_PATH];
  m->InitModule(appFolder.IsEmpty() ? CString() : appFolder + "\\" + kLauncherProgram);
  WriteOutputKeys(m, params);
  modules.Add(m);
  return m;
}

TOOLRUNTIMEINFO* RegisterRunningTool(const CString& id) {
  TableLock lock;
  if (!lock.owned()) return nullptr;

  TOOLRUNTIMEINFO* chosen = nullptr;
  for (TOOLRUNTIMEINFO& record : SharedToolData().tools) {
    if (record.szName[0] == '\0' && !chosen) chosen = &record;
    if (_strnicmp(id, NameOf(record), kClaimCompareLength) == 0) {
      chosen = &record;  // a record of the same tool wins over an earlier free one
      break;
    }
  }
  if (chosen && chosen->szName[0] == '\0') {
    // The terminating NUL is written before the name, so a reader never sees an unended name.
    chosen->szName[TOOL_NAME_SIZE - 1] = '\0';
    strncpy(chosen->szName, id, TOOL_NAME_SIZE - 1);
  }
  return chosen;
}

void ReleaseRunningTool(TOOLRUNTIMEINFO* record) {
  if (!record) return;
  // Under the table's lock, so that a claim never takes a record that is half cleared.
  TableLock lock;
  memset(record, 0, sizeof *record);
}

void SetToolState(TOOLRUNTIMEINFO* record, DWORD bits) {
  if (record) InterlockedOr(StateWord(record), static_cast<LONG>(bits));
}

void ClearToolState(TOOLRUNTIMEINFO* record, DWORD bits) {
  if (record) InterlockedAnd(StateWord(record), ~static_cast<LONG>(bits));
}

void SignalToolMonitor() {
  UniqueHandle event(OpenEventA(EVENT_MODIFY_STATE, FALSE, kMonitorEvent));
  if (event) SetEvent(event.get());
}

TOOLRUNTIMEINFO* FindRunningTool(const CString& id) {
  if (id.IsEmpty()) return nullptr;
  for (TOOLRUNTIMEINFO& record : SharedToolData().tools)
    if (NameOf(record) == id) return &record;
  return nullptr;
}
