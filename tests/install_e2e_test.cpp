// Installing as a support page drives it: ZUAC.dll registered by regsvr32
// and called from pages run by ZUPageHost.exe, on C:\Update as it is.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/framework/handle.h"
#include "common/patch_list_format.h"
#include "tests/support/files.h"
#include "tests/support/lab.h"
#include "tests/support/process.h"
#include "tests/support/registry.h"
#include "tests/support/scripts.h"
#include "tests/support/loopback_http.h"
#include "tests/support/page_run.h"
#include "tests/support/patch_list_file.h"
#include "tests/support/test_pki.h"
#include "tests/support/text.h"
#include "tools/uiauto/uiauto.h"

namespace {

using zu::test::AllowedPageAddress;
using zu::test::JsString;
using zu::test::kRefusedPageAddress;
using zu::test::RunPage;

const bool kTrustRoot = (zu::test::TrustTestRootForWholeRun(), true);

const wchar_t kPatchList[] = L"C:\\Update\\PatchList.dat";
const wchar_t kUncheckFile[] = L"C:\\Update\\UncheckItem.dat";

class InstallE2E : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ::CreateDirectoryW(L"C:\\Update", nullptr);
    registered_ = zu::test::Regsvr32() == 0u;
  }
  static void TearDownTestSuite() { zu::test::Regsvr32(true); }
  void SetUp() override {
    ASSERT_TRUE(registered_) << "regsvr32 did not register ZUAC.dll";
    ::DeleteFileW(kPatchList);
    ::DeleteFileW(kUncheckFile);
  }

  static bool registered_;
  zu::test::DebugFileAside debug_;
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

// --- A page's download run with installers --------------------------------------------------

const wchar_t kFlagsKeyName[] = L"Software\\Vexa Corporation\\ZEFO Update";
const wchar_t kLogFolder[] = L"C:\\Update\\zu-e2e-logs";

// The texts the page registers; the person finds the notices by them.
const char kRunTexts[] = R"JS(
var texts = {200: "Installation notice", 201: "Some updates must be installed by hand.",
  300: "Downloading ", 400: "Finishing ", 401: "Installing ", 402: "Reboot now",
  403: "Power off now", 404: "Restart to finish.", 405: "Shut down to finish."};
for (var id in texts) check(zuax.RegisterString(Number(id), texts[id]), "text " + id);
function hex(n) { return "0x" + (n >>> 0).toString(16); }
)JS";

// One queued module: a signed installer served on loopback.
struct Module {
  std::wstring signed_name;  // in testpki\signed
  std::string file;          // its name on the server, so its folder below C:\Update
  std::wstring spid;
  bool auto_exec = true;
  std::wstring flags;        // the fake installer's /runN= answers
  std::wstring phase = L"0", first_reboot = L"0", install_reboot = L"0";
  bool ex = true;            // queued with AddModuleInfoEx
};

Module Mod(const wchar_t* signed_name, const char* file, const wchar_t* spid) {
  Module m;
  m.signed_name = signed_name;
  m.file = file;
  m.spid = spid;
  return m;
}

class InstallRunE2E : public InstallE2E {
 protected:
  void SetUp() override {
    InstallE2E::SetUp();
    ASSERT_TRUE(server_.ok());
    flags_.Clear();
    ::CreateDirectoryW(kLogFolder, nullptr);
  }
  void TearDown() override {
    for (const auto& [file, module] : served_) {
      const std::wstring folder = std::wstring(L"C:\\Update\\") + zu::test::Utf16(Base(file));
      ::DeleteFileW((folder + L"\\" + zu::test::Utf16(file)).c_str());
      ::RemoveDirectoryW(folder.c_str());
      ::DeleteFileW(Log(file).c_str());
    }
    ::RemoveDirectoryW(kLogFolder);
  }

  static std::string Base(const std::string& file) { return file.substr(0, file.rfind('.')); }
  static std::wstring Log(const std::string& file) {
    return std::wstring(kLogFolder) + L"\\" + zu::test::Utf16(Base(file)) + L".log";
  }
  static std::wstring LocalPath(const std::string& file) {
    return L"C:\\Update\\" + zu::test::Utf16(Base(file)) + L"\\" + zu::test::Utf16(file);
  }
  std::vector<std::string> LogLines(const std::string& file) {
    return zu::test::Lines(zu::test::ReadFileBytes(Log(file)));
  }
  std::wstring Parameter(const Module& m) const {
    return L"/log=" + Log(m.file) + (m.flags.empty() ? L"" : L" " + m.flags);
  }

  // The page's script that queues the modules and runs them.
  std::string QueueAndRun(const std::vector<Module>& modules) {
    std::string js = kRunTexts;
    for (const Module& m : modules) {
      const std::wstring url = server_.Url("/mods/" + m.file);
      const std::string size = std::to_string(zu::test::ReadFileBytes(
                                                   zu::test::SignedInstaller(m.signed_name))
                                                   .size());
      served_[m.file] = m.signed_name;
      ::DeleteFileW(LocalPath(m.file).c_str());
      ::DeleteFileW(Log(m.file).c_str());
      const std::string automatic = m.auto_exec ? "true" : "false";
      if (m.ex) {
        js += "check(zuax.AddModuleInfoEx(" + JsString(m.spid) + ", " + JsString(url) + ", " +
              size + ", " + JsString(m.spid + L" name") + ", " + automatic + ", \"\", " +
              JsString(Parameter(m)) + ", " + JsString(m.phase) + ", \"\", " +
              JsString(m.first_reboot) + ", " + JsString(m.install_reboot) +
              ", \"0\"), \"add\");\n";
      } else {
        js += "check(zuax.AddModuleInfo(" + JsString(url) + ", " + size + ", " +
              JsString(m.spid + L" name") + ", " + automatic + ", \"\"), \"add\");\n";
      }
    }
    js += "var ok = zuax.StartDownload();\n"
          "host.Echo(\"result=\" + ok + \" error=\" + hex(zuax.GetLastError()));\n";
    return js;
  }

  std::optional<std::vector<zu::test::PatchListRow>> Rows() {
    return zu::test::ReadPatchListFile(kPatchList);
  }
  std::optional<std::wstring> Flag(const wchar_t* name) {
    return zu::test::RegString(HKEY_LOCAL_MACHINE, kFlagsKeyName, name);
  }

  std::map<std::string, std::wstring> served_;  // file -> signed installer
  zu::test::LoopbackHttpServer server_{[this](const zu::test::LoopbackHttpServer::Request& r) {
    const std::string name = r.path.substr(r.path.rfind('/') + 1);
    const auto it = served_.find(name);
    if (r.path.rfind("/mods/", 0) != 0 || it == served_.end())
      return zu::test::LoopbackHttpServer::Reply::With(404, "missing");
    return zu::test::LoopbackHttpServer::Reply::With(
        200, zu::test::ReadFileBytes(zu::test::SignedInstaller(it->second)));
  }};
  zu::test::KeySnapshot flags_{HKEY_LOCAL_MACHINE, kFlagsKeyName};
};

TEST_F(InstallRunE2E, OnlyTheMakersSignaturesRunAndTheListRecordsEveryModule) {
  const struct {
    const wchar_t* signed_name;
    bool runs;
  } matrix[] = {
      {L"vexa.exe", true},          {L"america.exe", true},        {L"ltd.exe", false},
      {L"lower.exe", false},        {L"acme.exe", false},          {L"stray.exe", false},
      {L"expired.exe", false},      {L"expired-ts.exe", true},     {L"expired-latets.exe", false},
      {L"expired-legacyts.exe", true}, {L"expired-legacylate.exe", false},
      {L"unsigned.exe", false},     {L"tampered.exe", false},
  };
  std::vector<Module> modules;
  for (std::size_t k = 0; k < std::size(matrix); ++k) {
    Module m;
    m.signed_name = matrix[k].signed_name;
    m.file = "ZuSig" + std::to_string(k) + ".exe";
    m.spid = L"SP-SIG-" + std::to_wstring(k);
    modules.push_back(m);
  }
  // Queued without the Ex method: phase flag -1 until its only run.
  Module plain;
  plain.signed_name = L"vexa.exe";
  plain.file = "ZuSigPlain.exe";
  plain.ex = false;
  modules.push_back(plain);

  zu::test::Person person;
  const zu::test::RunResult run =
      zu::test::RunPageWatched(AllowedPageAddress(), QueueAndRun(modules), &person);
  EXPECT_EQ(run.code, 0u) << run.output;
  EXPECT_NE(run.output.find("result=true error=0x0"), std::string::npos) << run.output;
  EXPECT_TRUE(person.boxes.empty());

  const auto rows = Rows();
  ASSERT_TRUE(rows.has_value());
  ASSERT_EQ(rows->size(), modules.size());
  for (std::size_t k = 0; k < std::size(matrix); ++k) {
    SCOPED_TRACE(zu::test::Utf8(matrix[k].signed_name));
    const zu::test::PatchListRow& row = (*rows)[k];
    const std::string size = std::to_string(
        zu::test::ReadFileBytes(zu::test::SignedInstaller(modules[k].signed_name)).size());
    // As created from the page's arguments...
    EXPECT_EQ(row.text[0], LocalPath(modules[k].file));
    EXPECT_EQ(std::to_string(row.number[1]), size);
    EXPECT_EQ(row.text[2], modules[k].spid + L" name");
    EXPECT_EQ(row.number[3], 1);
    EXPECT_EQ(row.text[4], Parameter(modules[k]));
    EXPECT_EQ(row.number[6], 0);
    EXPECT_EQ(row.text[7], L"");
    EXPECT_EQ(row.number[9], 0);
    EXPECT_EQ(row.number[14], 0);
    EXPECT_EQ(row.text[15], modules[k].spid);
    // ...and as the first phase left it: one phase, launched only when signed.
    EXPECT_EQ(row.number[5], 0);
    EXPECT_EQ(row.number[8], 0);
    EXPECT_EQ(row.number[10], 1);
    EXPECT_EQ(row.number[11], 1);
    EXPECT_EQ(row.number[12], matrix[k].runs ? 1 : 0);
    EXPECT_EQ(row.number[13], matrix[k].runs ? 1 : 0);
    const std::vector<std::string> log = LogLines(modules[k].file);
    ASSERT_EQ(log.size(), matrix[k].runs ? 1u : 0u);
    if (matrix[k].runs) {
      EXPECT_EQ(log[0], "run=1 launch=1 delete_open=0 cmd=\"" +
                            zu::test::Utf8(LocalPath(modules[k].file)) + "\" " +
                            zu::test::Utf8(Parameter(modules[k])));
    }
  }
  const zu::test::PatchListRow& row = rows->back();
  EXPECT_EQ(row.number[5], 0) << "phase flag -1 becomes 0";
  EXPECT_EQ(row.number[9], -1);
  EXPECT_EQ(row.text[4], L"") << "no parameter without the Ex method";
  EXPECT_EQ(row.text[15], L"");
  EXPECT_EQ(row.number[12], 1);
  EXPECT_EQ(row.number[13], 1);
  EXPECT_EQ(Flag(L"InstallFlg").value_or(L"-"), L"0");
  EXPECT_EQ(Flag(L"RebootFlg").value_or(L"-"), L"0");
  EXPECT_EQ(zu::test::RegDword(HKEY_LOCAL_MACHINE, kFlagsKeyName, L"LaunchInstaller"), 0u);
}

TEST_F(InstallRunE2E, OneRunWithOneTwoPhaseAndAHandInstalledModule) {
  Module single = Mod(L"vexa.exe", "ZuRunOne.exe", L"SP-ONE");
  single.flags = L"/run1=0,0";
  Module twice = Mod(L"america.exe", "ZuRunTwo.exe", L"SP-TWO");
  twice.flags = L"/run1=1,0 /run2=,0";  // asks for its second run, no restart
  Module manual = Mod(L"vexa.exe", "ZuRunHand.exe", L"SP-HAND");
  manual.auto_exec = false;

  zu::test::Person person;
  person.Answer(L"Installation notice", L"OK");
  zu::test::RunResult run = zu::test::RunPageWatched(
      AllowedPageAddress(), QueueAndRun({single, twice, manual}), &person);
  EXPECT_EQ(run.code, 0u) << run.output;
  EXPECT_NE(run.output.find("result=true error=0x0"), std::string::npos) << run.output;
  EXPECT_EQ(person.boxes,
            std::vector<std::wstring>{L"Installation notice: Some updates must be installed by hand."});
  EXPECT_EQ(LogLines(single.file).size(), 1u);
  const std::vector<std::string> two = LogLines(twice.file);
  ASSERT_EQ(two.size(), 2u) << "both phases in the same run";
  EXPECT_EQ(two[0].substr(0, 6), "run=1 ");
  EXPECT_EQ(two[1].substr(0, 6), "run=2 ");
  EXPECT_TRUE(LogLines(manual.file).empty());
  EXPECT_TRUE(zu::test::FileExists(LocalPath(manual.file))) << "downloaded, not run";

  const auto rows = Rows();
  ASSERT_TRUE(rows.has_value());
  ASSERT_EQ(rows->size(), 3u);
  const int expected[3][6] = {
      // columns 5, 10, 11, 12, 13, 14
      {0, 1, 1, 1, 1, 0},
      {1, 1, 1, 1, 1, 0},
      {0, 0, 0, 0, 0, 0},
  };
  const int columns[6] = {5, 10, 11, 12, 13, 14};
  for (int i = 0; i < 3; ++i)
    for (int c = 0; c < 6; ++c)
      EXPECT_EQ((*rows)[i].number[columns[c]], expected[i][c]) << "record " << i << " column "
                                                               << columns[c];
  EXPECT_EQ((*rows)[2].number[3], 0);
  EXPECT_EQ(Flag(L"InstallFlg").value_or(L"-"), L"0");
  EXPECT_EQ(Flag(L"RebootFlg").value_or(L"-"), L"0");

  // The page reads the records and clears up afterwards.
  run = RunPage(AllowedPageAddress(), R"JS(
check(zuax.GetExecutedPatches() === "SP-ONE,SP-TWO", "executed " + zuax.GetExecutedPatches());
check(zuax.DeletePatchFile("sp-hand") === true && zuax.GetLastError() === 0, "file and folder");
check(zuax.DeletePatchFile("SP-HAND") === false && zuax.GetLastError() === 0x20000005, "gone");
check(zuax.DeletePatchListFile() === true, "the list");
check(zuax.GetExecutedPatches() === "", "no list");
)JS");
  EXPECT_EQ(run.code, 0u) << run.output;
  EXPECT_FALSE(zu::test::FileExists(L"C:\\Update\\ZuRunHand"));
  EXPECT_TRUE(zu::test::FileExists(LocalPath(single.file)));
  EXPECT_FALSE(zu::test::FileExists(kPatchList));
}

TEST_F(InstallRunE2E, NoExecuteInTheEnginesDebugFileCountsLaunchesWithoutStartingAnything) {
  zu::test::FileSnapshot debug(L"C:\\Update\\debug.ini");
  ASSERT_TRUE(zu::test::WriteFileBytes(L"C:\\Update\\debug.ini", "[General]\r\nNOExecute=1\r\n"));
  Module signed_module = Mod(L"vexa.exe", "ZuNoExecA.exe", L"SP-A");
  Module other = Mod(L"acme.exe", "ZuNoExecB.exe", L"SP-B");
  zu::test::Person person;
  const zu::test::RunResult run =
      zu::test::RunPageWatched(AllowedPageAddress(), QueueAndRun({signed_module, other}), &person);
  EXPECT_EQ(run.code, 0u) << run.output;
  const auto rows = Rows();
  ASSERT_TRUE(rows.has_value());
  EXPECT_EQ((*rows)[0].number[12], 1);
  EXPECT_EQ((*rows)[0].number[13], 1);
  EXPECT_EQ((*rows)[1].number[12], 0) << "the signature still decides";
  EXPECT_TRUE(LogLines(signed_module.file).empty()) << "nothing was started";
  EXPECT_TRUE(LogLines(other.file).empty());
}

// --- The agent's "/S" run ----------------------------------------------------------------

const wchar_t kUserKey[] = L"Software\\Vexa Corporation\\ZEFO Update\\4.0";
const wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kXpModeKey[] = L"Software\\Wine\\AppDefaults\\ZEFOUpdt.exe";
const wchar_t kFlagsKey[] = L"Software\\Vexa Corporation\\ZEFO Update";

using Reply = zu::test::LoopbackHttpServer::Reply;

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
    ASSERT_NO_FATAL_FAILURE(zu::test::PointAgentAt(server_.Url("/info/"), 3600000));
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
  zu::test::LoopbackHttpServer server_{[this](const zu::test::LoopbackHttpServer::Request& r) {
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
