#include "agent/info/info_url_rules.h"

#include <gtest/gtest.h>

namespace {

InfoURLSettings Settings(std::wstring use_code, std::wstring language, std::wstring use_ui) {
  return {L"http://info.example/zu/", std::move(use_code), std::move(language), std::move(use_ui)};
}

TEST(ComposeInfoFileURL, ModelCodeWithSystemLanguage) {
  EXPECT_EQ(L"http://info.example/zu/VX90AB-0411.xml",
            ComposeInfoFileURL(Settings(L"1", L"NONE", L"1"), L"VX90AB", 0x411));
  // The code stands as it was read; only the model name is normalised.
  EXPECT_EQ(L"http://info.example/zu/vx 9/a.xml",
            ComposeInfoFileURL(Settings(L"1", L"NONE", L"0"), L"vx 9/a", 0));
}

TEST(ComposeInfoFileURL, OnlyAnExactOneSwitchesEitherOptionOn) {
  for (const wchar_t* off : {L"0", L"", L"01", L" 1", L"1 ", L"true", L"yes", L"\x0661"}) {
    SCOPED_TRACE(testing::Message() << "value of length " << std::wstring(off).size());
    EXPECT_EQ(L"http://info.example/zu/AB_C_1.xml",
              ComposeInfoFileURL(Settings(off, L"NONE", off), L"ab c/1 ", 0x411));
  }
}

TEST(ComposeInfoFileURL, LanguageSuffixRules) {
  // No suffix and no "-" for exactly "NONE".
  EXPECT_EQ(L"http://info.example/zu/M.xml",
            ComposeInfoFileURL(Settings(L"0", L"NONE", L"0"), L"m", 0x409));
  // Any other value is taken as it stands, case and all.
  EXPECT_EQ(L"http://info.example/zu/M-JPN.xml",
            ComposeInfoFileURL(Settings(L"0", L"JPN", L"0"), L"m", 0x409));
  EXPECT_EQ(L"http://info.example/zu/M-none.xml",
            ComposeInfoFileURL(Settings(L"0", L"none", L"0"), L"m", 0x409));
  EXPECT_EQ(L"http://info.example/zu/M-.xml",
            ComposeInfoFileURL(Settings(L"0", L"", L"0"), L"m", 0x409));
  // The system language wins over "Language".
  EXPECT_EQ(L"http://info.example/zu/M-0409.xml",
            ComposeInfoFileURL(Settings(L"0", L"JPN", L"1"), L"m", 0x409));
}

TEST(ComposeInfoFileURL, UnreadableIdentityLeavesOnlyTheSuffix) {
  EXPECT_EQ(L"http://info.example/zu/-0409.xml",
            ComposeInfoFileURL(Settings(L"1", L"NONE", L"1"), L"", 0x409));
  EXPECT_EQ(L"http://info.example/zu/.xml",
            ComposeInfoFileURL(Settings(L"0", L"NONE", L"0"), L"", 0));
  EXPECT_EQ(L".xml", ComposeInfoFileURL(InfoURLSettings{L"", L"0", L"NONE", L"0"}, L"   ", 0));
}

TEST(NormalizeModelName, KeepsOnlyTheAllowedCharacters) {
  EXPECT_EQ(L"VEXABOOK_9000(A)-X_", NormalizeModelName(L"VexaBook 9000(a)-x_"));
  // Only trailing spaces go; leading ones and other blanks become "_".
  EXPECT_EQ(L"__A_B_", NormalizeModelName(L"  a\tb\t   "));
  EXPECT_EQ(L"", NormalizeModelName(L"     "));
  // Letters outside A-Z never pass, whatever their upper case would be.
  EXPECT_EQ(L"_____", NormalizeModelName(L"\x00e9\x0131\x017f\x00df\x0430"));
  EXPECT_EQ(L"A_B", NormalizeModelName(std::wstring(L"a\0b", 3)));
  EXPECT_EQ(L"__________", NormalizeModelName(L"./:?&#%\"<>"));
}

TEST(NormalizeModelName, SurrogatePairIsOneCharacter) {
  EXPECT_EQ(L"A_B", NormalizeModelName(std::wstring{L'a', 0xD83D, 0xDE00, L'b'}));
  // A lone half is a character of its own.
  EXPECT_EQ(L"A_B_", NormalizeModelName(std::wstring{L'a', 0xDE00, L'b', 0xD83D}));
  EXPECT_EQ(L"__", NormalizeModelName(L"\xD83D\xD83D\xDE00"));
}

TEST(NormalizeModelName, LongNamesStayWhole) {
  std::wstring name(100000, L'q');
  name += L"  ";
  EXPECT_EQ(std::wstring(100000, L'Q'), NormalizeModelName(name));
}

TEST(LanguageSuffix, FourUpperCaseHexDigits) {
  EXPECT_EQ(L"0409", LanguageSuffix(0x409));
  EXPECT_EQ(L"0411", LanguageSuffix(0x411));
  EXPECT_EQ(L"0001", LanguageSuffix(0x1));
  EXPECT_EQ(L"0000", LanguageSuffix(0));
  EXPECT_EQ(L"1C0A", LanguageSuffix(0x1C0A));
  EXPECT_EQ(L"FFFF", LanguageSuffix(0xFFFF));
}

TEST(FirstLine, StopsAtTheFirstBreak) {
  EXPECT_EQ("4.0.0.1", FirstLine("4.0.0.1\r\n4.0.0.2\r\n"));
  EXPECT_EQ("4.0.0.1", FirstLine("4.0.0.1\n"));
  EXPECT_EQ("4.0.0.1", FirstLine("4.0.0.1"));
  EXPECT_EQ("4.0", FirstLine("4.0\rInjected: header"));
  EXPECT_EQ("4.0", FirstLine(std::string_view("4.0\0.1", 6)));
  EXPECT_EQ("", FirstLine("\r\n4.0.0.1"));
  EXPECT_EQ("", FirstLine(""));
}

}  // namespace
