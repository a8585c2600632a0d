// Write back and reset: the second half of a swap. Restore writes a document's "install" records
// onto the machine in document order; ResetSwap empties the "install" class before a new capture.
// Registry keys and values are written through the Unicode registry functions, with the names and
// bytes a capture recorded (sys_reg_rec.h).
#include "platform/doctree/xformat.h"
#include "platform/services/xfs_operation.h"
#include "platform/win/handles.h"
#include "platform/win/unique_file.h"
#include "platform/win/worker_pool.h"
#include "swap/registry_path.h"
#include "swap/sys_reg_doc.h"
#include "sysreg/common.h"
#include "sysreg/machine_keys.h"

#include <shlwapi.h>

#include <cstdio>
#include <memory>
#include <vector>

// The registry keys of the last register record and of its ancestors, kept open while the next
// records need them: a captured key's values follow its key record and sibling keys follow each
// other, so most records open nothing and a new key costs one open (or create) below an open
// parent. Keys are opened level by level, created where missing.
class OpenKeyCache {
 public:
  HKEY Open(const std::wstring& path) {
    // The values of a key follow each other: the same text names the key opened last.
    if (!m_last.empty() && path == m_last) return m_levels.back().key.get();
    m_last.clear();
    HKEY root;
    std::wstring rest;
    if (!SplitRegistryPath(path, root, rest)) return nullptr;
    std::wstring rootName = path.substr(0, path.find(L'\\'));
    if (m_levels.empty() || !SameRegistryName(m_levels.front().path, rootName)) {
      m_levels.clear();
      m_levels.push_back(Level{rootName, RegKey(root)});
    }
    // Keep the open levels that are a prefix of path; open the rest below them.
    std::wstring full = rootName;
    size_t depth = 1;
    for (size_t start = 0; start < rest.size();) {
      size_t slash = rest.find(L'\\', start);
      std::wstring component = rest.substr(start, slash == std::wstring::npos ? std::wstring::npos : slash - start);
      start = slash == std::wstring::npos ? rest.size() : slash + 1;
      full += L"\\" + component;
      if (depth < m_levels.size() && SameRegistryName(m_levels[depth].path, full)) {
        ++depth;
        continue;
      }
      m_levels.resize(depth);
      HKEY next = nullptr;
      // Create opens a key that exists, so one call serves both; a key that may be opened but not
      // created through this parent is still opened.
      if (RegCreateKeyExW(m_levels.back().key.get(), component.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                          &next, nullptr) != ERROR_SUCCESS &&
          RegOpenKeyExW(m_levels.back().key.get(), component.c_str(), 0, KEY_READ | KEY_SET_VALUE, &next) !=
              ERROR_SUCCESS)
        return nullptr;
      m_levels.push_back(Level{full, RegKey(next)});
      ++depth;
    }
    m_levels.resize(depth);
    m_last = path;
    return m_levels.back().key.get();
  }

  // Closes every key held open.
  void Clear() {
    m_levels.clear();
    m_last.clear();
  }

 private:
  struct Level {
    std::wstring path;  // root name and components joined by backslashes
    RegKey key;
  };
  std::vector<Level> m_levels;
  std::wstring m_last;  // the path of the key last opened, the last level; empty after a failure
};

namespace {

// Runs of register records at least this long are written on several threads; shorter ones are
// not worth starting them.
const size_t kParallelRun = 16;

const CSysRegRec& RecordOf(const CVFDLNode* node) { return *static_cast<const CSysRegRec*>(node->GetData()); }

// A hash of the last name of a registry path, ignoring trailing backslashes and letter case as
// the registry does (the system's upper case of the text, not only ASCII's).
size_t KeyNameHash(const std::wstring& path) {
  size_t end = path.size();
  while (end > 0 && path[end - 1] == L'\\') --end;
  size_t start = end;
  while (start > 0 && path[start - 1] != L'\\') --start;
  std::wstring name = path.substr(start, end - start);
  if (!name.empty()) CharUpperBuffW(&name[0], static_cast<DWORD>(name.size()));
  size_t hash = 2166136261u;
  for (wchar_t c : name) hash = (hash ^ static_cast<size_t>(c)) * 16777619u;
  return hash;
}

// "A\0B\0" (backslash, zero) -> "A", "B", "" as a list of zero-terminated names.
std::vector<char> DependencyList(const CString& depend) {
  CString text = depend;
  std::vector<char> list;
  for (int at; (at = text.Find("\\0")) >= 0; text = text.Mid(at + 2)) {
    list.insert(list.end(), text.c_str(), text.c_str() + at);
    list.push_back('\0');
  }
  list.insert(list.end(), text.c_str(), text.c_str() + text.GetLength());
  if (!text.IsEmpty()) list.push_back('\0');
  list.push_back('\0');
  return list;
}

// Deletes every value and subkey of an open key; the key itself stays.
void EmptyKey(HKEY key) {
  wchar_t name[MAX_PATH + 1];
  for (DWORD length = MAX_PATH + 1; RegEnumKeyExW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) ==
                                     ERROR_SUCCESS;
       length = MAX_PATH + 1)
    if (SHDeleteKeyW(key, name) != ERROR_SUCCESS) break;
  for (DWORD length = MAX_PATH + 1; RegEnumValueW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) ==
                                     ERROR_SUCCESS;
       length = MAX_PATH + 1)
    if (RegDeleteValueW(key, name) != ERROR_SUCCESS) break;
}

// Bytes of a Base64 value; false when the text is not Base64.
bool DecodeValue(const CSysRegRec& record, std::vector<BYTE>& bytes) {
  CString text = record.GetValue();
  int count = text.GetLength();
  bytes.assign(count > 0 ? count : 1, 0);
  if (!CXFormat::DecodeTextBase64(text, bytes.data(), count)) return false;
  bytes.resize(count);
  return true;
}

// Writes a value record into the open key; ERROR_SUCCESS, or the registry's error. A record
// that holds no data to write (a type that is not written as text, not encoded) writes nothing.
DWORD WriteValue(HKEY key, const CSysRegRec& record, const CString& expandedValue) {
  CString name = record.GetName();
  int type = record.GetRegType();
  std::vector<BYTE> bytes;
  if (record.GetWideData()) {
    if (!DecodeValue(record, bytes)) return ERROR_INVALID_DATA;
    return static_cast<DWORD>(SetValueExactly(key, record.GetNameW(), static_cast<DWORD>(type), bytes));
  }
  if (record.GetEncode()) {
    if (!DecodeValue(record, bytes)) return ERROR_INVALID_DATA;
    return static_cast<DWORD>(SetValueExactly(key, name.c_str(), static_cast<DWORD>(type), bytes));
  }
  switch (type) {
    case REG_SZ: {
      CString value = record.GetValue();
      return static_cast<DWORD>(
          RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), value.GetLength() + 1));
    }
    case REG_EXPAND_SZ:
      return static_cast<DWORD>(RegSetValueExA(key, name, 0, REG_EXPAND_SZ,
                                               reinterpret_cast<const BYTE*>(expandedValue.c_str()),
                                               expandedValue.GetLength() + 1));
    case REG_DWORD: {
      int number = 0;
      sscanf(record.GetValue(), "%d", &number);
      DWORD dword = static_cast<DWORD>(number);
      return static_cast<DWORD>(
          RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dword), sizeof dword));
    }
    default:
      return ERROR_SUCCESS;
  }
}

}  // namespace

int CSysRegDoc::Restore(CVFDLNode* node) {
  if (!node) node = GetClassNode("install", 1);
  if (!node) return 1;
  std::vector<CVFDLNode*> records;
  CollectRecords(node, records);
  std::unique_ptr<WorkerPool> pool;  // started for the first run of register records worth it
  OpenKeyCache keys;
  size_t failures = m_swapReport.FailureCount();
  for (size_t i = 0; i < records.size();) {
    size_t end = i;
    while (end < records.size() && RecordOf(records[end]).GetType() == SYSREG_REGISTER) ++end;
    if (end == i) {
      WriteRecord(records[i], keys);
      // A library's registrar or a new service may have deleted and made again keys held open.
      keys.Clear();
      ++i;
    } else if (end - i >= kParallelRun) {
      if (!pool) pool.reset(new WorkerPool);
      WriteRegisterRun(records, i, end, *pool);
      i = end;
    } else {
      for (; i < end; ++i) WriteRecord(records[i], keys);
    }
  }
  return m_swapReport.FailureCount() == failures;
}

void CSysRegDoc::WriteRecord(CVFDLNode* node, OpenKeyCache& keys) {
  const CSysRegRec& record = RecordOf(node);
  DWORD error = RestoreRecord(record, node->GetID(), keys);
  if (error == ERROR_SUCCESS)
    m_swapReport.Written();
  else
    m_swapReport.Failed("write", DescribeItem(record), error);
}

// The records below node in document order. Folders are walked; the root is not (it holds the
// "config" class as well).
void CSysRegDoc::CollectRecords(CVFDLNode* node, std::vector<CVFDLNode*>& records) {
  if (node->GetKind() == VFDL_KIND_FOLDER) {
    for (CVFDLNode* c = GetFirstChild(node, true); c; c = GetNextNode(c, true)) CollectRecords(c, records);
  } else if (node->GetKind() == VFDL_KIND_REC) {
    records.push_back(node);
  }
}

// Writes the register records [begin, end) on the pool's threads. Each record goes to a thread
// by the last name of its key, so every record of one key - whichever root or spelling names
// it - is written by one thread in document order, and a value named twice ends as the later
// record says. Records of different keys do not depend on each other: writing back only opens,
// creates and sets.
void CSysRegDoc::WriteRegisterRun(const std::vector<CVFDLNode*>& records, size_t begin, size_t end, WorkerPool& pool) {
  std::vector<std::vector<CVFDLNode*>> parts(pool.Size());
  for (size_t i = begin; i < end; ++i)
    parts[KeyNameHash(RecordOf(records[i]).GetKeyW()) % parts.size()].push_back(records[i]);
  pool.ForEach(parts.size(), [this, &parts](size_t part, int) {
    OpenKeyCache keys;
    for (CVFDLNode* node : parts[part]) WriteRecord(node, keys);
  });
}

DWORD CSysRegDoc::RestoreRecord(const CSysRegRec& record, const CString& id, OpenKeyCache& keys) {
  switch (record.GetType()) {
    case SYSREG_REGISTER: {
      HKEY key = keys.Open(record.GetKeyW());
      if (!key) return ERROR_ACCESS_DENIED;
      // A key record only makes its key.
      if (!record.HasVar("name")) return ERROR_SUCCESS;
      return WriteValue(key, record, record.GetRegType() == REG_EXPAND_SZ ? GetFullPath(record.GetValue()) : CString());
    }
    case SYSREG_LIBRARY: {
      CString library = GetFullPath(record.GetLibrary());
      if (library.IsEmpty()) return ERROR_SUCCESS;
      return CCommon::RegisterLib(library, 1, GetFullPath(record.GetRegCmd())) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    }
    case SYSREG_FILE: {
      CString storage = StorageFolder(id);
      if (!PathFileExistsA(storage)) return ERROR_SUCCESS;  // the machine had no such file
      CString destination = GetFullPath(record.GetFile());
      int slash = destination.ReverseFind('\\');
      if (slash >= 0) destination = destination.Left(slash);
      if (!PathFileExistsA(destination)) CreateDirectoryA(destination, nullptr);
      CXFSOperation op;
      op.m_nOperation = CXFSOperation::kCopy;
      op.m_strSource = storage + "\\*.*";
      op.m_strTarget = destination;
      return op.Execute() ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
    }
    case SYSREG_ASSOCIATION:
      if (record.GetExt().IsEmpty()) return ERROR_SUCCESS;
      CCommon::EnableAssociation(record.GetExt(), 1, GetFullPath(record.GetOpen()), GetFullPath(record.GetIcon()),
                                 record.GetURLProtocol(), record.GetDocument(), record.GetName(),
                                 record.GetContentType(), record.GetFriendlyName(), GetFullPath(record.GetEdit()),
                                 GetFullPath(record.GetPrint()), record.GetCLSID());
      return CCommon::IsAssociationExist(record.GetExt()) || record.GetDocument().IsEmpty() ? ERROR_SUCCESS
                                                                                            : ERROR_ACCESS_DENIED;
    case SYSREG_FIREWALL: {
      CString program = GetFullPath(record.GetExe());
      if (program.IsEmpty()) return ERROR_SUCCESS;
      CCommon::EnableFireWall(program, 1, record.GetName());
      return CCommon::IsFireWallExist(program) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
    }
    case SYSREG_SERVICE: {
      std::vector<char> depend = DependencyList(record.GetDependOnService());
      if (record.GetName().IsEmpty()) return ERROR_SUCCESS;
      CCommon::NewService(record.GetName(), GetFullPath(record.GetFile()), record.GetSrvType(), record.GetStart(),
                          record.GetErrorControl(), record.GetGroup(), static_cast<unsigned long>(record.GetTag()),
                          CString(depend.data(), static_cast<int>(depend.size())), record.GetAccount(),
                          record.GetDisplayName(), record.GetDescription());
      if (!CCommon::IsServiceInstalled(record.GetName())) return ERROR_SERVICE_DOES_NOT_EXIST;
      // The service's key as it was follows: what the service manager wrote goes first.
      if (record.GetVarValue(kWholeServiceKey) == "yes") {
        RegKey serviceKey = OpenRegistryPath(L"HKEY_LOCAL_MACHINE\\" + Widen(kServicesKey) + L"\\" +
                                                 Widen(record.GetName()), KEY_ALL_ACCESS);
        if (serviceKey) EmptyKey(serviceKey.get());
      }
      return ERROR_SUCCESS;
    }
    default:
      return ERROR_SUCCESS;
  }
}

int CSysRegDoc::ResetSwap(CVFDLNode* node, int keepPermanent) {
  if (!node) node = GetClassNode("install", 1);
  if (!node) return 0;
  if (node->GetKind() == VFDL_KIND_FOLDER) {  // the root is no folder: 0, nothing deleted
    std::vector<CVFDLNode*> children;  // collected first: the walk deletes as it goes
    for (CVFDLNode* c = GetFirstChild(node, true); c; c = GetNextNode(c, true)) children.push_back(c);
    for (CVFDLNode* c : children) ResetSwap(c, keepPermanent);
    if (GetChildNum(node) == 0) DelFolder(node, 65535);
    return 1;
  }
  if (node->GetKind() == VFDL_KIND_REC) {
    if (!keepPermanent || !static_cast<CSysRegRec*>(node->GetData())->GetPermanent()) DelRec(node, 65535);
    return 1;
  }
  return 0;
}
