#include "agent/pulse_generator.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "agent/info/clock.h"
#include "agent/info/my_reg_key.h"
#include "agent/schedule.h"
#include "common/framework/seam.h"
#include "tests/support/settings.h"
#include "tests/support/windows.h"

namespace {

int64_t g_now = 0;
int64_t FixedClock() { return g_now; }
int g_boxes = 0;
void CountBox(const std::wstring&, const std::wstring&) { ++g_boxes; }

std::wstring StoredLastExecute() {
  std::wstring text;
  CMyRegKey().GetLastExecute(&text);
  return text;
}

// The stored schedule on the real per-user key with a clock the test sets.
class StoredScheduleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zu::test::DeleteUserValue(L"LastExecute");
    zu::test::DeleteUserValue(L"_Debug_PulseInterval");
    g_now = 1300000000;  // 2011-03-13
    g_boxes = 0;
  }
  zu::test::KeySnapshot user_{HKEY_CURRENT_USER, kAgentUserKey};
  zu::ScopedOverride<ClockSource> clock_{zu::seams::clock_source, FixedClock};
  zu::ScopedOverride<ClockErrorBox> box_{zu::seams::clock_error_box, CountBox};
};

TEST_F(StoredScheduleTest, FollowsTheStoredStamp) {
  const std::wstring now_stamp = FormatTimeStamp(g_now);
  struct Row {
    const char* what;
    bool present;
    std::wstring stored;
    bool due;
    std::wstring after;  // "LastExecute" afterwards
  } rows[] = {
      {"absent: first check", false, L"", true, now_stamp},
      {"malformed", true, L"yesterday", true, now_stamp},
      {"out of range", true, L"2011-13-40-25:61", true, now_stamp},
      {"in the future", true, L"2999-01-01-00:00", false, now_stamp},
      {"two days ago", true, FormatTimeStamp(g_now - 2 * 86400), true, L""},
      {"ten minutes ago", true, FormatTimeStamp(g_now - 600), false, L""},
  };
  for (Row& r : rows) {
    SCOPED_TRACE(r.what);
    if (r.present)
      zu::test::SetUserString(L"LastExecute", r.stored);
    else
      zu::test::DeleteUserValue(L"LastExecute");
    const std::wstring before = StoredLastExecute();
    CCheckSchedule schedule(3);
    schedule.SetIntervalDays(1);
    EXPECT_EQ(r.due, schedule.IsCheckDue(StoredSchedule()));
    EXPECT_EQ(r.after.empty() ? before : r.after, StoredLastExecute());
  }
  EXPECT_EQ(0, g_boxes);
}

TEST_F(StoredScheduleTest, BrokenClockIsNeverDueAndWritesNothing) {
  g_now = -1;
  CCheckSchedule schedule(3);
  EXPECT_FALSE(schedule.IsCheckDue(StoredSchedule()));
  EXPECT_EQ(1, g_boxes);
  EXPECT_EQ(L"", StoredLastExecute());
}

TEST_F(StoredScheduleTest, DebugPulseInterval) {
  EXPECT_EQ(300000u, ReadPulsePeriod());
  zu::test::SetUserDword(L"_Debug_PulseInterval", 60000);
  EXPECT_EQ(60000u, ReadPulsePeriod());
  zu::test::SetUserDword(L"_Debug_PulseInterval", 0);  // would spin every 10 ms
  EXPECT_EQ(1000u, ReadPulsePeriod());
  zu::test::SetUserDword(L"_Debug_PulseInterval", 0xFFFFFFFF);  // beyond what a window timer takes
  EXPECT_EQ(0x7FFFFFFFu, ReadPulsePeriod());
  zu::test::SetUserString(L"_Debug_PulseInterval", L"60000");  // not a DWORD
  EXPECT_EQ(300000u, ReadPulsePeriod());
}

// ---- the generator's window and timer ----

using MainWnd = zu::test::StandInWindow;
using zu::test::PumpMessages;

struct Counter : CInterruptive {
  void Pulse() override { ++pulses; }
  int pulses = 0;
};

TEST(PulseGenerator, IsAHiddenOwnedWindow) {
  MainWnd main;
  CPulseGenerator generator;
  generator.Create(main.hwnd());
  HWND h = generator.hwnd();
  ASSERT_EQ(h, ::FindWindowW(nullptr, L"ZU pulse generator"));
  EXPECT_EQ(main.hwnd(), ::GetWindow(h, GW_OWNER));
  EXPECT_FALSE(::IsWindowVisible(h));
  EXPECT_TRUE(::GetWindowLongW(h, GWL_STYLE) & WS_SYSMENU);
  RECT r{};
  ::GetWindowRect(h, &r);
  EXPECT_EQ((std::vector<LONG>{0, 0, 10, 10}), (std::vector<LONG>{r.left, r.top, r.right, r.bottom}));
  generator.Create(main.hwnd());  // again: the same window
  EXPECT_EQ(h, generator.hwnd());
}

TEST(PulseGenerator, NeedsTheMainWindow) {
  CPulseGenerator generator;
  try {
    generator.Start(nullptr, 100);
    FAIL() << "no exception";
  } catch (const CWndException& e) {
    EXPECT_STREQ("Can't get the pointer of APP Main Wnd", e.what());
  }
  EXPECT_FALSE(generator.running());
}

UINT_PTR WINAPI FailingSetTimer(HWND, UINT_PTR, UINT, TIMERPROC) { return 0; }

TEST(PulseGenerator, TimerFailureIsRaised) {
  MainWnd main;
  CPulseGenerator generator;
  zu::ScopedOverride set_timer(zu::seams::set_timer, FailingSetTimer);
  try {
    generator.Start(main.hwnd(), 100);
    ADD_FAILURE() << "no exception";
  } catch (const CTimerException& e) {
    EXPECT_STREQ("can't set timer", e.what());
  }
  EXPECT_FALSE(generator.running());
}

TEST(PulseGenerator, TicksReachTheReceiverUntilStopped) {
  MainWnd main;
  Counter counter;
  CPulseGenerator::SetReceiver(&counter);
  {
    CPulseGenerator generator;
    generator.Start(main.hwnd(), 40);
    EXPECT_TRUE(generator.running());
    PumpMessages(700);
    EXPECT_GE(counter.pulses, 5);
    generator.Stop();
    EXPECT_FALSE(generator.running());
    const int stopped_at = counter.pulses;
    PumpMessages(300);
    EXPECT_EQ(stopped_at, counter.pulses);

    generator.Start(main.hwnd(), 40);  // a stopped generator starts again
    PumpMessages(300);
    EXPECT_GT(counter.pulses, stopped_at);
    ::DestroyWindow(generator.hwnd());  // destroying the window stops it
    EXPECT_FALSE(generator.running());
  }
  {
    auto generator = std::make_unique<CPulseGenerator>();
    generator->Start(main.hwnd(), 40);
    generator.reset();  // and so does deleting it
    const int deleted_at = counter.pulses;
    PumpMessages(300);
    EXPECT_EQ(deleted_at, counter.pulses);
  }
  CPulseGenerator::SetReceiver(nullptr);
}

// A pulse that opens a modal loop, as a message box does.
struct ModalPulse : CInterruptive {
  void Pulse() override {
    ++pulses;
    ++depth;
    if (depth > deepest) deepest = depth;
    if (pulses == 1) PumpMessages(400);
    --depth;
  }
  int pulses = 0, depth = 0, deepest = 0;
};

TEST(PulseGenerator, TicksInsideAPulseDoNotNest) {
  MainWnd main;
  ModalPulse receiver;
  CPulseGenerator::SetReceiver(&receiver);
  CPulseGenerator generator;
  generator.Start(main.hwnd(), 30);
  PumpMessages(800);
  generator.Stop();
  CPulseGenerator::SetReceiver(nullptr);
  EXPECT_EQ(1, receiver.deepest);
  EXPECT_GE(receiver.pulses, 3);  // ticks go on after the modal loop
}

}  // namespace
