// The GCD of one-variable polynomials modulo a word modulus below 65,535 (or
// in GF(2^8) / GF(2^16)) on the shared arrays xx and yy.
//
// Operands are one-variable term lists over word residues (each term's pcoef
// a single leaf whose lint is the residue, the constant term a trailing
// leaf). They are loaded into xx and yy (entry i the coefficient of t^i, the
// degree kept beside the array; dense_arrays.h) and reduced there in place.
// The route is chosen once on entry:
//   a degree >= fast_gcd_size          term lists: emgcd_poly(n, m, p, pt,
//                                      true) (a remainder, the list
//                                      half-GCD, division steps)
//   characteristic 2 (finf)            Euclid with exclusive-or differences
//   degree sum > fast_gcd_hgcd_sum     the half-GCD hgcd (dense_hgcd.h)
//   otherwise                          the Euclid loop simple_onevar_gcd
// The answer is the last non-zero remainder with its own leading coefficient,
// or exactly the constant 1 when the remainders end in a non-zero constant.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "core/ring.h"
#include "core/thresholds.h"
#include "dense/dense_hgcd.h"

namespace tavrin {

// Thresholds read here (core/thresholds.h): fast_gcd_size,
// fast_gcd_hgcd_sum, two_term_modulus, gf256_row_degree, poly_cutoff.

// n: kept; m: kept; *p: overwritten (may be &n or &m) with gcd(n, m).
// n, m: one-variable lists over word residues, each of degree >= 1,
// deg n >= deg m, both degrees <= fast_gcd_size; modulus below 65,535 or a
// field of characteristic 2. The result is made monic only with need_monic
// (floating mode: by 1/c; modular mode: by the inverse of a numeric leading
// coefficient, or by the field inverse (poly_mod_invert) of a leading
// coefficient in the field levels below pt). Errors of the monic step: 22
// (zero leading coefficient), 85 (no inverse), 284 (outside modular and
// floating arithmetic); the result stays as it was.
// xx, yy: overwritten (scratch). reads: modulus, finf, fast_gcd_size,
// fast_gcd_hgcd_sum, poly_cutoff, mode flags, field_depth, token, quotsign
void fastest_poly_gcd(poly n, poly m, poly* p, bool need_monic, polypt pt);
void fastest_poly_gcd(poly n, poly m, poly* p, bool need_monic, polypt pt, const Ring& ring);

// The route each call of fastest_poly_gcd took, counted since start, and
// the degree-difference-1 reductions of the Euclid loop done by the
// two-term step (a test and benchmark hook).
struct dense_gcd_route_counts {
  long term_list;
  long char2;
  long half_gcd;
  long euclid;
  long two_term;
};
extern dense_gcd_route_counts dense_gcd_routes;

}  // namespace tavrin
