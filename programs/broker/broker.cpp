// QORRIGHT.exe, the rights broker. Started elevated ("runas") from the library folder by the
// first tool that needs administrator rights; it then serves every process of the machine:
// whenever its event "velmora.qor.right" is set it carries out each "ready" request of the request
// file that request_policy admits, writes "result" and sets "status" to "success" or "error".
// It ends after ten minutes without requests, or at once when another broker is running.
#include "platform/win/handles.h"
#include "platform/win/named_objects.h"
#include "programs/broker/request_policy.h"
#include "platform/win/lib_folder.h"
#include "swap/right_request.h"

#include <vector>

namespace {

const DWORD kIdleExitMs = 10 * 60 * 1000;

CString ReadStatus(const CString& file, const CString& section) {
  RequestFileLock lock;
  char buf[64] = "";
  GetPrivateProfileStringA(section, "status", "", buf, sizeof buf, file);
  return buf;
}

void Answer(const CString& file, const CString& section, bool success, int result) {
  RequestFileLock lock;
  CString number;
  number.Format("%d", result);
  if (success) WritePrivateProfileStringA(section, "result", number, file);
  WritePrivateProfileStringA(section, "status", success ? "success" : "error", file);
}

void ServeReadyRequests(const CString& file, const CString& platform, const CString& libFolder) {
  std::vector<char> names(65536);
  DWORD n;
  {
    RequestFileLock lock;
    n = GetPrivateProfileSectionNamesA(names.data(), static_cast<DWORD>(names.size()), file);
  }
  std::vector<CString> sections;
  for (const char* p = names.data(); p < names.data() + n && *p; p += lstrlenA(p) + 1) sections.push_back(p);
  for (const CString& section : sections) {
    if (ReadStatus(file, section) != "ready") continue;
    RIGHTREQUEST request = ReadRequest(file, section);
    int result = 0;
    bool ok = AdmitRequest(request, platform, libFolder) && ExecuteRequest(request, &result, 1);
    Answer(file, section, ok, result);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Callers without rights must be able to set the event.
  OpenSecurityAttributes security(false);
  UniqueHandle event(CreateEventA(security.get(), FALSE, FALSE, kRightRequestEvent));
  if (!event || GetLastError() == ERROR_ALREADY_EXISTS) return 1;

  CString libFolder = GetLibFolder();  // this program's folder: it lives in the library folder
  CString platform = PlatformFolder();
  CString file = GetRequestFile();
  while (WaitForSingleObject(event.get(), kIdleExitMs) == WAIT_OBJECT_0) ServeReadyRequests(file, platform, libFolder);
  return 0;
}
