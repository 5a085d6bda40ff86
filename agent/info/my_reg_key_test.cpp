#include "agent/info/my_reg_key.h"

#include <gtest/gtest.h>

#include "common/registry.h"
#include "tests/support/settings.h"

namespace {

using zu::test::SetUserDword;
using zu::test::SetUserString;

// Runs on the real per-user key; what was there is put back afterwards.
class MyRegKeyTest : public ::testing::Test {
 protected:
  void SetUp() override { zu::test::ClearUserValues(); }
  DWORD FirstRun() {
    return zu::test::RegDword(HKEY_CURRENT_USER, kAgentUserKey, L"FirstRun").value_or(0xFFFFFFFF);
  }
  zu::test::KeySnapshot saved_{HKEY_CURRENT_USER, kAgentUserKey};
  CMyRegKey key_;
};

TEST_F(MyRegKeyTest, FirstRunIsCreatedOnAFreshProfileAndEndsAtZero) {
  EXPECT_TRUE(key_.CheckFirstRun());
  EXPECT_EQ(1u, FirstRun());
  EXPECT_TRUE(key_.CheckFirstRun());
  ASSERT_TRUE(key_.SetFirstRun(0));
  EXPECT_FALSE(key_.CheckFirstRun());
  EXPECT_EQ(0u, FirstRun());  // a confirmed profile is not reset
  SetUserDword(L"FirstRun", 2);
  EXPECT_FALSE(key_.CheckFirstRun());
  // Not a DWORD: treated as absent and replaced.
  SetUserString(L"FirstRun", L"0");
  EXPECT_TRUE(key_.CheckFirstRun());
  EXPECT_EQ(1u, FirstRun());
}

TEST_F(MyRegKeyTest, StampsAndSupportPagesUseTheirOwnValues) {
  std::wstring text = L"untouched";
  EXPECT_FALSE(key_.GetLastVisit(&text));
  EXPECT_FALSE(key_.GetSupportPageURL(&text, true));
  EXPECT_EQ(L"untouched", text);

  ASSERT_TRUE(key_.SetLastVisit(L"2008-03-07-09:05"));
  ASSERT_TRUE(key_.SetLastExecute(L"2009-01-01-00:00"));
  ASSERT_TRUE(key_.SetSupportPageURL(L"http://support.example/auto", true));
  ASSERT_TRUE(key_.SetSupportPageURL(L"http://support.example/manual", false));

  std::wstring stored;
  ASSERT_TRUE(CRegKeyUtil().ReadString(L"LastVisit", &stored, HKEY_CURRENT_USER, kAgentUserKey));
  EXPECT_EQ(L"2008-03-07-09:05", stored);
  ASSERT_TRUE(CRegKeyUtil().ReadString(L"SupportpageAutoURL", &stored, HKEY_CURRENT_USER,
                                       kAgentUserKey));
  EXPECT_EQ(L"http://support.example/auto", stored);
  ASSERT_TRUE(CRegKeyUtil().ReadString(L"SupportpageManualURL", &stored, HKEY_CURRENT_USER,
                                       kAgentUserKey));
  EXPECT_EQ(L"http://support.example/manual", stored);

  ASSERT_TRUE(key_.GetLastExecute(&text));
  EXPECT_EQ(L"2009-01-01-00:00", text);
  ASSERT_TRUE(key_.GetSupportPageURL(&text, false));
  EXPECT_EQ(L"http://support.example/manual", text);
  // A page stored by an earlier version that is no web address is not read.
  ASSERT_TRUE(key_.SetSupportPageURL(L"file:///C:/Windows/notepad.exe", true));
  text = L"untouched";
  EXPECT_FALSE(key_.GetSupportPageURL(&text, true));
  EXPECT_EQ(L"untouched", text);

  // An empty stored text reads as absent.
  ASSERT_TRUE(key_.SetLastVisit(L""));
  text = L"untouched";
  EXPECT_FALSE(key_.GetLastVisit(&text));
  EXPECT_EQ(L"untouched", text);
}

TEST_F(MyRegKeyTest, DebugSwitchesAreReadAsATesterWroteThem) {
  DWORD n = 99;
  std::wstring text = L"untouched";
  EXPECT_FALSE(key_.GetDebugSaveInfoFile(&n));
  EXPECT_FALSE(key_.GetDebugPulseInterval(&n));
  EXPECT_FALSE(key_.IsDebugShowMessageBox());
  EXPECT_FALSE(key_.GetDebugInfoFileURL(&text));
  EXPECT_FALSE(key_.GetDebugSerial(&text));
  EXPECT_EQ(99u, n);
  EXPECT_EQ(L"untouched", text);

  SetUserDword(L"_Debug_SaveInfoFile", 1);
  SetUserDword(L"_Debug_PulseInterval", 60000);
  SetUserString(L"_Debug_InfoFileURL", L"http://127.0.0.1/x.xml");
  SetUserString(L"_Debug_Serial", L"A150");
  ASSERT_TRUE(key_.GetDebugSaveInfoFile(&n));
  EXPECT_EQ(1u, n);
  ASSERT_TRUE(key_.GetDebugPulseInterval(&n));
  EXPECT_EQ(60000u, n);
  ASSERT_TRUE(key_.GetDebugInfoFileURL(&text));
  EXPECT_EQ(L"http://127.0.0.1/x.xml", text);
  ASSERT_TRUE(key_.GetDebugSerial(&text));
  EXPECT_EQ(L"A150", text);

  SetUserDword(L"_Debug_ShowMessageBox", 0);
  EXPECT_FALSE(key_.IsDebugShowMessageBox());
  SetUserDword(L"_Debug_ShowMessageBox", 5);
  EXPECT_TRUE(key_.IsDebugShowMessageBox());
  SetUserString(L"_Debug_ShowMessageBox", L"1");
  EXPECT_FALSE(key_.IsDebugShowMessageBox());
  SetUserString(L"_Debug_PulseInterval", L"60000");
  EXPECT_FALSE(key_.GetDebugPulseInterval(&n));
}

}  // namespace
