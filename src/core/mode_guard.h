// Guards for temporary changes of global state: the destructor puts the old
// value back on every exit, an unwinding error included.
#pragma once

#include <utility>

#include "core/globals.h"

namespace tavrin {

// Keeps `ref`'s value and restores it when the guard ends.
template <class T>
class ScopedValue {
 public:
  explicit ScopedValue(T& ref) : ref_(ref), old_(ref) {}
  ScopedValue(T& ref, T value) : ref_(ref), old_(ref) { ref_ = std::move(value); }
  ~ScopedValue() { ref_ = old_; }
  ScopedValue(const ScopedValue&) = delete;
  ScopedValue& operator=(const ScopedValue&) = delete;

 private:
  T& ref_;
  T old_;
};

// Saves the arithmetic mode flags (flotemode, lintmode, modularmode, finf)
// and restores them when the guard ends.
class ArithModeGuard {
 public:
  ArithModeGuard()
      : flote_(flotemode), lint_(lintmode), modular_(modularmode), finf_(finf) {}
  ~ArithModeGuard() {
    flotemode = flote_;
    lintmode = lint_;
    modularmode = modular_;
    finf = finf_;
  }
  ArithModeGuard(const ArithModeGuard&) = delete;
  ArithModeGuard& operator=(const ArithModeGuard&) = delete;

 private:
  bool flote_, lint_, modular_, finf_;
};

// Big-integer arithmetic for the guard's lifetime: word, modular and
// floating mode off, all restored afterwards.
class BigModeGuard : public ArithModeGuard {
 public:
  BigModeGuard() {
    flotemode = false;
    lintmode = false;
    modularmode = false;
  }
};

}  // namespace tavrin
