#include "common/identity.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/registry.h"

namespace {

// What the machine's firmware says. The lab's Wine reports fixed values;
// the fake-firmware run passes its own through the environment.
struct Firmware {
  std::wstring name = L"Wine";
  std::wstring identifying_number = L"0";
  std::wstring bios = L"Wine";
  static std::wstring Env(const wchar_t* var, std::wstring fallback) {
    const wchar_t* v = _wgetenv(var);
    return v ? std::wstring(v) : fallback;
  }
  Firmware() {
    name = Env(L"ZU_SMBIOS_NAME", name);
    identifying_number = Env(L"ZU_SMBIOS_IDNUM", identifying_number);
    bios = Env(L"ZU_SMBIOS_BIOS", bios);
  }
};

// The fake-firmware run says how it expects the number to be cut, so the
// cut is checked against a second opinion, not against the code under test.
std::optional<std::pair<std::wstring, std::wstring>> ExpectedCut() {
  const wchar_t* code = _wgetenv(L"ZU_SMBIOS_CODE");
  const wchar_t* serial = _wgetenv(L"ZU_SMBIOS_SERIAL");
  if (code && serial) return std::make_pair(std::wstring(code), std::wstring(serial));
  if (Firmware().identifying_number == L"0") return std::nullopt;  // Wine's: no separator
  ADD_FAILURE() << "ZU_SMBIOS_CODE and ZU_SMBIOS_SERIAL must come with ZU_SMBIOS_IDNUM";
  return std::nullopt;
}

TEST(WmiQuery, ReadsTheFirstObjectOfEachQuery) {
  const Firmware fw;
  std::wstring name, number, bios;
  EXPECT_TRUE(QueryProductProperty(L"Name", &name));
  EXPECT_EQ(fw.name, name);
  EXPECT_TRUE(QueryProductProperty(L"IdentifyingNumber", &number));
  EXPECT_EQ(fw.identifying_number, number);
  EXPECT_TRUE(QueryWmiProperty(kBiosQuery, L"SMBIOSBIOSVersion", &bios));
  EXPECT_EQ(fw.bios, bios);
}

TEST(WmiQuery, FailuresAnswerFalseAndLeaveTheTextAlone) {
  std::wstring text = L"untouched";
  EXPECT_FALSE(QueryProductProperty(L"NoSuchProperty", &text));
  EXPECT_FALSE(QueryWmiProperty(L"Select * From Win32_BIOS Where SMBIOSBIOSVersion = "
                                L"'no such version'",
                                L"SMBIOSBIOSVersion", &text));  // no object
  EXPECT_FALSE(QueryWmiProperty(L"Select * From NoSuchClass", L"Name", &text));
  EXPECT_FALSE(QueryWmiProperty(L"this is not WQL", L"Name", &text));
  EXPECT_EQ(L"untouched", text);

  zu::ComInit com;
  ASSERT_TRUE(com.ok());
  CWmiSession elsewhere(L"\\\\.\\root\\nosuchnamespace");
  EXPECT_FALSE(elsewhere.Connect());
  EXPECT_FALSE(elsewhere.QueryFirst(kProductQuery, L"Name", &text));
  CWmiSession unconnected;
  EXPECT_FALSE(unconnected.QueryFirst(kProductQuery, L"Name", &text));
  EXPECT_EQ(L"untouched", text);
}

// Runs fn on a thread of its own and then asks whether that thread was left
// inside a single-threaded apartment.
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

TEST(WmiQuery, OwnComInitialisationIsAlwaysUndone) {
  EXPECT_FALSE(LeavesApartmentBehind([] {
    std::wstring t;
    EXPECT_TRUE(QueryProductProperty(L"Name", &t));
  }));
  EXPECT_FALSE(LeavesApartmentBehind([] {
    std::wstring t;
    EXPECT_FALSE(QueryProductProperty(L"NoSuchProperty", &t));
  }));
}

TEST(WmiQuery, CallerInitialisedModeUsesTheCallersApartment) {
  std::thread([] {
    std::wstring t = L"untouched";
    // No apartment on this thread, and the query must not make one.
    EXPECT_FALSE(QueryProductProperty(L"Name", &t, WmiCom::kCallerInitialized));
    EXPECT_EQ(L"untouched", t);
    {
      zu::ComInit com;
      ASSERT_TRUE(com.ok());
      EXPECT_TRUE(QueryProductProperty(L"Name", &t, WmiCom::kCallerInitialized));
      EXPECT_EQ(Firmware().name, t);
    }
    // An existing multithreaded apartment is fine for the standalone read too.
    zu::ComInit mta(COINIT_MULTITHREADED);
    ASSERT_TRUE(mta.ok());
    t.clear();
    EXPECT_TRUE(QueryProductProperty(L"Name", &t));
    EXPECT_EQ(Firmware().name, t);
  }).join();
}

TEST(Identity, ModelCodeAndSerialNumberComeFromTheIdentifyingNumber) {
  const Firmware fw;
  std::wstring name, number = L"stale";
  EXPECT_TRUE(GetModelName(&name));
  EXPECT_EQ(fw.name, name);
  GetIdentifyingNumber(&number);
  EXPECT_EQ(fw.identifying_number, number);

  std::wstring code = L"none", serial = L"none";
  const auto cut = ExpectedCut();
  EXPECT_EQ(cut.has_value(), GetModelCode(&code));
  EXPECT_EQ(cut.has_value(), GetSerialNumber(&serial));
  EXPECT_EQ(cut ? cut->first : L"none", code);
  EXPECT_EQ(cut ? cut->second : L"none", serial);
}

// Keeps the three cache values as they were (or absent) around each test.
class IdentityCacheTest : public ::testing::Test {
 protected:
  struct Saved {
    explicit Saved(const wchar_t* n) : name(n) {}
    const wchar_t* name;
    bool present = false;
    DWORD type = 0;
    std::vector<BYTE> data;
  };
  void SetUp() override {
    HKEY k;
    key_existed_ = ::RegOpenKeyExW(HKEY_CURRENT_USER, kIdentityCacheKey, 0, KEY_READ, &k) ==
                   ERROR_SUCCESS;
    for (Saved& s : saved_) {
      if (!key_existed_) break;
      DWORD size = 0;
      if (::RegQueryValueExW(k, s.name, nullptr, &s.type, nullptr, &size) != ERROR_SUCCESS)
        continue;
      s.data.resize(size);
      s.present = ::RegQueryValueExW(k, s.name, nullptr, &s.type, s.data.data(), &size) ==
                  ERROR_SUCCESS;
      s.data.resize(size);
    }
    if (key_existed_) ::RegCloseKey(k);
    for (Saved& s : saved_) Put(s.name, L"sentinel");
  }
  void TearDown() override {
    if (!key_existed_) {
      ::RegDeleteTreeW(HKEY_CURRENT_USER, kIdentityCacheKey);
      return;
    }
    HKEY k;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegOpenKeyExW(HKEY_CURRENT_USER, kIdentityCacheKey, 0, KEY_SET_VALUE, &k));
    for (Saved& s : saved_) {
      if (s.present)
        ::RegSetValueExW(k, s.name, 0, s.type, s.data.data(), static_cast<DWORD>(s.data.size()));
      else
        ::RegDeleteValueW(k, s.name);
    }
    ::RegCloseKey(k);
  }
  static void Put(const wchar_t* name, const std::wstring& value) {
    ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, kIdentityCacheKey, name, value));
  }
  // The raw value: type and text, so that a wrong type shows.
  static std::wstring Get(const wchar_t* name) {
    HKEY k;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kIdentityCacheKey, 0, KEY_READ, &k) != ERROR_SUCCESS)
      return L"<no key>";
    wchar_t buf[300] = {};
    DWORD type = 0, size = sizeof(buf) - sizeof(wchar_t);
    const LONG rc = ::RegQueryValueExW(k, name, nullptr, &type, reinterpret_cast<BYTE*>(buf),
                                       &size);
    ::RegCloseKey(k);
    if (rc != ERROR_SUCCESS) return L"<missing>";
    if (type != REG_SZ) return L"<not REG_SZ>";
    return buf;
  }

  bool key_existed_ = false;
  Saved saved_[3] = {Saved(kCacheModelName), Saved(kCacheIdentifyingNumber),
                     Saved(kCacheBiosVersion)};
};

TEST_F(IdentityCacheTest, WritesTheRawTexts) {
  const Firmware fw;
  zu::ComInit com;
  ASSERT_TRUE(com.ok());
  CacheIdentity();
  EXPECT_EQ(fw.name, Get(kCacheModelName));
  EXPECT_EQ(fw.identifying_number, Get(kCacheIdentifyingNumber));  // not cut, not trimmed
  EXPECT_EQ(fw.bios, Get(kCacheBiosVersion));
}

TEST_F(IdentityCacheTest, WritesNothingWithoutAConnection) {
  zu::ComInit com;
  ASSERT_TRUE(com.ok());
  CWmiSession elsewhere(L"\\\\.\\root\\nosuchnamespace");
  CacheIdentity(elsewhere);
  EXPECT_EQ(L"sentinel", Get(kCacheModelName));
  EXPECT_EQ(L"sentinel", Get(kCacheIdentifyingNumber));
  EXPECT_EQ(L"sentinel", Get(kCacheBiosVersion));

  // It relies on the caller's apartment: on a thread without one WMI cannot
  // be reached at all.
  std::thread([] { CacheIdentity(); }).join();
  EXPECT_EQ(L"sentinel", Get(kCacheModelName));
}

// A real connection where one chosen property cannot be read.
class FailingProperty : public CWmiSession {
 public:
  explicit FailingProperty(std::wstring property) : property_(std::move(property)) {}
  bool QueryFirst(const std::wstring& wql, const std::wstring& property,
                  std::wstring* text) override {
    if (property == property_) return false;
    return CWmiSession::QueryFirst(wql, property, text);
  }

 private:
  std::wstring property_;
};

TEST_F(IdentityCacheTest, OneFailedQueryWritesEmptyAndTheRestStillRun) {
  const Firmware fw;
  zu::ComInit com;
  ASSERT_TRUE(com.ok());
  FailingProperty no_number(L"IdentifyingNumber");
  CacheIdentity(no_number);
  EXPECT_EQ(fw.name, Get(kCacheModelName));
  EXPECT_EQ(L"", Get(kCacheIdentifyingNumber));
  EXPECT_EQ(fw.bios, Get(kCacheBiosVersion));

  FailingProperty no_name(L"Name");
  CacheIdentity(no_name);
  EXPECT_EQ(L"", Get(kCacheModelName));
  EXPECT_EQ(fw.identifying_number, Get(kCacheIdentifyingNumber));
}

}  // namespace
