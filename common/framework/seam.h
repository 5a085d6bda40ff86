#pragma once
// Process-wide calls that tests replace. Each such call is one variable in
// namespace zu::seams, initialised to the real function and called through
// by the product code; a test replaces it for a scope:
//
//   zu::ScopedOverride exit(zu::seams::exit_windows, &RecordExit);
//
// and the previous value comes back when the override goes, also when the
// test fails early. Overrides nest; they must end in reverse order, which
// scopes give. Plain C++: no Windows headers.
#include <utility>

namespace zu {

template <typename T>
class ScopedOverride {
 public:
  template <typename U>
  ScopedOverride(T& slot, U&& value) : slot_(slot), saved_(std::move(slot)) {
    slot_ = std::forward<U>(value);
  }
  ~ScopedOverride() { slot_ = std::move(saved_); }
  ScopedOverride(const ScopedOverride&) = delete;
  ScopedOverride& operator=(const ScopedOverride&) = delete;

  // The value in force before this override.
  const T& saved() const { return saved_; }

 private:
  T& slot_;
  T saved_;
};

// The slot decides the type: a function or lambda given for a pointer or
// std::function slot is converted.
template <typename T, typename U>
ScopedOverride(T&, U&&) -> ScopedOverride<T>;

}  // namespace zu
