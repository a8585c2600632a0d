#include "platform/services/afs_path.h"

#include "platform/doctree/acas_doc.h"
#include "platform/services/afs.h"
#include "platform/services/tool_layout.h"
#include "platform/doctree/vfdl_node.h"

const char* const CAFSPath::kRegRootPath =
    "afs:\\\xD0\xC5\xCF\xA2\xD6\xD0\xD0\xC4\\\xB8\xF6\xC8\xCB\xD6\xD0\xD0\xC4\\\xD7\xA2\xB2\xE1\xB1\xED";

CVFDLNode* CAFSPath::GetRegRoot() {
  CAFS* afs = CAFS::m_pthis;
  if (!afs || !afs->m_pMainDoc) return nullptr;
  return afs->m_pMainDoc->GetNode(CString(kRegRootPath));
}

CString CAFSPath::CataloguePath() { return CString(kRegRootPath) + "\\Config\\Basic\\Tool"; }
CString CAFSPath::UserRecordPath() { return CString(kRegRootPath) + "\\Config\\Basic\\User"; }

CString CAFSPath::ToolFolder(const CVFDLNode* node) {
  CAFS* afs = CAFS::m_pthis;
  if (!afs || !node) return CString();
  return afs->m_strRootPath + kToolsFolder + "\\" + node->GetTree()->GetLocalID(node->GetID());
}
