#include "control/match_rules.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/text.h"

namespace {

RequirementItem Plain(const std::wstring& t) { return {t, false}; }
RequirementItem Prefix(const std::wstring& t) { return {t, true}; }

using zu::test::Utf8;

// Items as a page writes them.
RequirementItem Item(const wchar_t* written) { return ResolveEscapes(written); }

TEST(MatchText, PrefixItemsAreTextualAndPlainItemsIgnoreCase) {
  struct Case {
    const wchar_t* actual;
    const wchar_t* item;
    bool match;
  } const cases[] = {
      {L"5.1.2600.0", L"5.1.*", true},
      {L"5.10.0.0", L"5.1.*", false},
      {L"5.10.0.0", L"5.1*", true},  // textual, not by component
      {L"5.1.2600.0", L"5.1*", true},
      {L"ABC", L"abc", true},
      {L"ABC", L"ab*", false},  // prefixes keep case
      {L"abc", L"ab*", true},
      {L"ab", L"ab*", true},
      {L"a", L"ab*", false},
      {L"anything", L"*", true},
      {L"", L"*", false},  // no value never matches
      {L"", L"", false},
      {L"1.0.0.2", L" 1.0.0.2", false},
      {L"a*", L"a\\*", true},  // escaped star compared as a character
      {L"ab", L"a\\*", false},
      {L"\u00C9", L"\u00E9", false},  // only ASCII letters fold
      {L"[", L"{", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.actual) + " vs " + Utf8(c.item));
    EXPECT_EQ(c.match, MatchText(c.actual, Item(c.item)));
  }
}

TEST(MatchText, PrefixesLongerThanTheBoundAreCutNotOverrun) {
  const std::wstring long_prefix(kPrefixMaxChars, L'p');
  const std::wstring actual = long_prefix + L"-tail";
  EXPECT_TRUE(MatchText(actual, Prefix(long_prefix)));
  // Only the first 1023 characters of a longer prefix are compared.
  EXPECT_TRUE(MatchText(actual, Prefix(long_prefix + L"XYZ")));
  EXPECT_FALSE(MatchText(actual, Prefix(L"q" + long_prefix)));
  EXPECT_FALSE(MatchText(std::wstring(10, L'p'), Prefix(std::wstring(100000, L'p'))));
  const std::wstring huge(70000, L'v');
  EXPECT_TRUE(MatchText(huge, Plain(huge)));
}

TEST(NormalizeVersion, StripsLeadingZerosOfEveryComponent) {
  struct Case {
    const wchar_t* in;
    const wchar_t* out;
  } const cases[] = {
      {L"01.02.0003.00", L"1.2.3.0"}, {L"1.0.0.1", L"1.0.0.1"}, {L"000", L"0"},
      {L"0.0.0.0", L"0.0.0.0"},       {L"10.20", L"10.20"},     {L"", L""},
      {L".", L"."},                   {L"1..01", L"1..1"},      {L"007a", L"7a"},
      {L"0a0", L"a0"},                {L"05-01-2008", L"5-01-2008"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.in));
    EXPECT_EQ(c.out, NormalizeVersion(c.in));
  }
}

TEST(MatchVersion, ItemsAreNormalizedPrefixItemsToo) {
  EXPECT_TRUE(MatchVersion(L"1.2.3.0", Item(L"01.02.0003.00")));
  EXPECT_TRUE(MatchVersion(L"1.2.3.4", Item(L"1.02.*")));
  EXPECT_FALSE(MatchVersion(L"1.20.3.4", Item(L"1.02.*")));
  // The prefix is normalised without its wildcard, so 1.0* stays 1.0*.
  EXPECT_TRUE(MatchVersion(L"1.05.0.0", Item(L"1.0*")));
  EXPECT_FALSE(MatchVersion(L"1.5.0.0", Item(L"1.0*")));
  EXPECT_TRUE(MatchVersion(L"9.9.9.9", Item(L"*")));
  // The actual value is not normalised.
  EXPECT_FALSE(MatchVersion(L"01.2.3.4", Item(L"1.2.3.4")));
}

TEST(MatchDate, RefusesTheAnyValueItem) {
  bool invalid = false;
  EXPECT_FALSE(MatchDate(L"2008-01-05", Item(L"*"), &invalid));
  EXPECT_TRUE(invalid);
  EXPECT_TRUE(MatchDate(L"2008-01-05", Item(L"2008-01-05"), &invalid));
  EXPECT_FALSE(invalid);
  EXPECT_TRUE(MatchDate(L"2008-01-05", Item(L"2008-01*"), &invalid));
  EXPECT_FALSE(invalid);
  // Matches the item as written or its normalised form.
  EXPECT_TRUE(MatchDate(L"5.1.2008", Item(L"05.01.2008"), &invalid));
  EXPECT_TRUE(MatchDate(L"05.01.2008", Item(L"05.01.2008"), &invalid));
  EXPECT_FALSE(MatchDate(L"05.01.2008", Item(L"5.1.2008"), &invalid));
  EXPECT_FALSE(invalid);
}

TEST(Decimal, ComparesAnyLengthAndLeadingZeros) {
  EXPECT_TRUE(IsDecimal(L"0123"));
  EXPECT_FALSE(IsDecimal(L""));
  EXPECT_FALSE(IsDecimal(L"12a"));
  EXPECT_FALSE(IsDecimal(L"-1"));
  EXPECT_FALSE(IsDecimal(L" 1"));
  EXPECT_FALSE(IsDecimal(L"\u0661"));  // Arabic-Indic digit one
  EXPECT_EQ(0, CompareDecimal(L"0123", L"123"));
  EXPECT_EQ(0, CompareDecimal(L"000", L"0"));
  EXPECT_EQ(-1, CompareDecimal(L"99", L"100"));
  EXPECT_EQ(1, CompareDecimal(L"00000000000000000000000000000010", L"9"));
  EXPECT_EQ(1, CompareDecimal(L"184467440737095516160", L"18446744073709551615"));
}

TEST(MatchIdentityPattern, RangesPlainAndPrefixPatterns) {
  struct Case {
    const wchar_t* actual;
    const wchar_t* item;
    bool match;
  } const cases[] = {
      {L"150", L"100-200", true},
      {L"0150", L"100-200", true},
      {L"100", L"100-200", true},  // ends included
      {L"200", L"100-200", true},
      {L"99", L"100-200", false},
      {L"201", L"100-200", false},
      {L"150A", L"100-200", false},  // not all digits
      {L"150", L"0100-000200", true},
      {L"150", L"200-100", false},
      {L"150", L"100-", false},
      {L"150", L"-200", false},
      {L"150", L"1a0-200", false},
      {L"99999999999999999999999", L"1-99999999999999999999999", true},
      {L"100000000000000000000000", L"1-99999999999999999999999", false},
      {L"123", L"0123", true},  // numeric equality
      {L"0", L"000", true},
      {L"ABC", L"abc", true},
      {L"123-456", L"123-456", true},  // a serial with "-" matches as text
      {L"150", L"15*", true},
      {L"150", L"1-2*", false},  // a prefix item is never a range
      {L"1-20", L"1-2*", true},
      {L"", L"0-100", false},
      {L"", L"*", false},
      {L"5", L"*", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.actual) + " vs " + Utf8(c.item));
    EXPECT_EQ(c.match, MatchIdentityPattern(c.actual, Item(c.item)));
  }
}

}  // namespace
