// RunModule: the skin, the host's version check, and the first action item of the command line.
//
// Command items (keywords compared ignoring case; the argument is the rest of the item after the
// keyword and its one space, with leading and trailing double quotes removed):
//   load | load <target>    LoadModule(target, mode)
//   unload                  UnloadModule()
//   update <package>        UpdateModule(package, version)
//   install | uninstall     SwapReplaceModule(1) | SwapRestoreModule(1)
//   mode <m> | version <v>  no action; the last one anywhere in the list gives the load's mode
//                           ("app" without one) or the update's version (empty without one)
#include "platform/framework/afx_module.h"
#include "platform/services/crush_file.h"
#include "resources/resource_ids.h"
#include "runtime/skin_library.h"
#include "runtime/tool_module.h"
#include "sysreg/progress_dlg.h"

#include <shlwapi.h>

namespace {

bool Is(const CString& item, const char* keyword) { return item.CompareNoCase(keyword) == 0; }

// True when the item starts with `prefix` (which ends in the keyword's space).
bool StartsWith(const CString& item, const char* prefix) {
  return item.Left(lstrlenA(prefix)).CompareNoCase(prefix) == 0;
}

CString ArgumentOf(const CString& item, int keywordLength) {
  CString arg = item.Mid(keywordLength);
  arg.TrimLeft('"');
  arg.TrimRight('"');
  return arg;
}

// The argument of the last "<prefix>" item anywhere in the list, or `fallback`.
CString LastArgument(const CStringArray& items, const char* prefix, const CString& fallback) {
  CString value = fallback;
  for (int i = 0; i < items.GetSize(); ++i)
    if (StartsWith(items[i], prefix)) value = ArgumentOf(items[i], lstrlenA(prefix));
  return value;
}

// Whether the first action item of the list is "uninstall": its own swap out then finishes a swap
// out that an earlier start left unfinished.
bool FirstActionIsUninstall(const CStringArray& items) {
  for (int i = 0; i < items.GetSize(); ++i) {
    const CString& item = items[i];
    if (Is(item, "uninstall")) return true;
    if (Is(item, "load") || StartsWith(item, "load ") || Is(item, "unload") || StartsWith(item, "update ") ||
        Is(item, "install"))
      return false;
  }
  return false;
}

void ApplySkin(SkinLibrary& skin, const CString& skinSetting, const CString& platformFolder) {
  skin.Init(AfxGetModuleState()->m_hCurrentInstanceHandle, GetCaptionText(IDS_CAPTION));
  int colon = skinSetting.Find(':');
  CString name = colon >= 0 ? skinSetting.Left(colon) : skinSetting;
  CString skins = platformFolder + "\\templates\\skin\\";
  if (!name.IsEmpty() && PathFileExistsA(skins + name))
    skin.LoadSkinFile(skins + name);
  else
    skin.LoadSkinFile(skins + "default.smf");
  skin.SetDialogSkin("Dialog");
}

}  // namespace

int CToolModule::RunModule() {
  int result = 0;
  SkinLibrary skin;
  if (m_bLocalApp) {
    skin.Load();
    ApplySkin(skin, m_strQORSkin, m_strQORPath);
  }

  // A swap left unfinished by an earlier start is completed or undone before anything else.
  if (CheckVersion(CCrushFile::GetOSVersion()) && RecoverSwap(FirstActionIsUninstall(m_arrCommand))) {
    int count = m_arrCommand.GetSize();
    for (int i = 0; i < count; ++i) {
      const CString item = m_arrCommand[i];
      if (!ParseParameter(item)) {
        result = 1;
        break;
      }
      if (Is(item, "load") || StartsWith(item, "load ")) {
        CString target = item.GetLength() > 5 ? ArgumentOf(item, 5) : CString();
        result = LoadModule(target, LastArgument(m_arrCommand, "mode ", "app"));
        break;
      }
      if (Is(item, "unload")) {
        result = UnloadModule();
        break;
      }
      if (StartsWith(item, "update ")) {
        result = UpdateModule(ArgumentOf(item, 7), LastArgument(m_arrCommand, "version ", CString()));
        break;
      }
      if (Is(item, "install")) {
        result = SwapReplaceModule(1);
        break;
      }
      if (Is(item, "uninstall")) {
        result = SwapRestoreModule(1);
        break;
      }
    }
  }

  if (m_bLocalApp) skin.Exit();
  return result;
}
