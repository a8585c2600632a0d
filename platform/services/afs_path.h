// Paths of the platform's virtual tree.
#pragma once

class CVFDLNode;

class CAFSPath {
 public:
  // The node of the main document (CAFS::m_pthis) under which the platform's registry hangs:
  // "afs:\信息中心\个人中心\注册表" (folder names in code page 936). Null when there is no
  // file-system object, no main document or no such node.
  static CVFDLNode* GetRegRoot();

  // That path, as the bytes the document stores.
  static const char* const kRegRootPath;
};
