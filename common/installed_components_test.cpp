#include "common/installed_components.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/registry.h"

namespace {

const std::wstring kRoot = kSharedInfoKey;

// The database is machine state: each test starts without it, and what
// was there is put back afterwards.
class InstalledComponentsTest : public ::testing::Test {
 protected:
  void SetUp() override { shared_info_.Clear(); }
  zu::test::KeySnapshot shared_info_{HKEY_LOCAL_MACHINE, kRoot};

  static void Raw(const std::wstring& key, const wchar_t* name, DWORD type, const void* data,
                  DWORD bytes) {
    const auto* begin = static_cast<const BYTE*>(data);
    ASSERT_TRUE(zu::test::WriteRaw(HKEY_LOCAL_MACHINE, kRoot + L"\\" + key, name,
                                   zu::test::RawValue{type, {begin, begin + bytes}}));
  }
  static void Text(const std::wstring& key, const wchar_t* name, const std::wstring& value,
                   DWORD type = REG_SZ) {
    Raw(key, name, type, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }
};

TEST_F(InstalledComponentsTest, EachPlaceHasItsOwnCaseRule) {
  Text(L"PatchDB\\SP100", L"patchid", L"sp100");
  Text(L"AppDB\\Player", L"appid", L"App-Player");
  Text(L"AppDB\\Player\\PatchList\\1", L"patchid", L"Fix-7");

  EXPECT_TRUE(IsComponentInstalled(L"SP100"));
  EXPECT_TRUE(IsComponentInstalled(L"app-PLAYER"));
  EXPECT_TRUE(IsComponentInstalled(L"Fix-7"));
  EXPECT_FALSE(IsComponentInstalled(L"FIX-7"));  // an application's patch: exact only
  EXPECT_FALSE(IsComponentInstalled(L"Fix-"));
  EXPECT_FALSE(IsComponentInstalled(L"Player"));  // key names under AppDB mean nothing
}

TEST_F(InstalledComponentsTest, PatchKeyWithOtherIdStillSearchesApplications) {
  Text(L"PatchDB\\SP200", L"patchid", L"SP999");
  EXPECT_FALSE(IsComponentInstalled(L"SP200"));
  EXPECT_FALSE(IsComponentInstalled(L"SP999"));  // filed under another name

  // The match in the last application; before it one without a PatchList
  // key (a value of that name instead).
  Text(L"AppDB\\A", L"appid", L"AppA");
  Text(L"AppDB\\B", L"PatchList", L"SP200");
  Text(L"AppDB\\C\\PatchList\\x", L"patchid", L"SP201");
  Text(L"AppDB\\C\\PatchList\\y", L"patchid", L"SP200");
  EXPECT_TRUE(IsComponentInstalled(L"SP200"));
  EXPECT_TRUE(IsComponentInstalled(L"SP201"));
}

TEST_F(InstalledComponentsTest, EmptyIdentifierAndMissingKeys) {
  EXPECT_FALSE(IsComponentInstalled(L"SP1"));  // no database at all
  Text(L"AppDB\\Empty", L"appid", L"");
  Text(L"AppDB\\Empty\\PatchList\\p", L"patchid", L"");
  EXPECT_FALSE(IsComponentInstalled(L""));

  // Without AppDB only PatchDB is asked.
  ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, (kRoot + L"\\AppDB").c_str());
  Text(L"PatchDB\\SP1", L"patchid", L"SP1");
  Text(L"PatchDB\\SP2", L"other", L"SP2");
  EXPECT_TRUE(IsComponentInstalled(L"SP1"));
  EXPECT_FALSE(IsComponentInstalled(L"SP2"));
}

TEST_F(InstalledComponentsTest, BadValuesCountAsNotRecorded) {
  const DWORD number = 5;
  Raw(L"AppDB\\dword", L"appid", REG_DWORD, &number, sizeof(number));
  Raw(L"AppDB\\binary", L"appid", REG_BINARY, L"BIN1", 10);
  Text(L"AppDB\\expand", L"appid", L"%SystemRoot%", REG_EXPAND_SZ);
  Text(L"AppDB\\longest", L"appid", std::wstring(259, L'L'));
  Text(L"AppDB\\toolong", L"appid", std::wstring(260, L'T'));
  Text(L"AppDB\\huge\\PatchList\\p", L"patchid", std::wstring(5000, L'H'));
  const std::wstring unterminated(260, L'U');
  Raw(L"AppDB\\unterminated", L"appid", REG_SZ, unterminated.c_str(), 520);
  Text(L"AppDB\\zz-after", L"appid", L"Later");

  EXPECT_FALSE(IsComponentInstalled(L"5"));
  EXPECT_FALSE(IsComponentInstalled(L"BIN1"));
  EXPECT_TRUE(IsComponentInstalled(L"%systemroot%"));  // as stored, never expanded
  EXPECT_TRUE(IsComponentInstalled(std::wstring(259, L'l')));
  EXPECT_FALSE(IsComponentInstalled(std::wstring(260, L'T')));
  EXPECT_FALSE(IsComponentInstalled(std::wstring(259, L'T')));  // never cut to fit
  EXPECT_FALSE(IsComponentInstalled(std::wstring(5000, L'H')));
  EXPECT_FALSE(IsComponentInstalled(unterminated));
  EXPECT_TRUE(IsComponentInstalled(L"later"));  // the bad ones did not stop the walk
}

TEST_F(InstalledComponentsTest, IdentifierIsNeverAKeyPath) {
  // "A\B" cannot name a key: a deeper key recording it is not its entry.
  Text(L"PatchDB\\A\\B", L"patchid", L"A\\B");
  EXPECT_FALSE(IsComponentInstalled(L"A\\B"));
  Text(L"AppDB\\x", L"appid", L"A\\B");
  EXPECT_TRUE(IsComponentInstalled(L"A\\B"));  // as a stored value it is fine
}

TEST_F(InstalledComponentsTest, SearchLetsCallersChooseTheTests) {
  Text(L"PatchDB\\SP300-X", L"patchid", L"SP300-X");
  Text(L"AppDB\\a\\PatchList\\p", L"patchid", L"fix-9");
  const auto starts = [](std::wstring p) {
    return [p](const std::wstring& s) { return s.compare(0, p.size(), p) == 0; };
  };
  ComponentSearch search;
  search.app_patchid = starts(L"fix");
  EXPECT_TRUE(SearchComponentDatabase(search));
  search.app_patchid = starts(L"FIX");
  EXPECT_FALSE(SearchComponentDatabase(search));
  search.patchdb_key = L"SP300-X";
  search.patchdb_patchid = starts(L"SP300");
  EXPECT_TRUE(SearchComponentDatabase(search));
}

}  // namespace
