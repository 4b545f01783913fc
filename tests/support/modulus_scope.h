// Modular arithmetic with a chosen modulus for the lifetime of a scope, as
// the ground-ring change sets it up; everything is restored afterwards.
#pragma once

#include <cstdint>

#include "core/globals.h"
#include "core/mode_guard.h"

namespace tavrin::test {

class ModulusScope {
 public:
  // m: a word prime, or 256 / 65536 for the fields of characteristic 2.
  explicit ModulusScope(std::int32_t m, bool m_is_prime = true) : ring_(m, m_is_prime) {
    modularmode = true;
    lintmode = true;
    flotemode = false;
  }

 private:
  ModulusGuard ring_;
};

// The modulus m set up as an image needs it while the arithmetic is still
// in big-integer mode: images are taken before modular mode is switched on.
struct ImageRing {
  ModulusScope mod;
  BigModeGuard big;
  explicit ImageRing(std::int32_t m) : mod(m) {}
};

// Modular arithmetic switched on over the modulus as it is, to read or
// compute with an image.
struct ModularOn : ArithModeGuard {
  ModularOn() {
    flotemode = false;
    modularmode = true;
    lintmode = true;
  }
};

}  // namespace tavrin::test
