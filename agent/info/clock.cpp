#include "agent/info/clock.h"

#include <windows.h>

#include <ctime>

#include "agent/info/my_reg_key.h"
#include "agent/resource.h"
#include "common/framework/window.h"

namespace {

// Seconds between 1601-01-01 (FILETIME) and 1970-01-01.
constexpr int64_t kFileTimeEpochOffset = 11644473600;
constexpr int64_t kFileTimeTicksPerSecond = 10000000;

bool SecondsToSystemTime(int64_t seconds, SYSTEMTIME* st) {
  if (seconds < -kFileTimeEpochOffset) return false;
  ULARGE_INTEGER u;
  u.QuadPart = static_cast<ULONGLONG>(seconds + kFileTimeEpochOffset) * kFileTimeTicksPerSecond;
  FILETIME ft;
  ft.dwLowDateTime = u.LowPart;
  ft.dwHighDateTime = u.HighPart;
  return ::FileTimeToSystemTime(&ft, st) != FALSE;
}

bool SystemTimeToSeconds(const SYSTEMTIME& st, int64_t* seconds) {
  FILETIME ft;
  if (!::SystemTimeToFileTime(&st, &ft)) return false;
  ULARGE_INTEGER u;
  u.LowPart = ft.dwLowDateTime;
  u.HighPart = ft.dwHighDateTime;
  *seconds = static_cast<int64_t>(u.QuadPart / kFileTimeTicksPerSecond) - kFileTimeEpochOffset;
  return true;
}

// The current zone of the process, as the Win32 time functions see it.
class Win32LocalTime : public LocalTimeRules {
 public:
  bool LocalToUtc(int64_t wall, int64_t* utc) const override {
    SYSTEMTIME local, universal;
    return SecondsToSystemTime(wall, &local) &&
           ::TzSpecificLocalTimeToSystemTime(nullptr, &local, &universal) &&
           SystemTimeToSeconds(universal, utc);
  }
  bool UtcToLocal(int64_t utc, int64_t* wall) const override {
    SYSTEMTIME universal, local;
    return SecondsToSystemTime(utc, &universal) &&
           ::SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local) &&
           SystemTimeToSeconds(local, wall);
  }
  int32_t BiasMinutes() const override { return LocalBiasMinutes(); }
};

int64_t SystemClock() { return _time64(nullptr); }

void ShowClockError(const std::wstring& caption, const std::wstring& text) {
  ::MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
}

bool Stamp(bool (CMyRegKey::*set)(const std::wstring&)) {
  int64_t now = 0;
  if (!ReadClock(&now, false)) return false;
  std::wstring text = FormatTimeStamp(now);
  if (text.empty()) return false;
  CMyRegKey key;
  return (key.*set)(text);
}

}  // namespace

ClockSource zu::seams::clock_source = SystemClock;
ClockErrorBox zu::seams::clock_error_box = ShowClockError;

const LocalTimeRules& PlatformLocalTime() {
  static const Win32LocalTime rules;
  return rules;
}

int32_t LocalBiasMinutes() {
  TIME_ZONE_INFORMATION tz{};
  switch (::GetTimeZoneInformation(&tz)) {
    case TIME_ZONE_ID_STANDARD:
      return tz.Bias + tz.StandardBias;
    case TIME_ZONE_ID_DAYLIGHT:
      return tz.Bias + tz.DaylightBias;
    case TIME_ZONE_ID_INVALID:
      return 0;
    default:  // no daylight saving in this zone
      return tz.Bias;
  }
}

bool ReadClock(int64_t* seconds, bool add_bias) {
  const int64_t now = zu::seams::clock_source();
  if (now < 0) {
    zu::seams::clock_error_box(zu::LoadResString(IDS_APP_TITLE, L"ZEFO Update"),
                zu::LoadResString(IDS_CLOCK_ERROR, L"System time error!"));
    return false;
  }
  *seconds = add_bias ? OnComparisonScale(now, LocalBiasMinutes()) : now;
  return true;
}

std::wstring FormatTimeStamp(int64_t seconds) {
  std::wstring text;
  if (!FormatTimeStamp(seconds, PlatformLocalTime(), &text)) return L"";
  return text;
}

bool ParseTimeStamp(const std::wstring& text, bool zoned, int64_t* value) {
  return ParseTimeStamp(std::wstring_view(text), zoned, PlatformLocalTime(), value);
}

bool StampLastExecute() { return Stamp(&CMyRegKey::SetLastExecute); }
bool StampLastVisit() { return Stamp(&CMyRegKey::SetLastVisit); }

bool ReadLastExecuteTime(int64_t* t) {
  std::wstring text;
  int64_t value = 0;
  if (!CMyRegKey().GetLastExecute(&text) || !ParseTimeStamp(text, false, &value)) {
    // Missing or unreadable: start counting from now.
    StampLastExecute();
    return false;
  }
  *t = value;
  return true;
}

bool ReadLastVisitTime(int64_t* t) {
  std::wstring text;
  int64_t value = 0;
  if (!CMyRegKey().GetLastVisit(&text) || !ParseTimeStamp(text, false, &value)) return false;
  *t = value;
  return true;
}
