// The self update as a support page drives it: ZUAC.dll copied into a
// folder of its own with "Version.txt" beside it and registered there,
// pages run by ZUPageHost.exe on an allowed address, a person who answers
// the questions and notices, the signed fake installers doing what the
// control's installer does (the loaded library renamed aside, the newer
// build copied in, "Version.txt" written), the engine's test servers
// (with_engine_servers.sh) for the installer and the failure page, and the
// recorder as the browser.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/patch_installer.h"
#include "tests/support/engine_servers.h"
#include "tests/support/files.h"
#include "tests/support/lab.h"
#include "tests/support/page_run.h"
#include "tests/support/process.h"
#include "tests/support/registry.h"
#include "tests/support/scripts.h"
#include "tests/support/test_pki.h"
#include "tests/support/text.h"
#include "tools/uiauto/uiauto.h"

namespace {

using zu::test::EngineServers;
using zu::test::JsString;
using zu::test::Lines;
using zu::test::Person;
using zu::test::Utf8;

const bool kTrustRoot = (zu::test::TrustTestRootForWholeRun(), true);

const wchar_t kControlDir[] = L"C:\\ZuSelfUpdate";
const wchar_t kControl[] = L"C:\\ZuSelfUpdate\\ZUAC.dll";
const wchar_t kVersionText[] = L"C:\\ZuSelfUpdate\\Version.txt";
const wchar_t kInstallerLog[] = L"C:\\ZuSelfUpdate\\installer.log";
const char kInstaller[] = "ZuCtrlSetup.exe";
const wchar_t kDownloaded[] = L"C:\\Update\\ZuCtrlSetup\\ZuCtrlSetup.exe";
const wchar_t kDownloadFolder[] = L"C:\\Update\\ZuCtrlSetup";
const wchar_t kOld[] = L"4.0.00.01010";
const wchar_t kNew[] = L"4.0.00.02000";

// The caption of every question and notice of the self update (text 100).
const wchar_t kCaption[] = L"Control update";
const wchar_t kAsked[] = L"Control update: Update the control now?";
const wchar_t kFailed[] = L"Control update: The control could not be updated.";
const wchar_t kDone[] = L"Control update: The control is up to date.";
const char kTexts[] = R"JS(
var texts = {100: "Control update", 300: "Updating the control", 301: "Status:", 302: "bytes",
  303: "Remaining:", 304: "h", 305: "min", 306: "s", 307: "Stop", 400: "Finishing the control",
  401: "Installing the control", 500: "The control could not be updated.",
  501: "The control is up to date.", 502: "ZEFO Update control", 503: "Update the control now?",
  504: "The control stays as it is."};
for (var id in texts) check(zuax.RegisterString(Number(id), texts[id]), "text " + id);
function hex(n) { return "0x" + (n >>> 0).toString(16); }
function report(ok) {
  host.Echo("result=" + ok + " error=" + hex(zuax.GetLastError()) + " refresh=" +
            host.RefreshCount + " self=" + zuax.GetSelfVersion());
}
)JS";

std::wstring NextControl() { return zu::test::BinDir() + L"\\next-control\\ZUAC.dll"; }

// A page that offers the version with the installer and the failure page.
std::string Offer(const std::wstring& version, const std::wstring& url,
                  const std::wstring& failed_url, long long size) {
  return std::string(kTexts) + "report(zuax.UpdateToLatestVersion(" + JsString(version) + ", " +
         JsString(url) + ", " + JsString(failed_url) + ", " + std::to_string(size) + "));\n";
}

class SelfUpdateE2E : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    servers_ = new EngineServers();
    https_root_ = new zu::test::TrustedRoot(servers_->RootCertificate());
    debug_ = new zu::test::DebugFileAside();
    ::CreateDirectoryW(L"C:\\Update", nullptr);
    ::CreateDirectoryW(kControlDir, nullptr);
    ::CopyFileW((zu::test::BinDir() + L"\\ZUAC.dll").c_str(), kControl, FALSE);
    registered_ = zu::test::Regsvr32(false, kControl) == 0u;
  }
  static void TearDownTestSuite() {
    zu::test::Regsvr32(true, kControl);
    for (const wchar_t* name : {L"ZUAC.dll", L"ZUAC.dll.old", L"Version.txt", L"installer.log"})
      ::DeleteFileW((std::wstring(kControlDir) + L"\\" + name).c_str());
    ::RemoveDirectoryW(kControlDir);
    delete debug_;
    delete https_root_;
    delete servers_;
  }
  void SetUp() override {
    if (!servers_->ok()) GTEST_SKIP() << "run through with_engine_servers.sh";
    ASSERT_TRUE(registered_) << "regsvr32 did not register the copy of ZUAC.dll";
    InstallThisControl();
    RemoveDownload();
    flags_.Clear();
    ASSERT_TRUE(zu::test::RecordBrowserStarts(browser_log_));
    ASSERT_TRUE(::CopyFileW(zu::test::SignedInstaller(L"vexa.exe").c_str(),
                            servers_->ServedFile(kInstaller).c_str(), FALSE));
    ASSERT_TRUE(zu::test::WriteFileBytes(servers_->ServedFile("failed.html"), "<html>sorry</html>"));
    // The installer does what the control's own does, on its first run.
    Installer(L"/run1=0,0 /install=1");
    servers_->ClearLog();
  }
  void TearDown() override {
    ::SetEnvironmentVariableW(L"ZU_FAKE_INSTALLER", nullptr);
    ::SetEnvironmentVariableW(L"ZU_RECORD_FILE", nullptr);
    ::DeleteFileW(browser_log_.c_str());
    RemoveDownload();
  }

  static void RemoveDownload() {
    for (const wchar_t* suffix : {L"", L"ZU!"})
      ::DeleteFileW((std::wstring(kDownloaded) + suffix).c_str());
    ::RemoveDirectoryW(kDownloadFolder);
  }
  // The control as installed: this build, its version text beside it.
  static void InstallThisControl() {
    ::DeleteFileW((std::wstring(kControl) + L".old").c_str());
    ASSERT_TRUE(::CopyFileW((zu::test::BinDir() + L"\\ZUAC.dll").c_str(), kControl, FALSE));
    SetInstalledVersion(kOld);
    ::DeleteFileW(kInstallerLog);
  }
  static void SetInstalledVersion(const std::wstring& text) {
    ASSERT_TRUE(zu::test::WriteFileBytes(kVersionText, Utf8(text) + "\r\n"));
  }
  // What the fake installer is told through its environment (its command
  // line is empty); the new version unless given.
  void Installer(const std::wstring& runs, const std::wstring& version = kNew) {
    const std::wstring options = std::wstring(L"/log=") + kInstallerLog + L" /control=" +
                                 kControl + L" /new=" + NextControl() + L" /version=" + version +
                                 L" " + runs;
    ::SetEnvironmentVariableW(L"ZU_FAKE_INSTALLER", options.c_str());
  }
  static long long InstallerSize(const wchar_t* signed_name = L"vexa.exe") {
    return static_cast<long long>(
        zu::test::ReadFileBytes(zu::test::SignedInstaller(signed_name)).size());
  }
  zu::test::RunResult Run(const std::string& page, Person* person = nullptr,
                          HANDLE token = nullptr) {
    return zu::test::RunPageWatched(zu::test::AllowedPageAddress(), page, person, token);
  }
  std::string InstalledVersionText() const { return zu::test::ReadFileBytes(kVersionText); }
  std::vector<std::string> InstallerRuns() const {
    return Lines(zu::test::ReadFileBytes(kInstallerLog));
  }
  std::string BrowserLog() const { return zu::test::ReadFileBytes(browser_log_); }

  static EngineServers* servers_;
  static zu::test::TrustedRoot* https_root_;
  static zu::test::DebugFileAside* debug_;
  static bool registered_;
  const std::wstring browser_log_ = zu::test::BinDir() + L"\\self-update-browser.log";
  zu::test::KeySnapshot flags_{HKEY_LOCAL_MACHINE, kInstallerFlagsKey};
  zu::test::KeySnapshot browser_{HKEY_LOCAL_MACHINE, zu::test::kBrowserKey};
};
EngineServers* SelfUpdateE2E::servers_ = nullptr;
zu::test::TrustedRoot* SelfUpdateE2E::https_root_ = nullptr;
zu::test::DebugFileAside* SelfUpdateE2E::debug_ = nullptr;
bool SelfUpdateE2E::registered_ = false;

TEST_F(SelfUpdateE2E, TheOfferedVersionDecidesBeforeAnyDialog) {
  // The control here is as new as an offer can be: what the rule lets
  // through is never newer, so nothing is asked or fetched.
  SetInstalledVersion(L"9.9.99.99999");
  const struct {
    const wchar_t* version;
    const char* answer;
  } cases[] = {
      {L"4.0.00.01010", "result=true error=0x0"},   // lower bounds
      {L"9.9.99.99999", "result=true error=0x0"},   // upper bounds, and equal
      {L"4.0.00.1234", "result=true error=0x0"},
      {L"10.0.00.01010", "result=true error=0x0"},  // "10" sorts before "9"
      {L"4.0.00.00999", "result=false error=0x20000018"},
      {L"0.1.00.01010", "result=false error=0x20000018"},
      {L"4.0.0.1234", "result=false error=0x20000018"},
      {L"4.0.00.1234a", "result=false error=0x20000018"},
      {L"4.0.00", "result=false error=0x20000018"},
      {L"", "result=false error=0x20000018"},
  };
  std::string page = kTexts;
  for (const auto& c : cases)
    page += "report(zuax.UpdateToLatestVersion(" + JsString(c.version) + ", " +
            JsString(servers_->Http(kInstaller)) + ", \"\", 1));\n";
  Person person;
  person.Answer(kCaption, L"Cancel");
  const zu::test::RunResult run = Run(page, &person);
  EXPECT_EQ(run.code, 0u) << run.output;
  std::vector<std::string> answers = Lines(run.output);
  std::erase_if(answers, [](const std::string& l) { return l.rfind("result=", 0) != 0; });
  ASSERT_EQ(answers.size(), std::size(cases)) << run.output;
  for (std::size_t i = 0; i < answers.size(); ++i)
    EXPECT_EQ(answers[i].rfind(cases[i].answer, 0), 0u) << Utf8(cases[i].version) << ": "
                                                          << answers[i];
  EXPECT_TRUE(person.boxes.empty());
  EXPECT_TRUE(servers_->Log().empty());

  // An older control asks; the user declines.
  SetInstalledVersion(kOld);
  person.Answer(kCaption, L"OK");  // the notice after the Cancel
  const zu::test::RunResult declined =
      Run(Offer(L"9.9.99.99999", servers_->Http(kInstaller), L"", InstallerSize()), &person);
  EXPECT_NE(declined.output.find("result=false error=0x0 refresh=0"), std::string::npos)
      << declined.output;
  EXPECT_EQ(person.boxes, (std::vector<std::wstring>{
                              kAsked, L"Control update: The control stays as it is."}));
  EXPECT_TRUE(servers_->Log().empty());

  // A standard user is refused before anything is asked.
  zu::UniqueHandle user = zu::test::NonAdminToken();
  ASSERT_TRUE(user);
  Person nobody;
  const zu::test::RunResult refused = Run(
      Offer(L"9.9.99.99999", servers_->Http(kInstaller), L"", InstallerSize()), &nobody, user.get());
  EXPECT_NE(refused.output.find("result=false error=0x20000002"), std::string::npos)
      << refused.output;
  EXPECT_TRUE(nobody.boxes.empty());
  EXPECT_TRUE(servers_->Log().empty());
}

TEST_F(SelfUpdateE2E, ASingleRunInstallerReplacesTheLoadedControlAndThePageReloads) {
  Person person;
  person.Answer(kCaption, L"OK");
  const zu::test::RunResult run =
      Run(Offer(kNew, servers_->Http(kInstaller), servers_->Http("failed.html"), InstallerSize()),
          &person);
  EXPECT_EQ(run.code, 0u) << run.output;
  // The page still runs the library it loaded.
  EXPECT_NE(run.output.find("result=true error=0x0 refresh=1 self=" ZU_TEST_VERSION),
            std::string::npos)
      << run.output;
  EXPECT_EQ(person.boxes, (std::vector<std::wstring>{kAsked, kDone}));

  // The installer ran once with an empty parameter, and is gone with its folder.
  const std::vector<std::string> runs = InstallerRuns();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0], "run=1 launch=1 delete_open=0 cmd=\"" + Utf8(kDownloaded) + "\" ");
  EXPECT_FALSE(zu::test::FileExists(kDownloadFolder));
  // The new library in place, the loaded one aside, the new version text.
  EXPECT_EQ(zu::test::FileSha256(kControl), zu::test::FileSha256(NextControl()));
  EXPECT_EQ(zu::test::FileSha256(std::wstring(kControl) + L".old"),
            zu::test::FileSha256(zu::test::BinDir() + L"\\ZUAC.dll"));
  EXPECT_EQ(InstalledVersionText(), Utf8(kNew) + "\r\n");
  EXPECT_EQ(zu::test::RegString(HKEY_LOCAL_MACHINE, kInstallerFlagsKey, L"RebootFlg").value_or(L"-"), L"0");
  EXPECT_EQ(zu::test::RegString(HKEY_LOCAL_MACHINE, kInstallerFlagsKey, L"InstallFlg").value_or(L"-"), L"0");
  // One download with the library's agent; no failure page asked or opened.
  const std::vector<EngineServers::Entry> fetched = servers_->RequestsFor(kInstaller);
  ASSERT_EQ(fetched.size(), 1u);
  EXPECT_EQ(fetched[0].at("agent"), "ZEFOUpdate-ActiveX/" ZU_TEST_VERSION);
  EXPECT_TRUE(servers_->RequestsFor("failed.html").empty());
  EXPECT_EQ(BrowserLog(), "");

  // The next page loads the new control, which has nothing more to do.
  const zu::test::RunResult next = Run(Offer(kNew, servers_->Http(kInstaller), L"", 1));
  EXPECT_NE(next.output.find("result=true error=0x0 refresh=0 self=" ZU_NEXT_CONTROL_VERSION),
            std::string::npos)
      << next.output;
}

TEST_F(SelfUpdateE2E, ATwoPhaseInstallerOverFtpAndASingleOneOverHttpsRunAsTheyAsk) {
  const struct {
    const char* what;
    std::wstring url;
    const wchar_t* runs;
    std::size_t launches;
  } cases[] = {
      {"two phases, over FTP", EngineServers::Ftp("127.0.0.15", kInstaller),
       L"/run1=1,0 /run2=0,0 /install=2", 2},
      {"one phase, over HTTPS", servers_->Https(kInstaller), L"/run1=0,0 /install=1", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    InstallThisControl();
    Installer(c.runs);
    Person person;
    person.Answer(kCaption, L"OK");
    const zu::test::RunResult run = Run(Offer(kNew, c.url, L"", InstallerSize()), &person);
    EXPECT_NE(run.output.find("result=true error=0x0 refresh=1"), std::string::npos) << run.output;
    EXPECT_EQ(person.boxes, (std::vector<std::wstring>{kAsked, kDone}));
    EXPECT_EQ(InstallerRuns().size(), c.launches);
    EXPECT_EQ(zu::test::FileSha256(kControl), zu::test::FileSha256(NextControl()));
    EXPECT_FALSE(zu::test::FileExists(kDownloadFolder));
  }
}

TEST_F(SelfUpdateE2E, AFailedUpdateKeepsTheControlAndOpensTheFailurePageOnlyWhenItAnswers) {
  const std::wstring answers = servers_->Http("failed.html");
  const std::wstring missing = servers_->Http("status=404/failed.html");
  const struct {
    const char* what;
    std::wstring url;
    const wchar_t* signed_name;
    std::wstring version_left;  // by the installer
    std::wstring failed_url;
    const char* answer;
    std::size_t launches;
    bool installer_kept;
  } cases[] = {
      {"the wrong version left", servers_->Http(kInstaller), L"vexa.exe", L"4.0.00.01999", answers,
       "result=false error=0x0 refresh=0", 1, true},
      {"the wrong version, no failure page", servers_->Http(kInstaller), L"vexa.exe",
       L"4.0.00.01999", missing, "result=false error=0x0 refresh=0", 1, true},
      {"not signed: never runs", servers_->Http(kInstaller), L"unsigned.exe", kNew, answers,
       "result=false error=0x0 refresh=0", 0, true},
      {"the download fails", servers_->Http("status=404/ZuCtrlSetup.exe"), L"vexa.exe", kNew,
       answers, "result=false error=0x20000011 refresh=0", 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    InstallThisControl();
    RemoveDownload();
    ::DeleteFileW(browser_log_.c_str());
    servers_->ClearLog();
    ASSERT_TRUE(::CopyFileW(zu::test::SignedInstaller(c.signed_name).c_str(),
                            servers_->ServedFile(kInstaller).c_str(), FALSE));
    Installer(L"/run1=0,0 /install=1", c.version_left);
    Person person;
    person.Answer(kCaption, L"OK");
    const zu::test::RunResult run =
        Run(Offer(kNew, c.url, c.failed_url, InstallerSize(c.signed_name)), &person);
    EXPECT_NE(run.output.find(c.answer), std::string::npos) << run.output;
    EXPECT_EQ(person.boxes, (std::vector<std::wstring>{kAsked, kFailed}));
    EXPECT_EQ(InstallerRuns().size(), c.launches);
    EXPECT_EQ(zu::test::FileExists(kDownloaded), c.installer_kept);
    // The failure page was asked with the control's version text as it is
    // now, and opened only when it answered.
    const std::vector<EngineServers::Entry> probes = servers_->RequestsFor("failed.html");
    ASSERT_EQ(probes.size(), 1u);
    EXPECT_EQ(probes[0].at("agent"),
              "ZEFOUpdate-Client/" + Utf8(c.launches ? c.version_left : std::wstring(kOld)));
    // The browser is started without waiting for it.
    const bool opened = c.failed_url == answers;
    EXPECT_EQ(zu::test::WaitFor(
                  [&] { return BrowserLog().find(Utf8(c.failed_url)) != std::string::npos; },
                  opened ? 20000 : 3000),
              opened)
        << BrowserLog();
    if (c.launches == 0) {
      EXPECT_EQ(zu::test::FileSha256(kControl),
                zu::test::FileSha256(zu::test::BinDir() + L"\\ZUAC.dll"));
      EXPECT_EQ(InstalledVersionText(), Utf8(kOld) + "\r\n");
    }
  }
}

TEST_F(SelfUpdateE2E, CancelInTheDownloadViewFailsTheUpdateAndKeepsThePart) {
  Person person;
  person.Answer(kCaption, L"OK");
  person.WatchTitles(L"Updating the control");
  person.OnTitle([](HWND dialog, const std::wstring&) {
    ::Sleep(1000);
    EXPECT_TRUE(zu::ui::PressButton(dialog, L"Stop"));
  });
  const zu::test::RunResult run =
      Run(Offer(kNew, servers_->Http("throttle=20000/ZuCtrlSetup.exe"),
                servers_->Http("failed.html"), InstallerSize()),
          &person);
  EXPECT_NE(run.output.find("result=false error=0x0 refresh=0"), std::string::npos) << run.output;
  EXPECT_EQ(person.boxes, (std::vector<std::wstring>{kAsked, kFailed}));
  const long long part = zu::test::FileSize(std::wstring(kDownloaded) + L"ZU!");
  EXPECT_GT(part, 0);
  EXPECT_LT(part, InstallerSize());
  EXPECT_TRUE(InstallerRuns().empty());
  EXPECT_TRUE(zu::test::WaitFor(
      [&] { return BrowserLog().find(Utf8(servers_->Http("failed.html"))) != std::string::npos; },
      20000));
}

}  // namespace
