#include "swap/swap_plan.h"

#include "platform/win/unique_file.h"

namespace {

std::string Utf8(const std::wstring& text) { return Narrow(text, CP_UTF8); }

}  // namespace

std::vector<std::string> SwapPlan::JournalItems() const {
  std::vector<std::string> names;
  for (const SwapPlanItem& item : items) {
    const CSysRegRec& r = item.record;
    switch (r.GetType()) {
      case SYSREG_REGISTER:
        names.push_back(r.IsSysKeyValue() ? "value|" + Utf8(r.GetKeyW()) + "|" + Utf8(r.GetNameW())
                                          : "register|" + Utf8(r.GetKeyW()));
        break;
      case SYSREG_LIBRARY:
        names.push_back("library|" + Utf8(Widen(r.GetGuid())));
        break;
      case SYSREG_FILE:
        names.push_back("file|" + Utf8(Widen(r.GetFile())));
        break;
      case SYSREG_ASSOCIATION:
        names.push_back("association|" + Utf8(Widen(r.GetExt())));
        break;
      case SYSREG_FIREWALL:
        names.push_back("firewall|" + Utf8(Widen(r.GetExe())));
        break;
      case SYSREG_SERVICE:
        names.push_back("service|" + Utf8(Widen(r.GetName())));
        break;
      default:
        break;
    }
  }
  return names;
}
