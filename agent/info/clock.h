#pragma once
// The system clock, this PC's local-time rules and the per-user time stamps
// "LastExecute" and "LastVisit". Values called "on the scale" are on the
// comparison scale of time_stamp.h and may only be compared with each other.
#include <cstdint>
#include <string>

#include "agent/info/time_stamp.h"

// This PC's local-time rules, from the Win32 time-zone functions (the C
// runtime reads the TZ variable on its own and can disagree with them).
const LocalTimeRules& PlatformLocalTime();

// The bias in force now in minutes: Bias plus StandardBias or DaylightBias,
// whichever the platform reports as in force (neither: Bias alone).
int32_t LocalBiasMinutes();

// The current time in seconds since 1970 UTC; with add_bias, on the scale.
// When the clock fails, shows "System time error!" and returns false.
bool ReadClock(int64_t* seconds, bool add_bias);

// The local stamp text ("2008-03-07-09:05") of an instant; empty when the
// instant has no local time.
std::wstring FormatTimeStamp(int64_t seconds);

// A stamp converted to the scale with this PC's rules (see time_stamp.h);
// on failure *value is kMalformedTimeStamp.
bool ParseTimeStamp(const std::wstring& text, bool zoned, int64_t* value);

// Store the current local time; nothing is written when the clock fails.
bool StampLastExecute();
bool StampLastVisit();

// The stored stamps on the scale. A missing or unreadable "LastExecute" is
// stamped with the current time and reported as false; a missing or
// unreadable "LastVisit" is false and nothing is written.
bool ReadLastExecuteTime(int64_t* t);
bool ReadLastVisitTime(int64_t* t);

// Seams (common/framework/seam.h), real calls by default:
//   clock_source: seconds since 1970 UTC, negative on failure (like _time64)
//   clock_error_box: shows the clock failure to the user
using ClockSource = int64_t (*)();
using ClockErrorBox = void (*)(const std::wstring& caption, const std::wstring& text);
namespace zu::seams {
extern ClockSource clock_source;
extern ClockErrorBox clock_error_box;
}  // namespace zu::seams
