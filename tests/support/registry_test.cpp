#include "tests/support/registry.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using zu::test::KeySnapshot;
using zu::test::RawValue;

constexpr wchar_t kScratch[] = L"Software\\ZEFO Tests\\Snapshot";

RawValue Bytes(DWORD type, std::initializer_list<BYTE> bytes) { return {type, bytes}; }

class KeySnapshotTest : public ::testing::Test {
 protected:
  void SetUp() override { zu::test::DeleteKeyTree(HKEY_CURRENT_USER, L"Software\\ZEFO Tests"); }
  void TearDown() override { zu::test::DeleteKeyTree(HKEY_CURRENT_USER, L"Software\\ZEFO Tests"); }
  static void Put(const std::wstring& key, const std::wstring& name, const RawValue& v) {
    ASSERT_TRUE(zu::test::WriteRaw(HKEY_CURRENT_USER, std::wstring(kScratch) + key, name, v));
  }
  static std::optional<KeySnapshot::Tree> Now() {
    return KeySnapshot::Read(HKEY_CURRENT_USER, kScratch);
  }
};

TEST_F(KeySnapshotTest, PutsBackValuesAndSubKeysExactly) {
  Put(L"", L"", zu::test::Sz(L"default"));
  Put(L"", L"dword", zu::test::Dword(7));
  Put(L"", L"unterminated", Bytes(REG_SZ, {'a', 0}));  // no terminator stored
  Put(L"", L"expand", Bytes(REG_EXPAND_SZ, {'%', 0, 'X', 0, '%', 0, 0, 0}));
  Put(L"", L"empty", Bytes(REG_BINARY, {}));
  Put(L"\\Sub", L"inner", zu::test::Sz(L"inner"));
  Put(L"\\Sub\\Deeper", L"deep", Bytes(REG_MULTI_SZ, {'a', 0, 0, 0, 0, 0}));
  Put(L"\\Gone", L"", zu::test::Sz(L"soon removed"));
  const std::optional<KeySnapshot::Tree> before = Now();
  ASSERT_TRUE(before);
  ASSERT_EQ(before->values.size(), 5u);
  ASSERT_EQ(before->values.at(L"unterminated").data.size(), 2u);
  EXPECT_EQ(zu::test::ReadRaw(HKEY_CURRENT_USER, kScratch, L"unterminated"),
            Bytes(REG_SZ, {'a', 0}));
  EXPECT_EQ(zu::test::RegString(HKEY_CURRENT_USER, kScratch, L"unterminated"), L"a");
  EXPECT_EQ(zu::test::ReadRaw(HKEY_CURRENT_USER, kScratch, L"empty"), Bytes(REG_BINARY, {}));
  ASSERT_EQ(before->keys.at(L"Sub").keys.size(), 1u);
  {
    KeySnapshot snapshot(HKEY_CURRENT_USER, kScratch);
    EXPECT_TRUE(snapshot.existed());
    Put(L"", L"dword", zu::test::Sz(L"now text"));
    Put(L"", L"added", zu::test::Dword(1));
    ASSERT_TRUE(zu::test::WriteRaw(HKEY_CURRENT_USER, kScratch, L"expand", std::nullopt));
    ASSERT_TRUE(zu::test::DeleteKeyTree(HKEY_CURRENT_USER, std::wstring(kScratch) + L"\\Gone"));
    Put(L"\\Sub\\Deeper\\New", L"x", zu::test::Dword(2));
    ASSERT_NE(Now(), before);
  }
  EXPECT_EQ(Now(), before);

  {
    KeySnapshot snapshot(HKEY_CURRENT_USER, kScratch);
    snapshot.Clear();
    EXPECT_FALSE(zu::test::KeyExists(HKEY_CURRENT_USER, kScratch));
  }
  EXPECT_EQ(Now(), before);
}

TEST_F(KeySnapshotTest, MissingKeyGoesWithTheParentsMadeForIt) {
  ASSERT_TRUE(zu::test::SetRegDword(HKEY_CURRENT_USER, L"Software\\ZEFO Tests", L"kept", 1));
  const std::wstring key = std::wstring(kScratch) + L"\\A\\B";
  {
    KeySnapshot snapshot(HKEY_CURRENT_USER, key);
    EXPECT_FALSE(snapshot.existed());
    ASSERT_TRUE(zu::test::SetRegString(HKEY_CURRENT_USER, key + L"\\C", L"v", L"made"));
  }
  EXPECT_FALSE(zu::test::KeyExists(HKEY_CURRENT_USER, kScratch));
  EXPECT_EQ(zu::test::RegDword(HKEY_CURRENT_USER, L"Software\\ZEFO Tests", L"kept"), 1u);

  // A parent that gained something else meanwhile stays, with what it got.
  {
    KeySnapshot snapshot(HKEY_CURRENT_USER, key);
    ASSERT_TRUE(zu::test::SetRegString(HKEY_CURRENT_USER, key, L"v", L"made"));
    ASSERT_TRUE(zu::test::SetRegString(HKEY_CURRENT_USER, kScratch, L"other", L"stays"));
  }
  EXPECT_FALSE(zu::test::KeyExists(HKEY_CURRENT_USER, std::wstring(kScratch) + L"\\A"));
  EXPECT_EQ(zu::test::RegString(HKEY_CURRENT_USER, kScratch, L"other"), L"stays");
}

}  // namespace
