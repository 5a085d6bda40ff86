// Stop requests reach the agent's windows by their handles alone, from the
// observer's watcher thread, also when they come before the windows do.
#include "agent/agent_windows.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>

#include "tests/support/windows.h"

namespace {

struct Posted {
  int quits = 0;
  int closes = 0;
};

// This thread's posted WM_QUIT and WM_CLOSE by window, taken from the queue
// for ms milliseconds (WM_QUIT never reaches a window procedure).
std::map<HWND, Posted> TakePosted(DWORD ms) {
  std::map<HWND, Posted> got;
  const DWORD start = ::GetTickCount();
  do {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT)
        ++got[msg.hwnd].quits;
      else if (msg.message == WM_CLOSE)
        ++got[msg.hwnd].closes;
      else
        ::DispatchMessageW(&msg);
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  } while (::GetTickCount() - start < ms);
  return got;
}

std::wstring TestName(const wchar_t* what) {
  return L"ZEFO Test " + std::to_wstring(::GetCurrentProcessId()) + L" " + what;
}

TEST(AgentWindows, TheWatcherEndsTheDialogAndClosesTheMainWindow) {
  for (bool global : {false, true}) {
    SCOPED_TRACE(global ? "/HaltAll" : "/Halt");
    zu::test::StandInWindow dialog, main;
    AgentWindows windows;
    CObserveApp agent(TestName(global ? L"windows all" : L"windows user"));
    agent.SetEventSink(&windows);
    agent.Start();
    windows.PublishOptionsDialog(dialog.hwnd());
    windows.PublishMainWindow(main.hwnd());

    CObserveApp requester(TestName(global ? L"windows all" : L"windows user"));
    if (global)
      requester.RequestGlobalShutdown();
    else
      requester.RequestSessionShutdown();
    std::map<HWND, Posted> got = TakePosted(1000);
    EXPECT_EQ(1, got[dialog.hwnd()].quits);
    EXPECT_EQ(0, got[dialog.hwnd()].closes);
    EXPECT_EQ(1, got[main.hwnd()].closes);
    EXPECT_EQ(0, got[main.hwnd()].quits);
    EXPECT_TRUE(windows.stop_requested());
  }
}

TEST(AgentWindows, ARequestBeforeTheWindowsReachesThemWhenTheyCome) {
  zu::test::StandInWindow dialog, main, gone;
  AgentWindows windows;
  windows.PublishMainWindow(gone.hwnd());
  gone.Destroy();  // a handle left behind is not posted to
  windows.RequestStop();
  EXPECT_TRUE(TakePosted(100).empty());
  EXPECT_TRUE(windows.stop_requested());

  windows.PublishOptionsDialog(dialog.hwnd());
  std::map<HWND, Posted> got = TakePosted(100);
  EXPECT_EQ(1, got[dialog.hwnd()].quits);
  windows.PublishOptionsDialog(nullptr);
  windows.PublishMainWindow(main.hwnd());
  got = TakePosted(100);
  EXPECT_EQ(1, got[main.hwnd()].closes);
  EXPECT_EQ(1u, got.size()) << "nothing more for the dialog that went";
}

// A request on another thread that meets the publication of the main
// window: whichever comes first, the window is closed.
TEST(AgentWindows, NoRequestIsLostWhileTheMainWindowIsPublished) {
  zu::test::StandInWindow main;
  for (int i = 0; i < 200; ++i) {
    AgentWindows windows;
    std::thread watcher([&] { windows.RequestStop(); });
    if (i % 2) ::Sleep(0);
    windows.PublishMainWindow(main.hwnd());
    watcher.join();
    const int closes = TakePosted(0)[main.hwnd()].closes;
    ASSERT_GE(closes, 1) << "round " << i;
    ASSERT_LE(closes, 2) << "round " << i;
  }
}

}  // namespace
