// CToolModule: one tool in one host process.
//
// Created by the module registry for a host's runtime parameter block and initialised once by
// InitModule, which fixes the tool's folders, reads its configuration file (Config.ini) and
// settings document (Register.xml), prepares the process environment, loads the platform's
// resource library and cuts the command line into command items. RunModule then runs the first
// action item: load, unload, update, install or uninstall.
//
// Folder layout of a tool (every path kept without a trailing backslash):
//   m_strPath          folder of the host executable (the application folder)
//   m_strSwapPath      environment variable "Swap": the tool's swap folder (see CheckSwapFolder)
//   m_strConfigPos     swap folder\Config.ini, section "Tool": ID, Manual, Status, Install
//   m_strMyPath        swap folder\MySelf: Register.xml and the tool's install.xml
//   m_strBackPath      swap folder\Backup: the machine's state captured at swap in
//   m_strUpdatePath    swap folder\Update;  m_strDownloadPath  swap folder\Download
//   m_strLibPath       the platform's library folder;  m_strQORPath  its parent
//   m_strTempPath      platform folder\Tmp
//
// The virtual operations forward to the host's hooks (runtime_param.h) and may be replaced by a
// derived class; the runtime always calls them through the virtual table.
#pragma once

#include "sysreg/vantel_api.h"
#include "platform/framework/afx_coll.h"
#include "runtime/runtime_param.h"

#include <windows.h>

#include <string>
#include <vector>

class CRegisterDoc;
class CSysRegDoc;
class CUpdateWorker;

class VANTEL_API CToolModule {
 public:
  CToolModule();
  virtual ~CToolModule();

  // Virtual operations, in the order of the host-visible table.
  virtual int CheckVersion(const OSVERSIONINFOEXA& version);
  virtual int ParseParameter(const CString& item);
  virtual int LoadModule(const CString& target, const CString& mode);
  virtual int UnloadModule();
  virtual int UpdateModule(const CString& package, const CString& version);
  virtual int ImportTool();
  virtual int BackupTool();
  virtual int RestoreTool();
  virtual DWORD GetToolRunInfo(CString& commandLine, void*& environment, const CString& target);
  virtual int GetToolExitInfo(DWORD processId, const CString& exeName, CString& windowClass, UINT& timeout,
                              int& mainProcess);
  virtual int DownloadCompleted(int success);

  int InitModule(const CString& path);
  // 1 when the swap folder is usable: a full path whose parent folder exists (the folder itself
  // is created when missing). Otherwise 0, after telling the user when ask is non-zero; a module
  // without a usable swap folder creates nothing and runs no command.
  int CheckSwapFolder(int ask);
  int RunModule();
  int QuitTool(int checkMain, int ask);
  DWORD RunTool(const CString& target);

  int SwapNewModule(int ask);
  int SwapReplaceModule(int ask);
  int SwapRestoreModule(int ask);
  int SwapDeleteModule(int ask);

  // Members, in the order the host-visible layout gives them.
  RUNTIMEPARAM* m_pParam;
  TOOLRUNTIMEINFO* m_pRuntimeInfo;
  CRegisterDoc* m_pRegisterDoc;
  CString m_strName;
  BOOL m_bNeedAdmin;
  BOOL m_bLocalApp;
  BOOL m_bSystem;
  CString m_strPath;
  CString m_strSwapPath;
  CString m_strQORPath;
  CString m_strLibPath;
  CString m_strTempPath;
  CString m_strMyPath;
  CString m_strBackPath;
  CString m_strConfigPos;
  CString m_strRegisterPos;
  CString m_strUpdatePath;
  CString m_strDownloadPath;
  CString m_strQORVersion;
  CString m_strQORSkin;
  CString m_strID;
  BOOL m_bManual;
  BOOL m_bMobile;
  CString m_strRemote;
  BOOL m_bAppStarted;
  CStringArray m_arrCommand;
  CUpdateWorker* m_pUpdateWorker;

 protected:
  CString GetMessageText(UINT id);
  CSysRegDoc* GetSysRegDoc(const CString& path);
  CString GetINIString(const CString& section, const CString& key);
  int SetINIString(const CString& section, const CString& key, const CString& value);

  // The swap's steps (tool_package.cpp, swap_recovery.cpp). RecoverSwap completes or undoes a
  // swap that the journal shows unfinished: 1 when nothing is left to do, 0 when it could not.
  // An unfinished swap out is left to a command that swaps out itself (SwapOut finishes it).
  int SwapIn(CSysRegDoc& own, CSysRegDoc& backup);
  int SwapOut(CSysRegDoc& own, CSysRegDoc& backup);
  // The machine back from the backup, the step logged and the journal idle when it is all done.
  int PutMachineBack(CSysRegDoc& backup, const CString& step);
  // The swap in refused before the machine changed: the backup cannot be written. Answers 0.
  int RefuseBackup(CSysRegDoc& own);
  // The machine back from the backup without the tool's state being captured ("install afresh").
  int DiscardSwap();
  int RecoverSwap(bool commandSwapsOut);
  // The name of another tool of the platform whose swap holds one of the items; empty if none.
  CString ToolHoldingItems(const std::vector<std::string>& items);

 private:
  CToolModule(const CToolModule&) = delete;
  CToolModule& operator=(const CToolModule&) = delete;
};
