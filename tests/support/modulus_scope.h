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

}  // namespace tavrin::test
