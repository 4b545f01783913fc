// The half-GCD on dense arrays.
//
// parthg(x, y): with m = deg x div 2, split x = x1 t^m + x0 and y likewise;
// the half-GCD R of the upper halves (x1, y1) applied to the whole pair gives
// (x, y) := R (x0, y0) + t^m (x1', y1'), a pair of consecutive remainders of
// degree about 3/4 deg x; one division step and a second half-GCD S on the
// upper parts above t^(m div 2) bring it below deg x / 2, and the matrix is
// S times the division step times R.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <utility>

#include "core/errors.h"
#include "core/globals.h"
#include "dense/dense_arrays.h"
#include "dense/dense_divide.h"
#include "dense/dense_hgcd.h"
#include "dense/dense_impl.h"
#include "dense/dense_mult.h"

namespace tavrin {

using dense_detail::diagnostic;
using dense_detail::WorkArrays;

namespace {

bool is_zero(const std::int32_t* a, std::int32_t d) { return d == 0 && a[0] == 0; }

// A zero result of degree -1 becomes the zero polynomial of degree 0.
void settle(std::int32_t* a, std::int32_t* d) {
  if (*d < 0) {
    *d = 0;
    a[0] = 0;
  }
}

void set_constant(std::int32_t* a, std::int32_t* d, std::int32_t c) {
  a[0] = c;
  *d = 0;
}

// z := a*b, zero without multiplying when either leading coefficient is 0;
// z is neither a nor b. Returns the degree.
std::int32_t product(const std::int32_t* a, std::int32_t da, const std::int32_t* b, std::int32_t db,
                     std::int32_t* z) {
  if (a[da] == 0 || b[db] == 0) {
    z[0] = 0;
    return 0;
  }
  fast_array_onevar_mult(a, b, z, 0, da, 0, db);
  return da + db;
}

// z := a + b (z may be a).
std::int32_t sum(const std::int32_t* a, std::int32_t da, const std::int32_t* b, std::int32_t db,
                 std::int32_t* z) {
  std::int32_t d = 0;
  onevar_add(a, b, z, 0, da, 0, db, &d);
  settle(z, &d);
  return d;
}

// z := a + b t^s (z neither a nor b).
std::int32_t shifted_sum(const std::int32_t* a, std::int32_t da, const std::int32_t* b,
                         std::int32_t db, std::int32_t s, std::int32_t* z) {
  std::int32_t d = 0;
  onevar_add_shift(a, b, z, 0, da, db, s, &d);
  settle(z, &d);
  return d;
}

// a := a - b in place.
void subtract(std::int32_t* a, std::int32_t* da, const std::int32_t* b, std::int32_t db) {
  onevar_sub(a, b, a, 0, *da, db, da);
  settle(a, da);
}

void copy_poly(const std::int32_t* a, std::int32_t da, std::int32_t* z) {
  std::copy(a, a + da + 1, z);
}

// Exchanges the entries 0 .. top of two arrays.
void swap_contents(std::int32_t* a, std::int32_t* b, std::int32_t top) {
  std::swap_ranges(a, a + top + 1, b);
}

// Exchanges two polynomials of degrees *da and *db between their arrays,
// each degree staying with its array.
void swap_polys(std::int32_t* a, std::int32_t* da, std::int32_t* b, std::int32_t* db) {
  swap_contents(a, b, std::max(*da, *db));
  std::swap(*da, *db);
}

// The split refusal of onevar_split_poly for an exponent of 0.
void refuse_split() {
  std::printf("m is 0 in onevar_split\n");
  tavrin_error(" onevar_split_poly.", true);
}

// A 2x2 polynomial matrix whose entries live in arrays it does not own;
// rows can be exchanged by exchanging the pointers.
struct Matrix {
  std::int32_t* e[4];
  std::int32_t d[4];
  void identity() {
    set_constant(e[0], &d[0], 1);
    set_constant(e[1], &d[1], 0);
    set_constant(e[2], &d[2], 0);
    set_constant(e[3], &d[3], 1);
  }
  // [[r1, r2], [r3, r4]] := [[r3, r4], [r1 - q r3, r2 - q r4]]; t is scratch.
  void division_step(const std::int32_t* q, std::int32_t dq, std::int32_t* t) {
    if (!is_zero(q, dq)) {
      for (int c = 0; c < 2; ++c) {
        const std::int32_t dt = product(q, dq, e[2 + c], d[2 + c], t);
        subtract(e[c], &d[c], t, dt);
      }
    }
    std::swap(e[0], e[2]);
    std::swap(e[1], e[3]);
    std::swap(d[0], d[2]);
    std::swap(d[1], d[3]);
  }
};

// x := x mod y, q := x div y by the general elimination; q := 0 and x
// unchanged when deg x < deg y. A vanishing remainder gets degree 0.
void divide_step(std::int32_t* x, std::int32_t* dx, const std::int32_t* y, std::int32_t dy,
                 std::int32_t* q, std::int32_t* dq) {
  bool all_zeros = false;
  onevar_array_div_mod(x, y, q, dx, dy, dq, &all_zeros);
  settle(x, dx);
}

// (x, y) := R (x0, y0) + t^s (u, v), x0 and y0 being held in x and y. The
// four products go into t[0] .. t[3] in that order, so t[2] may be R's first
// entry array and t[3] its second (they are read only for t[0] and t[1]).
void lift(std::int32_t* x, std::int32_t* dx, std::int32_t* y, std::int32_t* dy, const Matrix& r,
          const std::int32_t* u, std::int32_t du, const std::int32_t* v, std::int32_t dv,
          std::int32_t s, std::int32_t* const t[4]) {
  std::int32_t dt[4];
  dt[0] = product(r.e[0], r.d[0], x, *dx, t[0]);
  dt[1] = product(r.e[1], r.d[1], y, *dy, t[1]);
  dt[2] = product(r.e[2], r.d[2], x, *dx, t[2]);
  dt[3] = product(r.e[3], r.d[3], y, *dy, t[3]);
  dt[0] = sum(t[0], dt[0], t[1], dt[1], t[0]);
  *dx = shifted_sum(t[0], dt[0], u, du, s, x);
  dt[2] = sum(t[2], dt[2], t[3], dt[3], t[2]);
  *dy = shifted_sum(t[2], dt[2], v, dv, s, y);
}

// The outputs of a matrix-and-pair routine written back to the caller.
void store(const Matrix& r, std::int32_t* m1deg, std::int32_t* m2deg, std::int32_t* m3deg,
           std::int32_t* m4deg) {
  *m1deg = r.d[0];
  *m2deg = r.d[1];
  *m3deg = r.d[2];
  *m4deg = r.d[3];
}

// Splits a = a1 t^s + a0 and b = b1 t^s + b0 (a0, b0 left in a and b; a1,
// b1 written to u and v) and runs parthg on (a1, b1): they are reduced in
// place, their degrees returned in *du and *dv, and the matrix goes into r.
void upper_hgcd(std::int32_t* a, std::int32_t* da, std::int32_t* b, std::int32_t* db,
                std::int32_t s, std::int32_t* u, std::int32_t* v, bool dob, Matrix& r,
                std::int32_t* du, std::int32_t* dv) {
  onevar_split_poly(a, u, s, da, du);
  onevar_split_poly(b, v, s, db, dv);
  parthg(u, v, dob, r.e[0], r.e[1], r.e[2], r.e[3], du, dv, &r.d[0], &r.d[1], &r.d[2], &r.d[3]);
}

// (x, y) := S (a, b); t0 and t1 are scratch (neither a nor b).
void apply_matrix(const Matrix& s, const std::int32_t* a, std::int32_t da, const std::int32_t* b,
                  std::int32_t db, std::int32_t* x, std::int32_t* dx, std::int32_t* y,
                  std::int32_t* dy, std::int32_t* t0, std::int32_t* t1) {
  std::int32_t dt = product(s.e[1], s.d[1], b, db, t0);
  *dx = product(s.e[0], s.d[0], a, da, x);
  *dx = sum(x, *dx, t0, dt, x);
  dt = product(s.e[3], s.d[3], b, db, t1);
  *dy = product(s.e[2], s.d[2], a, da, y);
  *dy = sum(y, *dy, t1, dt, y);
}

}  // namespace

void euclid_onevar(std::int32_t* x, std::int32_t* y, std::int32_t* m1, std::int32_t* m2,
                   std::int32_t* m3, std::int32_t* m4, std::int32_t* xdeg, std::int32_t* ydeg,
                   std::int32_t* m1deg, std::int32_t* m2deg, std::int32_t* m3deg,
                   std::int32_t* m4deg) {
  Matrix r{{m1, m2, m3, m4}, {0, 0, 0, 0}};
  r.identity();
  store(r, m1deg, m2deg, m3deg, m4deg);
  const std::int32_t h = *xdeg / 2;
  if (*ydeg < h) return;

  WorkArrays w(2);
  std::int32_t* q = w[0];
  std::int32_t* a = x;
  std::int32_t* b = y;
  std::int32_t da = *xdeg, db = *ydeg;
  bool odd = false;
  do {
    if (is_zero(b, db)) break;  // the pair is final: nothing left to divide by
    std::int32_t dq = 0;
    if (modulus < 46340 && da == db + 1) {
      bool all_zeros = false;
      onevar_one_div(a, b, q, &da, db, &dq, &all_zeros);
      settle(a, &da);
    } else if (da >= db) {
      divide_step(a, &da, b, db, q, &dq);
    } else {
      set_constant(q, &dq, 0);
    }
    std::swap(a, b);
    std::swap(da, db);
    odd = !odd;
    r.division_step(q, dq, w[1]);
  } while (db >= h);

  // The caller's x receives the larger polynomial, m1 .. m4 their entries.
  // (After an odd number of exchanges every role sits in its partner's
  // array; the degrees follow the roles.)
  if (odd) {
    swap_contents(x, y, std::max(da, db));
    swap_contents(m1, m3, std::max(r.d[0], r.d[2]));
    swap_contents(m2, m4, std::max(r.d[1], r.d[3]));
  }
  *xdeg = da;
  *ydeg = db;
  store(r, m1deg, m2deg, m3deg, m4deg);
}

void parthg(std::int32_t* x, std::int32_t* y, bool dob, std::int32_t* m1, std::int32_t* m2,
            std::int32_t* m3, std::int32_t* m4, std::int32_t* xdeg, std::int32_t* ydeg,
            std::int32_t* m1deg, std::int32_t* m2deg, std::int32_t* m3deg, std::int32_t* m4deg) {
  if (*ydeg > *xdeg) diagnostic(" in parthg deg yy > deg xx, %li, %li\n", *ydeg, *xdeg);
  const std::int32_t m = *xdeg / 2;
  if (*ydeg <= m) {
    Matrix r{{m1, m2, m3, m4}, {0, 0, 0, 0}};
    r.identity();
    store(r, m1deg, m2deg, m3deg, m4deg);
    return;
  }
  // Below 4 the second split would fall at exponent 0.
  if (*xdeg < std::max(hgcd_euclid_degree, 4)) {
    euclid_onevar(x, y, m1, m2, m3, m4, xdeg, ydeg, m1deg, m2deg, m3deg, m4deg);
    return;
  }

  WorkArrays w(8);
  // R: the half-GCD of the upper halves, reduced in place in w[0], w[1].
  std::int32_t du = 0, dv = 0;
  Matrix r{{m1, m2, m3, m4}, {0, 0, 0, 0}};
  upper_hgcd(x, xdeg, y, ydeg, m, w[0], w[1], true, r, &du, &dv);
  {
    std::int32_t* const t[4] = {w[2], w[3], w[4], w[5]};
    lift(x, xdeg, y, ydeg, r, w[0], du, w[1], dv, m, t);
  }
  if (is_zero(y, *ydeg)) {  // the GCD was reached: (x, 0) is final and R maps to it
    store(r, m1deg, m2deg, m3deg, m4deg);
    return;
  }

  // One division step: the pair becomes (y, r) with r held in x.
  std::int32_t dq = 0;
  if (*ydeg <= *xdeg) {
    divide_step(x, xdeg, y, *ydeg, w[0], &dq);
  } else {
    set_constant(w[0], &dq, 0);
  }
  r.division_step(w[0], dq, w[1]);

  // S: the half-GCD of the parts of (y, r) above t^k.
  const std::int32_t k = m / 2;
  const std::int32_t dyc = *ydeg, drc = *xdeg;
  if (dob) {
    copy_poly(y, dyc, w[2]);
    copy_poly(x, drc, w[3]);
  }
  std::int32_t dy1 = 0, dr1 = 0;
  Matrix s{{w[0], w[1], w[6], w[7]}, {0, 0, 0, 0}};
  upper_hgcd(y, ydeg, x, xdeg, k, w[4], w[5], false, s, &dy1, &dr1);

  // (x, y) := S (y, r) from the full copies
  if (dob) apply_matrix(s, w[2], dyc, w[3], drc, x, xdeg, y, ydeg, w[4], w[5]);

  // M := S times the step matrix r, whose entries sit in m1 .. m4 in
  // exchanged roles; each column is formed aside before it is written back.
  for (int c = 0; c < 2; ++c) {
    std::int32_t da = product(s.e[0], s.d[0], r.e[c], r.d[c], w[2]);
    std::int32_t db = product(s.e[1], s.d[1], r.e[2 + c], r.d[2 + c], w[3]);
    da = sum(w[2], da, w[3], db, w[2]);
    std::int32_t dc = product(s.e[2], s.d[2], r.e[c], r.d[c], w[4]);
    db = product(s.e[3], s.d[3], r.e[2 + c], r.d[2 + c], w[5]);
    dc = sum(w[4], dc, w[5], db, w[4]);
    std::int32_t* const top = c == 0 ? m1 : m2;
    std::int32_t* const bottom = c == 0 ? m3 : m4;
    copy_poly(w[2], da, top);
    copy_poly(w[4], dc, bottom);
    (c == 0 ? *m1deg : *m2deg) = da;
    (c == 0 ? *m3deg : *m4deg) = dc;
  }
}

void fullhg(std::int32_t* x, std::int32_t* y, std::int32_t* xdeg, std::int32_t* ydeg) {
  if (*ydeg > *xdeg) {
    diagnostic(" ********* swap in fullhg deg yy > deg xx, %li, %li\n", *ydeg, *xdeg);
    std::swap(x, y);
    std::swap(xdeg, ydeg);
  }
  const std::int32_t m = *xdeg / 2;
  if (*ydeg <= m) return;
  if (m == 0) {
    diagnostic(" 1m = 0 in fullhg, %li, %li\n", *xdeg, *ydeg);
    refuse_split();
    return;
  }
  diagnostic(" 1m: in fullhg, %li, %li, %li\n", m, *xdeg, *ydeg);

  WorkArrays w(8);
  std::int32_t du = 0, dv = 0;
  Matrix r{{w[2], w[3], w[4], w[5]}, {0, 0, 0, 0}};
  upper_hgcd(x, xdeg, y, ydeg, m, w[0], w[1], true, r, &du, &dv);
  {
    std::int32_t* const t[4] = {w[6], w[7], w[2], w[3]};
    lift(x, xdeg, y, ydeg, r, w[0], du, w[1], dv, m, t);
  }
  if (*xdeg == 0) diagnostic(" xdeg = 0 in fullhg, %li, %li\n", *ydeg, 0);
  if (*ydeg == 0) diagnostic(" ydeg = 0 in fullhg, %li, %li\n", 0, *xdeg);
  if (is_zero(y, *ydeg)) return;  // the GCD was reached: (x, 0) is final

  if (*xdeg >= *ydeg) {
    bool all_zeros = false;
    onevar_array_mod(x, y, xdeg, *ydeg, &all_zeros);
    settle(x, xdeg);
  }
  // The pair is (y, r), r held in x.
  const std::int32_t k = m / 2;
  if (k == 0) {
    diagnostic(" 2m = 0 in fullhg, %li, %li\n", *ydeg, *xdeg);
    refuse_split();
    swap_polys(x, xdeg, y, ydeg);  // leave the pair (y, r) in order
    return;
  }
  const std::int32_t dyc = *ydeg, drc = *xdeg;
  copy_poly(y, dyc, w[0]);
  copy_poly(x, drc, w[1]);
  std::int32_t dy1 = 0, dr1 = 0;
  Matrix s{{w[4], w[5], w[6], w[7]}, {0, 0, 0, 0}};
  upper_hgcd(y, ydeg, x, xdeg, k, w[2], w[3], false, s, &dy1, &dr1);
  // (x, y) := S (y, r) from the full copies
  apply_matrix(s, w[0], dyc, w[1], drc, x, xdeg, y, ydeg, w[2], w[3]);
}

void hgcd(fastest_poly_gcd_EnvRec* e) {
  for (;;) {
    if (e->yexp <= e->xexp) {
      fullhg(xx, yy, &e->xexp, &e->yexp);
    } else {
      fullhg(yy, xx, &e->yexp, &e->xexp);
    }
    if (is_zero(yy, e->yexp)) {
      e->all_zeros = true;
      return;
    }
    if (is_zero(xx, e->xexp)) {
      e->all_zeros = true;
      e->xexp = -1;
      return;
    }
    if (e->xexp == 0 || e->yexp == 0) {
      e->all_zeros = false;
      return;
    }
    // One remainder of the larger by the smaller.
    bool vanished = false;
    if (e->yexp > e->xexp) {
      onevar_array_mod(yy, xx, &e->yexp, e->xexp, &vanished);
      if (vanished) {
        e->all_zeros = true;
        e->yexp = 0;
        yy[0] = 0;
        return;
      }
      if (e->yexp == 0) {
        e->all_zeros = false;
        return;
      }
    } else {
      onevar_array_mod(xx, yy, &e->xexp, e->yexp, &vanished);
      if (vanished) {
        e->all_zeros = true;
        e->xexp = -1;
        return;
      }
      if (e->xexp == 0) {
        e->all_zeros = false;
        return;
      }
    }
    if (e->xexp + e->yexp <= hgcd_recursion_sum) break;
  }
  simple_onevar_gcd(e);
}

}  // namespace tavrin
