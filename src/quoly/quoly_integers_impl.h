// Sums and quotients of rational functions in one variable over the
// rationals on contiguous integer coefficients (poly/intpoly.h). Private to
// quoly/.
//
// The routine reads the four parts of its operands once, takes the GCDs
// (intpoly_gcd: the answer polygcd gives), exact quotients, products and
// sums of fast_gen_quoly_add in the same order and with the same rules, and
// builds the parts of the result once; so the value and the kind it ends as
// (a number, a polynomial or a fraction) are those of the term-list route.
//
// It returns false, having changed nothing, when the route does not apply:
// the ring is not the rationals (word, modular or floating arithmetic),
// Laurent mode is on, relations or field levels are in force, a part is not
// a one-variable list over big integers, or the operands' degrees sum to
// less than integer_value_degree.
#pragma once

#include "core/records.h"

namespace tavrin::detail {

// fast_gen_quoly_add(&n, &m, add) for two fractions: n := n + m (add) or
// n - m. n: changed in place (it may become a number value); m: kept.
bool integer_fraction_sum(quoly n, quoly m, bool add);

// n / m for two polynomials (no denominators) when m divides n over the
// integers: r := the polynomial quotient (a number when constant), which is
// the value the GCD and its cancellation come to (the GCD is m up to its
// sign); r may be n. False, nothing changed, when m does not divide n over
// the integers (a prime image shows it, or the exact division fails), or
// under the conditions above, or while the trial divisions are traced.
bool integer_polynomial_quotient(quoly n, quoly m, quoly r);

// How often the route was taken, counted since start (a test and benchmark
// hook).
struct integer_value_counts {
  long sums;
  long quotients;
};
extern integer_value_counts integer_values;

}  // namespace tavrin::detail
