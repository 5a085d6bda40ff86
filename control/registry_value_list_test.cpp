#include "control/registry_value_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "control/error_codes.h"

namespace {

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

RequirementItem Plain(const wchar_t* t) { return {t, false}; }
RequirementItem Prefix(const wchar_t* t) { return {t, true}; }

TEST(RegistryValueList, KindsAndTheirItems) {
  using Items = std::vector<RequirementItem>;
  struct Case {
    const wchar_t* text;
    bool valid;
    Items items;
  } const cases[] = {
      {L"DWORD:0000000A,dword:0000001*", true,
       {Plain(L"dword:0000000a"), Prefix(L"dword:0000001")}},
      {L"dword:1,2", false, {}},                    // every item begins with "dword:"
      {L"dword:1, dword:2", false, {}},              // a space is no "dword:"
      {L"dword:*", true, {Prefix(L"dword:")}},
      {L"dword:1*2", false, {}},
      {L"hex:01,AB,hex:02", true, {Plain(L"hex:01,ab"), Plain(L"hex:02")}},
      {L"hex:01,a*", true, {Prefix(L"hex:01,a")}},
      {L"hex:01;hex:0*", true, {Plain(L"hex:01"), Prefix(L"hex:0")}},
      {L"hex:01,02;03", false, {}},
      {L"hex:0*1", false, {}},
      {L"hex:01,,hex:02", true, {Plain(L"hex:01,"), Plain(L"hex:02")}},  // bytes are not checked
      {L"\"Vexa\",Vexa*,1", true, {Plain(L"\"vexa\""), Prefix(L"vexa"), Plain(L"1")}},
      {L"a\\,b", true, {Plain(L"a,b")}},
      {L"*", false, {}},                             // no any-value item
      {L"a,", false, {}},
      {L"", false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text));
    Items items{Plain(L"stale")};
    EXPECT_EQ(c.valid, ParseRegistryValueList(c.text, &items));
    EXPECT_EQ(c.items, items);
  }
}

std::vector<std::uint8_t> Sz(const std::wstring& s) {
  std::vector<std::uint8_t> b;
  for (wchar_t c : s) {
    b.push_back(static_cast<std::uint8_t>(c));
    b.push_back(static_cast<std::uint8_t>(c >> 8));
  }
  b.push_back(0);
  b.push_back(0);
  return b;
}
std::vector<std::uint8_t> Dword(std::uint32_t v) {
  return {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}

TEST(RegistryValueList, FormsOfEachType) {
  struct Case {
    std::uint32_t type;
    std::vector<std::uint8_t> data;
    const wchar_t* plain;
    const wchar_t* text;
  } const cases[] = {
      {1, Sz(L"Vexa \u3042"), L"Vexa \u3042", L"\"Vexa B\""},
      {4, Dword(4294967295u), L"4294967295", L"dword:ffffffff"},
      {4, Dword(10), L"10", L"dword:0000000a"},
      {3, {1, 171}, L"", L"hex:01,ab"},
      {2, Sz(L"%TEMP%"), L"", L""},                // REG_EXPAND_SZ has no forms
      {7, Sz(L"a"), L"", L""},
      {1, std::vector<std::uint8_t>(1026, 'x'), L"", L""},  // beyond the buffer
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.text));
    const RegistryValueForms f = ValueForms(c.type, c.data.data(), c.data.size());
    EXPECT_EQ(c.plain, f.plain);
    EXPECT_EQ(c.text, f.text);
  }
}

TEST(RegistryValueList, ItemsMatchEitherForm) {
  const RegistryValueForms sz{L"Vexa Corp", L"\"Vexa Corp\""}, dw{L"10", L"dword:0000000a"};
  EXPECT_TRUE(ValueFormsMatch(sz, Plain(L"vexa corp")));
  EXPECT_TRUE(ValueFormsMatch(sz, Plain(L"\"vexa corp\"")));
  EXPECT_TRUE(ValueFormsMatch(sz, Prefix(L"vexa")));  // lower-cased list, stored case
  EXPECT_TRUE(ValueFormsMatch(sz, Prefix(L"\"vexa")));
  EXPECT_FALSE(ValueFormsMatch(sz, Plain(L"vexa")));
  EXPECT_TRUE(ValueFormsMatch(dw, Plain(L"10")));
  EXPECT_TRUE(ValueFormsMatch(dw, Prefix(L"dword:0000000")));
  EXPECT_FALSE(ValueFormsMatch(dw, Plain(L"dword:a")));
  EXPECT_FALSE(ValueFormsMatch({}, Prefix(L"")));  // no forms, no match

  EXPECT_TRUE(ValueNameMatches(L"Version", Plain(L"VERSION")));
  EXPECT_TRUE(ValueNameMatches(L"Version", Prefix(L"Ver")));
  EXPECT_FALSE(ValueNameMatches(L"Version", Prefix(L"ver")));  // name prefixes keep case
  EXPECT_TRUE(ValueNameMatches(L"", Prefix(L"")));             // "*" takes the default value
  EXPECT_FALSE(ValueNameMatches(L"Version", Plain(L"Versio")));
}

// A made-up registry: two keys, one of them with a value too big to read.
class RegistrySearchTest : public ::testing::Test {
 protected:
  RegistrySearchTest() {
    keys_[L"HKEY_LOCAL_MACHINE\\A"] = {{L"Version", 1, Sz(L"6.1"), 8},
                                       {L"Count", 4, Dword(10), 4},
                                       {L"Big", 1, {}, 2000}};
    keys_[L"HKEY_LOCAL_MACHINE\\Empty"] = {};
  }
  RegistrySearchResult Search(const std::wstring& paths, const std::wstring& names,
                              const std::wstring* values) {
    read_.clear();
    return SearchRegistryValues(paths, names, values,
                                [&](const std::wstring& path, std::vector<RegistryValueEntry>* v) {
                                  read_.push_back(path);
                                  auto it = keys_.find(path);
                                  if (it == keys_.end()) return false;
                                  *v = it->second;
                                  return true;
                                });
  }
  std::map<std::wstring, std::vector<RegistryValueEntry>> keys_;
  std::vector<std::wstring> read_;
};

TEST_F(RegistrySearchTest, PresenceOfKeysAndValueNames) {
  const long kNone = 0, kMissing = kZuErrorRegistryNotFound;
  struct Case {
    const wchar_t* paths;
    const wchar_t* names;
    RuleResult result;
    long error;
  } const cases[] = {
      {L"HKEY_LOCAL_MACHINE\\Empty", L"", RuleResult::kMatch, kNone},  // the key exists
      {L"HKEY_LOCAL_MACHINE\\A", L"version", RuleResult::kMatch, kNone},
      {L"HKEY_LOCAL_MACHINE\\A", L"Ver*", RuleResult::kMatch, kNone},
      {L"HKEY_LOCAL_MACHINE\\A", L"ver*", RuleResult::kNoMatch, kNone},
      {L"HKEY_LOCAL_MACHINE\\A", L"Big", RuleResult::kMatch, kNone},   // too big to read, still there
      {L"HKEY_LOCAL_MACHINE\\Empty", L"*", RuleResult::kNoMatch, kNone},
      {L"HKEY_LOCAL_MACHINE\\Gone,HKEY_LOCAL_MACHINE\\A", L"Count", RuleResult::kMatch, kMissing},
      {L"HKEY_LOCAL_MACHINE\\Gone", L"", RuleResult::kNoMatch, kMissing},
      {L"", L"", RuleResult::kNoMatch, kMissing},                      // no path at all
      {L"HKEY_LOCAL_MACHINE\\A,", L"", RuleResult::kInvalid, kNone},
      {L"HKEY_LOCAL_MACHINE\\A*", L"", RuleResult::kInvalid, kNone},
      {L"HKEY_LOCAL_MACHINE\\A", L"V*n", RuleResult::kInvalid, kNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(std::wstring(c.paths) + L" / " + c.names));
    const RegistrySearchResult r = Search(c.paths, c.names, nullptr);
    EXPECT_EQ(c.result, r.result);
    EXPECT_EQ(c.error, r.error);
  }
}

TEST_F(RegistrySearchTest, ValueListsByKindAndForm) {
  struct Case {
    const wchar_t* names;
    const wchar_t* values;
    RuleResult result;
  } const cases[] = {
      {L"", L"6.1", RuleResult::kMatch},                 // empty name list: every value
      {L"Version", L"\"6.1\"", RuleResult::kMatch},      // quoted value text
      {L"Version", L"6.*", RuleResult::kMatch},
      {L"Count", L"6.1", RuleResult::kNoMatch},          // the name decides which value
      {L"Count", L"10", RuleResult::kMatch},             // DWORD plain form
      {L"Count", L"DWORD:0000000A", RuleResult::kMatch},
      {L"Count", L"dword:0000000*", RuleResult::kMatch},
      {L"Count", L"dword:00000000*", RuleResult::kNoMatch},
      {L"*", L"dword:0000000b", RuleResult::kNoMatch},
      {L"Big", L"*", RuleResult::kInvalid},               // no any-value item
      {L"Big", L"\"x*", RuleResult::kNoMatch},            // beyond 1024 bytes: never
      {L"*", L"hex:01", RuleResult::kNoMatch},
      {L"*", L"dword:1,x", RuleResult::kInvalid},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(std::wstring(c.names) + L" / " + c.values));
    const std::wstring values = c.values;
    EXPECT_EQ(c.result, Search(L"HKEY_LOCAL_MACHINE\\A", c.names, &values).result);
  }
}

TEST_F(RegistrySearchTest, FirstMatchEndsTheSearchInPathOrder) {
  const std::wstring values = L"10";
  EXPECT_EQ(RuleResult::kMatch,
            Search(L"HKEY_LOCAL_MACHINE\\A,HKEY_LOCAL_MACHINE\\Empty", L"Count", &values).result);
  EXPECT_EQ(std::vector<std::wstring>{L"HKEY_LOCAL_MACHINE\\A"}, read_);
  // An invalid value list reads nothing.
  const std::wstring bad = L"a*b";
  EXPECT_EQ(RuleResult::kInvalid, Search(L"HKEY_LOCAL_MACHINE\\A", L"", &bad).result);
  EXPECT_TRUE(read_.empty());
}

}  // namespace
