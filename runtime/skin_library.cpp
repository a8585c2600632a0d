#include "runtime/skin_library.h"

namespace {

typedef int(__stdcall* InitFn)(HINSTANCE, const char*);
typedef int(__stdcall* PathFn)(const char*);
typedef int(__stdcall* ExitFn)();

template <typename Fn>
Fn ByOrdinal(HMODULE lib, WORD ordinal) {
  return GetProc<Fn>(lib, MAKEINTRESOURCEA(ordinal));
}

}  // namespace

bool SkinLibrary::Load() {
  m_lib.reset(LoadLibraryA("SkinMagic.dll"));
  return m_lib.valid();
}

void SkinLibrary::Init(HINSTANCE instance, const char* caption) {
  if (auto fn = ByOrdinal<InitFn>(m_lib.get(), 1)) fn(instance, caption);
}

void SkinLibrary::LoadSkinFile(const char* path) {
  if (auto fn = ByOrdinal<PathFn>(m_lib.get(), 3)) fn(path);
}

void SkinLibrary::SetDialogSkin(const char* scheme) {
  if (auto fn = ByOrdinal<PathFn>(m_lib.get(), 8)) fn(scheme);
}

void SkinLibrary::Exit() {
  if (auto fn = ByOrdinal<ExitFn>(m_lib.get(), 2)) fn();
}
