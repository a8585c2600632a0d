// The platform's settings tree as the catalogue reads it: the settings document that hangs at the
// registry root of the platform's main document, its catalogue folder of tool records and its
// user record, and the tool folders on disk.
//
//   afs:\<registry root>\Config\Basic\Tool\<record>   one record per installed tool
//   afs:\<registry root>\Config\Basic\User            the record holding "TotalTime"
//   <platform root>\App\Tools\<local ID of the record's ID>\app, \Swap, \Backup
//
// The registry root's folder names are the code page 936 bytes of 信息中心\个人中心\注册表.
#pragma once

#include "platform/framework/afx_string.h"
#include "platform/services/afs_path.h"  // the catalogue's paths and tool folders

#include <vector>

class CRegisterDoc;
class CVFDLNode;


// The settings document, fetched anew (the main document keeps it loaded); null without a
// file-system object, main document or registry root, or when the file cannot be read.
CRegisterDoc* PlatformSettings();
// Whether the platform has a settings document that cannot be read: a file-system object with a
// main document and a registry root whose settings file exists but does not load.
bool PlatformSettingsUnreadable();

// The record nodes of the catalogue folder, in the tree's order (none without a document).
std::vector<CVFDLNode*> CatalogueRecords();
// A variable of a tool's record; empty when it has none (or the node is no record).
CString ToolValue(const CVFDLNode* node, const char* name);

