#include "agent/notify_icon_wnd.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "agent/info/clock.h"
#include "agent/info/my_reg_key.h"
#include "agent/resource.h"
#include "common/framework/seam.h"
#include "tests/support/registry.h"
#include "tests/support/windows.h"
#include "tools/uiauto/uiauto.h"

namespace {

class FakeOwner : public INotifyIconOwner {
 public:
  bool IsAutoCheckOn() const override { return auto_check; }
  bool AreBalloonsSuppressed() const override { return suppressed; }
  bool OpenSupportPage(bool automatic) override {
    calls.push_back(automatic ? L"page auto" : L"page manual");
    return page_opens;
  }
  void OpenOptions() override { calls.push_back(L"options"); }
  bool IsOptionsQuestionOpen() const override { return question_open; }

  bool auto_check = true, suppressed = false, page_opens = true, question_open = false;
  std::vector<std::wstring> calls;
};

using zu::test::PumpMessages;

// Every call the icon window makes to the shell; handed on to the real
// shell unless a test wants failures.
struct ShellCall {
  DWORD message;
  NOTIFYICONDATAW data;
};
std::vector<ShellCall> g_shell_calls;
int g_failures_left = 0;  // the next adds fail
bool g_shell_ready = false;

BOOL RecordingNotify(DWORD message, NOTIFYICONDATAW* data) {
  g_shell_calls.push_back({message, *data});
  if (message == NIM_ADD && g_failures_left > 0) {
    --g_failures_left;
    return FALSE;
  }
  return ::Shell_NotifyIconW(message, data);
}
bool FakeShellReady() { return g_shell_ready; }

int CountCalls(DWORD message) {
  int n = 0;
  for (const ShellCall& c : g_shell_calls) n += c.message == message;
  return n;
}

std::wstring WaitForBalloon(const std::wstring& text, DWORD ms) {
  std::wstring seen;
  for (DWORD waited = 0; waited < ms; waited += 100) {
    seen = zu::ui::VisibleBalloonText();
    if (seen == text) break;
    PumpMessages(100);
  }
  return seen;
}

class IconTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_shell_calls.clear();
    g_failures_left = 0;
    g_shell_ready = false;
    icon_.Create(main_.hwnd());
  }
  void TearDown() override {
    icon_.Destroy();
    if (agent_icon_) ::DestroyIcon(agent_icon_);
  }
  // What a click on the icon or its balloon sends.
  LRESULT Event(UINT event, WPARAM id = kIconId) {
    return ::SendMessageW(icon_.hwnd(), kIconCallbackMessage, id, event);
  }

  // Before the icon window, so that they outlast it.
  zu::ScopedOverride<zu::seams::ShellNotifyIconFn> notify_{zu::seams::shell_notify_icon,
                                                          RecordingNotify};
  zu::ScopedOverride<zu::seams::ShellReadyFn> ready_{zu::seams::shell_ready, FakeShellReady};
  zu::test::StandInWindow main_;
  FakeOwner owner_;
  CNtifyIconWnd icon_{owner_};
  HICON agent_icon_ = LoadAgentIcon();
};

TEST_F(IconTest, IconIsAddedWithTipAndRemovedAgain) {
  EXPECT_TRUE(icon_.SetIcon(L"ZEFO Update", agent_icon_, true));
  EXPECT_TRUE(icon_.icon_added());
  ASSERT_EQ(1u, g_shell_calls.size());
  const NOTIFYICONDATAW& d = g_shell_calls[0].data;
  EXPECT_EQ(DWORD{NIM_ADD}, g_shell_calls[0].message);
  EXPECT_EQ(952u, d.cbSize);
  EXPECT_EQ(icon_.hwnd(), d.hWnd);
  EXPECT_EQ(0u, d.uID);
  EXPECT_EQ(UINT{NIF_MESSAGE | NIF_ICON | NIF_TIP}, d.uFlags);
  EXPECT_EQ(0x8016u, d.uCallbackMessage);
  EXPECT_EQ(agent_icon_, d.hIcon);
  EXPECT_STREQ(L"ZEFO Update", d.szTip);

  icon_.SetIcon(L"ZEFO Update", agent_icon_, false);
  EXPECT_FALSE(icon_.icon_added());
  EXPECT_EQ(1, CountCalls(NIM_DELETE));
  icon_.Destroy();  // nothing left to remove
  EXPECT_EQ(1, CountCalls(NIM_DELETE));
}

TEST_F(IconTest, BalloonsShowInTheTray) {
  ASSERT_TRUE(icon_.SetIcon(L"ZEFO Update", agent_icon_, true));
  struct Row {
    BalloonKind kind;
    UINT title, text;
    DWORD icon;
  } rows[] = {
      {BalloonKind::kWelcome, 60000, 60001, NIIF_INFO},
      {BalloonKind::kRecommended, 60002, 60003, NIIF_INFO},
      {BalloonKind::kImportant, 60004, 60005, NIIF_WARNING},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(static_cast<int>(r.kind));
    g_shell_calls.clear();
    icon_.ShowBalloon(agent_icon_, r.kind);
    EXPECT_EQ(r.kind, icon_.last_balloon());
    ASSERT_EQ(1u, g_shell_calls.size());
    const NOTIFYICONDATAW& d = g_shell_calls[0].data;
    EXPECT_EQ(DWORD{NIM_MODIFY}, g_shell_calls[0].message);
    EXPECT_EQ(UINT{NIF_MESSAGE | NIF_ICON | NIF_INFO}, d.uFlags);
    EXPECT_EQ(30000u, d.uTimeout);
    EXPECT_EQ(r.icon, d.dwInfoFlags);
    const std::wstring text = zu::LoadResString(r.text);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(zu::LoadResString(r.title), d.szInfoTitle);
    EXPECT_EQ(text, d.szInfo);
    EXPECT_EQ(text, WaitForBalloon(text, 8000));
  }
  EXPECT_EQ(L"Important Updates are available for your ZEFO PC! \nClick here to find out more. ",
            zu::LoadResString(60005));
}

TEST_F(IconTest, SuppressedBalloonsAreRecordedButOnlyImportantOnesShow) {
  owner_.suppressed = true;
  icon_.ShowBalloon(agent_icon_, BalloonKind::kWelcome);
  icon_.ShowBalloon(agent_icon_, BalloonKind::kRecommended);
  EXPECT_TRUE(g_shell_calls.empty());
  EXPECT_EQ(BalloonKind::kRecommended, icon_.last_balloon());
  icon_.ShowBalloon(agent_icon_, BalloonKind::kImportant);  // adds the missing icon
  icon_.ShowBalloon(agent_icon_, BalloonKind::kImportant);  // then modifies it
  EXPECT_EQ(1, CountCalls(NIM_ADD));
  EXPECT_EQ(1, CountCalls(NIM_MODIFY));

  owner_.auto_check = false;  // no balloon at all, and nothing recorded
  icon_.ShowBalloon(agent_icon_, BalloonKind::kWelcome);
  EXPECT_EQ(2u, g_shell_calls.size());
  EXPECT_EQ(BalloonKind::kImportant, icon_.last_balloon());
  icon_.Refresh();  // the icon the balloon added goes when checking is off
  EXPECT_EQ(1, CountCalls(NIM_DELETE));
}

TEST_F(IconTest, MissingStringsLeaveTheFieldsEmpty) {
  HMODULE none = ::GetModuleHandleW(L"ntdll.dll");
  ASSERT_TRUE(none);
  zu::SetResourceModule(none);
  const bool precondition = zu::LoadResString(60003).empty();
  icon_.ShowBalloon(agent_icon_, BalloonKind::kRecommended);
  zu::SetResourceModule(nullptr);
  ASSERT_TRUE(precondition);
  ASSERT_EQ(1u, g_shell_calls.size());  // still requested
  EXPECT_STREQ(L"", g_shell_calls[0].data.szInfoTitle);
  EXPECT_STREQ(L"", g_shell_calls[0].data.szInfo);
}

TEST_F(IconTest, ClicksStartWhatTheBalloonAnnounced) {
  struct Row {
    BalloonKind kind;
    bool page_opens;
    const wchar_t* call;
    bool visit_stamped;
  } rows[] = {
      {BalloonKind::kRecommended, true, L"page auto", false},
      {BalloonKind::kWelcome, true, L"options", false},
      {BalloonKind::kImportant, true, L"page auto", true},
      {BalloonKind::kImportant, false, L"page auto", false},
  };
  // "LastVisit" is written with a fixed clock, and put back afterwards.
  zu::test::KeySnapshot user(HKEY_CURRENT_USER, kAgentUserKey);
  static int64_t now = 1300000000;
  zu::ScopedOverride clock(zu::seams::clock_source, [] { return now; });
  for (const Row& r : rows) {
    SCOPED_TRACE(static_cast<int>(r.kind));
    CMyRegKey().SetLastVisit(L"2001-01-01-00:00");
    owner_.calls.clear();
    owner_.page_opens = r.page_opens;
    icon_.ShowBalloon(agent_icon_, r.kind);
    EXPECT_EQ(0, Event(NIN_BALLOONUSERCLICK));
    ASSERT_EQ(1u, owner_.calls.size());
    EXPECT_EQ(r.call, owner_.calls[0]);
    std::wstring visit;
    CMyRegKey().GetLastVisit(&visit);
    EXPECT_EQ(r.visit_stamped ? FormatTimeStamp(now) : L"2001-01-01-00:00", visit);
  }

  owner_.calls.clear();
  Event(WM_LBUTTONDBLCLK);
  Event(NIN_BALLOONTIMEOUT);
  Event(NIN_BALLOONUSERCLICK, 1);  // another icon's events are not ours
  Event(WM_LBUTTONDBLCLK, 1);
  EXPECT_EQ(std::vector<std::wstring>{L"page manual"}, owner_.calls);
}

TEST_F(IconTest, FailedAddIsRetriedOnceTheDesktopIsUp) {
  g_failures_left = 1000;
  EXPECT_FALSE(icon_.SetIcon(L"ZEFO Update", agent_icon_, true));
  EXPECT_TRUE(icon_.retrying());
  PumpMessages(1200);
  EXPECT_EQ(1, CountCalls(NIM_ADD));  // no add while the desktop is not up
  g_shell_ready = true;
  PumpMessages(1200);
  EXPECT_TRUE(icon_.retrying());  // up, but the add keeps failing
  EXPECT_GE(CountCalls(NIM_ADD), 2);
  g_failures_left = 0;
  PumpMessages(700);
  EXPECT_FALSE(icon_.retrying());
  const int adds = CountCalls(NIM_ADD);
  PumpMessages(700);
  EXPECT_EQ(adds, CountCalls(NIM_ADD));
  EXPECT_EQ(L"ZEFO Update", std::wstring(g_shell_calls.back().data.szTip));
}

TEST_F(IconTest, NoRetriesOnAReadyDesktopOrOnceTheIconIsOff) {
  g_shell_ready = true;
  g_failures_left = 1;
  EXPECT_FALSE(icon_.SetIcon(L"ZEFO Update", agent_icon_, true));
  EXPECT_FALSE(icon_.retrying());

  g_shell_ready = false;
  g_failures_left = 1;
  icon_.SetIcon(L"ZEFO Update", agent_icon_, true);
  ASSERT_TRUE(icon_.retrying());
  owner_.auto_check = false;
  icon_.Refresh();
  EXPECT_FALSE(icon_.retrying());
  g_shell_ready = true;
  PumpMessages(700);
  EXPECT_EQ(2, CountCalls(NIM_ADD));  // not put back behind the user's back
}

TEST_F(IconTest, RefreshFollowsTheSwitch) {
  icon_.Refresh();  // on, not added: add
  ASSERT_EQ(1, CountCalls(NIM_ADD));
  EXPECT_STREQ(L"ZEFO Update", g_shell_calls[0].data.szTip);
  EXPECT_TRUE(g_shell_calls[0].data.hIcon);
  icon_.Refresh();  // on, added: nothing
  EXPECT_EQ(1u, g_shell_calls.size());
  owner_.auto_check = false;
  icon_.Refresh();
  EXPECT_EQ(1, CountCalls(NIM_DELETE));
  icon_.Refresh();  // off, removed: nothing
  EXPECT_EQ(2u, g_shell_calls.size());
}

TEST_F(IconTest, HiddenOwnedWindowsThatGoWithTheMainWindow) {
  for (const wchar_t* name : {L"Icon Holder", L"Icon Menu"}) {
    HWND w = ::FindWindowW(nullptr, name);
    ASSERT_TRUE(w) << name;
    EXPECT_EQ(main_.hwnd(), ::GetWindow(w, GW_OWNER));
    EXPECT_FALSE(::IsWindowVisible(w));
  }
  icon_.SetIcon(L"ZEFO Update", agent_icon_, true);
  main_.Destroy();  // takes the owned windows along, and the icon with them
  EXPECT_EQ(1, CountCalls(NIM_DELETE));
  EXPECT_FALSE(icon_.created());
  EXPECT_FALSE(icon_.menu()->created());
}

TEST(ShellDesktop, ReadyWhenTheDesktopListViewExists) {
  EXPECT_FALSE(IsShellDesktopReady());  // never under Wine
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES};
  ASSERT_TRUE(::InitCommonControlsEx(&icc));
  struct Plain : zu::Window {};
  Plain progman, view;
  ASSERT_TRUE(progman.Create(L"Progman", L"Program Manager", 0));
  EXPECT_FALSE(IsShellDesktopReady());
  ASSERT_TRUE(view.Create(L"SHELLDLL_DefView", L"", WS_CHILD, 0, progman.hwnd()));
  EXPECT_FALSE(IsShellDesktopReady());
  HWND list = ::CreateWindowExW(0, WC_LISTVIEWW, L"FolderView", WS_CHILD, 0, 0, 10, 10,
                                view.hwnd(), nullptr, nullptr, nullptr);
  ASSERT_TRUE(list);
  EXPECT_TRUE(IsShellDesktopReady());
}

// ---- the context menu ----

struct SeenMenu {
  std::vector<UINT> ids;
  std::vector<std::wstring> texts;
  UINT default_id = 0;
  bool seen = false;
} g_menu;

// Runs inside the menu's modal loop: reads the open pop-up, then closes it.
void CALLBACK ReadOpenMenu(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND popup = ::FindWindowW(L"#32768", nullptr);
  if (!popup || !::IsWindowVisible(popup)) return;
  ::KillTimer(nullptr, timer);
  HMENU menu = reinterpret_cast<HMENU>(::SendMessageW(popup, MN_GETHMENU, 0, 0));
  for (int i = 0; menu && i < ::GetMenuItemCount(menu); ++i) {
    wchar_t text[128] = {};
    ::GetMenuStringW(menu, i, text, 128, MF_BYPOSITION);
    g_menu.ids.push_back(::GetMenuItemID(menu, i));
    g_menu.texts.push_back(text);
  }
  g_menu.default_id = menu ? ::GetMenuDefaultItem(menu, FALSE, 0) : 0;
  g_menu.seen = true;
  ::EndMenu();
}

TEST_F(IconTest, RightClickTracksMenu132) {
  g_menu = SeenMenu{};
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, ReadOpenMenu);
  const DWORD start = ::GetTickCount();
  Event(WM_RBUTTONUP);  // returns when the menu closes
  ::KillTimer(nullptr, timer);
  EXPECT_LT(::GetTickCount() - start, 5000u);
  ASSERT_TRUE(g_menu.seen);
  EXPECT_EQ((std::vector<UINT>{32771, 0, 32772, 32774}), g_menu.ids);
  EXPECT_EQ((std::vector<std::wstring>{L"&Go to ZEFO Web Support", L"", L"ZEFO Update &Options...",
                                       L"&Exit"}),
            g_menu.texts);
  EXPECT_EQ(32771u, g_menu.default_id);
  EXPECT_TRUE(owner_.calls.empty());
}

TEST_F(IconTest, MenuCommands) {
  HWND menu = icon_.menu()->hwnd();
  ::SendMessageW(menu, WM_COMMAND, ID_TRAY_SUPPORT, 0);
  ::SendMessageW(menu, WM_COMMAND, ID_TRAY_OPTIONS, 0);
  EXPECT_EQ((std::vector<std::wstring>{L"page manual", L"options"}), owner_.calls);

  owner_.calls.clear();
  owner_.question_open = true;  // the Options dialog asks: bring it forward
  ::SendMessageW(menu, WM_COMMAND, ID_TRAY_EXIT, 0);
  PumpMessages(50);
  EXPECT_EQ(std::vector<std::wstring>{L"options"}, owner_.calls);
  EXPECT_EQ(0, main_.closes());

  owner_.calls.clear();
  owner_.question_open = false;
  ::SendMessageW(menu, WM_COMMAND, ID_TRAY_EXIT, 0);
  PumpMessages(50);
  EXPECT_TRUE(owner_.calls.empty());
  EXPECT_EQ(1, main_.closes());
}

}  // namespace
