// The Hermite form by elimination modulo a determinant (see
// hermite_modular.h; the elimination itself, hermite_modulo, is in
// hermite_elimination.cpp): the square form, the rank profile of other
// shapes and the proofs.
//
// Square nonsingular M (n x n, D = |det M|). The columns of M span a lattice
// L of index D in Z^n. Its lower triangular Hermite form H has the form of
// the top n-1 rows B (a lattice of index G, the gcd of B's maximal minors)
// in its leading block, then the row (x, D/G). The maximal minors of B are
// D M^-1 e_n up to sign, so one solve gives G; the form of B is found by
// elimination modulo G, which for most matrices is 1 or small. Each row
// f = y D M^-1 kills L modulo D (f M = D y), so f.(w, t) = 0 mod D for every
// (w, t) in L: with f_n = G modulo D (a combination of rows of D M^-1 whose
// last entries have gcd G with D), the last entry x_j of the lattice vector
// over column j of B's form is -f'.w_j / G modulo D/G. L(M) is inside L(H)
// (checked column by column) and both have index D, so they are equal.
//
// Other shapes. The first k = rank independent rows R of A and columns C
// with A[R, C] nonsingular (elimination modulo a prime) complete to the
// square M = [A_R; e_c for c not in C] with |det M| = |det A[R, C]|, whose
// form's leading k rows are the form of A_R; the other rows of A are C A_R
// (C = A_R'[., C] A[R, C]^-1), so their part of the form is C times it.
#include "matrix/normal_forms/hermite_modular.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numeric>
#include <random>
#include <utility>
#include <vector>

#include "core/interrupts.h"
#include "core/thresholds.h"
#include "numbers/primes.h"
#include "numbers/word_field.h"
#include "matrix/crt_determinant.h"
#include "matrix/exact_quotient.h"
#include "matrix/scaled_solve.h"
#include "matrix/zmatrix.h"

namespace tavrin {

namespace {

// x mod p from x's digits base 2^28 and pw[i] = 2^(28 i) mod p (p below
// 2^28, pw as long as x): the sum of digit times power, each below 2^56,
// reduced once every 255 terms.
std::uint32_t residue_of(const ZInt& x, const WordField& f, const std::vector<std::uint64_t>& pw) {
  const auto& mag = x.magnitude();
  std::uint64_t r = 0;
  for (std::size_t i0 = 0; i0 < mag.size(); i0 += 255) {
    std::uint64_t sum = r;
    for (std::size_t i = i0; i < std::min(mag.size(), i0 + 255); ++i) sum += mag[i] * pw[i];
    r = f.reduce(sum);
  }
  return x.sign() < 0 ? f.neg(static_cast<std::uint32_t>(r)) : static_cast<std::uint32_t>(r);
}

// log2 of an upper bound of every |(a b - c)_ij|: the largest row sum of
// |a| times b's largest entry, plus c's largest entry (each |x| below
// 2^bits(x)).
double product_gap_log2(const ZMatrix& a, const ZMatrix& b, const ZMatrix& c) {
  double rows = 0.0;
  for (std::int32_t i = 0; i < a.rows; ++i) {
    double sum = 0.0;
    for (std::int32_t k = 0; k < a.cols; ++k)
      if (!a.at(i, k).is_zero())
        sum += std::ldexp(1.0,
                          static_cast<int>(std::min<std::int64_t>(a.at(i, k).bit_length(), 4096)));
    rows = std::max(rows, sum);
  }
  std::int64_t bb = 0, cb = 0;
  for (const ZInt& x : b.cell) bb = std::max(bb, x.bit_length());
  for (const ZInt& x : c.cell) cb = std::max(cb, x.bit_length());
  const double ab = rows == 0.0 ? 0.0 : std::log2(rows) + static_cast<double>(bb);
  return std::max(ab, static_cast<double>(cb)) + 1.0 + 1e-6;
}

}  // namespace

bool residue_product_equals(const ZMatrix& a, const ZMatrix& b, const ZMatrix& c) {
  if (a.cols != b.rows || c.rows != a.rows || c.cols != b.cols) return false;
  const double need = product_gap_log2(a, b, c);
  if (!std::isfinite(need)) return product_equals(a, b, c);
  const std::int32_t n = a.rows, m = a.cols, w = b.cols;
  std::vector<std::uint32_t> ar(a.cell.size()), br(b.cell.size());
  std::vector<std::uint64_t> acc(static_cast<std::size_t>(w));
  std::int32_t digits = 1;
  for (const ZMatrix* x : {&a, &b, &c})
    for (const ZInt& y : x->cell) digits = std::max(digits, y.digits());
  std::vector<std::uint64_t> pw(static_cast<std::size_t>(digits));
  double have = 0.0;
  for (std::size_t t = 0; have <= need; ++t) {
    check_interrupt();
    // Primes below 2^28: 255 products below 2^56 and a residue stay below
    // 2^64, so a row of sums is reduced once every 255 terms.
    const std::uint32_t p = word_prime(t, std::uint32_t{1} << 28);
    const WordField f(p);
    for (std::size_t i = 0; i < pw.size(); ++i)
      pw[i] = i == 0 ? 1 : f.mul(static_cast<std::uint32_t>(pw[i - 1]), 1u << 28);
    for (std::size_t i = 0; i < a.cell.size(); ++i) ar[i] = residue_of(a.cell[i], f, pw);
    for (std::size_t i = 0; i < b.cell.size(); ++i) br[i] = residue_of(b.cell[i], f, pw);
    for (std::int32_t i = 0; i < n; ++i) {
      std::fill(acc.begin(), acc.end(), 0);
      std::int32_t pending = 0;
      for (std::int32_t k = 0; k < m; ++k) {
        const std::uint64_t x = ar[static_cast<std::size_t>(i) * m + k];
        if (x == 0) continue;
        const std::uint32_t* row = br.data() + static_cast<std::size_t>(k) * w;
        for (std::size_t j = 0; j < acc.size(); ++j) acc[j] += x * row[j];
        if (++pending == 255) {
          for (std::uint64_t& v : acc) v = f.reduce(v);
          pending = 0;
        }
      }
      for (std::int32_t j = 0; j < w; ++j)
        if (f.reduce(acc[static_cast<std::size_t>(j)]) != residue_of(c.at(i, j), f, pw))
          return false;
    }
    have += std::log2(static_cast<double>(p)) - 1e-9;
  }
  return true;
}

namespace {

// a b = c, modulo word primes for short inner sides (residue_product_equals),
// by exact products beyond.
bool products_equal(const ZMatrix& a, const ZMatrix& b, const ZMatrix& c) {
  return a.cols <= normal_form_residue_check ? residue_product_equals(a, b, c)
                                             : product_equals(a, b, c);
}

// The rows of a Hermite block whose pivot is not 1; the others are rows
// of the identity (entries left of a pivot 1 are reduced to 0).
std::vector<std::int32_t> nontrivial_rows(const ZMatrix& h) {
  std::vector<std::int32_t> nt;
  for (std::int32_t i = 0; i < h.rows; ++i)
    if (!h.at(i, i).is_one()) nt.push_back(i);
  return nt;
}

// acc += x * y, by one digit when y is short.
void add_product(ZInt& acc, const ZInt& x, const ZInt& y) {
  if (x.is_zero() || y.is_zero()) return;
  if (y.bit_length() <= 27) {
    acc.add_mul_small(x, static_cast<std::int32_t>(y.to_int64()));
  } else if (x.bit_length() <= 27) {
    acc.add_mul_small(y, static_cast<std::int32_t>(x.to_int64()));
  } else {
    acc += x * y;
  }
}

// z := hb^-1 a for the Hermite block hb (nontrivial rows nt), a given by
// its first hb.rows entries; false when z is not integral.
bool solve_block(const ZMatrix& hb, const std::vector<std::int32_t>& nt, const std::vector<ZInt>& a,
                 std::vector<ZInt>* z) {
  *z = std::vector<ZInt>(a.begin(), a.begin() + hb.rows);
  for (std::int32_t i : nt) {
    ZInt acc = a[static_cast<std::size_t>(i)];
    for (std::int32_t j = 0; j < i; ++j)
      add_product(acc, -hb.at(i, j), (*z)[static_cast<std::size_t>(j)]);
    if (!ZInt::divides(acc, hb.at(i, i), &(*z)[static_cast<std::size_t>(i)])) return false;
  }
  return true;
}

struct SquareForm {
  ZMatrix h, u, uinv;
  ZMatrix w;  // D m^-1, proven (with transforms)
};

// A square completion m = [T; E]: rows lead.. are unit vectors e_c over
// distinct free columns c, rows 0..lead-1 (T) are general. With C the
// other columns (increasing), |det m| = |det T[., C]|: a system in m is
// one in the lead x lead block T_C and products by the free part T_N.
struct Completion {
  std::int32_t lead = 0;
  std::vector<std::int32_t> pivots, free;  // C and N
  ZMatrix core, rest;                      // T_C and T_N
};

// The completion of m when its trailing unit rows number at least
// normal_form_split_rows (false: solve in m whole).
bool split_completion(const ZMatrix& m, Completion* out) {
  const std::int32_t n = m.rows;
  std::vector<bool> used(static_cast<std::size_t>(n), false);
  std::int32_t lead = n;
  for (; lead > 0; --lead) {
    std::int32_t at = -1;
    bool unit = true;
    for (std::int32_t c = 0; c < n && unit; ++c) {
      const ZInt& x = m.at(lead - 1, c);
      if (x.is_zero()) continue;
      unit = at < 0 && x.is_one() && !used[static_cast<std::size_t>(c)];
      at = c;
    }
    if (!unit || at < 0) break;
    used[static_cast<std::size_t>(at)] = true;
  }
  if (n - lead < normal_form_split_rows || lead == 0) return false;
  out->lead = lead;
  for (std::int32_t c = 0; c < n; ++c)
    (used[static_cast<std::size_t>(c)] ? out->free : out->pivots).push_back(c);
  // Unit row lead + t holds free column free[t]: put the rows in that order.
  std::vector<std::int32_t> by_row;
  for (std::int32_t r = lead; r < n; ++r)
    for (std::int32_t c = 0; c < n; ++c)
      if (!m.at(r, c).is_zero()) by_row.push_back(c);
  if (by_row != out->free) return false;
  const std::int32_t k = n - lead;
  out->core = ZMatrix(lead, lead);
  out->rest = ZMatrix(lead, k);
  for (std::int32_t i = 0; i < lead; ++i) {
    for (std::int32_t j = 0; j < lead; ++j)
      out->core.at(i, j) = m.at(i, out->pivots[static_cast<std::size_t>(j)]);
    for (std::int32_t t = 0; t < k; ++t)
      out->rest.at(i, t) = m.at(i, out->free[static_cast<std::size_t>(t)]);
  }
  return true;
}

// X := d m^-1 v (transposed: d m^-T v) for the completion sp of m, d =
// |det m|. m X = d v: the unit rows give X[N] = d v_E, then T_C X[C] = d
// (v_T - T_N v_E). m^T Y = d v: T_C^T Y_T = d v[C], then Y_E = d v[N] -
// T_N^T Y_T.
ZMatrix completion_solve(const Completion& sp, const ZMatrix& v, const ZInt& d, bool transposed) {
  const std::int32_t n = v.rows, lead = sp.lead, k = n - lead, w = v.cols;
  ZMatrix x(n, w);
  if (!transposed) {
    ZMatrix top(lead, w);
    for (std::int32_t i = 0; i < lead; ++i)
      for (std::int32_t j = 0; j < w; ++j) {
        ZInt sum = v.at(i, j);
        for (std::int32_t t = 0; t < k; ++t)
          if (!v.at(lead + t, j).is_zero()) sum -= sp.rest.at(i, t) * v.at(lead + t, j);
        top.at(i, j) = std::move(sum);
      }
    const ZMatrix xc = scaled_solve(sp.core, top, d);
    for (std::int32_t i = 0; i < lead; ++i)
      for (std::int32_t j = 0; j < w; ++j)
        x.at(sp.pivots[static_cast<std::size_t>(i)], j) = xc.at(i, j);
    for (std::int32_t t = 0; t < k; ++t)
      for (std::int32_t j = 0; j < w; ++j)
        x.at(sp.free[static_cast<std::size_t>(t)], j) = d * v.at(lead + t, j);
    return x;
  }
  ZMatrix vc(lead, w);
  for (std::int32_t i = 0; i < lead; ++i)
    for (std::int32_t j = 0; j < w; ++j)
      vc.at(i, j) = v.at(sp.pivots[static_cast<std::size_t>(i)], j);
  const ZMatrix yt = scaled_solve(sp.core.transposed(), vc, d);
  for (std::int32_t i = 0; i < lead; ++i)
    for (std::int32_t j = 0; j < w; ++j) x.at(i, j) = yt.at(i, j);
  for (std::int32_t t = 0; t < k; ++t)
    for (std::int32_t j = 0; j < w; ++j) {
      ZInt sum = d * v.at(sp.free[static_cast<std::size_t>(t)], j);
      for (std::int32_t i = 0; i < lead; ++i) add_product(sum, -sp.rest.at(i, t), yt.at(i, j));
      x.at(lead + t, j) = std::move(sum);
    }
  return x;
}

// d m^-1 v (or d m^-T v), in the lead block of the completion when there is one.
ZMatrix square_solve(const ZMatrix& m, const Completion* sp, const ZMatrix& v, const ZInt& d,
                     bool transposed) {
  if (sp != nullptr) return completion_solve(*sp, v, d, transposed);
  return scaled_solve(transposed ? m.transposed() : m, v, d);
}

// Whether m w = d I, the proof of w = d m^-1. In a completion the unit
// rows of m pick rows of w that the solve set to d e_(lead+t) itself: only
// the general rows T w = d [I 0] are multiplied out, T's short entries by
// w's digits.
bool solve_holds(const ZMatrix& m, const Completion* sp, const ZMatrix& w, const ZInt& d) {
  const std::int32_t n = m.rows, lead = sp != nullptr ? sp->lead : n;
  ZMatrix top(lead, n), want(lead, n);
  for (std::int32_t i = 0; i < lead; ++i) {
    for (std::int32_t c = 0; c < n; ++c) top.at(i, c) = m.at(i, c);
    want.at(i, i) = d;
  }
  if (sp != nullptr)
    for (std::size_t t = 0; t < sp->free.size(); ++t) {
      const std::int32_t row = sp->free[t], unit = lead + static_cast<std::int32_t>(t);
      for (std::int32_t c = 0; c < n; ++c)
        if (w.at(row, c) != (c == unit ? d : ZInt(0))) return false;
    }
  return products_equal(top, w, want);
}

// The form of b, the top n - 1 rows of m (d = |det m|), whose lattice has
// index g. When g is long, b is eliminated modulo a likely multiple s of
// its exponent instead: s, a divisor of the largest invariant factor of m
// (which the exponent of b divides), is the least common denominator of
// m^-1 over e_n (d / g) and two vectors of a fixed random sequence, from
// w = d m^-1 when given. The form modulo s is that of b's lattice plus s
// Z^(n-1), which contains b's: the same lattice when its index is g, the
// check. Modulo g otherwise, and when s has more than a quarter of g's
// bits (the modulus that shrinks by the pivots is then as cheap).
ZMatrix leading_form(const ZMatrix& m, const Completion* sp, const ZMatrix& b, const ZInt& d,
                     const ZInt& g, const ZMatrix* w) {
  if (g.bit_length() > normal_form_exponent_bits) {
    const std::int32_t n = m.rows;
    std::mt19937_64 rng(n);
    ZMatrix v(n, 2);
    for (ZInt& x : v.cell)
      x = static_cast<std::int64_t>(rng() % (std::uint64_t{1} << 21)) - (std::int64_t{1} << 20);
    const ZMatrix x = w != nullptr ? *w * v : square_solve(m, sp, v, d, false);
    ZInt s;
    ZInt::divides(d, g, &s);
    for (std::int32_t j = 0; j < x.cols; ++j) {
      ZInt c = d;
      for (std::int32_t r = 0; r < n && !c.is_one(); ++r) c = ZInt::gcd(c, x.at(r, j));
      ZInt den, f;
      ZInt::divides(d, c, &den);
      ZInt::divides(den, ZInt::gcd(den, s), &f);
      s *= f;
    }
    s = ZInt::gcd(s, g);
    // A second try, when the vectors missed a factor of the exponent, takes
    // s times the index the form lacks: at each prime q the lacking index
    // has at least the q's of the exponent past s, so that one holds.
    for (int t = 0; t < 2 && 4 * s.bit_length() <= g.bit_length(); ++t) {
      ZMatrix hb = hermite_modulo(b, s, true);
      ZInt prod = 1, lack;
      for (std::int32_t i = 0; i < hb.rows; ++i) prod *= hb.at(i, i);
      if (prod == g) return hb;
      if (!ZInt::divides(g, prod, &lack)) break;
      s = ZInt::gcd(s * lack, g);
    }
  }
  return hermite_modulo(b, g);
}

// The first solves of the Hermite form of the nonsingular square m with
// d = |det m|: with transforms *w := D m^-1 (proven); *u := B's maximal
// minors up to sign (B the first n - 1 rows), D m^-1's last column; *g their
// gcd and *hb the Hermite form of B's leading n - 1 columns. False when a
// solve fails its check or hb's diagonal is not g.
bool leading_rows(const ZMatrix& m, const Completion* sp, const ZInt& d, bool transforms,
                  ZMatrix* w, ZMatrix* u, ZInt* g, ZMatrix* hb) {
  const std::int32_t n = m.rows;
  // With transforms the whole of D m^-1 is needed; its last column and its
  // rows are then the two solves below.
  if (transforms) {
    *w = square_solve(m, sp, ZMatrix::identity(n), d, false);
    if (!solve_holds(m, sp, *w, d)) return false;
  }
  *u = ZMatrix(n, 1);
  if (transforms) {
    for (std::int32_t i = 0; i < n; ++i) u->at(i, 0) = w->at(i, n - 1);
  } else {
    ZMatrix en(n, 1);
    en.at(n - 1, 0) = 1;
    *u = square_solve(m, sp, en, d, false);
  }
  *g = 0;
  for (std::int32_t i = 0; i < n; ++i) *g = ZInt::gcd(*g, u->at(i, 0));
  if (g->is_zero()) return false;
  if (n == 1) {
    *hb = ZMatrix(0, 0);
  } else if (g->is_one()) {
    *hb = ZMatrix::identity(n - 1);
  } else {
    ZMatrix b(n - 1, n);
    for (std::int32_t r = 0; r + 1 < n; ++r)
      for (std::int32_t c = 0; c < n; ++c) b.at(r, c) = m.at(r, c);
    *hb = leading_form(m, sp, b, d, *g, transforms ? w : nullptr);
  }
  ZInt prod = 1;
  for (std::int32_t i = 0; i + 1 < n; ++i) prod *= hb->at(i, i);
  return prod == *g;
}

// Bezout over the picked last entries u_t: *lambda with sum lambda_t u_t =
// the returned gcd (not negative), each lambda_t reduced modulo d.
ZInt picked_bezout(const ZMatrix& u, const std::vector<std::int32_t>& pick, const ZInt& d,
                   std::vector<ZInt>* lambda) {
  const auto k = static_cast<std::int32_t>(pick.size());
  lambda->assign(static_cast<std::size_t>(k), ZInt());
  (*lambda)[0] = 1;
  ZInt acc = u.at(pick[0], 0);
  for (std::int32_t t = 1; t < k; ++t) {
    ZInt s, tt;
    acc = ZInt::xgcd(acc, u.at(pick[static_cast<std::size_t>(t)], 0), &s, &tt);
    for (std::int32_t l = 0; l < t; ++l) (*lambda)[static_cast<std::size_t>(l)] *= s;
    (*lambda)[static_cast<std::size_t>(t)] = tt;
  }
  if (acc.sign() < 0) {  // the first alone may be negative
    acc = -acc;
    for (ZInt& l : *lambda) l = -l;
  }
  for (ZInt& l : *lambda) l = l.mod(d);
  return acc;
}

// The last row of the Hermite form, below the leading form hb (nontrivial
// rows nt) with last = D / G on its diagonal: x_j = -f'.w_j / G modulo
// D / G, f' from the rows of D m^-1 (w with transforms, else solved) at the
// picked last entries of u. False when a step fails its check.
bool last_row(const ZMatrix& m, const Completion* sp, const ZInt& d, const ZMatrix* w,
              const ZMatrix& u, const ZInt& g, const ZInt& last, const ZMatrix& hb,
              const std::vector<std::int32_t>& nt, std::vector<ZInt>* x) {
  const std::int32_t n = m.rows;
  std::vector<std::int32_t> pick;
  ZInt gi = 0, gid = d;  // gid = gcd(gi, d)
  for (std::int32_t i = n - 1; i >= 0 && gid != g; --i) {
    if (u.at(i, 0).is_zero()) continue;
    const ZInt g2 = ZInt::gcd(gi, u.at(i, 0));
    if (!pick.empty() && g2 == gi) continue;
    pick.push_back(i);
    gi = g2;
    gid = ZInt::gcd(gi, d);
  }
  if (gid != g) return false;
  const auto k = static_cast<std::int32_t>(pick.size());
  ZMatrix e(n, k);
  for (std::int32_t t = 0; t < k; ++t) e.at(pick[static_cast<std::size_t>(t)], t) = 1;
  ZMatrix f(n, k);  // columns: rows of D m^-1
  if (w != nullptr) {
    for (std::int32_t t = 0; t < k; ++t)
      for (std::int32_t r = 0; r < n; ++r) f.at(r, t) = w->at(pick[static_cast<std::size_t>(t)], r);
  } else {
    f = square_solve(m, sp, e, d, true);
  }
  std::vector<ZInt> lambda;
  const ZInt acc = picked_bezout(u, pick, d, &lambda);
  std::vector<ZInt> fc(static_cast<std::size_t>(n));
  for (std::int32_t r = 0; r < n; ++r) {
    if (k == 1 && lambda[0].is_one()) {
      fc[static_cast<std::size_t>(r)] = f.at(r, 0).mod(d);
      continue;
    }
    ZInt sum;
    for (std::int32_t t = 0; t < k; ++t)
      add_product(sum, lambda[static_cast<std::size_t>(t)], f.at(r, t));
    fc[static_cast<std::size_t>(r)] = sum.mod(d);
  }
  if ((fc[static_cast<std::size_t>(n - 1)] - acc).mod(d).sign() != 0) return false;
  ZInt gq, inv;
  ZInt::divides(acc, g, &gq);
  if (!ZInt::inverse_mod(gq, last, &inv)) return false;
  for (std::int32_t j = 0; j + 1 < n; ++j) {
    ZInt c;
    add_product(c, fc[static_cast<std::size_t>(j)], hb.at(j, j));
    for (std::int32_t r : nt)
      if (r > j) add_product(c, fc[static_cast<std::size_t>(r)], hb.at(r, j));
    const ZInt cd = (-c).mod(d);
    ZInt cq;
    if (g.is_one())
      cq = cd;
    else if (!ZInt::divides(cd, g, &cq))
      return false;
    (*x)[static_cast<std::size_t>(j)] = (cq * inv).mod(last);
  }
  return true;
}

// Proof: every column of m is H z with z integral (z: the columns of
// H^-1 m, into *uinv); with det H = D the lattices are equal. H is hb
// (nontrivial rows nt) over the last row x with last on the diagonal.
bool prove_form(const ZMatrix& m, const ZMatrix& hb, const std::vector<std::int32_t>& nt,
                const std::vector<ZInt>& x, const ZInt& last, ZMatrix* uinv) {
  const std::int32_t n = m.rows;
  *uinv = ZMatrix(n, n);
  std::vector<ZInt> a(static_cast<std::size_t>(n)), z;
  for (std::int32_t c = 0; c < n; ++c) {
    check_interrupt();
    for (std::int32_t r = 0; r < n; ++r) a[static_cast<std::size_t>(r)] = m.at(r, c);
    if (!solve_block(hb, nt, a, &z)) return false;
    ZInt rest = a[static_cast<std::size_t>(n - 1)];
    for (std::int32_t j = 0; j + 1 < n; ++j)
      add_product(rest, -x[static_cast<std::size_t>(j)], z[static_cast<std::size_t>(j)]);
    ZInt zl;
    if (!ZInt::divides(rest, last, &zl)) return false;
    for (std::int32_t r = 0; r + 1 < n; ++r)
      uinv->at(r, c) = std::move(z[static_cast<std::size_t>(r)]);
    uinv->at(n - 1, c) = std::move(zl);
  }
  return true;
}

// *u := m^-1 H = (D m^-1) H / D from the proven w = D m^-1 and the proven
// form h (nontrivial rows nt among the first n - 1, w's last column of gcd
// g), column by column over H's few entries. False when a quotient is not
// exact.
bool form_transform(const Completion* sp, const ZInt& d, const ZInt& g, const ZMatrix& w,
                    const ZMatrix& h, const std::vector<std::int32_t>& nt, ZMatrix* u) {
  const std::int32_t n = h.rows;
  // Row N_t of D m^-1 is D e_(lead+t) in a completion: that row of U is
  // row lead + t of H.
  std::vector<std::int32_t> unit_row(static_cast<std::size_t>(n), -1);
  if (sp != nullptr)
    for (std::size_t t = 0; t < sp->free.size(); ++t)
      unit_row[static_cast<std::size_t>(sp->free[t])] = sp->lead + static_cast<std::int32_t>(t);
  // D divides every sum: U = m^-1 H is integral, m W = D I and the lattice
  // of H being proven. Long divisors go by exact division.
  const bool exact = d.digits() >= normal_form_exact_digits;
  const ExactDivisor by_d(d);
  *u = ZMatrix(n, n);
  for (std::int32_t j = 0; j < n; ++j) {
    check_interrupt();
    for (std::int32_t r = 0; r < n; ++r) {
      if (const std::int32_t e = unit_row[static_cast<std::size_t>(r)]; e >= 0) {
        u->at(r, j) = h.at(e, j);
        continue;
      }
      if (j == n - 1) {  // W's last column times D / G, over D: divided by G (its gcd)
        if (!ZInt::divides(w.at(r, j), g, &u->at(r, j))) return false;
        continue;
      }
      ZInt sum;
      add_product(sum, w.at(r, j), h.at(j, j));
      for (std::int32_t k : nt)
        if (k > j) add_product(sum, w.at(r, k), h.at(k, j));
      if (j + 1 < n) add_product(sum, w.at(r, n - 1), h.at(n - 1, j));
      if (exact)
        u->at(r, j) = by_d.quotient(sum);
      else if (!ZInt::divides(sum, d, &u->at(r, j)))
        return false;
    }
  }
  return true;
}

// The Hermite form of the nonsingular square m with d = |det m|, with
// H^-1 m (always: the proof computes it) and, with transforms, m^-1 H.
bool hermite_square(const ZMatrix& m, const ZInt& d, bool transforms, SquareForm* out) {
  const std::int32_t n = m.rows;
  Completion split;
  const Completion* sp = split_completion(m, &split) ? &split : nullptr;
  ZMatrix w, u, hb;  // D m^-1 (with transforms), B's maximal minors, B's form
  ZInt g, last;
  if (!leading_rows(m, sp, d, transforms, &w, &u, &g, &hb) || !ZInt::divides(d, g, &last))
    return false;
  const std::vector<std::int32_t> nt = nontrivial_rows(hb);
  std::vector<ZInt> x(static_cast<std::size_t>(n > 0 ? n - 1 : 0));
  if (!last.is_one() && !last_row(m, sp, d, transforms ? &w : nullptr, u, g, last, hb, nt, &x))
    return false;
  out->h = ZMatrix(n, n);
  for (std::int32_t r = 0; r + 1 < n; ++r)
    for (std::int32_t c = 0; c <= r; ++c) out->h.at(r, c) = hb.at(r, c);
  for (std::int32_t c = 0; c + 1 < n; ++c) out->h.at(n - 1, c) = x[static_cast<std::size_t>(c)];
  out->h.at(n - 1, n - 1) = last;
  if (!prove_form(m, hb, nt, x, last, &out->uinv)) return false;
  if (!transforms) return true;
  if (!form_transform(sp, d, g, w, out->h, nt, &out->u)) return false;
  out->w = std::move(w);
  return true;
}

// D C for the rows A_rest below the rank from W = D M^-1 (M = [A_R; E],
// M W = D I proven), transposed (k x rows below): A_rest W = [D C, 0]
// exactly when A_rest = C A_R, since then A_rest = [C 0] M. So the zero
// columns prove those rows lie in A_R's span; false when they don't.
bool rest_by_inverse(const ZMatrix& a, const std::vector<std::int32_t>& rest, const ZMatrix& w,
                     std::int32_t k, ZMatrix* y) {
  const std::int32_t n = w.rows;
  *y = ZMatrix(k, static_cast<std::int32_t>(rest.size()));
  for (std::size_t i = 0; i < rest.size(); ++i) {
    check_interrupt();
    for (std::int32_t j = 0; j < n; ++j) {
      ZInt sum;
      for (std::int32_t c = 0; c < n; ++c) add_product(sum, w.at(c, j), a.at(rest[i], c));
      if (j < k)
        y->at(j, static_cast<std::int32_t>(i)) = std::move(sum);
      else if (!sum.is_zero())
        return false;
    }
  }
  return true;
}

// |det s|: by images modulo word primes for small sides, where the
// determinant methods' fixed costs dominate.
ZInt block_determinant(const ZMatrix& s) {
  return s.rows <= normal_form_crt_det_side ? crt_abs_determinant(s) : abs_int_determinant(s);
}

// A prime below 2^31 for the rank profile: the k-th downwards.
std::uint32_t profile_prime(std::int32_t k) { return word_prime(static_cast<std::size_t>(k)); }

// The lexicographically first independent rows of a modulo p, and with
// each the column of its pivot in an echelon basis of those rows.
void rank_profile(const ZMatrix& a, std::uint32_t p, std::vector<std::int32_t>* rows,
                  std::vector<std::int32_t>* pivots) {
  const std::int32_t c = a.cols;
  std::vector<std::vector<std::uint64_t>> basis;
  std::vector<std::uint64_t> v(static_cast<std::size_t>(c));
  const WordField field(p);
  for (std::int32_t r = 0; r < a.rows && static_cast<std::int32_t>(basis.size()) < c; ++r) {
    check_interrupt();
    for (std::int32_t j = 0; j < c; ++j) v[static_cast<std::size_t>(j)] = a.at(r, j).mod_word(p);
    for (std::size_t b = 0; b < basis.size(); ++b) {
      const auto pc = static_cast<std::size_t>((*pivots)[b]);
      const std::uint64_t f = v[pc];
      if (f == 0) continue;
      const std::uint64_t g = p - f;
      const std::vector<std::uint64_t>& row = basis[b];
      for (std::size_t j = pc; j < static_cast<std::size_t>(c); ++j)
        v[j] = field.reduce(v[j] + g * row[j]);
    }
    std::size_t pc = 0;
    while (pc < static_cast<std::size_t>(c) && v[pc] == 0) ++pc;
    if (pc == static_cast<std::size_t>(c)) continue;
    const std::uint64_t inv = field.inv(static_cast<std::uint32_t>(v[pc]));
    for (std::size_t j = pc; j < static_cast<std::size_t>(c); ++j) v[j] = field.reduce(v[j] * inv);
    basis.push_back(v);
    rows->push_back(r);
    pivots->push_back(static_cast<std::int32_t>(pc));
  }
}

// Rows of a picked by `rows` and columns by `cols`.
ZMatrix submatrix(const ZMatrix& a, const std::vector<std::int32_t>& rows,
                  const std::vector<std::int32_t>& cols) {
  ZMatrix s(static_cast<std::int32_t>(rows.size()), static_cast<std::int32_t>(cols.size()));
  for (std::int32_t i = 0; i < s.rows; ++i)
    for (std::int32_t j = 0; j < s.cols; ++j)
      s.at(i, j) = a.at(rows[static_cast<std::size_t>(i)], cols[static_cast<std::size_t>(j)]);
  return s;
}

std::vector<std::int32_t> all_of(std::int32_t n) {
  std::vector<std::int32_t> v(static_cast<std::size_t>(n));
  std::iota(v.begin(), v.end(), 0);
  return v;
}

// The permutation matrix taking row order[i] to row i, and its inverse.
void permutation(const std::vector<std::int32_t>& order, ZMatrix* p, ZMatrix* pinv) {
  const auto n = static_cast<std::int32_t>(order.size());
  *p = ZMatrix(n, n);
  *pinv = ZMatrix(n, n);
  for (std::int32_t i = 0; i < n; ++i) {
    p->at(i, order[static_cast<std::size_t>(i)]) = 1;
    pinv->at(order[static_cast<std::size_t>(i)], i) = 1;
  }
}

// One attempt with the rank profile modulo p: false when the profile was
// too small (p divides a minor) or a proof failed.
bool hermite_with_profile(const ZMatrix& a, bool transforms, std::uint32_t p, const ZInt* det,
                          FormResult* out) {
  const std::int32_t rows = a.rows, cols = a.cols;
  std::vector<std::int32_t> rsel, csel;
  ZInt d;
  if (det != nullptr) {
    rsel = all_of(rows);
    csel = all_of(cols);
    d = *det;
  } else {
    rank_profile(a, p, &rsel, &csel);
  }
  const auto k = static_cast<std::int32_t>(rsel.size());
  out->rank = k;
  out->order = rsel;
  {
    std::vector<bool> taken(static_cast<std::size_t>(rows), false);
    for (std::int32_t r : rsel) taken[static_cast<std::size_t>(r)] = true;
    for (std::int32_t r = 0; r < rows; ++r)
      if (!taken[static_cast<std::size_t>(r)]) out->order.push_back(r);
  }
  out->form = ZMatrix(rows, cols);
  if (k == 0) {
    if (transforms) {
      out->right = ZMatrix::identity(cols);
      out->right_inv = ZMatrix::identity(cols);
    }
  } else {
    std::vector<std::int32_t> sorted_c = csel;
    std::sort(sorted_c.begin(), sorted_c.end());
    const ZMatrix core = submatrix(a, rsel, sorted_c);
    if (det == nullptr) d = block_determinant(core);
    if (d.is_zero()) return false;
    // The square completion: A_R, then e_c for the columns not in C.
    ZMatrix m(cols, cols);
    for (std::int32_t i = 0; i < k; ++i)
      for (std::int32_t c = 0; c < cols; ++c)
        m.at(i, c) = a.at(rsel[static_cast<std::size_t>(i)], c);
    std::int32_t next = k;
    for (std::int32_t c = 0, s = 0; c < cols; ++c) {
      if (s < k && sorted_c[static_cast<std::size_t>(s)] == c) {
        ++s;
        continue;
      }
      m.at(next++, c) = 1;
    }
    SquareForm sq;
    if (!hermite_square(m, d, transforms, &sq)) return false;
    for (std::int32_t i = 0; i < k; ++i)
      for (std::int32_t j = 0; j <= i; ++j) out->form.at(i, j) = sq.h.at(i, j);
    if (rows > k) {
      // The other rows: (D C) L / D with D C from a solve on A[R, C]^T.
      std::vector<std::int32_t> rest(out->order.begin() + k, out->order.end());
      // With transforms, from W = D M^-1 when M is short enough; else by a solve, proven below.
      const bool by_inverse = transforms && cols <= normal_form_rest_side;
      ZMatrix y;
      if (by_inverse) {
        if (!rest_by_inverse(a, rest, sq.w, k, &y)) return false;
      } else {
        y = scaled_solve(core.transposed(), submatrix(a, rest, sorted_c).transposed(), d);
      }
      const ZMatrix lead = submatrix(sq.h, all_of(k), all_of(k));
      const std::vector<std::int32_t> nt = nontrivial_rows(lead);
      // Many rows: proven first by A_R^T (D C)^T = D A_rest^T over every column, A_R's short
      // entries by y's digits: C A_R = A_rest, so those rows lie in A_R's span (a wrong rank fails
      // here) and C L = A_rest U is integral (U = M^-1 H_M, unimodular as H_M is proven), which
      // makes the divisions by D exact.
      const bool by_solve = !by_inverse && rows - k >= normal_form_proof_rows;
      if (by_solve) {
        ZMatrix art(cols, k), want(cols, rows - k);
        for (std::int32_t c = 0; c < cols; ++c) {
          for (std::int32_t j = 0; j < k; ++j)
            art.at(c, j) = a.at(rsel[static_cast<std::size_t>(j)], c);
          for (std::int32_t i = 0; i < rows - k; ++i)
            want.at(c, i) = d * a.at(rest[static_cast<std::size_t>(i)], c);
        }
        if (!products_equal(art, y, want)) return false;
      }
      const bool exact = (by_inverse || by_solve) && d.digits() >= normal_form_exact_digits;
      const ExactDivisor by_d(d);
      for (std::int32_t i = 0; i < rows - k; ++i) {
        check_interrupt();
        for (std::int32_t j = 0; j < k; ++j) {
          ZInt sum;
          add_product(sum, y.at(j, i), lead.at(j, j));
          for (std::int32_t t : nt)
            if (t > j) add_product(sum, y.at(t, i), lead.at(t, j));
          if (exact)
            out->form.at(k + i, j) = by_d.quotient(sum);
          else if (!ZInt::divides(sum, d, &out->form.at(k + i, j)))
            return false;
        }
      }
      // Few rows: proven after, each column of A being (L z; C L z) with z the leading part of
      // H_M^-1 M's column; a wrong rank fails here.
      for (std::int32_t c = 0; c < cols && !by_solve && !by_inverse; ++c) {
        check_interrupt();
        for (std::int32_t i = 0; i < rows - k; ++i) {
          ZInt sum;
          for (std::int32_t j = 0; j < k; ++j)
            add_product(sum, out->form.at(k + i, j), sq.uinv.at(j, c));
          if (sum != a.at(rest[static_cast<std::size_t>(i)], c)) return false;
        }
      }
    }
    if (transforms) {
      out->right = std::move(sq.u);
      out->right_inv = std::move(sq.uinv);
    }
  }
  if (!transforms) return true;
  // The identities. H U^-1 = P A holds entry by entry (U^-1 = H_M^-1 M came from exact divisions,
  // the rows below the rank were checked), and U = W H_M / D exactly with W = D M^-1 proven in
  // hermite_square, so U^-1 U = I and P A U = H. P is a permutation when order is one.
  std::vector<bool> seen(static_cast<std::size_t>(rows), false);
  for (std::int32_t r : out->order) {
    if (r < 0 || r >= rows || seen[static_cast<std::size_t>(r)]) return false;
    seen[static_cast<std::size_t>(r)] = true;
  }
  permutation(out->order, &out->left, &out->left_inv);
  return static_cast<std::int32_t>(out->order.size()) == rows;
}

}  // namespace

ZInt matrix_content(const ZMatrix& a) {
  ZInt g = 0;
  for (const ZInt& x : a.cell) {
    g = ZInt::gcd(g, x);
    if (g.is_one()) break;
  }
  return g;
}

ZMatrix divide_content(const ZMatrix& a, const ZInt& g) {
  ZMatrix b(a.rows, a.cols);
  for (std::size_t k = 0; k < a.cell.size(); ++k) ZInt::divides(a.cell[k], g, &b.cell[k]);
  return b;
}

namespace {

// Whether the exact elimination may be passed over for a with transforms:
// a matrix more than half filled whose smaller side exceeds
// normal_form_exact_side, where the transforms swell and the elimination
// is mostly given up after the work the other route needs, when the answer
// is the same by either route: the form is unique given the row order both
// take, and so is U = (P a)^-1 H when a has full column rank, which its
// rank modulo a word prime shows. *rank: that rank when it was found, else
// -1.
bool skip_exact(const ZMatrix& a, bool transforms, std::int32_t* rank) {
  *rank = -1;
  if (!transforms || a.rows < a.cols || std::min(a.rows, a.cols) <= normal_form_exact_side)
    return false;
  std::int64_t filled = 0;
  for (const ZInt& x : a.cell) filled += x.is_zero() ? 0 : 1;
  if (2 * filled <= static_cast<std::int64_t>(a.cell.size())) return false;
  std::vector<std::int32_t> rows, pivots;
  rank_profile(a, profile_prime(0), &rows, &pivots);
  *rank = static_cast<std::int32_t>(rows.size());
  return *rank == a.cols;
}

}  // namespace

bool hermite_bounded(const ZMatrix& a, bool transforms, FormResult* out, bool exact_tried) {
  std::int32_t rank = -1;
  if (!exact_tried && !skip_exact(a, transforms, &rank) && hermite_direct(a, transforms, out))
    return true;
  // A common factor of the entries comes out of the form: H(g A) = g H(A)
  // with the same transforms (and the elimination modulo G would carry
  // g^(n-1) in G).
  if (const ZInt g = matrix_content(a); g.sign() > 0 && !g.is_one()) {
    if (!hermite_bounded(divide_content(a, g), transforms, out)) return false;
    for (ZInt& x : out->form.cell) x *= g;
    return true;
  }
  // A square matrix singular modulo the first profile prime is singular
  // unless that prime divides its determinant: past
  // normal_form_singular_side its determinant is then found only when the
  // profiles fail (a short rank fails their proofs).
  const bool square = a.rows == a.cols && a.rows > 0;
  const bool det_last = square && rank >= 0 && rank < a.cols && a.cols > normal_form_singular_side;
  if (square && !det_last) {
    const ZInt d = block_determinant(a);
    if (!d.is_zero()) return hermite_with_profile(a, transforms, 0, &d, out);
  }
  for (std::int32_t k = 0; k < 4; ++k)
    if (hermite_with_profile(a, transforms, profile_prime(k), nullptr, out)) return true;
  if (det_last) {
    const ZInt d = block_determinant(a);
    if (!d.is_zero()) return hermite_with_profile(a, transforms, 0, &d, out);
  }
  return false;
}

}  // namespace tavrin
