// Binomial coefficients and integer square roots in the number modes other
// than exact big integers (which use rat_binom and int_sqrt directly): the
// floating and single-word binomials of the "*1" alias, the integer
// look-ups of the floating evaluator, and the "*89" square root.
//
// Every binomial rests on the start-up table `binom` (rows n = 3, 6, ...,
// 150): a row that is a multiple of 3 is looked up; another row takes the
// entry of the row below and one or two steps B(a + 1, b + 1) =
// B(a, b)(a + 1)/(b + 1).
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// *m := binomial(n, r) as a floating number (r > n/2 is taken as n - r;
// r < 1 gives 1, B(2, 1) = 2). n above 152 is error 377, nothing set.
// Defined with the floating evaluator.
void flote_binom(std::int32_t n, std::int32_t r, quolyptr m);
// *m := binomial(n, r) exactly in the word field. n above 30 is error 239,
// nothing set.
void lint_binom(std::int32_t n, std::int32_t r, quolyptr m);
// binomial(n, r) for n a multiple of 3 (3..150), r > n/2 taken as n - r:
// the most significant limb of the table entry, the whole value below 2^28.
std::int32_t ifrom_table(std::int32_t n, std::int32_t r);
// *m := n for r = 1, else n(n - 1) div 2, computed in integers.
void itrivial(std::int32_t n, std::int32_t r, long double* m);
// n := its integer square root in the current mode: the long double's root
// (floating), the word's root truncated (single word), int_sqrt of the big
// integer into n2 otherwise (n2 may be n). A negative n is error 37 with
// the square-root token, n unchanged.
void square_root(imptr n, imptr n2);

}  // namespace tavrin
