#include "control/identity_queries.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "common/framework/com.h"
#include "common/identity.h"
#include "common/installed_components.h"
#include "control/os_description.h"
#include "tests/support/files.h"
#include "tests/support/registry.h"

namespace {

// Real sources, with WMI, the debug file and the OS generation replaceable.
class TestSources : public IdentitySources {
 public:
  std::optional<std::map<std::wstring, std::wstring>> wmi;  // property -> text; empty map fails
  std::optional<std::map<std::wstring, std::wstring>> debug;
  std::optional<bool> vista;

  bool QueryWmi(const std::wstring& wql, const std::wstring& property,
                std::wstring* text) override {
    if (!wmi) return IdentitySources::QueryWmi(wql, property, text);
    auto it = wmi->find(property);
    if (it == wmi->end()) return false;
    *text = it->second;
    return true;
  }
  bool ReadDebug(const std::wstring& key, std::wstring* value) override {
    if (!debug) return IdentitySources::ReadDebug(key, value);
    auto it = debug->find(key);
    value->clear();
    if (it == debug->end() || it->second.empty()) return false;
    *value = it->second;
    return true;
  }
  bool IsVistaOrLater() override { return vista ? *vista : IdentitySources::IsVistaOrLater(); }
};

std::wstring ReadCacheValue(const wchar_t* name) {
  wchar_t buf[512] = {};
  DWORD bytes = sizeof(buf) - sizeof(wchar_t);
  if (::RegGetValueW(HKEY_CURRENT_USER, kIdentityCacheKey, name, RRF_RT_REG_SZ, nullptr, buf,
                     &bytes) != ERROR_SUCCESS)
    return L"<none>";
  return buf;
}

void WriteCacheValue(const wchar_t* name, const std::wstring& text) {
  ::RegSetKeyValueW(HKEY_CURRENT_USER, kIdentityCacheKey, name, REG_SZ, text.c_str(),
                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// The identity cache and the debug file are shared machine state: both are
// put back afterwards; the debug file is away during the test.
class IdentityQueriesTest : public ::testing::Test {
 protected:
  void WriteDebugFile(const char* text) { debug_.Write(text); }

  zu::test::KeySnapshot cache_{HKEY_CURRENT_USER, kIdentityCacheKey};
  zu::test::DebugFileAside debug_;
};

TEST_F(IdentityQueriesTest, WmiIsReadAndCachedFromVistaOn) {
  TestSources src;
  src.debug.emplace();
  src.wmi = std::map<std::wstring, std::wstring>{{L"Name", L"VexaBook 9000 (PA123)"},
                                                 {L"IdentifyingNumber", L"ABC 123 "},
                                                 {L"SMBIOSBIOSVersion", L"V1.23"}};
  src.vista = false;
  WriteCacheValue(kCacheModelName, L"old");
  EXPECT_EQ(L"VexaBook 9000 ", QueryModelName(src));
  EXPECT_EQ(L"old", ReadCacheValue(kCacheModelName));  // not written before Vista

  src.vista = true;
  EXPECT_EQ(L"VexaBook 9000 ", QueryModelName(src));
  EXPECT_EQ(L"ABC", QueryModelCode(src));
  EXPECT_EQ(L"123", QuerySerialNumber(src));
  EXPECT_EQ(L"V1.23", QueryBiosVersion(src));
  // The raw texts, unchanged.
  EXPECT_EQ(L"VexaBook 9000 (PA123)", ReadCacheValue(kCacheModelName));
  EXPECT_EQ(L"ABC 123 ", ReadCacheValue(kCacheIdentifyingNumber));
  EXPECT_EQ(L"V1.23", ReadCacheValue(kCacheBiosVersion));
}

TEST_F(IdentityQueriesTest, CacheAnswersWhenWmiFails) {
  TestSources src;
  src.debug.emplace();
  src.wmi.emplace();  // every query fails
  WriteCacheValue(kCacheModelName, L"Cached Book(X)");
  WriteCacheValue(kCacheIdentifyingNumber, L"NOSEPARATOR");
  WriteCacheValue(kCacheBiosVersion, L"C2.0");
  EXPECT_EQ(L"Cached Book", QueryModelName(src));
  EXPECT_EQ(L"NOSEPARATOR", QueryModelCode(src));  // whole text for both
  EXPECT_EQ(L"NOSEPARATOR", QuerySerialNumber(src));
  EXPECT_EQ(L"C2.0", QueryBiosVersion(src));

  WriteCacheValue(kCacheModelName, L"");
  ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kIdentityCacheKey, kCacheBiosVersion);
  EXPECT_EQ(L"", QueryModelName(src));
  EXPECT_EQ(L"", QueryBiosVersion(src));
}

TEST_F(IdentityQueriesTest, RealWmiOfThisMachine) {
  // The control reads in the browser's apartment; here the test makes one.
  zu::ComInit com(COINIT_APARTMENTTHREADED);
  ASSERT_TRUE(com.ok());
  TestSources src;
  src.debug.emplace();
  std::wstring name, bios;
  ASSERT_TRUE(src.IdentitySources::QueryWmi(kProductQuery, L"Name", &name));
  ASSERT_TRUE(src.IdentitySources::QueryWmi(kBiosQuery, L"SMBIOSBIOSVersion", &bios));
  EXPECT_EQ(name.substr(0, name.find(L'(')), QueryModelName(src));
  EXPECT_EQ(bios, QueryBiosVersion(src));
  if (src.IsVistaOrLater()) {
    EXPECT_EQ(name, ReadCacheValue(kCacheModelName));
  }
}

TEST_F(IdentityQueriesTest, DebugFileReplacesEveryIdentityValue) {
  WriteDebugFile(
      "[General]\r\nModelName=Debug Book (X)\r\nModelCodeANDSerialNumber=DBG 0042 \r\n"
      "BIOSVersion=D9.9\r\nLCID=1041\r\nOSVersion=5.1-2.0-1\r\nSPID=SP1;SP2\r\n");
  TestSources src;  // the real debug file
  src.wmi.emplace();
  EXPECT_EQ(L"Debug Book (X)", QueryModelName(src));  // uncut
  EXPECT_EQ(L"DBG", QueryModelCode(src));
  EXPECT_EQ(L"0042", QuerySerialNumber(src));
  EXPECT_EQ(L"D9.9", QueryBiosVersion(src));
  EXPECT_EQ(1041u, QuerySystemDefaultLcid(src));
  const OsDescription vista{6, 0, 0, 0, 0};
  EXPECT_TRUE(CheckOsVersionItems(L"6.0,5.1-2.0-1", src, vista));
  EXPECT_FALSE(CheckOsVersionItems(L"6.0,5.1", src, vista));  // equality with the value
  EXPECT_TRUE(SearchSpidItems(L"SPX,SP2", src));
  EXPECT_FALSE(SearchSpidItems(L"SPX,,", src));

  std::wstring code, serial;
  std::wstring dbg = L"ABC-150";
  ModelIdentityForRequirement(&dbg, src, &code, &serial);
  EXPECT_EQ(L"ABC", code);
  EXPECT_EQ(L"150", serial);
  ModelIdentityForRequirement(nullptr, src, &code, &serial);
  EXPECT_EQ(L"DBG", code);
  EXPECT_EQ(L"0042", serial);
}

TEST_F(IdentityQueriesTest, LocaleWithoutDebugValueIsTheSystems) {
  TestSources src;
  src.debug.emplace();
  EXPECT_EQ(::GetSystemDefaultLCID(), QuerySystemDefaultLcid(src));
  src.debug = std::map<std::wstring, std::wstring>{{L"LCID", L"abc"}};
  EXPECT_EQ(0u, QuerySystemDefaultLcid(src));
}

std::wstring ItemOf(const OsDescription& os, std::uint32_t edition) {
  return std::to_wstring(os.major) + L"." + std::to_wstring(os.minor) + L"-" +
         std::to_wstring(os.sp_major) + L"." + std::to_wstring(os.sp_minor) + L"-" +
         std::to_wstring(edition);
}

TEST(OsDescriptionTest, RequirementItemsAgainstThisSystem) {
  const OsDescription& os = GetOsDescription();
  EXPECT_EQ(&os, &GetOsDescription());  // read once
  OSVERSIONINFOW vi = {};
  vi.dwOSVersionInfoSize = sizeof(vi);
  ASSERT_TRUE(::GetVersionExW(&vi));
  EXPECT_EQ(vi.dwMajorVersion, os.major);
  EXPECT_EQ(vi.dwMinorVersion, os.minor);

  TestSources src;
  src.debug.emplace();
  EXPECT_TRUE(CheckOsVersionItems(ItemOf(os, os.edition), src, os));
  EXPECT_FALSE(CheckOsVersionItems(ItemOf(os, os.edition + 1), src, os));
  EXPECT_TRUE(CheckOsVersionItems(L"4.0," + std::to_wstring(os.major), src, os));
  EXPECT_EQ(RuleResult::kMatch, MatchOsVersionList(L"4.0,*.*-*-*", os));
  EXPECT_EQ(RuleResult::kInvalid, MatchOsVersionList(L"4.0,", os));
  EXPECT_EQ(RuleResult::kInvalid, MatchOsVersionList(L"", os));
  EXPECT_EQ(RuleResult::kInvalid, MatchOsVersionList(L"*,x", os));  // invalid even after a match
  EXPECT_EQ(RuleResult::kInvalid, MatchOsVersionList(L"6.\\*", os));
  EXPECT_EQ(RuleResult::kNoMatch, MatchOsVersionList(L"4.0,3.256", os));

  if (os.major == 6) {
    // Wine's GetProductInfo names no edition of the list (0x1C).
    EXPECT_TRUE(os.edition == 0 || os.edition == 1 || os.edition == 2 || os.edition == 3 ||
                os.edition == 4 || os.edition == 6 || os.edition == 11);
  }
}

// Run by tests/support/run_as_xp.sh in a process that Wine presents as Windows XP.
TEST(OsDescriptionTest, WindowsXpInChild) {
  if (!std::getenv("ZU_EXPECT_XP")) GTEST_SKIP() << "runs under run_as_xp.sh only";
  const OsDescription& os = GetOsDescription();
  EXPECT_EQ(5u, os.major);
  EXPECT_EQ(1u, os.minor);
  EXPECT_EQ(2u, os.edition);  // a workstation without the personal suite
  TestSources src;
  src.debug.emplace();
  EXPECT_TRUE(CheckOsVersionItems(L"5.1", src, os));
  EXPECT_TRUE(CheckOsVersionItems(L"6.0,5.1-*-2", src, os));
  EXPECT_FALSE(CheckOsVersionItems(L"5.1-*-1,6.1", src, os));
  EXPECT_EQ(RuleResult::kMatch, MatchOsVersionList(ItemOf(os, 2), os));
}

// --- Installed components ------------------------------------------------------

const std::wstring kRoot = kSharedInfoKey;
// Each test starts without the database; what was there is put back.
class ComponentsTest : public ::testing::Test {
 protected:
  void SetUp() override { shared_info_.Clear(); }
  zu::test::KeySnapshot shared_info_{HKEY_LOCAL_MACHINE, kRoot};

  static void Put(const std::wstring& key, const wchar_t* name, const std::wstring& text) {
    ASSERT_TRUE(zu::test::SetRegString(HKEY_LOCAL_MACHINE, kRoot + L"\\" + key, name, text));
  }
};

TEST_F(ComponentsTest, PatchDbKeyNamesCompleteTheIdentifier) {
  Put(L"PatchDB\\SP12345-A", L"patchid", L"sp12345-a");
  EXPECT_TRUE(IsComponentInstalledForPage(L"SP12345-A"));
  EXPECT_TRUE(IsComponentInstalledForPage(L"SP123"));  // begins a key name
  EXPECT_FALSE(IsComponentInstalledForPage(L"sp123"));  // key names begin with case
  EXPECT_FALSE(IsComponentInstalledForPage(L"SP9"));
  EXPECT_FALSE(IsComponentInstalled(L"SP123"));  // the agent's lookup has no such step
  EXPECT_FALSE(IsComponentInstalledForPage(L""));
}

TEST_F(ComponentsTest, ApplicationPatchesCompareWithoutCase) {
  Put(L"AppDB\\App1", L"appid", L"APP-ONE");
  Put(L"AppDB\\App1\\PatchList\\P1", L"patchid", L"PATCH-7");
  EXPECT_TRUE(IsComponentInstalledForPage(L"app-one"));
  EXPECT_TRUE(IsComponentInstalledForPage(L"patch-7"));
  EXPECT_FALSE(IsComponentInstalled(L"patch-7"));  // the agent's compares exactly
  EXPECT_FALSE(IsComponentInstalledForPage(L"PATCH-"));
}

TEST_F(ComponentsTest, PrefixItemsAndLists) {
  Put(L"PatchDB\\SPX", L"patchid", L"spx");
  Put(L"AppDB\\App1", L"appid", L"APP-ONE");
  Put(L"AppDB\\App1\\PatchList\\P1", L"patchid", L"PATCH-7");
  EXPECT_TRUE(IsComponentPrefixInstalled(L"SPX"));
  EXPECT_TRUE(IsComponentPrefixInstalled(L"APP-"));
  EXPECT_TRUE(IsComponentPrefixInstalled(L"app-one"));  // equal ignoring case
  EXPECT_FALSE(IsComponentPrefixInstalled(L"app-"));     // prefixes keep case
  EXPECT_TRUE(IsComponentPrefixInstalled(L"PATCH"));
  EXPECT_FALSE(IsComponentPrefixInstalled(L"SP"));  // PatchDB wants the key named so

  EXPECT_EQ(RuleResult::kMatch, MatchSpidList(L"NONE,PATCH*"));
  EXPECT_EQ(RuleResult::kMatch, MatchSpidList(L"NONE,app-one"));
  EXPECT_EQ(RuleResult::kNoMatch, MatchSpidList(L"NONE,app-*"));
  EXPECT_EQ(RuleResult::kInvalid, MatchSpidList(L"*"));
  EXPECT_EQ(RuleResult::kInvalid, MatchSpidList(L"A*B"));
  EXPECT_EQ(RuleResult::kInvalid, MatchSpidList(L""));
}

TEST_F(ComponentsTest, InstalledApplicationsList) {
  EXPECT_TRUE(ReadInstalledApplications().empty());
  Put(L"AppDB\\A", L"appname", L"Vexa Tool");
  Put(L"AppDB\\A", L"version", L"1.2");
  Put(L"AppDB\\B", L"appname", L"Other");
  const auto apps = ReadInstalledApplications();
  ASSERT_EQ(2u, apps.size());
  EXPECT_EQ(L"Vexa Tool:1.2", apps[0]);
  EXPECT_EQ(L"Other:", apps[1]);
}

}  // namespace
