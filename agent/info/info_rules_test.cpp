#include "agent/info/info_rules.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(OsTagTest, FollowsTheMajorVersion) {
  EXPECT_EQ(OsTagForMajorVersion(10), L"Vista");
  EXPECT_EQ(OsTagForMajorVersion(6), L"Vista");
  EXPECT_EQ(OsTagForMajorVersion(5), L"XP");
  EXPECT_EQ(OsTagForMajorVersion(4), L"");
}

TEST(OsSelectionTest, ChoosesSpecificThenLastDefault) {
  using C = OsCandidate;
  const std::optional<std::wstring> none;
  struct Case {
    const char* what;
    std::vector<C> elements;
    std::wstring tag;
    std::optional<std::wstring> expected;
  };
  const Case cases[] = {
      {"nothing", {}, L"Vista", none},
      {"specific beats an earlier default",
       {{L"d", none}, {L"v", L"Vista"}}, L"Vista", L"v"},
      {"specific beats a later default",
       {{L"v", L"Vista"}, {L"d", none}}, L"Vista", L"v"},
      {"default when the specific one is for another system",
       {{L"v", L"Vista"}, {L"d", none}}, L"XP", L"d"},
      {"last default wins", {{L"d1", none}, {L"d2", none}, {L"d3", none}}, L"XP", L"d3"},
      {"first match wins", {{L"x1", L"XP"}, {L"x2", L"xp"}}, L"XP", L"x1"},
      {"case is ignored", {{L"v", L"vIsTa"}}, L"Vista", L"v"},
      {"only other systems", {{L"x", L"XP"}, {L"o", L"Win98"}}, L"Vista", none},
      {"an empty tag matches only an empty OS",
       {{L"v", L"Vista"}, {L"e", L""}}, L"", L"e"},
      {"an empty OS is not a default", {{L"e", L""}}, L"Vista", none},
      {"an empty text is still a result", {{L"d", none}, {L"", L"Vista"}}, L"Vista", L""},
      {"no folding beyond ASCII", {{L"v", L"V\u0131sta"}}, L"VISTA", none},
  };
  for (const Case& c : cases) EXPECT_EQ(SelectForOS(c.elements, c.tag), c.expected) << c.what;
}

TEST(SerialRangeTest, ItemSyntax) {
  struct Case {
    const wchar_t* item;
    const wchar_t* low;
    const wchar_t* high;
  } const cases[] = {
      {L"C123", L"C123", L"C123"}, {L"A100-A199", L"A100", L"A199"}, {L"B500-", L"B500", L""},
      {L"-Z9", L"", L"Z9"},        {L"A-B-C", L"A", L"B-C"},        {L"", L"", L""},
      {L"-", L"", L""},
  };
  for (const Case& c : cases) {
    const SerialRangeItem item = ParseSerialRangeItem(c.item);
    EXPECT_EQ(item.low, c.low) << c.item;
    EXPECT_EQ(item.high, c.high) << c.item;
  }
}

TEST(SerialRangeTest, OrdinalComparison) {
  EXPECT_LT(CompareOrdinal(L"A", L"AB"), 0);
  EXPECT_GT(CompareOrdinal(L"a", L"B"), 0);  // case-sensitive: 'a' > 'B'
  EXPECT_EQ(CompareOrdinal(L"X1", L"X1"), 0);
  EXPECT_LT(CompareOrdinal(L"", L"0"), 0);
  // Code units above 0x7FFF must not sort as negative numbers.
  EXPECT_GT(CompareOrdinal(L"\uFF21", L"A"), 0);
  EXPECT_LT(CompareOrdinal(L"\u00E9", L"\U00010000"), 0);  // a surrogate pair
}

TEST(SerialRangeTest, Matching) {
  const wchar_t* const range = L"A100-A199,B500-,C123";
  struct Case {
    const wchar_t* serial;
    const wchar_t* range;
    bool match;
  } const cases[] = {
      {L"C123", range, true},
      {L"B999999", range, true},
      {L"B500", range, true},
      {L"A150", range, true},
      {L"A100", range, true},
      {L"A199", range, true},
      {L"A1999", range, false},  // above A199: a longer text sorts after its prefix
      {L"A200", range, false},
      {L"A099", range, false},
      {L"C1234", L"C123", false},  // a single serial matches only itself
      {L"c123", L"C123", false},
      {L"C12", L"C123", false},
      {L"C1234", L"A100-A199,C123", false},
      {L"B4", range, false},
      {L"", range, false},
      {L"anything", L"", true},        // no range: every PC
      {L"", L"", true},
      {L"Q1", L"A100-A199,", true},    // an empty item matches every serial
      {L"Q1", L",A100-A199", true},
      {L"Q1", L"A100-A199,,C123", true},
      {L"B5", L"A-C", true},
      {L"D", L"A-C", false},
      {L"123-456", L"123-456", true},  // the first "-" divides the item
      {L"123-457", L"123-456", true},  // lies between "123" and "456"
      {L"5", L"123-456", false},
      {L"Z", L"-", true},
      {L"M", L"-N", true},
      {L"O", L"-N", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MatchSerialRange(c.serial, c.range), c.match) << c.serial << L" in " << c.range;
}

TEST(EsdModuleTest, ComponentListSplitting) {
  using V = std::vector<std::wstring>;
  EXPECT_EQ(SplitComponentList(L""), V{L""});
  EXPECT_EQ(SplitComponentList(L"a"), V{L"a"});
  EXPECT_EQ(SplitComponentList(L"a, b,,c,"), (V{L"a", L" b", L"", L"c", L""}));
}

TEST(EsdModuleTest, Applicability) {
  const std::set<std::wstring> installed = {L"APP1", L"PATCH7", L" APP2"};
  int asked_empty = 0;
  auto is_installed = [&](const std::wstring& id) {
    if (id.empty()) ++asked_empty;
    return installed.count(id) > 0;
  };
  const std::optional<std::wstring> none;
  struct Case {
    const char* what;
    std::wstring spid;
    std::optional<std::wstring> parent_os;
    std::optional<std::wstring> list;
    bool applies;
  };
  const Case cases[] = {
      {"builds on an installed app", L"NEW1", none, L"APP1", true},
      {"no spid", L"", none, L"X,PATCH7", true},
      {"already installed", L"PATCH7", none, L"APP1", false},
      {"nothing it builds on is installed", L"NEW1", none, L"APP9,APP8", false},
      {"entries are not trimmed", L"NEW1", none, L"APP9, APP1", false},
      {"a blank that is part of the id", L"NEW1", none, L"X, APP2", true},
      {"no first child element", L"NEW1", none, none, false},
      {"empty list", L"NEW1", none, L"", false},
      {"OS matches ignoring case", L"NEW1", L"vista", L"APP1", true},
      {"other OS", L"NEW1", L"XP", L"APP1", false},
      {"empty OS on Vista", L"NEW1", L"", L"APP1", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(EsdModuleApplies(c.spid, c.parent_os, L"Vista", c.list, is_installed), c.applies)
        << c.what;
  EXPECT_EQ(asked_empty, 0) << "an empty identifier is never installed, so never asked about";
}

TEST(IntervalTest, LeadingDecimalNumber) {
  const std::optional<int> none;
  struct Case {
    const wchar_t* text;
    std::optional<int> days;
  } const cases[] = {
      {L"7", 7},           {L"14", 14},         {L"0", 0},
      {L"007", 7},         {L"3 days", 3},      {L"10x", 10},
      {L" \t\r\n5", 5},    {L"2147483647", 2147483647},
      {L"2147483648", none}, {L"99999999999999999999", none},
      {L"", none},         {L"   ", none},      {L"abc", none},
      {L"-3", none},       {L"+3", none},       {L"\uFF17", none},  // full-width 7
      {L"x7", none},
  };
  for (const Case& c : cases) EXPECT_EQ(IntervalDaysFromText(c.text), c.days) << c.text;
}

TEST(WebAddressTest, OnlyHttpAndHttps) {
  for (const wchar_t* yes : {L"http://a/", L"https://a/", L"HTTP://A", L"hTtPs://x", L"http://"})
    EXPECT_TRUE(IsWebAddress(yes)) << yes;
  for (const wchar_t* no : {L"", L"http:", L"http:/a", L"https:\\\\a", L" http://a/",
                            L"file:///C:/a.htm", L"javascript:alert(1)", L"C:\\a.exe",
                            L"\\\\server\\share", L"ftp://a/", L"httpx://a/", L"mailto:a@b",
                            L"http\u017F://a/", L"http\uFF1A//a/"})
    EXPECT_FALSE(IsWebAddress(no)) << no;
}

}  // namespace
