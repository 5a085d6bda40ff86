#pragma once
// Time stamp texts and the one scale every stored or published time is
// compared on. Plain C++: the PC's local-time rules come in through
// LocalTimeRules, so the arithmetic can be tested in any zone.
//
// Local stamps ("LastVisit", "LastExecute"): "%d-%d-%d-%d:%d", local time.
// Zoned stamps (update information file): "%d-%d-%d-%d:%d-%3s", e.g.
// "2008-03-07-10:00-JST".
//
// The comparison scale is seconds since 1970 UTC plus the local bias in
// force now: a local stamp is converted by the local-time conversion (which
// decides daylight saving for its date) plus the bias, and the current time
// is the clock plus the bias. A zoned stamp is its wall clock minus its
// zone's offset, plus the bias. Where the bias of the stamp's date equals
// today's, that is the same as reading its wall clock as local time and
// subtracting the offset; across a daylight-saving change it keeps zoned
// and local stamps of one instant equal instead of an hour apart. Only
// differences between values on the scale mean anything.
#include <cstdint>
#include <string>
#include <string_view>

struct TimeStampFields {
  int year = 0;
  int month = 0;  // 1-12
  int day = 0;    // 1-31
  int hour = 0;   // 0-23
  int minute = 0;
};

// What a malformed stamp converts to: earlier than every real time, so a
// broken publication date never reads as newer than anything.
constexpr int64_t kMalformedTimeStamp = INT64_MIN;

// The PC's local-time rules. Wall seconds are the calendar fields counted
// as if they were UTC (WallSecondsFromFields).
class LocalTimeRules {
 public:
  virtual ~LocalTimeRules() = default;
  // Local wall clock to seconds since 1970 UTC; the rules decide daylight
  // saving for that date.
  virtual bool LocalToUtc(int64_t wall, int64_t* utc) const = 0;
  // Seconds since 1970 UTC to the local wall clock.
  virtual bool UtcToLocal(int64_t utc, int64_t* wall) const = 0;
  // Bias in force now, in minutes (UTC = local + bias; Tokyo is -540).
  virtual int32_t BiasMinutes() const = 0;
};

// Scans the five fields (and the zone code when zoned) as the C library's
// scanf would read the formats above. False when a field is missing or out
// of range (month 1-12, day 1-31, hour 0-23, minute 0-59, year 1601-30827).
// A zoned stamp may end after the minutes; the zone is then empty.
bool ScanTimeStamp(std::wstring_view text, bool zoned, TimeStampFields* fields,
                   std::wstring* zone);

// Offset of a zone code from UTC in minutes; codes are case-sensitive and
// an unknown (or empty) code counts as 0.
int ZoneOffsetMinutes(std::wstring_view code);

// Calendar fields <-> wall seconds (proleptic Gregorian, no zone). Days past
// the end of a month roll into the next one, as the C library's mktime does.
int64_t WallSecondsFromFields(const TimeStampFields& fields);
TimeStampFields FieldsFromWallSeconds(int64_t wall);

// "%d-%d-%d-%d:%d" with month, day, hour and minute padded to two digits.
std::wstring FormatTimeStampFields(const TimeStampFields& fields);

// Converts a stamp to the comparison scale. On failure *value is
// kMalformedTimeStamp.
bool ParseTimeStamp(std::wstring_view text, bool zoned, const LocalTimeRules& rules,
                    int64_t* value);

// The local stamp text of an instant (seconds since 1970 UTC).
bool FormatTimeStamp(int64_t utc, const LocalTimeRules& rules, std::wstring* text);

// An instant (seconds since 1970 UTC) on the comparison scale.
inline int64_t OnComparisonScale(int64_t utc, int32_t bias_minutes) {
  return utc + int64_t{bias_minutes} * 60;
}
