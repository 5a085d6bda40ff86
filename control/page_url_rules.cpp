#include "control/page_url_rules.h"

namespace {

wchar_t LowerAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? c + (L'a' - L'A') : c; }

bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

}  // namespace

std::wstring AsciiLower(std::wstring_view text) {
  std::wstring out(text);
  for (wchar_t& c : out) c = LowerAscii(c);
  return out;
}

bool IsDnsHostText(std::wstring_view host) {
  if (host.empty()) return false;
  for (wchar_t c : host) {
    bool ok = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
              c == L'-' || c == L'.';
    if (!ok) return false;
  }
  return true;
}

std::wstring ReplaceEncodedBlanks(std::wstring_view address) {
  constexpr std::wstring_view kEncoded = L"%20";
  std::wstring out;
  out.reserve(address.size());
  size_t from = 0;
  for (size_t at; (at = address.find(kEncoded, from)) != std::wstring_view::npos;
       from = at + kEncoded.size())
    out.append(address, from, at - from).push_back(L' ');
  out.append(address, from, std::wstring_view::npos);
  return out;
}

bool IsAllowedPageParts(const std::wstring& address, const std::optional<PageUrlParts>& parts,
                        const PageAllowList& list) {
  if (!parts || parts->scheme == PageScheme::kOther) return false;
  const std::wstring& host = parts->host;
  if (!IsDnsHostText(host)) return false;

  for (size_t i = 0; i < list.exact_hosts.size(); ++i) {
    if (!EqualsIgnoringCase(host, list.exact_hosts[i])) continue;
    if (i == 0 && parts->scheme != PageScheme::kHttps) continue;
    return true;
  }

  for (std::wstring_view suffix : list.domain_suffixes) {
    std::wstring_view tail = host;
    if (tail.size() > suffix.size()) tail.remove_prefix(tail.size() - suffix.size());
    if (EqualsIgnoringCase(tail, suffix)) return true;
  }

  const std::wstring copy = AsciiLower(ReplaceEncodedBlanks(address));
  for (std::wstring_view prefix : list.address_prefixes)
    if (std::wstring_view(copy).starts_with(prefix)) return true;
  return false;
}
