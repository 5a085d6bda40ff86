#include "control/registry_value_list.h"

#include <algorithm>

#include "common/ascii_case.h"
#include "control/error_codes.h"
#include "control/match_rules.h"
#include "control/registry_format.h"

namespace {

constexpr std::uint32_t kSz = 1, kBinary = 3, kDword = 4;
constexpr wchar_t kDwordTag[] = L"dword:";
constexpr wchar_t kHexTag[] = L"hex:";

const ListRules kPathRules{.wildcards = false, .any_value = false, .several = true,
                           .empty = false};
const ListRules kNameRules{.wildcards = true, .any_value = true, .several = true, .empty = true};
const ListRules kStringRules{.wildcards = true, .any_value = false, .several = true,
                             .empty = false};

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool StartsWithNoCase(const std::wstring& text, const std::wstring& prefix) {
  const std::size_t n = std::min(prefix.size(), kPrefixMaxChars);
  return text.size() >= n && zu::EqualsIgnoringAsciiCase(text.substr(0, n), prefix.substr(0, n));
}

void ReplaceAll(std::wstring* text, const std::wstring& from, const std::wstring& to) {
  for (std::size_t at = text->find(from); at != std::wstring::npos;
       at = text->find(from, at + to.size()))
    text->replace(at, from.size(), to);
}

// Every item of a "dword:" or "hex:" list must begin with its tag.
bool AllBeginWith(const std::vector<RequirementItem>& items, const wchar_t* tag) {
  return std::all_of(items.begin(), items.end(),
                     [&](const RequirementItem& item) { return StartsWith(item.text, tag); });
}

// A binary list's pieces: a trailing "*" makes a prefix item; a star
// anywhere else is refused.
bool BinaryItems(const std::wstring& lower, std::vector<RequirementItem>* items) {
  std::wstring list = lower;
  ReplaceAll(&list, L",hex:", L";hex:");
  for (std::wstring piece : SplitAt(list, L';')) {
    RequirementItem item;
    if (!piece.empty() && piece.back() == L'*') {
      piece.pop_back();
      item.prefix = true;
    }
    if (piece.find(L'*') != std::wstring::npos) return false;
    item.text = std::move(piece);
    items->push_back(std::move(item));
  }
  return AllBeginWith(*items, kHexTag);
}

}  // namespace

bool ParseRegistryValueList(const std::wstring& text, std::vector<RequirementItem>* items) {
  items->clear();
  const std::wstring lower = zu::AsciiLower(text);
  bool ok = false;
  if (lower.find(kDwordTag) != std::wstring::npos) {
    ok = SplitRequirementList(lower, items, kStringRules) && AllBeginWith(*items, kDwordTag);
  } else if (lower.find(kHexTag) != std::wstring::npos) {
    ok = BinaryItems(lower, items);
  } else {
    ok = SplitRequirementList(lower, items, kStringRules);
  }
  if (!ok) items->clear();
  return ok;
}

RegistryValueForms ValueForms(std::uint32_t type, const void* data, std::size_t bytes) {
  RegistryValueForms forms;
  if (bytes > kValueTextBufferBytes) return forms;
  const auto* p = static_cast<const std::uint8_t*>(data);
  switch (type) {
    case kSz:
      for (std::size_t i = 0; i + 1 < bytes; i += 2) {
        const wchar_t c = static_cast<wchar_t>(p[i] | (p[i + 1] << 8));
        if (c == 0) break;
        forms.plain.push_back(c);
      }
      break;
    case kDword: {
      std::uint8_t v[4] = {};
      std::copy(p, p + std::min<std::size_t>(bytes, 4), v);
      forms.plain = std::to_wstring(v[0] | (v[1] << 8) | (v[2] << 16) | (std::uint32_t(v[3]) << 24));
      break;
    }
    case kBinary:
      break;
    default:
      return forms;
  }
  forms.text = FormatValueText(type, data, bytes);
  return forms;
}

bool ValueFormsMatch(const RegistryValueForms& forms, const RequirementItem& item) {
  for (const std::wstring* form : {&forms.plain, &forms.text}) {
    if (form->empty()) continue;
    if (item.prefix ? StartsWithNoCase(*form, item.text) : zu::EqualsIgnoringAsciiCase(*form, item.text))
      return true;
  }
  return false;
}

bool ValueNameMatches(const std::wstring& name, const RequirementItem& item) {
  if (!item.prefix) return zu::EqualsIgnoringAsciiCase(name, item.text);
  const std::size_t n = std::min(item.text.size(), kPrefixMaxChars);
  return name.size() >= n && name.compare(0, n, item.text, 0, n) == 0;
}

RegistrySearchResult SearchRegistryValues(const std::wstring& paths, const std::wstring& names,
                                          const std::wstring* values,
                                          const RegistryKeyReader& read) {
  RegistrySearchResult out;
  std::vector<RequirementItem> path_items, name_items, value_items;
  if (!SplitRequirementList(names, &name_items, kNameRules) ||
      (values && !ParseRegistryValueList(*values, &value_items))) {
    out.result = RuleResult::kInvalid;
    return out;
  }
  if (paths.empty()) {
    out.error = kZuErrorRegistryNotFound;
    return out;
  }
  if (!SplitRequirementList(paths, &path_items, kPathRules)) {
    out.result = RuleResult::kInvalid;
    return out;
  }
  for (const RequirementItem& path : path_items) {
    std::vector<RegistryValueEntry> entries;
    if (!read(path.text, &entries)) {
      out.error = kZuErrorRegistryNotFound;
      continue;
    }
    for (const RequirementItem& name : name_items) {
      const bool every_value = !name.prefix && name.text.empty();
      if (every_value && !values) {
        out.result = RuleResult::kMatch;
        return out;
      }
      for (const RegistryValueEntry& entry : entries) {
        if (!every_value && !ValueNameMatches(entry.name, name)) continue;
        if (!values) {
          out.result = RuleResult::kMatch;
          return out;
        }
        const RegistryValueForms forms =
            entry.bytes > kValueTextBufferBytes
                ? RegistryValueForms()
                : ValueForms(entry.type, entry.data.data(), entry.data.size());
        for (const RequirementItem& item : value_items) {
          if (ValueFormsMatch(forms, item)) {
            out.result = RuleResult::kMatch;
            return out;
          }
        }
      }
    }
  }
  return out;
}
