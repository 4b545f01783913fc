// GCDs of multivariate polynomials on flat term arrays, the engines the
// driver polygcd (gcd.h) hands large problems to: over the integers by
// images modulo word primes near 2^31 combined by the Chinese remainder
// theorem, and modulo the user's prime (GF(2^8) and GF(2^16) included). The
// images come from Brown's dense method with cofactors or from Zippel's
// sparse interpolation (of images in one variable, or for large operands in
// two), chosen by an estimate of their costs; small fields take their
// evaluation points from an extension field GF(p^d) (logarithm tables), so
// that no problem runs out of points.
//
// The result is the one the driver's normalisation makes unique: over the
// integers the GCD with a positive leading coefficient, times the GCD of
// the arguments' integer contents; modulo a prime the monic GCD. Every
// result is proven: by the degrees of the interpolated cofactors and a
// bound on their coefficients (Brown), or by exact division with early
// abort (Zippel). Over the integers Brown's images carry their cofactors,
// proven modulo each prime, and the combined GCD H and cofactor Abar prove
// H Abar = gamma A once the primes' product passes twice the bound of both
// sides; sparse images are proven by exact division over the integers.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// Which engine computes the images (a test hook; automatic: the estimate).
enum class flat_gcd_method : std::int32_t { automatic, dense, sparse };
extern flat_gcd_method flat_gcd_choice;

// Whether the integer route proves Brown's results by their combined
// cofactors (true, the default) rather than by exact division (a test hook:
// the division is the oracle).
extern bool flat_cofactor_proof;

// Whether the proof by cofactors, once the combined H, Abar and Bbar are
// well inside the primes' range, checks H Abar = gamma A and H Bbar =
// gamma B modulo transform primes for the rest of its bound (true, the
// default) rather than taking further images (a test hook: the oracle).
extern bool flat_product_check;

// *r := the GCD of u and v (polynomials at pt's level, in two variables or
// more, at least flat_gcd_terms terms together) when the flat engines
// apply: the ring is the integers or a word prime field (GF(2^8), GF(2^16)
// included; not floating or plain word arithmetic), no relation is in
// force, no exponent is negative and the degrees fit the packed exponents.
// Returns false, having changed nothing, when they do not apply or give up;
// the driver then goes on by its own stages.
// u, v: kept; *r: replaced on success (must not be u's or v's cell).
// reads: mode flags, modulus, finf, pseudo_polynames, field_depth,
// number_polys, flat_gcd_terms, flat_gcd_choice, flat_dense_ratio,
// zippel_plane_terms
bool flat_gcd(poly u, poly v, poly* r, polypt pt);

// The cofactors of the last GCD the flat engines found, without a
// division: when n and m are that problem's arguments and com its GCD
// (term for term, in the ring they were found in; the arguments may stand
// as many pad levels higher as the driver descended), *qn := n / com and
// *qm := m / com (new polynomials) and true; otherwise false, nothing
// written. The record is used once.
// n, m, com: kept; *qn, *qm: replaced. reads: mode flags, modulus, polynames
bool flat_gcd_cofactors(poly n, poly m, poly com, poly* qn, poly* qm);

// Whether Brown's images with cofactors stop the points of the inner
// variables once a total degree lattice proves them (true, the default)
// rather than at the degrees in each variable (a test hook: the oracle).
extern bool flat_lattice_proof;

// Whether Brown's images with cofactors, once H, Abar and Bbar stop
// changing, take the rest of the lattice's points as checks of gamma A =
// H Abar and gamma B = H Bbar on a smaller lattice (true, the default)
// rather than as images (a test hook: the oracle).
extern bool flat_lattice_check;

// What the flat engines did, counted since start (a test and benchmark hook).
struct flat_gcd_counts {
  long calls;            // problems taken
  long dense;            // solved by Brown's method
  long sparse;           // solved by Zippel's method
  long plane;            // Zippel's interpolations with images in two variables
  long extension;        // modulo a small prime, in an extension field
  long primes;           // images modulo word primes over the integers
  long division_primes;  // exact divisions modulo word primes proving a result
  long cofactor_proofs;  // integer results proven by their combined cofactors
  long product_primes;   // transform primes checking the combined cofactors' products
  long cofactor_points;  // Brown's points whose cofactors came by exact division by H's value
  long lattice_points;   // Brown's points that only checked the interpolants on a smaller lattice
  long unlucky;          // images or points passed over for too high a degree
  long declined;         // problems given back to the driver
};
extern flat_gcd_counts flat_gcd_stats;

}  // namespace tavrin
