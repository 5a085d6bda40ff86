#pragma once
// The support pages the control works for. The values are the deployment's
// configuration and live in allow_list.inc; the shape is checked here at
// compile time so that a wrong edit of the data fails the build.
#include <array>
#include <string_view>

struct PageAllowList {
  // exact_hosts[0] is accepted only over HTTPS; matching runs in this order.
  std::array<std::wstring_view, 47> exact_hosts;
  std::array<std::wstring_view, 2> domain_suffixes;  // shorter one first
  std::array<std::wstring_view, 2> address_prefixes;  // "https://" one first
};

inline constexpr PageAllowList kPageAllowList = {
#include "control/allow_list.inc"
};

namespace allow_list_shape {

constexpr bool IsLowerHostText(std::wstring_view s) {
  if (s.empty()) return false;
  for (wchar_t c : s)
    if (!((c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') || c == L'-' || c == L'.'))
      return false;
  return true;
}

constexpr bool ExactHostsWellFormed() {
  for (std::wstring_view h : kPageAllowList.exact_hosts)
    if (!IsLowerHostText(h) || h.front() == L'.') return false;
  return true;
}

constexpr bool PrefixesWellFormed() {
  std::wstring_view secure = kPageAllowList.address_prefixes[0];
  std::wstring_view plain = kPageAllowList.address_prefixes[1];
  constexpr std::wstring_view kHttps = L"https://", kHttp = L"http://";
  if (!secure.starts_with(kHttps) || !plain.starts_with(kHttp)) return false;
  if (!secure.ends_with(L"/") || secure.substr(kHttps.size()) != plain.substr(kHttp.size()))
    return false;
  // Compared with the lower-cased address, so an upper-case letter never matches.
  for (wchar_t c : secure)
    if (c >= L'A' && c <= L'Z') return false;
  return true;
}

static_assert(ExactHostsWellFormed(), "exact hosts: lower-case DNS names");
static_assert(kPageAllowList.domain_suffixes[0].size() == 13 &&
                  kPageAllowList.domain_suffixes[1].size() == 21,
              "domain suffixes: 13 and 21 characters");
static_assert(kPageAllowList.domain_suffixes[0].starts_with(L".") &&
                  kPageAllowList.domain_suffixes[1].starts_with(L".") &&
                  IsLowerHostText(kPageAllowList.domain_suffixes[0]) &&
                  IsLowerHostText(kPageAllowList.domain_suffixes[1]),
              "domain suffixes: lower-case, beginning with a dot");
static_assert(PrefixesWellFormed(), "address prefixes: https and http forms of one address");

}  // namespace allow_list_shape
