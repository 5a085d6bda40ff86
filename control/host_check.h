#pragma once
// The host page check: the control works only for pages on the allow-list,
// and "C:\Update\Debug.ini" can switch the check off for testing. Every
// call asks the browser and reads the file again; nothing is cached.
#include <string>

#include "common/framework/com.h"

struct IOleClientSite;
struct IWebBrowser2;

// The debug file in the update folder. It counts only when no standard
// user could have written it or its folder (common/update_folder.h).
inline constexpr wchar_t kDebugFileName[] = L"Debug.ini";
inline constexpr wchar_t kDebugGeneralSection[] = L"General";
inline constexpr wchar_t kDebugSearchSection[] = L"DebugInfoSearch";
inline constexpr wchar_t kIgnoreUrlCheckKey[] = L"IgnoreURLCheck";
// Values are read with a buffer of this many characters, terminator included.
inline constexpr unsigned kDebugValueChars = 128;

// True when the page the control sits on may use it: the debug switch
// "IgnoreURLCheck" is exactly "1", or both the address the browser shows
// (client site, IServiceProvider, SID_SWebBrowserApp, IWebBrowser2) and the
// address of the document that holds the control (the client site's
// container, IHTMLDocument2) are allowed, so that a frame of another page
// inside an allowed one is refused. No site, or any address that cannot be
// read, refuses. Silent.
bool IsHostPageAllowed(IOleClientSite* client_site);

// The browser behind the client site (IServiceProvider, SID_SWebBrowserApp,
// IWebBrowser2), or null.
zu::ComPtr<IWebBrowser2> HostWebBrowser(IOleClientSite* client_site);

// The address test alone: the browser-mode parse and the strict reading of
// page_url_rules.h must agree on scheme and host, then the allow-list.
bool IsAllowedPageURL(const std::wstring& address);

// A key of section "General" / "DebugInfoSearch" of the debug file. True
// when its value is not empty; *value gets the value, empty when the file
// or key is missing or the file is not to be trusted.
bool ReadDebugGeneral(const std::wstring& key, std::wstring* value);
bool ReadDebugSearch(const std::wstring& key, std::wstring* value);
