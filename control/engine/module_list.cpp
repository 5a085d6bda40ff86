#include "control/engine/module_list.h"

#include <limits>

void ModuleList::Add(CModuleInfo module) {
  modules_.push_back(std::move(module));
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
    if (m.size <= 0) continue;
    std::uint64_t size = static_cast<std::uint64_t>(m.size);
    sum = size > std::numeric_limits<std::uint64_t>::max() - sum
              ? std::numeric_limits<std::uint64_t>::max()
              : sum + size;
  }
  return sum;
}

bool ModuleList::HasUnknownSize() const {
  for (const auto& m : modules_)
    if (m.size == 0) return true;
  return false;
}

std::size_t ModuleList::AutoExecuteCount() const {
  std::size_t n = 0;
  for (const auto& m : modules_) n += m.auto_execute ? 1 : 0;
  return n;
}
