#pragma once
// What the download dialog shows, computed from the run's counters: the
// title counter, the bar's percentage, the status line and the remaining
// time. Plain C++ (no Windows headers). Byte counts are 64-bit throughout,
// so modules of 4 GiB and more show true figures.
#include <cstdint>
#include <string>

// The page-registered words the texts are made of.
struct ProgressWords {
  std::wstring status_label;     // 301
  std::wstring size_unit;        // 302
  std::wstring remaining_label;  // 303
  std::wstring hours;            // 304
  std::wstring minutes;          // 305
  std::wstring seconds;          // 306
};

// title + "(n/count)"
std::wstring CounterTitle(const std::wstring& title, long long n, long long count);

// done / total as a whole percentage, cut toward zero and at most 100; 0
// while there is no total.
int ProgressPercent(std::uint64_t done, std::uint64_t total);

// "<label> <done> <unit> / <total> <unit>", or the label alone while there
// is no total or more is done than the total.
std::wstring StatusLine(std::uint64_t done, std::uint64_t total, const ProgressWords& words);

// The measuring period began at start_tick (milliseconds, wrapping) with
// bytes_at_start done; now is the current tick.
struct RateSample {
  std::uint64_t done = 0;
  std::uint64_t total = 0;
  std::uint64_t bytes_at_start = 0;
  std::uint32_t start_tick = 0;
  std::uint32_t now = 0;
};

// Whole seconds left at the rate of the period, or -1 when nothing can be
// said yet (nothing done, all done, nothing done in the period, no time
// passed).
long long RemainingSeconds(const RateSample& s);

// "<label> " + " <h> <hours>" when hours, " <m> <minutes>" when minutes
// within the hour, " <s+1> <seconds>" when under a minute; the label alone
// when RemainingSeconds is -1.
std::wstring RemainingTimeText(const RateSample& s, const ProgressWords& words);
