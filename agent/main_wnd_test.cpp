// The main window's pulse with its collaborators faked: a clock the test
// sets, information files on a loopback server, a recorded shell. The
// per-user values and the settings file are the real ones, set aside.
#include "agent/main_wnd.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "agent/info/clock.h"
#include "agent/info/my_reg_key.h"
#include "agent/info/settings.h"
#include "common/framework/seam.h"
#include "tests/support/loopback_http.h"
#include "tests/support/settings.h"
#include "tests/support/text.h"

namespace {

constexpr int64_t kDay = 86400;
constexpr char kNews[] = "<lastupdate>2099-1-1-0:0-GMT</lastupdate>";
constexpr char kEsdNews[] = "<esdlastupdate>2099-1-1-0:0-GMT</esdlastupdate>";

int64_t g_now = 0;
int64_t FixedClock() { return g_now; }

// The balloons the icon window asked the shell for, by title.
std::vector<std::wstring> g_balloons;
int g_icon_adds = 0;
BOOL RecordShell(DWORD message, NOTIFYICONDATAW* data) {
  if (message == NIM_ADD) ++g_icon_adds;
  if (message != NIM_DELETE && (data->uFlags & NIF_INFO)) g_balloons.push_back(data->szInfoTitle);
  return TRUE;
}
bool ShellReady() { return true; }

const wchar_t kWelcome[] = L"Welcome to ZEFO Update!";
const wchar_t kUpdates[] = L"ZEFO Update";  // Recommended and Important

class MainWndTest : public ::testing::Test, public IMainWndOwner {
 protected:
  void SetUp() override {
    zu::test::ClearUserValues();
    settings_.MakeFolders();
    ASSERT_TRUE(server_.ok());
    g_now = 1300000000;  // 2011-03-13
    g_balloons.clear();
    g_icon_adds = 0;
    world_ = CheckWorld::Real(switches_);
    world_.connected = [this] { return connected_; };
    world_.own_info_file = [this] {
      ++checks_;
      return server_.Url("/own.xml");
    };
  }
  void TearDown() override { Close(); }

  void OpenOptions() override { ++options_opened_; }

  // A main window as start-up makes it, with the option stored first.
  void Open(int stored_option) {
    Close();
    ASSERT_TRUE(WriteSuppressBalloon(stored_option));
    wnd_ = std::make_unique<CMainWnd>(*this, switches_, world_);
    ASSERT_TRUE(wnd_->Create());
  }
  // The application's main window ends the message loop when it goes; the
  // test thread's loop must go on.
  void Close() {
    wnd_.reset();
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
  }
  void Pulse() { wnd_->Pulse(); }

  static std::optional<std::wstring> Stored(const wchar_t* name) {
    return zu::test::RegString(HKEY_CURRENT_USER, kAgentUserKey, name);
  }
  static std::wstring Now() { return FormatTimeStamp(g_now); }
  void Serve(const std::string& path, const std::string& inner) {
    files_.Put(path, "<i>" + inner + "</i>");
  }

  zu::test::KeySnapshot user_{HKEY_CURRENT_USER, kAgentUserKey};
  zu::test::SettingsFileAside settings_;
  zu::ScopedOverride<ClockSource> clock_{zu::seams::clock_source, FixedClock};
  zu::ScopedOverride<zu::seams::ShellNotifyIconFn> shell_{zu::seams::shell_notify_icon,
                                                         RecordShell};
  zu::ScopedOverride<zu::seams::ShellReadyFn> ready_{zu::seams::shell_ready, ShellReady};
  zu::test::ServedFiles files_;
  zu::test::LoopbackHttpServer server_{
      [this](const zu::test::LoopbackHttpServer::Request& r) { return files_.Reply(r); }};
  AgentSwitches switches_;
  CheckWorld world_;
  bool connected_ = true;
  int checks_ = 0;
  int options_opened_ = 0;
  std::unique_ptr<CMainWnd> wnd_;
};

// A new user: the welcome once, when connected; no check until the Options
// dialog ends the first run, while the due-check keeps "LastExecute" sane.
TEST_F(MainWndTest, WelcomeOnceAndNoCheckWhileFirstRun) {
  Serve("/own.xml", kNews);
  Open(0);
  ASSERT_EQ(1, g_icon_adds);

  connected_ = false;
  Pulse();
  EXPECT_TRUE(g_balloons.empty()) << "no welcome without a connection";
  EXPECT_EQ(1u, zu::test::RegDword(HKEY_CURRENT_USER, kAgentUserKey, L"FirstRun"));
  EXPECT_EQ(Now(), Stored(L"LastExecute")) << "the due-check stamps a missing value";

  connected_ = true;
  Pulse();
  Pulse();
  EXPECT_EQ(std::vector<std::wstring>{kWelcome}, g_balloons) << "once per process";

  zu::test::SetUserString(L"LastExecute", L"2099-01-01-00:00");
  Pulse();
  EXPECT_EQ(Now(), Stored(L"LastExecute")) << "a stamp in the future is rewritten";
  g_now += 3 * kDay;
  Pulse();
  EXPECT_EQ(0, checks_) << "due, but the first run is not over";
  EXPECT_EQ(FormatTimeStamp(g_now - 3 * kDay), Stored(L"LastExecute"));

  zu::test::SetUserDword(L"FirstRun", 0);
  Pulse();
  EXPECT_EQ(1, checks_);
  EXPECT_EQ(Now(), Stored(L"LastExecute"));
  EXPECT_EQ((std::vector<std::wstring>{kWelcome, kUpdates}), g_balloons);
  EXPECT_EQ(0, options_opened_);
}

// "SuppressBallonPopUp" 2: no icon, and pulses neither check, greet, stamp
// nor create a value, whatever is stored.
TEST_F(MainWndTest, StoredOptionTwoMakesPulsesDoNothing) {
  Serve("/own.xml", kNews);
  for (bool first_run_over : {false, true}) {
    SCOPED_TRACE(first_run_over ? "an old user, last check long ago" : "a new user");
    zu::test::ClearUserValues();
    if (first_run_over) {
      zu::test::SetUserDword(L"FirstRun", 0);
      zu::test::SetUserString(L"LastExecute", FormatTimeStamp(g_now - 30 * kDay));
    }
    const auto before = zu::test::KeySnapshot::Read(HKEY_CURRENT_USER, kAgentUserKey);
    g_icon_adds = 0;
    Open(2);
    EXPECT_FALSE(switches_.auto_check);
    for (int i = 0; i < 3; ++i) {
      g_now += 2 * kDay;
      Pulse();
    }
    EXPECT_EQ(0, g_icon_adds);
    EXPECT_TRUE(g_balloons.empty());
    EXPECT_EQ(0, checks_);
    EXPECT_EQ(before, zu::test::KeySnapshot::Read(HKEY_CURRENT_USER, kAgentUserKey));
  }
}

// The interval a fetched file brings is the schedule in force at once,
// also when its ESD file cannot be loaded afterwards (it is stored by then).
TEST_F(MainWndTest, IntervalFromTheFileIsTheScheduleInForce) {
  struct Case {
    const char* what;
    std::string own;
    std::optional<std::string> esd;  // the ESD file, when it is there
    bool balloon;
  } const cases[] = {
      {"new updates", std::string(kNews) + "<interval>5</interval>", std::nullopt, true},
      {"new ESD updates, ESD file missing",
       std::string(kEsdNews) + "<interval>5</interval><urlesdinfo>" +
           zu::test::Utf8(server_.Url("/esd.xml")) + "</urlesdinfo>",
       std::nullopt, false},
      {"new ESD updates, ESD file broken",
       std::string(kEsdNews) + "<interval>5</interval><urlesdinfo>" +
           zu::test::Utf8(server_.Url("/esd.xml")) + "</urlesdinfo>",
       "<i><esdmodule", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    zu::test::ClearUserValues();
    zu::test::SetUserDword(L"FirstRun", 0);
    ASSERT_TRUE(WriteInterval(L"1"));
    Serve("/own.xml", c.own);
    if (c.esd)
      files_.Put("/esd.xml", *c.esd);
    else
      files_.Remove("/esd.xml");
    Open(0);
    g_balloons.clear();
    checks_ = 0;

    Pulse();  // no check yet: due at once
    ASSERT_EQ(1, checks_);
    EXPECT_EQ(c.balloon, !g_balloons.empty());
    EXPECT_EQ(L"5", ReadInterval());
    EXPECT_EQ(5, wnd_->schedule().interval_days());

    // Five days, give or take the jitter of at most six hours.
    g_now += 4 * kDay;
    Pulse();
    EXPECT_EQ(1, checks_) << "four days are not five";
    g_now += kDay + 7 * 3600;
    Pulse();
    EXPECT_EQ(2, checks_);
  }
}

}  // namespace
