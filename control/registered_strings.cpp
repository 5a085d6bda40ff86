#include "control/registered_strings.h"

#include <array>
#include <iterator>
#include <mutex>

namespace {

struct SlotRange {
  long first, last;
};
constexpr SlotRange kSlotRanges[] = {{100, 101}, {200, 201}, {300, 307}, {400, 406}, {500, 504}};
constexpr std::size_t kSlotCount = 24;

// Index of id in the table, or -1.
int SlotIndex(long id) {
  int base = 0;
  for (const SlotRange& r : kSlotRanges) {
    if (id >= r.first && id <= r.last) return base + static_cast<int>(id - r.first);
    base += static_cast<int>(r.last - r.first + 1);
  }
  return -1;
}

std::array<std::wstring, kSlotCount>& Slots() {
  static std::array<std::wstring, kSlotCount> slots;
  return slots;
}

// The page's thread stores texts; the download worker reads them.
std::mutex& SlotsMutex() {
  static std::mutex m;
  return m;
}

}  // namespace

bool HasRegisteredStringSlot(long id) { return SlotIndex(id) >= 0; }

bool StoreRegisteredString(long id, const std::wstring& text) {
  int i = SlotIndex(id);
  if (text.empty() || i < 0) return false;
  std::lock_guard<std::mutex> lock(SlotsMutex());
  Slots()[static_cast<std::size_t>(i)] = text;
  return true;
}

std::wstring RegisteredString(long id) {
  int i = SlotIndex(id);
  if (i < 0) return std::wstring();
  std::lock_guard<std::mutex> lock(SlotsMutex());
  return Slots()[static_cast<std::size_t>(i)];
}

void ClearRegisteredStrings() {
  std::lock_guard<std::mutex> lock(SlotsMutex());
  for (std::wstring& s : Slots()) s.clear();
}
