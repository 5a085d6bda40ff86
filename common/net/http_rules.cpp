#include "common/net/http_rules.h"

#include <algorithm>
#include <limits>

namespace zu::net {
namespace {

// Decimal digits from *i on, up to the first other character, without
// overflow: none, or more than 64 bits hold, is no number.
std::optional<std::uint64_t> ReadDecimal(std::wstring_view s, std::size_t* i) {
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  const std::size_t start = *i;
  std::uint64_t value = 0;
  for (; *i < s.size() && s[*i] >= L'0' && s[*i] <= L'9'; ++*i) {
    const unsigned digit = static_cast<unsigned>(s[*i] - L'0');
    if (value > (kMax - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  if (*i == start) return std::nullopt;
  return value;
}

}  // namespace

bool IsRedirectStatus(unsigned long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::wstring RangeHeader(const ByteRange& range) {
  std::wstring text = L"Range:bytes=" + std::to_wstring(range.first) + L"-";
  if (range.last) text += std::to_wstring(*range.last);
  return text;
}

std::wstring RequestTarget(std::wstring_view path, std::wstring_view extra) {
  std::wstring target(path);
  target.append(extra);
  target.erase(std::min(target.find(L'#'), target.size()));
  if (target.empty()) target = L"/";
  return target;
}

std::wstring UserAgent(std::wstring_view prefix, std::wstring_view version) {
  std::wstring agent(prefix);
  agent += version;
  if (agent.size() > kUserAgentMaxChars) agent.resize(kUserAgentMaxChars);
  return agent;
}

std::optional<std::uint64_t> ParseContentLength(std::wstring_view text) {
  const auto blank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  std::size_t i = 0;
  const std::optional<std::uint64_t> value = ReadDecimal(text, &i);
  if (i != text.size()) return std::nullopt;
  return value;
}

std::optional<std::uint64_t> ContentRangeFirst(std::wstring_view value) {
  std::size_t i = 0;
  while (i < value.size() && value[i] == L' ') ++i;
  if (value.compare(i, 6, L"bytes ") != 0) return std::nullopt;
  i += 6;
  while (i < value.size() && value[i] == L' ') ++i;
  const std::optional<std::uint64_t> first = ReadDecimal(value, &i);
  if (!first || i >= value.size() || value[i] != L'-') return std::nullopt;
  ++i;
  const std::optional<std::uint64_t> last = ReadDecimal(value, &i);
  if (!last || *last < *first || i >= value.size() || value[i] != L'/') return std::nullopt;
  return first;
}

}  // namespace zu::net
