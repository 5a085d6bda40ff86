#include "tests/support/text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using zu::test::Lines;
using zu::test::Utf16;
using zu::test::Utf8;

TEST(TextConversion, Utf8AndBack) {
  struct Case {
    std::wstring wide;
    std::string utf8;
  } const cases[] = {
      {L"", ""},
      {L"plain ASCII", "plain ASCII"},
      {L"caf\u00e9 \u20ac", "caf\xc3\xa9 \xe2\x82\xac"},
      {std::wstring(1, L'\0') + L"x", std::string(1, '\0') + "x"},  // embedded NUL kept
      {L"\U0001F600", "\xf0\x9f\x98\x80"},                       // outside the BMP
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8(c.wide), c.utf8);
    EXPECT_EQ(Utf16(c.utf8), c.wide);
  }
}

TEST(TextConversion, MalformedInputBecomesReplacementCharacters) {
  const std::wstring bad(1, L'\xFFFD');
  struct Case {
    std::string utf8;
    std::wstring wide;
  } const cases[] = {
      {"\xc3", bad},                      // cut short at the end
      {"\xc3x", bad + L"x"},              // cut short before another character
      {"\xc0\xaf", bad + bad},            // lead byte never used (over-long '/')
      {"\xe0\x80\xaf", bad},              // over-long form
      {"\xed\xa0\x80", bad},              // an encoded surrogate
      {"\xf4\x90\x80\x80", bad},          // past U+10FFFF
      {"\x80z", bad + L"z"},              // stray continuation byte
  };
  for (const Case& c : cases) EXPECT_EQ(Utf16(c.utf8), c.wide) << testing::PrintToString(c.utf8);

  if (sizeof(wchar_t) == 2) {  // an unpaired surrogate exists only in UTF-16
    EXPECT_EQ(Utf8(std::wstring(1, static_cast<wchar_t>(0xD800)) + L"a"), "\xef\xbf\xbd" "a");
    EXPECT_EQ(Utf8(std::wstring(1, static_cast<wchar_t>(0xDC00))), "\xef\xbf\xbd");
  }
}

TEST(TextLines, EachEndedByANewlineAndALastOneWithout) {
  using L = std::vector<std::string>;
  EXPECT_EQ(Lines(""), L{});
  EXPECT_EQ(Lines("a\n\nb\n"), (L{"a", "", "b"}));
  EXPECT_EQ(Lines("a\nlast"), (L{"a", "last"}));
}

}  // namespace
