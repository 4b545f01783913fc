// The square-free decomposition modulo a prime on residue vectors (factor_impl.h).
#include <utility>

#include "core/globals.h"
#include "core/interrupts.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/poly_nodes.h"
#include "dense/dense_arrays.h"
#include "dense/dense_char2.h"
#include "poly/poly_repr.h"
#include "factor/factor_impl.h"

namespace tavrin::detail {

ResidueRouteCounts residue_routes;

namespace {

// The steps of square_free_factor, each gcd monic as polygcd gives it, each
// quotient exact, in a field of characteristic `charact` given by Ops:
// derivative(a), gcd(a, b), quotient(b, a) = b / a, root(a) the p-th root
// of a polynomial in t^p.
template <class Ops>
std::vector<std::pair<std::int32_t, DensePoly>> square_free_steps(const DensePoly& x,
                                                                  std::int32_t charact,
                                                                  const Ops& f) {
  std::vector<std::pair<std::int32_t, DensePoly>> records;
  std::int32_t k = 1;
  DensePoly cur = x;
  while (dense_degree(cur) > 0) {
    check_interrupt();
    const DensePoly t0prime = f.derivative(cur);
    if (t0prime.empty()) {
      cur = f.root(cur);
      k *= charact;
      continue;
    }
    DensePoly c = f.gcd(t0prime, cur);
    DensePoly w = dense_degree(c) > 0 ? f.quotient(cur, c) : cur;
    std::int32_t i = 0, e = 0;
    while (dense_degree(w) > 0) {
      ++i;
      e += k;
      if (i % charact == 0) {
        c = f.quotient(c, w);
        ++i;
        e += k;
      }
      DensePoly y = f.gcd(w, c);
      if (dense_degree(y) > 0) w = f.quotient(w, y);
      if (dense_degree(w) > 0) records.emplace_back(e, std::move(w));
      w = std::move(y);
      if (dense_degree(w) > 0) c = f.quotient(c, w);
    }
    // c holds the factors whose multiplicity is divisible by p.
    if (dense_degree(c) <= 0) break;
    cur = f.root(c);
    k *= charact;
  }
  return records;
}

// The prime field of p: the p-th root keeps the coefficients (the
// Frobenius map fixes them).
struct ResidueSteps {
  std::int32_t p;
  DensePoly derivative(const DensePoly& a) const { return dense_derivative(a, p); }
  DensePoly gcd(const DensePoly& a, const DensePoly& b) const { return dense_gcd(a, b, p); }
  DensePoly quotient(const DensePoly& b, const DensePoly& a) const {
    DensePoly q;
    dense_divrem(b, a, p, &q, nullptr);
    return q;
  }
  DensePoly root(const DensePoly& a) const {
    DensePoly r;
    for (std::size_t e = 0; e < a.size(); e += static_cast<std::size_t>(p)) r.push_back(a[e]);
    return r;
  }
};

// GF(2^8) and GF(2^16): the square root takes the coefficients' roots.
struct Char2Steps {
  std::int32_t q;
  DensePoly derivative(const DensePoly& a) const { return dense_char2_derivative(a); }
  DensePoly gcd(const DensePoly& a, const DensePoly& b) const { return dense_char2_gcd(a, b, q); }
  DensePoly quotient(const DensePoly& b, const DensePoly& a) const {
    DensePoly r;
    dense_char2_divrem(b, a, q, &r, nullptr);
    return r;
  }
  DensePoly root(const DensePoly& a) const { return dense_char2_sqrt(a, q); }
};

}  // namespace

std::vector<std::pair<std::int32_t, DensePoly>> square_free_residues(const DensePoly& x,
                                                                     std::int32_t p) {
  ++residue_routes.square_free;
  return square_free_steps(x, p, ResidueSteps{p});
}

std::vector<std::pair<std::int32_t, DensePoly>> square_free_char2(const DensePoly& x,
                                                                  std::int32_t q) {
  ++residue_routes.square_free_char2;
  return square_free_steps(x, 2, Char2Steps{q});
}

}  // namespace tavrin::detail
