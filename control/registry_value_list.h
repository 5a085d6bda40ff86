#pragma once
// What SearchRegistryEx and SearchRegistryInfoEx compare: value names, the
// page's value lists ("dword:" items, "hex:" items or strings), the two
// forms of a stored value, and the search over key paths, value names and
// values in that order. The values come from a reader the caller passes
// in. Plain C++ (no Windows headers).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "control/query_rules.h"
#include "control/requirement_list.h"

// The page's value list. The text is lower-cased; when it holds "dword:"
// every ","-separated item must begin with "dword:"; otherwise when it
// holds "hex:" every ",hex:" becomes ";hex:", the list is cut at ";" and
// every item must begin with "hex:"; otherwise it is a list of strings
// (wildcards and several items, no "*" alone). A trailing "*" makes a
// prefix item. False, with items emptied, when the text breaks its rules.
bool ParseRegistryValueList(const std::wstring& text, std::vector<RequirementItem>* items);

// The two forms a stored value is compared in: plain (a REG_SZ's string,
// a REG_DWORD as "%u") and the value text of GetRegistryInfo (quoted
// string, "dword:%.8x", "hex:" bytes). Other types, and data beyond the
// 1024-byte buffer, have neither.
struct RegistryValueForms {
  std::wstring plain, text;
};
RegistryValueForms ValueForms(std::uint32_t type, const void* data, std::size_t bytes);

// A plain item matches a form equal to it ignoring case; a prefix item a
// form that begins with its prefix, also ignoring case (the list was
// lower-cased, the stored strings were not). Empty forms never match.
bool ValueFormsMatch(const RegistryValueForms& forms, const RequirementItem& item);

// A plain name item matches a name equal to it ignoring case; a prefix
// item a name that begins with its prefix, with case; "*" every name,
// the unnamed default value included.
bool ValueNameMatches(const std::wstring& name, const RequirementItem& item);

// One value of a key as the registry enumerates it.
struct RegistryValueEntry {
  std::wstring name;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  std::size_t bytes = 0;  // the stored size; data is empty when it exceeds the buffer
};
// The values of the key at a path ("ROOT_NAME\sub\key"), in enumeration
// order; false when the path is not valid or the key does not open.
using RegistryKeyReader =
    std::function<bool(const std::wstring& path, std::vector<RegistryValueEntry>* values)>;

// The outcome of a search and the last-error code it leaves (0 when none).
struct RegistrySearchResult {
  RuleResult result = RuleResult::kNoMatch;
  long error = 0;
};

// SearchRegistryEx after the frame (values == nullptr) and
// SearchRegistryInfoEx (values = the page's value list). Key paths take no
// wildcards; value names take wildcards, "*" and the empty list. An empty
// path list is 0x20000007 and no match; a list that breaks its rules is
// kInvalid; a key that does not open is 0x20000007 for that path. An empty
// name item matches the key itself (presence) or every value (value list).
RegistrySearchResult SearchRegistryValues(const std::wstring& paths, const std::wstring& names,
                                          const std::wstring* values,
                                          const RegistryKeyReader& read);
