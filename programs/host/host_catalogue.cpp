#include "host_catalogue.h"

#include <shlwapi.h>

#include <cstdlib>
#include <map>

namespace {

// The longest data identifier: a tool's name in the running-tool table.
const int kMaxDataId = TOOL_NAME_SIZE - 1;

std::string Text(const CString& s) { return std::string(s.c_str(), s.GetLength()); }

CString IniValue(const std::string& file, const char* key) {
  char value[MAX_PATH] = "";
  GetPrivateProfileStringA("Launcher", key, "", value, sizeof value, file.c_str());
  CString s = value;
  s.Trim();
  return s;
}

// The launch counts of "TotalTime": its part "tool", entries "<dataid>:<count>".
std::map<std::string, int> LaunchCounts(CRegisterDoc* settings) {
  std::map<std::string, int> counts;
  CString total;
  settings->GetKey(CAFSPath::UserRecordPath(), "TotalTime", total);
  std::string value = Text(total) + ";";
  for (size_t start = 0, end; (end = value.find(';', start)) != std::string::npos; start = end + 1) {
    std::string part = value.substr(start, end - start);
    size_t eq = part.find('=');
    CString key = eq == std::string::npos ? "" : part.substr(0, eq).c_str();
    key.Trim();
    if (key != "tool") continue;
    std::string list = part.substr(eq + 1) + ",";
    for (size_t from = 0, to; (to = list.find(',', from)) != std::string::npos; from = to + 1) {
      std::string entry = list.substr(from, to - from);
      size_t colon = entry.find(':');
      if (colon == std::string::npos) continue;
      CString id = entry.substr(0, colon).c_str();
      id.Trim();
      counts[Text(id)] = atoi(entry.c_str() + colon + 1);
    }
  }
  return counts;
}

}  // namespace

VerbResult Failure(const std::string& sentence) { return VerbResult{1, std::string(), sentence + "\n"}; }

bool IsLoaded(const CString& dataId) {
  TOOLRUNTIMEINFO record;
  return DllGetToolRuntimeInfo(dataId, &record) && (record.dwProcessId || (record.dwState & TOOLSTATE_LOADED_MASK));
}

HostCatalogue::HostCatalogue(const std::string& platformRoot) : m_root(platformRoot) {
  m_afs.m_strRootPath = platformRoot.c_str();
}

bool HostCatalogue::Open(std::string& problem) {
  if (!m_tree.Open(m_root.c_str())) {
    problem = "The platform's main document " + Text(CPlatformTree::MainDocPath(m_root.c_str())) +
              " cannot be read; nothing was changed.";
    return false;
  }
  m_afs.m_pMainDoc = m_tree.MainDoc();
  CVFDLNode* registry = CAFSPath::GetRegRoot();
  m_settings = registry ? m_tree.MainDoc()->LoadExpandVFDLDoc(registry, true) : nullptr;
  if (!m_settings) {
    problem = "The platform's settings file " + Text(m_tree.MainDoc()->GetExpandDocPath(registry)) +
              " cannot be read; nothing was changed.";
    return false;
  }
  return true;
}

CVFDLNode* HostCatalogue::Find(const std::string& dataId) const {
  CVFDLNode* folder = m_settings->GetNode(CAFSPath::CataloguePath());
  CPtrArray nodes;
  if (folder) m_settings->BrowseNode(folder, nodes);
  for (int i = 0; i < nodes.GetSize(); ++i) {
    auto* node = static_cast<CVFDLNode*>(nodes[i]);
    if (node->GetKind() == VFDL_KIND_REC &&
        static_cast<CVFDLRec*>(node->GetData())->GetVarValue("dataid").CompareNoCase(dataId.c_str()) == 0)
      return node;
  }
  return nullptr;
}

VerbResult HostCatalogue::List() const {
  VerbResult result;
  std::map<std::string, int> counts = LaunchCounts(m_settings);
  CVFDLNode* folder = m_settings->GetNode(CAFSPath::CataloguePath());
  CPtrArray nodes;
  if (folder) m_settings->BrowseNode(folder, nodes);
  for (int i = 0; i < nodes.GetSize(); ++i) {
    auto* node = static_cast<CVFDLNode*>(nodes[i]);
    if (node->GetKind() != VFDL_KIND_REC || node->GetExtendType() != kToolRecordType) continue;
    auto* record = static_cast<CVFDLRec*>(node->GetData());
    CString id = record->GetVarValue("dataid");
    result.out += Text(id) + "\t" + Text(node->GetName()) + "\t" + Text(record->GetVarValue("version_now")) + "\t" +
                  (IsLoaded(id) ? "loaded" : "unloaded") + "\t" + std::to_string(counts[Text(id)]) + "\n";
  }
  return result;
}

VerbResult HostCatalogue::Add(const std::string& folder) {
  std::string app = folder + kToolAppFolder;
  for (const char* file : {"\\run.exe", "\\run.ini", "\\template\\install.xml"})
    if (!PathFileExistsA((app + file).c_str()))
      return Failure("The folder " + folder + " is no tool folder: " + app + file + " is missing.");
  std::string ini = app + "\\run.ini";
  CString id = IniValue(ini, "ID");
  if (id.IsEmpty()) id = PathFindFileNameA(folder.c_str());
  CString version = IniValue(ini, "Version");
  if (version.IsEmpty()) version = "1.0";
  if (id.GetLength() > kMaxDataId)
    return Failure("The tool's ID " + Text(id) + " is longer than " + std::to_string(kMaxDataId) + " characters.");
  if (Find(Text(id))) return Failure("The catalogue already holds a tool " + Text(id) + ".");

  CVFDLRec record;
  record.SetAlias(id);
  CString name = IniValue(ini, "Name");
  record.SetName(name.IsEmpty() ? id : name);
  record.SetExtendType(kToolRecordType);
  record.SetVarValue("dataid", id);
  record.SetVarValue("version_now", version);
  record.SetVarValue("load_now", CString(kLauncherProgram) + " /load %1 %2");
  record.SetVarValue("unload_now", CString(kLauncherProgram) + " /unload");
  record.SetVarValue("update_update", CString(kLauncherProgram) + " /update \"%1\" /version %2");
  if (!m_settings->SetNode(CAFSPath::CataloguePath(), &record, 65535))
    return Failure("The tool " + Text(id) + " cannot be added to the catalogue.");
  CVFDLNode* node = Find(Text(id));
  CString target = CAFSPath::ToolFolder(node);
  CXFSOperation copy;
  copy.m_nOperation = CXFSOperation::kCopy;
  copy.m_strSource = (folder + "\\*.*").c_str();
  copy.m_strTarget = target;
  if (!copy.Execute()) {
    m_settings->DelRec(node, 65535);
    return Failure("The tool folder " + folder + " cannot be copied to " + Text(target) + ".");
  }
  return VerbResult{0, "added\t" + Text(id) + "\t" + Text(target) + "\n", std::string()};
}

VerbResult HostCatalogue::Remove(const std::string& dataId, const std::function<bool(CVFDLNode*)>& unload) {
  CVFDLNode* node = Find(dataId);
  if (!node) return Failure("The catalogue holds no tool " + dataId + ".");
  CString id = static_cast<CVFDLRec*>(node->GetData())->GetVarValue("dataid");
  if (IsLoaded(id) && !unload(node)) return Failure("The tool " + Text(id) + " is loaded and could not be unloaded.");
  CString folder = CAFSPath::ToolFolder(node);
  CXFSOperation remove;
  remove.m_nOperation = CXFSOperation::kDelete;
  remove.m_strSource = folder;
  if (PathFileExistsA(folder) && !remove.Execute())
    return Failure("The tool folder " + Text(folder) + " cannot be removed; the tool stays in the catalogue.");
  m_settings->DelRec(node, 65535);
  return VerbResult{0, "removed\t" + Text(id) + "\n", std::string()};
}

VerbResult HostCatalogue::Check(const std::string& dataId) {
  CVFDLNode* node = Find(dataId);
  if (!node) return Failure("The catalogue holds no tool " + dataId + ".");
  CString id = static_cast<CVFDLRec*>(node->GetData())->GetVarValue("dataid");
  // The runtime finds the tool's folders through Swap, as in the tool's own launcher.
  SetEnvironmentVariableA("Swap", CAFSPath::ToolFolder(node) + kToolSwapFolder);
  CStringArray queued, downloaded;
  int read = DllCheckUpdate(&m_checkBlock, queued, downloaded);
  CString feed = m_checkBlock.mapParam["Remote"];
  if (feed.IsEmpty()) return Failure("The tool " + Text(id) + " names no update feed.");
  if (!read) return Failure("The update feed " + Text(feed) + " of the tool " + Text(id) + " cannot be read.");
  VerbResult result{0, "checked\t" + Text(id) + "\t" + Text(feed) + "\n", std::string()};
  for (int i = 0; i < queued.GetSize(); ++i) result.out += "queued\t" + Text(queued[i]) + "\n";
  for (int i = 0; i < downloaded.GetSize(); ++i) result.out += "downloaded\t" + Text(downloaded[i]) + "\n";
  return result;
}
