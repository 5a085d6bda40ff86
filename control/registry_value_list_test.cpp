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

TEST_F(RegistrySearchTest, FirstMatchEndsTheSearchInPathOrder) {
  const std::wstring values = L"10";
  EXPECT_EQ(RuleResult::kMatch,
            Search(L"HKEY_LOCAL_MACHINE\\A,HKEY_LOCAL_MACHINE\\Empty", L"Count", &values).result);
  EXPECT_EQ(std::vector<std::wstring>{L"HKEY_LOCAL_MACHINE\\A"}, read_);
  // Stored strings keep their case; the lower-cased list's prefixes still find them.
  const std::wstring upper = L"6.*,VEXA*";
  keys_[L"HKEY_LOCAL_MACHINE\\A"][0].data = Sz(L"Vexa 6.1");
  EXPECT_EQ(RuleResult::kMatch, Search(L"HKEY_LOCAL_MACHINE\\A", L"Version", &upper).result);
  // An invalid value list reads nothing.
  const std::wstring bad = L"a*b";
  EXPECT_EQ(RuleResult::kInvalid, Search(L"HKEY_LOCAL_MACHINE\\A", L"", &bad).result);
  EXPECT_TRUE(read_.empty());
}

}  // namespace
