#pragma once
// The host page check: the control works only for pages on the allow-list,
// and "C:\Update\Debug.ini" can switch the check off for testing. Every
// call asks the browser and reads the file again; nothing is cached.
#include <string>

struct IOleClientSite;
struct IWebBrowser2;

inline constexpr wchar_t kDebugFilePath[] = L"C:\\Update\\Debug.ini";
inline constexpr wchar_t kDebugGeneralSection[] = L"General";
inline constexpr wchar_t kDebugSearchSection[] = L"DebugInfoSearch";
inline constexpr wchar_t kIgnoreUrlCheckKey[] = L"IgnoreURLCheck";
// Values are read with a buffer of this many characters, terminator included.
inline constexpr unsigned kDebugValueChars = 128;

// True when the page the control sits on may use it: the debug switch
// "IgnoreURLCheck" is exactly "1", or the browser reached through the
// client site (IServiceProvider, SID_SWebBrowserApp, IWebBrowser2) shows an
// allowed address. No site or any failure on the way refuses. Silent.
bool IsHostPageAllowed(IOleClientSite* client_site);

// The browser behind the client site (IServiceProvider, SID_SWebBrowserApp,
// IWebBrowser2) with a reference for the caller, or null.
IWebBrowser2* HostWebBrowser(IOleClientSite* client_site);

// The address test alone: the browser-mode parse, then the allow-list.
bool IsAllowedPageURL(const std::wstring& address);

// A key of section "General" / "DebugInfoSearch" of the debug file. True
// when its value is not empty; *value gets the value, empty when the file
// or key is missing.
bool ReadDebugGeneral(const std::wstring& key, std::wstring* value);
bool ReadDebugSearch(const std::wstring& key, std::wstring* value);
