// The steps of the restart road that run inside the throwaway prefix of
// tests/restart_road_test.sh, which restarts that prefix between them. Each
// is a DISABLED_ test the script names; nothing here runs in the lab.
//
//   DISABLED_Prepare     the machine as a control's run leaves it when an
//                        installer asked for a second phase after a restart:
//                        the agent installed, the test root trusted, the
//                        pending record, the maker's server and the browser;
//                        then the restart itself, which ends this program
//   DISABLED_AfterLogon  what the next logon must have done, by the final
//                        reboot level in ZU_ROAD_LEVEL (1 restart, 2 shutdown)
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "common/patch_list_format.h"
#include "common/platform.h"
#include "tests/support/files.h"
#include "tests/support/lab.h"
#include "tests/support/process.h"
#include "tests/support/registry.h"
#include "tests/support/engine_servers.h"
#include "tests/support/patch_list_file.h"
#include "tests/support/test_pki.h"

namespace {

const wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kUserKey[] = L"Software\\Vexa Corporation\\ZEFO Update\\4.0";
const wchar_t kPatchList[] = L"C:\\Update\\PatchList.dat";
const wchar_t kSetup[] = L"C:\\Update\\road-driver\\road-driver.exe";
const wchar_t kSetupLog[] = L"C:\\Update\\road-driver\\setup.log";
const wchar_t kBrowserLog[] = L"C:\\road-browser.log";

std::wstring Env(const wchar_t* name) {
  wchar_t value[512] = {};
  const DWORD n = ::GetEnvironmentVariableW(name, value, 512);
  return n && n < 512 ? value : L"";
}
int Level() { return _wtoi(Env(L"ZU_ROAD_LEVEL").c_str()); }
std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

TEST(RestartRoad, DISABLED_Prepare) {
  zu::test::TrustedRoot root(zu::test::TestRootCertificate());
  ASSERT_TRUE(root.ok());
  root.Keep();  // the prefix is thrown away with it
  zu::test::InstallAgent();
  zu::test::InstallSettingsFile();
  ::WritePrivateProfileStringW(L"Setting", L"InfoFileURLBase",
                               (Env(L"ZU_ROAD_SERVER") + L"/info/").c_str(),
                               zu::test::SettingsFile().c_str());
  ASSERT_TRUE(zu::test::SetRegDword(HKEY_CURRENT_USER, kUserKey, L"FirstRun", 0));
  ASSERT_TRUE(zu::test::SetRegDword(HKEY_CURRENT_USER, kUserKey, L"_Debug_PulseInterval", 3600000));
  // The browser is the recorder, also for programs a logon starts.
  ASSERT_TRUE(zu::test::SetRegString(HKEY_LOCAL_MACHINE, zu::test::kBrowserKey, L"",
                                zu::test::BinDir() + L"\\zurecord.exe"));
  ASSERT_TRUE(zu::test::SetRegString(HKEY_CURRENT_USER, L"Environment", L"ZU_RECORD_FILE", kBrowserLog));

  ::CreateDirectoryW(L"C:\\Update", nullptr);
  ::CreateDirectoryW(L"C:\\Update\\road-driver", nullptr);
  ASSERT_TRUE(::CopyFileW(zu::test::SignedInstaller(L"vexa.exe").c_str(), kSetup, FALSE));
  patch_list::PatchRecord r;
  r.path = kSetup;
  r.size = 1;
  r.name = L"Road Driver 1.0";
  r.auto_exec = 1;
  r.parameter = std::wstring(L"/log=") + kSetupLog + L" /run1=," + std::to_wstring(Level());
  r.phase_flag = 1;
  r.first_reboot = 1;
  r.install_reboot = 0;
  r.first_started = 1;
  r.first_launched = 1;
  r.two_phase_restart = 1;
  r.spid = L"SP-ROAD";
  const std::vector<std::uint8_t> bytes = patch_list::BuildFile({r});
  zu::test::WriteFileBytes(kPatchList, std::string(bytes.begin(), bytes.end()));
  // As the control registered the agent before its restart.
  ASSERT_TRUE(zu::test::SetRegString(HKEY_LOCAL_MACHINE, kRunKey, L"ZEFO Update 4",
                                L"\"" + zu::test::InstalledAgent() + L"\"  /S"));
  std::fflush(stdout);
  EXPECT_TRUE(RestartWindows());
  ::Sleep(60000);  // the restart ends this process first
  ADD_FAILURE() << "the prefix did not restart";
}

TEST(RestartRoad, DISABLED_AfterLogon) {
  // The logon ran "/showpage": it re-registers quiet starts and opens the
  // page once the network is there.
  const std::wstring page = Env(L"ZU_ROAD_SERVER") + L"/page/manual";
  EXPECT_TRUE(zu::test::WaitFor([&] {
    return zu::test::ReadFileBytes(kBrowserLog).find(Narrow(page)) != std::string::npos;
  }, 120000)) << zu::test::ReadFileBytes(kBrowserLog);
  EXPECT_TRUE(zu::test::WaitFor([] {
    return zu::test::RegString(HKEY_LOCAL_MACHINE, kRunKey, L"ZEFO Update 4") ==
           L"\"" + zu::test::InstalledAgent() + L"\"  /Stationary";
  }, 30000)) << Narrow(zu::test::RegString(HKEY_LOCAL_MACHINE, kRunKey, L"ZEFO Update 4").value_or(L"-"));

  // The second phase ran once, before the restart, and asked for it.
  const std::string log = zu::test::ReadFileBytes(kSetupLog);
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
  const auto rows = zu::test::ReadPatchListFile(kPatchList);
  ASSERT_TRUE(rows.has_value());
  EXPECT_EQ((*rows)[0].number[11], 1);
  EXPECT_EQ((*rows)[0].number[13], 1);
  EXPECT_EQ((*rows)[0].number[8], Level());
  zu::test::RunAgentToEnd(L"/HaltAll");
}

}  // namespace
