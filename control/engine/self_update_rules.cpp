#include "control/engine/self_update_rules.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

namespace {

std::vector<std::wstring> Parts(const std::wstring& text) {
  std::vector<std::wstring> parts;
  std::size_t at = 0;
  for (;;) {
    const std::size_t dot = text.find(L'.', at);
    parts.push_back(text.substr(at, dot - at));
    if (dot == std::wstring::npos) return parts;
    at = dot + 1;
  }
}

struct PartBounds {
  const wchar_t* low;
  bool low_included;
  const wchar_t* high;
};
constexpr std::array<PartBounds, 4> kOfferedBounds = {{
    {L"0", false, L"9"},
    {L"0", true, L"9"},
    {L"00", true, L"99"},
    {L"01010", true, L"99999"},
}};

}  // namespace

bool IsOfferedVersionAllowed(const std::wstring& version) {
  if (!std::all_of(version.begin(), version.end(),
                   [](wchar_t c) { return c == L'.' || (c >= L'0' && c <= L'9'); }))
    return false;
  const std::vector<std::wstring> parts = Parts(version);
  if (parts.size() != kOfferedBounds.size()) return false;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const int low = parts[i].compare(kOfferedBounds[i].low);
    if (low < 0 || (low == 0 && !kOfferedBounds[i].low_included)) return false;
    if (parts[i].compare(kOfferedBounds[i].high) > 0) return false;
  }
  return true;
}

int CompareVersionTexts(const std::wstring& a, const std::wstring& b) {
  const std::vector<std::wstring> pa = Parts(a), pb = Parts(b);
  for (std::size_t i = 0; i < pa.size() && i < pb.size(); ++i) {
    const int c = pa[i].compare(pb[i]);
    if (c != 0) return c < 0 ? -1 : 1;
  }
  if (pa.size() == pb.size()) return 0;
  return pa.size() < pb.size() ? -1 : 1;
}

bool IsOlderThanOffered(const std::wstring& installed, const std::wstring& offered) {
  return CompareVersionTexts(installed, offered) < 0;
}
