#include "agent/info/time_stamp.h"

#include <cwchar>

namespace {

struct Zone {
  const wchar_t* code;
  int minutes;
};

// Offsets as the update information files use them; "CAT" really is -1 here.
constexpr Zone kZones[] = {
    {L"BET", -180}, {L"PLT", 300},  {L"AST", -540}, {L"EET", 120},  {L"ECT", 60},
    {L"BST", 360},  {L"PNT", -420}, {L"EAT", 180},  {L"CET", 60},   {L"CTT", 480},
    {L"CST", -360}, {L"NET", 240},  {L"ART", 120},  {L"ACT", 570},  {L"IET", -300},
    {L"IST", 330},  {L"MET", 210},  {L"SST", 660},  {L"CNT", -210}, {L"VST", 420},
    {L"MIT", -660}, {L"CAT", -60},  {L"GMT", 0},    {L"JST", 540},  {L"AET", 600},
    {L"NST", 720},  {L"HST", -600}, {L"PST", -480}, {L"MST", -420}, {L"EST", -300},
    {L"PRT", -240}, {L"AGT", -180},
};

constexpr int64_t kSecondsPerDay = 86400;

bool IsSpace(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

// scanf's "%d": leading white space, an optional sign, then digits. Longer
// numbers than any field can hold are refused rather than wrapped.
bool ScanInt(std::wstring_view text, size_t* pos, int* value) {
  size_t i = *pos;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
    negative = text[i] == L'-';
    ++i;
  }
  size_t digits = 0;
  int64_t n = 0;
  while (i < text.size() && text[i] >= L'0' && text[i] <= L'9') {
    if (++digits > 9) return false;
    n = n * 10 + (text[i] - L'0');
    ++i;
  }
  if (digits == 0) return false;
  *value = static_cast<int>(negative ? -n : n);
  *pos = i;
  return true;
}

bool ScanLiteral(std::wstring_view text, size_t* pos, wchar_t c) {
  if (*pos >= text.size() || text[*pos] != c) return false;
  ++*pos;
  return true;
}

// Days since 1970-01-01 of a proleptic Gregorian date; month 1-12.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

void AppendTwoDigits(std::wstring* out, int n) {
  wchar_t buf[16];
  std::swprintf(buf, 16, L"%d", n);
  // A single digit gets a "0" in front; anything else stays as printed.
  if (buf[1] == L'\0') out->push_back(L'0');
  out->append(buf);
}

}  // namespace

bool ScanTimeStamp(std::wstring_view text, bool zoned, TimeStampFields* fields,
                   std::wstring* zone) {
  TimeStampFields f;
  size_t pos = 0;
  if (!ScanInt(text, &pos, &f.year) || !ScanLiteral(text, &pos, L'-') ||
      !ScanInt(text, &pos, &f.month) || !ScanLiteral(text, &pos, L'-') ||
      !ScanInt(text, &pos, &f.day) || !ScanLiteral(text, &pos, L'-') ||
      !ScanInt(text, &pos, &f.hour) || !ScanLiteral(text, &pos, L':') ||
      !ScanInt(text, &pos, &f.minute)) {
    return false;
  }
  if (f.year < 1601 || f.year > 30827 || f.month < 1 || f.month > 12 || f.day < 1 ||
      f.day > 31 || f.hour < 0 || f.hour > 23 || f.minute < 0 || f.minute > 59) {
    return false;
  }
  std::wstring code;
  if (zoned && ScanLiteral(text, &pos, L'-')) {
    // "%3s": skip white space, then up to three non-space characters.
    while (pos < text.size() && IsSpace(text[pos])) ++pos;
    while (pos < text.size() && code.size() < 3 && !IsSpace(text[pos])) code.push_back(text[pos++]);
  }
  *fields = f;
  if (zone) *zone = code;
  return true;
}

int ZoneOffsetMinutes(std::wstring_view code) {
  for (const Zone& z : kZones) {
    if (code == z.code) return z.minutes;
  }
  return 0;
}

int64_t WallSecondsFromFields(const TimeStampFields& f) {
  return (DaysFromCivil(f.year, f.month, 1) + (f.day - 1)) * kSecondsPerDay +
         int64_t{f.hour} * 3600 + int64_t{f.minute} * 60;
}

TimeStampFields FieldsFromWallSeconds(int64_t wall) {
  const int64_t days = FloorDiv(wall, kSecondsPerDay);
  const int64_t secs = wall - days * kSecondsPerDay;
  // Inverse of DaysFromCivil.
  const int64_t z = days + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  TimeStampFields f;
  f.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  f.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  f.year = static_cast<int>(yoe + era * 400 + (f.month <= 2));
  f.hour = static_cast<int>(secs / 3600);
  f.minute = static_cast<int>(secs % 3600 / 60);
  return f;
}

std::wstring FormatTimeStampFields(const TimeStampFields& f) {
  wchar_t year[16];
  std::swprintf(year, 16, L"%d", f.year);
  std::wstring out = year;
  out.push_back(L'-');
  AppendTwoDigits(&out, f.month);
  out.push_back(L'-');
  AppendTwoDigits(&out, f.day);
  out.push_back(L'-');
  AppendTwoDigits(&out, f.hour);
  out.push_back(L':');
  AppendTwoDigits(&out, f.minute);
  return out;
}

bool ParseTimeStamp(std::wstring_view text, bool zoned, const LocalTimeRules& rules,
                    int64_t* value) {
  *value = kMalformedTimeStamp;
  TimeStampFields f;
  std::wstring zone;
  if (!ScanTimeStamp(text, zoned, &f, &zone)) return false;
  int64_t utc = 0;
  if (zoned) {
    // The zone names the instant exactly; this PC's daylight saving on that
    // date has no say in it.
    utc = WallSecondsFromFields(f) - int64_t{ZoneOffsetMinutes(zone)} * 60;
  } else if (!rules.LocalToUtc(WallSecondsFromFields(f), &utc)) {
    return false;
  }
  *value = OnComparisonScale(utc, rules.BiasMinutes());
  return true;
}

bool FormatTimeStamp(int64_t utc, const LocalTimeRules& rules, std::wstring* text) {
  int64_t wall = 0;
  if (!rules.UtcToLocal(utc, &wall)) return false;
  *text = FormatTimeStampFields(FieldsFromWallSeconds(wall));
  return true;
}
