#include "agent/info/info_rules.h"

#include <climits>
#include <cstdint>

#include "common/ascii_case.h"

std::wstring OsTagForMajorVersion(unsigned major_version) {
  if (major_version > 5) return L"Vista";
  if (major_version == 5) return L"XP";
  return L"";
}

bool COsSelection::Offer(const std::wstring& text, const std::wstring* parent_os) {
  if (match_) return true;
  if (!parent_os) {
    default_ = text;
    return false;
  }
  if (zu::EqualsIgnoringAsciiCase(*parent_os, os_tag_)) {
    match_ = text;
    return true;
  }
  return false;
}

std::optional<std::wstring> COsSelection::Result() const { return match_ ? match_ : default_; }

std::optional<std::wstring> SelectForOS(const std::vector<OsCandidate>& elements,
                                        const std::wstring& os_tag) {
  COsSelection selection(os_tag);
  for (const OsCandidate& e : elements)
    if (selection.Offer(e.text, e.parent_os ? &*e.parent_os : nullptr)) break;
  return selection.Result();
}

SerialRangeItem ParseSerialRangeItem(std::wstring_view item) {
  const size_t dash = item.find(L'-');
  if (dash == std::wstring_view::npos) return {std::wstring(item), std::wstring(item)};
  return {std::wstring(item.substr(0, dash)), std::wstring(item.substr(dash + 1))};
}

int CompareOrdinal(std::wstring_view a, std::wstring_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const auto x = static_cast<uint16_t>(a[i]);
    const auto y = static_cast<uint16_t>(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

namespace {

bool InItem(std::wstring_view serial, const SerialRangeItem& item) {
  if (CompareOrdinal(serial, item.low) < 0) return false;
  return item.high.empty() || CompareOrdinal(serial, item.high) <= 0;
}

}  // namespace

bool MatchSerialRange(std::wstring_view serial, std::wstring_view range) {
  std::wstring_view rest = range;
  for (;;) {
    const size_t comma = rest.rfind(L',');
    const std::wstring_view item =
        comma == std::wstring_view::npos ? rest : rest.substr(comma + 1);
    if (InItem(serial, ParseSerialRangeItem(item))) return true;
    if (comma == std::wstring_view::npos) return false;
    rest = rest.substr(0, comma);
  }
}

std::vector<std::wstring> SplitComponentList(std::wstring_view text) {
  std::vector<std::wstring> entries;
  for (;;) {
    const size_t comma = text.find(L',');
    entries.emplace_back(text.substr(0, comma));
    if (comma == std::wstring_view::npos) return entries;
    text.remove_prefix(comma + 1);
  }
}

bool EsdModuleApplies(const std::wstring& spid, const std::optional<std::wstring>& parent_os,
                      const std::wstring& os_tag, const std::optional<std::wstring>& list_text,
                      const std::function<bool(const std::wstring&)>& is_installed) {
  if (parent_os && !zu::EqualsIgnoringAsciiCase(*parent_os, os_tag)) return false;
  if (!spid.empty() && is_installed(spid)) return false;
  if (!list_text) return false;
  for (const std::wstring& id : SplitComponentList(*list_text))
    if (!id.empty() && is_installed(id)) return true;
  return false;
}

bool IsWebAddress(std::wstring_view address) {
  for (std::wstring_view scheme : {std::wstring_view(L"http://"), std::wstring_view(L"https://")})
    if (address.size() >= scheme.size() &&
        zu::EqualsIgnoringAsciiCase(address.substr(0, scheme.size()), scheme))
      return true;
  return false;
}

std::optional<int> IntervalDaysFromText(std::wstring_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == L' ' || text[i] == L'\t' || text[i] == L'\r' ||
                             text[i] == L'\n'))
    ++i;
  if (i == text.size() || text[i] < L'0' || text[i] > L'9') return std::nullopt;
  int64_t value = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    value = value * 10 + (text[i] - L'0');
    if (value > INT_MAX) return std::nullopt;
  }
  return static_cast<int>(value);
}
