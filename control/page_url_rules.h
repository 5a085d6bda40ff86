#pragma once
// Whether a page address belongs to the allow-list of support pages. Plain
// rules; taking the address apart is the caller's (host_check.cpp).
#include <optional>
#include <string>
#include <string_view>

#include "control/allow_list.h"

enum class PageScheme { kOther, kHttp, kHttps };

// What the browser-mode parse of the address gave.
struct PageUrlParts {
  PageScheme scheme = PageScheme::kOther;
  std::wstring host;
};

// The whole test on an address and its parts (nullopt: it could not be
// parsed). Any other scheme than HTTP or HTTPS is refused, and so is an
// address prefix followed by a "." or ".." path segment (plain or escaped),
// which would climb out of the prefix once the server resolves it.
bool IsAllowedPageParts(const std::wstring& address, const std::optional<PageUrlParts>& parts,
                        const PageAllowList& list = kPageAllowList);

// A strict reading of an HTTP or HTTPS address as a browser reports the page
// it shows: "scheme://", an authority up to the first "/", "?" or "#"
// (at most one "@", a host, an optional decimal port), then anything.
// nullopt for any other scheme and for an authority holding a "\", a blank
// or a control character, whatever another parser would make of it.
std::optional<PageUrlParts> ParsePageAddress(std::wstring_view address);

// The address test with the strict reading standing in for the browser's
// parse (the control asks both, and both must agree on the host).
bool IsAllowedPageAddress(const std::wstring& address, const PageAllowList& list = kPageAllowList);

// True when every character may stand in a DNS host name (letters, digits,
// "-", "."), so that no parser can read another host out of it than the
// browser does ("\", "@", "%", blanks and the like are refused).
bool IsDnsHostText(std::wstring_view host);

// Every "%20" replaced by " ".
std::wstring ReplaceEncodedBlanks(std::wstring_view address);
