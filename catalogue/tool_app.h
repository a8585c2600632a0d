// CToolApp: the application object of the platform's main process (one per process, made by
// LoadApp) with its hidden window, and the catalogue operations on the tools of the platform's
// settings tree.
//
// The catalogue swaps nothing itself: each operation runs one of the tool's command values
// ("load_now", "unload_now", "update_update") as the tool's launcher, in the library folder, with
// the tool's swap folder in its environment (Swap) and in its Config.ini (ID, Manual). Whether a
// tool runs, the catalogue learns from the shared running-tool table.
//
// The manual flag says whether the user asked for an operation (non-zero) or the host does it by
// itself: it decides whether a tool without an installed version is reported, it is written to
// Config.ini as "Manual", and it chooses which tools LoadAllTools loads.
#pragma once

#include "platform/framework/afx_string.h"
#include "runtime/shared_data.h"

#include <vector>

class CToolWnd;
class CVFDLNode;

class CToolApp {
 public:
  CToolApp();  // initialises COM for the calling thread
  virtual ~CToolApp();  // destroys the window (see CToolWnd::OnDestroy), then COM
  CToolApp(const CToolApp&) = delete;
  CToolApp& operator=(const CToolApp&) = delete;

  HWND GetHwnd() const;

  // Loads every tool (manual non-zero) or those whose "autorun" is "yes" (manual 0). 1.
  int LoadAllTools(int manual);
  // 1 when the load command was started or the tool runs already; 0 otherwise.
  int LoadTool(CVFDLNode* node, int manual, const CString& arg1, const CString& arg2);
  int UnloadAllTools(int manual);  // 1
  // Runs the unload command, or, when the tool's folder is gone, ends its process and releases its
  // record. 1, also for a tool that has no record.
  int UnloadTool(CVFDLNode* node, int manual);
  // Runs the update command (%1 the tool's Backup folder, %2 the installed version) and waits for
  // it. 1 when it ran.
  int UpdateTool(CVFDLNode* node);
  int IsToolLoaded(CVFDLNode* node);
  // 1 when the node is a tool record with an installed version (the message 51787 says otherwise
  // when showError is set); the tool's Swap folder is made when missing.
  int PrepareTool(CVFDLNode* node, int showError);
  int RunToolCommand(CVFDLNode* node, const CString& valueName, int manual, int wait,
                     const std::vector<const char*>& values);

  // The table record named exactly as the node's "dataid"; null when there is none.
  TOOLRUNTIMEINFO* FindRuntimeRecord(CVFDLNode* node);
  // The catalogue record whose "dataid" is the record's name exactly; null when there is none.
  CVFDLNode* FindToolNode(TOOLRUNTIMEINFO* record);
  // The first catalogue record whose "dataid" equals dataId in any letter case (open requests).
  CVFDLNode* FindToolByDataId(const CString& dataId);

  // Starts the launcher (its unload command) of every catalogue tool whose swap journal shows a
  // swap left unfinished; the launcher completes or undoes it first thing. 1.
  int RecoverTools();

  // Adds the launches counted since the last save to the settings tree's "TotalTime"
  // (launch_accounting.cpp); forget: the watch map is emptied as well (the window goes). 1.
  int SaveUsageCounts(bool forget = true);

  CToolWnd* m_pWnd;
};

// The process's application object; null before LoadApp and after UnLoadApp.
CToolApp* GetToolApp();
void SetToolApp(CToolApp* app);
