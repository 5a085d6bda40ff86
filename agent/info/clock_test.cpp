#include "agent/info/clock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <optional>

#include "agent/info/my_reg_key.h"
#include "agent/info/settings.h"
#include "common/framework/seam.h"
#include "common/registry.h"
#include "tests/support/settings.h"

namespace {

using zu::test::HasUserValue;
using zu::test::SetUserString;

int64_t g_now = 0;
int64_t FakeNow() { return g_now; }

struct Box {
  int shown = 0;
  std::wstring caption, text;
} g_box;
void RecordBox(const std::wstring& caption, const std::wstring& text) {
  ++g_box.shown;
  g_box.caption = caption;
  g_box.text = text;
}

int64_t SystemSeconds() {
  FILETIME ft;
  ::GetSystemTimeAsFileTime(&ft);
  ULARGE_INTEGER u;
  u.LowPart = ft.dwLowDateTime;
  u.HighPart = ft.dwHighDateTime;
  return static_cast<int64_t>(u.QuadPart / 10000000) - 11644473600LL;
}

std::wstring StoredString(const wchar_t* name) {
  std::wstring text;
  CRegKeyUtil().ReadString(name, &text, HKEY_CURRENT_USER, kAgentUserKey);
  return text;
}

// The stamp an information file published in another zone would carry for
// the given instant.
std::wstring ZonedStamp(int64_t utc, const wchar_t* code) {
  return FormatTimeStampFields(FieldsFromWallSeconds(utc + ZoneOffsetMinutes(code) * 60)) + L"-" +
         code;
}

std::wstring Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::wstring(v, v + std::strlen(v)) : L"";
}

// Runs on the real per-user key with a clock the test sets.
class ClockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zu::test::ClearUserValues();
    g_box = Box{};
    g_now = SystemSeconds();
  }
  zu::test::KeySnapshot saved_{HKEY_CURRENT_USER, kAgentUserKey};
  std::optional<zu::ScopedOverride<ClockSource>> clock_{std::in_place, zu::seams::clock_source,
                                                        FakeNow};
  zu::ScopedOverride<ClockErrorBox> box_{zu::seams::clock_error_box, RecordBox};
};

TEST_F(ClockTest, FailingClockWarnsAndWritesNothing) {
  CMyRegKey().SetLastVisit(L"2008-01-01-00:00");
  g_now = -1;
  int64_t t = 42;
  EXPECT_FALSE(ReadClock(&t, true));
  EXPECT_EQ(42, t);
  EXPECT_EQ(1, g_box.shown);
  EXPECT_EQ(L"ZEFO Update", g_box.caption);
  EXPECT_EQ(L"System time error!", g_box.text);

  EXPECT_FALSE(StampLastVisit());
  EXPECT_FALSE(StampLastExecute());
  EXPECT_EQ(L"2008-01-01-00:00", StoredString(L"LastVisit"));
  EXPECT_FALSE(HasUserValue(L"LastExecute"));
  // An absent stamp cannot be replaced by "now" either.
  EXPECT_FALSE(ReadLastExecuteTime(&t));
  EXPECT_FALSE(HasUserValue(L"LastExecute"));

  wchar_t exe[MAX_PATH];
  ::GetModuleFileNameW(nullptr, exe, MAX_PATH);
  EXPECT_EQ(7, ComputeDefaultIntervalFrom(exe));
}

TEST_F(ClockTest, BiasMovesTheClockOntoTheScale) {
  g_now = 1204851900;
  int64_t plain = 0, scaled = 0;
  ASSERT_TRUE(ReadClock(&plain, false));
  ASSERT_TRUE(ReadClock(&scaled, true));
  EXPECT_EQ(1204851900, plain);
  EXPECT_EQ(int64_t{LocalBiasMinutes()} * 60, scaled - plain);
  EXPECT_EQ(0, g_box.shown);

  clock_.reset();  // the real clock
  ASSERT_TRUE(ReadClock(&plain, false));
  EXPECT_NEAR(static_cast<double>(SystemSeconds()), static_cast<double>(plain), 2.0);
}

TEST_F(ClockTest, MissingOrUnreadableLastExecuteStartsFromNow) {
  int64_t t = 7;
  EXPECT_FALSE(ReadLastExecuteTime(&t));
  EXPECT_EQ(7, t);
  EXPECT_EQ(FormatTimeStamp(g_now), StoredString(L"LastExecute"));
  ASSERT_TRUE(ReadLastExecuteTime(&t));
  int64_t now = 0;
  ASSERT_TRUE(ReadClock(&now, true));
  EXPECT_GE(now - t, 0);
  EXPECT_LT(now - t, 60);

  for (const wchar_t* bad : {L"yesterday", L"2008-03-07", L""}) {
    SetUserString(L"LastExecute", bad);
    EXPECT_FALSE(ReadLastExecuteTime(&t)) << bad;
    EXPECT_EQ(FormatTimeStamp(g_now), StoredString(L"LastExecute")) << bad;
  }
}

TEST_F(ClockTest, MissingOrUnreadableLastVisitIsLeftAlone) {
  int64_t t = 7;
  EXPECT_FALSE(ReadLastVisitTime(&t));
  EXPECT_FALSE(HasUserValue(L"LastVisit"));
  SetUserString(L"LastVisit", L"");
  EXPECT_FALSE(ReadLastVisitTime(&t));
  SetUserString(L"LastVisit", L"2008-03-07");
  EXPECT_FALSE(ReadLastVisitTime(&t));
  EXPECT_EQ(L"2008-03-07", StoredString(L"LastVisit"));
  EXPECT_EQ(7, t);

  ASSERT_TRUE(StampLastVisit());
  ASSERT_TRUE(ReadLastVisitTime(&t));
  EXPECT_EQ(FormatTimeStamp(g_now), StoredString(L"LastVisit"));
}

// The tests below run once more in other zones (see settings.cmake), where
// ZU_EXPECT_* say what the platform must report there.
class TimeZone : public ClockTest {};

TEST_F(TimeZone, PlatformReportsTheExpectedZone) {
  const std::wstring bias = Env("ZU_EXPECT_ZONE_BIAS");
  if (bias.empty()) GTEST_SKIP() << "no zone expected";
  TIME_ZONE_INFORMATION tz{};
  ::GetTimeZoneInformation(&tz);
  EXPECT_EQ(std::stol(bias), tz.Bias);
  // The local calendar of two fixed instants, one in each season.
  EXPECT_EQ(Env("ZU_EXPECT_JULY_STAMP"), FormatTimeStamp(1216123200));       // 2008-07-15 12:00Z
  EXPECT_EQ(Env("ZU_EXPECT_JANUARY_STAMP"), FormatTimeStamp(1200398400));    // 2008-01-15 12:00Z
}

// A visit stamped at some instant, and information-file stamps of the same
// instant published in other zones, compare as equal; a minute either way
// compares as later or earlier.
TEST_F(TimeZone, VisitStampMeetsZonedStampsOfTheSameInstant) {
  const int64_t now = SystemSeconds();
  for (int64_t instant : {now, int64_t{1216123200}, int64_t{1200398400}}) {
    g_now = instant;
    ASSERT_TRUE(StampLastVisit());
    int64_t visit = 0;
    ASSERT_TRUE(ReadLastVisitTime(&visit));
    const int64_t minute = instant - instant % 60;
    for (const wchar_t* code : {L"JST", L"EST", L"IST", L"GMT", L"CAT", L"PST", L"ACT", L"CNT"}) {
      int64_t published = 0, later = 0, earlier = 0;
      ASSERT_TRUE(ParseTimeStamp(ZonedStamp(minute, code), true, &published));
      ASSERT_TRUE(ParseTimeStamp(ZonedStamp(minute + 60, code), true, &later));
      ASSERT_TRUE(ParseTimeStamp(ZonedStamp(minute - 60, code), true, &earlier));
      EXPECT_EQ(visit, published) << ZonedStamp(minute, code) << " vs " << StoredString(L"LastVisit");
      EXPECT_GT(later, visit) << code;
      EXPECT_LT(earlier, visit) << code;
    }
    // And the clock on the scale is that minute plus the seconds past it.
    int64_t clock = 0;
    ASSERT_TRUE(ReadClock(&clock, true));
    EXPECT_EQ(instant - minute, clock - visit);
  }
}

}  // namespace
