#include "tests/native/fuzz_targets.h"

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "common/net/http_rules.h"
#include "control/match_rules.h"
#include "control/page_url_rules.h"
#include "control/query_rules.h"
#include "control/requirement_list.h"
#include "tests/support/page_address_near_miss.h"

namespace {

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "property failed: %s\n", what);
  std::abort();
}

// Page text arrives as UTF-16: the input is read as little-endian code units.
std::wstring Utf16(const std::uint8_t* data, std::size_t size) {
  std::wstring text;
  for (std::size_t i = 0; i + 1 < size; i += 2)
    text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
  return text;
}

// Two texts cut at the first line feed.
void Cut(const std::wstring& all, std::wstring* first, std::wstring* second) {
  const std::size_t nl = all.find(L'\n');
  *first = all.substr(0, nl);
  *second = nl == std::wstring::npos ? std::wstring() : all.substr(nl + 1);
}

std::wstring Escape(const RequirementItem& item) {
  std::wstring out;
  for (wchar_t c : item.text) {
    if (c == L',' || c == L'*' || c == L'\\') out.push_back(L'\\');
    out.push_back(c);
  }
  if (item.prefix) out.push_back(L'*');
  return out;
}

bool StartsWith(const std::wstring& s, const std::wstring& p) {
  return s.size() >= p.size() && s.compare(0, p.size(), p) == 0;
}

}  // namespace

int Fuzz_list_match(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const ListRules rules{.wildcards = (data[0] & 1) != 0, .any_value = (data[0] & 2) != 0,
                        .several = (data[0] & 4) != 0, .empty = (data[0] & 8) != 0};
  std::wstring actual, list;
  Cut(Utf16(data + 1, size - 1), &actual, &list);

  std::vector<RequirementItem> items;
  if (!SplitRequirementList(list, &items, rules)) {
    Check(items.empty(), "a refused list leaves no items");
    return 0;
  }
  Check(!items.empty(), "an accepted list has an item");
  Check(rules.several || items.size() == 1, "one item when several are not allowed");
  std::wstring joined;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const RequirementItem& item = items[i];
    Check(rules.wildcards || !item.prefix, "no prefix items without wildcards");
    Check(rules.any_value || !item.IsAnyValue(), "no any-value item unless allowed");
    Check(rules.empty || item.prefix || !item.text.empty(), "no empty item unless allowed");
    if (i) joined.push_back(L',');
    joined += Escape(item);

    const bool match = MatchText(actual, item);
    if (actual.empty()) Check(!match, "an empty value never matches");
    if (item.prefix && item.text.size() <= kPrefixMaxChars && !actual.empty())
      Check(match == StartsWith(actual, item.text), "prefix items match by prefix");
    if (!item.prefix && match) Check(EqualsNoCase(actual, item.text), "plain items match equal");
    if (!item.text.empty() && !item.prefix)
      Check(MatchText(item.text, item), "a plain item matches itself");
  }
  std::vector<RequirementItem> again;
  Check(SplitRequirementList(joined, &again, rules), "escaped items split again");
  Check(again == items, "escaping round-trips");
  return 0;
}

int Fuzz_version(const std::uint8_t* data, std::size_t size) {
  std::wstring actual, version;
  Cut(Utf16(data, size), &actual, &version);
  const std::wstring once = NormalizeVersion(version);
  Check(NormalizeVersion(once) == once, "normalising twice changes nothing");
  Check(once.size() <= version.size(), "normalising never lengthens");
  std::size_t dots_in = 0, dots_out = 0;
  for (wchar_t c : version) dots_in += c == L'.';
  for (wchar_t c : once) dots_out += c == L'.';
  Check(dots_in == dots_out, "components are kept");
  if (!once.empty()) Check(MatchVersion(once, {version, false}), "a version matches its item");
  MatchVersion(actual, {version, true});
  bool invalid = false;
  MatchDate(actual, ResolveEscapes(version), &invalid);
  Check(invalid == ResolveEscapes(version).IsAnyValue(), "only \"*\" is a refused date");
  return 0;
}

int Fuzz_serial_range(const std::uint8_t* data, std::size_t size) {
  std::wstring a, b;
  Cut(Utf16(data, size), &a, &b);
  if (IsDecimal(a) && IsDecimal(b)) {
    const int ab = CompareDecimal(a, b);
    Check(ab == -CompareDecimal(b, a), "comparison is antisymmetric");
    if (a.size() <= 18 && b.size() <= 18) {
      const unsigned long long x = std::stoull(std::string(a.begin(), a.end()));
      const unsigned long long y = std::stoull(std::string(b.begin(), b.end()));
      Check(ab == (x < y ? -1 : (x > y ? 1 : 0)), "comparison is numeric");
    }
    Check(MatchIdentityPattern(a, {a + L"-" + a, false}), "a value lies in its own range");
    Check(MatchIdentityPattern(a, {b, false}) == (ab == 0), "plain numbers compare numerically");
  }
  MatchIdentityPattern(a, ResolveEscapes(b));
  std::wstring code, serial;
  SplitIdentityForPage(a, &code, &serial);
  const bool lenient = MatchModelRequirement(b, code, serial);
  const RuleResult strict = MatchModelRequirementEx(b, code, serial);
  // What the strict form accepts, the lenient form finds as well.
  if (strict == RuleResult::kMatch) Check(lenient, "strict match implies lenient match");
  OsDescription os{5, 1, 2, 0, 1};
  MatchOsRequirement(b, os);
  return 0;
}

// A Content-Length and a path with its query, as a server or an address
// brings them.
int Fuzz_http_text(const std::uint8_t* data, std::size_t size) {
  std::wstring length, address;
  Cut(Utf16(data, size), &length, &address);
  if (const std::optional<std::uint64_t> value = zu::net::ParseContentLength(length)) {
    std::wstring digits = length;
    digits.erase(0, digits.find_first_not_of(L" \t"));
    digits.erase(digits.find_last_not_of(L" \t") + 1);
    for (wchar_t c : digits) Check(c >= L'0' && c <= L'9', "a length is digits only");
    digits.erase(0, std::min(digits.find_first_not_of(L'0'), digits.size() - 1));
    Check(digits == std::to_wstring(*value), "a length reads as its decimal value");
  }
  const std::size_t query = std::min(address.find(L'?'), address.size());
  const std::wstring target =
      zu::net::RequestTarget(address.substr(0, query), address.substr(query));
  Check(target.find(L'#') == std::wstring::npos, "no fragment goes out");
  Check(target == L"/" || address.starts_with(target), "the target is the address's start");
  const std::wstring range = zu::net::RangeHeader({size, size * 3});
  Check(range == L"Range:bytes=" + std::to_wstring(size) + L"-" + std::to_wstring(size * 3),
        "range numbers are written whole");
  return 0;
}

// Odd first byte: a near miss of an allowed page built from the rest, which
// must get its verdict. Even: the rest as an address of any shape, which
// when allowed must have an authority no parser reads two ways.
int Fuzz_page_address(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  if (data[0] & 1) {
    const NearMiss m = MakeNearMiss(data + 1, size - 1);
    const bool allowed = IsAllowedPageAddress(m.address);
    if (m.verdict == NearMissVerdict::kMustRefuse) Check(!allowed, "a near miss is refused");
    if (m.verdict == NearMissVerdict::kMustAllow) Check(allowed, "an allowed page stays allowed");
    return 0;
  }
  const std::wstring address = Utf16(data + 1, size - 1);
  if (!IsAllowedPageAddress(address)) return 0;
  const std::optional<PageUrlParts> parts = ParsePageAddress(address);
  Check(parts.has_value(), "an allowed address parses");
  Check(parts->scheme != PageScheme::kOther, "an allowed address is HTTP or HTTPS");
  Check(IsDnsHostText(parts->host), "an allowed host is DNS text");
  const std::size_t start = address.find(L"//") + 2;
  const std::wstring authority = address.substr(start, address.find_first_of(L"/?#", start) - start);
  Check(authority.find(L'\\') == std::wstring::npos, "no backslash in an allowed authority");
  Check(authority.find(L'@') == authority.rfind(L'@'), "at most one @ in an allowed authority");
  for (wchar_t c : authority) Check(c > L' ' && c != 0x7F, "no blank in an allowed authority");
  return 0;
}
