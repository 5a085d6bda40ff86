// Installing as a support page drives it: ZUAC.dll registered by regsvr32
// and called from pages run by ZUPageHost.exe, on C:\Update as it is.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "common/framework/handle.h"
#include "common/patch_list_format.h"
#include "tests/support/files.h"
#include "tests/support/lab.h"
#include "tests/support/process.h"
#include "tests/support/registry.h"
#include "tests/loopback_http.h"
#include "tests/support/page_run.h"
#include "tests/support/patch_list_file.h"
#include "tests/support/test_pki.h"
#include "tools/uiauto/uiauto.h"

namespace {

using zu::test::AllowedPageAddress;
using zu::test::JsString;
using zu::test::kRefusedPageAddress;
using zu::test::RunPage;

const bool kTrustRoot = (zu::test::TrustTestRootForWholeRun(), true);

const wchar_t kPatchList[] = L"C:\\Update\\PatchList.dat";
const wchar_t kUncheckFile[] = L"C:\\Update\\UncheckItem.dat";
const wchar_t kDebugIni[] = L"C:\\Update\\Debug.ini";

std::wstring Dll() { return zu::test::BinDir() + L"\\ZUAC.dll"; }
std::wstring Regsvr32() {
  wchar_t dir[MAX_PATH];
  ::GetSystemDirectoryW(dir, MAX_PATH);
  return std::wstring(dir) + L"\\regsvr32.exe";
}

class InstallE2E : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ::CreateDirectoryW(L"C:\\Update", nullptr);
    registered_ = zu::test::RunCaptured(Regsvr32(), L"/s \"" + Dll() + L"\"").code == 0u;
  }
  static void TearDownTestSuite() { zu::test::RunCaptured(Regsvr32(), L"/u /s \"" + Dll() + L"\""); }
  void SetUp() override {
    ASSERT_TRUE(registered_) << "regsvr32 did not register ZUAC.dll";
    ::DeleteFileW(kDebugIni);
    ::DeleteFileW(kPatchList);
    ::DeleteFileW(kUncheckFile);
  }

  static bool registered_;
  zu::test::FileSnapshot debug_{kDebugIni};
  zu::test::FileSnapshot patch_list_{kPatchList};
  zu::test::FileSnapshot uncheck_{kUncheckFile};
};
bool InstallE2E::registered_ = false;

TEST_F(InstallE2E, UncheckedItemsAreStoredForAdministratorsAndOnlyOneMarksThem) {
  zu::test::RunResult r = RunPage(AllowedPageAddress(), R"JS(
check(zuax.SetUnCheckItem("KB100") === true && zuax.GetLastError() === 0, "stored");
check(zuax.IsUnChecked("KB100") === true, "marked");
check(zuax.IsUnChecked("kb100") === true, "names are keys of an INI file: case is ignored");
check(zuax.IsUnChecked("KB200") === false, "another item");
check(zuax.SetUnCheckItem("") === false && zuax.GetLastError() === 0, "an empty name writes nothing");
check(zuax.SetUnCheckItem("X\r\n[UncheckItem]\r\nKB300") === false &&
      zuax.GetLastError() === 0x20000015, "a name that would be several keys is refused");
check(zuax.IsUnChecked("KB300") === false, "and wrote nothing");
check(zuax.SetUnCheckItem("a=b") === false, "so is one that would end the key early");
check(zuax.SetUnCheckItem("KB400") === true, "a second item");
check(zuax.ResetUnCheckItem("KB400") === true, "reset");
check(zuax.IsUnChecked("KB400") === false, "no longer marked");
)JS");
  EXPECT_EQ(r.code, 0u) << r.output;
  // Values the page did not write.
  zu::test::WriteFileBytes(kUncheckFile, zu::test::ReadFileBytes(kUncheckFile) + "TWO=11\r\nZERO=0\r\nONE=1\r\n");
  r = RunPage(AllowedPageAddress(), R"JS(
check(zuax.IsUnChecked("TWO") === false, "a value of two characters");
check(zuax.IsUnChecked("ZERO") === false, "a value of 0");
check(zuax.IsUnChecked("ONE") === true, "a value of 1 written by hand");
check(zuax.IsUnChecked("KB100") === true, "kept");
)JS");
  EXPECT_EQ(r.code, 0u) << r.output;
  const std::string file = zu::test::ReadFileBytes(kUncheckFile);
  EXPECT_NE(file.find("[UncheckItem]"), std::string::npos) << file;
  EXPECT_NE(file.find("KB100=1"), std::string::npos) << file;
  EXPECT_EQ(file.find("KB400"), std::string::npos) << file;
  EXPECT_EQ(file.find("KB300"), std::string::npos) << file;

  // A standard user's page reads them but changes nothing.
  zu::UniqueHandle token = zu::test::NonAdminToken();
  ASSERT_TRUE(token);
  r = RunPage(AllowedPageAddress(), R"JS(
check(zuax.IsAdmin() === false, "runs as a standard user");
check(zuax.IsUnChecked("KB100") === true, "reads");
check(zuax.SetUnCheckItem("KB500") === false && zuax.GetLastError() === 0x20000002, "set refused");
check(zuax.ResetUnCheckItem("KB100") === false && zuax.GetLastError() === 0x20000002,
      "reset refused");
)JS", token.get());
  EXPECT_EQ(r.code, 0u) << r.output;
  EXPECT_EQ(zu::test::ReadFileBytes(kUncheckFile), file);
}

TEST_F(InstallE2E, PatchRecordsAreListedAndTheirFilesDeleted) {
  const std::wstring folders[] = {L"C:\\Update\\zu-e2e-one", L"C:\\Update\\zu-e2e-two",
                                  L"C:\\Update\\zu-e2e-gone"};
  for (const std::wstring& f : folders) ::CreateDirectoryW(f.c_str(), nullptr);
  zu::test::WriteFileBytes(L"C:\\Update\\zu-e2e-one\\one.exe", "1");
  zu::test::WriteFileBytes(L"C:\\Update\\zu-e2e-two\\two.exe", "2");
  zu::test::WriteFileBytes(L"C:\\Update\\zu-e2e-two\\keep.txt", "k");

  auto record = [](const wchar_t* spid, const wchar_t* path, int started, int installed) {
    patch_list::PatchRecord r;
    r.path = path;
    r.spid = spid;
    r.auto_exec = 1;
    r.first_started = started;
    r.installed = installed;
    return r;
  };
  const std::vector<std::uint8_t> bytes = patch_list::BuildFile({
      record(L"SP-ONE", L"C:\\Update\\zu-e2e-one\\one.exe", 1, 1),
      record(L"SP-TWO", L"C:\\Update\\zu-e2e-two\\two.exe", 1, 0),
      record(L"SP-GONE", L"C:\\Update\\zu-e2e-gone\\gone.exe", 0, 1),
      record(L"SP-NOT-RUN", L"C:\\Update\\zu-e2e-one\\one.exe", 0, 0),
      record(L"", L"C:\\Update\\zu-e2e-two\\two.exe", 1, 1),
  });
  zu::test::WriteFileBytes(kPatchList, std::string(bytes.begin(), bytes.end()));

  zu::test::RunResult r = RunPage(AllowedPageAddress(), R"JS(
check(zuax.GetExecutedPatches() === "SP-ONE,SP-TWO,SP-GONE", "executed " + zuax.GetExecutedPatches());
check(zuax.GetLastError() === 0, "read");
check(zuax.DeletePatchFile("sp-one") === true && zuax.GetLastError() === 0, "file and folder");
check(zuax.DeletePatchFile("SP-TWO") === true, "file; the folder keeps another file");
check(zuax.DeletePatchFile("SP-GONE") === true && zuax.GetLastError() === 0x20000005,
      "no file, the empty folder removed");
check(zuax.DeletePatchFile("SP-GONE") === false && zuax.GetLastError() === 0x20000005,
      "nothing left");
check(zuax.DeletePatchFile("SP-NONE") === false && zuax.GetLastError() === 0, "no record");
check(zuax.DeletePatchListFile() === true, "list deleted");
check(zuax.DeletePatchListFile() === false, "already gone");
check(zuax.GetExecutedPatches() === "" && zuax.GetLastError() === 0, "no list, no patches");
)JS");
  EXPECT_EQ(r.code, 0u) << r.output;
  EXPECT_FALSE(zu::test::FileExists(L"C:\\Update\\zu-e2e-one"));
  EXPECT_FALSE(zu::test::FileExists(L"C:\\Update\\zu-e2e-two\\two.exe"));
  EXPECT_TRUE(zu::test::FileExists(L"C:\\Update\\zu-e2e-two\\keep.txt"));
  EXPECT_FALSE(zu::test::FileExists(L"C:\\Update\\zu-e2e-gone"));
  EXPECT_FALSE(zu::test::FileExists(kPatchList));
  ::DeleteFileW(L"C:\\Update\\zu-e2e-two\\keep.txt");
  ::RemoveDirectoryW(L"C:\\Update\\zu-e2e-two");
}

TEST_F(InstallE2E, ARefusedPageChangesNoRecordAndNoItem) {
  ::CreateDirectoryW(L"C:\\Update\\zu-e2e-one", nullptr);
  zu::test::WriteFileBytes(L"C:\\Update\\zu-e2e-one\\one.exe", "1");
  patch_list::PatchRecord one;
  one.path = L"C:\\Update\\zu-e2e-one\\one.exe";
  one.spid = L"SP-ONE";
  one.installed = 1;
  const std::vector<std::uint8_t> bytes = patch_list::BuildFile({one});
  const std::string list(bytes.begin(), bytes.end());
  zu::test::WriteFileBytes(kPatchList, list);
  const std::string items = "[UncheckItem]\r\nKB1=1\r\n";
  zu::test::WriteFileBytes(kUncheckFile, items);

  zu::test::RunResult r = RunPage(kRefusedPageAddress, R"JS(
check(zuax.SetUnCheckItem("KB2") === false, "SetUnCheckItem");
check(zuax.ResetUnCheckItem("KB1") === false, "ResetUnCheckItem");
check(zuax.IsUnChecked("KB1") === false, "IsUnChecked");
check(zuax.GetExecutedPatches() === "", "GetExecutedPatches");
check(zuax.DeletePatchFile("SP-ONE") === false, "DeletePatchFile");
check(zuax.DeletePatchListFile() === false, "DeletePatchListFile");
check(zuax.GetLastError() === -1, "no code set");
)JS");
  EXPECT_EQ(r.code, 0u) << r.output;
  EXPECT_EQ(zu::test::ReadFileBytes(kPatchList), list);
  EXPECT_EQ(zu::test::ReadFileBytes(kUncheckFile), items);
  EXPECT_TRUE(zu::test::FileExists(L"C:\\Update\\zu-e2e-one\\one.exe"));
  ::DeleteFileW(L"C:\\Update\\zu-e2e-one\\one.exe");
  ::RemoveDirectoryW(L"C:\\Update\\zu-e2e-one");
}

// --- The agent's "/S" run ----------------------------------------------------------------

const wchar_t kUserKey[] = L"Software\\Vexa Corporation\\ZEFO Update\\4.0";
const wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kXpModeKey[] = L"Software\\Wine\\AppDefaults\\ZEFOUpdt.exe";
const wchar_t kFlagsKey[] = L"Software\\Vexa Corporation\\ZEFO Update";

using Reply = zu_test::LoopbackHttpServer::Reply;

// The agent after a restart, as the Run value of a Windows XP logon starts
// it: the maker's server on loopback answers every model's information
// file with a manual support page, and the browser is the recorder.
class AgentInstallE2E : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { zu::test::InstallAgent(); }
  void SetUp() override {
    ASSERT_TRUE(server_.ok());
    zu::test::StopAllAgents();
    user_.Clear();
    flags_.Clear();
    ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kRunKey, L"ZEFO Update 4");
    ASSERT_TRUE(zu::test::SetRegString(HKEY_CURRENT_USER, kXpModeKey, L"Version", L"winxp"));
    ASSERT_TRUE(zu::test::SetRegDword(HKEY_CURRENT_USER, kUserKey, L"FirstRun", 0));
    ASSERT_TRUE(zu::test::SetRegDword(HKEY_CURRENT_USER, kUserKey, L"_Debug_PulseInterval", 3600000));
    zu::test::InstallSettingsFile();
    ::WritePrivateProfileStringW(L"Setting", L"InfoFileURLBase", server_.Url("/info/").c_str(),
                                 zu::test::SettingsFile().c_str());
    ASSERT_TRUE(zu::test::RecordBrowserStarts(browser_log_));
    ::CreateDirectoryW(L"C:\\Update", nullptr);
    ::CreateDirectoryW(kModuleFolder, nullptr);
    ::CopyFileW(zu::test::SignedInstaller(L"vexa.exe").c_str(), kSetup, FALSE);
    ::DeleteFileW(kSetupLog);
  }
  void TearDown() override {
    zu::test::StopAllAgents();
    ::SetEnvironmentVariableW(L"ZU_RECORD_FILE", nullptr);
    ::DeleteFileW(browser_log_.c_str());
    ::DeleteFileW(kSetup);
    ::DeleteFileW(kSetupLog);
    ::RemoveDirectoryW(kModuleFolder);
    ::DeleteFileW(kPatchList);
  }

  // The list the control leaves when the first phase asked for a restart.
  void WritePendingList(const std::wstring& second_run_flags) {
    patch_list::PatchRecord r;
    r.path = kSetup;
    r.size = 1;
    r.name = L"Graphics Driver 2.0";
    r.auto_exec = 1;
    r.parameter = std::wstring(L"/log=") + kSetupLog + L" /sleep=3000 " + second_run_flags;
    r.phase_flag = 1;
    r.first_reboot = 1;
    r.install_reboot = 0;
    r.first_started = 1;
    r.first_launched = 1;
    r.two_phase_restart = 1;
    r.spid = L"SP-GFX";
    const std::vector<std::uint8_t> bytes = patch_list::BuildFile({r});
    zu::test::WriteFileBytes(kPatchList, std::string(bytes.begin(), bytes.end()));
  }
  std::optional<std::wstring> RunValue() {
    return zu::test::RegString(HKEY_LOCAL_MACHINE, kRunKey, L"ZEFO Update 4");
  }
  std::string Page() const {
    return "http://127.0.0.1:" + std::to_string(server_.port()) + "/page/manual";
  }

  static constexpr const wchar_t* kModuleFolder = L"C:\\Update\\zu-e2e-gfx";
  static constexpr const wchar_t* kSetup = L"C:\\Update\\zu-e2e-gfx\\zu-e2e-gfx.exe";
  static constexpr const wchar_t* kSetupLog = L"C:\\Update\\zu-e2e-gfx\\setup.log";
  zu_test::LoopbackHttpServer server_{[this](const zu_test::LoopbackHttpServer::Request& r) {
    if (r.path.starts_with("/page/")) return Reply::With(200, "<html>support</html>");
    return Reply::With(200, "<?xml version=\"1.0\"?>\n<zefo><lastupdate>2001-1-1-0:0-GMT"
                            "</lastupdate><urlmanual>" + Page() + "</urlmanual></zefo>\n");
  }};
  const std::wstring browser_log_ = zu::test::BinDir() + L"\\install-browser.log";
  zu::test::KeySnapshot user_{HKEY_CURRENT_USER, kUserKey};
  zu::test::KeySnapshot xp_mode_{HKEY_CURRENT_USER, kXpModeKey};
  zu::test::KeySnapshot run_{HKEY_LOCAL_MACHINE, kRunKey};
  zu::test::KeySnapshot flags_{HKEY_LOCAL_MACHINE, kFlagsKey};
  zu::test::KeySnapshot browser_{HKEY_LOCAL_MACHINE, zu::test::kBrowserKey};
  zu::test::FileSnapshot settings_{zu::test::SettingsFile()};
  zu::test::FileSnapshot patch_list_{kPatchList};
};

TEST_F(AgentInstallE2E, SlashSRunsTheSecondPhaseThenRegistersQuietStartsAndOpensTheSupportPage) {
  WritePendingList(L"/run1=,0");
  zu::test::Process agent = zu::test::StartAgent(L"/S");
  ASSERT_TRUE(agent);
  HWND dialog = zu::ui::WaitForWindow(L"Now Installing...(1/1)", L"#32770", 60000, agent.pid());
  ASSERT_NE(dialog, nullptr);
  const auto name = zu::ui::FindControl(dialog, 1013);
  ASSERT_TRUE(name.has_value());
  EXPECT_EQ(name->text, L"Graphics Driver 2.0");
  RECT rect;
  ::GetWindowRect(dialog, &rect);
  EXPECT_EQ(rect.left, 10);
  EXPECT_EQ(rect.top, 10);
  // While it works the control cannot take the working mutex.
  {
    zu::UniqueHandle m(::CreateMutexW(nullptr, TRUE, L"Global\\ZEFO Update ActiveX Mutex"));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  }
  ASSERT_TRUE(zu::ui::WaitForWindowGone(dialog, 60000));

  // The second phase ran once, with the page's parameter.
  const std::string log = zu::test::ReadFileBytes(kSetupLog);
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
  EXPECT_NE(log.find("launch=1 delete_open=0 cmd=\"C:\\Update\\zu-e2e-gfx\\zu-e2e-gfx.exe\" /log="),
            std::string::npos)
      << log;
  const auto rows = zu::test::ReadPatchListFile(kPatchList);
  ASSERT_TRUE(rows.has_value());
  EXPECT_EQ((*rows)[0].number[11], 1);
  EXPECT_EQ((*rows)[0].number[13], 1);
  EXPECT_EQ((*rows)[0].number[8], 0);

  EXPECT_TRUE(zu::test::WaitFor([&] { return zu::test::ReadFileBytes(browser_log_).find(Page()) !=
                                        std::string::npos; }, 30000))
      << zu::test::ReadFileBytes(browser_log_);
  EXPECT_EQ(RunValue().value_or(L""), L"\"" + zu::test::InstalledAgent() + L"\"  /Stationary");
  // Then it stays as the resident agent, the mutex given back.
  EXPECT_TRUE(zu::test::WaitFor([] { return ::FindWindowW(nullptr, L"ZU MainWnd") != nullptr; }, 15000));
  zu::UniqueHandle m(::CreateMutexW(nullptr, TRUE, L"Global\\ZEFO Update ActiveX Mutex"));
  EXPECT_NE(::WaitForSingleObject(m.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  ::ReleaseMutex(m.get());
}

TEST_F(AgentInstallE2E, APageHoldingTheWorkingMutexPostponesTheInstallingRun) {
  WritePendingList(L"/run1=,0");
  zu::UniqueHandle page_mutex(::CreateMutexW(nullptr, TRUE, L"Global\\ZEFO Update ActiveX Mutex"));
  ASSERT_TRUE(page_mutex);
  zu::test::Process agent = zu::test::StartAgent(L"/S");
  ASSERT_TRUE(zu::test::WaitFor([] { return ::FindWindowW(nullptr, L"ZU MainWnd") != nullptr; }, 30000));
  EXPECT_TRUE(zu::test::ReadFileBytes(kSetupLog).empty());
  EXPECT_FALSE(RunValue().has_value());
  EXPECT_EQ((*zu::test::ReadPatchListFile(kPatchList))[0].number[11], 0);
  ::ReleaseMutex(page_mutex.get());
}

}  // namespace
