// One HTTP download into a local file, on WinINet.
#pragma once

#include "platform/framework/afx_string.h"

#include <windows.h>

class CHttp {
 public:
  CHttp() = default;
  CHttp(const CHttp&) = delete;
  CHttp& operator=(const CHttp&) = delete;

  // Fetches `url` (http or https, GET) into the file `localPath`. Returns non-zero when the
  // server answered with a 2xx status and every byte it announced was stored; the file then
  // holds exactly the response body, whatever it is (telling a feed from an error page is the
  // reader's job). On failure `localPath` is not touched: the body goes to a temporary file in
  // the same folder (created when missing) that is moved over `localPath` only on success.
  //
  //   headers      extra request header lines ("Name: value\r\n..."), empty for none
  //   status       the HTTP status code, 0 when there was no answer
  //   received     the number of body bytes stored
  //   error        the Win32/WinINet error code of the failure, 0 on success or when the
  //                server answered with a status other than 2xx (see status)
  //   contentType  the Content-Type of the answer
  //   abort        read during the transfer: once it is non-zero the transfer stops and fails
  //                (another thread may set it to cancel a download)
  int httpGetFile(const CString& url, const CString& headers, const CString& localPath,
                  unsigned long& status, unsigned long& received, int& error, CString& contentType,
                  int& abort);

  // How long connecting, sending and each wait for data may take before the transfer fails.
  void SetTimeout(DWORD milliseconds) { m_dwTimeout = milliseconds; }
  // The largest body that is stored; anything bigger fails the transfer.
  void SetMaxSize(unsigned long bytes) { m_dwMaxSize = bytes; }

 private:
  DWORD m_dwTimeout = 30000;
  unsigned long m_dwMaxSize = 1ul << 30;
};
