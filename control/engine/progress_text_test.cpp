#include "control/engine/progress_text.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

const ProgressWords kWords{L"Status:", L"bytes", L"Remaining:", L"h", L"min", L"s"};
constexpr std::uint64_t GiB = 1024ull * 1024 * 1024;

TEST(ProgressTextTest, PercentAndStatusLine) {
  struct Case {
    std::uint64_t done, total;
    int percent;
    const wchar_t* status;
  } cases[] = {
      {0, 0, 0, L"Status:"},  // no total: the label alone, bar at 0
      {123, 0, 0, L"Status:"},
      {0, 200, 0, L"Status: 0 bytes / 200 bytes"},
      {199, 200, 99, L"Status: 199 bytes / 200 bytes"},  // cut toward zero
      {200, 200, 100, L"Status: 200 bytes / 200 bytes"},
      {201, 200, 100, L"Status:"},  // more than the total
      // Over 4 GiB the figures stay true.
      {2 * GiB, 5 * GiB, 40, L"Status: 2147483648 bytes / 5368709120 bytes"},
      {5 * GiB - 1, 5 * GiB, 99, L"Status: 5368709119 bytes / 5368709120 bytes"},
      {4 * GiB, 4 * GiB + 1, 99, L"Status: 4294967296 bytes / 4294967297 bytes"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProgressPercent(c.done, c.total), c.percent) << c.done << "/" << c.total;
    EXPECT_EQ(StatusLine(c.done, c.total, kWords), c.status) << c.done << "/" << c.total;
  }
  EXPECT_EQ(CounterTitle(L"Downloading ", 1, 3), L"Downloading (1/3)");
}

TEST(ProgressTextTest, RemainingTimeUnits) {
  struct Case {
    RateSample s;
    const wchar_t* text;
  } cases[] = {
      // Nothing to say: nothing done, all done, nothing gained, no time passed, clock behind.
      {{0, 100, 0, 1000, 2000}, L"Remaining:"},
      {{100, 100, 0, 1000, 2000}, L"Remaining:"},
      {{50, 100, 50, 1000, 2000}, L"Remaining:"},
      {{50, 100, 10, 1000, 1000}, L"Remaining:"},
      {{50, 100, 10, 2000, 1000}, L"Remaining:"},
      // 1000 bytes/ms, 30 000 000 left: 30 s -> "31 s" (rounded up under a minute)
      {{1000000, 31000000, 0, 0, 1000}, L"Remaining:  31 s"},
      {{1000, 1000 + 999, 0, 0, 1}, L"Remaining:  1 s"},
      // exactly a minute and a half: minutes only, no seconds
      {{1000, 1000 + 90000000, 0, 0, 1}, L"Remaining:  1 min"},
      // 2 h 5 min
      {{1000, 1000 + 7500000000ull, 0, 0, 1}, L"Remaining:  2 h 5 min"},
      // whole hours: no minutes
      {{1000, 1000 + 3600000000ull, 0, 0, 1}, L"Remaining:  1 h"},
      // slower than a byte per millisecond: 10 bytes in 100 ms, 900 left -> 9 s
      {{10, 910, 0, 0, 100}, L"Remaining:  10 s"},
      // the period began at a tick just before the counter wrapped
      {{2000, 2000 + 60000, 1000, 0xFFFFFF00u, 0xFFFFFF00u + 1000}, L"Remaining:  1 min"},
      // sizes over 4 GiB: 1 GiB in 1 s, 4 GiB left
      {{GiB, 5 * GiB, 0, 0, 1000}, L"Remaining:  5 s"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(RemainingTimeText(c.s, kWords), c.text)
        << c.s.done << " " << c.s.total << " " << c.s.start_tick << " " << c.s.now;
}

}  // namespace
