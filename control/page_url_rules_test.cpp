#include "control/page_url_rules.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>

#include "tests/support/page_address_near_miss.h"

namespace {


PageUrlParts Http(const std::wstring& host) { return {PageScheme::kHttp, host}; }
PageUrlParts Https(const std::wstring& host) { return {PageScheme::kHttps, host}; }

bool Allowed(const std::wstring& address, const PageUrlParts& parts) {
  return IsAllowedPageParts(address, parts);
}

TEST(AllowListData, HasTheDeploymentShape) {
  std::set<std::wstring_view> distinct(kPageAllowList.exact_hosts.begin(),
                                       kPageAllowList.exact_hosts.end());
  EXPECT_EQ(distinct.size(), 47u);
  EXPECT_EQ(kPageAllowList.exact_hosts[0], L"secure.vexa.example");
  EXPECT_TRUE(distinct.contains(L"support.vexa.example"));
  EXPECT_TRUE(distinct.contains(L"update.vexa.example"));
  // The prefixes' host must be reachable only through the prefixes.
  EXPECT_FALSE(distinct.contains(L"www.vexa.example"));
  for (std::wstring_view host : kPageAllowList.exact_hosts) {
    EXPECT_TRUE(host.ends_with(L".example")) << std::wstring(host);
    for (std::wstring_view suffix : kPageAllowList.domain_suffixes)
      EXPECT_FALSE(host.ends_with(suffix)) << std::wstring(host);
  }
}

TEST(PageUrlRules, OnlyHttpAndHttpsAreConsidered) {
  EXPECT_FALSE(IsAllowedPageParts(L"http://support.vexa.example/", std::nullopt));
  EXPECT_FALSE(Allowed(L"ftp://support.vexa.example/", {PageScheme::kOther, L"support.vexa.example"}));
  EXPECT_TRUE(Allowed(L"http://support.vexa.example/", Http(L"support.vexa.example")));
  EXPECT_TRUE(Allowed(L"https://support.vexa.example/", Https(L"support.vexa.example")));
}

TEST(PageUrlRules, SecureOnlyHostNeedsHttps) {
  EXPECT_FALSE(Allowed(L"http://secure.vexa.example/", Http(L"secure.vexa.example")));
  EXPECT_TRUE(Allowed(L"https://secure.vexa.example/", Https(L"secure.vexa.example")));
  EXPECT_TRUE(Allowed(L"https://SECURE.Vexa.Example/", Https(L"SECURE.Vexa.Example")));
}

TEST(PageUrlRules, ExactHostsIgnoreCaseButNotLength) {
  EXPECT_TRUE(Allowed(L"http://UPDATE.VEXA.EXAMPLE/", Http(L"UPDATE.VEXA.EXAMPLE")));
  EXPECT_TRUE(Allowed(L"http://x/", Http(L"support-gr.vexa.example")));  // the last entry
  EXPECT_FALSE(Allowed(L"http://x/", Http(L"support.vexa.example.evil.test")));
  EXPECT_FALSE(Allowed(L"http://x/", Http(L"evil-support.vexa.example")));
  EXPECT_FALSE(Allowed(L"http://x/", Http(L"upport.vexa.example")));
  EXPECT_FALSE(Allowed(L"http://x/", Http(L"www.vexa.example")));
}

TEST(PageUrlRules, DomainSuffixes) {
  EXPECT_TRUE(Allowed(L"http://x/", Http(L"a.zefo.example")));
  EXPECT_TRUE(Allowed(L"http://x/", Https(L"a.b.c.ZEFO.example")));
  EXPECT_TRUE(Allowed(L"http://x/", Http(L"help.vexa-support.example")));
  EXPECT_TRUE(Allowed(L"http://x/", Http(L"x.y.Vexa-Support.Example")));
  // The bare domain is one character short of the suffix.
  EXPECT_FALSE(Allowed(L"http://x/", Http(L"zefo.example")));
  EXPECT_FALSE(Allowed(L"http://x/", Http(L"vexa-support.example")));
  EXPECT_FALSE(Allowed(L"http://x/", Http(L"evilzefo.example")));
  EXPECT_FALSE(Allowed(L"http://x/", Http(L"a.zefo.example.evil.test")));
  EXPECT_FALSE(Allowed(L"http://x/", Http(L"e")));
}

TEST(PageUrlRules, AddressPrefixes) {
  PageUrlParts www = Http(L"www.vexa.example");
  EXPECT_TRUE(Allowed(L"http://www.vexa.example/zefo/support/", www));
  EXPECT_TRUE(Allowed(L"http://www.vexa.example/zefo/support/index.html?m=1", www));
  EXPECT_TRUE(Allowed(L"HTTP://WWW.VEXA.EXAMPLE/ZEFO/SUPPORT/PAGE.HTM", www));
  EXPECT_TRUE(Allowed(L"https://www.vexa.example/zefo/support/a", Https(L"www.vexa.example")));
  EXPECT_FALSE(Allowed(L"http://www.vexa.example/zefo/support", www));
  EXPECT_FALSE(Allowed(L"http://www.vexa.example/zefo/supportx/", www));
  EXPECT_FALSE(Allowed(L"http://www.vexa.example/zefo/", www));
  EXPECT_FALSE(Allowed(L"http://www.vexa.example/other/zefo/support/", www));
  EXPECT_FALSE(Allowed(L"http://www.vexa.example:8080/zefo/support/", www));
}

TEST(PageUrlRules, HostsNoDnsNameCanHoldAreRefused) {
  // A parser that keeps such characters in the host would otherwise let a
  // page elsewhere pass as one of ours.
  EXPECT_FALSE(Allowed(L"http://x/", Http(L"evil.test\\.zefo.example")));
  EXPECT_FALSE(Allowed(L"http://x/", Http(L"evil.test@a.zefo.example")));
  EXPECT_FALSE(Allowed(L"http://x/", Http(L"evil.test%2f.zefo.example")));
  EXPECT_FALSE(Allowed(L"http://x/", Http(L"evil.test .zefo.example")));
  EXPECT_FALSE(Allowed(L"http://x/", Http(L"evil.test/.zefo.example")));
  EXPECT_FALSE(Allowed(L"http://x/", Http(L"")));
  EXPECT_FALSE(Allowed(L"http://www.vexa.example/zefo/support/", Http(L"evil.test\\www.vexa.example")));
}

TEST(PageUrlRules, DnsHostText) {
  EXPECT_TRUE(IsDnsHostText(L"Support-1.vexa.example"));
  EXPECT_TRUE(IsDnsHostText(L"192.0.2.7"));
  for (const wchar_t* bad : {L"", L"a b", L"a\\b", L"a@b", L"a%41", L"a_b", L"a:80", L"[::1]",
                             L"a\tb", L"caf\u00e9.example", L"a\u3002example"})
    EXPECT_FALSE(IsDnsHostText(bad)) << bad;
}

TEST(PageUrlRules, EncodedBlanksAndLowerCase) {
  EXPECT_EQ(ReplaceEncodedBlanks(L"a%20b%20"), L"a b ");
  EXPECT_EQ(ReplaceEncodedBlanks(L"%%2020%2"), L"% 20%2");
  EXPECT_EQ(ReplaceEncodedBlanks(L"none"), L"none");
  EXPECT_EQ(AsciiLower(L"AbC-\u00c4\u212A"), L"abc-\u00c4\u212A");
}

TEST(PageUrlRules, PrefixMatchesTheBlankCopyLowerCased) {
  PageAllowList list = kPageAllowList;
  list.address_prefixes = {L"https://h.example/my docs/", L"http://h.example/my docs/"};
  PageUrlParts h = Http(L"h.example");
  EXPECT_TRUE(IsAllowedPageParts(L"http://h.example/My%20Docs/a.htm", h, list));
  EXPECT_TRUE(IsAllowedPageParts(L"http://h.example/my docs/", h, list));
  EXPECT_FALSE(IsAllowedPageParts(L"http://h.example/my%2520docs/", h, list));
  // Only ASCII letters are lowered: the Kelvin sign is not a "k".
  list.address_prefixes = {L"https://h.example/kit/", L"http://h.example/kit/"};
  EXPECT_TRUE(IsAllowedPageParts(L"http://h.example/KIT/", h, list));
  EXPECT_FALSE(IsAllowedPageParts(L"http://h.example/\u212Ait/", h, list));
}

}  // namespace

namespace {

struct ParseCase {
  const wchar_t* address;
  std::optional<PageUrlParts> parts;
};

TEST(ParsePageAddress, StrictReadingOfTheAuthority) {
  const ParseCase cases[] = {
      {L"http://support.vexa.example/", Http(L"support.vexa.example")},
      {L"HTTPS://Support.Vexa.Example:8443/a?b#c", Https(L"Support.Vexa.Example")},
      {L"http://u:p@h.example:80", Http(L"h.example")},
      {L"http://h.example?x=/y", Http(L"h.example")},
      {L"http://h.example#frag", Http(L"h.example")},
      {L"http://h.example:/", Http(L"h.example")},
      {L"http://[::1]:8080/", Http(L"[::1]")},
      {L"http://h.example/p\\q@evil.test", Http(L"h.example")},  // the path is the page's
      {L"http://h.example\\@evil.test/", std::nullopt},
      {L"http://evil.test\\h.example/", std::nullopt},
      {L"http://u\\x@h.example/", std::nullopt},
      {L"http:\\\\h.example/", std::nullopt},
      {L"http:/\\h.example/", std::nullopt},
      {L"http:h.example/", std::nullopt},
      {L"http:///h.example/", std::nullopt},
      {L"http://a@b@h.example/", std::nullopt},
      {L"http://h.example:8o/", std::nullopt},
      {L"http://h.example:65536/", std::nullopt},
      {L"http://h.example:123456/", std::nullopt},
      {L"http://h.example:80:80/", std::nullopt},
      {L"http://h .example/", std::nullopt},
      {L"http://h.example\t/", std::nullopt},
      {L"http://h.ex\x7F" L"ample/", std::nullopt},
      {L"http://[::1/", std::nullopt},
      {L"http://[::1]x/", std::nullopt},
      {L"http://u@/", std::nullopt},
      {L"http://", std::nullopt},
      {L"ftp://h.example/", std::nullopt},
      {L" http://h.example/", std::nullopt},
      {L"javascript:alert(1)", std::nullopt},
      {L"", std::nullopt},
  };
  for (const ParseCase& c : cases) {
    const std::optional<PageUrlParts> got = ParsePageAddress(c.address);
    ASSERT_EQ(got.has_value(), c.parts.has_value()) << zu::test::NarrowForMessage(c.address);
    if (!got) continue;
    EXPECT_EQ(got->scheme, c.parts->scheme) << zu::test::NarrowForMessage(c.address);
    EXPECT_EQ(got->host, c.parts->host) << zu::test::NarrowForMessage(c.address);
  }
}

// Thousands of near misses of the allowed pages: not one that must be
// refused gets through, and the allowed ones still do.
TEST(ParsePageAddress, GeneratedNearMissesOfTheAllowedPages) {
  const zu::test::NearMissTally tally = zu::test::JudgeNearMisses([](const std::wstring& a) { return IsAllowedPageAddress(a); });
  for (const std::string& line : tally.wrong) ADD_FAILURE() << line;
  EXPECT_GT(tally.must_refuse, 8000);
  EXPECT_GT(tally.must_allow, 1000);
}

}  // namespace
