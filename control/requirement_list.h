#pragma once
// Requirement lists as web pages write them: comma lists whose items may
// end in a "*" wildcard, with "\," "\*" and "\\" escapes. A backslash before
// any other character is an ordinary character, so file paths need no
// escaping. Plain C++ (no Windows headers) so that it builds and is fuzzed
// on the build machine too.
#include <string>
#include <vector>

// The reverse flag of the matching methods: "" and "0" are false, "1" is
// true; anything else is false and sets *invalid.
bool ParseReverseFlag(const std::wstring& text, bool* invalid);
// The answer as the page asked for it.
bool ApplyReverse(bool matched, bool reverse);

// One value item after escapes are resolved. A prefix item ended in an
// unescaped "*", which is not part of text; the any-value item "*" is a
// prefix item with an empty text.
struct RequirementItem {
  std::wstring text;
  bool prefix = false;

  bool IsAnyValue() const { return prefix && text.empty(); }
  bool operator==(const RequirementItem&) const = default;
};

// Which item forms a list may hold.
struct ListRules {
  bool wildcards = true;  // prefix items (and unescaped "*" at all)
  bool any_value = true;  // the item "*"
  bool several = true;    // more than one item
  bool empty = false;     // an empty list or empty items
};

// Splits a list by its rules. False, with items emptied, when the text
// breaks one of them. Items keep their spaces: after "a, b" the second
// item is " b".
bool SplitRequirementList(const std::wstring& text, std::vector<RequirementItem>* items,
                          const ListRules& rules);

// The lower layers, for lists with item syntax of their own.
// Cuts at every unescaped ","; the pieces keep their escapes.
std::vector<std::wstring> CutAtUnescapedCommas(const std::wstring& text);
// Resolves the escapes of a piece into an item, recognising a trailing
// unescaped "*" as the wildcard. Does not check where other stars are.
RequirementItem ResolveEscapes(const std::wstring& piece);
// Plain split at every sep, no escapes; n separators give n + 1 pieces.
std::vector<std::wstring> SplitAt(const std::wstring& text, wchar_t sep);
