// The steps of the restart road that run inside the throwaway prefix of
// tests/restart_road_test.sh, which restarts that prefix between them. Each
// is a DISABLED_ test the script names; nothing here runs in the lab.
//
//   DISABLED_Prepare     a support page's download run: the agent
//                        installed, the test root trusted, the browser a
//                        recorder; the page queues one signed installer that
//                        asks for a second phase after a restart, runs it,
//                        and a person confirms the control's restart notice,
//                        which ends this program with the whole session
//   DISABLED_AfterLogon  what the logons after it must have done, by the
//                        final reboot level in ZU_ROAD_LEVEL (0 none,
//                        1 restart, 2 shutdown) that the installer's second
//                        run asks for
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/loopback_http.h"
#include "tests/support/engine_servers.h"
#include "tests/support/files.h"
#include "tests/support/lab.h"
#include "tests/support/page_run.h"
#include "tests/support/patch_list_file.h"
#include "tests/support/process.h"
#include "tests/support/registry.h"
#include "tests/support/test_pki.h"
#include "tests/support/text.h"

namespace {

const wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kUserKey[] = L"Software\\Vexa Corporation\\ZEFO Update\\4.0";
const wchar_t kPatchList[] = L"C:\\Update\\PatchList.dat";
const wchar_t kSetupLog[] = L"C:\\road-setup.log";
const wchar_t kBrowserLog[] = L"C:\\road-browser.log";

std::wstring Env(const wchar_t* name) {
  wchar_t value[512] = {};
  const DWORD n = ::GetEnvironmentVariableW(name, value, 512);
  return n && n < 512 ? value : L"";
}
int Level() { return _wtoi(Env(L"ZU_ROAD_LEVEL").c_str()); }

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
  ASSERT_TRUE(zu::test::SetRegString(HKEY_CURRENT_USER, L"Environment", L"ZU_RECORD_FILE",
                                     kBrowserLog));
  wchar_t system[MAX_PATH];
  ::GetSystemDirectoryW(system, MAX_PATH);
  ASSERT_EQ(zu::test::RunCaptured(std::wstring(system) + L"\\regsvr32.exe",
                                  L"/s \"" + zu::test::BinDir() + L"\\ZUAC.dll\"")
                .code,
            0u);

  // The maker's download server with one driver package.
  const std::string package = zu::test::ReadFileBytes(zu::test::SignedInstaller(L"vexa.exe"));
  ASSERT_FALSE(package.empty());
  zu::test::LoopbackHttpServer server(
      {{"/mods/RoadDriver.exe", zu::test::LoopbackHttpServer::Reply::With(200, package)}});
  ASSERT_TRUE(server.ok());
  // First run: a second one after a restart. Second run: the level asked for.
  const std::wstring parameter = std::wstring(L"/log=") + kSetupLog +
                                 L" /sleep=3000 /run1=1,1 /run2=," + std::to_wstring(Level());
  const std::string page = R"JS(
var texts = {200: "Installation notice", 201: "Some updates must be installed by hand.",
  300: "Downloading ", 400: "Finishing ", 401: "Installing ", 402: "Restart needed",
  403: "Shutdown needed", 404: "Restart to finish the driver.", 405: "Shut down to finish."};
for (var id in texts) check(zuax.RegisterString(Number(id), texts[id]), "text " + id);
check(zuax.AddModuleInfoEx("SP-ROAD", )JS" + zu::test::JsString(server.Url("/mods/RoadDriver.exe")) +
                           ", " + std::to_string(package.size()) +
                           R"JS(, "Road Driver 1.0", true, "", )JS" +
                           zu::test::JsString(parameter) + R"JS(, "0", "", "0", "0", "0"), "add");
zuax.StartDownload();
)JS";
  zu::test::Person person;
  person.Answer(L"Restart needed", L"OK");
  // The confirmed notice restarts the session and ends this program.
  const zu::test::RunResult run =
      zu::test::RunPageWatched(zu::test::AllowedPageAddress(), page, &person);
  ::Sleep(60000);
  ADD_FAILURE() << "the control did not restart the prefix: " << run.output;
}

TEST(RestartRoad, DISABLED_AfterLogon) {
  // The "/S" agent (level 0) or the "/showpage" logon after its restart
  // or shutdown registered quiet starts and opened the page.
  const std::string page = zu::test::Utf8(Env(L"ZU_ROAD_SERVER") + L"/page/manual");
  EXPECT_TRUE(zu::test::WaitFor([&] {
    return zu::test::ReadFileBytes(kBrowserLog).find(page) != std::string::npos;
  }, 120000)) << zu::test::ReadFileBytes(kBrowserLog);
  const std::wstring stationary = L"\"" + zu::test::InstalledAgent() + L"\"  /Stationary";
  EXPECT_TRUE(zu::test::WaitFor([&] {
    return zu::test::RegString(HKEY_LOCAL_MACHINE, kRunKey, L"ZEFO Update 4") == stationary;
  }, 30000)) << zu::test::Utf8(
      zu::test::RegString(HKEY_LOCAL_MACHINE, kRunKey, L"ZEFO Update 4").value_or(L"-"));

  // The first run in the control's session, the second in the agent's.
  const std::string log = zu::test::ReadFileBytes(kSetupLog);
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2) << log;
  EXPECT_NE(log.find("run=2 launch=1 delete_open=0 cmd=\"C:\\Update\\RoadDriver\\RoadDriver.exe\""),
            std::string::npos)
      << log;
  const auto rows = zu::test::ReadPatchListFile(kPatchList);
  ASSERT_TRUE(rows.has_value());
  ASSERT_EQ(rows->size(), 1u);
  const zu::test::PatchListRow& row = (*rows)[0];
  EXPECT_EQ(row.number[5], 1);
  EXPECT_EQ(row.number[6], 1);
  EXPECT_EQ(row.number[8], Level());
  for (int c : {10, 11, 12, 13}) EXPECT_EQ(row.number[c], 1) << c;
  EXPECT_EQ(row.number[14], 0) << "the page's own flags asked for one phase";
  zu::test::RunAgentToEnd(L"/HaltAll");
}

}  // namespace
