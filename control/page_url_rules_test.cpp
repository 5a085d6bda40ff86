#include "control/page_url_rules.h"

#include <gtest/gtest.h>

#include <set>

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
