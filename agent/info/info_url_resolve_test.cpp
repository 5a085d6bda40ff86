// The address from the real settings file, identity and per-user values.
// Changes the settings file and the agent's per-user key, and puts back
// what it found.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "agent/info/agent_message.h"
#include "agent/info/info_url.h"
#include "agent/info/my_reg_key.h"
#include "agent/info/settings.h"
#include "common/framework/seam.h"
#include "common/identity.h"
#include "tests/support/files.h"
#include "tests/support/settings.h"

namespace {

using zu::test::DeleteUserValue;
using zu::test::SetUserDword;
using zu::test::SetUserString;

class ResolveInfoFileURLTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_.MakeFolders();
    DeleteUserValue(L"_Debug_InfoFileURL");
    DeleteUserValue(L"_Debug_ShowMessageBox");
  }
  void Settings(const std::string& ini) {
    ASSERT_TRUE(zu::test::WriteFileBytes(settings_.file(), ini));
  }

  zu::test::KeySnapshot user_{HKEY_CURRENT_USER, kAgentUserKey};
  zu::test::SettingsFileAside settings_;  // no settings file unless a test writes one
  std::vector<std::wstring> texts_, captions_;
  std::vector<UINT> types_;
  zu::ScopedOverride<AgentMessageBoxFn> box_{
      zu::seams::agent_message_box,
      [this](HWND, const std::wstring& text, const std::wstring& caption, UINT type) {
        texts_.push_back(text);
        captions_.push_back(caption);
        types_.push_back(type);
        return IDOK;
      }};
};

TEST_F(ResolveInfoFileURLTest, BuiltFromSettingsAndIdentity) {
  std::wstring name;
  ASSERT_TRUE(GetModelName(&name));
  if (name != L"Wine") GTEST_SKIP() << "model name is not Wine's";

  Settings(
      "[Setting]\r\nInfoFileURLBase=http://info.example/zu/\r\n"
      "[Option]\r\nUseModelCode=0\r\nLanguage=NONE\r\nUseSystemDefaultUILanguage=0\r\n");
  EXPECT_EQ(L"http://info.example/zu/WINE.xml", BuildInfoFileURL());

  Settings(
      "[Setting]\r\nInfoFileURLBase=http://info.example/zu/\r\n"
      "[Option]\r\nLanguage=JPN\r\n");
  EXPECT_EQ(L"http://info.example/zu/WINE-JPN.xml", BuildInfoFileURL());

  wchar_t suffix[8];
  std::swprintf(suffix, 8, L"%04X", static_cast<unsigned>(::GetSystemDefaultUILanguage()));
  Settings("[Option]\r\nUseSystemDefaultUILanguage=1\r\nLanguage=JPN\r\n");
  EXPECT_EQ(std::wstring(L"WINE-") + suffix + L".xml", BuildInfoFileURL());

  // Wine's identifying number has no separator, so there is no model code.
  std::wstring code;
  if (GetModelCode(&code)) GTEST_SKIP() << "this machine has a model code";
  Settings("[Setting]\r\nInfoFileURLBase=http://i/\r\n[Option]\r\nUseModelCode=1\r\n");
  EXPECT_EQ(L"http://i/.xml", BuildInfoFileURL());
}

TEST_F(ResolveInfoFileURLTest, NoSettingsFileGivesTheDefaults) {
  std::wstring name;
  if (!GetModelName(&name) || name != L"Wine") GTEST_SKIP() << "model name is not Wine's";
  EXPECT_EQ(L"WINE.xml", ResolveInfoFileURL());
  EXPECT_TRUE(texts_.empty());
}

TEST_F(ResolveInfoFileURLTest, DebugAddressReplacesTheBuiltOneSilently) {
  Settings("[Setting]\r\nInfoFileURLBase=http://real.example/\r\n");
  const std::wstring real = BuildInfoFileURL();
  SetUserString(L"_Debug_InfoFileURL", L"http://127.0.0.1:8080/test.xml");
  EXPECT_EQ(L"http://127.0.0.1:8080/test.xml", ResolveInfoFileURL());
  SetUserDword(L"_Debug_ShowMessageBox", 0);
  EXPECT_EQ(L"http://127.0.0.1:8080/test.xml", ResolveInfoFileURL());
  // An empty value counts as absent.
  SetUserString(L"_Debug_InfoFileURL", L"");
  EXPECT_EQ(real, ResolveInfoFileURL());
  // So does a text switch: only a DWORD turns the message on.
  SetUserString(L"_Debug_ShowMessageBox", L"1");
  EXPECT_EQ(real, ResolveInfoFileURL());
  EXPECT_TRUE(texts_.empty());
}

TEST_F(ResolveInfoFileURLTest, DiagnosticMessageNamesBothAddresses) {
  SetUserDword(L"_Debug_ShowMessageBox", 7);
  EXPECT_EQ(L"http://real.example/M.xml", ApplyDebugInfoFileURL(L"http://real.example/M.xml"));
  SetUserString(L"_Debug_InfoFileURL", L"http://test.example/T.xml");
  EXPECT_EQ(L"http://test.example/T.xml", ApplyDebugInfoFileURL(L"http://real.example/M.xml"));
  ASSERT_EQ(2u, texts_.size());
  EXPECT_EQ(
      L"This message is just shown to confirm ZU is trying to access XML file!\n\n"
      L"The real info file's URL is\nhttp://real.example/M.xml\n\n"
      L"Test URL is\nhttp://test.example/T.xml\n\n"
      L"You can change the test URL here:\n"
      L"HKEY_CURRENT_USER\\Software\\Vexa Corporation\\ZEFO Update\\4.0---> [_Debug_InfoFileURL]",
      texts_[1]);
  EXPECT_NE(std::wstring::npos, texts_[0].find(L"Test URL is\nhttp://real.example/M.xml\n"));
  EXPECT_EQ(L"ZEFO Update", captions_[1]);
  EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), types_[1]);
}

}  // namespace
