#include "common/net/http_rules.h"

#include <gtest/gtest.h>

namespace zu::net {
namespace {

TEST(HttpRules, ProbeUserAgentIsCutTo127Characters) {
  EXPECT_EQ(L"ZEFOUpdate-Client/", UserAgent(kProbeAgentPrefix, L""));
  EXPECT_EQ(L"ZEFOUpdate-Client/4.0.0.1", UserAgent(kProbeAgentPrefix, L"4.0.0.1"));
  const size_t room = 127 - 18;
  EXPECT_EQ(L"ZEFOUpdate-Client/" + std::wstring(room, L'9'),
            UserAgent(kProbeAgentPrefix, std::wstring(room, L'9')));
  EXPECT_EQ(L"ZEFOUpdate-Client/" + std::wstring(room, L'9'),
            UserAgent(kProbeAgentPrefix, std::wstring(room, L'9') + L"X"));
  EXPECT_EQ(127u, UserAgent(kProbeAgentPrefix, std::wstring(5000, L'v')).size());
}

TEST(HttpRules, RangeHeaderCarriesFullOffsets) {
  EXPECT_EQ(L"Range:bytes=0-", RangeHeader({}));
  EXPECT_EQ(L"Range:bytes=4-9", RangeHeader({4, 9}));
  EXPECT_EQ(L"Range:bytes=2147483648-4294967296", RangeHeader({2147483648ULL, 4294967296ULL}));
  EXPECT_EQ(L"Range:bytes=18446744073709551615-", RangeHeader({18446744073709551615ULL, {}}));
}

TEST(HttpRules, RequestTargetDropsTheFragment) {
  const struct {
    const wchar_t* path;
    const wchar_t* extra;
    const wchar_t* target;
  } cases[] = {
      {L"", L"", L"/"},
      {L"/a/b.xml", L"", L"/a/b.xml"},
      {L"/a", L"?x=1&y=2", L"/a?x=1&y=2"},
      {L"/a", L"?x=1#frag", L"/a?x=1"},
      {L"/a", L"#frag?not-a-query", L"/a"},
      {L"", L"#only", L"/"},
      {L"", L"?q", L"?q"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.target, RequestTarget(c.path, c.extra)) << c.path << c.extra;
}

TEST(HttpRules, ContentLengthIsADecimalThatFits64Bits) {
  const struct {
    const wchar_t* text;
    std::optional<std::uint64_t> length;
  } cases[] = {
      {L"0", 0},
      {L"10000", 10000},
      {L" 42\t", 42},
      {L"007", 7},
      {L"4294967296", 4294967296ULL},
      {L"18446744073709551615", 18446744073709551615ULL},
      {L"18446744073709551616", std::nullopt},
      {L"99999999999999999999999", std::nullopt},
      {L"", std::nullopt},
      {L"  ", std::nullopt},
      {L"-1", std::nullopt},
      {L"+1", std::nullopt},
      {L"1 2", std::nullopt},
      {L"12a", std::nullopt},
      {L"0x10", std::nullopt},
      {L"\x0661", std::nullopt},  // a digit of another script
  };
  for (const auto& c : cases) EXPECT_EQ(c.length, ParseContentLength(c.text)) << c.text;
}

TEST(HttpRules, ContentRangeFirstByte) {
  EXPECT_EQ(ContentRangeFirst(L"bytes 7-8/*"), 7u);
  EXPECT_EQ(ContentRangeFirst(L"bytes 99999999999999999999-1/2"), std::nullopt);
}

}  // namespace
}  // namespace zu::net
