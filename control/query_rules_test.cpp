#include "control/query_rules.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/text.h"

namespace {

using zu::test::Utf8;

TEST(QueryRules, ModelNameIsCutBeforeTheFirstParenthesis) {
  EXPECT_EQ(L"VexaBook 9000 ", CutModelName(L"VexaBook 9000 (PA123)"));
  EXPECT_EQ(L"VexaBook", CutModelName(L"VexaBook(A)(B)"));
  EXPECT_EQ(L"", CutModelName(L"(A)"));
  EXPECT_EQ(L"VexaBook 9000", CutModelName(L"VexaBook 9000"));
  EXPECT_EQ(L"", CutModelName(L""));
}

TEST(QueryRules, IdentifyingNumberWithoutSeparatorIsAnsweredWhole) {
  struct Case {
    const wchar_t* number;
    const wchar_t* code;
    const wchar_t* serial;
  } const cases[] = {
      {L"ABC 123 ", L"ABC", L"123"},
      {L"ABC-123-456", L"ABC", L"123-456"},
      {L"ABC 123 456", L"ABC", L"123-456"},
      {L"ABC123", L"ABC123", L"ABC123"},
      {L"ABC123   ", L"ABC123", L"ABC123"},
      {L"0", L"0", L"0"},
      {L"", L"", L""},
      {L"   ", L"", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.number));
    std::wstring code, serial;
    SplitIdentityForPage(c.number, &code, &serial);
    EXPECT_EQ(c.code, code);
    EXPECT_EQ(c.serial, serial);
  }
}

TEST(QueryRules, EditionOfWindowsXp) {
  // The product type's lowest bit set: personal suite 1, else 2; clear:
  // media center 3, else tablet PC 4, else not determined.
  struct {
    std::uint32_t product_type, suite_mask;
    bool media_center, tablet_pc;
    std::uint32_t edition;
  } const cases[] = {
      {1, 0x000, false, false, 2}, {1, 0x300, false, false, 1}, {1, 0x100, true, true, 2},
      {1, 0x200, true, false, 1},  {3, 0x000, true, false, 2},  {2, 0x000, true, true, 3},
      {2, 0x200, false, true, 4},  {2, 0x000, false, false, 0}, {0, 0x200, true, false, 3},
      {0, 0x000, false, true, 4},
  };
  for (const auto& c : cases) {
    OsEditionFacts xp{.major = 5, .minor = 1, .product_type = c.product_type,
                      .suite_mask = c.suite_mask, .media_center = c.media_center,
                      .tablet_pc = c.tablet_pc};
    EXPECT_EQ(c.edition, ComputeEdition(xp))
        << c.product_type << " " << c.suite_mask << " " << c.media_center << c.tablet_pc;
  }
  // 5.2 has no edition rule, whatever the facts.
  EXPECT_EQ(0u, ComputeEdition({.major = 5, .minor = 2, .product_type = 1, .suite_mask = 0x200}));
  EXPECT_EQ(0u, ComputeEdition({.major = 5, .minor = 2, .product_type = 2, .media_center = true}));
}

TEST(QueryRules, EditionOfVersionSixIsTheProductTypeWhenKnown) {
  for (std::uint32_t t : {1u, 2u, 3u, 4u, 6u, 11u})
    EXPECT_EQ(t, ComputeEdition({.major = 6, .minor = 1, .has_product_info = true,
                                 .product_info = t}));
  for (std::uint32_t t : {0u, 5u, 7u, 0x1Cu, 0xABCDu})
    EXPECT_EQ(0u, ComputeEdition({.major = 6, .minor = 0, .has_product_info = true,
                                  .product_info = t}));
  EXPECT_EQ(0u, ComputeEdition({.major = 6, .minor = 0, .product_info = 1}));
  EXPECT_EQ(0u, ComputeEdition({.major = 10, .minor = 0, .has_product_info = true,
                                .product_info = 1}));
}

TEST(QueryRules, OsRequirementItems) {
  const OsDescription xp_sp2_home{5, 1, 2, 0, 1};
  const OsDescription vista_sp1_business{6, 0, 1, 0, 6};
  struct Case {
    const wchar_t* item;
    RuleResult xp, vista;
  } const cases[] = {
      {L"5.1", RuleResult::kMatch, RuleResult::kNoMatch},
      {L"5", RuleResult::kMatch, RuleResult::kNoMatch},
      {L"5.*", RuleResult::kMatch, RuleResult::kNoMatch},
      {L"*", RuleResult::kMatch, RuleResult::kMatch},
      {L"5.1-2.0-1", RuleResult::kMatch, RuleResult::kNoMatch},
      {L"5.1-2.0-2", RuleResult::kNoMatch, RuleResult::kNoMatch},
      {L"5.1-2", RuleResult::kMatch, RuleResult::kNoMatch},
      {L"5.1-3.0", RuleResult::kNoMatch, RuleResult::kNoMatch},
      {L"6.0-*-6", RuleResult::kNoMatch, RuleResult::kMatch},
      {L"*.*-*.*-6", RuleResult::kNoMatch, RuleResult::kMatch},
      {L"6.0--6", RuleResult::kNoMatch, RuleResult::kMatch},
      {L"255.255-255.255-255", RuleResult::kMatch, RuleResult::kMatch},  // 255 means any
      {L"6.0-1.0-2-9", RuleResult::kNoMatch, RuleResult::kNoMatch},  // four parts
      {L"5.256", RuleResult::kNoMatch, RuleResult::kNoMatch},
      {L"5.1-2.0-99999999999999999999", RuleResult::kNoMatch, RuleResult::kNoMatch},
      {L"", RuleResult::kInvalid, RuleResult::kInvalid},
      {L"5.x", RuleResult::kInvalid, RuleResult::kInvalid},
      {L" 5.1", RuleResult::kInvalid, RuleResult::kInvalid},
      {L"5.1.2600", RuleResult::kInvalid, RuleResult::kInvalid},
      {L"5.1-2.0-1.0", RuleResult::kInvalid, RuleResult::kInvalid},
      {L"5.1-2.0-1-x", RuleResult::kInvalid, RuleResult::kInvalid},
      {L"5.1-\\*", RuleResult::kInvalid, RuleResult::kInvalid},
      {L"-5", RuleResult::kNoMatch, RuleResult::kNoMatch},  // any version, service pack 5
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.item));
    EXPECT_EQ(c.xp, MatchOsRequirement(c.item, xp_sp2_home));
    EXPECT_EQ(c.vista, MatchOsRequirement(c.item, vista_sp1_business));
  }
}

TEST(QueryRules, ModelRequirementsLenient) {
  struct Case {
    const wchar_t* param;
    bool match;
  } const cases[] = {
      {L"PA123", true},
      {L"pa123", true},
      {L"PA1*", true},
      {L"PB1,PA123", true},
      {L"PB1", false},
      {L"PA123+100-200", true},
      {L"PA123+151-200", false},
      {L"+100-200", true},
      {L"+0150", true},
      {L"PB1+150;PA123+150", true},
      {L"PB1+150;PA123+149", false},
      {L"PA123+", false},
      {L"", false},
      {L";", false},
      {L"PA123+1-2,150", true},
      {L"PA123+150+1", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.param));
    EXPECT_EQ(c.match, MatchModelRequirement(c.param, L"PA123", L"150"));
  }
  // The range needs an all-digit serial.
  EXPECT_FALSE(MatchModelRequirement(L"+100-200", L"PA123", L"150A"));
  EXPECT_TRUE(MatchModelRequirement(L"+100-200,150A", L"PA123", L"150A"));
}

TEST(QueryRules, ModelRequirementsStrict) {
  struct Case {
    const wchar_t* param;
    RuleResult result;
  } const cases[] = {
      {L"PA123", RuleResult::kMatch},
      {L"PA123+100-200", RuleResult::kMatch},
      {L"PA123+100-200;", RuleResult::kNoMatch},  // trailing ";"
      {L"*", RuleResult::kNoMatch},
      {L"*+*", RuleResult::kNoMatch},
      {L"+*", RuleResult::kNoMatch},
      {L"", RuleResult::kNoMatch},
      {L"PA123+*", RuleResult::kMatch},
      {L"*+150", RuleResult::kMatch},
      {L"PB1;PA12*+1*", RuleResult::kMatch},
      {L"PB1+100-200", RuleResult::kNoMatch},
      {L"PA123+", RuleResult::kInvalid},
      {L"+", RuleResult::kInvalid},
      {L"PA123;;PB1", RuleResult::kInvalid},
      {L"PA1*3", RuleResult::kInvalid},
      {L"PA123+1+2", RuleResult::kInvalid},
      {L"PA123,", RuleResult::kInvalid},
      {L"PB1, PA123", RuleResult::kNoMatch},  // the second code is " PA123"
      {L"PA123+ *", RuleResult::kInvalid},
      // A syntax error anywhere refuses the whole text, even after a match.
      {L"PA123;PB1*2", RuleResult::kInvalid},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf8(c.param));
    EXPECT_EQ(c.result, MatchModelRequirementEx(c.param, L"PA123", L"150"));
  }
}

TEST(QueryRules, DecimalDebugValuesReadLikeScanf) {
  EXPECT_EQ(1041, ParseDecimalLikeScanf(L"1041"));
  EXPECT_EQ(1041, ParseDecimalLikeScanf(L"  1041abc"));
  EXPECT_EQ(-5, ParseDecimalLikeScanf(L"-5"));
  EXPECT_EQ(7, ParseDecimalLikeScanf(L"+7"));
  EXPECT_EQ(0, ParseDecimalLikeScanf(L"abc"));
  EXPECT_EQ(0, ParseDecimalLikeScanf(L""));
  EXPECT_EQ(0, ParseDecimalLikeScanf(L"-"));
  // Out of range wraps instead of being undefined.
  EXPECT_EQ(static_cast<std::int32_t>(0x80000000u), ParseDecimalLikeScanf(L"2147483648"));
}

}  // namespace
