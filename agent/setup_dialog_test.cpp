// The information text as the Options dialog reads it from "Pim.txt".
#include "agent/setup_dialog.h"

#include <gtest/gtest.h>

#include "agent/setup_dialog_rules.h"

namespace {

class InfoTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t dir[MAX_PATH];
    ::GetTempPathW(MAX_PATH, dir);
    path_ = std::wstring(dir) + L"zu_pim_test.txt";
  }
  void TearDown() override { ::DeleteFileW(path_.c_str()); }
  void Write(const std::string& bytes) {
    HANDLE f = ::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, f);
    DWORD n = 0;
    ::WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    ::CloseHandle(f);
  }
  std::wstring path_;
};

TEST_F(InfoTextTest, EveryLineEndsWithCarriageReturnLineFeed) {
  Write("Title line\nsecond\r\nthird");
  const InfoText info = ReadInfoText(path_);
  EXPECT_EQ(L"Title line\r\nsecond\r\nthird\r\n", info.text);
  EXPECT_EQ(10u, info.first_line_length);
}

TEST_F(InfoTextTest, AnsiCharactersBecomeUtf16) {
  if (::GetACP() != 1252) GTEST_SKIP() << "needs code page 1252";
  Write("Caf\xe9 \x80\nx\n");
  const InfoText info = ReadInfoText(path_);
  EXPECT_EQ(L"Caf\u00e9 \u20ac\r\nx\r\n", info.text);
  EXPECT_EQ(6u, info.first_line_length);
}

TEST_F(InfoTextTest, MissingOrEmptyFileGivesNoText) {
  InfoText info = ReadInfoText(path_ + L".missing");
  EXPECT_EQ(L"", info.text);
  EXPECT_EQ(0u, info.first_line_length);
  Write("");
  info = ReadInfoText(path_);
  EXPECT_EQ(L"", info.text);
  EXPECT_EQ(0u, info.first_line_length);
}

TEST_F(InfoTextTest, AHugeFileIsCutAtTheLimit) {
  std::string line(999, 'x');
  line += '\n';
  std::string bytes;
  while (bytes.size() < 3 * kInfoTextReadLimit) bytes += line;
  Write(bytes);
  const InfoText info = ReadInfoText(path_);
  // Each 1000-byte line becomes 1001 characters.
  EXPECT_LE(info.text.size(), kInfoTextReadLimit + kInfoTextReadLimit / 1000 + 2);
  EXPECT_GE(info.text.size(), kInfoTextReadLimit);
  EXPECT_EQ(999u, info.first_line_length);
}

}  // namespace
