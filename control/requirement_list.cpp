#include "control/requirement_list.h"

#include <cstddef>
#include <utility>

namespace {

// A character of a list as written, with whether an escape made it literal.
struct Unit {
  wchar_t c;
  bool escaped;
};

bool IsEscapable(wchar_t c) { return c == L',' || c == L'*' || c == L'\\'; }

// Reads the text left to right so that "\\*" is an escaped backslash and a
// wildcard, never a backslash and an escaped star.
std::vector<Unit> Units(const std::wstring& text) {
  std::vector<Unit> units;
  units.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\\' && i + 1 < text.size() && IsEscapable(text[i + 1])) {
      units.push_back({text[i + 1], true});
      ++i;
    } else {
      units.push_back({text[i], false});
    }
  }
  return units;
}

bool IsWildcard(const Unit& u) { return u.c == L'*' && !u.escaped; }

// Whether an item (as units) passes the per-item rules, judged on the copy
// without leading and trailing spaces.
bool ItemValid(const std::vector<Unit>& item, const ListRules& rules) {
  std::size_t first = 0, last = item.size();
  while (first < last && item[first].c == L' ' && !item[first].escaped) ++first;
  while (last > first && item[last - 1].c == L' ' && !item[last - 1].escaped) --last;
  if (first == last) return rules.empty;

  bool only_spaces_and_stars = true;
  for (std::size_t i = first; i < last; ++i) {
    const Unit& u = item[i];
    if (!IsWildcard(u) && !(u.c == L' ' && !u.escaped)) only_spaces_and_stars = false;
  }
  if (only_spaces_and_stars)
    return rules.any_value && item.size() == 1 && IsWildcard(item[0]);

  for (std::size_t i = first; i < last; ++i)
    if (IsWildcard(item[i]) && i + 1 != last) return false;
  return true;
}

RequirementItem FromUnits(const std::vector<Unit>& units) {
  RequirementItem item;
  std::size_t n = units.size();
  if (n && IsWildcard(units[n - 1])) {
    item.prefix = true;
    --n;
  }
  item.text.reserve(n);
  for (std::size_t i = 0; i < n; ++i) item.text.push_back(units[i].c);
  return item;
}

std::vector<std::vector<Unit>> CutUnits(const std::vector<Unit>& units) {
  std::vector<std::vector<Unit>> pieces(1);
  for (const Unit& u : units) {
    if (u.c == L',' && !u.escaped)
      pieces.emplace_back();
    else
      pieces.back().push_back(u);
  }
  return pieces;
}

}  // namespace

bool ParseReverseFlag(const std::wstring& text, bool* invalid) {
  *invalid = false;
  if (text.empty() || text == L"0") return false;
  if (text == L"1") return true;
  *invalid = true;
  return false;
}

bool ApplyReverse(bool matched, bool reverse) { return reverse ? !matched : matched; }

bool SplitRequirementList(const std::wstring& text, std::vector<RequirementItem>* items,
                          const ListRules& rules) {
  items->clear();
  if (text.empty() && !rules.empty) return false;
  const std::vector<Unit> units = Units(text);
  if (!rules.wildcards)
    for (const Unit& u : units)
      if (IsWildcard(u)) return false;

  const std::vector<std::vector<Unit>> pieces = CutUnits(units);
  if (pieces.size() > 1 && !rules.several) return false;

  std::vector<RequirementItem> out;
  out.reserve(pieces.size());
  for (const std::vector<Unit>& piece : pieces) {
    if (!ItemValid(piece, rules)) return false;
    out.push_back(FromUnits(piece));
  }
  *items = std::move(out);
  return true;
}

std::vector<std::wstring> CutAtUnescapedCommas(const std::wstring& text) {
  std::vector<std::wstring> pieces(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\\' && i + 1 < text.size() && IsEscapable(text[i + 1])) {
      pieces.back().append(text, i, 2);
      ++i;
    } else if (text[i] == L',') {
      pieces.emplace_back();
    } else {
      pieces.back().push_back(text[i]);
    }
  }
  return pieces;
}

RequirementItem ResolveEscapes(const std::wstring& piece) { return FromUnits(Units(piece)); }

std::vector<std::wstring> SplitAt(const std::wstring& text, wchar_t sep) {
  std::vector<std::wstring> pieces(1);
  for (wchar_t c : text) {
    if (c == sep)
      pieces.emplace_back();
    else
      pieces.back().push_back(c);
  }
  return pieces;
}
