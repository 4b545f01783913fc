// Long division on dense arrays, by the elimination loop of dense_impl.h,
// and on residue vectors of any length (dense_modular.h).
#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/poly_nodes.h"
#include "numbers/word_field.h"
#include "numbers/word_mod.h"
#include "dense/dense_arrays.h"
#include "dense/dense_divide.h"
#include "dense/dense_impl.h"
#include "dense/dense_modular.h"
#include "dense/dense_upcalls.h"

namespace tavrin {

using dense_detail::eliminate;
using dense_detail::FieldForm;

namespace {

constexpr std::int32_t largest_array_dividend = 15000;

// x - c*y as (y*(p - c) + x) mod p in unsigned 32 bits; p <= 65536.
class Unsigned32Form {
 public:
  explicit Unsigned32Form(std::int32_t p)
      : red_(static_cast<std::uint32_t>(p)), p_(static_cast<std::uint32_t>(p)) {}
  std::int32_t quotient(std::int32_t lead, std::int32_t inv) const {
    return static_cast<std::int32_t>(
        red_.reduce(static_cast<std::uint32_t>(lead) * static_cast<std::uint32_t>(inv)));
  }
  void set(std::int32_t c) { cp_ = p_ - static_cast<std::uint32_t>(c); }
  std::int32_t update(std::int32_t x, std::int32_t y) const {
    return static_cast<std::int32_t>(
        red_.reduce(static_cast<std::uint32_t>(y) * cp_ + static_cast<std::uint32_t>(x)));
  }

 private:
  SmallReducer red_;
  std::uint32_t p_;
  std::uint32_t cp_ = 0;
};

// x - modmult(c, y), plus p when negative, for any word modulus below
// 2^31: with c fixed for a pass, its Shoup quotient is taken once, so each
// update is one Shoup product (word_field.h) and one subtraction.
class WordForm {
 public:
  explicit WordForm(std::int32_t p)
      : field_(static_cast<std::uint32_t>(p)), p_(static_cast<std::uint32_t>(p)) {}
  std::int32_t quotient(std::int32_t lead, std::int32_t inv) const {
    return static_cast<std::int32_t>(
        field_.mul(static_cast<std::uint32_t>(lead), static_cast<std::uint32_t>(inv)));
  }
  void set(std::int32_t c) {
    c_ = static_cast<std::uint32_t>(c);
    scaled_ = shoup_quotient(c_, p_);
  }
  std::int32_t update(std::int32_t x, std::int32_t y) const {
    const std::uint32_t r = shoup_mul(static_cast<std::uint32_t>(y), c_, scaled_, p_);
    const std::uint32_t d = static_cast<std::uint32_t>(x) - r;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(x) < r ? d + p_ : d);
  }

 private:
  WordField field_;
  std::uint32_t p_;
  std::uint32_t c_ = 0;
  std::uint32_t scaled_ = 0;
};

// x mod y for *xdeg = ydeg + 1 >= 2 and a word modulus below 2^31, in one
// pass: the quotient q1 t + q0, then x[i] := x[i] - q1 y[i-1] - q0 y[i],
// formed as x[i] + (p - q1) y[i-1] + (p - q0) y[i] (below 2^64) and reduced
// once (WordField).
void word_two_term_step(std::int32_t* x, const std::int32_t* y, std::int32_t* xdeg,
                        std::int32_t ydeg, std::int32_t inv, bool* all_zeros, const Ring& ring) {
  const WordField field(static_cast<std::uint32_t>(ring.modulus));
  auto mul = [&](std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(
        field.mul(static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(b)));
  };
  const std::int32_t q1 = mul(x[*xdeg], inv);
  std::int32_t t = x[ydeg] - mul(y[ydeg - 1], q1);
  if (t < 0) t += ring.modulus;
  const std::int32_t q0 = mul(t, inv);
  const auto p = static_cast<std::uint64_t>(ring.modulus);
  const std::uint64_t n1 = p - static_cast<std::uint64_t>(q1);
  const std::uint64_t n0 = p - static_cast<std::uint64_t>(q0);
  auto reduce = [&field](std::uint64_t v) { return static_cast<std::int32_t>(field.reduce(v)); };
  for (std::int32_t i = ydeg - 1; i >= 1; --i)
    x[i] = reduce(static_cast<std::uint64_t>(x[i]) + n1 * static_cast<std::uint64_t>(y[i - 1]) +
                  n0 * static_cast<std::uint64_t>(y[i]));
  x[0] = reduce(static_cast<std::uint64_t>(x[0]) + n0 * static_cast<std::uint64_t>(y[0]));
  std::int32_t top = ydeg - 1;
  while (top >= 0 && x[top] == 0) --top;
  *xdeg = top;
  *all_zeros = top < 0;
}

// The elimination in the unsigned 32-bit form, with or without quotient;
// the general path of the in-array routines.
void array_division(std::int32_t* x, const std::int32_t* y, std::int32_t* q, std::int32_t* xdeg,
                    std::int32_t ydeg, std::int32_t* qdeg, bool* all_zeros, const Ring& ring) {
  std::int32_t inv = 0;
  mod_inverse(y[ydeg], &inv);
  const std::int32_t d = *xdeg - ydeg;
  if (d < 0) {
    if (q != nullptr) {
      *qdeg = 0;
      q[0] = 0;
    }
    *all_zeros = *xdeg == 0 && x[0] == 0;
    return;
  }
  if (q != nullptr) {
    *qdeg = d;
    std::fill(q, q + d + 1, 0);
  }
  *xdeg = eliminate(x, y, q, *xdeg, ydeg, inv, Unsigned32Form(ring.modulus), all_zeros);
}

// x mod y for *xdeg = ydeg + 1 >= 2 in one pass; *q0, *q1 the quotient.
void two_term_step(std::int32_t* x, const std::int32_t* y, std::int32_t* xdeg, std::int32_t ydeg,
                   bool* all_zeros, std::int32_t* q0, std::int32_t* q1, const Ring& ring) {
  const std::int32_t p = ring.modulus;
  const SmallReducer red(static_cast<std::uint32_t>(p));
  auto mul = [&](std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(
        red.reduce(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b)));
  };
  std::int32_t inv = 0;
  mod_inverse(y[ydeg], &inv);
  *q1 = mul(x[*xdeg], inv);
  std::int32_t t = x[ydeg] - mul(y[ydeg - 1], *q1);
  if (t < 0) t += p;
  *q0 = mul(t, inv);
  // Multipliers in the symmetric range keep every value of the pass,
  // x[i] - s1*y[i-1] - s0*y[i] + p^2, within [0, 2^32) for p below 46,340,
  // so it is formed exactly in wrapping unsigned arithmetic.
  const std::int32_t half = p / 2;
  const auto s1 = static_cast<std::uint32_t>(*q1 <= half ? *q1 : *q1 - p);
  const auto s0 = static_cast<std::uint32_t>(*q0 <= half ? *q0 : *q0 - p);
  const std::uint32_t bias = static_cast<std::uint32_t>(p) * static_cast<std::uint32_t>(p);
  x[*xdeg] = 0;
  x[ydeg] = 0;
  for (std::int32_t i = ydeg - 1; i >= 1; --i) {
    const std::uint32_t v = static_cast<std::uint32_t>(x[i]) + bias -
                            s1 * static_cast<std::uint32_t>(y[i - 1]) -
                            s0 * static_cast<std::uint32_t>(y[i]);
    x[i] = static_cast<std::int32_t>(red.reduce(v));
  }
  x[0] = static_cast<std::int32_t>(
      red.reduce(static_cast<std::uint32_t>(x[0]) + bias - s0 * static_cast<std::uint32_t>(y[0])));
  std::int32_t top = ydeg - 1;
  while (top >= 1 && x[top] == 0) --top;
  if (top == 0 && x[0] == 0) top = -1;
  *xdeg = top;
  *all_zeros = top < 0;
}

std::int32_t degree_of(poly p) { return p->numb ? 0 : p->exp; }
std::int32_t leading_residue(poly p) { return p->numb ? p->ncoef->lint : p->pcoef->ncoef->lint; }

void scale_array(std::int32_t* x, std::int32_t deg, std::int32_t c) {
  for (std::int32_t i = 0; i <= deg; ++i)
    x[i] = modmult(static_cast<std::uint32_t>(x[i]), static_cast<std::uint32_t>(c));
}

// fastest_poly_div for dividends above the array loop's range: the
// divide-and-conquer division, which needs a monic divisor, divides by m/c,
// and its quotient is divided by c.
bool divide_by_halves(poly n, poly m, poly* q) {
  const std::int32_t c = leading_residue(m);
  std::int32_t cinv = 1;
  poly monic = m;
  if (c != 1) {
    mod_inverse(c, &cinv);
    std::int32_t dm = 0;
    fill_poly1_array(m, yy, &dm);
    scale_array(yy, dm, cinv);
    monic = nullptr;
    array_to_poly(yy, dm, &monic);
  }
  poly r = nullptr;
  poly qt = nullptr;
  fast_mod_and_div(n, monic, &r, &qt, nilpol, true);
  if (monic != m) free_poly(&monic);
  const bool exact = r != nullptr && qt != nullptr && poly_iszero(r);
  free_poly(&r);
  free_poly(q);
  if (!exact) {
    free_poly(&qt);
    return false;
  }
  if (c != 1) {
    std::int32_t dq = 0;
    fill_poly1_array(qt, xx, &dq);
    scale_array(xx, dq, cinv);
    array_to_poly(xx, dq, &qt);
  }
  *q = qt;
  return true;
}

// x[0 .. deg] as a fresh list (the zero constant for deg -1).
poly vector_poly(const DensePoly& x) {
  poly p = nullptr;
  if (x.empty()) {
    poly_set(0, &p);
  } else {
    array_to_poly(x.data(), dense_degree(x), &p);
  }
  return p;
}

DensePoly residues_of(poly p) {
  DensePoly x(static_cast<std::size_t>(degree_of(p)) + 1);
  std::int32_t d = 0;
  fill_poly1_array(p, x.data(), &d);
  dense_trim(x);
  return x;
}

}  // namespace

void residue_divrem(poly n, poly m, poly* q, poly* r) {
  residue_divrem(n, m, q, r, Ring::current());
}

void residue_divrem(poly n, poly m, poly* q, poly* r, const Ring& ring) {
  const DensePoly a = residues_of(n), b = residues_of(m);
  DensePoly qv, rv;
  dense_divrem(a, b, ring.modulus, q != nullptr ? &qv : nullptr, r != nullptr ? &rv : nullptr);
  // Both lists are formed before either cell is written, so a cell may hold n or m.
  poly qp = q != nullptr ? vector_poly(qv) : nullptr;
  poly rp = r != nullptr ? vector_poly(rv) : nullptr;
  if (q != nullptr) {
    free_poly(q);
    *q = qp;
  }
  if (r != nullptr) {
    free_poly(r);
    *r = rp;
  }
}

namespace {

// fastest_poly_div on residue vectors.
bool divide_on_vectors(poly n, poly m, poly* q, const Ring& ring) {
  free_poly(q);
  if (degree_of(n) < degree_of(m)) return false;
  const DensePoly a = residues_of(n), b = residues_of(m);
  DensePoly qv, rv;
  dense_divrem(a, b, ring.modulus, &qv, &rv);
  if (!rv.empty()) return false;
  *q = vector_poly(qv);
  return true;
}

}  // namespace

bool fastest_poly_div(poly n, poly m, poly* q) {
  return fastest_poly_div(n, m, q, Ring::current());
}

bool fastest_poly_div(poly n, poly m, poly* q, const Ring& ring) {
  const std::int32_t dn = degree_of(n), dm = degree_of(m);
  if (!ring.char2 && (dn > largest_array_dividend || newton_division_pays(dn, dm)))
    return divide_on_vectors(n, m, q, ring);
  if (dn > largest_array_dividend) return divide_by_halves(n, m, q);
  std::int32_t filled = 0;
  fill_poly1_array(n, xx, &filled);
  fill_poly1_array(m, yy, &filled);
  std::int32_t inv = 0;
  mod_inverse(yy[dm], &inv);
  const std::int32_t d = dn - dm;
  bool all_zeros = false;
  if (d >= 0) {
    std::fill(zz, zz + d + 1, 0);
    if (ring.char2) {
      eliminate(xx, yy, zz, dn, dm, inv, FieldForm(), &all_zeros);
    } else if (ring.small_modulus()) {
      eliminate(xx, yy, zz, dn, dm, inv, Unsigned32Form(ring.modulus), &all_zeros);
    } else {
      eliminate(xx, yy, zz, dn, dm, inv, WordForm(ring.modulus), &all_zeros);
    }
  }
  free_poly(q);
  if (d < 0 || !all_zeros) return false;
  if (d == 0 && zz[0] == 0) {
    poly_set(0, q);  // a zero dividend: the quotient 0, not a malformed constant
  } else {
    array_to_poly(zz, d, q);
  }
  return true;
}

void simplest_div_no_q(poly n, poly m, poly* r) { simplest_div_no_q(n, m, r, Ring::current()); }

void simplest_div_no_q(poly n, poly m, poly* r, const Ring& ring) {
  std::int32_t dn = 0, dm = 0;
  fill_poly1_array(n, xx, &dn);
  fill_poly1_array(m, yy, &dm);
  std::int32_t inv = 0;
  mod_inverse(yy[dm], &inv);
  if (dn < dm) {
    if (dn == 0) {
      poly_set(xx[0], r);
    } else {
      array_to_poly(xx, dn, r);
    }
    return;
  }
  bool all_zeros = false;
  const std::int32_t deg =
      ring.char2 ? eliminate(xx, yy, nullptr, dn, dm, inv, FieldForm(), &all_zeros)
                 : eliminate(xx, yy, nullptr, dn, dm, inv, WordForm(ring.modulus), &all_zeros);
  if (all_zeros) {
    poly_set(0, r);
  } else {
    array_to_poly(xx, deg, r);
  }
}

void onevar_one(std::int32_t* x, const std::int32_t* y, std::int32_t* xdeg, std::int32_t ydeg,
                bool* all_zeros) {
  onevar_one(x, y, xdeg, ydeg, all_zeros, Ring::current());
}

void onevar_one(std::int32_t* x, const std::int32_t* y, std::int32_t* xdeg, std::int32_t ydeg,
                bool* all_zeros, const Ring& ring) {
  if (ydeg == 0) {
    array_division(x, y, nullptr, xdeg, ydeg, nullptr, all_zeros, ring);
    return;
  }
  std::int32_t q0 = 0, q1 = 0;
  two_term_step(x, y, xdeg, ydeg, all_zeros, &q0, &q1, ring);
}

void onevar_one_div(std::int32_t* x, const std::int32_t* y, std::int32_t* q, std::int32_t* xdeg,
                    std::int32_t ydeg, std::int32_t* qdeg, bool* all_zeros) {
  onevar_one_div(x, y, q, xdeg, ydeg, qdeg, all_zeros, Ring::current());
}

void onevar_one_div(std::int32_t* x, const std::int32_t* y, std::int32_t* q, std::int32_t* xdeg,
                    std::int32_t ydeg, std::int32_t* qdeg, bool* all_zeros, const Ring& ring) {
  if (ydeg == 0) {
    array_division(x, y, q, xdeg, ydeg, qdeg, all_zeros, ring);
    return;
  }
  two_term_step(x, y, xdeg, ydeg, all_zeros, &q[0], &q[1], ring);
  *qdeg = 1;
}

void onevar_array_div_mod(std::int32_t* x, const std::int32_t* y, std::int32_t* q,
                          std::int32_t* xdeg, std::int32_t ydeg, std::int32_t* qdeg,
                          bool* all_zeros) {
  onevar_array_div_mod(x, y, q, xdeg, ydeg, qdeg, all_zeros, Ring::current());
}

void onevar_array_div_mod(std::int32_t* x, const std::int32_t* y, std::int32_t* q,
                          std::int32_t* xdeg, std::int32_t ydeg, std::int32_t* qdeg,
                          bool* all_zeros, const Ring& ring) {
  array_division(x, y, q, xdeg, ydeg, qdeg, all_zeros, ring);
}

void onevar_array_mod(std::int32_t* x, const std::int32_t* y, std::int32_t* xdeg, std::int32_t ydeg,
                      bool* all_zeros) {
  onevar_array_mod(x, y, xdeg, ydeg, all_zeros, Ring::current());
}

void onevar_array_mod(std::int32_t* x, const std::int32_t* y, std::int32_t* xdeg, std::int32_t ydeg,
                      bool* all_zeros, const Ring& ring) {
  if (ydeg == 0) {
    if (y[0] != 0) {
      *xdeg = 0;
      x[0] = 0;
      *all_zeros = true;
      return;
    }
    tavrin_error(" y is 0 in onevar_array_mod.", true);
  }
  array_division(x, y, nullptr, xdeg, ydeg, nullptr, all_zeros, ring);
}

void word_array_mod(std::int32_t* x, const std::int32_t* y, std::int32_t* xdeg, std::int32_t ydeg,
                    bool* all_zeros) {
  word_array_mod(x, y, xdeg, ydeg, all_zeros, Ring::current());
}

void word_array_mod(std::int32_t* x, const std::int32_t* y, std::int32_t* xdeg, std::int32_t ydeg,
                    bool* all_zeros, const Ring& ring) {
  *all_zeros = false;
  if (*xdeg < ydeg) return;
  std::int32_t inv = 0;
  mod_inverse(y[ydeg], &inv);
  if (ring.char2) {
    *xdeg = eliminate(x, y, nullptr, *xdeg, ydeg, inv, FieldForm(), all_zeros);
  } else if (ring.modulus <= 65536) {
    *xdeg = eliminate(x, y, nullptr, *xdeg, ydeg, inv, Unsigned32Form(ring.modulus), all_zeros);
  } else if (*xdeg == ydeg + 1 && ydeg >= 1) {
    word_two_term_step(x, y, xdeg, ydeg, inv, all_zeros, ring);
  } else {
    *xdeg = eliminate(x, y, nullptr, *xdeg, ydeg, inv, WordForm(ring.modulus), all_zeros);
  }
}

void onevar_split_poly(std::int32_t* x, std::int32_t* z, std::int32_t m, std::int32_t* xb,
                       std::int32_t* zb) {
  if (m == 0) {
    std::printf("m is 0 in onevar_split\n");
    tavrin_error(" onevar_split_poly.", true);
  }
  if (*xb < m) {
    *zb = 0;
    z[0] = 0;
    return;
  }
  std::copy(x + m, x + *xb + 1, z);
  *zb = *xb - m;
  *xb = m - 1;
  while (*xb > 0 && x[*xb] == 0) --*xb;
}

}  // namespace tavrin
