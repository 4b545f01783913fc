// The half-GCD of dense one-variable polynomials over a field, shared by the
// residue vectors modulo a word prime (dense_modular.h) and the element
// vectors of GF(2^8) and GF(2^16) (dense_char2.h).
//
// half_gcd(u, v, d) (deg u > deg v) gives the matrix M of the remainder
// steps that lower deg u by d: M (u, v) = (u', v') consecutive remainders
// with deg u' > deg u - d >= deg v'. The first d quotients depend only on
// the top 2d - 1 coefficients, so the pair is cut to those; the reduction
// runs in two halves of d / 2 with one division step between, Euclid's
// steps with the matrix at or below the field's base degree. The
// remainders are those of Euclid's loop exactly (no step is normalised),
// so the last non-zero one and the cofactors of the steps are the loop's.
//
// The field is an Ops value with, on DensePoly (entry i the coefficient of
// t^i, no zero entry at the top, the zero polynomial empty):
//   DensePoly mul(a, b), add(a, b), sub(a, b);
//   void divrem(a, b, DensePoly* q, DensePoly* r)   (q may be nil; b non-zero)
//   std::int32_t base_degree()                      (Euclid's steps at or below)
#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/interrupts.h"

namespace tavrin::dense_detail {

using HalfGcdPoly = std::vector<std::int32_t>;

struct Matrix2 {
  HalfGcdPoly m[2][2];
  static Matrix2 identity() {
    Matrix2 r;
    r.m[0][0] = {1};
    r.m[1][1] = {1};
    return r;
  }
};

inline std::int32_t hgcd_degree(const HalfGcdPoly& a) {
  return static_cast<std::int32_t>(a.size()) - 1;
}

inline HalfGcdPoly shifted_down(const HalfGcdPoly& a, std::int32_t s) {
  if (static_cast<std::int64_t>(a.size()) <= s) return {};
  return HalfGcdPoly(a.begin() + s, a.end());
}

// (u, v) := M (u, v).
template <class Ops>
void apply(const Ops& f, const Matrix2& M, HalfGcdPoly& u, HalfGcdPoly& v) {
  HalfGcdPoly nu = f.add(f.mul(M.m[0][0], u), f.mul(M.m[0][1], v));
  v = f.add(f.mul(M.m[1][0], u), f.mul(M.m[1][1], v));
  u = std::move(nu);
}

template <class Ops>
Matrix2 product(const Ops& f, const Matrix2& A, const Matrix2& B) {
  Matrix2 r;
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j)
      r.m[i][j] = f.add(f.mul(A.m[i][0], B.m[0][j]), f.mul(A.m[i][1], B.m[1][j]));
  return r;
}

// M := [[0, 1], [1, -q]] M, the step (u, v) -> (v, u - q v).
template <class Ops>
void step(const Ops& f, Matrix2& M, const HalfGcdPoly& q) {
  for (int j = 0; j < 2; ++j) {
    HalfGcdPoly t = f.sub(M.m[0][j], f.mul(q, M.m[1][j]));
    M.m[0][j] = std::move(M.m[1][j]);
    M.m[1][j] = std::move(t);
  }
}

// One division step: (u, v) := (v, u mod v), the quotient in *q (q may be nil).
template <class Ops>
void divide_step(const Ops& f, HalfGcdPoly& u, HalfGcdPoly& v, HalfGcdPoly* q) {
  HalfGcdPoly r;
  f.divrem(u, v, q, &r);
  u = std::move(v);
  v = std::move(r);
}

template <class Ops>
Matrix2 half_gcd(const Ops& f, const HalfGcdPoly& u, const HalfGcdPoly& v, std::int32_t d) {
  if (v.empty() || hgcd_degree(v) <= hgcd_degree(u) - d) return Matrix2::identity();
  const std::int32_t cut = std::max(0, hgcd_degree(u) - 2 * d + 2);
  HalfGcdPoly u1 = shifted_down(u, cut), v1 = shifted_down(v, cut);
  if (d <= f.base_degree()) {
    Matrix2 M = Matrix2::identity();
    const std::int32_t goal = hgcd_degree(u1) - d;
    HalfGcdPoly q;
    while (hgcd_degree(v1) > goal) {
      divide_step(f, u1, v1, &q);
      step(f, M, q);
    }
    return M;
  }
  const std::int32_t d1 = std::clamp((d + 1) / 2, 1, d - 1);
  Matrix2 M1 = half_gcd(f, u1, v1, d1);
  apply(f, M1, u1, v1);
  const std::int32_t d2 = hgcd_degree(v1) - hgcd_degree(u) + cut + d;
  if (v1.empty() || d2 <= 0) return M1;
  HalfGcdPoly q;
  divide_step(f, u1, v1, &q);
  step(f, M1, q);
  return product(f, half_gcd(f, u1, v1, d2), M1);
}

// One division step, (u, v) := (v, u mod v); M, when given, := its matrix
// times M.
template <class Ops>
void divide_kept(const Ops& f, HalfGcdPoly& u, HalfGcdPoly& v, Matrix2* M) {
  HalfGcdPoly q;
  divide_step(f, u, v, M != nullptr ? &q : nullptr);
  if (M != nullptr) step(f, *M, q);
}

// (u, v) := H (u, v), and M := H M when M is given.
template <class Ops>
void apply_kept(const Ops& f, const Matrix2& H, HalfGcdPoly& u, HalfGcdPoly& v, Matrix2* M) {
  apply(f, H, u, v);
  if (M != nullptr) *M = product(f, H, *M);
}

// (u, v) := the pair of consecutive remainders about half way down; M as
// above.
template <class Ops>
void half_gcd_in_place(const Ops& f, HalfGcdPoly& u, HalfGcdPoly& v, Matrix2* M) {
  const std::int32_t d = (hgcd_degree(u) + 1) / 2;
  if (v.empty() || hgcd_degree(v) <= hgcd_degree(u) - d) return;
  const std::int32_t du = hgcd_degree(u);
  const std::int32_t d1 = std::clamp((d + 1) / 2, 1, std::max(1, d - 1));
  apply_kept(f, half_gcd(f, u, v, d1), u, v, M);
  const std::int32_t d2 = hgcd_degree(v) - du + d;
  if (v.empty() || d2 <= 0) return;
  divide_kept(f, u, v, M);
  apply_kept(f, half_gcd(f, u, v, d2), u, v, M);
}

// The remainder steps from (x, y), deg x >= deg y, down to the base degree
// by halves; M as above. polls check_interrupt.
template <class Ops>
void reduce_by_halves(const Ops& f, HalfGcdPoly& x, HalfGcdPoly& y, Matrix2* M) {
  if (!y.empty() && x.size() == y.size()) divide_kept(f, x, y, M);
  while (hgcd_degree(x) > f.base_degree() && !y.empty()) {
    check_interrupt();
    half_gcd_in_place(f, x, y, M);
    if (!y.empty()) divide_kept(f, x, y, M);
  }
}

}  // namespace tavrin::dense_detail
