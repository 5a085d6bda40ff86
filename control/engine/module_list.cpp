#include "control/engine/module_list.h"

#include <limits>

std::int32_t DecimalTextToInt(const std::wstring& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    value = value * 10 + (text[i] - L'0');
    if (value > kMax + 1) value = kMax + 1;  // stays far from overflowing
  }
  if (negative) return static_cast<std::int32_t>(-value);
  return static_cast<std::int32_t>(value > kMax ? kMax : value);
}

void ModuleList::Add(CModuleInfo module) {
  modules_.push_back(std::make_unique<CModuleInfo>(std::move(module)));
}

bool ModuleList::AddEx(CModuleInfo module) {
  bool auto_execute = module.auto_execute;
  bool bounding = module.bounding_flag == 1;
  Add(std::move(module));
  if (auto_execute) {
    ++auto_execute_adds_;
    if (bounding) ++bounding_adds_;
  }
  return !(bounding_adds_ > 0 && auto_execute_adds_ >= 2);
}

void ModuleList::Clear() {
  modules_.clear();
  bounding_adds_ = 0;
  auto_execute_adds_ = 0;
}

std::uint64_t ModuleList::KnownSizeSum() const {
  std::uint64_t sum = 0;
  for (const auto& m : modules_) {
    if (m->size <= 0) continue;
    std::uint64_t size = static_cast<std::uint64_t>(m->size);
    sum = size > std::numeric_limits<std::uint64_t>::max() - sum
              ? std::numeric_limits<std::uint64_t>::max()
              : sum + size;
  }
  return sum;
}

bool ModuleList::HasUnknownSize() const {
  for (const auto& m : modules_)
    if (m->size == 0) return true;
  return false;
}

std::size_t ModuleList::AutoExecuteCount() const {
  std::size_t n = 0;
  for (const auto& m : modules_) n += m->auto_execute ? 1 : 0;
  return n;
}
