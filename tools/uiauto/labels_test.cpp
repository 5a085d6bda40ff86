#include "tools/uiauto/labels.h"

#include <gtest/gtest.h>

namespace zu::ui {
namespace {

TEST(Labels, StripMnemonicDropsSingleAmpersandsAndKeepsDoubledOnes) {
  EXPECT_EQ(StripMnemonic(L"&Yes"), L"Yes");
  EXPECT_EQ(StripMnemonic(L"ZEFO Update &Options..."), L"ZEFO Update Options...");
  EXPECT_EQ(StripMnemonic(L"Save && &Exit"), L"Save & Exit");
  EXPECT_EQ(StripMnemonic(L"&&&Go"), L"&Go");
  EXPECT_EQ(StripMnemonic(L"trailing&"), L"trailing");
  EXPECT_EQ(StripMnemonic(L""), L"");
}

TEST(Labels, SameLabelWithOrWithoutMnemonic) {
  EXPECT_TRUE(SameLabel(L"&Yes", L"Yes"));
  EXPECT_TRUE(SameLabel(L"&Yes", L"&Yes"));
  EXPECT_TRUE(SameLabel(L"OK", L"OK"));
  EXPECT_TRUE(SameLabel(L"Save && Exit", L"Save & Exit"));
  EXPECT_FALSE(SameLabel(L"&Yes", L"yes"));  // case counts
  EXPECT_FALSE(SameLabel(L"&Yes", L"Ye"));
  EXPECT_FALSE(SameLabel(L"&No", L"No "));
}

TEST(Labels, EmptyWishMatchesNothing) {
  EXPECT_FALSE(SameLabel(L"", L""));
  EXPECT_FALSE(SameLabel(L"&", L""));
}

TEST(Labels, EscapeFieldKeepsEachRecordOnOneLine) {
  EXPECT_EQ(EscapeField(L"plain text"), L"plain text");
  EXPECT_EQ(EscapeField(L"a\tb\r\nc"), L"a\\tb\\r\\nc");
  EXPECT_EQ(EscapeField(L"C:\\Update\\n"), L"C:\\\\Update\\\\n");
  EXPECT_EQ(EscapeField(L"Important Updates! \nClick"), L"Important Updates! \\nClick");
}

}  // namespace
}  // namespace zu::ui
