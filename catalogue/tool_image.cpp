#include "catalogue/tool_image.h"

#include "catalogue/settings_tree.h"
#include "platform/doctree/vfdl_node.h"
#include "platform/services/afs_icon.h"
#include "platform/services/tool_layout.h"

#include <shlwapi.h>

int GetToolImage(CVFDLNode* node) {
  if (!node || node->GetKind() != VFDL_KIND_REC || node->GetExtendType() != kToolRecordType) return -1;
  CString program = ToolValue(node, "load_now");
  if (program.IsEmpty()) return -1;
  int blank = program.Find(' '), slash = program.Find('/');
  int end = blank < 0 ? slash : (slash < 0 ? blank : (blank < slash ? blank : slash));
  if (end >= 0) program = program.Left(end);
  CString path = CAFSPath::ToolFolder(node) + kToolAppFolder + "\\" + program;
  if (!PathFileExistsA(path)) path = PathFileExistsA(path + ".com") ? path + ".com" : path + ".exe";
  return CAFSIcon::m_afsIcon.GetImageIndex(path);
}
