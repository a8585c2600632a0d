// The tool's processes, and the texts of the runtime's questions.
#include "resources/resource_ids.h"
#include "runtime/tool_module.h"

CString CToolModule::GetMessageText(UINT id) {
  if (m_strName.IsEmpty()) m_strName.LoadString(IDS_DEFAULT_TOOL_NAME);
  CString text;
  text.LoadString(id);
  text.Replace("%s", m_strName);
  return text;
}

DWORD CToolModule::RunTool(const CString& /*target*/) { return 0; }

int CToolModule::QuitTool(int /*checkMain*/, int /*ask*/) { return 0; }
