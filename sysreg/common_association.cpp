// File-type and URL-protocol associations under HKEY_CLASSES_ROOT, and the firewall's list of
// authorised applications.
#include "sysreg/common.h"

#include "platform/win/handles.h"
#include "sysreg/machine_keys.h"

#include <shlobj.h>
#include <shlwapi.h>

namespace {

// An extension names one key directly under HKEY_CLASSES_ROOT. An empty one, or one that starts
// with a backslash, would name the root itself (or nothing sensible) and is left alone.
bool NamesAKey(const CString& extension) { return !extension.IsEmpty() && extension[0] != '\\'; }

void SetString(const CString& key, const char* valueName, const CString& data) {
  ::SHSetValueA(HKEY_CLASSES_ROOT, key, valueName, REG_SZ, data.c_str(),
                static_cast<DWORD>(data.GetLength() + 1));
}

// The extension's default value when it is a string: the ProgID it points to.
CString ProgIdOf(const CString& extension) {
  HKEY opened = nullptr;
  if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, extension, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
    return CString();
  RegKey key(opened);
  char data[MAX_PATH + 1] = "";
  DWORD size = MAX_PATH;
  DWORD type = 0;
  if (::RegQueryValueExA(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
          ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return CString();
  data[size < MAX_PATH ? size : MAX_PATH] = '\0';
  return CString(data);
}

}  // namespace

int CCommon::EnableAssociation(const CString& extension, int enable, const CString& openCommand,
                               const CString& icon, int urlProtocol, const CString& document,
                               const CString& name, const CString& contentType,
                               const CString& friendlyName, const CString& editCommand,
                               const CString& printCommand, const CString& classId) {
  if (!NamesAKey(extension)) return 1;
  if (enable) {
    // The document names the ProgID key unless it is empty or holds a backslash; then
    // everything goes under the extension's own key.
    CString progId = !document.IsEmpty() && document.Find('\\') < 0 ? document : extension;
    const CString none;
    const struct {
      CString key;
      const char* value;
      const CString& data;
      bool write;
    } rows[] = {
        {extension, nullptr, document, !document.IsEmpty()},
        {extension, "Content Type", contentType, !contentType.IsEmpty()},
        {progId, nullptr, name, !name.IsEmpty()},
        {progId, "FriendlyTypeName", friendlyName, !friendlyName.IsEmpty()},
        {progId, "URL Protocol", none, urlProtocol != 0},
        {progId + "\\DefaultIcon", nullptr, icon, !icon.IsEmpty()},
        {progId + "\\Shell\\Open\\Command", nullptr, openCommand, !openCommand.IsEmpty()},
        {progId + "\\Shell\\Edit\\Command", nullptr, editCommand, !editCommand.IsEmpty()},
        {progId + "\\Shell\\Print\\Command", nullptr, printCommand, !printCommand.IsEmpty()},
        {progId + "\\CLSID", nullptr, classId, !classId.IsEmpty()},
    };
    for (const auto& row : rows)
      if (row.write) SetString(row.key, row.value, row.data);
  } else {
    CString progId = ProgIdOf(extension);
    if (!progId.IsEmpty() && progId.Find('\\') < 0) ::SHDeleteKeyA(HKEY_CLASSES_ROOT, progId);
    ::SHDeleteKeyA(HKEY_CLASSES_ROOT, extension);
  }
  ::SHChangeNotify(SHCNE_ASSOCCHANGED, 0x2000, nullptr, nullptr);
  return 1;
}

int CCommon::IsAssociationExist(const CString& extension) {
  if (!NamesAKey(extension)) return 0;
  return ::SHGetValueA(HKEY_CLASSES_ROOT, extension, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

int CCommon::EnableFireWall(const CString& applicationPath, int enable, const CString& name) {
  // An empty path would name the list's own default value, not an application.
  if (applicationPath.IsEmpty()) return 1;
  if (enable) {
    CString entry;
    entry.Format("%s:*:Enabled:%s", applicationPath.c_str(), name.c_str());
    ::SHSetValueA(HKEY_LOCAL_MACHINE, kFirewallList, applicationPath, REG_SZ, entry.c_str(),
                  static_cast<DWORD>(entry.GetLength() + 1));
  } else {
    ::SHDeleteValueA(HKEY_LOCAL_MACHINE, kFirewallList, applicationPath);
  }
  return 1;
}

int CCommon::IsFireWallExist(const CString& applicationPath) {
  if (applicationPath.IsEmpty()) return 0;
  return ::SHGetValueA(HKEY_LOCAL_MACHINE, kFirewallList, applicationPath, nullptr, nullptr, nullptr) ==
         ERROR_SUCCESS;
}
