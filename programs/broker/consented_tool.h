// The tool the user consented to, named by the broker's command line, and the platform around it,
// both as the file system resolves them: a link or junction that leads out of the platform, or to
// another place than its name says, is not the tool.
#pragma once

#include "platform/framework/afx_string.h"
#include "platform/win/handles.h"

class ConsentedTool {
 public:
  // True when toolFolder is a full, canonical path whose final path is
  // <platform>\App\Tools\<its last part>, the platform being the parent of libFolder (the
  // broker's own folder, which must lie in it too).
  bool Resolve(const CString& toolFolder, const CString& libFolder);

  const CString& Folder() const { return m_folder; }  // as the command line names it
  CString AppFolder() const;
  CString SwapFolder() const;
  const CString& LibFolder() const { return m_libFolder; }
  CString LauncherPath() const;  // the platform's own launcher, in the library folder

  // The folder (as a request names it) is this tool's application or swap folder.
  bool IsAppFolder(const CString& folder) const;
  bool IsSwapFolder(const CString& folder) const;
  // The tool's folder, application folder and swap folder are still the ones consented to: no
  // link has been put in their place since.
  bool StillInPlace() const;
  // The platform's own launcher, opened with writing and deleting denied to everyone else so it
  // cannot be changed before the process has started from it; invalid when it is missing or
  // its final path is not in the library folder.
  UniqueHandle OpenLauncher() const;

 private:
  CString m_folder, m_libFolder;
  CString m_finalFolder, m_finalLibFolder;  // final paths
};
