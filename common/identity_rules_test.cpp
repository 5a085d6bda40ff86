#include "common/identity_rules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(IdentityRules, CutsModelCodeAndSerialAtFirstSeparator) {
  struct Case {
    const wchar_t* number;
    bool split;
    const wchar_t* code;
    const wchar_t* serial;
  } const cases[] = {
      {L"ABC 123", true, L"ABC", L"123"},
      {L"ABC 123   ", true, L"ABC", L"123"},      // trailing spaces never become "-"
      {L"ABC-123-456", true, L"ABC", L"123-456"},  // later "-" stay in the serial
      {L"ABC 123 456", true, L"ABC", L"123-456"},  // inner spaces become "-"
      {L"AB  12", true, L"AB", L"-12"},            // each space counts
      {L"ABC-", true, L"ABC", L""},
      {L"-123", true, L"", L"123"},
      {L" ABC", true, L"", L"ABC"},                // only trailing spaces go
      {L"ABC\t123", false, L"", L""},              // a tab is not a separator
      {L"ABC123", false, L"", L""},
      {L"ABC123   ", false, L"", L""},
      {L"0", false, L"", L""},
      {L"   ", false, L"", L""},
      {L"", false, L"", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "identifying number \"" << c.number << "\"");
    std::wstring code = L"before", serial = L"before";
    EXPECT_EQ(c.split, SplitIdentifyingNumber(c.number, &code, &serial));
    EXPECT_EQ(c.split ? c.code : L"before", code);
    EXPECT_EQ(c.split ? c.serial : L"before", serial);
  }
  EXPECT_EQ(L"ABC-123-4", NormalizeIdentifyingNumber(L"ABC 123 4  "));
  EXPECT_EQ(L"ABC123", NormalizeIdentifyingNumber(L"ABC123"));
}

TEST(IdentityRules, DecodesOnlyStringValuesThatFitTheBuffer) {
  const auto decode = [](std::uint32_t type, const std::wstring& data, std::wstring* out) {
    return DecodeComponentText(type, data.data(), data.size() * sizeof(wchar_t), out);
  };
  std::wstring text;
  EXPECT_TRUE(decode(1, std::wstring(L"A\0B\0", 4), &text));  // REG_SZ, up to the first null
  EXPECT_EQ(L"A", text);
  EXPECT_TRUE(decode(2, L"%TEMP%", &text));  // REG_EXPAND_SZ, not expanded
  EXPECT_EQ(L"%TEMP%", text);
  // 259 characters and the terminator fill the buffer exactly.
  EXPECT_TRUE(decode(1, std::wstring(259, L'x'), &text));
  EXPECT_EQ(259u, text.size());

  text = L"untouched";
  for (std::uint32_t other : {3u, 4u, 7u})  // REG_BINARY, REG_DWORD, REG_MULTI_SZ
    EXPECT_FALSE(decode(other, std::wstring(L"SP1\0", 4), &text));
  EXPECT_FALSE(decode(1, std::wstring(260, L'x'), &text));  // no room for the terminator
  EXPECT_FALSE(decode(1, std::wstring(260, L'x') + L'\0', &text));
  EXPECT_EQ(L"untouched", text);
}

TEST(IdentityRules, KeyNamesAreSingleRegistryNames) {
  EXPECT_TRUE(IsUsableKeyName(L"SP12345"));
  EXPECT_TRUE(IsUsableKeyName(std::wstring(255, L'k')));
  EXPECT_FALSE(IsUsableKeyName(std::wstring(256, L'k')));
  EXPECT_FALSE(IsUsableKeyName(L""));
  EXPECT_FALSE(IsUsableKeyName(L"..\\AppDB"));
  EXPECT_FALSE(IsUsableKeyName(L"SP1\\"));
  EXPECT_FALSE(IsUsableKeyName(std::wstring(L"SP\0X", 4)));
}

}  // namespace
