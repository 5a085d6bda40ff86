#include "agent/schedule.h"

#include <cstdint>
#include <limits>

#include "agent/info/clock.h"

namespace {

constexpr int64_t kSecondsPerDay = 86400;
constexpr int64_t kSecondsPerHour = 3600;

bool IsBlank(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

class SettingsScheduleStore : public IScheduleStore {
 public:
  bool ReadNow(int64_t* now) override { return ReadClock(now, true); }
  bool ReadLastExecute(int64_t* last) override { return ReadLastExecuteTime(last); }
  void StampLastExecute() override { ::StampLastExecute(); }
};

}  // namespace

uint32_t PulsePeriodMs(bool debug_present, uint32_t debug_ms) {
  if (!debug_present) return kDefaultPulsePeriodMs;
  if (debug_ms < kMinPulsePeriodMs) return kMinPulsePeriodMs;
  if (debug_ms > kMaxPulsePeriodMs) return kMaxPulsePeriodMs;
  return debug_ms;
}

int32_t ParseIntervalDays(std::wstring_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  if (i >= text.size() || text[i] < L'0' || text[i] > L'9') return kDefaultIntervalDays;
  int64_t value = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    value = value * 10 + (text[i] - L'0');
    if (value > std::numeric_limits<int32_t>::max()) {
      value = std::numeric_limits<int32_t>::max();
      break;
    }
  }
  if (negative && value != 0) return kDefaultIntervalDays;
  return static_cast<int32_t>(value);
}

IScheduleStore& StoredSchedule() {
  static SettingsScheduleStore store;
  return store;
}

void CCheckSchedule::SetIntervalDays(int32_t days) {
  interval_days_ = days < 0 ? kDefaultIntervalDays : days;
}

void CCheckSchedule::DrawJitter() {
  jitter_hours_ = random_.Next() % (2 * kMaxJitterHours + 1) - kMaxJitterHours;
}

bool CCheckSchedule::IsCheckDue(IScheduleStore& store) {
  int64_t now = 0;
  if (!store.ReadNow(&now)) return false;

  int64_t last = 0;
  if (!store.ReadLastExecute(&last)) {
    DrawJitter();
    return true;
  }
  if (now < last) {
    store.StampLastExecute();
    return false;
  }

  const int64_t span = interval_days_ * kSecondsPerDay + jitter_hours_ * kSecondsPerHour;
  int64_t threshold = 0;
  if (__builtin_add_overflow(last, span, &threshold)) {
    // Beyond the scale: a long interval never falls due, a negative span
    // always does.
    threshold = span > 0 ? std::numeric_limits<int64_t>::max()
                         : std::numeric_limits<int64_t>::min();
  }
  if (now > threshold) {
    DrawJitter();
    return true;
  }
  return false;
}
