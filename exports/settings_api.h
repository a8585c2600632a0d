// The settings and utility exports of Vantel10.dll.
//
// Settings: a host reads and writes a tool's settings document (the tool's Register.xml, see
// docs/document_format.md) without the document classes. Each of these exports takes the tool's
// runtime parameter block and finds its module as DllRunModule does, creating and initialising
// it for a block it has not seen. Keys and nodes are named by "afs:\" paths; a key is a record
// and its values are the record's variables. Without a settings document (the tool's swap folder
// is unusable) every one answers 0 and leaves its output empty.
//
// Utilities: archives, programs and COM libraries, passed through unchanged to the platform's
// CXCommon and to CCommon (sysreg/common.h).
//
// None takes the library lock; each holds the settings lock (update/settings_lock.h) while it
// touches a document, since the tool's update worker may be merging its feed into it. No
// exception leaves an export: it answers its failure value instead. A host calls them for one
// tool from one thread at a time.
#pragma once

#include "platform/framework/afx_coll.h"
#include "runtime/runtime_param.h"

extern "C" {
// CRegisterDoc::SetKey(key, name, value): sets the variable, creating the record and its folders
// as needed. 1 when set; 0 when the path cannot be made.
int __cdecl DllRegSetKey(RUNTIMEPARAM* block, const CString& key, const CString& name, const CString& value);
// value is emptied first. A name that does not begin with "@" is the key's variable: 1 when the
// record has it. A name that does is an attribute of the node at key, compared exactly:
//   "@ID"       the node's ID                 "@Created"  its creation time
//   "@Alias"    its alias                     "@Updated"  its last change
//   "@Subject"  its subject line              "@Type"     "Folder", "Rec", "Account", "Root",
//   "@FilePos"  its folder on disk                        or empty for another kind
// 1 for one of these on an existing node; 0 for a missing node or any other name ("@id"
// included).
int __cdecl DllRegGetKey(RUNTIMEPARAM* block, const CString& key, const CString& name, CString& value);
// The names of the variables of the record at key, in order (names is emptied first); returns
// their number: 0 for a folder, the root or nothing.
int __cdecl DllRegBrowseKey(RUNTIMEPARAM* block, const CString& key, CStringArray& names);
// Adds a folder (folder non-zero) or an empty record named alias under the node at parent.
// 1 when added, or when parent already has a child of that alias (nothing is added then); 0 when
// parent names nothing or cannot hold it.
int __cdecl DllRegCreateNode(RUNTIMEPARAM* block, const CString& parent, const CString& alias, int folder);
// Deletes the folder (with everything below it) or the record at path; 1 when deleted, 0 when
// the path names nothing, the root or another kind.
int __cdecl DllRegDeleteNode(RUNTIMEPARAM* block, const CString& path);
// The positions ("afs:\" paths) of every record below the node at path, at any depth, in tree
// order; folders are not listed (positions is emptied first). Returns their number.
int __cdecl DllRegBrowseNode(RUNTIMEPARAM* block, const CString& path, CStringArray& positions);

// CXCommon::ZipArchive(archive, source) and CXCommon::UnzipArchive(archive, folder).
int __cdecl DllZipArchive(const CString& archive, const CString& source);
int __cdecl DllUnzipArchive(const CString& archive, const CString& folder);
// CCommon::ExecApp: the started process's identifier, 0 when it could not be started.
unsigned long __cdecl DllExecApp(const CString& commandLine, int timeout, void* environment);
// CCommon::ExitApp and CCommon::RegisterLib.
int __cdecl DllExitApp(unsigned long processId, const CString& windowClass, int timeout);
int __cdecl DllRegisterLib(const CString& path, int reg, const CString& registrar);
}
