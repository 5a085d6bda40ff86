#include "control/requirement_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/text.h"

namespace {

using Items = std::vector<RequirementItem>;

RequirementItem Plain(const wchar_t* t) { return {t, false}; }
RequirementItem Prefix(const wchar_t* t) { return {t, true}; }

constexpr ListRules kAll{.wildcards = true, .any_value = true, .several = true, .empty = false};

using zu::test::Utf8;

TEST(ReverseFlag, OnlyEmptyZeroAndOneAreValid) {
  struct Case {
    const wchar_t* text;
    bool value, invalid;
  } const cases[] = {
      {L"", false, false}, {L"0", false, false}, {L"1", true, false},
      {L"yes", false, true}, {L"true", false, true}, {L"01", false, true},
      {L" 1", false, true}, {L"1 ", false, true}, {L"2", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.text));
    bool invalid = !c.invalid;
    EXPECT_EQ(c.value, ParseReverseFlag(c.text, &invalid));
    EXPECT_EQ(c.invalid, invalid);
  }
  EXPECT_TRUE(ApplyReverse(true, false));
  EXPECT_FALSE(ApplyReverse(false, false));
  EXPECT_FALSE(ApplyReverse(true, true));
  EXPECT_TRUE(ApplyReverse(false, true));
}

TEST(RequirementList, SplitsItemsAndResolvesEscapes) {
  struct Case {
    const wchar_t* text;
    Items items;
  } const cases[] = {
      {L"1.0.0.1,1.0.0.2", {Plain(L"1.0.0.1"), Plain(L"1.0.0.2")}},
      // A space after a comma belongs to the next item.
      {L"1.0.0.1, 1.0.0.2", {Plain(L"1.0.0.1"), Plain(L" 1.0.0.2")}},
      {L"a\\,b,c", {Plain(L"a,b"), Plain(L"c")}},
      {L"a\\*", {Plain(L"a*")}},
      {L"a\\*b", {Plain(L"a*b")}},
      {L"a\\\\,b", {Plain(L"a\\"), Plain(L"b")}},
      // "\\*" is an escaped backslash followed by a wildcard.
      {L"C:\\\\*", {Prefix(L"C:\\")}},
      {L"C:\\dir\\file.dll", {Plain(L"C:\\dir\\file.dll")}},  // ordinary backslashes
      {L"C:\\dir\\", {Plain(L"C:\\dir\\")}},
      {L"\\", {Plain(L"\\")}},
      {L"5.1.*,5.1*", {Prefix(L"5.1."), Prefix(L"5.1")}},
      {L"*", {Prefix(L"")}},
      {L"a\\*\\*", {Plain(L"a**")}},
      {L"x*  ", {Plain(L"x*  ")}},  // checked trimmed, kept as written: not a prefix item
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.text));
    Items items;
    ASSERT_TRUE(SplitRequirementList(c.text, &items, kAll));
    EXPECT_EQ(c.items, items);
  }
}

TEST(RequirementList, RefusesTextsThatBreakTheRules) {
  const ListRules no_wild{.wildcards = false, .any_value = false, .several = true, .empty = false};
  const ListRules no_any{.wildcards = true, .any_value = false, .several = true, .empty = false};
  const ListRules single{.wildcards = true, .any_value = true, .several = false, .empty = false};
  const ListRules empty_ok{.wildcards = true, .any_value = true, .several = true, .empty = true};
  struct Case {
    const wchar_t* text;
    ListRules rules;
    bool valid;
  } const cases[] = {
      {L"", kAll, false},
      {L"", empty_ok, true},
      {L"a,", kAll, false},
      {L"a,", empty_ok, true},
      {L"a, ,b", kAll, false},  // an item of spaces is empty
      {L",", kAll, false},
      {L"1.2*3", kAll, false},  // wildcard in the middle
      {L"*1", kAll, false},
      {L"1**", kAll, false},
      {L"a*b*", kAll, false},
      {L"C:\\dir\\a*.dll", kAll, false},
      {L"C:\\dir\\\\*.dll", kAll, false},  // escaped backslash, then a real star
      {L"C:\\dir\\*.dll", no_wild, true},  // escaped star in a path
      {L"C:\\a*", no_wild, false},
      {L"*", no_wild, false},
      {L"*", no_any, false},
      {L"a*", no_any, true},
      {L" *", kAll, false},  // the any-value item must be exactly "*"
      {L"* ", kAll, false},
      {L"**", kAll, false},
      {L"* *", kAll, false},
      {L"a,*", kAll, true},
      {L"a,b", single, false},
      {L"a\\,b", single, true},
      {L"*", single, true},
      {L"\\*", no_any, true},
      {L" a* ", kAll, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.text));
    Items items{Plain(L"stale")};
    EXPECT_EQ(c.valid, SplitRequirementList(c.text, &items, c.rules));
    if (!c.valid) {
      EXPECT_TRUE(items.empty());
    }
  }
}

TEST(RequirementList, LowerLayersKeepEscapesUntilResolved) {
  EXPECT_EQ((std::vector<std::wstring>{L"a\\,b", L"c\\\\", L""}),
            CutAtUnescapedCommas(L"a\\,b,c\\\\,"));
  EXPECT_EQ(Prefix(L"6.0-"), ResolveEscapes(L"6.0-*"));
  EXPECT_EQ(Plain(L"6.0-*"), ResolveEscapes(L"6.0-\\*"));
  EXPECT_EQ((std::vector<std::wstring>{L"", L"a", L""}), SplitAt(L";a;", L';'));
  EXPECT_EQ(1u, SplitAt(L"", L';').size());
}

TEST(RequirementList, LongListsAndItemsAreHandledWhole) {
  std::wstring text;
  for (int i = 0; i < 3000; ++i) text += L"item" + std::to_wstring(i) + L",";
  text += std::wstring(5000, L'x') + L"*";
  Items items;
  ASSERT_TRUE(SplitRequirementList(text, &items, kAll));
  ASSERT_EQ(3001u, items.size());
  EXPECT_EQ(Plain(L"item2999"), items[2999]);
  EXPECT_EQ(Prefix(std::wstring(5000, L'x').c_str()), items.back());
}

}  // namespace
