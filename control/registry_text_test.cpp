#include "control/registry_text.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "control/error_codes.h"

namespace {

// A scratch key of this process under HKCU\Software\ZUTest, removed after.
class RegistryTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sub_ = L"Software\\ZUTest\\RegistryText" + std::to_wstring(::GetCurrentProcessId());
    path_ = L"HKEY_CURRENT_USER\\" + sub_;
    ::RegDeleteTreeW(HKEY_CURRENT_USER, sub_.c_str());
  }
  void TearDown() override {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, sub_.c_str());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\ZUTest");  // only when empty
  }
  void Set(const wchar_t* name, DWORD type, const void* data, DWORD bytes,
           const std::wstring& child = L"") {
    const std::wstring key = child.empty() ? sub_ : sub_ + L"\\" + child;
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name, type, data,
                                               bytes));
  }
  void SetText(const wchar_t* name, DWORD type, const std::wstring& text,
               const std::wstring& child = L"") {
    Set(name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)),
        child);
  }

  std::wstring sub_, path_;
};

TEST_F(RegistryTextTest, ValueTextByType) {
  SetText(L"sz", REG_SZ, L"caf\u00e9 \u3042\u00ff");
  const DWORD one = 1;
  Set(L"dword", REG_DWORD, &one, sizeof(one));
  const BYTE bin[] = {1, 171};
  Set(L"bin", REG_BINARY, bin, sizeof(bin));
  Set(L"multi", REG_MULTI_SZ, L"a\0b\0", 10);
  SetText(L"expand", REG_EXPAND_SZ, L"%TEMP%");
  SetText(L"", REG_SZ, L"default");
  SetText(L"long", REG_SZ, std::wstring(600, L'x'));  // 1202 bytes: beyond the buffer
  SetText(L"fits", REG_SZ, std::wstring(500, L'y'));  // 1002 bytes

  EXPECT_EQ(L"\"caf\u00e9 B\u00ff\"", ReadRegistryValueText(path_, L"sz"));
  EXPECT_EQ(L"dword:00000001", ReadRegistryValueText(path_, L"dword"));
  EXPECT_EQ(L"hex:01,ab", ReadRegistryValueText(path_, L"bin"));
  EXPECT_EQ(L"", ReadRegistryValueText(path_, L"multi"));
  EXPECT_EQ(L"", ReadRegistryValueText(path_, L"expand"));
  EXPECT_EQ(L"\"default\"", ReadRegistryValueText(path_, L""));
  EXPECT_EQ(L"", ReadRegistryValueText(path_, L"long"));
  EXPECT_EQ(L"\"" + std::wstring(500, L'y') + L"\"", ReadRegistryValueText(path_, L"fits"));
  EXPECT_EQ(L"", ReadRegistryValueText(path_, L"missing"));
  EXPECT_EQ(L"", ReadRegistryValueText(path_ + L"\\Missing", L"sz"));
  // Abbreviated or misspelt roots are no paths.
  EXPECT_EQ(L"", ReadRegistryValueText(L"HKCU\\" + sub_, L"dword"));
  EXPECT_EQ(L"", ReadRegistryValueText(L"hkey_current_user\\" + sub_, L"dword"));
  EXPECT_EQ(L"", ReadRegistryValueText(L"HKEY_CURRENT_USER", L""));
}

TEST_F(RegistryTextTest, EntryExistence) {
  const DWORD one = 1;
  Set(L"dword", REG_DWORD, &one, sizeof(one));
  SetText(L"long", REG_SZ, std::wstring(600, L'x'));
  EXPECT_TRUE(RegistryEntryExists(path_, L""));
  EXPECT_TRUE(RegistryEntryExists(path_, L"dword"));
  EXPECT_TRUE(RegistryEntryExists(path_, L"long"));  // its data is not read
  EXPECT_FALSE(RegistryEntryExists(path_, L"missing"));
  EXPECT_FALSE(RegistryEntryExists(path_ + L"\\Missing", L""));
  EXPECT_FALSE(RegistryEntryExists(L"HKCU\\" + sub_, L""));
  EXPECT_FALSE(RegistryEntryExists(L"HKEY_CURRENT_USER", L""));
  EXPECT_TRUE(RegistryEntryExists(L"HKEY_CURRENT_USER\\", L""));  // the root itself
  EXPECT_TRUE(RegistryEntryExists(L"HKEY_LOCAL_MACHINE\\SOFTWARE", L""));
}

TEST_F(RegistryTextTest, ListingOfSubKeysAndEveryValueType) {
  SetText(L"x", REG_SZ, L"1", L"Child1");
  SetText(L"x", REG_SZ, L"1", L"Child2");
  SetText(L"a_sz", REG_SZ, L"text");
  SetText(L"b_expand", REG_EXPAND_SZ, L"%TEMP%");
  const BYTE bin[] = {1};
  Set(L"c_bin", REG_BINARY, bin, 1);
  const DWORD d = 7;
  Set(L"d_dword", REG_DWORD, &d, 4);
  Set(L"e_big", REG_DWORD_BIG_ENDIAN, &d, 4);
  Set(L"f_multi", REG_MULTI_SZ, L"a\0\0", 6);
  const ULONGLONG q = 9;
  Set(L"g_qword", REG_QWORD, &q, 8);
  Set(L"h_none", REG_NONE, nullptr, 0);
  Set(L"i_link", REG_LINK, L"x", 2);  // no label: left out

  std::vector<std::wstring> keys{L"stale"}, values{L"stale"};
  long error = -1;
  const std::wstring text = ListRegistryKey(path_, &keys, &values, &error);
  EXPECT_EQ(0, error);
  std::vector<std::wstring> sorted_keys = keys;
  std::sort(sorted_keys.begin(), sorted_keys.end());
  EXPECT_EQ((std::vector<std::wstring>{L"Child1", L"Child2"}), sorted_keys);
  std::vector<std::wstring> sorted_values = values;
  std::sort(sorted_values.begin(), sorted_values.end());
  const std::vector<std::wstring> expected{
      L"a_sz(STRING)",  L"b_expand(EXPAND_STRING)", L"c_bin(BINARY)",     L"d_dword(DWORD)",
      L"e_big(DWORD)",  L"f_multi(MULTI_STRING)",   L"g_qword(QWORD)",    L"h_none(No defined)"};
  EXPECT_EQ(expected, sorted_values);

  // The text lists the same names in the same order as the two lists.
  std::wstring built = L"KEYS:\n";
  for (const std::wstring& k : keys) built += k + L"\n";
  built += L"\nVALUES:\n";
  for (const std::wstring& v : values) built += v + L"\n";
  EXPECT_EQ(built, text);
}

TEST_F(RegistryTextTest, UnnamedValuesAreListedInTheTextOnly) {
  SetText(L"", REG_SZ, L"default");
  std::vector<std::wstring> keys, values;
  long error = -1;
  EXPECT_EQ(L"KEYS:\n\nVALUES:\n(STRING)\n", ListRegistryKey(path_, &keys, &values, &error));
  EXPECT_TRUE(keys.empty());
  EXPECT_TRUE(values.empty());
}

TEST_F(RegistryTextTest, ListingErrors) {
  std::vector<std::wstring> keys, values;
  long error = -1;
  EXPECT_EQ(L"Invalid Path", ListRegistryKey(L"HKCU\\Software", &keys, &values, &error));
  EXPECT_EQ(0, error);
  EXPECT_EQ(L"Key not Found!", ListRegistryKey(path_ + L"\\Missing", &keys, &values, &error));
  EXPECT_EQ(0, error);
  EXPECT_EQ(L"", ListRegistryKey(L"HKEY_CURRENT_USER", &keys, &values, &error));
  EXPECT_EQ(kZuErrorInvalidArgument, error);
}

}  // namespace
