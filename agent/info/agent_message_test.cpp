#include "agent/info/agent_message.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "common/framework/seam.h"
#include "tests/support/windows.h"

namespace {

struct Shown {
  HWND owner;
  std::wstring text;
  std::wstring caption;
  UINT type;
};

using TestWindow = zu::test::StandInWindow;

class AgentMessageTest : public ::testing::Test {
 protected:
  void TearDown() override { SetAgentMessageOwners(nullptr); }
  void Owners(HWND dialog, HWND main) {
    SetAgentMessageOwners([=] { return AgentMessageOwners{dialog, main}; });
  }
  std::vector<Shown> shown_;
  zu::ScopedOverride<AgentMessageBoxFn> box_{
      zu::seams::agent_message_box,
      [this](HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) {
        shown_.push_back({owner, text, caption, type});
        return IDOK;
      }};
};

constexpr UINT kModality = MB_APPLMODAL | MB_SYSTEMMODAL | MB_TASKMODAL;

TEST_F(AgentMessageTest, OpenOptionsDialogOwnsTheBox) {
  TestWindow dialog, main;
  Owners(dialog.hwnd(), main.hwnd());
  ShowAgentMessage(57346);
  ASSERT_EQ(1u, shown_.size());
  EXPECT_EQ(dialog.hwnd(), shown_[0].owner);
  EXPECT_EQ(L"The server could not be accessed. Please try again.", shown_[0].text);
  EXPECT_EQ(L"ZEFO Update", shown_[0].caption);
  EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), shown_[0].type);
}

TEST_F(AgentMessageTest, OtherwiseTheMainWindowOwnsATaskModalBox) {
  TestWindow main;
  Owners(nullptr, main.hwnd());
  ShowAgentMessage(57345);
  ASSERT_EQ(1u, shown_.size());
  EXPECT_EQ(main.hwnd(), shown_[0].owner);
  EXPECT_EQ(L"You are currently not connected to the Internet. Please connect and try again.",
            shown_[0].text);
  EXPECT_EQ(static_cast<UINT>(MB_TASKMODAL), shown_[0].type & kModality);
  EXPECT_EQ(static_cast<UINT>(MB_ICONEXCLAMATION), shown_[0].type & MB_ICONMASK);
}

TEST_F(AgentMessageTest, WithoutWindowsTheBoxStandsAlone) {
  ShowAgentMessage(501);  // no owner source at all
  // A window that has gone away is no owner either.
  TestWindow dialog, main;
  Owners(dialog.hwnd(), main.hwnd());
  dialog.Destroy();
  main.Destroy();
  ShowAgentMessage(57347);
  ASSERT_EQ(2u, shown_.size());
  EXPECT_EQ(nullptr, shown_[0].owner);
  EXPECT_EQ(L"ZEFO Update has been started.", shown_[0].text);
  EXPECT_EQ(static_cast<UINT>(MB_TASKMODAL), shown_[0].type & kModality);
  EXPECT_EQ(nullptr, shown_[1].owner);
  EXPECT_EQ(L"This file format is incorrect.", shown_[1].text);
}

TEST_F(AgentMessageTest, DiagnosticBelongsToTheMainWindow) {
  TestWindow dialog, main;
  Owners(dialog.hwnd(), main.hwnd());
  ShowAgentDiagnostic(L"diagnostic text");
  ASSERT_EQ(1u, shown_.size());
  EXPECT_EQ(main.hwnd(), shown_[0].owner);
  EXPECT_EQ(L"diagnostic text", shown_[0].text);
  EXPECT_EQ(L"ZEFO Update", shown_[0].caption);
  EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), shown_[0].type);
}

BOOL CALLBACK FindDialog(HWND w, LPARAM lp) {
  wchar_t cls[32] = {};
  ::GetClassNameW(w, cls, 32);
  if (std::wstring(cls) != L"#32770") return TRUE;
  *reinterpret_cast<HWND*>(lp) = w;
  return FALSE;
}

// The real box: a second thread finds it, reads it and presses OK.
TEST(AgentMessageBox, RealBoxIsOwnedAndWaitedFor) {
  TestWindow main;
  SetAgentMessageOwners([&] { return AgentMessageOwners{nullptr, main.hwnd()}; });
  const DWORD ui_thread = ::GetCurrentThreadId();
  std::atomic<bool> done{false};
  HWND box = nullptr, owner = nullptr;
  wchar_t caption[128] = {}, text[256] = {};
  std::thread closer([&] {
    for (int i = 0; i < 400 && !done && !box; ++i) {
      ::EnumThreadWindows(ui_thread, FindDialog, reinterpret_cast<LPARAM>(&box));
      if (!box) ::Sleep(25);
    }
    if (!box) return;
    owner = ::GetWindow(box, GW_OWNER);
    ::GetWindowTextW(box, caption, 128);
    ::GetDlgItemTextW(box, 0xFFFF, text, 256);  // the box's text control
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  });
  ShowAgentMessage(57348);
  done = true;
  closer.join();
  SetAgentMessageOwners(nullptr);
  ASSERT_NE(nullptr, box) << "no message box appeared";
  EXPECT_EQ(main.hwnd(), owner);
  EXPECT_STREQ(L"ZEFO Update", caption);
  EXPECT_STREQ(L"The support page failed to open. Please try again.", text);
}

}  // namespace
