#include "agent/command_line.h"

#include <gtest/gtest.h>

TEST(CommandLine, WholeTailIgnoringCase) {
  EXPECT_EQ(AgentSwitch::kClear, ClassifyCommandLine(L"/clear"));
  EXPECT_EQ(AgentSwitch::kClear, ClassifyCommandLine(L"/CLEAR"));
  EXPECT_EQ(AgentSwitch::kHaltAll, ClassifyCommandLine(L"/haltall"));
  EXPECT_EQ(AgentSwitch::kHalt, ClassifyCommandLine(L"/hAlT"));
  EXPECT_EQ(AgentSwitch::kPreInstall, ClassifyCommandLine(L"/PREINSTALL"));
  EXPECT_EQ(AgentSwitch::kShowPage, ClassifyCommandLine(L"/ShowPage"));
  EXPECT_EQ(AgentSwitch::kStationary, ClassifyCommandLine(L"/stationary"));
  EXPECT_EQ(AgentSwitch::kInstall, ClassifyCommandLine(L"/s"));
  EXPECT_EQ(AgentSwitch::kDisableButton, ClassifyCommandLine(L"/disablebutton"));
}

TEST(CommandLine, AnythingElseIsAPlainStart) {
  EXPECT_EQ(AgentSwitch::kPlain, ClassifyCommandLine(L""));
  EXPECT_EQ(AgentSwitch::kPlain, ClassifyCommandLine(L"/clear "));   // trailing blank
  EXPECT_EQ(AgentSwitch::kPlain, ClassifyCommandLine(L" /clear"));
  EXPECT_EQ(AgentSwitch::kPlain, ClassifyCommandLine(L"/S /clear"));  // never split
  EXPECT_EQ(AgentSwitch::kPlain, ClassifyCommandLine(L"-clear"));
  EXPECT_EQ(AgentSwitch::kPlain, ClassifyCommandLine(L"/Hal"));
  EXPECT_EQ(AgentSwitch::kPlain, ClassifyCommandLine(L"/\u0130"));  // not folded to "/i"
  // A letter whose case folding is locale-dependent never matches ASCII.
  EXPECT_EQ(AgentSwitch::kPlain, ClassifyCommandLine(L"/\u017f"));  // long s
}
