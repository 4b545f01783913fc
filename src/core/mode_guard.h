// Guards for temporary changes of global state: the destructor puts the old
// value back on every exit, an unwinding error included. The word modulus
// changes only through set_word_modulus, and temporarily only inside a
// ModulusGuard.
#pragma once

#include <cstdint>
#include <utility>

#include "core/globals.h"

namespace tavrin {

// The ground ring in force: the word modulus with its companions and the
// arithmetic mode flags; apply() makes a saved one the ring in force.
struct RingState {
  std::int32_t modulus, half_modulus, two28_mod;
  double rmodulus;
  bool smallmodulus, mod_is_prime, finf, f256, f2t16, flotemode, lintmode, modularmode;
  static RingState current();
  void apply() const;
};

// The guards that switch the ring (ArithModeGuard, BigModeGuard,
// ModulusGuard) count themselves open here; the outermost saves the ring
// it found in unswitched_ring: the user's ring while a computation runs in
// a switched one. An interrupt honoured meanwhile (core/interrupts.h)
// opens its nested level in that ring and puts the switched one back when
// the level is left.
extern std::int32_t ring_guards_open;
extern RingState unswitched_ring;

// Counts one open ring guard for its lifetime (a member of each guard).
class RingGuardCount {
 public:
  RingGuardCount() {
    if (ring_guards_open++ == 0) unswitched_ring = RingState::current();
  }
  ~RingGuardCount() { --ring_guards_open; }
  RingGuardCount(const RingGuardCount&) = delete;
  RingGuardCount& operator=(const RingGuardCount&) = delete;
};

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
  ArithModeGuard() : flote_(flotemode), lint_(lintmode), modular_(modularmode), finf_(finf) {}
  ~ArithModeGuard() {
    flotemode = flote_;
    lintmode = lint_;
    modularmode = modular_;
    finf = finf_;
  }
  ArithModeGuard(const ArithModeGuard&) = delete;
  ArithModeGuard& operator=(const ArithModeGuard&) = delete;

 protected:
  // Saves the flags, then switches to the modes given (finf untouched).
  ArithModeGuard(bool flote, bool lint, bool modular) : ArithModeGuard() {
    flotemode = flote;
    lintmode = lint;
    modularmode = modular;
  }

 private:
  RingGuardCount counted_;  // constructed first: the ring before any change
  bool flote_, lint_, modular_, finf_;
};

// Big-integer arithmetic for the guard's lifetime: word, modular and
// floating mode off, all restored afterwards.
class BigModeGuard : public ArithModeGuard {
 public:
  BigModeGuard() : ArithModeGuard(false, false, false) {}
};

// Floating mode for the guard's lifetime: flotemode on, with lintmode (every
// number one long double), modular mode off; all restored afterwards. The
// modulus and its companions are not touched.
class FloatingModeGuard : public ArithModeGuard {
 public:
  FloatingModeGuard() : ArithModeGuard(true, true, false) {}
};

// Makes m the word modulus, setting every companion as the change of ground
// ring leaves them: modulus := m, rmodulus := m, half_modulus := m div 2,
// two28_mod := 2^28 mod m; for m = 256 or 65536 the characteristic-2 field
// (finf, f256 or f2t16; smallmodulus and mod_is_prime true), otherwise finf,
// f256, f2t16 false, smallmodulus := m < 65535, mod_is_prime := m_is_prime.
// The mode flags flotemode, lintmode, modularmode are not touched.
// m: 2 .. 2147483646; m_is_prime: whether m is prime (the caller knows).
void set_word_modulus(std::int32_t m, bool m_is_prime = true);

// Rational arithmetic has no word modulus: modulus := -1, rmodulus := -1 and
// the characteristic-2 flags cleared; the other companions keep their values.
void clear_word_modulus();

// Saves the whole modular state (modulus, rmodulus, half_modulus, two28_mod,
// smallmodulus, mod_is_prime, finf, f256, f2t16) with the mode flags
// (flotemode, lintmode, modularmode) and restores all of them when the guard
// ends. With a modulus, set_word_modulus(m, m_is_prime) follows the save;
// switching the modes is left to the caller.
class ModulusGuard {
 public:
  ModulusGuard();
  explicit ModulusGuard(std::int32_t m, bool m_is_prime = true);
  ~ModulusGuard();
  ModulusGuard(const ModulusGuard&) = delete;
  ModulusGuard& operator=(const ModulusGuard&) = delete;

 private:
  RingGuardCount counted_;  // constructed first: the ring before any change
  RingState saved_;
};

}  // namespace tavrin
