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
// parsed). Any other scheme than HTTP or HTTPS is refused.
bool IsAllowedPageParts(const std::wstring& address, const std::optional<PageUrlParts>& parts,
                        const PageAllowList& list = kPageAllowList);

// True when every character may stand in a DNS host name (letters, digits,
// "-", "."), so that no parser can read another host out of it than the
// browser does ("\", "@", "%", blanks and the like are refused).
bool IsDnsHostText(std::wstring_view host);

// Every "%20" replaced by " ".
std::wstring ReplaceEncodedBlanks(std::wstring_view address);

// ASCII letters only: the allow-list is ASCII, and a locale's case mapping
// (the Kelvin sign to "k") must not make a foreign address match.
std::wstring AsciiLower(std::wstring_view text);
