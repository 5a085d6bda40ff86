// The download engine as a support page drives it: ZUAC.dll registered by
// regsvr32 and hosted by the page host on an allowed address, JScript that
// registers the texts, queues modules and calls StartDownload, a person
// (this test's thread) who reads the dialog and answers its questions, and
// the engine's test servers (with_engine_servers.sh) whose log shows what
// was asked for.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/engine_servers.h"
#include "tests/support/page_run.h"
#include "tests/support/files.h"
#include "tests/support/process.h"
#include "tests/support/scripts.h"
#include "tests/support/text.h"
#include "tools/uiauto/uiauto.h"

namespace {

using zu::test::EngineServers;
using zu::test::JsString;
using zu::test::RunResult;
using zu::test::Person;
using zu::test::Utf16;
using zu::test::Utf8;

constexpr DWORD kWait = 60000;
const char kAgent[] = "ZEFOUpdate-ActiveX/" ZU_TEST_VERSION;

// The texts a page registers; the person finds the dialogs by them.
const char kTexts[] = R"JS(
var texts = {100: "Resume download", 101: "Continue the stopped downloads?",
  200: "Downloads finished", 201: "Nothing was installed.", 300: "Downloading ",
  301: "Status:", 302: "bytes", 303: "Remaining:", 304: "h", 305: "min", 306: "s",
  307: "Cancel", 400: "Finishing ", 401: "Installing ", 406: "On battery"};
for (var id in texts) check(zuax.RegisterString(Number(id), texts[id]), "text " + id);
function hex(n) { return "0x" + (n >>> 0).toString(16); }
function report(ok) {
  host.Echo("result=" + ok + " error=" + hex(zuax.GetLastError()) + " refresh=" + host.RefreshCount);
}
)JS";

// "zuax.AddModuleInfo(url, size, name, false, "")"
std::string Add(const std::wstring& url, long long size, const char* name) {
  return "check(zuax.AddModuleInfo(" + JsString(url) + ", " + std::to_string(size) + ", \"" + name +
         "\", false, \"\"), \"add " + name + "\");\n";
}

std::wstring Local(const std::string& name) {
  std::string base = name.substr(0, name.rfind('.'));
  return L"C:\\Update\\" + Utf16(base) + L"\\" + Utf16(name);
}

void RemoveModule(const std::string& name) {
  std::wstring final_path = Local(name);
  ::DeleteFileW(final_path.c_str());
  ::DeleteFileW((final_path + L"ZU!").c_str());
  ::RemoveDirectoryW(final_path.substr(0, final_path.rfind(L'\\')).c_str());
}

bool Reported(const RunResult& run, const std::string& line) {
  return run.output.find(line) != std::string::npos;
}

class EngineE2E : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    servers_ = new EngineServers();
    ::CreateDirectoryW(L"C:\\Update", nullptr);
    debug_ = new zu::test::DebugFileAside();
    // Runs with installers write the patch list; the machine's comes back.
    patch_list_ = new zu::test::FileAside(L"C:\\Update\\PatchList.dat");
    root_ = new zu::test::TrustedRoot(servers_->RootCertificate());
    registered_ = zu::test::Regsvr32() == 0u;
  }
  static void TearDownTestSuite() {
    zu::test::Regsvr32(true);
    delete root_;
    delete patch_list_;
    delete debug_;
    delete servers_;
  }
  void SetUp() override {
    if (!servers_->ok()) GTEST_SKIP() << "run through with_engine_servers.sh";
    ASSERT_TRUE(registered_);
    servers_->ClearLog();
  }
  void TearDown() override {
    for (const std::string& name : published_) RemoveModule(name);
  }

  // Local files of a module that is not served, removed after the test.
  void Forget(const std::string& name) {
    RemoveModule(name);
    published_.push_back(name);
  }
  // A served module of random bytes; its local files are removed now and
  // after the test.
  std::string Publish(const std::string& name, std::uint64_t size) {
    servers_->Publish(name, size);
    RemoveModule(name);
    published_.push_back(name);
    return name;
  }
  // The first `bytes` of a served module, as a partial file a stopped run left.
  void LeavePartial(const std::string& name, std::size_t bytes) {
    std::string all = zu::test::ReadFileBytes(servers_->ServedFile(name));
    ::CreateDirectoryW(Local(name).substr(0, Local(name).rfind(L'\\')).c_str(), nullptr);
    zu::test::WriteFileBytes(Local(name) + L"ZU!", all.substr(0, bytes));
  }
  bool ArrivedWhole(const std::string& name) {
    return zu::test::FileSha256(Local(name)) ==
               zu::test::FileSha256(servers_->ServedFile(name)) &&
           !zu::test::FileExists(Local(name) + L"ZU!");
  }

  // Runs the page's script in the page host while the person watches.
  RunResult RunPage(const std::string& body, Person* person = nullptr, HANDLE token = nullptr) {
    return zu::test::RunPageWatched(zu::test::AllowedPageAddress(), kTexts + body, person, token,
                                    240000);
  }

  static EngineServers* servers_;
  static zu::test::DebugFileAside* debug_;
  static zu::test::FileAside* patch_list_;
  static zu::test::TrustedRoot* root_;
  static bool registered_;
  std::vector<std::string> published_;
};
EngineServers* EngineE2E::servers_ = nullptr;
zu::test::DebugFileAside* EngineE2E::debug_ = nullptr;
zu::test::FileAside* EngineE2E::patch_list_ = nullptr;
zu::test::TrustedRoot* EngineE2E::root_ = nullptr;
bool EngineE2E::registered_ = false;

const wchar_t kNotice[] = L"Downloads finished";
const wchar_t kResume[] = L"Resume download";

TEST_F(EngineE2E, ThreeModulesOverHttpHttpsAndFtpArriveWholeWithTheCounterInTheTitle) {
  // Slow enough that each module's title is on the screen for a while.
  Publish("ZuE2eOne.bin", 700000);
  Publish("ZuE2eTwo.bin", 1200000);
  Publish("ZuE2eThree.cab", 600000);
  const std::wstring one = servers_->Http("throttle=500000/ZuE2eOne.bin");
  const std::wstring two = EngineServers::Ftp("127.0.0.5", "ZuE2eTwo.bin");
  const std::wstring three = servers_->Https("throttle=500000/ZuE2eThree.cab");
  Person person;
  person.Answer(kNotice, L"OK");
  person.OnTitle([](HWND, const std::wstring& title) {
    if (title == L"Downloading (2/3)") {
      ::Sleep(300);
      const std::wstring dir = zu::test::BinDir() + L"\\..\\screenshots";
      ::CreateDirectoryW(dir.c_str(), nullptr);
      zu::ui::SaveScreenshot(dir + L"\\engine-e2e-download.png");
    }
  });
  RunResult run = RunPage(Add(one, 700000, "One") + Add(two, 1200000, "Two") +
                            Add(three, 600000, "Three") + R"JS(
report(zuax.StartDownload());
check(zuax.IsDownloaded()JS" + JsString(one) + R"JS(), "one is downloaded");
check(zuax.IsDownloaded()JS" + JsString(two) + R"JS(), "two is downloaded");
check(zuax.IsDownloaded()JS" + JsString(three) + R"JS(), "three is downloaded");
check(!zuax.StartDownload(), "the list is gone with the run");
)JS",
                        &person);
  EXPECT_EQ(run.code, 0u) << run.output;
  EXPECT_TRUE(Reported(run, "result=true error=0x0 refresh=1")) << run.output;
  for (const char* name : {"ZuE2eOne.bin", "ZuE2eTwo.bin", "ZuE2eThree.cab"})
    EXPECT_TRUE(ArrivedWhole(name)) << name;
  EXPECT_EQ(person.titles, (std::vector<std::wstring>{L"Downloading (1/3)", L"Downloading (2/3)",
                                                      L"Downloading (3/3)"}));
  EXPECT_EQ(person.boxes, std::vector<std::wstring>{L"Downloads finished: Nothing was installed."});
  // Fresh downloads: one plain request each, with the library's agent.
  for (const char* name : {"ZuE2eOne.bin", "ZuE2eThree.cab"}) {
    std::vector<EngineServers::Entry> requests = servers_->RequestsFor(name);
    ASSERT_EQ(requests.size(), 1u) << name;
    EXPECT_EQ(requests[0]["range"], "-");
    EXPECT_EQ(requests[0]["agent"], kAgent);
  }
  for (EngineServers::Entry& e : servers_->Log()) EXPECT_NE(e["cmd"], "REST");
}

TEST_F(EngineE2E, ResumeYesContinuesEachPartialFileAndNoFetchesItWhole) {
  Publish("ZuE2eHttp.bin", 500000);
  Publish("ZuE2eFtp.bin", 400000);
  Publish("ZuE2eDone.bin", 300000);
  Publish("ZuE2eIgnored.bin", 200000);
  LeavePartial("ZuE2eHttp.bin", 200000);
  LeavePartial("ZuE2eFtp.bin", 300000);
  LeavePartial("ZuE2eDone.bin", 300000);  // complete: only moved into place
  LeavePartial("ZuE2eIgnored.bin", 100000);
  const std::string page =
      Add(servers_->Http("ZuE2eHttp.bin"), 500000, "Http") +
      Add(EngineServers::Ftp("127.0.0.5", "ZuE2eFtp.bin"), 400000, "Ftp") +
      Add(servers_->Http("ZuE2eDone.bin"), 300000, "Done") +
      Add(servers_->Http("norange/ZuE2eIgnored.bin"), 200000, "Ignored") +
      "report(zuax.StartDownload());\n";
  Person yes;
  yes.Answer(kResume, L"Yes");
  yes.Answer(kNotice, L"OK");
  RunResult run = RunPage(page, &yes);
  EXPECT_TRUE(Reported(run, "result=true error=0x0")) << run.output;
  EXPECT_EQ(yes.boxes.front(), L"Resume download: Continue the stopped downloads?");
  for (const char* name : {"ZuE2eHttp.bin", "ZuE2eFtp.bin", "ZuE2eDone.bin", "ZuE2eIgnored.bin"})
    EXPECT_TRUE(ArrivedWhole(name)) << name;
  std::vector<EngineServers::Entry> http = servers_->RequestsFor("ZuE2eHttp.bin");
  ASSERT_EQ(http.size(), 1u);
  EXPECT_EQ(http[0]["range"], "bytes=200000-500000");
  EXPECT_EQ(http[0]["start"], "200000");
  std::vector<std::string> ftp;
  for (EngineServers::Entry& e : servers_->Log())
    if (e["proto"] == "ftp" && (e["cmd"] == "REST" || e["cmd"] == "RETR"))
      ftp.push_back(e["cmd"] + " " + e["arg"]);
  EXPECT_EQ(ftp, (std::vector<std::string>{"REST 300000", "RETR /ZuE2eFtp.bin"}));
  EXPECT_TRUE(servers_->RequestsFor("ZuE2eDone.bin").empty());
  std::vector<EngineServers::Entry> ignored = servers_->RequestsFor("ZuE2eIgnored.bin");
  ASSERT_EQ(ignored.size(), 1u);
  EXPECT_EQ(ignored[0]["range"], "bytes=100000-200000");
  EXPECT_EQ(ignored[0]["status"], "200");

  // No: the partial file is fetched whole.
  RemoveModule("ZuE2eHttp.bin");
  LeavePartial("ZuE2eHttp.bin", 200000);
  servers_->ClearLog();
  Person no;
  no.Answer(kResume, L"No");
  no.Answer(kNotice, L"OK");
  run = RunPage(Add(servers_->Http("ZuE2eHttp.bin"), 500000, "Http") +
                    "report(zuax.StartDownload());\n",
                &no);
  EXPECT_TRUE(Reported(run, "result=true error=0x0")) << run.output;
  EXPECT_TRUE(ArrivedWhole("ZuE2eHttp.bin"));
  http = servers_->RequestsFor("ZuE2eHttp.bin");
  ASSERT_EQ(http.size(), 1u);
  EXPECT_EQ(http[0]["range"], "-");
}

TEST_F(EngineE2E, FailuresEndTheRunWithTheirCodesAndKeepOnlyResumableParts) {
  Publish("ZuE2eDrop.bin", 500000);
  Publish("ZuE2eShort.bin", 1000);
  Publish("ZuE2eRest.bin", 300000);
  LeavePartial("ZuE2eRest.bin", 1000);
  for (const char* name : {"ZuE2eMissing.bin", "ZuE2eGopher.bin", "ZuE2eHuge.bin"}) Forget(name);
  struct Case {
    const char* what;
    std::string page;
    const char* answer;  // to the resume question, when it comes
    const char* report;
    std::string partial;   // the partial file afterwards: its name, or "" for none
    long long partial_size;
  } cases[] = {
      {"dropped connection", Add(servers_->Http("drop=100000/ZuE2eDrop.bin"), 500000, "Drop"),
       nullptr, "result=false error=0x20000011", "ZuE2eDrop.bin", 100000},
      {"not found", Add(servers_->Http("status=404/ZuE2eMissing.bin"), 10, "Missing"), nullptr,
       "result=false error=0x20000011", "", 0},
      {"shorter than its size", Add(servers_->Http("ZuE2eShort.bin"), 2000, "Short"), nullptr,
       "result=false error=0x20000012", "", 0},
      {"no local path", Add(servers_->Http("noextension"), 10, "NoExt"), nullptr,
       "result=false error=0x20000004", "", 0},
      {"another scheme", Add(L"gopher://127.0.0.1/ZuE2eGopher.bin", 10, "Gopher"), nullptr,
       "result=false error=0x20000004", "", 0},
      {"does not fit on the disk", Add(servers_->Http("ZuE2eHuge.bin"), 1LL << 50, "Huge"),
       nullptr, "result=false error=0x20000001", "", 0},
      {"server refuses REST", Add(EngineServers::Ftp("127.0.0.6", "ZuE2eRest.bin"), 300000, "Rest"),
       "Yes", "result=false error=0x0", "ZuE2eRest.bin", 1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Person person;
    if (c.answer) person.Answer(kResume, Utf16(c.answer));
    RunResult run = RunPage(c.page + "report(zuax.StartDownload());\n", &person);
    EXPECT_TRUE(Reported(run, c.report)) << run.output;
    if (!c.partial.empty()) {
      EXPECT_EQ(zu::test::FileSize(Local(c.partial) + L"ZU!"), c.partial_size);
    }
  }
  EXPECT_FALSE(zu::test::FileExists(Local("ZuE2eShort.bin") + L"ZU!"));
  EXPECT_FALSE(zu::test::FileExists(Local("ZuE2eShort.bin")));

  // A later run continues the dropped download where it stopped.
  servers_->ClearLog();
  Person person;
  person.Answer(kResume, L"Yes");
  person.Answer(kNotice, L"OK");
  RunResult run = RunPage(Add(servers_->Http("ZuE2eDrop.bin"), 500000, "Drop") +
                            "report(zuax.StartDownload());\n",
                        &person);
  EXPECT_TRUE(Reported(run, "result=true error=0x0")) << run.output;
  EXPECT_TRUE(ArrivedWhole("ZuE2eDrop.bin"));
  std::vector<EngineServers::Entry> again = servers_->RequestsFor("ZuE2eDrop.bin");
  ASSERT_EQ(again.size(), 1u);
  EXPECT_EQ(again[0]["range"], "bytes=100000-500000");
}

TEST_F(EngineE2E, TheListRulesAStandardUserAndCancel) {
  Publish("ZuE2eSlow.bin", 3000000);
  // Adds and clears, the bounding rule, and a list used up by its run.
  RunResult run = RunPage(R"JS(
check(!zuax.ClearModuleList(), "nothing to clear yet");
check(!zuax.StartDownload(), "nothing to start");
check(!zuax.AddModuleInfo("", 1, "x", false, ""), "no URL");
check(!zuax.AddModuleInfo("http://h/a.exe", 1, "", false, ""), "no name");
check(zuax.AddModuleInfoEx("SP1", "http://h/a.exe", 1, "A", true, "", "", "0", "", "0", "0", "1"), "bounding alone");
check(!zuax.AddModuleInfoEx("SP2", "http://h/b.exe", 1, "B", true, "", "", "0", "", "0", "0", "0"), "second auto-execute");
check(zuax.GetLastError() == 0x20000014, "bounding conflict code");
check(!zuax.AddModuleInfoEx("SP3", "http://h/c.exe", 1, "C", false, "", "", "", "", "", "", ""), "still a conflict");
check(zuax.ClearModuleList(), "cleared");
check(zuax.AddModuleInfoEx("SP4", "http://h/d.exe", 1, "D", true, "", "", "", "", "", "", "1"), "clean again");
check(!zuax.AddModuleInfo("http://h/e.exe", -1, "E", false, ""), "no negative sizes");
check(zuax.GetLastError() == 0x20000015, "invalid argument");
check(!zuax.IsDownloaded("http://h/none.exe") && zuax.GetLastError() == 0x20000005, "not downloaded");
)JS");
  EXPECT_EQ(run.code, 0u) << run.output;

  // A standard user may queue modules but not start a run.
  zu::UniqueHandle user = zu::test::NonAdminToken();
  ASSERT_TRUE(user);
  run = RunPage(Add(servers_->Http("ZuE2eSlow.bin"), 3000000, "Slow") +
                    "report(zuax.StartDownload());\n",
                nullptr, user.get());
  EXPECT_TRUE(Reported(run, "result=false error=0x20000002")) << run.output;
  EXPECT_TRUE(servers_->Log().empty());

  // Cancel while downloading: the run ends, the part stays for later.
  Person person;
  person.OnTitle([](HWND dialog, const std::wstring&) {
    ::Sleep(1000);
    EXPECT_TRUE(zu::ui::PressButton(dialog, L"Cancel"));
  });
  run = RunPage(Add(servers_->Http("throttle=1000000/ZuE2eSlow.bin"), 3000000, "Slow") +
                    "report(zuax.StartDownload());\n",
                &person);
  EXPECT_TRUE(Reported(run, "result=false error=0x0 refresh=0")) << run.output;
  long long part = zu::test::FileSize(Local("ZuE2eSlow.bin") + L"ZU!");
  EXPECT_GT(part, 0);
  EXPECT_LT(part, 3000000);
  EXPECT_FALSE(zu::test::FileExists(Local("ZuE2eSlow.bin")));
}

TEST_F(EngineE2E, CscriptWithTheDebugSwitchRunsADownloadWithoutABrowser) {
  Publish("ZuE2eScript.bin", 200000);
  debug_->AllowEveryPage();
  const std::string script = R"JS(
var zuax = new ActiveXObject("ZUAX.ZUAXCtrl.4");
zuax.RegisterString(200, "Downloads finished");
zuax.RegisterString(201, "Nothing was installed.");
zuax.AddModuleInfo()JS" + JsString(servers_->Http("ZuE2eScript.bin")) + R"JS(, 200000, "Script", false, "");
var ok = zuax.StartDownload();
WScript.Echo("result=" + ok + " error=" + zuax.GetLastError());
WScript.Quit(ok ? 0 : 1);
)JS";
  Person person;
  person.Answer(kNotice, L"OK");
  std::atomic<bool> done{false};
  RunResult r;
  std::thread cscript([&] {
    r = zu::test::RunInCscript(L"zu_engine_e2e_cscript.js", script);
    done = true;
  });
  person.Watch(done);
  cscript.join();
  debug_->Remove();
  EXPECT_EQ(r.code, 0u) << r.output;
  EXPECT_NE(r.output.find("result=true error=0"), std::string::npos) << r.output;
  EXPECT_TRUE(ArrivedWhole("ZuE2eScript.bin"));
}

TEST_F(EngineE2E, ModuleNamesThatTryToLeaveTheUpdateFolderWriteNothing) {
  auto entries = [](const std::wstring& folder) {
    std::set<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE h = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return names;
    do names.insert(found.cFileName);
    while (::FindNextFileW(h, &found));
    ::FindClose(h);
    return names;
  };
  const std::set<std::wstring> root_before = entries(L"C:"), update_before = entries(L"C:\\Update");
  Publish("evil.exe", 100);
  const std::wstring base = servers_->Http("");
  for (const std::wstring& url :
       std::vector<std::wstring>{base + L"a\\..\\..\\evil.exe", base + L"..%5C..%5Cevil.exe", base + L"C:evil.exe",
        base + L"..\\evil.exe", base + L"evil.exe.", base + L"evil.exe ", base + L"CON.exe",
        base + L"nul.evil.exe", base + L"..exe", std::wstring(L"file:///C:/evil.exe")}) {
    SCOPED_TRACE(Utf8(url));
    RunResult run = RunPage(Add(url, 100, "Evil") + "report(zuax.StartDownload());\n" +
                          "check(!zuax.IsDownloaded(" + JsString(url) + "), \"not downloaded\");\n");
    EXPECT_TRUE(Reported(run, "result=false error=0x20000004")) << run.output;
  }
  EXPECT_EQ(entries(L"C:"), root_before);
  EXPECT_EQ(entries(L"C:\\Update"), update_before);
  EXPECT_FALSE(zu::test::FileExists(L"C:\\windows\\evil.exe"));
  EXPECT_TRUE(servers_->Log().empty());
}

}  // namespace
