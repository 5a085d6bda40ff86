#include "common/autorun_command.h"

#include <gtest/gtest.h>

namespace {

TEST(AgentCommandForTest, QuotesTheAgentPathAndLeavesTwoBlanksForTheArgument) {
  EXPECT_EQ(zu::AgentCommandFor(L"D:\\Programs"),
            L"\"D:\\Programs\\Vexa\\ZEFO Update 4\\ZEFOUpdt.exe\"  ");
}

TEST(AgentCommandForTest, FolderUpTo255CharactersIsUsedWhole) {
  const std::wstring longest = L"C:\\" + std::wstring(252, L'p');
  ASSERT_EQ(longest.size(), zu::kProgramFilesMaxChars);
  const std::wstring command = zu::AgentCommandFor(longest);
  EXPECT_EQ(command.substr(0, 1 + longest.size()), L"\"" + longest);
  EXPECT_EQ(command.size(), 1 + longest.size() + 35);
}

TEST(AgentCommandForTest, UnusableFolderGivesNoCommand) {
  EXPECT_EQ(zu::AgentCommandFor(L"C:\\" + std::wstring(253, L'p')), L"");
  EXPECT_EQ(zu::AgentCommandFor(L""), L"");
  EXPECT_EQ(zu::AgentCommandFor(L"%ProgramFiles%"), L"");  // the variable is not set
}

}  // namespace
