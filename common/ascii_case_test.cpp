#include "common/ascii_case.h"

#include <gtest/gtest.h>

// Only ASCII letters fold: the neighbours of the letters and look-alikes
// from other scripts (the Kelvin sign, accented letters) stay as they are.
TEST(AsciiCase, FoldsAsciiLettersOnly) {
  EXPECT_TRUE(zu::EqualsIgnoringAsciiCase(L"SP-abc_12", L"sp-ABC_12"));
  EXPECT_TRUE(zu::EqualsIgnoringAsciiCase(L"", L""));
  EXPECT_FALSE(zu::EqualsIgnoringAsciiCase(L"SP1", L"SP1 "));
  EXPECT_FALSE(zu::EqualsIgnoringAsciiCase(L"[", L"{"));
  EXPECT_FALSE(zu::EqualsIgnoringAsciiCase(L"@", L"`"));
  EXPECT_FALSE(zu::EqualsIgnoringAsciiCase(L"\u00C9", L"\u00E9"));
  EXPECT_FALSE(zu::EqualsIgnoringAsciiCase(L"k", L"\u212A"));
  EXPECT_EQ(L"abc-[@]-\u00c4\u212A", zu::AsciiLower(L"AbC-[@]-\u00c4\u212A"));
}
