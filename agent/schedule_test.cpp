#include "agent/schedule.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <set>

namespace {

constexpr int64_t kDay = 86400;
constexpr int64_t kHour = 3600;
constexpr int64_t kT0 = 1200000000;  // 2008-01-10, an arbitrary last check

// A clock and a "LastExecute" the test sets; stamping stores the clock.
class FakeStore : public IScheduleStore {
 public:
  bool ReadNow(int64_t* now) override {
    if (!clock_ok) return false;
    *now = now_value;
    return true;
  }
  bool ReadLastExecute(int64_t* t) override {
    if (!has_last) {
      StampLastExecute();  // as the settings store does
      return false;
    }
    *t = last;
    return true;
  }
  void StampLastExecute() override {
    ++stamps;
    has_last = true;
    last = now_value;
  }
  bool clock_ok = true;
  int64_t now_value = kT0;
  bool has_last = true;
  int64_t last = kT0;
  int stamps = 0;
};

int FirstJitter(uint32_t seed) { return CCrtRandom(seed).Next() % 13 - 6; }

TEST(CrtRandom, DrawsWhatTheCLibraryDraws) {
  for (uint32_t seed : {0u, 1u, 12345u, 0xFFFFFFFFu, static_cast<uint32_t>(std::time(nullptr))}) {
    std::srand(seed);
    CCrtRandom mine(seed);
    for (int i = 0; i < 200; ++i) ASSERT_EQ(std::rand(), mine.Next()) << "seed " << seed;
  }
}

TEST(CheckSchedule, DecisionTable) {
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  constexpr int32_t kNever = std::numeric_limits<int32_t>::max();
  struct Row {
    const char* what;
    int32_t interval;
    bool clock_ok, has_last;
    int64_t last, now;
    bool due;
    int stamps;  // writes of "LastExecute"
  } rows[] = {
      {"clock unreadable", 1, false, true, kT0, kT0 + 30 * kDay, false, 0},
      {"first check", 7, true, false, 0, kT0, true, 1},
      {"clock set back", 1, true, true, kT0, kT0 - 1, false, 1},
      {"just checked", 1, true, true, kT0, kT0, false, 0},
      {"exactly one interval", 7, true, true, kT0, kT0 + 7 * kDay, false, 0},
      {"one second past", 7, true, true, kT0, kT0 + 7 * kDay + 1, true, 0},
      {"one day, a day later", 1, true, true, kT0, kT0 + kDay + 1, true, 0},
      {"interval 0", 0, true, true, kT0, kT0 + 1, true, 0},
      {"huge interval", kNever, true, true, kT0, kT0 + 100 * 365 * kDay, false, 0},
      {"span beyond the scale", 7, true, true, kMax - 10, kMax, false, 0},
      {"earliest stamp", 1, true, true, std::numeric_limits<int64_t>::min(), kT0, true, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    FakeStore store;
    store.clock_ok = r.clock_ok;
    store.has_last = r.has_last;
    store.last = r.last;
    store.now_value = r.now;
    CCheckSchedule schedule(1);
    schedule.SetIntervalDays(r.interval);
    EXPECT_EQ(r.due, schedule.IsCheckDue(store));
    EXPECT_EQ(r.stamps, store.stamps);
    // Only a "due" answer draws a new jitter.
    EXPECT_EQ(r.due ? FirstJitter(1) : 0, schedule.jitter_hours());
  }
}

TEST(CheckSchedule, SevenDaysFallDueWithinSixHoursEitherSide) {
  std::set<int> jitters;
  for (uint32_t seed = 0; seed < 300; ++seed) {
    FakeStore store;
    store.has_last = false;
    CCheckSchedule schedule(seed);
    schedule.SetIntervalDays(7);
    ASSERT_TRUE(schedule.IsCheckDue(store));  // first check: stamps kT0
    const int j = schedule.jitter_hours();
    ASSERT_GE(j, -6);
    ASSERT_LE(j, 6);
    jitters.insert(j);
    const int64_t due_at = kT0 + 7 * kDay + j * kHour;
    store.now_value = due_at;
    ASSERT_FALSE(schedule.IsCheckDue(store)) << "seed " << seed;
    ASSERT_EQ(j, schedule.jitter_hours());
    store.now_value = due_at + 1;
    ASSERT_TRUE(schedule.IsCheckDue(store)) << "seed " << seed;
  }
  EXPECT_EQ(13u, jitters.size());  // every hour from -6 to +6 occurs
}

TEST(CheckSchedule, IntervalsFromStoredText) {
  struct Row {
    const wchar_t* text;
    int32_t days;
  } rows[] = {
      {L"7", 7},   {L" 7", 7},     {L"+3", 3},    {L"14days", 14}, {L"0", 0},  {L"-0", 0},
      {L"", 1},    {L"weekly", 1}, {L"-", 1},     {L"-3", 1},      {L"2147483647", 2147483647},
      {L"99999999999999999999", 2147483647},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(r.days, ParseIntervalDays(r.text)) << "\"" << testing::PrintToString(r.text) << "\"";
    CCheckSchedule schedule(1);
    schedule.SetIntervalText(r.text);
    EXPECT_EQ(r.days, schedule.interval_days());
  }
  CCheckSchedule schedule(1);
  schedule.SetIntervalDays(-5);  // from an information file
  EXPECT_EQ(1, schedule.interval_days());
}

}  // namespace
