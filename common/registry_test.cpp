#include "common/registry.h"

#include <gtest/gtest.h>

namespace {

const wchar_t kKey[] = L"Software\\ZEFO Tests\\registry";

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\ZEFO Tests"); }
  void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\ZEFO Tests"); }
  void Raw(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    HKEY k;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0,
                                               KEY_SET_VALUE, nullptr, &k, nullptr));
    ::RegSetValueExW(k, name, 0, type, static_cast<const BYTE*>(data), bytes);
    ::RegCloseKey(k);
  }
  void RawString(const wchar_t* name, const std::wstring& s) {
    Raw(name, REG_SZ, s.c_str(), static_cast<DWORD>((s.size() + 1) * 2));
  }
  CRegKeyUtil reg;
};

TEST_F(RegistryTest, StringLimitsAndEmptyRules) {
  std::wstring out = L"untouched";
  RawString(L"s254", std::wstring(254, L'a'));
  RawString(L"s255", std::wstring(255, L'b'));
  EXPECT_TRUE(reg.ReadString(L"s254", &out, HKEY_CURRENT_USER, kKey));
  EXPECT_EQ(std::wstring(254, L'a'), out);
  out = L"untouched";
  EXPECT_FALSE(reg.ReadString(L"s255", &out, HKEY_CURRENT_USER, kKey));
  EXPECT_EQ(L"untouched", out);

  // The free reader has its own, smaller buffer.
  RawString(L"s99", std::wstring(99, L'c'));
  RawString(L"s100", std::wstring(100, L'd'));
  EXPECT_TRUE(RegReadString(HKEY_CURRENT_USER, kKey, L"s99", &out));
  EXPECT_EQ(99u, out.size());
  EXPECT_FALSE(RegReadString(HKEY_CURRENT_USER, kKey, L"s100", &out));

  // Empty: absent for the class, an empty success for the free reader.
  ASSERT_TRUE(reg.WriteString(L"empty", L"", HKEY_CURRENT_USER, kKey));
  HKEY k;
  ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &k));
  DWORD type = 0, size = 0;
  ASSERT_EQ(ERROR_SUCCESS, ::RegQueryValueExW(k, L"empty", nullptr, &type, nullptr, &size));
  ::RegCloseKey(k);
  EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
  EXPECT_EQ(2u, size);
  out = L"x";
  EXPECT_FALSE(reg.ReadString(L"empty", &out, HKEY_CURRENT_USER, kKey));
  EXPECT_TRUE(RegReadString(HKEY_CURRENT_USER, kKey, L"empty", &out));
  EXPECT_EQ(L"", out);
}

TEST_F(RegistryTest, StringReadIgnoresTypeAndStopsAtFirstNull) {
  const wchar_t multi[] = L"one\0two\0";
  Raw(L"multi", REG_MULTI_SZ, multi, sizeof(multi));
  std::wstring out;
  EXPECT_TRUE(reg.ReadString(L"multi", &out, HKEY_CURRENT_USER, kKey));
  EXPECT_EQ(L"one", out);
  // Stored without a terminator: the read stays bounded and terminated.
  std::wstring part(200, L'z');
  Raw(L"noterm", REG_BINARY, part.data(), 400);
  EXPECT_TRUE(reg.ReadString(L"noterm", &out, HKEY_CURRENT_USER, kKey));
  EXPECT_EQ(part, out);
}

TEST_F(RegistryTest, DwordNeedsDwordType) {
  DWORD v = 77;
  RawString(L"text", L"1");
  EXPECT_FALSE(reg.ReadDWORD(L"text", &v, HKEY_CURRENT_USER, kKey));
  EXPECT_EQ(77u, v);
  const DWORD be = 5;
  Raw(L"bigendian", REG_DWORD_BIG_ENDIAN, &be, 4);
  EXPECT_FALSE(reg.ReadDWORD(L"bigendian", &v, HKEY_CURRENT_USER, kKey));
  EXPECT_TRUE(RegWriteDWORD(HKEY_CURRENT_USER, kKey, L"d", 0xDEADBEEF));
  EXPECT_TRUE(reg.ReadDWORD(L"d", &v, HKEY_CURRENT_USER, kKey));
  EXPECT_EQ(0xDEADBEEFu, v);
  EXPECT_FALSE(reg.ReadDWORD(L"missing", &v, HKEY_CURRENT_USER, kKey));
}

TEST_F(RegistryTest, WritesCreateTheWholePathAndDeleteRemoves) {
  const std::wstring deep = std::wstring(kKey) + L"\\a\\b\\c";
  EXPECT_TRUE(reg.WriteString(L"v", L"text", HKEY_CURRENT_USER, deep));
  EXPECT_TRUE(RegWriteString(HKEY_CURRENT_USER, deep, L"w", L"\u00e9\u4e2d"));
  std::wstring out;
  EXPECT_TRUE(reg.ReadString(L"w", &out, HKEY_CURRENT_USER, deep));
  EXPECT_EQ(L"\u00e9\u4e2d", out);
  EXPECT_TRUE(RegDeleteValueOf(HKEY_CURRENT_USER, deep, L"v"));
  EXPECT_FALSE(RegDeleteValueOf(HKEY_CURRENT_USER, deep, L"v"));
  EXPECT_FALSE(reg.ReadString(L"v", &out, HKEY_CURRENT_USER, deep));
  EXPECT_FALSE(RegDeleteValueOf(HKEY_CURRENT_USER, deep + L"\\none", L"w"));
}

}  // namespace
