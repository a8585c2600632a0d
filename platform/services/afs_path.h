// Paths of the platform's virtual tree and of the tools on disk.
#pragma once

#include "platform/framework/afx_string.h"

class CVFDLNode;

// The extended type of a catalogue record that is a tool.
const WORD kToolRecordType = 109;

class CAFSPath {
 public:
  // The node of the main document (CAFS::m_pthis) under which the platform's registry hangs:
  // "afs:\信息中心\个人中心\注册表" (folder names in code page 936). Null when there is no
  // file-system object, no main document or no such node.
  static CVFDLNode* GetRegRoot();

  // That path, as the bytes the document stores.
  static const char* const kRegRootPath;

  // In the settings tree that hangs there: the catalogue folder, one record per tool, and the
  // user record whose variable "TotalTime" holds the launch counts.
  static CString CataloguePath();
  static CString UserRecordPath();

  // The folder of a catalogue tool: <platform root>\App\Tools\<local ID of the record's ID>;
  // empty without a file-system object or a node.
  static CString ToolFolder(const CVFDLNode* node);
};
