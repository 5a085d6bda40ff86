#pragma once
// Replaces an overridable value (a seam) for one scope and puts the old
// value back when the scope ends.
#include <utility>

namespace zu {

template <typename T>
class ScopedOverride {
 public:
  ScopedOverride(T& target, T value) : target_(target), saved_(std::exchange(target, std::move(value))) {}
  ~ScopedOverride() { target_ = std::move(saved_); }
  ScopedOverride(const ScopedOverride&) = delete;
  ScopedOverride& operator=(const ScopedOverride&) = delete;

 private:
  T& target_;
  T saved_;
};

}  // namespace zu
