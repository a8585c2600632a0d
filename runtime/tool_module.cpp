#include "runtime/tool_module.h"

#include "platform/framework/afx_module.h"
#include "platform/doctree/register_doc.h"
#include "platform/services/xconfig.h"
#include "platform/win/lib_folder.h"
#include "resources/resource_ids.h"
#include "runtime/command_line.h"
#include "update/settings_lock.h"
#include "update/update_worker.h"

#include <shlwapi.h>

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

const char kResourceLibrary[] = "Parlance10.dll";
const char kDisplaySettings[] = "afs:\\Register\\Config\\App\\Tool\\Display";

void RemoveTrailingBackslashes(CString& path) { path.TrimRight('\\'); }

// Folder of this library's own image, with its trailing backslash; empty when unknown.
CString OwnFolder() {
  char path[MAX_PATH + 1] = "";
  if (!GetModuleFileNameA(reinterpret_cast<HMODULE>(&__ImageBase), path, MAX_PATH)) return CString();
  CString s = path;
  return s.Left(s.ReverseFind('\\') + 1);
}

CString EnvironmentVariable(const char* name) {
  char buf[MAX_PATH + 1] = "";
  DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
  return n > 0 && n < sizeof buf ? CString(buf) : CString();
}

void CreateFolderIfMissing(const CString& path) {
  if (!PathFileExistsA(path)) CreateDirectoryA(path, nullptr);
}

}  // namespace

CToolModule::CToolModule()
    : m_pParam(nullptr),
      m_pRuntimeInfo(nullptr),
      m_pRegisterDoc(nullptr),
      m_bNeedAdmin(FALSE),
      m_bLocalApp(TRUE),
      m_bSystem(FALSE),
      m_bManual(TRUE),
      m_bMobile(FALSE),
      m_bAppStarted(FALSE),
      m_pUpdateWorker(nullptr) {}

CToolModule::~CToolModule() {
  StopUpdateWorker(*this);
  {
    // A worker terminated while it held the lock left it abandoned; it is had all the same.
    SettingsLock lock;
    delete m_pRegisterDoc;
    m_pRegisterDoc = nullptr;
  }
  if (m_bLocalApp) {
    HMODULE resources = GetModuleHandleA(kResourceLibrary);
    if (resources) {
      if (AfxGetResourceHandle() == resources) AfxSetResourceHandle(AfxGetInstanceHandle());
      FreeLibrary(resources);
    }
  }
}

int CToolModule::InitModule(const CString& path) {
  // The platform's resource library, from this library's own folder.
  if (m_bLocalApp) {
    HMODULE resources = LoadLibraryA(OwnFolder() + kResourceLibrary);
    if (resources) AfxSetResourceHandle(resources);
  }

  // Application folder: the host executable's folder.
  m_strPath = path;
  if (m_strPath.IsEmpty()) {
    char exe[MAX_PATH + 1] = "";
    char longPath[MAX_PATH + 1] = "";
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    GetLongPathNameA(exe, longPath, MAX_PATH);
    m_strPath = longPath[0] ? longPath : exe;
  }
  int slash = m_strPath.ReverseFind('\\');
  if (slash >= 0) m_strPath = m_strPath.Left(slash);
  RemoveTrailingBackslashes(m_strPath);

  // Swap folder and what lies in it.
  m_strSwapPath = EnvironmentVariable("Swap");
  RemoveTrailingBackslashes(m_strSwapPath);
  m_strConfigPos = m_strSwapPath + "\\Config.ini";
  m_strMyPath = m_strSwapPath + "\\MySelf";
  m_strBackPath = m_strSwapPath + "\\Backup";
  m_strUpdatePath = m_strSwapPath + "\\Update";
  m_strDownloadPath = m_strSwapPath + "\\Download";
  m_strRegisterPos = m_strMyPath + "\\Register.xml";

  // Library, platform and temporary folders.
  m_strLibPath = GetLibFolder();
  m_strQORPath = PlatformFolder();
  m_strTempPath = m_strQORPath + "\\Tmp";

  // The tool's programs find the application folder and the libraries through these. The
  // reference to the old Path is stored as it stands, unexpanded.
  SetEnvironmentVariableA("App", m_strPath);
  SetEnvironmentVariableA("Path", "%Path%;" + m_strLibPath);

  // Nothing is made anywhere unless the swap folder is usable (a folder at the root of the
  // current drive, or under a folder that was never made, helps nobody).
  bool swapUsable = CheckSwapFolder(0) != 0;
  if (swapUsable) {
    CreateFolderIfMissing(m_strSwapPath);
    CreateFolderIfMissing(m_strMyPath);
    CreateFolderIfMissing(m_strBackPath);
  }

  // Platform configuration and the tool's configuration file.
  m_strQORVersion = CXConfig::GetINIString("Basic", "Name");
  m_strQORSkin = CXConfig::GetINIString("Basic", "Skin");
  m_bMobile = TRUE;
  m_bManual = GetINIString("Tool", "Manual").CompareNoCase("yes") == 0;
  m_strID = GetINIString("Tool", "ID");

  CutCommandItems(GetCommandLineA(), m_arrCommand);

  // The settings document, loaded or created; the update feed from it.
  auto* doc = swapUsable ? new CRegisterDoc : nullptr;
  int status = doc ? doc->LoadXMLDoc(m_strRegisterPos) : CXMLDoc::LOAD_UNREADABLE;
  if (status == CXMLDoc::LOAD_DONE) {
    doc->InitVFDLDoc(nullptr);
  } else if (status == CXMLDoc::LOAD_NO_FILE && doc->NewXMLDoc(m_strRegisterPos, 0, 0)) {
    doc->InitVFDLDoc(nullptr);
  } else {
    delete doc;
    doc = nullptr;
  }
  m_pRegisterDoc = doc;
  if (m_pRegisterDoc) m_pRegisterDoc->GetKey(kDisplaySettings, "Remote", m_strRemote);
  return 1;
}

int CToolModule::CheckSwapFolder(int ask) {
  int slash = m_strSwapPath.ReverseFind('\\');
  CString parent = slash > 0 ? m_strSwapPath.Left(slash) : CString();
  bool usable = !parent.IsEmpty() && !PathIsRelativeA(m_strSwapPath) && PathIsDirectoryA(parent + "\\") &&
                (!PathFileExistsA(m_strSwapPath) || PathIsDirectoryA(m_strSwapPath));
  if (usable) return 1;
  if (ask) AfxMessageBox(GetMessageText(IDS_SWAP_FOLDER_UNUSABLE) + "\n" + m_strSwapPath, MB_OK | MB_ICONERROR);
  return 0;
}

CString CToolModule::GetINIString(const CString& section, const CString& key) {
  char buf[MAX_PATH] = "";
  GetPrivateProfileStringA(section, key, "", buf, sizeof buf, m_strConfigPos);
  CString value = buf;
  value.Trim();
  return value;
}

int CToolModule::SetINIString(const CString& section, const CString& key, const CString& value) {
  return WritePrivateProfileStringA(section, key, value, m_strConfigPos);
}
