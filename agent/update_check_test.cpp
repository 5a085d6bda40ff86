#include "agent/update_check.h"

#include <windows.h>

#include <map>
#include <vector>

#include <gtest/gtest.h>

#include "agent/info/clock.h"
#include "agent/info/my_reg_key.h"
#include "agent/info/settings.h"
#include "agent/resource.h"
#include "tests/support/loopback_http.h"
#include "tests/support/settings.h"
#include "tests/support/text.h"

namespace {

using zu::test::Utf8;

constexpr wchar_t kFuture[] = L"2099-1-1-0:0-GMT";
constexpr wchar_t kPast[] = L"2001-1-1-0:0-GMT";

// Information files served over loopback HTTP; the server's address is the
// base that serial redirects are read against (addresses from the files are
// web addresses). The world around the check is recorded instead of shown.
class CheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zu::test::ClearUserValues();
    settings_.MakeFolders();
    ASSERT_TRUE(server_.ok());
    base_ = server_.Url("/");
    SetOption(L"Setting", L"InfoFileURLBase", base_);

    world_.connected = [this] { return connected_; };
    world_.auto_check_on = [] { return true; };
    world_.disable_button = [this] { return disable_button_; };
    world_.own_info_file = [this] {
      ++own_loads_;
      return base_ + L"own.xml";
    };
    world_.reachable = [this](const std::wstring& url) {
      probed_.push_back(url);
      return reachable_.count(url) != 0;
    };
    world_.open_page = [this](const std::wstring& url) { opened_.push_back(url); };
    world_.message = [this](UINT id) { messages_.push_back(id); };
    world_.new_info_file = [this] {
      auto file = std::make_unique<CMyInfoFile>(L"Vista");
      CMyInfoFile::Inputs in = CMyInfoFile::ThisPC();
      in.serial = [] { return std::wstring(L"B777"); };
      in.is_installed = [this](const std::wstring& id) { return installed_.count(id) != 0; };
      file->SetInputs(std::move(in));
      return file;
    };
  }
  void Write(const std::wstring& name, const std::wstring& xml) {
    files_.Put("/" + Utf8(name), Utf8(xml));
  }
  void Remove(const std::wstring& name) { files_.Remove("/" + Utf8(name)); }
  static void SetOption(const wchar_t* section, const wchar_t* key, const std::wstring& value) {
    ::WritePrivateProfileStringW(section, key, value.c_str(), GetSettingsFilePath().c_str());
  }
  static std::wstring Stored(const wchar_t* name) {
    std::wstring text;
    HKEY key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kAgentUserKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
      return text;
    wchar_t buf[1024] = {};
    DWORD size = sizeof(buf) - sizeof(wchar_t);
    if (::RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size) ==
        ERROR_SUCCESS)
      text = buf;
    ::RegCloseKey(key);
    return text;
  }
  void Visited() { ASSERT_TRUE(StampLastVisit()); }

  zu::test::KeySnapshot user_{HKEY_CURRENT_USER, kAgentUserKey};
  zu::test::SettingsFileAside settings_;
  std::wstring base_;
  zu::test::ServedFiles files_;
  zu::test::LoopbackHttpServer server_{
      [this](const zu::test::LoopbackHttpServer::Request& r) { return files_.Reply(r); }};
  CheckWorld world_;
  bool connected_ = true;
  bool disable_button_ = false;
  int own_loads_ = 0;
  std::map<std::wstring, bool> reachable_;
  std::map<std::wstring, bool> installed_;
  std::vector<std::wstring> probed_, opened_;
  std::vector<UINT> messages_;
};

TEST_F(CheckTest, BalloonFollowsTheFileAndLastVisit) {
  struct Case {
    const char* what;
    std::wstring xml;
    bool visited;
    std::optional<BalloonKind> balloon;
  } const cases[] = {
      {"nothing published", L"<i><interval>3</interval></i>", false, std::nullopt},
      {"never visited, no urgent", L"<i><lastupdate>" + std::wstring(kPast) + L"</lastupdate></i>",
       false, BalloonKind::kRecommended},
      {"never visited, empty urgent counts",
       L"<i><lastupdate>" + std::wstring(kPast) + L"</lastupdate><urgentupdate/></i>", false,
       BalloonKind::kImportant},
      {"visited after the publication", L"<i><lastupdate>" + std::wstring(kPast) +
                                            L"</lastupdate><urgentupdate>" + kFuture +
                                            L"</urgentupdate></i>",
       true, std::nullopt},
      {"new and urgent", L"<i><lastupdate>" + std::wstring(kFuture) +
                             L"</lastupdate><urgentupdate>" + kFuture + L"</urgentupdate></i>",
       true, BalloonKind::kImportant},
      {"new, old urgent", L"<i><lastupdate>" + std::wstring(kFuture) +
                              L"</lastupdate><urgentupdate>" + kPast + L"</urgentupdate></i>",
       true, BalloonKind::kRecommended},
      {"new for another system only",
       L"<i><x OS='XP'><lastupdate>" + std::wstring(kFuture) + L"</lastupdate></x></i>", true,
       std::nullopt},
  };
  for (const Case& c : cases) {
    zu::test::ClearUserValues();
    if (c.visited) Visited();
    Write(L"own.xml", c.xml);
    const CheckResult r = RunUpdateCheck(kOwnInfoFile, world_);
    EXPECT_EQ(r.balloon, c.balloon) << c.what;
    EXPECT_FALSE(Stored(L"LastExecute").empty()) << c.what;
  }
}

TEST_F(CheckTest, NewUpdatesStorePagesAndInterval) {
  Write(L"own.xml", L"<i><lastupdate>" + std::wstring(kFuture) + L"</lastupdate>"
                    L"<interval>5</interval><urlauto>http://s/auto</urlauto>"
                    L"<urlmanual>http://s/manual</urlmanual></i>");
  const CheckResult r = RunUpdateCheck(kOwnInfoFile, world_);
  EXPECT_EQ(r.interval_days, 5);
  EXPECT_EQ(Stored(L"SupportpageAutoURL"), L"http://s/auto");
  EXPECT_EQ(Stored(L"SupportpageManualURL"), L"http://s/manual");
  EXPECT_EQ(ReadInterval(), L"5");
  // The check never records a visit: the balloon comes back until the
  // user opens the page.
  EXPECT_TRUE(Stored(L"LastVisit").empty());

  // Nothing new: nothing stored.
  Visited();
  Write(L"own.xml", L"<i><lastupdate>" + std::wstring(kPast) + L"</lastupdate>"
                    L"<interval>9</interval><urlauto>http://s/other</urlauto></i>");
  EXPECT_EQ(RunUpdateCheck(kOwnInfoFile, world_).interval_days, -1);
  EXPECT_EQ(Stored(L"SupportpageAutoURL"), L"http://s/auto");
}

TEST_F(CheckTest, FileFailuresAreSilentButTheCheckCounts) {
  Write(L"own.xml", L"<i><lastupdate>");  // not well-formed
  EXPECT_FALSE(RunUpdateCheck(kOwnInfoFile, world_).balloon);
  EXPECT_FALSE(Stored(L"LastExecute").empty());
  EXPECT_FALSE(RunUpdateCheck(base_ + L"missing.xml", world_).balloon);
  EXPECT_TRUE(messages_.empty());
}

TEST_F(CheckTest, RedirectsAreFollowedWithinTheBound) {
  const std::wstring news = L"<lastupdate>" + std::wstring(kFuture) + L"</lastupdate>";
  // own -> r1 -> ... -> r7 -> final: eight redirects are followed.
  Write(L"own.xml", L"<i><serial range='B-'>r1.xml</serial></i>");
  for (int i = 1; i <= 7; ++i) {
    const std::wstring next = i == 7 ? L"final.xml" : L"r" + std::to_wstring(i + 1) + L".xml";
    Write(L"r" + std::to_wstring(i) + L".xml", L"<i><serial>" + next + L"</serial></i>");
  }
  Write(L"final.xml", L"<i>" + news + L"</i>");
  EXPECT_EQ(RunUpdateCheck(kOwnInfoFile, world_).balloon, BalloonKind::kRecommended);

  // One more link is one too many.
  Write(L"r7.xml", L"<i><serial>r8.xml</serial></i>");
  Write(L"r8.xml", L"<i><serial>final.xml</serial></i>");
  EXPECT_FALSE(RunUpdateCheck(kOwnInfoFile, world_).balloon);

  // A loop ends at the first address seen twice.
  Write(L"own.xml", L"<i><serial>a.xml</serial>" + news + L"</i>");
  Write(L"a.xml", L"<i><serial>b.xml</serial>" + news + L"</i>");
  Write(L"b.xml", L"<i><serial>a.xml</serial>" + news + L"</i>");
  EXPECT_FALSE(RunUpdateCheck(kOwnInfoFile, world_).balloon);

  // A serial range that does not hold this PC is no redirect.
  Write(L"own.xml", L"<i><serial range='C100-C200'>a.xml</serial>" + news + L"</i>");
  EXPECT_EQ(RunUpdateCheck(kOwnInfoFile, world_).balloon, BalloonKind::kRecommended);
}

TEST_F(CheckTest, DownloadableModulesGiveRecommended) {
  const std::wstring esd = L"<esdlastupdate>" + std::wstring(kFuture) + L"</esdlastupdate>";
  const std::wstring module = L"<esdmodule spid='NEW1'><needs>BASE</needs></esdmodule>";
  Write(L"own.xml", L"<i>" + esd + module + L"</i>");
  EXPECT_FALSE(RunUpdateCheck(kOwnInfoFile, world_).balloon);  // base not installed
  installed_[L"BASE"] = true;
  EXPECT_EQ(RunUpdateCheck(kOwnInfoFile, world_).balloon, BalloonKind::kRecommended);
  installed_[L"NEW1"] = true;
  EXPECT_FALSE(RunUpdateCheck(kOwnInfoFile, world_).balloon);  // already there

  // The module list may live in a file of its own, which then decides.
  installed_.erase(L"NEW1");
  Write(L"esd.xml", L"<i/>");
  Write(L"own.xml", L"<i>" + esd + module + L"<urlesdinfo>" + base_ + L"esd.xml</urlesdinfo></i>");
  EXPECT_FALSE(RunUpdateCheck(kOwnInfoFile, world_).balloon);
  Write(L"esd.xml", L"<i>" + module + L"</i>");
  EXPECT_EQ(RunUpdateCheck(kOwnInfoFile, world_).balloon, BalloonKind::kRecommended);
}

TEST_F(CheckTest, NoCheckWithoutConnectionWhenAutomaticCheckingIsOff) {
  world_.auto_check_on = [] { return false; };
  connected_ = false;
  Write(L"own.xml", L"<i><lastupdate>" + std::wstring(kFuture) + L"</lastupdate></i>");
  EXPECT_FALSE(RunUpdateCheck(kOwnInfoFile, world_).balloon);
  EXPECT_TRUE(Stored(L"LastExecute").empty());
}

// ---- open-support-page ----

TEST_F(CheckTest, SupportPageRefusalsComeBeforeAnyStamp) {
  disable_button_ = true;
  EXPECT_FALSE(OpenSupportPage(false, world_));
  disable_button_ = false;
  connected_ = false;
  EXPECT_FALSE(OpenSupportPage(true, world_));
  EXPECT_EQ(messages_, (std::vector<UINT>{IDS_ALREADY_STARTED, IDS_NOT_CONNECTED}));
  EXPECT_TRUE(Stored(L"LastExecute").empty());
  EXPECT_EQ(own_loads_, 0);
}

TEST_F(CheckTest, AutomaticVisitOpensTheStoredPageWithoutDownload) {
  ASSERT_TRUE(CMyRegKey().SetSupportPageURL(L"http://gone/auto", true));
  EXPECT_TRUE(OpenSupportPage(true, world_));
  EXPECT_EQ(opened_, std::vector<std::wstring>{L"http://gone/auto"});
  EXPECT_EQ(own_loads_, 0);
  EXPECT_TRUE(probed_.empty());
  EXPECT_FALSE(Stored(L"LastVisit").empty());
  EXPECT_FALSE(Stored(L"LastExecute").empty());
}

TEST_F(CheckTest, ManualVisitFindsProbesAndStoresThePage) {
  Write(L"own.xml", L"<i><urlauto>http://s/auto</urlauto><urlmanual>http://s/manual</urlmanual></i>");
  reachable_[L"http://s/manual"] = true;
  EXPECT_TRUE(OpenSupportPage(false, world_));
  EXPECT_EQ(opened_, std::vector<std::wstring>{L"http://s/manual"});
  EXPECT_EQ(Stored(L"SupportpageManualURL"), L"http://s/manual");
  EXPECT_TRUE(Stored(L"SupportpageAutoURL").empty());
  EXPECT_FALSE(Stored(L"LastVisit").empty());
}

TEST_F(CheckTest, SupportPageOutcomes) {
  struct Case {
    const char* what;
    std::wstring own;  // empty: no file at all
    std::vector<std::wstring> reachable;
    std::wstring invalid_page, invalid_info;  // fallback settings
    std::vector<std::wstring> opened;
    std::vector<UINT> messages;
  } const cases[] = {
      {"no page for this system", L"<i><x OS='XP'><urlmanual>http://s/xp</urlmanual></x></i>",
       {}, L"", L"", {}, {IDS_SUPPORT_PAGE_FAILED}},
      {"page does not answer, no fallback", L"<i><urlmanual>http://s/m</urlmanual></i>",
       {}, L"", L"", {}, {IDS_SERVER_UNREACHABLE}},
      {"page does not answer, fallback page answers", L"<i><urlmanual>http://s/m</urlmanual></i>",
       {L"http://f/page"}, L"http://f/page", L"http://f/info", {L"http://f/page"}, {}},
      {"page and its fallback do not answer, info fallback does",
       L"<i><urlmanual>http://s/m</urlmanual></i>",
       {L"http://f/info"}, L"http://f/page", L"http://f/info", {L"http://f/info"}, {}},
      {"no file, info fallback answers", L"", {L"http://f/info"}, L"", L"http://f/info",
       {L"http://f/info"}, {}},
      {"no file, info fallback silent", L"", {}, L"", L"http://f/info", {},
       {IDS_SERVER_UNREACHABLE}},
      {"redirect target does not answer", L"<i><serial>r.xml</serial></i>", {}, L"", L"", {},
       {IDS_BAD_FORMAT}},
      {"redirect target without page", L"<i><serial>r.xml</serial></i>", {L"@r"}, L"", L"", {},
       {IDS_SERVER_UNREACHABLE}},
  };
  Write(L"r.xml", L"<i><urlauto>http://s/auto</urlauto></i>");
  for (const Case& c : cases) {
    zu::test::ClearUserValues();
    Remove(L"own.xml");
    if (!c.own.empty()) Write(L"own.xml", c.own);
    SetOption(L"Option", L"URLForInvalidSupportPage", c.invalid_page);
    SetOption(L"Option", L"URLForInvalidInfoFile", c.invalid_info);
    reachable_.clear();
    for (const std::wstring& r : c.reachable) reachable_[r == L"@r" ? base_ + L"r.xml" : r] = true;
    opened_.clear();
    messages_.clear();
    EXPECT_FALSE(OpenSupportPage(false, world_)) << c.what;
    EXPECT_EQ(opened_, c.opened) << c.what;
    EXPECT_EQ(messages_, c.messages) << c.what;
    // Fallback pages are no visit.
    EXPECT_TRUE(Stored(L"LastVisit").empty()) << c.what;
    EXPECT_FALSE(Stored(L"LastExecute").empty()) << c.what;
  }
}

TEST_F(CheckTest, SupportPageFollowsOneRedirect) {
  Write(L"own.xml", L"<i><serial>r.xml</serial></i>");
  Write(L"r.xml", L"<i><urlauto>http://s/auto</urlauto><serial>x.xml</serial></i>");
  reachable_[base_ + L"r.xml"] = true;
  reachable_[L"http://s/auto"] = true;
  EXPECT_TRUE(OpenSupportPage(true, world_));
  EXPECT_EQ(opened_, std::vector<std::wstring>{L"http://s/auto"});
  EXPECT_EQ(Stored(L"SupportpageAutoURL"), L"http://s/auto");
  EXPECT_EQ(probed_, (std::vector<std::wstring>{base_ + L"r.xml", L"http://s/auto"}));
}

// Pages from the file, the settings or an earlier version's store that are
// no web addresses are neither stored, probed nor opened.
TEST_F(CheckTest, PagesOfOtherSchemesNeverReachTheBrowser) {
  const std::wstring program = L"file:///C:/windows/system32/notepad.exe";
  Write(L"own.xml", L"<i><lastupdate>" + std::wstring(kFuture) + L"</lastupdate><urlauto>" +
                        program + L"</urlauto><urlmanual>javascript:alert(1)</urlmanual></i>");
  EXPECT_EQ(RunUpdateCheck(kOwnInfoFile, world_).balloon, BalloonKind::kRecommended);
  EXPECT_TRUE(Stored(L"SupportpageAutoURL").empty());
  EXPECT_TRUE(Stored(L"SupportpageManualURL").empty());

  ASSERT_TRUE(CMyRegKey().SetSupportPageURL(program, true));  // left by an earlier version
  SetOption(L"Option", L"URLForInvalidInfoFile", program);
  SetOption(L"Option", L"URLForInvalidSupportPage", L"C:\\windows\\notepad.exe");
  own_loads_ = 0;
  EXPECT_FALSE(OpenSupportPage(true, world_));
  EXPECT_EQ(own_loads_, 1) << "the stored page was not taken";
  EXPECT_FALSE(OpenSupportPage(false, world_));
  Remove(L"own.xml");
  EXPECT_FALSE(OpenSupportPage(false, world_));
  EXPECT_TRUE(opened_.empty());
  EXPECT_TRUE(probed_.empty());
  EXPECT_EQ(messages_, (std::vector<UINT>{IDS_SUPPORT_PAGE_FAILED, IDS_SUPPORT_PAGE_FAILED,
                                          IDS_SERVER_UNREACHABLE}));
}

// An empty page element clears the stored page, so a visit goes on to the
// fallback pages.
TEST_F(CheckTest, AnEmptyPageElementClearsTheStoredPage) {
  ASSERT_TRUE(CMyRegKey().SetSupportPageURL(L"http://s/old", false));
  Write(L"own.xml", L"<i><urlmanual></urlmanual></i>");
  SetOption(L"Option", L"URLForInvalidSupportPage", L"http://f/page");
  reachable_[L"http://f/page"] = true;
  EXPECT_FALSE(OpenSupportPage(false, world_));
  EXPECT_TRUE(Stored(L"SupportpageManualURL").empty());
  EXPECT_EQ(opened_, std::vector<std::wstring>{L"http://f/page"});
  EXPECT_TRUE(messages_.empty());
}

}  // namespace
