// A program linked against the SDK's import libraries only: the exported classes, their inline
// members (which call the platform's and the framework's code) and a plain export resolve and run.
#include <vantel/vantel.h>

int main() {
  CSysRegRec record;
  record.SetType(SYSREG_REGISTER);
  record.SetKey("HKEY_CURRENT_USER\\Software\\VantelSdk");
  HKEY root = nullptr;
  CString sub;
  if (!CCommon::ParserSysKey(record.GetKey(), root, sub) || root != HKEY_CURRENT_USER) return 1;
  if (sub != "Software\\VantelSdk" || record.GetType() != SYSREG_REGISTER) return 2;
  RUNTIMEPARAM block;
  TOOLRUNTIMEINFO info;
  DllGetRuntimeInfo(&block, &info);  // a module without an ID has no record
  return info.dwProcessId == 0 ? 0 : 3;
}
