// The steps of the restart roads that run inside the throwaway prefix of
// tests/restart_road_test.sh, which restarts that prefix between them. Each
// is a DISABLED_ test the script names; nothing here runs in the lab.
//
// RestartRoad (a page's download run):
//   DISABLED_Prepare     the agent installed, the test root trusted, the
//                        browser a recorder; the page queues one signed
//                        installer that asks for a second phase after a
//                        restart, runs it, and a person confirms the
//                        control's restart notice, which ends this program
//                        with the whole session
//   DISABLED_AfterLogon  what the logons after it must have done, by the
//                        final reboot level in ZU_ROAD_LEVEL (0 none,
//                        1 restart, 2 shutdown) that the installer's second
//                        run asks for
// SelfUpdateRoad (the control's self update), ZU_ROAD_LEVEL 1 or 2:
//   DISABLED_Prepare     the same world and a copy of the control registered
//                        in a folder of its own; the page offers a newer
//                        control whose installer puts it in place and asks
//                        for a restart or shutdown; a person agrees, is told
//                        it worked, and confirms the notice
//   DISABLED_AfterLogon  the "/showpage" logon after it, and the new control
//                        in place
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
#include "tests/support/scripts.h"
#include "tests/support/test_pki.h"
#include "tests/support/text.h"

namespace {

const wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kPatchList[] = L"C:\\Update\\PatchList.dat";
const wchar_t kSetupLog[] = L"C:\\road-setup.log";
const wchar_t kBrowserLog[] = L"C:\\road-browser.log";

int Level() { return _wtoi(zu::test::Env(L"ZU_ROAD_LEVEL").c_str()); }

// What the logons after a restart need: the test root trusted, the agent
// installed with its settings pointing at the road's server, and the
// recorder as the browser, also for programs a logon starts.
void PrepareLogonWorld() {
  zu::test::TrustedRoot root(zu::test::TestRootCertificate());
  ASSERT_TRUE(root.ok());
  root.Keep();  // the prefix is thrown away with it
  zu::test::InstallAgent();
  ASSERT_NO_FATAL_FAILURE(
      zu::test::PointAgentAt(zu::test::Env(L"ZU_ROAD_SERVER") + L"/info/", 3600000));
  // The browser is the recorder, also for programs a logon starts.
  ASSERT_TRUE(zu::test::SetRegString(HKEY_LOCAL_MACHINE, zu::test::kBrowserKey, L"",
                                     zu::test::BinDir() + L"\\zurecord.exe"));
  ASSERT_TRUE(zu::test::SetRegString(HKEY_CURRENT_USER, L"Environment", L"ZU_RECORD_FILE",
                                     kBrowserLog));
}

// The logon that "/showpage" starts the agent at (after the agent's own
// restart or shutdown, or the control's): it opens the support page and
// registers quiet starts again.
void ExpectShowpageLogon() {
  const std::string page = zu::test::Utf8(zu::test::Env(L"ZU_ROAD_SERVER") + L"/page/manual");
  EXPECT_TRUE(zu::test::WaitFor([&] {
    return zu::test::ReadFileBytes(kBrowserLog).find(page) != std::string::npos;
  }, 120000)) << zu::test::ReadFileBytes(kBrowserLog);
  const std::wstring stationary = L"\"" + zu::test::InstalledAgent() + L"\"  /Stationary";
  EXPECT_TRUE(zu::test::WaitFor([&] {
    return zu::test::RegString(HKEY_LOCAL_MACHINE, kRunKey, L"ZEFO Update 4") == stationary;
  }, 30000)) << zu::test::Utf8(
      zu::test::RegString(HKEY_LOCAL_MACHINE, kRunKey, L"ZEFO Update 4").value_or(L"-"));
}

TEST(RestartRoad, DISABLED_Prepare) {
  ASSERT_NO_FATAL_FAILURE(PrepareLogonWorld());
  ASSERT_EQ(zu::test::Regsvr32(), 0u);

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
  ExpectShowpageLogon();

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

// --- The control's self update ----------------------------------------------------------

const wchar_t kControl[] = L"C:\\ZuControl\\ZUAC.dll";
const wchar_t kNewVersion[] = L"4.0.00.02000";

TEST(SelfUpdateRoad, DISABLED_Prepare) {
  ASSERT_NO_FATAL_FAILURE(PrepareLogonWorld());
  // The control as installed, registered where it is.
  ::CreateDirectoryW(L"C:\\ZuControl", nullptr);
  ASSERT_TRUE(::CopyFileW((zu::test::BinDir() + L"\\ZUAC.dll").c_str(), kControl, FALSE));
  ASSERT_TRUE(zu::test::WriteFileBytes(L"C:\\ZuControl\\Version.txt", "4.0.00.01010\r\n"));
  ASSERT_EQ(zu::test::Regsvr32(false, kControl), 0u);
  const std::string package = zu::test::ReadFileBytes(zu::test::SignedInstaller(L"vexa.exe"));
  zu::test::LoopbackHttpServer server(
      {{"/pub/ZuRoadControl.exe", zu::test::LoopbackHttpServer::Reply::With(200, package)}});
  ASSERT_TRUE(server.ok());
  // The control's installer: the newer build in place, then the level
  // asked for. Its command line is empty; it reads this.
  const std::wstring installer = std::wstring(L"/log=") + kSetupLog + L" /control=" + kControl +
                                 L" /new=" + zu::test::BinDir() + L"\\next-control\\ZUAC.dll" +
                                 L" /version=" + kNewVersion + L" /install=1 /run1=0," +
                                 std::to_wstring(Level());
  ::SetEnvironmentVariableW(L"ZU_FAKE_INSTALLER", installer.c_str());
  const std::string page = R"JS(
var texts = {100: "Control update", 300: "Updating the control", 402: "Restart needed",
  403: "Shutdown needed", 404: "Restart to finish the update.", 405: "Shut down to finish.",
  500: "The control could not be updated.", 501: "The control is up to date.",
  503: "Update the control now?"};
for (var id in texts) check(zuax.RegisterString(Number(id), texts[id]), "text " + id);
zuax.UpdateToLatestVersion()JS" + zu::test::JsString(kNewVersion) + ", " +
                           zu::test::JsString(server.Url("/pub/ZuRoadControl.exe")) + ", \"\", " +
                           std::to_string(package.size()) + ");\n";
  zu::test::Person person;
  person.Answer(L"Control update", L"OK");
  person.Answer(Level() == 2 ? L"Shutdown needed" : L"Restart needed", L"OK");
  // The confirmed notice ends the session and this program with it.
  const zu::test::RunResult run =
      zu::test::RunPageWatched(zu::test::AllowedPageAddress(), page, &person);
  ::Sleep(60000);
  ADD_FAILURE() << "the control did not end the session: " << run.output;
}

TEST(SelfUpdateRoad, DISABLED_AfterLogon) {
  ExpectShowpageLogon();
  // The new control was in place and its version verified before the end.
  EXPECT_EQ(zu::test::FileSha256(kControl),
            zu::test::FileSha256(zu::test::BinDir() + L"\\next-control\\ZUAC.dll"));
  EXPECT_EQ(zu::test::ReadFileBytes(L"C:\\ZuControl\\Version.txt"),
            zu::test::Utf8(kNewVersion) + "\r\n");
  const std::string log = zu::test::ReadFileBytes(kSetupLog);
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
  EXPECT_NE(log.find("cmd=\"C:\\Update\\ZuRoadControl\\ZuRoadControl.exe\" \n"),
            std::string::npos)
      << log;
  EXPECT_FALSE(zu::test::FileExists(L"C:\\Update\\ZuRoadControl"));
  EXPECT_EQ(zu::test::RegString(HKEY_LOCAL_MACHINE, L"Software\\Vexa Corporation\\ZEFO Update",
                                L"RebootFlg")
                .value_or(L"-"),
            L"0");
  zu::test::RunAgentToEnd(L"/HaltAll");
}

}  // namespace
