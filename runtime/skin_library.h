// The vendor skin library, SkinMagic.dll, used through four exports imported by ordinal. It is
// optional: when the DLL cannot be loaded every call is skipped.
#pragma once

#include "platform/win/handles.h"

#include <windows.h>

class SkinLibrary {
 public:
  // Loads SkinMagic.dll when present; false when it is not.
  bool Load();
  bool present() const { return m_lib.valid(); }
  void Init(HINSTANCE instance, const char* caption);  // ordinal 1
  void LoadSkinFile(const char* path);                 // ordinal 3
  void SetDialogSkin(const char* scheme);              // ordinal 8
  void Exit();                                         // ordinal 2

 private:
  LibraryHandle m_lib;
};
