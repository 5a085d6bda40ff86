#include "control/host_check.h"

#include <windows.h>
#include <exdisp.h>
#include <ocidl.h>
#include <servprov.h>
#include <shlguid.h>
#include <wininet.h>

#include <vector>

#include "common/framework/com.h"
#include "control/page_url_rules.h"

namespace {

bool ReadDebugValue(const wchar_t* section, const std::wstring& key, std::wstring* value) {
  wchar_t buffer[kDebugValueChars] = {};
  DWORD n = ::GetPrivateProfileStringW(section, key.c_str(), L"", buffer, kDebugValueChars,
                                       kDebugFilePath);
  std::wstring read(buffer, n < kDebugValueChars ? n : kDebugValueChars - 1);
  bool set = !read.empty();
  if (value) *value = std::move(read);
  return set;
}

// Browser-mode canonical form first, as the browser itself sees the
// address ("\" after the host becomes "/"), then the parts of that form.
std::optional<PageUrlParts> ParsePageUrl(const std::wstring& address) {
  if (address.empty()) return std::nullopt;
  std::vector<wchar_t> canonical(INTERNET_MAX_URL_LENGTH + 1);
  DWORD length = static_cast<DWORD>(canonical.size());
  if (!::InternetCanonicalizeUrlW(address.c_str(), canonical.data(), &length, ICU_BROWSER_MODE)) {
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::nullopt;
    canonical.assign(length + 1, L'\0');
    length = static_cast<DWORD>(canonical.size());
    if (!::InternetCanonicalizeUrlW(address.c_str(), canonical.data(), &length,
                                    ICU_BROWSER_MODE))
      return std::nullopt;
  }
  URL_COMPONENTSW parts = {};
  parts.dwStructSize = sizeof(parts);
  // Non-zero lengths without buffers: the parts are pointed to in place.
  parts.dwSchemeLength = 1;
  parts.dwHostNameLength = 1;
  parts.dwUserNameLength = 1;
  parts.dwPasswordLength = 1;
  parts.dwUrlPathLength = 1;
  parts.dwExtraInfoLength = 1;
  if (!::InternetCrackUrlW(canonical.data(), 0, 0, &parts)) return std::nullopt;
  PageUrlParts out;
  if (parts.nScheme == INTERNET_SCHEME_HTTP)
    out.scheme = PageScheme::kHttp;
  else if (parts.nScheme == INTERNET_SCHEME_HTTPS)
    out.scheme = PageScheme::kHttps;
  if (parts.lpszHostName) out.host.assign(parts.lpszHostName, parts.dwHostNameLength);
  return out;
}

}  // namespace

bool ReadDebugGeneral(const std::wstring& key, std::wstring* value) {
  return ReadDebugValue(kDebugGeneralSection, key, value);
}

bool ReadDebugSearch(const std::wstring& key, std::wstring* value) {
  return ReadDebugValue(kDebugSearchSection, key, value);
}

bool IsAllowedPageURL(const std::wstring& address) {
  return IsAllowedPageParts(address, ParsePageUrl(address));
}

IWebBrowser2* HostWebBrowser(IOleClientSite* client_site) {
  if (!client_site) return nullptr;
  zu::ComPtr<IServiceProvider> provider;
  if (FAILED(client_site->QueryInterface(IID_IServiceProvider, provider.put_void())) || !provider)
    return nullptr;
  IWebBrowser2* browser = nullptr;
  if (FAILED(provider->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2,
                                    reinterpret_cast<void**>(&browser))))
    return nullptr;
  return browser;
}

bool IsHostPageAllowed(IOleClientSite* client_site) {
  std::wstring ignore;
  ReadDebugGeneral(kIgnoreUrlCheckKey, &ignore);
  if (ignore == L"1") return true;
  zu::ComPtr<IWebBrowser2> browser = zu::ComPtr<IWebBrowser2>::Attach(HostWebBrowser(client_site));
  if (!browser) return false;
  zu::Bstr location;
  if (FAILED(browser->get_LocationURL(location.put()))) return false;
  return IsAllowedPageURL(location.str());
}
