#include "platform/win/common_controls.h"

#include "platform/win/handles.h"

namespace {

struct ImageListApi {
  HIMAGELIST(WINAPI* create)(int, int, UINT, int, int) = nullptr;
  int(WINAPI* replaceIcon)(HIMAGELIST, int, HICON) = nullptr;
  int(WINAPI* count)(HIMAGELIST) = nullptr;
  BOOL(WINAPI* destroy)(HIMAGELIST) = nullptr;
};

// Resolved once; comctl32 stays loaded for the process from then on.
const ImageListApi& Api() {
  static const ImageListApi api = [] {
    ImageListApi a;
    HMODULE library = LoadLibraryA("comctl32.dll");
    a.create = GetProc<decltype(a.create)>(library, "ImageList_Create");
    a.replaceIcon = GetProc<decltype(a.replaceIcon)>(library, "ImageList_ReplaceIcon");
    a.count = GetProc<decltype(a.count)>(library, "ImageList_GetImageCount");
    a.destroy = GetProc<decltype(a.destroy)>(library, "ImageList_Destroy");
    return a;
  }();
  return api;
}

}  // namespace

HIMAGELIST CreateImageList(int cx, int cy, UINT flags, int initial, int grow) {
  return Api().create ? Api().create(cx, cy, flags, initial, grow) : nullptr;
}

int AddIconToImageList(HIMAGELIST list, HICON icon) {
  return Api().replaceIcon ? Api().replaceIcon(list, -1, icon) : -1;
}

int ImageListCount(HIMAGELIST list) { return Api().count ? Api().count(list) : 0; }

void DestroyImageList(HIMAGELIST list) {
  if (Api().destroy) Api().destroy(list);
}
