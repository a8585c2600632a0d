#include "runtime/plugin_page.h"

#include "platform/win/com_ptr.h"
#include "platform/services/xconfig.h"

#include <comdef.h>
#include <exdisp.h>

#include <vector>

namespace {

const CLSID kInternetExplorer = {0x0002DF01, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kWebBrowser2 = {0xD30C1661, 0xCDAF, 0x11D0, {0x8A, 0x3E, 0x00, 0xC0, 0x4F, 0xC9, 0xE2, 0x6E}};

BStr ToBStr(const CString& text) {
  int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  std::vector<wchar_t> wide(n > 0 ? n : 1, L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), n);
  return BStr(wide.data());
}

}  // namespace

CString PluginPageUrl(const CString& page, const CString& target) {
  return page + "#" + CXConfig::URLEncode(target);
}

DWORD OpenPluginPage(const CString& page, const CString& target) {
  CoInitialize(nullptr);
  DWORD process = 0;
  {
    ComPtr<IUnknown> unknown;
    HRESULT hr = CoCreateInstance(kInternetExplorer, nullptr,
                                  CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                  reinterpret_cast<void**>(unknown.receive()));
    if (SUCCEEDED(hr)) hr = OleRun(unknown.get());
    if (FAILED(hr)) throw _com_error(hr);
    ComPtr<IWebBrowser2> browser;
    if (!unknown.As(kWebBrowser2, browser)) throw _com_error(E_POINTER);

    SHANDLE_PTR window = 0;
    browser->get_HWND(&window);
    VariantValue url, empty;
    url.SetString(ToBStr(PluginPageUrl(page, target)));
    browser->Navigate2(&url.get(), &empty.get(), &empty.get(), &empty.get(), &empty.get());
    browser->put_Visible(VARIANT_TRUE);
    GetWindowThreadProcessId(reinterpret_cast<HWND>(window), &process);
  }
  CoUninitialize();
  return process;
}
