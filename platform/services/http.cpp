#include "platform/services/http.h"

#include "platform/win/service_handles.h"
#include "platform/win/unique_file.h"

#include <string>
#include <vector>

namespace {

void SetTimeouts(HINTERNET h, DWORD ms) {
  // The request handle is the one whose time-outs the transfer obeys; the session gets them
  // too for the handles made from it.
  const DWORD options[] = {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                           INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_DATA_SEND_TIMEOUT,
                           INTERNET_OPTION_DATA_RECEIVE_TIMEOUT};
  for (DWORD option : options) InternetSetOptionA(h, option, &ms, sizeof ms);
}

CString QueryText(HINTERNET request, DWORD info) {
  char buf[512];
  DWORD len = sizeof buf;
  if (!HttpQueryInfoA(request, info, buf, &len, nullptr)) return CString();
  return CString(buf, static_cast<int>(len < sizeof buf ? len : 0));
}

bool QueryNumber(HINTERNET request, DWORD info, DWORD* value) {
  DWORD len = sizeof *value;
  return HttpQueryInfoA(request, info | HTTP_QUERY_FLAG_NUMBER, value, &len, nullptr) != FALSE;
}

// Removes a temporary download unless it was handed over.
struct TempDownload {
  std::wstring path;
  UniqueHandle file;
  ~TempDownload() {
    file.reset();
    if (!path.empty()) DeleteFileW(path.c_str());
  }
};

}  // namespace

int CHttp::httpGetFile(const CString& url, const CString& headers, const CString& localPath,
                       unsigned long& status, unsigned long& received, int& error, CString& contentType,
                       int& abort) {
  status = 0;
  received = 0;
  error = 0;
  contentType.Empty();
  auto fail = [&error](DWORD code) {
    error = static_cast<int>(code);
    return 0;
  };
  if (url.IsEmpty() || localPath.IsEmpty()) return fail(ERROR_INVALID_PARAMETER);

  // Only http and https: the same entry must not read local files or other protocols.
  char host[256] = "", path[2048] = "", extra[2048] = "";
  URL_COMPONENTSA parts = {};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host;
  parts.dwHostNameLength = sizeof host;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = sizeof path;
  parts.lpszExtraInfo = extra;
  parts.dwExtraInfoLength = sizeof extra;
  if (!InternetCrackUrlA(url, 0, 0, &parts)) return fail(GetLastError());
  if ((parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) || !host[0])
    return fail(ERROR_INTERNET_UNRECOGNIZED_SCHEME);
  std::string object = std::string(path[0] ? path : "/") + extra;

  InternetHandle session(InternetOpenA("Vantel/1.0", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) return fail(GetLastError());
  SetTimeouts(session.get(), m_dwTimeout);
  InternetHandle connection(InternetConnectA(session.get(), host, parts.nPort, nullptr, nullptr,
                                             INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return fail(GetLastError());
  const char* accept[] = {"*/*", nullptr};
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES;
  if (parts.nScheme == INTERNET_SCHEME_HTTPS) flags |= INTERNET_FLAG_SECURE;
  InternetHandle request(HttpOpenRequestA(connection.get(), "GET", object.c_str(), nullptr, nullptr,
                                          accept, flags, 0));
  if (!request) return fail(GetLastError());
  SetTimeouts(request.get(), m_dwTimeout);
  auto aborted = [&abort] { return *static_cast<volatile int*>(&abort) != 0; };
  if (aborted()) return fail(ERROR_CANCELLED);
  if (!HttpSendRequestA(request.get(), headers.IsEmpty() ? nullptr : static_cast<const char*>(headers),
                        headers.IsEmpty() ? 0 : static_cast<DWORD>(-1), nullptr, 0))
    return fail(GetLastError());

  DWORD code = 0;
  if (!QueryNumber(request.get(), HTTP_QUERY_STATUS_CODE, &code)) return fail(GetLastError());
  status = code;
  contentType = QueryText(request.get(), HTTP_QUERY_CONTENT_TYPE);
  if (code < 200 || code > 299) return 0;
  DWORD announced = 0;
  const bool known = QueryNumber(request.get(), HTTP_QUERY_CONTENT_LENGTH, &announced);
  if (known && announced > m_dwMaxSize) return fail(ERROR_FILE_TOO_LARGE);

  const std::wstring target = Widen(localPath);
  const std::wstring folder = ParentFolder(target);
  if (!folder.empty() && !EnsureFolder(folder)) return fail(ERROR_PATH_NOT_FOUND);
  TempDownload temp;
  temp.file = CreateUniqueFile(folder.empty() ? L"." : folder, L"~dl", L".part", &temp.path);
  if (!temp.file) return fail(GetLastError());

  std::vector<char> buf(64 * 1024);
  for (;;) {
    if (aborted()) return fail(ERROR_CANCELLED);
    DWORD got = 0;
    if (!InternetReadFile(request.get(), buf.data(), static_cast<DWORD>(buf.size()), &got))
      return fail(GetLastError());
    if (got == 0) break;
    if (got > m_dwMaxSize - received) return fail(ERROR_FILE_TOO_LARGE);
    DWORD done = 0;
    if (!WriteFile(temp.file.get(), buf.data(), got, &done, nullptr) || done != got) return fail(GetLastError());
    received += got;
  }
  if (known && received != announced) return fail(ERROR_INTERNET_CONNECTION_RESET);  // cut short
  temp.file.reset();
  if (!MoveFileExW(temp.path.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
    return fail(GetLastError());
  temp.path.clear();
  return 1;
}
