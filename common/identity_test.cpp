#include "common/identity.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "common/registry.h"
#include "tests/support/registry.h"

namespace {

// What the firmware says: the lab's Wine reports fixed values; the
// fake-firmware run passes its own, and how the number must be cut.
std::wstring Expect(const wchar_t* var, const wchar_t* wine) {
  const wchar_t* v = _wgetenv(var);
  return v ? v : wine;
}
const std::wstring kName = Expect(L"ZU_SMBIOS_NAME", L"Wine");
const std::wstring kNumber = Expect(L"ZU_SMBIOS_IDNUM", L"0");  // Wine's has no separator
const std::wstring kBios = Expect(L"ZU_SMBIOS_BIOS", L"Wine");
const std::wstring kCode = Expect(L"ZU_SMBIOS_CODE", L"");
const std::wstring kSerial = Expect(L"ZU_SMBIOS_SERIAL", L"");
const wchar_t kNoNamespace[] = L"\\\\.\\root\\nosuchnamespace";

TEST(WmiQuery, ReadsTheFirstObjectOrAnswersFalse) {
  std::wstring name, bios, text = L"untouched";
  EXPECT_TRUE(QueryProductProperty(L"Name", &name));
  EXPECT_EQ(kName, name);
  EXPECT_TRUE(QueryWmiProperty(kBiosQuery, L"SMBIOSBIOSVersion", &bios));
  EXPECT_EQ(kBios, bios);

  EXPECT_FALSE(QueryProductProperty(L"NoSuchProperty", &text));
  EXPECT_FALSE(QueryWmiProperty(L"Select * From Win32_BIOS Where SMBIOSBIOSVersion = 'none'",
                                L"SMBIOSBIOSVersion", &text));  // no object
  EXPECT_FALSE(QueryWmiProperty(L"Select * From NoSuchClass", L"Name", &text));
  EXPECT_FALSE(QueryWmiProperty(L"this is not WQL", L"Name", &text));
  zu::ComInit com;
  CWmiSession elsewhere(kNoNamespace);
  EXPECT_FALSE(elsewhere.Connect());
  EXPECT_FALSE(elsewhere.QueryFirst(kProductQuery, L"Name", &text));
  EXPECT_EQ(L"untouched", text);
}

// Whether fn left its thread inside a single-threaded apartment.
bool LeavesApartmentBehind(void (*fn)()) {
  bool left = true;
  std::thread([&] {
    fn();
    const HRESULT hr = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    left = hr == RPC_E_CHANGED_MODE;
    if (SUCCEEDED(hr)) ::CoUninitialize();
  }).join();
  return left;
}

TEST(WmiQuery, ComInitialisationIsOwnOrTheCallers) {
  // Undone after a failed read too.
  EXPECT_FALSE(LeavesApartmentBehind([] {
    std::wstring t;
    EXPECT_TRUE(QueryProductProperty(L"Name", &t));
  }));
  EXPECT_FALSE(LeavesApartmentBehind([] {
    std::wstring t;
    EXPECT_FALSE(QueryProductProperty(L"NoSuchProperty", &t));
  }));
  std::thread([] {
    std::wstring t;
    // Without an apartment the caller-initialised read must not make one.
    EXPECT_FALSE(QueryProductProperty(L"Name", &t, WmiCom::kCallerInitialized));
    {
      zu::ComInit sta;
      EXPECT_TRUE(QueryProductProperty(L"Name", &t, WmiCom::kCallerInitialized));
    }
    // The standalone read accepts a multithreaded apartment already there.
    zu::ComInit mta(COINIT_MULTITHREADED);
    t.clear();
    EXPECT_TRUE(QueryProductProperty(L"Name", &t));
    EXPECT_EQ(kName, t);
  }).join();
}

TEST(Identity, ModelCodeAndSerialNumberComeFromTheIdentifyingNumber) {
  std::wstring name, number = L"stale", code = L"none", serial = L"none";
  EXPECT_TRUE(GetModelName(&name));
  EXPECT_EQ(kName, name);
  GetIdentifyingNumber(&number);
  EXPECT_EQ(kNumber, number);
  const bool cut = !kCode.empty() || !kSerial.empty();
  EXPECT_EQ(cut, GetModelCode(&code));
  EXPECT_EQ(cut, GetSerialNumber(&serial));
  EXPECT_EQ(cut ? kCode : L"none", code);
  EXPECT_EQ(cut ? kSerial : L"none", serial);
}

// A real connection where one chosen property cannot be read.
class FailingProperty : public CWmiSession {
 public:
  explicit FailingProperty(std::wstring property) : property_(std::move(property)) {}
  bool QueryFirst(const std::wstring& wql, const std::wstring& property,
                  std::wstring* text) override {
    return property != property_ && CWmiSession::QueryFirst(wql, property, text);
  }

 private:
  std::wstring property_;
};

// The cache key is put back as it was: its values, or no key (and no new
// parent keys) at all.
class IdentityCacheTest : public ::testing::Test {
 protected:
  static constexpr const wchar_t* kNames[] = {kCacheModelName, kCacheIdentifyingNumber,
                                              kCacheBiosVersion};
  void SetUp() override {
    for (const wchar_t* n : kNames)
      ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, kIdentityCacheKey, n, L"sentinel"));
  }
  zu::test::KeySnapshot cache_{HKEY_CURRENT_USER, kIdentityCacheKey};

  static std::wstring Get(const wchar_t* name) {
    wchar_t buf[300] = {};
    DWORD size = sizeof(buf);
    if (::RegGetValueW(HKEY_CURRENT_USER, kIdentityCacheKey, name, RRF_RT_REG_SZ, nullptr, buf,
                       &size) != ERROR_SUCCESS)
      return L"<missing or not REG_SZ>";
    return buf;
  }
};

TEST_F(IdentityCacheTest, WritesTheRawTextsAndEmptyForAFailedQuery) {
  zu::ComInit com;
  CacheIdentity();
  EXPECT_EQ(kName, Get(kCacheModelName));
  EXPECT_EQ(kNumber, Get(kCacheIdentifyingNumber));  // not cut, not trimmed
  EXPECT_EQ(kBios, Get(kCacheBiosVersion));

  FailingProperty no_number(L"IdentifyingNumber");
  CacheIdentity(no_number);
  EXPECT_EQ(kName, Get(kCacheModelName));
  EXPECT_EQ(L"", Get(kCacheIdentifyingNumber));
  EXPECT_EQ(kBios, Get(kCacheBiosVersion));
  FailingProperty no_name(L"Name");
  CacheIdentity(no_name);
  EXPECT_EQ(L"", Get(kCacheModelName));
  EXPECT_EQ(kNumber, Get(kCacheIdentifyingNumber));
}

TEST_F(IdentityCacheTest, WritesNothingWithoutAConnection) {
  {
    zu::ComInit com;
    CWmiSession elsewhere(kNoNamespace);
    CacheIdentity(elsewhere);
  }
  // Relies on the caller's apartment: on a thread without one WMI is out
  // of reach.
  std::thread([] { CacheIdentity(); }).join();
  for (const wchar_t* n : kNames) EXPECT_EQ(L"sentinel", Get(n));
}

}  // namespace
