#include "control/page_url_rules.h"

#include "common/ascii_case.h"

namespace {

// Whether a path holds a "." or ".." segment, plain or escaped ("%2e"),
// before its query or fragment; "\" divides segments as "/" does in a
// browser.
bool HasDotSegment(std::wstring_view path) {
  path = path.substr(0, path.find_first_of(L"?#"));
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find_first_of(L"/\\", start);
    if (end == std::wstring_view::npos) end = path.size();
    std::wstring_view segment = path.substr(start, end - start);
    size_t dots = 0;
    bool only_dots = !segment.empty();
    for (size_t i = 0; i < segment.size() && only_dots;) {
      if (segment[i] == L'.') {
        ++dots;
        ++i;
      } else if (segment.size() - i >= 3 && segment[i] == L'%' && segment[i + 1] == L'2' &&
                 (segment[i + 2] == L'e' || segment[i + 2] == L'E')) {
        ++dots;
        i += 3;
      } else {
        only_dots = false;
      }
    }
    if (only_dots && dots <= 2) return true;
    start = end + 1;
  }
  return false;
}

bool IsDecimalPort(std::wstring_view port) {
  if (port.size() > 5) return false;
  unsigned value = 0;
  for (wchar_t c : port) {
    if (c < L'0' || c > L'9') return false;
    value = value * 10 + static_cast<unsigned>(c - L'0');
  }
  return value <= 65535;
}

}  // namespace

std::optional<PageUrlParts> ParsePageAddress(std::wstring_view address) {
  const size_t colon = address.find(L':');
  if (colon == std::wstring_view::npos) return std::nullopt;
  PageUrlParts parts;
  const std::wstring_view scheme = address.substr(0, colon);
  if (zu::EqualsIgnoringAsciiCase(scheme, L"http"))
    parts.scheme = PageScheme::kHttp;
  else if (zu::EqualsIgnoringAsciiCase(scheme, L"https"))
    parts.scheme = PageScheme::kHttps;
  else
    return std::nullopt;
  std::wstring_view rest = address.substr(colon + 1);
  if (!rest.starts_with(L"//")) return std::nullopt;
  rest.remove_prefix(2);
  std::wstring_view authority = rest.substr(0, rest.find_first_of(L"/?#"));
  for (wchar_t c : authority)
    if (c == L'\\' || c <= L' ' || c == 0x7F) return std::nullopt;
  // One "@" at most: parsers disagree on which of several ends the user.
  const size_t at = authority.find(L'@');
  if (at != std::wstring_view::npos) {
    if (authority.find(L'@', at + 1) != std::wstring_view::npos) return std::nullopt;
    authority.remove_prefix(at + 1);
  }
  std::wstring_view host = authority, port;
  if (host.starts_with(L'[')) {
    const size_t close = host.find(L']');
    if (close == std::wstring_view::npos) return std::nullopt;
    port = host.substr(close + 1);
    host = host.substr(0, close + 1);
    if (!port.empty() && !port.starts_with(L':')) return std::nullopt;
    if (!port.empty()) port.remove_prefix(1);
  } else if (const size_t port_colon = host.find(L':'); port_colon != std::wstring_view::npos) {
    port = host.substr(port_colon + 1);
    host = host.substr(0, port_colon);
  }
  if (host.empty() || !IsDecimalPort(port)) return std::nullopt;
  parts.host = std::wstring(host);
  return parts;
}

bool IsAllowedPageAddress(const std::wstring& address, const PageAllowList& list) {
  return IsAllowedPageParts(address, ParsePageAddress(address), list);
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
    if (!zu::EqualsIgnoringAsciiCase(host, list.exact_hosts[i])) continue;
    if (i == 0 && parts->scheme != PageScheme::kHttps) continue;
    return true;
  }

  for (std::wstring_view suffix : list.domain_suffixes) {
    std::wstring_view tail = host;
    if (tail.size() > suffix.size()) tail.remove_prefix(tail.size() - suffix.size());
    if (zu::EqualsIgnoringAsciiCase(tail, suffix)) return true;
  }

  const std::wstring copy = zu::AsciiLower(ReplaceEncodedBlanks(address));
  for (std::wstring_view prefix : list.address_prefixes)
    if (std::wstring_view(copy).starts_with(prefix) &&
        !HasDotSegment(std::wstring_view(copy).substr(prefix.size())))
      return true;
  return false;
}
