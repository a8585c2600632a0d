// The platform's shared icon list: one image list of large icons, filled on demand with the
// icons of files, one image per file path.
#pragma once

#include "platform/framework/afx_string.h"
#include "platform/win/service_handles.h"

#include <map>
#include <string>

class CAFSIcon {
 public:
  // The shared list of the platform.
  static CAFSIcon m_afsIcon;

  CAFSIcon();
  CAFSIcon(const CAFSIcon&) = delete;
  CAFSIcon& operator=(const CAFSIcon&) = delete;
  ~CAFSIcon();

  // The index in the list of the icon the shell shows for the file at `path` (the file's own
  // icon, or that of its type), added on the first request; later requests for the same path
  // (in any letter case) give the same index. -1 when the file does not exist or has no icon.
  int GetImageIndex(const CString& path);

  // The list itself (created on first use), for drawing; owned by this object.
  HIMAGELIST GetImageList();
  int GetImageCount();

 private:
  HIMAGELIST EnsureList();  // with m_lock held

  CRITICAL_SECTION m_lock;
  ImageListHandle m_list;
  std::map<std::string, int> m_indexOfPath;  // full path, upper case -> image index
};
