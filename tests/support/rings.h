// The ground rings the polynomial tests run in, each with the reference
// arithmetic that stands for it: a scope that switches to the ring, and the
// reference polynomial's value, sum and product there.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <string>

#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/poly_support.h"
#include "support/refpoly.h"

namespace tavrin::test {

enum class Ring { integers, mod3, mod7, mod65521, mod_big, gf256, floating, word };

inline const char* ring_name(Ring r) {
  switch (r) {
    case Ring::integers: return "integers";
    case Ring::mod3: return "mod 3";
    case Ring::mod7: return "mod 7";
    case Ring::mod65521: return "mod 65521";
    case Ring::mod_big: return "mod 2147483629";
    case Ring::gf256: return "GF(256)";
    case Ring::floating: return "floating";
    case Ring::word: return "word";
  }
  return "?";
}

// The ring's name as a parameterised test's name: letters, digits and "_".
inline std::string ring_test_name(const testing::TestParamInfo<Ring>& info) {
  std::string s = ring_name(info.param);
  for (char& ch : s)
    if (ch == ' ' || ch == '(' || ch == ')') ch = '_';
  return s;
}

// Switches to a ring for its lifetime.
class RingScope {
 public:
  explicit RingScope(Ring r) {
    switch (r) {
      case Ring::mod3: mod_.emplace(3); break;
      case Ring::mod7: mod_.emplace(7); break;
      case Ring::mod65521: mod_.emplace(65521); break;
      case Ring::mod_big: mod_.emplace(2147483629); break;
      case Ring::gf256: mod_.emplace(256); break;
      case Ring::floating: fl_.emplace(); break;
      case Ring::word: word_.emplace(); break;
      case Ring::integers: break;
    }
  }

 private:
  std::optional<ModulusScope> mod_;
  std::optional<FloatingMode> fl_;
  std::optional<WordMode> word_;
};

// Runs body(ring) for each ring of rings, switched to the ring and under a
// node balance, the ring named in the report of a failure. A fatal failure
// (an ASSERT_...) ends the whole run, as it ends a test.
template <class Body>
void for_each_ring(std::initializer_list<Ring> rings, Body&& body) {
  for (Ring ring : rings) {
    SCOPED_TRACE(ring_name(ring));
    RingScope scope(ring);
    NodeBalance balance;
    body(ring);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

// The value a reference polynomial stands for in the ring.
inline RefPoly in_ring(Ring r, const RefPoly& a) {
  switch (r) {
    case Ring::mod3: return a.reduced_mod(BigRef(3));
    case Ring::mod7: return a.reduced_mod(BigRef(7));
    case Ring::mod65521: return a.reduced_mod(BigRef(65521));
    case Ring::mod_big: return a.reduced_mod(BigRef(2147483629));
    case Ring::gf256: return a.reduced_mod(BigRef(256));
    case Ring::word: return wrapped32(a);
    default: return a;
  }
}

inline RefPoly ring_sum(Ring r, const RefPoly& a, const RefPoly& b, bool sub = false) {
  if (r == Ring::gf256) return gf2_sum(in_ring(r, a), in_ring(r, b));
  return in_ring(r, sub ? a - b : a + b);
}

inline RefPoly ring_product(Ring r, const RefPoly& a, const RefPoly& b) {
  if (r == Ring::gf256) return gf2_product(in_ring(r, a), in_ring(r, b), 256);
  return in_ring(r, a * b);
}

// Coefficient limbs of random operands: floating values stay exact.
inline int limbs_for(Ring r) { return r == Ring::floating ? 1 : 3; }

// The reference reduction of a by t^E = rel (rel of lower degree in t, the
// variable of index var, 0 = top) in the ring: each power t^k, k >= E,
// replaced by t^(k-E) rel until none is left.
inline RefPoly fold_ref(Ring ring, const RefPoly& a, int var, int E, const RefPoly& rel) {
  RefPoly r = in_ring(ring, a);
  for (;;) {
    RefPoly low(a.nvars()), high(a.nvars());
    for (const auto& [e, c] : r.terms()) {
      if (e[static_cast<std::size_t>(var)] >= E) {
        RefPoly::Exps x = e;
        x[static_cast<std::size_t>(var)] -= E;
        high.add_term(x, c);
      } else {
        low.add_term(e, c);
      }
    }
    if (high.is_zero()) return r;
    r = ring_sum(ring, low, ring_product(ring, high, rel));
  }
}

}  // namespace tavrin::test
