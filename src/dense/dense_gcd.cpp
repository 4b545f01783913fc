// The array GCD: route choice, the Euclid loops on xx / yy, the term-list
// route, and the monic step.
#include "dense/dense_gcd.h"

#include <cstdint>
#include <utility>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/poly_nodes.h"
#include "numbers/word_mod.h"
#include "dense/dense_arrays.h"
#include "dense/dense_divide.h"
#include "dense/dense_hgcd.h"
#include "dense/dense_impl.h"
#include "dense/dense_upcalls.h"

namespace tavrin {

dense_gcd_route_counts dense_gcd_routes = {};

using dense_detail::eliminate;
using dense_detail::FieldForm;
using nodes::OwnedPoly;

namespace {

std::int32_t degree_of(poly p) { return p->numb ? 0 : p->exp; }

// *p := the constant 1.
void set_one(poly* p) { poly_set(1, p); }

// *p := the array's polynomial of degree d; a constant (d = 0) is a unit
// and gives exactly 1.
void build_result(const std::int32_t* a, std::int32_t d, poly* p) {
  if (d <= 0) {
    set_one(p);
  } else {
    array_to_poly(a, d, p);
  }
}

// The answer that hgcd and simple_onevar_gcd leave in the frame.
void frame_result(const fastest_poly_gcd_EnvRec& e, poly* p) {
  if (!e.all_zeros) {
    set_one(p);
  } else if (e.xexp == -1) {
    build_result(yy, e.yexp, p);
  } else {
    build_result(xx, e.xexp, p);
  }
}

// ---- Characteristic 2 ------------------------------------------------------------

// GF(2^8) passes over long divisors: the products c*y for every element y
// tabulated once per quotient coefficient, so each update is one lookup.
class Gf256RowForm {
 public:
  std::int32_t quotient(std::int32_t lead, std::int32_t inv) const {
    return modmult(static_cast<std::uint32_t>(lead), static_cast<std::uint32_t>(inv));
  }
  void set(std::int32_t c) {
    for (std::uint32_t v = 0; v < 256; ++v) row_[v] = modmult(static_cast<std::uint32_t>(c), v);
  }
  std::int32_t update(std::int32_t x, std::int32_t y) const {
    return x ^ row_[static_cast<std::uint8_t>(y)];
  }

 private:
  std::int32_t row_[256] = {};
};

// x := x mod y in place (nothing when deg x < deg y); returns the new
// degree, -1 when x became zero. dy >= 1.
std::int32_t char2_reduce(std::int32_t* x, std::int32_t dx, const std::int32_t* y, std::int32_t dy,
                          const Ring& ring) {
  if (dx < dy) return dx;
  std::int32_t inv = 0;
  mod_inverse(y[dy], &inv);
  bool all_zeros = false;
  if (ring.modulus == 256 && dy >= gf256_row_degree)
    return eliminate(x, y, nullptr, dx, dy, inv, Gf256RowForm(), &all_zeros);
  return eliminate(x, y, nullptr, dx, dy, inv, FieldForm(), &all_zeros);
}

// The remainders xx mod yy and yy mod xx taken alternately until one is
// zero (the GCD is the other) or the next divisor is a constant (GCD 1).
void char2_gcd(std::int32_t dx, std::int32_t dy, poly* p, const Ring& ring) {
  for (;;) {
    if (dy == 0) return set_one(p);
    dx = char2_reduce(xx, dx, yy, dy, ring);
    if (dx < 0) return build_result(yy, dy, p);
    if (dx == 0) return set_one(p);
    dy = char2_reduce(yy, dy, xx, dx, ring);
    if (dy < 0) return build_result(xx, dx, p);
  }
}

// ---- The monic step --------------------------------------------------------------

// *p (not a constant) divided by its leading coefficient.
void make_monic(poly* p, polypt pt, const Ring& ring) {
  if (ring.flote) {
    long double c = leading_coef(*p)->ncoef->flote;
    if (c == 0) {
      error(division_by_zero_error, &quotsign);
      c = 1;
    }
    if (c != 1) fl_num_poly_mult(*p, 1 / c);
    return;
  }
  if (!ring.modular) {
    error(monic_outside_field_error, &token);
    return;
  }
  polypt ptt = pt;
  const poly lc = ring.field_depth <= 0 ? leading_coef(*p) : field_leading_coef(*p, pt, &ptt);
  if (lc->numb) {
    const std::int32_t c = lc->ncoef->lint;
    if (c == 0) {
      error(division_by_zero_error, &quotsign);
      return;
    }
    if (c == 1) return;
    std::int32_t s = 0;
    if (ring.char2) {
      mod_inverse(c, &s);  // the field inverse; integer Euclid on 256 would be wrong
    } else {
      std::int32_t g = ring.modulus, x = 0;
      egcd_ints(&g, c, &x, &s);
      if (g != 1) {
        error(no_inverse_error, &quotsign);
        return;
      }
      if (s < 0) s += ring.modulus;
    }
    sub_mod_num_poly_mult(*p, s);
    return;
  }
  quoly q = nullptr;
  poly_mod_invert(lc, &q, ptt);
  if (q == nullptr) return;
  poly inv = std::exchange(q->numer, nullptr);
  free_quoly(&q);
  if (inv == nullptr) return;
  if (pt != nullptr && ptt != nullptr && ptt->depth > pt->depth)
    add_pad(&inv, ptt->depth - pt->depth);
  OwnedPoly held;
  held.p = inv;
  poly_mult(*p, held.p, p, pt, ring);
}

}  // namespace

void simple_onevar_gcd(fastest_poly_gcd_EnvRec* e) { simple_onevar_gcd(e, Ring::current()); }

void simple_onevar_gcd(fastest_poly_gcd_EnvRec* e, const Ring& ring) {
  std::int32_t* x = xx;
  std::int32_t* y = yy;
  std::int32_t dx = e->xexp, dy = e->yexp;
  bool swapped = false;
  bool x_zero = false;
  for (;;) {
    if (ring.modulus < two_term_modulus && dx == dy + 1) {
      onevar_one(x, y, &dx, dy, &x_zero, ring);
      ++dense_gcd_routes.two_term;
    } else if (dx >= dy) {
      onevar_array_mod(x, y, &dx, dy, &x_zero, ring);
    }
    if (x_zero || dx == 0) break;
    std::swap(x, y);
    std::swap(dx, dy);
    swapped = !swapped;
  }
  e->all_zeros = x_zero;  // otherwise x is a non-zero constant: the GCD is 1
  if (swapped) {
    e->xexp = dy;
    e->yexp = x_zero ? 0 : dx;
  } else {
    e->xexp = x_zero ? -1 : dx;
    e->yexp = dy;
  }
}

void fastest_poly_gcd(poly n, poly m, poly* p, bool need_monic, polypt pt) {
  fastest_poly_gcd(n, m, p, need_monic, pt, Ring::current());
}

void fastest_poly_gcd(poly n, poly m, poly* p, bool need_monic, polypt pt, const Ring& ring) {
  const std::int32_t dn = degree_of(n), dm = degree_of(m);
  if (dn >= fast_gcd_size || dm >= fast_gcd_size) {
    ++dense_gcd_routes.term_list;
    emgcd_poly(n, m, p, pt, true);  // a remainder, the list half-GCD, and on
  } else {
    fastest_poly_gcd_EnvRec e{};
    fill_poly1_array(n, xx, &e.xexp);
    fill_poly1_array(m, yy, &e.yexp);
    if (ring.char2) {
      ++dense_gcd_routes.char2;
      char2_gcd(e.xexp, e.yexp, p, ring);
    } else if (dn + dm > fast_gcd_hgcd_sum) {
      ++dense_gcd_routes.half_gcd;
      hgcd(&e);
      frame_result(e, p);
    } else {
      ++dense_gcd_routes.euclid;
      simple_onevar_gcd(&e, ring);
      frame_result(e, p);
    }
  }
  if (need_monic && *p != nullptr && !(*p)->numb) make_monic(p, pt, ring);
}

}  // namespace tavrin
