// The ground ring of a benchmark, set up as a change of ground ring leaves
// it, for the benchmark's scope; the variables adjoined, and the values the
// benchmarks build their operands from.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <random>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "dense/dense_arrays.h"
#include "poly/poly_add.h"
#include "poly/poly_mult.h"
#include "poly/poly_power.h"
#include "poly/poly_repr.h"
#include "frontend/data_files.h"

namespace tavrin::bench {

// Modular arithmetic modulo m (a word prime, or 256 / 65536 for the fields
// of characteristic 2) until the scope ends; m = 0 stays in the integers.
class ModularRing {
 public:
  explicit ModularRing(std::int32_t m) {
    if (m == 0) return;
    ring_.emplace(m);
    modularmode = true;
    lintmode = true;
    flotemode = false;
  }

 private:
  std::optional<ModulusGuard> ring_;
};

// Adjoins the variables named, the first at depth 1, to an empty list of
// variables.
inline void adjoin_variables(const std::vector<const char*>& names) {
  polypt* link = &polynames;
  std::int16_t d = 1;
  for (const char* n : names) {
    polypt r = nullptr;
    newpt(&r);
    std::strncpy(r->let.name, n, 10);
    r->let.address = -1;
    r->depth = d++;
    *link = r;
    link = &r->next;
  }
  number_polys = static_cast<std::int32_t>(names.size());
}

// The data tables read, and x, y, z adjoined (x the top variable), once per
// program.
inline void adjoin_xyz_once() {
  if (polynames != nullptr) return;
  initialize(TAVRIN_BENCH_DATA_DIR);  // the prime tables and evaluation points
  adjoin_variables({"x", "y", "z"});
}

// A fresh number whose limbs hold the values in limbs, most significant
// first.
inline imptr number_of_limbs(const std::vector<std::int32_t>& limbs) {
  imptr x;
  newimag(&x);
  numptr tail = nullptr;
  for (const std::int32_t v : limbs) {
    numptr l = new_limb();
    l->value = v;
    l->next = nullptr;
    tavrin::nodes::append_node(x->head, tail, l);
  }
  x->tail = tail;
  x->size = static_cast<std::int32_t>(limbs.size());
  return x;
}

// The value n / d (both consumed) as it stands, not brought to normal form;
// d nil for a polynomial.
inline quoly fraction_value(poly n, poly d) { return tavrin::nodes::new_ratfun_value(n, d); }

// The value of polynomial s (consumed), with denominator 1.
inline quoly polynomial_value(poly s) { return fraction_value(s, nullptr); }

// The integer v as a value.
inline quoly integer_value(std::int32_t v) {
  quoly q = nullptr;
  quoly_set(v, &q);
  q->next = nullptr;
  return q;
}

// *t times the variable of depth `depth` to the power k.
inline void times_variable(poly* t, std::int32_t depth, int k) {
  for (int r = 0; r < k; ++r) {
    poly x = nullptr;
    base_poly(&x, depth);
    poly_mult(*t, x, t, nilpol);
    free_poly(&x);
  }
}

// A random polynomial in x of degree deg, residues modulo p (its leading one
// not 0).
inline poly random_residue_poly(std::mt19937_64& rng, std::int64_t deg, std::int32_t p) {
  std::vector<std::int32_t> a(static_cast<std::size_t>(deg + 1));
  for (auto& c : a) c = static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(p));
  if (a.back() == 0) a.back() = 1;
  poly r = nullptr;
  array_to_poly(a.data(), static_cast<std::int32_t>(deg), &r);
  return r;
}

// c x1^e1 x2^e2 ..., x_d the variable of depth d, for the exponents e1, e2,
// ... in e.
inline poly monomial_poly(std::int32_t c, std::initializer_list<int> e) {
  poly t = nullptr;
  poly_set(c, &t);
  std::int32_t d = 0;
  for (const int k : e) times_variable(&t, ++d, k);
  return t;
}

// (1 + x1 + ... + x_nv)^k, x_d the variable of depth d.
inline poly dense_power(std::int32_t nv, std::int32_t k) {
  poly s = nullptr;
  poly_set(1, &s);
  for (std::int32_t d = 1; d <= nv; ++d) {
    poly v = nullptr;
    base_poly(&v, d);
    best_poly_add(s, v, &s);
  }
  compute_power(&s, k, polynames);
  return s;
}

// The constant c (a residue in modular arithmetic).
inline poly constant_poly(std::int32_t c) {
  if (modularmode) c = ((c % modulus) + modulus) % modulus;
  poly k = nullptr;
  poly_set(c, &k);
  return k;
}

// c0 + c1 x1 + c2 x2 + ..., x_d the variable of depth d, for the
// coefficients c1, c2, ... in c (residues in modular arithmetic).
inline poly linear_poly(std::int32_t c0, std::initializer_list<std::int32_t> c) {
  poly s = constant_poly(c0);
  std::int32_t d = 0;
  for (const std::int32_t cd : c) {
    ++d;
    if (cd == 0) continue;
    poly v = constant_poly(cd);
    times_variable(&v, d, 1);
    best_poly_add(s, v, &s);
  }
  return s;
}

// c0 + cx x + cy y as a value (x, y of depths 1 and 2).
inline quoly linear_value(std::int32_t c0, std::int32_t cx, std::int32_t cy) {
  return polynomial_value(linear_poly(c0, {cx, cy}));
}

// a b (both consumed).
inline poly times(poly a, poly b) {
  poly r = nullptr;
  poly_mult(a, b, &r, polynames);
  free_poly(&a);
  free_poly(&b);
  return r;
}

// The per-statement state the command loop resets.
inline void new_command() {
  original_depth = 1;
  alg_c_count = 0;
  g_cutoff = 10;
  c_cntcount = a_cntcount = d_cntcount = g_cntcount = c_cntdepth = 0;
}

}  // namespace tavrin::bench
