#include "platform/services/afs_icon.h"

#include <shellapi.h>

CAFSIcon CAFSIcon::m_afsIcon;

namespace {

IconHandle LoadFileIcon(const char* path) {
  SHFILEINFOA info = {};
  if (SHGetFileInfoA(path, 0, &info, sizeof info, SHGFI_ICON | SHGFI_LARGEICON) && info.hIcon)
    return IconHandle(info.hIcon);
  HICON large = nullptr;
  if (ExtractIconExA(path, 0, &large, nullptr, 1) > 0 && large) return IconHandle(large);
  return IconHandle();
}

}  // namespace

CAFSIcon::CAFSIcon() { InitializeCriticalSection(&m_lock); }

CAFSIcon::~CAFSIcon() {
  m_list.reset();
  DeleteCriticalSection(&m_lock);
}

HIMAGELIST CAFSIcon::EnsureList() {
  if (!m_list)
    m_list.reset(CreateImageList(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON),
                                  ILC_COLOR32 | ILC_MASK, 16, 16));
  return m_list.get();
}

HIMAGELIST CAFSIcon::GetImageList() {
  CriticalSectionLock g(&m_lock);
  return EnsureList();
}

int CAFSIcon::GetImageCount() {
  CriticalSectionLock g(&m_lock);
  return m_list ? ImageListCount(m_list.get()) : 0;
}

int CAFSIcon::GetImageIndex(const CString& path) {
  char full[MAX_PATH];
  DWORD n = GetFullPathNameA(path, MAX_PATH, full, nullptr);
  if (path.IsEmpty() || n == 0 || n >= MAX_PATH) return -1;
  if (GetFileAttributesA(full) == INVALID_FILE_ATTRIBUTES) return -1;
  std::string key = full;
  CharUpperBuffA(&key[0], static_cast<DWORD>(key.size()));

  CriticalSectionLock g(&m_lock);
  auto it = m_indexOfPath.find(key);
  if (it != m_indexOfPath.end()) return it->second;
  HIMAGELIST list = EnsureList();
  IconHandle icon = LoadFileIcon(full);
  if (!list || !icon) return -1;
  int index = AddIconToImageList(list, icon.get());  // the list keeps its own copy
  if (index >= 0) m_indexOfPath[key] = index;
  return index;
}
