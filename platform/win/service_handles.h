// Owners for the handles of the platform services that platform/handles.h does not cover:
//
//   InternetHandle  a WinINet session, connection or request (InternetCloseHandle)
//   ImageListHandle an image list (ImageList_Destroy)
//   IconHandle      an icon (DestroyIcon)
#pragma once

#include "platform/win/common_controls.h"
#include "platform/win/handles.h"

#include <commctrl.h>
#include <wininet.h>

struct InternetTraits {
  static HINTERNET None() { return nullptr; }
  static bool Valid(HINTERNET h) { return h != nullptr; }
  static void Close(HINTERNET h) { ::InternetCloseHandle(h); }
};
using InternetHandle = ScopedHandle<HINTERNET, InternetTraits>;

struct ImageListTraits {
  static HIMAGELIST None() { return nullptr; }
  static bool Valid(HIMAGELIST h) { return h != nullptr; }
  static void Close(HIMAGELIST h) { DestroyImageList(h); }
};
using ImageListHandle = ScopedHandle<HIMAGELIST, ImageListTraits>;

struct IconTraits {
  static HICON None() { return nullptr; }
  static bool Valid(HICON h) { return h != nullptr; }
  static void Close(HICON h) { ::DestroyIcon(h); }
};
using IconHandle = ScopedHandle<HICON, IconTraits>;
