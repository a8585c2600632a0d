// The image-list functions of comctl32, loaded on first use rather than with the platform DLL:
// loading comctl32 starts the display driver (some 40 ms under Wine), which most programs of the
// platform, the tools' launchers among them, never need. Each answers as its comctl32 function
// does, and as for a failure when comctl32 cannot be loaded.
#pragma once

#include <windows.h>
#include <commctrl.h>

HIMAGELIST CreateImageList(int cx, int cy, UINT flags, int initial, int grow);
int AddIconToImageList(HIMAGELIST list, HICON icon);
int ImageListCount(HIMAGELIST list);
void DestroyImageList(HIMAGELIST list);
