#pragma once
// When the agent runs an update check. The pulse timer only wakes the
// agent; at every wake-up the due-check decides from the stored time of the
// last check, the interval in days and a jitter of a few hours. Plain C++:
// the clock and the stored stamp come in through IScheduleStore.
#include <cstdint>
#include <ctime>
#include <string_view>

constexpr uint32_t kDefaultPulsePeriodMs = 300000;  // 5 minutes
constexpr int32_t kDefaultIntervalDays = 1;         // the "Interval" default
constexpr int32_t kMaxJitterHours = 6;

// Lowest period taken from "_Debug_PulseInterval": a stored 0 would make the
// timer fire every 10 ms, each tick reading the registry.
constexpr uint32_t kMinPulsePeriodMs = 1000;
// Longest period a window timer accepts (USER_TIMER_MAXIMUM).
constexpr uint32_t kMaxPulsePeriodMs = 0x7FFFFFFF;

// The timer period: 300000 ms, or the debug value when one is stored,
// kept within what a window timer can do.
uint32_t PulsePeriodMs(bool debug_present, uint32_t debug_ms);

// The "Interval" option as days: its leading decimal number (blanks and a
// sign allowed in front, as the C library reads it). Text without a number
// and negative numbers give the default 1; numbers beyond 32 bits stop at
// INT32_MAX, which in effect means "never".
int32_t ParseIntervalDays(std::wstring_view text);

// The due-check's view of the clock and of "LastExecute". Times are on the
// one comparison scale of the settings store.
class IScheduleStore {
 public:
  virtual ~IScheduleStore() = default;
  // The current time; false when the clock cannot be read (the store has
  // told the user).
  virtual bool ReadNow(int64_t* now) = 0;
  // The time of the last check; false when it is missing or unreadable, in
  // which case the store has written the current time in its place.
  virtual bool ReadLastExecute(int64_t* last) = 0;
  // Records the current time as the time of the last check.
  virtual void StampLastExecute() = 0;
};

// The settings store itself: ReadClock with the zone bias, and
// "LastExecute" in the per-user key.
IScheduleStore& StoredSchedule();

// The C library's generator (rand/srand of the Microsoft runtime), kept per
// object so that the draw sequence belongs to the schedule alone.
class CCrtRandom {
 public:
  explicit CCrtRandom(uint32_t seed) : state_(seed) {}
  int Next() {  // 0..32767
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7FFF);
  }

 private:
  uint32_t state_;
};

class CCheckSchedule {
 public:
  // Seeded once with the current time, like the agent's main window.
  CCheckSchedule() : CCheckSchedule(static_cast<uint32_t>(std::time(nullptr))) {}
  explicit CCheckSchedule(uint32_t seed) : random_(seed) {}

  // True when an update check is due now:
  //  - clock unreadable: not due;
  //  - no (readable) last check: due;
  //  - clock earlier than the last check (set back): the last check is
  //    restamped to now, not due;
  //  - due when now is strictly later than last check + interval days +
  //    jitter hours.
  // Every "due" answer draws a new jitter from -6 to +6 hours.
  bool IsCheckDue(IScheduleStore& store);

  int32_t interval_days() const { return interval_days_; }
  // Negative intervals fall back to the default (they would make every
  // wake-up a check).
  void SetIntervalDays(int32_t days);
  void SetIntervalText(std::wstring_view text) { interval_days_ = ParseIntervalDays(text); }

  int32_t jitter_hours() const { return jitter_hours_; }

 private:
  void DrawJitter();

  CCrtRandom random_;
  int32_t interval_days_ = kDefaultIntervalDays;
  int32_t jitter_hours_ = 0;
};
