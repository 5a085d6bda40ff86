#include "agent/info/time_stamp.h"

#include <gtest/gtest.h>

namespace {

// A zone without daylight saving.
class FixedZone : public LocalTimeRules {
 public:
  explicit FixedZone(int east_minutes) : east_(east_minutes) {}
  bool LocalToUtc(int64_t wall, int64_t* utc) const override {
    *utc = wall - east_ * 60;
    return true;
  }
  bool UtcToLocal(int64_t utc, int64_t* wall) const override {
    *wall = utc + east_ * 60;
    return true;
  }
  int32_t BiasMinutes() const override { return -east_; }

 private:
  int east_;
};

// UTC-5, one hour more from April to October (by wall-clock month, which is
// enough for dates far from the change), with today in winter or summer.
class EasternLike : public LocalTimeRules {
 public:
  explicit EasternLike(bool summer_now) : summer_now_(summer_now) {}
  static bool Summer(int64_t wall) {
    int m = FieldsFromWallSeconds(wall).month;
    return m >= 4 && m <= 10;
  }
  bool LocalToUtc(int64_t wall, int64_t* utc) const override {
    *utc = wall + (Summer(wall) ? 4 : 5) * 3600;
    return true;
  }
  bool UtcToLocal(int64_t utc, int64_t* wall) const override {
    *wall = utc - (Summer(utc - 5 * 3600) ? 4 : 5) * 3600;
    return true;
  }
  int32_t BiasMinutes() const override { return summer_now_ ? 240 : 300; }

 private:
  bool summer_now_;
};

class BrokenZone : public FixedZone {
 public:
  BrokenZone() : FixedZone(0) {}
  bool LocalToUtc(int64_t, int64_t*) const override { return false; }
};

TimeStampFields F(int y, int mo, int d, int h, int mi) { return {y, mo, d, h, mi}; }

bool SameFields(const TimeStampFields& a, const TimeStampFields& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
         a.minute == b.minute;
}

TEST(TimeStampScan, ReadsFieldsLikeScanf) {
  TimeStampFields f;
  std::wstring zone = L"old";
  ASSERT_TRUE(ScanTimeStamp(L"2008-03-07-09:05", false, &f, &zone));
  EXPECT_TRUE(SameFields(F(2008, 3, 7, 9, 5), f));
  EXPECT_EQ(L"", zone);
  // Unpadded fields, white space before a number and a plus sign are what
  // "%d" accepts; trailing text after the minutes is ignored.
  ASSERT_TRUE(ScanTimeStamp(L" 2008-3- 7-+9:5 and more", false, &f, nullptr));
  EXPECT_TRUE(SameFields(F(2008, 3, 7, 9, 5), f));

  ASSERT_TRUE(ScanTimeStamp(L"2008-03-07-10:00-JST", true, &f, &zone));
  EXPECT_EQ(L"JST", zone);
  // "%3s": white space skipped, at most three characters taken.
  ASSERT_TRUE(ScanTimeStamp(L"2008-03-07-10:00- ISTX", true, &f, &zone));
  EXPECT_EQ(L"IST", zone);
  ASSERT_TRUE(ScanTimeStamp(L"2008-03-07-10:00-", true, &f, &zone));
  EXPECT_EQ(L"", zone);
  ASSERT_TRUE(ScanTimeStamp(L"2008-03-07-10:00 JST", true, &f, &zone));
  EXPECT_EQ(L"", zone);  // no "-" before it, so no zone
}

TEST(TimeStampScan, RefusesMissingAndImpossibleFields) {
  TimeStampFields f = F(1, 1, 1, 1, 1);
  for (const wchar_t* bad :
       {L"", L"2008", L"2008-03-07", L"2008-03-07-09", L"2008-03-07-09:", L"2008/03/07-09:05",
        L"2008-03-07 09:05", L"2008-03-07-09-05", L"2008-13-07-09:05", L"2008-00-07-09:05",
        L"2008-03-32-09:05", L"2008-03-00-09:05", L"2008-03-07-24:00", L"2008-03-07-09:60",
        L"2008-03-07--1:05", L"1600-12-31-23:59", L"99999999999-01-01-00:00",
        L"2008-03-07-09:x5"}) {
    EXPECT_FALSE(ScanTimeStamp(bad, true, &f, nullptr)) << bad;
  }
  EXPECT_TRUE(SameFields(F(1, 1, 1, 1, 1), f));  // untouched
}

TEST(TimeStampZones, HalfHoursSignsAndUnknownCodes) {
  EXPECT_EQ(9 * 60, ZoneOffsetMinutes(L"JST"));
  EXPECT_EQ(-5 * 60, ZoneOffsetMinutes(L"EST"));
  EXPECT_EQ(570, ZoneOffsetMinutes(L"ACT"));
  EXPECT_EQ(330, ZoneOffsetMinutes(L"IST"));
  EXPECT_EQ(210, ZoneOffsetMinutes(L"MET"));
  EXPECT_EQ(-210, ZoneOffsetMinutes(L"CNT"));
  EXPECT_EQ(-60, ZoneOffsetMinutes(L"CAT"));
  EXPECT_EQ(-11 * 60, ZoneOffsetMinutes(L"MIT"));
  EXPECT_EQ(12 * 60, ZoneOffsetMinutes(L"NST"));
  EXPECT_EQ(0, ZoneOffsetMinutes(L"GMT"));
  EXPECT_EQ(0, ZoneOffsetMinutes(L"jst"));  // case matters
  EXPECT_EQ(0, ZoneOffsetMinutes(L"UTC"));
  EXPECT_EQ(0, ZoneOffsetMinutes(L"JS"));
  EXPECT_EQ(0, ZoneOffsetMinutes(L""));
}

TEST(TimeStampFormat, PadsEveryFieldButTheYear) {
  EXPECT_EQ(L"2008-03-07-09:05", FormatTimeStampFields(F(2008, 3, 7, 9, 5)));
  EXPECT_EQ(L"2008-12-31-23:59", FormatTimeStampFields(F(2008, 12, 31, 23, 59)));
  EXPECT_EQ(L"2010-01-01-00:00", FormatTimeStampFields(F(2010, 1, 1, 0, 0)));
  EXPECT_EQ(L"12345-10-10-10:10", FormatTimeStampFields(F(12345, 10, 10, 10, 10)));
}

TEST(TimeStampCalendar, KnownInstantsLeapYearsAndRollOver) {
  EXPECT_EQ(0, WallSecondsFromFields(F(1970, 1, 1, 0, 0)));
  EXPECT_EQ(1204851900, WallSecondsFromFields(F(2008, 3, 7, 1, 5)));
  EXPECT_EQ(951782400, WallSecondsFromFields(F(2000, 2, 29, 0, 0)));
  EXPECT_EQ(4107542400, WallSecondsFromFields(F(2100, 3, 1, 0, 0)));
  EXPECT_EQ(-11644473600, WallSecondsFromFields(F(1601, 1, 1, 0, 0)));
  // 2100 is no leap year: its "Feb 29" is Mar 1, as mktime would have it.
  EXPECT_EQ(WallSecondsFromFields(F(2100, 3, 1, 0, 0)), WallSecondsFromFields(F(2100, 2, 29, 0, 0)));
  EXPECT_EQ(WallSecondsFromFields(F(2008, 5, 1, 8, 0)), WallSecondsFromFields(F(2008, 4, 31, 8, 0)));

  // Every minute-aligned instant comes back as the fields it was made of.
  for (int64_t t = WallSecondsFromFields(F(1899, 12, 25, 0, 0));
       t < WallSecondsFromFields(F(2102, 1, 5, 0, 0)); t += 86400 * 7 + 3600 + 60) {
    TimeStampFields f = FieldsFromWallSeconds(t);
    ASSERT_EQ(t, WallSecondsFromFields(f)) << FormatTimeStampFields(f);
    ASSERT_GE(f.day, 1);
    ASSERT_LE(f.day, 31);
  }
}

// Stamps of one instant, written in different zones, land on one value.
TEST(TimeStampScale, LocalAndZonedStampsOfOneInstantAgree) {
  struct Case {
    int east;
    const wchar_t* local;
  } cases[] = {{540, L"2008-03-07-10:00"}, {-300, L"2008-03-06-20:00"},
               {330, L"2008-03-07-06:30"}, {0, L"2008-03-07-01:00"},
               {-210, L"2008-03-06-21:30"}};
  const wchar_t* zoned[] = {L"2008-03-07-10:00-JST", L"2008-03-06-20:00-EST",
                            L"2008-03-07-06:30-IST", L"2008-03-07-01:00-GMT",
                            L"2008-03-07-01:00",     L"2008-03-07-01:00-XYZ",
                            L"2008-03-07-00:00-CAT", L"2008-03-07-10:30-ACT",
                            L"2008-03-06-21:30-CNT"};
  for (const Case& c : cases) {
    FixedZone zone(c.east);
    int64_t local = 0;
    ASSERT_TRUE(ParseTimeStamp(c.local, false, zone, &local));
    // The instant 2008-03-07 01:00 UTC on this zone's scale.
    EXPECT_EQ(OnComparisonScale(1204851600, zone.BiasMinutes()), local) << c.local;
    for (const wchar_t* z : zoned) {
      int64_t v = 0;
      ASSERT_TRUE(ParseTimeStamp(z, true, zone, &v)) << z;
      EXPECT_EQ(local, v) << z << " in zone " << c.east;
    }
  }
}

// Daylight saving is decided for a local stamp's own date; a zoned stamp
// names its instant exactly. Both must still meet when today's bias differs
// from the one of the stamp's date.
TEST(TimeStampScale, AgreeAcrossDaylightSavingChange) {
  for (bool summer_now : {false, true}) {
    EasternLike zone(summer_now);
    int64_t july_local = 0, july_zoned = 0, jan_local = 0, jan_zoned = 0;
    ASSERT_TRUE(ParseTimeStamp(L"2008-07-15-08:00", false, zone, &july_local));  // EDT
    ASSERT_TRUE(ParseTimeStamp(L"2008-07-15-12:00-GMT", true, zone, &july_zoned));
    ASSERT_TRUE(ParseTimeStamp(L"2008-01-15-07:00", false, zone, &jan_local));  // EST
    ASSERT_TRUE(ParseTimeStamp(L"2008-01-15-21:00-JST", true, zone, &jan_zoned));
    EXPECT_EQ(july_local, july_zoned) << summer_now;
    EXPECT_EQ(jan_local, jan_zoned) << summer_now;
    const int64_t july_utc = WallSecondsFromFields(F(2008, 7, 15, 12, 0));
    EXPECT_EQ(OnComparisonScale(july_utc, zone.BiasMinutes()), july_local);
  }
}

TEST(TimeStampScale, MalformedStampsNeverReadAsNew) {
  FixedZone zone(540);
  int64_t v = 0, visit = 0;
  ASSERT_TRUE(ParseTimeStamp(L"1601-01-01-00:00", false, zone, &visit));
  for (const wchar_t* bad : {L"", L"soon", L"2008-03-07", L"2008-02-07-25:00-JST"}) {
    v = 0;
    EXPECT_FALSE(ParseTimeStamp(bad, true, zone, &v)) << bad;
    EXPECT_EQ(kMalformedTimeStamp, v);
    EXPECT_LT(v, visit);
  }
  BrokenZone broken;
  EXPECT_FALSE(ParseTimeStamp(L"2008-03-07-10:00", false, broken, &v));
  EXPECT_EQ(kMalformedTimeStamp, v);
}

}  // namespace
