#include "control/engine/progress_text.h"

std::wstring CounterTitle(const std::wstring& title, long long n, long long count) {
  return title + L"(" + std::to_wstring(n) + L"/" + std::to_wstring(count) + L")";
}

int ProgressPercent(std::uint64_t done, std::uint64_t total) {
  if (total == 0) return 0;
  if (done >= total) return 100;
  return static_cast<int>(static_cast<long double>(done) * 100 / static_cast<long double>(total));
}

std::wstring StatusLine(std::uint64_t done, std::uint64_t total, const ProgressWords& words) {
  if (total == 0 || total < done) return words.status_label;
  return words.status_label + L" " + std::to_wstring(done) + L" " + words.size_unit + L" / " +
         std::to_wstring(total) + L" " + words.size_unit;
}

long long RemainingSeconds(const RateSample& s) {
  // Ticks wrap after 49.7 days: the period's length is their difference,
  // and a "negative" one means the start is not before now.
  std::int32_t elapsed = static_cast<std::int32_t>(s.now - s.start_tick);
  if (s.done == 0 || s.done >= s.total || s.done <= s.bytes_at_start || elapsed <= 0) return -1;
  // left / (gained / elapsed), kept exact: a rate under one byte per
  // millisecond is still a rate.
  long double ms = static_cast<long double>(s.total - s.done) * elapsed /
                   static_cast<long double>(s.done - s.bytes_at_start);
  return static_cast<long long>(ms / 1000);
}

std::wstring RemainingTimeText(const RateSample& s, const ProgressWords& words) {
  long long seconds = RemainingSeconds(s);
  if (seconds < 0) return words.remaining_label;
  std::wstring tail;
  long long hours = seconds / 3600;
  long long minutes = seconds / 60 - hours * 60;
  if (hours != 0) tail += L" " + std::to_wstring(hours) + L" " + words.hours;
  if (minutes != 0) tail += L" " + std::to_wstring(minutes) + L" " + words.minutes;
  if (seconds / 60 == 0) tail += L" " + std::to_wstring(seconds % 60 + 1) + L" " + words.seconds;
  return words.remaining_label + L" " + tail;
}
