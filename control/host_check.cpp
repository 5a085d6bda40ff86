#include "control/host_check.h"

#include <windows.h>
#include <exdisp.h>
#include <mshtml.h>
#include <ocidl.h>
#include <servprov.h>
#include <shlguid.h>
#include <wininet.h>

#include <vector>

#include "common/ascii_case.h"
#include "common/framework/com.h"
#include "common/update_folder.h"
#include "control/page_url_rules.h"

namespace {

bool ReadDebugValue(const wchar_t* section, const std::wstring& key, std::wstring* value) {
  return ReadUpdateFolderIni(kDebugFileName, section, key, kDebugValueChars, value);
}

// The address of the browser window's top-level document.
bool BrowserAddress(IOleClientSite* site, std::wstring* address) {
  zu::ComPtr<IWebBrowser2> browser = HostWebBrowser(site);
  if (!browser) return false;
  zu::Bstr location;
  if (FAILED(browser->get_LocationURL(location.put()))) return false;
  *address = location.str();
  return true;
}

// The address of the document that holds the control: a frame's own, not
// its top-level page's.
bool DocumentAddress(IOleClientSite* site, std::wstring* address) {
  zu::ComPtr<IOleContainer> container;
  if (FAILED(site->GetContainer(container.put())) || !container) return false;
  zu::ComPtr<IHTMLDocument2> document;
  if (FAILED(container->QueryInterface(IID_IHTMLDocument2, document.put_void())) || !document)
    return false;
  zu::Bstr url;
  if (FAILED(document->get_URL(url.put()))) return false;
  *address = url.str();
  return true;
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

zu::ComPtr<IWebBrowser2> HostWebBrowser(IOleClientSite* client_site) {
  if (!client_site) return nullptr;
  zu::ComPtr<IServiceProvider> provider;
  if (FAILED(client_site->QueryInterface(IID_IServiceProvider, provider.put_void())) || !provider)
    return nullptr;
  zu::ComPtr<IWebBrowser2> browser;
  if (FAILED(provider->QueryService(SID_SWebBrowserApp, IID_IWebBrowser2, browser.put_void())))
    return nullptr;
  return browser;
}

bool ReadDebugGeneral(const std::wstring& key, std::wstring* value) {
  return ReadDebugValue(kDebugGeneralSection, key, value);
}

bool ReadDebugSearch(const std::wstring& key, std::wstring* value) {
  return ReadDebugValue(kDebugSearchSection, key, value);
}

bool IsAllowedPageURL(const std::wstring& address) {
  // Two readings must agree: the browser's, and a strict one that refuses
  // what parsers read differently (a "\\" in the authority, two "@").
  const std::optional<PageUrlParts> strict = ParsePageAddress(address);
  const std::optional<PageUrlParts> browser = ParsePageUrl(address);
  if (!strict || !browser || strict->scheme != browser->scheme ||
      !zu::EqualsIgnoringAsciiCase(strict->host, browser->host))
    return false;
  return IsAllowedPageParts(address, browser);
}

bool IsHostPageAllowed(IOleClientSite* client_site) {
  std::wstring ignore;
  ReadDebugGeneral(kIgnoreUrlCheckKey, &ignore);
  if (ignore == L"1") return true;
  if (!client_site) return false;
  std::wstring top, document;
  return BrowserAddress(client_site, &top) && IsAllowedPageURL(top) &&
         DocumentAddress(client_site, &document) && IsAllowedPageURL(document);
}
