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
  explicit ModulusScope(std::int32_t m, bool m_is_prime = true)
      : modulus_(modulus, m),
        small_(smallmodulus, m < 65535),
        half_(half_modulus, m / 2),
        two28_(two28_mod, static_cast<std::int32_t>(268435456 % m)),
        prime_(mod_is_prime, m_is_prime) {
    finf = (m == 256 || m == 65536);
    modularmode = true;
    lintmode = true;
    flotemode = false;
  }

 private:
  ArithModeGuard modes_;
  ScopedValue<std::int32_t> modulus_;
  ScopedValue<bool> small_;
  ScopedValue<std::int32_t> half_;
  ScopedValue<std::int32_t> two28_;
  ScopedValue<bool> prime_;
};

}  // namespace tavrin::test
