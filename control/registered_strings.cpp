#include "control/registered_strings.h"

#include <array>
#include <iterator>

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

}  // namespace

bool HasRegisteredStringSlot(long id) { return SlotIndex(id) >= 0; }

bool StoreRegisteredString(long id, const std::wstring& text) {
  int i = SlotIndex(id);
  if (text.empty() || i < 0) return false;
  Slots()[static_cast<std::size_t>(i)] = text;
  return true;
}

std::wstring RegisteredString(long id) {
  int i = SlotIndex(id);
  return i < 0 ? std::wstring() : Slots()[static_cast<std::size_t>(i)];
}

void ClearRegisteredStrings() {
  for (std::wstring& s : Slots()) s.clear();
}
