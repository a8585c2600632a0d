// The plug-in kind of a tool: its page shown in a browser window of its own (the Windows browser
// object "InternetExplorer", driven through IWebBrowser2), with the load target handed to the
// page URL-encoded after a "#".
#pragma once

#include "platform/framework/afx_string.h"

#include <windows.h>

// page + "#" + the URL-encoded target.
CString PluginPageUrl(const CString& page, const CString& target);

// Opens the page; returns the process that owns the browser window (0 when none). A browser
// object that cannot be created raises _com_error with the failing result (E_POINTER when it has
// no IWebBrowser2); COM then stays initialised for the thread.
DWORD OpenPluginPage(const CString& page, const CString& target);
