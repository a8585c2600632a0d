// Capture and clear: the first half of a swap. InitSwap walks the "config" records and, for each
// machine item they name, records the machine's state of it into a target document (its
// "install" class) and removes it from the machine; with m_bCheckReplace set, an item that the
// machine already has and whose record says "none", "ask" or "new" is left alone, and the target
// forgets the record of the same ID.
//
// Registry values and keys are read and removed through the Unicode registry functions, so a
// capture holds every name and every byte as the machine has them (sys_reg_rec.h). Into a
// document that backs the machine up (m_bMachineBackup), associations, services and COM classes
// are captured whole as well: their registry keys with every value and subkey, to be written back
// exactly, not rebuilt from a few attributes.
#include "platform/services/crush_file.h"
#include "platform/win/handles.h"
#include "platform/win/unique_file.h"
#include "platform/win/worker_pool.h"
#include "platform/win/worker_thread.h"
#include "platform/services/xfs_operation.h"
#include "platform/doctree/xformat.h"
#include "swap/key_snapshot.h"
#include "swap/swap_plan.h"
#include "swap/registry_path.h"
#include "swap/sys_reg_doc.h"
#include "sysreg/common.h"
#include "sysreg/machine_keys.h"

#include <shlwapi.h>
#include <winsvc.h>

#include <vector>

namespace {

// A value read with SHGetValue into 260 bytes, as text; a string's terminating zero is dropped.
// False when it cannot be read.
bool ReadShellValue(HKEY root, const CString& subKey, const char* name, CString& out) {
  char buf[MAX_PATH + 1] = "";
  DWORD type = 0, size = MAX_PATH;
  if (SHGetValueA(root, subKey, name, &type, buf, &size) != ERROR_SUCCESS) return false;
  int n = static_cast<int>(size > MAX_PATH ? MAX_PATH : size);
  if ((type == REG_SZ || type == REG_EXPAND_SZ) && n > 0 && buf[n - 1] == '\0') --n;
  out = CString(buf, n);
  return true;
}

// A value read whole through the Unicode functions: its type and its bytes as stored. False when
// it cannot be read.
bool ReadWholeValue(const std::wstring& key, const std::wstring& name, DWORD& type, std::vector<BYTE>& data) {
  RegKey opened = OpenRegistryPath(key, KEY_QUERY_VALUE);
  if (!opened) return false;
  data.assign(MAX_PATH, 0);
  for (;;) {
    DWORD size = static_cast<DWORD>(data.size());
    LONG r = RegQueryValueExW(opened.get(), name.c_str(), nullptr, &type, data.data(), &size);
    if (r == ERROR_SUCCESS) {
      data.resize(size);
      return true;
    }
    if (r != ERROR_MORE_DATA || data.size() > (64u << 20)) return false;
    data.assign(data.size() * 2 > size ? data.size() * 2 : size, 0);
  }
}

bool ValueExists(const std::wstring& key, const std::wstring& name) {
  RegKey opened = OpenRegistryPath(key, KEY_QUERY_VALUE);
  return opened && RegQueryValueExW(opened.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// The default value of a key below HKEY_CLASSES_ROOT when it is a string; empty otherwise.
std::wstring ClassesText(const std::wstring& subKey, const wchar_t* name) {
  DWORD type = 0;
  std::vector<BYTE> data;
  if (!ReadWholeValue(L"HKEY_CLASSES_ROOT\\" + subKey, name, type, data) || (type != REG_SZ && type != REG_EXPAND_SZ))
    return std::wstring();
  std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
  return text.substr(0, text.find(L'\0'));
}

// The keys below HKEY_CLASSES_ROOT that make up a COM class or type library of that GUID: its
// CLSID key with the ProgIDs, type library and AppID it names, and a type library of the GUID.
std::vector<std::wstring> ClassKeys(const std::wstring& guid) {
  std::vector<std::wstring> keys;
  std::wstring clsid = L"CLSID\\" + guid;
  if (OpenRegistryPath(L"HKEY_CLASSES_ROOT\\" + clsid, KEY_READ)) {
    keys.push_back(clsid);
    for (const wchar_t* progId : {L"\\ProgID", L"\\VersionIndependentProgID"}) {
      std::wstring name = ClassesText(clsid + progId, L"");
      if (!name.empty() && name.find(L'\\') == std::wstring::npos) keys.push_back(name);
    }
    std::wstring typeLib = ClassesText(clsid + L"\\TypeLib", L"");
    if (!typeLib.empty() && typeLib.find(L'\\') == std::wstring::npos) keys.push_back(L"TypeLib\\" + typeLib);
    std::wstring appId = ClassesText(clsid, L"AppID");
    if (!appId.empty() && appId.find(L'\\') == std::wstring::npos) keys.push_back(L"AppID\\" + appId);
  }
  keys.push_back(L"TypeLib\\" + guid);
  std::vector<std::wstring> unique;
  for (const std::wstring& key : keys) {
    bool seen = false;
    for (const std::wstring& other : unique) seen = seen || SameRegistryName(key, other);
    if (!seen) unique.push_back(key);
  }
  return unique;
}

// The keys of an association below HKEY_CLASSES_ROOT: the extension's and the class it names.
std::vector<std::wstring> AssociationKeys(const CString& extension) {
  std::wstring ext = Widen(extension);
  std::vector<std::wstring> keys{ext};
  std::wstring document = ClassesText(ext, L"");
  if (!document.empty() && document.find(L'\\') == std::wstring::npos && !SameRegistryName(document, ext))
    keys.push_back(document);
  return keys;
}

// The error that keeps a file from being deleted: a sharing violation when another program holds
// it open.
DWORD FileInUseError(const CString& path) {
  UniqueHandle file(CreateFileA(path, DELETE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return file ? ERROR_ACCESS_DENIED : GetLastError();
}

// Deletes a key with everything below it; whatever cannot be deleted stays.
void DeleteWholeKey(const std::wstring& path) {
  HKEY root;
  std::wstring subKey;
  if (!SplitRegistryPath(path, root, subKey) || subKey.empty()) return;
  SHDeleteKeyW(root, subKey.c_str());
}

void DeleteWithShell(const CString& path) {
  CXFSOperation op;
  op.m_nOperation = CXFSOperation::kDelete;
  op.m_strSource = path;
  op.Execute();
}

void CopyWithShell(const CString& from, const CString& to) {
  CXFSOperation op;
  op.m_nOperation = CXFSOperation::kCopy;
  op.m_strSource = from;
  op.m_strTarget = to;
  op.Execute();
}

}  // namespace

int CSysRegDoc::InitSwap(CVFDLNode* node, CSysRegDoc* target) {
  SwapPlan plan;
  PlanSwap(node, target, plan);
  ClearSwap(plan);
  return 1;
}

int CSysRegDoc::PlanSwap(CVFDLNode* node, CSysRegDoc* target, SwapPlan& plan) {
  if (!node) node = GetClassNode("config", 1);
  if (!node) return 1;
  // Folders are walked; the root is not (it holds the "install" class as well).
  if (node->GetKind() == VFDL_KIND_FOLDER) {
    // The children are collected first: a capture into this same document may add nodes.
    std::vector<CVFDLNode*> children;
    for (CVFDLNode* c = GetFirstChild(node, true); c; c = GetNextNode(c, true)) children.push_back(c);
    for (CVFDLNode* c : children) PlanSwap(c, target, plan);
    return 1;
  }
  if (node->GetKind() == VFDL_KIND_REC) PlanRecord(*static_cast<CSysRegRec*>(node->GetData()), target, plan);
  return 1;
}

// Decides one "config" record and captures its item into target (without target only the
// decision is made); an item to clear goes into the plan. An item whose capture failed is not
// planned: the machine keeps it.
void CSysRegDoc::PlanRecord(const CSysRegRec& record, CSysRegDoc* target, SwapPlan& plan) {
  bool proceed = !m_bCheckReplace || record.GetReplace() == REPLACE_ALWAYS;
  // Left alone when the policy protects an item that the machine has.
  auto decide = [&proceed](bool machineHasIt) {
    if (!proceed && !machineHasIt) proceed = true;
    return proceed;
  };
  // A backup of the machine takes items whole (see the top of this file).
  const bool whole = target && target->m_bMachineBackup;
  SwapPlanItem item;
  item.record = record;
  bool captured = true;

  switch (record.GetType()) {
    case SYSREG_REGISTER: {
      std::wstring key = record.GetKeyW();
      HKEY root;
      std::wstring subKey;
      if (!SplitRegistryPath(key, root, subKey)) return;
      if (record.IsSysKeyValue()) {
        std::wstring name = record.GetNameW();
        bool exists = ValueExists(key, name);
        if (!decide(exists)) break;
        if (target && exists) captured = target->CaptureRegistryValue(key, name, nullptr) != 0;
      } else {
        // A root itself is never cleared: the record would take the user's whole hive with it.
        if (subKey.empty()) return;
        RegKey opened = OpenRegistryPath(key, MAXIMUM_ALLOWED);
        if (!decide(static_cast<bool>(opened))) break;
        if (opened) {
          item.snapshot = KeySnapshot::Read(std::move(opened), key, plan.pool);
          if (target) captured = target->CaptureSnapshot(*item.snapshot);
        }
      }
      break;
    }
    case SYSREG_LIBRARY: {
      CString path = CCommon::GetLibPath(record.GetGuid());
      if (!decide(!path.IsEmpty())) break;
      item.classKeys = ClassKeys(Widen(record.GetGuid()));
      if (whole) {
        for (const std::wstring& key : item.classKeys) target->CaptureWholeKey(L"HKEY_CLASSES_ROOT\\" + key);
      } else if (target && !path.IsEmpty()) {
        captured = target->BackupComponent(record.GetGuid(), record.GetRegCmd(), nullptr) != 0;
      }
      break;
    }
    case SYSREG_FILE: {
      CString full = GetFullPath(record.GetFile());
      bool exists = PathFileExistsA(full) != FALSE;
      if (!decide(exists)) break;
      // Taken even when gone: a copy the target holds from an earlier capture goes with the file.
      if (target) captured = target->BackupFile(record.GetFile(), nullptr) != 0;
      break;
    }
    case SYSREG_ASSOCIATION: {
      CString ext = record.GetExt();
      bool exists = CCommon::IsAssociationExist(ext) != 0;
      if (!decide(exists)) break;
      if (!ext.IsEmpty() && ext[0] != '\\') {
        std::vector<std::wstring> keys = AssociationKeys(ext);
        if (whole && exists) {
          for (const std::wstring& key : keys) captured = target->CaptureWholeKey(L"HKEY_CLASSES_ROOT\\" + key) && captured;
        } else if (target && exists) {
          captured = target->BackupAssociation(ext, nullptr) != 0;
        }
      }
      break;
    }
    case SYSREG_FIREWALL: {
      CString full = GetFullPath(record.GetExe());
      bool exists = CCommon::IsFireWallExist(full) != 0;
      if (!decide(exists)) break;
      if (target && exists) captured = target->BackupFireWall(record.GetExe(), nullptr) != 0;
      break;
    }
    case SYSREG_SERVICE: {
      CString name = record.GetName();
      bool exists = CCommon::IsServiceInstalled(name) != 0;
      if (!decide(exists)) break;
      if (!target || !exists) break;
      captured = target->BackupService(name, nullptr) != 0;
      if (captured && whole) {
        // Made again through the service manager first; then its key is written back as it was.
        if (CVFDLNode* service = target->FindNodeByVar(SYSREG_SERVICE, "name", name, nullptr)) {
          CSysRegRec marked(*static_cast<CSysRegRec*>(service->GetData()));
          marked.SetVarValue(kWholeServiceKey, "yes");
          target->UpdateRec(service, &marked, 65535);
          target->CaptureWholeKey(L"HKEY_LOCAL_MACHINE\\" + Widen(kServicesKey) + L"\\" + Widen(name));
        }
      }
      break;
    }
    default:
      return;
  }

  if (!proceed) {
    if (target)
      if (CVFDLNode* same = target->GetNodeByID(record.GetID())) target->DelRec(same, 65535);
    return;
  }
  if (!captured) {
    m_swapReport.Failed("capture", DescribeItem(record), GetLastError());
    return;
  }
  if (target) m_swapReport.Captured();
  plan.items.push_back(std::move(item));
}

int CSysRegDoc::ClearSwap(SwapPlan& plan) {
  int failures = 0;
  for (SwapPlanItem& item : plan.items) {
    DWORD error = ClearItem(item, plan);
    if (error == ERROR_SUCCESS) {
      m_swapReport.Cleared();
    } else {
      m_swapReport.Failed("clear", DescribeItem(item.record), error);
      ++failures;
    }
  }
  return failures == 0;
}

// Removes one planned item from the machine; ERROR_SUCCESS when it is gone, else why it stays.
DWORD CSysRegDoc::ClearItem(SwapPlanItem& item, SwapPlan& plan) {
  const CSysRegRec& record = item.record;
  switch (record.GetType()) {
    case SYSREG_REGISTER: {
      if (item.snapshot) return item.snapshot->DeleteAll(plan.pool) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
      if (!record.IsSysKeyValue()) return ERROR_SUCCESS;  // the key was not there
      std::wstring key = record.GetKeyW(), name = record.GetNameW();
      if (!ValueExists(key, name)) return ERROR_SUCCESS;
      RegKey opened = OpenRegistryPath(key, KEY_SET_VALUE);
      if (!opened) return ERROR_ACCESS_DENIED;
      return static_cast<DWORD>(RegDeleteValueW(opened.get(), name.c_str()));
    }
    case SYSREG_LIBRARY: {
      // The library unregisters itself; what its registrar leaves of the class goes too, so that
      // what is written back next is all there is.
      CString path = CCommon::GetLibPath(record.GetGuid());
      if (!path.IsEmpty()) CCommon::RegisterLib(path, 0, GetFullPath(record.GetRegCmd()));
      for (const std::wstring& key : item.classKeys) DeleteWholeKey(L"HKEY_CLASSES_ROOT\\" + key);
      for (const std::wstring& key : item.classKeys)
        if (OpenRegistryPath(L"HKEY_CLASSES_ROOT\\" + key, KEY_READ)) return ERROR_ACCESS_DENIED;
      return ERROR_SUCCESS;
    }
    case SYSREG_FILE: {
      CString full = GetFullPath(record.GetFile());
      if (!PathFileExistsA(full)) return ERROR_SUCCESS;
      DeleteWithShell(full);
      return PathFileExistsA(full) ? FileInUseError(full) : ERROR_SUCCESS;
    }
    case SYSREG_ASSOCIATION: {
      CString ext = record.GetExt();
      if (ext.IsEmpty()) return ERROR_SUCCESS;
      CCommon::EnableAssociation(ext, 0, "", "", 0, "", "", "", "", "", "", "");
      return CCommon::IsAssociationExist(ext) ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
    }
    case SYSREG_FIREWALL: {
      CString full = GetFullPath(record.GetExe());
      if (full.IsEmpty()) return ERROR_SUCCESS;
      CCommon::EnableFireWall(full, 0, "");
      return CCommon::IsFireWallExist(full) ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
    }
    case SYSREG_SERVICE: {
      CString name = record.GetName();
      if (!name.IsEmpty()) CCommon::DelService(name, 0);
      return ERROR_SUCCESS;  // a service marked for deletion goes when its last handle closes
    }
    default:
      return ERROR_SUCCESS;
  }
}

CString CSysRegDoc::DescribeItem(const CSysRegRec& record) const {
  SwapPlanItem item;
  item.record = record;
  SwapPlan plan;
  plan.items.push_back(std::move(item));
  std::string text = plan.JournalItems().front();
  std::wstring wide = Widen(text.c_str(), CP_UTF8);
  return Narrow(wide).c_str();
}

bool CSysRegDoc::CaptureSnapshot(const KeySnapshot& key) {
  CVFDLNode* parent = CaptureParent(nullptr);
  if (!parent) return false;
  CaptureKey(key, parent);
  return true;
}

int CSysRegDoc::CaptureWholeKey(const std::wstring& key) {
  CVFDLNode* parent = CaptureParent(nullptr);
  RegKey opened = OpenRegistryPath(key, KEY_READ);
  if (!parent || !opened) return 0;
  WorkerPool pool;
  CaptureKey(*KeySnapshot::Read(std::move(opened), key, pool), parent);
  return 1;
}

int CSysRegDoc::BackupRegister(const CString& key, const char* name, CVFDLNode* parent) {
  if (name) return CaptureRegistryValue(Widen(key), Widen(name), parent);
  parent = CaptureParent(parent);
  RegKey opened = OpenRegistryPath(Widen(key), KEY_READ);
  if (!parent || !opened) return parent ? 1 : 0;
  WorkerPool pool;
  CaptureKey(*KeySnapshot::Read(std::move(opened), Widen(key), pool), parent);
  return 1;
}

int CSysRegDoc::CaptureRegistryValue(const std::wstring& key, const std::wstring& name, CVFDLNode* parent) {
  parent = CaptureParent(parent);
  DWORD type = 0;
  std::vector<BYTE> data;
  if (!parent || !ReadWholeValue(key, name, type, data)) return 0;
  CaptureValue(key, name, type, data.data(), static_cast<DWORD>(data.size()), parent);
  return 1;
}

void CSysRegDoc::CaptureValue(const std::wstring& key, const std::wstring& name, DWORD type, const BYTE* data,
                              DWORD size, CVFDLNode* parent) {
  if (HasValueRecord(key, name)) return;  // the first capture wins
  CSysRegRec record;
  record.SetType(SYSREG_REGISTER);
  record.SetKeyW(key);
  record.SetNameW(name);
  record.SetWideData(type, data, size);
  AddRecord(parent, record);
}

// Records a key read whole: the key itself, each of its values (of every type) and each subkey
// the same way, at any depth, in the order the registry enumerated them. A key that could not be
// opened has no record (and was not deleted either).
void CSysRegDoc::CaptureKey(const KeySnapshot& key, CVFDLNode* parent) {
  if (!key.key) return;
  if (!HasKeyRecord(key.path)) {
    CSysRegRec record;
    record.SetType(SYSREG_REGISTER);
    record.SetKeyW(key.path);
    AddRecord(parent, record);
  }
  for (const KeySnapshot::Value& value : key.values)
    CaptureValue(key.path, value.name, value.type, value.data.data(), static_cast<DWORD>(value.data.size()), parent);
  for (const auto& child : key.children) CaptureKey(*child, parent);
}

int CSysRegDoc::BackupComponent(const CString& guid, const CString& regCmd, CVFDLNode* parent) {
  parent = CaptureParent(parent);
  if (!parent) return 0;
  if (FindNodeByVar(SYSREG_LIBRARY, "guid", guid, nullptr)) return 1;
  CString path = CCommon::GetLibPath(guid);
  if (path.IsEmpty()) return 1;
  CSysRegRec record;
  record.SetType(SYSREG_LIBRARY);
  record.SetGuid(guid);
  record.SetLibrary(path);
  record.SetRegCmd(regCmd);
  AddRecord(parent, record);
  return 1;
}

int CSysRegDoc::BackupFile(const CString& file, CVFDLNode* parent) {
  parent = CaptureParent(parent);
  if (!parent) return 0;
  CString full = GetFullPath(file);
  WIN32_FIND_DATAA found;
  FindHandle search(FindFirstFileA(full, &found));
  bool exists = search.valid();
  search.reset();

  CVFDLNode* node = FindNodeByVar(SYSREG_FILE, "file", file, nullptr);
  if (!node) {
    if (!exists) return 1;
    CSysRegRec record;
    record.SetType(SYSREG_FILE);
    record.SetFile(file);
    node = GetNodeByID(AddRecord(parent, record));
    if (!node) return 0;
  }
  CString storage = StorageFolder(node->GetID());
  if (!exists) {  // the write-back then finds no copy and leaves the place empty
    DeleteWithShell(storage);
    return PathFileExistsA(storage) ? 0 : 1;
  }
  DeleteWithShell(storage + "\\*.*");
  if (!PathFileExistsA(storage)) CreateDirectoryA(storage, nullptr);
  CopyWithShell(full, storage);
  return 1;
}

int CSysRegDoc::BackupAssociation(const CString& extension, CVFDLNode* parent) {
  parent = CaptureParent(parent);
  if (!parent) return 0;
  if (FindNodeByVar(SYSREG_ASSOCIATION, "extension", extension, nullptr)) return 1;
  CSysRegRec record;
  record.SetType(SYSREG_ASSOCIATION);
  record.SetExt(extension);
  bool captured = false;
  auto read = [&](const CString& subKey, const char* name, void (CSysRegRec::*set)(const CString&)) {
    CString value;
    if (!ReadShellValue(HKEY_CLASSES_ROOT, subKey, name, value)) return;
    (record.*set)(value);
    captured = true;
  };

  CString document;
  bool hasDocument = ReadShellValue(HKEY_CLASSES_ROOT, extension, nullptr, document);
  if (hasDocument) captured = true;
  if (hasDocument && !document.IsEmpty()) record.SetDocument(document);
  CString classKey = document.IsEmpty() || document.Find('\\') >= 0 ? extension : document;
  read(extension, "Content Type", &CSysRegRec::SetContentType);
  read(classKey, nullptr, &CSysRegRec::SetName);
  read(classKey, "FriendlyTypeName", &CSysRegRec::SetFriendlyName);
  CString url;
  if (ReadShellValue(HKEY_CLASSES_ROOT, classKey, "URL Protocol", url)) {
    record.SetURLProtocol(1);
    captured = true;
  }
  read(classKey + "\\DefaultIcon", nullptr, &CSysRegRec::SetIcon);
  read(classKey + "\\Shell\\Open\\Command", nullptr, &CSysRegRec::SetOpen);
  read(classKey + "\\Shell\\Edit\\Command", nullptr, &CSysRegRec::SetEdit);
  read(classKey + "\\Shell\\Print\\Command", nullptr, &CSysRegRec::SetPrint);
  read(classKey + "\\CLSID", nullptr, &CSysRegRec::SetCLSID);
  if (!captured) return 0;
  AddRecord(parent, record);
  return 1;
}

int CSysRegDoc::BackupService(const CString& name, CVFDLNode* parent) {
  parent = CaptureParent(parent);
  if (!parent) return 0;
  if (FindNodeByVar(SYSREG_SERVICE, "name", name, nullptr)) return 1;
  CSysRegRec record;
  record.SetType(SYSREG_SERVICE);
  record.SetName(name);
  ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return 0;
  ServiceHandle service(OpenServiceA(manager.get(), name, SERVICE_QUERY_CONFIG));
  if (!service) return 0;

  bool captured = false;
  DWORD needed = 0;
  if (!QueryServiceConfigA(service.get(), nullptr, 0, &needed) && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    std::vector<BYTE> buf(needed);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buf.data());
    if (QueryServiceConfigA(service.get(), config, needed, &needed)) {
      record.SetFile(config->lpBinaryPathName ? config->lpBinaryPathName : "");
      record.SetSrvType(static_cast<int>(config->dwServiceType));
      record.SetStart(static_cast<int>(config->dwStartType));
      record.SetErrorControl(static_cast<int>(config->dwErrorControl));
      record.SetGroup(config->lpLoadOrderGroup ? config->lpLoadOrderGroup : "");
      record.SetTag(static_cast<int>(config->dwTagId));
      CString depend;
      for (const char* d = config->lpDependencies; d && *d; d += lstrlenA(d) + 1) depend += CString(d) + "\\0";
      record.SetDependOnService(depend);
      record.SetDisplayName(config->lpDisplayName ? config->lpDisplayName : "");
      record.SetAccount(config->lpServiceStartName ? config->lpServiceStartName : "");
      captured = true;
    }
  }
  needed = 0;
  if (!QueryServiceConfig2A(service.get(), SERVICE_CONFIG_DESCRIPTION, nullptr, 0, &needed) &&
      GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    std::vector<BYTE> buf(needed);
    auto* description = reinterpret_cast<SERVICE_DESCRIPTIONA*>(buf.data());
    if (QueryServiceConfig2A(service.get(), SERVICE_CONFIG_DESCRIPTION, buf.data(), needed, &needed))
      record.SetDescription(description->lpDescription ? description->lpDescription : "");
  }
  if (!captured) return 0;
  AddRecord(parent, record);
  return 1;
}

int CSysRegDoc::BackupFireWall(const CString& program, CVFDLNode* parent) {
  if (!CCrushFile::IsWindowsXPSP2(1)) return 1;
  parent = CaptureParent(parent);
  if (!parent) return 0;
  if (FindNodeByVar(SYSREG_FIREWALL, "execute", program, nullptr)) return 1;
  CString entry;
  if (!ReadShellValue(HKEY_LOCAL_MACHINE, kFirewallList, GetFullPath(program), entry)) return 1;
  // path ":*:" enabled ":" description
  int colon = entry.ReverseFind(':');
  CString description = colon >= 0 ? entry.Mid(colon + 1) : CString();
  if (colon >= 0) entry = entry.Left(colon);
  colon = entry.ReverseFind(':');
  CString enabled = colon >= 0 ? entry.Mid(colon + 1) : CString();
  if (colon >= 0) entry = entry.Left(colon);
  while (!entry.IsEmpty() && (entry[entry.GetLength() - 1] == ':' || entry[entry.GetLength() - 1] == '*'))
    entry = entry.Left(entry.GetLength() - 1);
  CSysRegRec record;
  record.SetType(SYSREG_FIREWALL);
  record.SetExe(entry);
  record.SetName(description);
  record.SetEnabled(enabled);
  AddRecord(parent, record);
  return 1;
}
