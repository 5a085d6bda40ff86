#include "control/match_rules.h"

#include <algorithm>

#include "common/ascii_case.h"

namespace {

std::size_t LeadingZeros(const std::wstring& digits) {
  std::size_t n = 0;
  while (n + 1 < digits.size() && digits[n] == L'0') ++n;
  return n;
}

}  // namespace

bool MatchText(const std::wstring& actual, const RequirementItem& item) {
  if (actual.empty()) return false;
  if (item.prefix) {
    const std::size_t n = std::min(item.text.size(), kPrefixMaxChars);
    return actual.size() >= n && actual.compare(0, n, item.text, 0, n) == 0;
  }
  return zu::EqualsIgnoringAsciiCase(actual, item.text);
}

std::wstring NormalizeVersion(const std::wstring& text) {
  std::wstring out;
  out.reserve(text.size());
  std::size_t start = 0;
  for (;;) {
    const std::size_t dot = text.find(L'.', start);
    const std::size_t end = dot == std::wstring::npos ? text.size() : dot;
    std::size_t first = start;
    // Never the last character: an all-zero component keeps one zero.
    while (first + 1 < end && text[first] == L'0') ++first;
    out.append(text, first, end - first);
    if (dot == std::wstring::npos) break;
    out.push_back(L'.');
    start = dot + 1;
  }
  return out;
}

RequirementItem NormalizeVersionItem(const RequirementItem& item) {
  return {NormalizeVersion(item.text), item.prefix};
}

bool MatchVersion(const std::wstring& actual, const RequirementItem& item) {
  return MatchText(actual, NormalizeVersionItem(item));
}

bool MatchDate(const std::wstring& actual, const RequirementItem& item, bool* invalid) {
  *invalid = false;
  if (item.IsAnyValue()) {
    *invalid = true;
    return false;
  }
  return MatchText(actual, item) || MatchText(actual, NormalizeVersionItem(item));
}

bool IsDecimal(const std::wstring& text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

int CompareDecimal(const std::wstring& a, const std::wstring& b) {
  const std::size_t za = LeadingZeros(a), zb = LeadingZeros(b);
  const std::size_t la = a.size() - za, lb = b.size() - zb;
  if (la != lb) return la < lb ? -1 : 1;
  const int c = a.compare(za, la, b, zb, lb);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

bool MatchIdentityPattern(const std::wstring& actual, const RequirementItem& item) {
  if (actual.empty()) return false;
  if (item.prefix) return MatchText(actual, item);
  const std::size_t dash = item.text.find(L'-');
  if (dash != std::wstring::npos && IsDecimal(actual)) {
    const std::wstring low = item.text.substr(0, dash), high = item.text.substr(dash + 1);
    if (IsDecimal(low) && IsDecimal(high))
      return CompareDecimal(low, actual) <= 0 && CompareDecimal(actual, high) <= 0;
  }
  if (MatchText(actual, item)) return true;
  return IsDecimal(actual) && IsDecimal(item.text) && CompareDecimal(actual, item.text) == 0;
}
