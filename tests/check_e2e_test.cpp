// The resident agent's update check against a maker's server on loopback:
// the file it asks for, what it stores, and the balloon it shows. Runs with
// made-up firmware (see tests/support/fake_smbios.sh): the model name is
// "VexaBook 9000 (Pro)" and the model code "VB9".
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

#include "agent/resource.h"
#include "tests/support/files.h"
#include "tests/support/lab.h"
#include "tests/support/loopback_http.h"
#include "tests/support/registry.h"
#include "tools/uiauto/uiauto.h"

namespace {

const wchar_t kUserKey[] = L"Software\\Vexa Corporation\\ZEFO Update\\4.0";
const char kModelFile[] = "/info/VEXABOOK_9000_(PRO).xml";
const wchar_t kRecommended[] = L"Recommended Updates are available for your ZEFO PC!";
const wchar_t kImportant[] = L"Important Updates are available for your ZEFO PC!";

using Reply = zu::test::LoopbackHttpServer::Reply;

std::string InfoFile(const std::string& inner) {
  return "<?xml version=\"1.0\"?>\n<zefo>" + inner + "</zefo>\n";
}

class CheckE2E : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { zu::test::InstallAgent(); }

  void SetUp() override {
    ASSERT_TRUE(server_.ok());
    zu::test::StopAllAgents();
    user_.Clear();
    // Checks on the first pulse, a second after start.
    zu::test::PointAgentAt(server_.Url("/info/"), 1000);
  }
  void TearDown() override {
    zu::test::StopAllAgents();
    ::SetEnvironmentVariableW(L"ZU_RECORD_FILE", nullptr);
  }

  static void SetDword(const wchar_t* name, DWORD value) {
    ASSERT_TRUE(zu::test::SetRegDword(HKEY_CURRENT_USER, kUserKey, name, value));
  }
  static void SetString(const wchar_t* name, const std::wstring& value) {
    ASSERT_TRUE(zu::test::SetRegString(HKEY_CURRENT_USER, kUserKey, name, value));
  }
  static void SetOption(const wchar_t* section, const wchar_t* name, const std::wstring& value) {
    ::WritePrivateProfileStringW(section, name, value.c_str(), zu::test::SettingsFile().c_str());
  }
  static std::wstring Option(const wchar_t* section, const wchar_t* name) {
    wchar_t text[256] = L"";
    ::GetPrivateProfileStringW(section, name, L"", text, 256, zu::test::SettingsFile().c_str());
    return text;
  }
  static std::optional<std::wstring> Stored(const wchar_t* name) {
    return zu::test::RegString(HKEY_CURRENT_USER, kUserKey, name);
  }

  // Starts the resident agent and waits for its first check to be done.
  void RunCheck() {
    agent_ = zu::test::StartAgent(L"/Stationary");
    ASSERT_TRUE(agent_);
    ASSERT_TRUE(zu::test::WaitFor([this] { return !server_.requests().empty(); }, 30000))
        << "the agent asked the server for nothing";
    ASSERT_TRUE(zu::test::WaitFor([] { return Stored(L"LastExecute").has_value(); }, 10000));
  }
  // Registers the recorder as the browser; answers the file it writes to.
  static std::wstring RecordBrowser() {
    const std::wstring log = zu::test::BinDir() + L"\\check-browser.log";
    EXPECT_TRUE(zu::test::RecordBrowserStarts(log));
    return log;
  }
  static bool Opened(const std::wstring& log, const std::string& address) {
    return zu::test::WaitFor(
        [&] { return zu::test::ReadFileBytes(log).find(address) != std::string::npos; }, 15000);
  }
  std::string Page(const std::string& name) const {
    return "http://127.0.0.1:" + std::to_string(server_.port()) + "/page/" + name;
  }
  std::wstring WaitForBalloon(DWORD ms = 15000) {
    std::wstring text;
    zu::test::WaitFor([&] { return !(text = zu::ui::VisibleBalloonText()).empty(); }, ms);
    return text;
  }

  // The maker's server: the files by path, and support pages that answer.
  std::map<std::string, std::string> files_;
  zu::test::LoopbackHttpServer server_{[this](const zu::test::LoopbackHttpServer::Request& r) {
    if (r.path.starts_with("/page/gone")) return Reply::With(404, "gone");
    if (r.path.starts_with("/page/")) return Reply::With(200, "<html>support</html>");
    const auto it = files_.find(r.path);
    return it == files_.end() ? Reply::With(404, "missing") : Reply::With(200, it->second);
  }};
  zu::test::Process agent_;
  zu::test::KeySnapshot user_{HKEY_CURRENT_USER, kUserKey};
  zu::test::KeySnapshot browser_{HKEY_LOCAL_MACHINE, zu::test::kBrowserKey};
  zu::test::FileSnapshot settings_{zu::test::SettingsFile()};
};

TEST_F(CheckE2E, NewUpdatesAreFetchedStoredAndAnnouncedAsRecommended) {
  files_[kModelFile] = InfoFile("<lastupdate>2099-1-1-0:0-GMT</lastupdate><interval>7</interval>"
                                "<urlauto>" + Page("auto") + "</urlauto><urlmanual>" +
                                Page("manual") + "</urlmanual>");
  RunCheck();

  const auto requests = server_.requests();
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ(kModelFile, requests[0].path);
  EXPECT_EQ(kRecommended, WaitForBalloon().substr(0, wcslen(kRecommended)));
  EXPECT_EQ(server_.Url("/page/auto"), Stored(L"SupportpageAutoURL").value_or(L""));
  EXPECT_EQ(server_.Url("/page/manual"), Stored(L"SupportpageManualURL").value_or(L""));
  EXPECT_EQ(L"7", Option(L"Option", L"Interval"));
  // The check never records a visit.
  EXPECT_FALSE(Stored(L"LastVisit").has_value());
}

TEST_F(CheckE2E, AnUrgentUpdateIsAnnouncedAsImportant) {
  files_[kModelFile] =
      InfoFile("<lastupdate>2099-1-1-0:0-GMT</lastupdate><urgentupdate>2099-1-1-0:0-GMT"
               "</urgentupdate>");
  RunCheck();
  const std::wstring balloon = WaitForBalloon();
  EXPECT_EQ(kImportant, balloon.substr(0, wcslen(kImportant)));
  const std::wstring dir = zu::test::BinDir() + L"\\..\\screenshots";
  ::CreateDirectoryW(dir.c_str(), nullptr);
  zu::ui::SaveScreenshot(dir + L"\\balloon-important.png");
}

TEST_F(CheckE2E, NothingNewSinceTheLastVisitShowsNoBalloon) {
  SetString(L"LastVisit", L"2030-1-1-0:0");
  files_[kModelFile] = InfoFile("<lastupdate>2001-1-1-0:0-GMT</lastupdate><urgentupdate/>");
  RunCheck();
  EXPECT_EQ(L"", WaitForBalloon(4000));
  EXPECT_EQ(1u, server_.requests().size());
}

TEST_F(CheckE2E, ModelCodeAndLanguageNameTheFile) {
  SetOption(L"Option", L"UseModelCode", L"1");
  SetOption(L"Option", L"Language", L"0411");
  files_["/info/VB9-0411.xml"] = InfoFile("<lastupdate>2099-1-1-0:0-GMT</lastupdate>");
  RunCheck();
  EXPECT_EQ("/info/VB9-0411.xml", server_.requests()[0].path);
  EXPECT_EQ(kRecommended, WaitForBalloon().substr(0, wcslen(kRecommended)));
}

TEST_F(CheckE2E, AMissingFileEndsTheCheckSilentlyAfterStamping) {
  RunCheck();  // nothing served: 404
  EXPECT_EQ(L"", WaitForBalloon(4000));
  EXPECT_FALSE(Stored(L"SupportpageAutoURL").has_value());
}

TEST_F(CheckE2E, ShowPageProbesTheManualPageWithTheAgentsUserAgentAndOpensIt) {
  const std::wstring log = RecordBrowser();
  SetDword(L"_Debug_PulseInterval", 3600000);  // no check of its own meanwhile
  files_[kModelFile] = InfoFile("<lastupdate>2001-1-1-0:0-GMT</lastupdate><urlmanual>" +
                                Page("manual") + "</urlmanual>");
  agent_ = zu::test::StartAgent(L"/showpage");
  ASSERT_TRUE(agent_);
  ASSERT_TRUE(Opened(log, Page("manual"))) << zu::test::ReadFileBytes(log);
  const auto requests = server_.requests();
  ASSERT_EQ(2u, requests.size());
  EXPECT_EQ(kModelFile, requests[0].path);
  EXPECT_EQ("/page/manual", requests[1].path);
  const std::string version = zu::test::ReadFileBytes(zu::test::InstallDir() + L"\\Version.txt");
  EXPECT_EQ("ZEFOUpdate-Client/" + version.substr(0, version.find_first_of("\r\n")),
            requests[1].user_agent);
  EXPECT_EQ(server_.Url("/page/manual"), Stored(L"SupportpageManualURL").value_or(L""));
  EXPECT_TRUE(Stored(L"LastVisit").has_value());

  // A later "/showpage" start hands the request to the running agent.
  ::DeleteFileW(log.c_str());
  ASSERT_TRUE(zu::test::RunAgentToEnd(L"/showpage"));
  ASSERT_TRUE(Opened(log, Page("manual"))) << zu::test::ReadFileBytes(log);
  EXPECT_EQ(4u, server_.requests().size());
  ::DeleteFileW(log.c_str());
}

TEST_F(CheckE2E, TheTrayMenuOpensTheManualPage) {
  const std::wstring log = RecordBrowser();
  SetDword(L"_Debug_PulseInterval", 3600000);
  files_[kModelFile] = InfoFile("<lastupdate>2001-1-1-0:0-GMT</lastupdate><urlmanual>" +
                                Page("manual") + "</urlmanual>");
  agent_ = zu::test::StartAgent(L"/Stationary");
  ASSERT_TRUE(zu::test::WaitFor([] { return zu::test::ChooseTrayMenuItem(ID_TRAY_SUPPORT); }, 20000));
  ASSERT_TRUE(Opened(log, Page("manual"))) << zu::test::ReadFileBytes(log);
  EXPECT_TRUE(Stored(L"LastVisit").has_value());
  ::DeleteFileW(log.c_str());
}

TEST_F(CheckE2E, ShowPageFailuresGiveTheirMessageOrFallbackPage) {
  const std::wstring log = RecordBrowser();
  SetDword(L"_Debug_PulseInterval", 3600000);
  struct Case {
    const char* name;
    std::string file;          // served as the model's file; empty: none
    std::string invalid_page;  // URLForInvalidSupportPage
    std::string invalid_info;  // URLForInvalidInfoFile
    std::wstring message;      // expected message text, or
    std::string opened;        // the page expected in the browser
  };
  const std::string old = "<lastupdate>2001-1-1-0:0-GMT</lastupdate>";
  const Case cases[] = {
      {"no support page", InfoFile(old), "", "", L"The support page failed to open. Please try again.",
       ""},
      {"unreachable page", InfoFile(old + "<urlmanual>" + Page("gone") + "</urlmanual>"), "", "",
       L"The server could not be accessed. Please try again.", ""},
      {"unreachable page, fallback", InfoFile(old + "<urlmanual>" + Page("gone") + "</urlmanual>"),
       Page("invalid-page"), Page("invalid-info"), L"", Page("invalid-page")},
      {"no file, fallback", "", "", Page("invalid-info"), L"", Page("invalid-info")},
      {"no file, unreachable fallback", "", "", Page("gone-too"),
       L"The server could not be accessed. Please try again.", ""},
      {"unreachable redirect", InfoFile(old + "<serial range=\"\">nowhere.xml</serial>"), "", "",
       L"This file format is incorrect.", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    zu::test::StopAllAgents();
    ::DeleteFileW(log.c_str());
    files_.clear();
    if (!c.file.empty()) files_[kModelFile] = c.file;
    SetOption(L"Option", L"URLForInvalidSupportPage", std::wstring(c.invalid_page.begin(), c.invalid_page.end()));
    SetOption(L"Option", L"URLForInvalidInfoFile", std::wstring(c.invalid_info.begin(), c.invalid_info.end()));
    agent_ = zu::test::StartAgent(L"/showpage");
    if (!c.message.empty()) {
      std::wstring text;
      EXPECT_TRUE(zu::ui::CloseMessageBox(L"ZEFO Update", L"OK", 15000, &text));
      EXPECT_EQ(c.message, text);
    } else {
      EXPECT_TRUE(Opened(log, c.opened)) << zu::test::ReadFileBytes(log);
    }
    // A fallback page is no visit.
    EXPECT_FALSE(Stored(L"LastVisit").has_value());
  }
  ::DeleteFileW(log.c_str());
}

TEST_F(CheckE2E, ABalloonClickOpensTheNotificationPageAndRecordsTheVisit) {
  const std::wstring log = RecordBrowser();
  files_[kModelFile] = InfoFile("<lastupdate>2099-1-1-0:0-GMT</lastupdate><urlauto>" +
                                Page("auto") + "</urlauto>");
  RunCheck();
  ASSERT_FALSE(WaitForBalloon().empty());
  // Wine's tray does not pass a click on the balloon on to the icon's
  // owner, so the click arrives as the shell would send it: the callback
  // message 0x8016 with NIN_BALLOONUSERCLICK, to the "Icon Holder" window.
  HWND holder = ::FindWindowW(nullptr, L"Icon Holder");
  ASSERT_NE(nullptr, holder);
  ::PostMessageW(holder, 0x8016, 0, NIN_BALLOONUSERCLICK);
  ASSERT_TRUE(Opened(log, Page("auto"))) << zu::test::ReadFileBytes(log);
  EXPECT_TRUE(zu::test::WaitFor([] { return Stored(L"LastVisit").has_value(); }, 5000));
  ::DeleteFileW(log.c_str());
}

// A page of another scheme in the file is neither stored nor handed to the
// browser: the balloon click finds no page for this PC and says so.
TEST_F(CheckE2E, APageOfAnotherSchemeNeverReachesTheBrowser) {
  const std::wstring log = RecordBrowser();
  files_[kModelFile] = InfoFile(
      "<lastupdate>2099-1-1-0:0-GMT</lastupdate>"
      "<urlauto>file:///C:/windows/system32/notepad.exe</urlauto>"
      "<urlmanual>C:\\windows\\system32\\notepad.exe</urlmanual>");
  RunCheck();
  ASSERT_FALSE(WaitForBalloon().empty());
  EXPECT_FALSE(Stored(L"SupportpageAutoURL").has_value());
  EXPECT_FALSE(Stored(L"SupportpageManualURL").has_value());
  HWND holder = ::FindWindowW(nullptr, L"Icon Holder");
  ASSERT_NE(nullptr, holder);
  ::PostMessageW(holder, 0x8016, 0, NIN_BALLOONUSERCLICK);
  std::wstring text;
  EXPECT_TRUE(zu::ui::CloseMessageBox(L"ZEFO Update", L"OK", 15000, &text));
  EXPECT_EQ(L"The support page failed to open. Please try again.", text);
  EXPECT_EQ("", zu::test::ReadFileBytes(log));
  EXPECT_FALSE(Stored(L"LastVisit").has_value());
  ::DeleteFileW(log.c_str());
}

}  // namespace
