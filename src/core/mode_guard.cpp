#include "core/mode_guard.h"

namespace tavrin {

std::int32_t ring_guards_open = 0;
RingState unswitched_ring{};

RingState RingState::current() {
  RingState r;
  r.modulus = tavrin::modulus;
  r.half_modulus = tavrin::half_modulus;
  r.two28_mod = tavrin::two28_mod;
  r.rmodulus = tavrin::rmodulus;
  r.smallmodulus = tavrin::smallmodulus;
  r.mod_is_prime = tavrin::mod_is_prime;
  r.finf = tavrin::finf;
  r.f256 = tavrin::f256;
  r.f2t16 = tavrin::f2t16;
  r.flotemode = tavrin::flotemode;
  r.lintmode = tavrin::lintmode;
  r.modularmode = tavrin::modularmode;
  return r;
}

void RingState::apply() const {
  tavrin::modulus = modulus;
  tavrin::half_modulus = half_modulus;
  tavrin::two28_mod = two28_mod;
  tavrin::rmodulus = rmodulus;
  tavrin::smallmodulus = smallmodulus;
  tavrin::mod_is_prime = mod_is_prime;
  tavrin::finf = finf;
  tavrin::f256 = f256;
  tavrin::f2t16 = f2t16;
  tavrin::flotemode = flotemode;
  tavrin::lintmode = lintmode;
  tavrin::modularmode = modularmode;
}

void set_word_modulus(std::int32_t m, bool m_is_prime) {
  modulus = m;
  rmodulus = m;
  half_modulus = m / 2;
  two28_mod = static_cast<std::int32_t>(268435456 % m);
  f256 = m == 256;
  f2t16 = m == 65536;
  finf = f256 || f2t16;
  smallmodulus = finf || m < 65535;
  mod_is_prime = finf || m_is_prime;
}

void clear_word_modulus() {
  modulus = -1;
  rmodulus = -1.0;
  f256 = false;
  f2t16 = false;
  finf = false;
}

ModulusGuard::ModulusGuard()
    : modulus_(modulus),
      half_(half_modulus),
      two28_(two28_mod),
      rmodulus_(rmodulus),
      small_(smallmodulus),
      prime_(mod_is_prime),
      finf_(finf),
      f256_(f256),
      f2t16_(f2t16),
      flote_(flotemode),
      lint_(lintmode),
      modular_(modularmode) {}

ModulusGuard::ModulusGuard(std::int32_t m, bool m_is_prime) : ModulusGuard() {
  set_word_modulus(m, m_is_prime);
}

ModulusGuard::~ModulusGuard() {
  modulus = modulus_;
  half_modulus = half_;
  two28_mod = two28_;
  rmodulus = rmodulus_;
  smallmodulus = small_;
  mod_is_prime = prime_;
  finf = finf_;
  f256 = f256_;
  f2t16 = f2t16_;
  flotemode = flote_;
  lintmode = lint_;
  modularmode = modular_;
}

}  // namespace tavrin
