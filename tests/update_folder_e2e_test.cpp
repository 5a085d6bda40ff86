// C:\Update and its debug file as an installer, a standard user and a web
// page meet them. Each test expects the folder in the state that
// update_folder_e2e.sh made from the Unix side (another Unix owner, Unix
// "other" may write), and that script checks the Unix modes afterwards;
// run alone, the tests skip.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "common/framework/handle.h"
#include "common/object_security.h"
#include "common/update_folder.h"
#include "control/allow_list.h"
#include "tests/support/files.h"
#include "tests/support/lab.h"
#include "tests/support/process.h"
#include "tests/support/scripts.h"

namespace {

const wchar_t kDebugIni[] = L"C:\\Update\\Debug.ini";
const wchar_t kKept[] = L"C:\\Update\\PatchList.dat";
const wchar_t kEveryone[] = L"S-1-1-0";
const wchar_t kAnonymous[] = L"S-1-5-7";  // how Wine shows another Unix user

bool EveryoneMayWrite(const std::wstring& path) {
  for (const zu::AccessEntry& e : zu::InspectObject(path).security.entries)
    if (e.sid == kEveryone && !e.denies && (e.mask & zu::kWriteTypeRights)) return true;
  return false;
}


// Runs the installed agent with the Administrators group deny-only, as a
// standard user would; true when it ran to its end.
bool RunAgentAsStandardUser(const std::wstring& args) {
  zu::UniqueHandle token = zu::test::NonAdminToken();
  if (!token) return false;
  std::wstring command = L"\"" + zu::test::InstalledAgent() + L"\" " + args;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!::CreateProcessAsUserW(token.get(), zu::test::InstalledAgent().c_str(), command.data(), nullptr,
                              nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
    return false;
  zu::UniqueHandle process(info.hProcess), thread(info.hThread);
  return ::WaitForSingleObject(process.get(), 60000) == WAIT_OBJECT_0;
}

class UpdateFolderE2E : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!std::getenv("ZU_UPDATE_FOLDER_E2E")) return;
    zu::test::InstallAgent();
    registered_ = zu::test::Regsvr32() == 0u;
  }
  static void TearDownTestSuite() {
    if (registered_)
      zu::test::Regsvr32(true);
  }
  void SetUp() override {
    if (!std::getenv("ZU_UPDATE_FOLDER_E2E"))
      GTEST_SKIP() << "runs under update_folder_e2e.sh, which prepares C:\\Update";
  }
  void TearDown() override {
    // What "/PreInstall" makes besides the folder.
    const std::wstring programs = zu::test::SpecialFolder(CSIDL_COMMON_PROGRAMS) + L"\\ZEFO Update 4";
    for (const wchar_t* lnk : {L"\\ZEFO Update Options.lnk", L"\\Go to ZEFO Web Support.lnk"})
      ::DeleteFileW((programs + lnk).c_str());
    ::RemoveDirectoryW(programs.c_str());
    ::DeleteFileW((zu::test::SpecialFolder(CSIDL_COMMON_STARTMENU) + L"\\Go to ZEFO Web Support.lnk").c_str());
  }

  static bool DebugSwitchCounts() {
    return ReadUpdateFolderIni(L"Debug.ini", L"General", L"IgnoreURLCheck", 128, nullptr);
  }

  // A page on a refused host asks for a forced match: it gets one only
  // when the debug file switches the check off and forces the match.
  static zu::test::RunResult RefusedPageAsksForAForcedMatch(bool expect_honoured) {
    const std::string expected = expect_honoured ? "true" : "false";
    return zu::test::RunInPageHost(
        L"http://www.refused-host.example/", L"update_folder_e2e_page.js",
        "var honoured = " + expected + ";\n"
        "if (zuax.SearchSPIDEx('ZU-FORCED', '0') !== honoured) host.Fail('forced match');\n"
        "if (zuax.IsAdmin() !== honoured) host.Fail('IsAdmin');\n"
        "if ((zuax.GetLastError() === -1) === honoured) host.Fail('GetLastError');\n");
  }

  static bool registered_;
};
bool UpdateFolderE2E::registered_ = false;

TEST_F(UpdateFolderE2E, PreInstallCreatesTheFolderProtected) {
  ASSERT_FALSE(zu::test::FileExists(kUpdateFolder));
  ASSERT_TRUE(zu::test::RunAgentToEnd(L"/PreInstall"));
  ASSERT_TRUE(::GetFileAttributesW(kUpdateFolder) & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_FALSE(EveryoneMayWrite(kUpdateFolder));
  // What an administrator writes there now counts.
  zu::test::WriteFileBytes(kDebugIni, "[General]\r\nIgnoreURLCheck=1\r\n");
  EXPECT_TRUE(DebugSwitchCounts());
}

TEST_F(UpdateFolderE2E, AnAdministratorsPreInstallTakesItOver) {
  ASSERT_TRUE(zu::test::FileExists(kDebugIni));
  const bool other_owner = zu::InspectObject(kUpdateFolder).security.owner == kAnonymous;
  EXPECT_TRUE(other_owner || EveryoneMayWrite(kUpdateFolder)) << "not prepared";
  EXPECT_FALSE(DebugSwitchCounts());
  ASSERT_TRUE(zu::test::RunAgentToEnd(L"/PreInstall"));
  EXPECT_FALSE(zu::test::FileExists(kDebugIni));
  EXPECT_TRUE(zu::test::FileExists(kKept));  // only the debug files go
  EXPECT_FALSE(EveryoneMayWrite(kUpdateFolder));
}

TEST_F(UpdateFolderE2E, AStandardUsersPreInstallLeavesItAlone) {
  ASSERT_TRUE(EveryoneMayWrite(kUpdateFolder)) << "not prepared";
  ASSERT_TRUE(RunAgentAsStandardUser(L"/PreInstall"));
  EXPECT_TRUE(zu::test::FileExists(kDebugIni));
  EXPECT_TRUE(EveryoneMayWrite(kUpdateFolder));
}

TEST_F(UpdateFolderE2E, TheDebugFileOfTheWineUserIsHonoured) {
  ASSERT_TRUE(registered_);
  // Written through Win32 by this (administrator) account, as a tester would.
  zu::test::WriteFileBytes(kDebugIni,
                      "[General]\r\nIgnoreURLCheck=1\r\n[DebugInfoSearch]\r\nSPID=ZU-FORCED\r\n");
  EXPECT_TRUE(DebugSwitchCounts());
  zu::test::RunResult r = RefusedPageAsksForAForcedMatch(true);
  EXPECT_EQ(r.code, 0u) << r.output;
}

TEST_F(UpdateFolderE2E, ADebugFileAStandardUserCouldHaveWrittenIsIgnored) {
  ASSERT_TRUE(registered_);
  ASSERT_TRUE(zu::test::FileExists(kDebugIni)) << "not prepared";
  EXPECT_FALSE(DebugSwitchCounts());
  zu::test::RunResult r = RefusedPageAsksForAForcedMatch(false);
  EXPECT_EQ(r.code, 0u) << r.output;
}

}  // namespace
