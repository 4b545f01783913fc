#include "core/mode_guard.h"

#include <tuple>

namespace tavrin {

std::int32_t ring_guards_open = 0;
RingState unswitched_ring{};

namespace {

// The globals of the ground ring, and the fields of a RingState that mirror
// them, in the same order.
auto ring_globals() {
  return std::tie(modulus, half_modulus, two28_mod, rmodulus, smallmodulus, mod_is_prime, finf,
                  f256, f2t16, flotemode, lintmode, modularmode);
}

template <class State>
auto ring_fields(State& s) {
  return std::tie(s.modulus, s.half_modulus, s.two28_mod, s.rmodulus, s.smallmodulus,
                  s.mod_is_prime, s.finf, s.f256, s.f2t16, s.flotemode, s.lintmode, s.modularmode);
}

}  // namespace

RingState RingState::current() {
  RingState r;
  ring_fields(r) = ring_globals();
  return r;
}

void RingState::apply() const { ring_globals() = ring_fields(*this); }

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

ModulusGuard::ModulusGuard() : saved_(RingState::current()) {}

ModulusGuard::ModulusGuard(std::int32_t m, bool m_is_prime) : ModulusGuard() {
  set_word_modulus(m, m_is_prime);
}

ModulusGuard::~ModulusGuard() { saved_.apply(); }

}  // namespace tavrin
