// Launch accounting: every load the catalogue starts is watched until the tool's launcher has
// reported what it loaded in the running-tool table. A load that started the tool's application
// counts one launch; a gadget load is announced to the platform's notification window instead.
// When the window goes, the counts are added to the totals of the settings tree's user record,
// value "TotalTime": parts "key=value" separated by ";", of which the part "tool" lists
// "<data identifier>:<count>" entries separated by ",".
#include "catalogue/launch_accounting.h"

#include "catalogue/catalogue_api.h"
#include "catalogue/settings_tree.h"
#include "catalogue/tool_app.h"
#include "catalogue/tool_wnd.h"
#include "platform/doctree/register_doc.h"
#include "platform/services/afs.h"

#include <cstdlib>
#include <cstring>

namespace {

const char kTotalTime[] = "TotalTime";
const char kToolPart[] = "tool";

// The text of a part or entry before its first `separator`, trimmed; empty when it has none.
bool SplitKey(const CString& text, char separator, CString& key, CString& rest) {
  int at = text.Find(separator);
  if (at < 0) return false;
  key = text.Left(at);
  key.Trim();
  rest = text.Mid(at + 1);
  return true;
}

TOOLRUNTIMEINFO* RecordNamed(const CString& name) {
  for (TOOLRUNTIMEINFO& record : SharedToolData().tools)
    if (strncmp(record.szName, name, TOOL_NAME_SIZE) == 0 && name.GetLength() < TOOL_NAME_SIZE) return &record;
  return nullptr;
}

}  // namespace

int SplitString(const CString& text, CStringArray& parts, const CString& delimiters, int skipEmpty) {
  parts.RemoveAll();
  int start = 0;
  for (int i = 0; i <= text.GetLength(); ++i) {
    if (i < text.GetLength() && !strchr(delimiters, text[i])) continue;
    CString part = text.Mid(start, i - start);
    if (!part.IsEmpty() || !skipEmpty) parts.Add(part);
    start = i + 1;
  }
  return parts.GetSize();
}

CString MergeUsageCounts(const CString& stored, ToolWatchMap& counts) {
  CStringArray parts;
  SplitString(stored, parts, ";", 1);
  int toolPart = -1;
  CString list, key, rest;
  for (int i = 0; i < parts.GetSize(); ++i) {
    if (SplitKey(parts[i], '=', key, rest) && key == kToolPart) {
      toolPart = i;
      list = rest;
    }
  }
  CStringArray entries;
  SplitString(list, entries, ",", 1);
  for (int i = 0; i < entries.GetSize(); ++i)
    if (SplitKey(entries[i], ':', key, rest)) counts[key].count += atoi(rest);

  CString merged;
  for (const auto& entry : counts) {
    if (entry.second.count == 0) continue;
    CString item;
    item.Format("%s:%d,", entry.first.c_str(), entry.second.count);
    merged += item;
  }
  merged.TrimRight(',');
  if (merged.IsEmpty()) return stored;

  // A value without a tool part gets one at its end, so that no count is lost.
  if (toolPart < 0) {
    toolPart = parts.GetSize();
    parts.Add(CString());
  }
  CString value;
  for (int i = 0; i < parts.GetSize(); ++i) {
    if (!value.IsEmpty()) value += ";";
    value += i == toolPart ? CString(kToolPart) + "=" + merged : parts[i];
  }
  return value;
}

int CToolWnd::WatchTool(CVFDLNode* node) {
  StartWatching();
  CString dataId = ToolValue(node, "dataid");
  WithWatchMap([&](ToolWatchMap& map) { map[dataId].active = 1; });
  SetTimer(m_hWnd, kTimerId, kTimerPeriodMs, nullptr);
  return 1;
}

int CToolWnd::UnwatchTool(CVFDLNode* node) {
  CString dataId = ToolValue(node, "dataid");
  WithWatchMap([&](ToolWatchMap& map) { map[dataId].active = 0; });
  return 1;
}

void CToolWnd::OnTimer(UINT_PTR /*timerId*/) {
  std::vector<std::pair<TOOLRUNTIMEINFO*, ToolLaunchEntry>> gadgets;
  bool allDone = true, counted = false;
  WithWatchMap([&](ToolWatchMap& map) {
    for (auto& item : map) {
      ToolLaunchEntry& entry = item.second;
      TOOLRUNTIMEINFO* record = entry.active ? RecordNamed(item.first) : nullptr;
      DWORD state = record ? record->dwState : 0;
      if (state & TOOLSTATE_LOADED_MASK) {
        entry.active = 0;
        if (state & TOOLSTATE_APP) {
          ++entry.count;
          counted = true;
        }
        else if (state & TOOLSTATE_GADGET)
          gadgets.emplace_back(record, entry);
      }
      if (entry.active) allDone = false;
    }
  });
  // Sent outside the map's lock: the platform's window may call the catalogue back.
  for (const auto& gadget : gadgets) SendGadgetNotice(gadget.first, gadget.second);
  // A counted launch reaches the settings tree at once: a host that dies loses none.
  if (counted)
    if (CToolApp* app = GetToolApp()) app->SaveUsageCounts(false);
  if (allDone) KillTimer(m_hWnd, kTimerId);
}

void CToolWnd::SendGadgetNotice(TOOLRUNTIMEINFO* record, const ToolLaunchEntry& entry) {
  CAFS* afs = CAFS::m_pthis;
  if (!afs || !afs->m_hNotifyWnd) return;
  CToolApp* app = GetToolApp();
  TOOLGADGETNOTICE notice = {app ? app->FindToolNode(record) : nullptr, entry.text, afs->m_dwNotifyParam, 0, 0};
  SendMessageA(afs->m_hNotifyWnd, WM_TOOL_GADGET, reinterpret_cast<WPARAM>(&notice), 0);
}

int CToolApp::SaveUsageCounts(bool forget) {
  if (!m_pWnd) return 1;
  CRegisterDoc* doc = PlatformSettings();
  m_pWnd->WithWatchMap([&](ToolWatchMap& map) {
    if (doc) {
      CString stored;
      doc->GetKey(CAFSPath::UserRecordPath(), kTotalTime, stored);
      ToolWatchMap counts = map;  // the stored totals are added to the copy
      CString merged = MergeUsageCounts(stored, counts);
      if (merged != stored) doc->SetKey(CAFSPath::UserRecordPath(), kTotalTime, merged);
      for (auto& entry : map) entry.second.count = 0;  // they are in the tree now
    }
    if (forget) map.clear();
  });
  return 1;
}
