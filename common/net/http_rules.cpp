#include "common/net/http_rules.h"

#include <algorithm>
#include <limits>

namespace zu::net {

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
  if (text.empty()) return std::nullopt;
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return std::nullopt;
    const unsigned digit = static_cast<unsigned>(c - L'0');
    if (value > (kMax - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

}  // namespace zu::net
