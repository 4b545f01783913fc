// Square-free decomposition, p-th roots of field elements and the root
// tables they use.
//
// A decomposition is a list of polynodes used as pairs, chained through
// next: `exp` the multiplicity, `pcoef` a square-free factor at the level of
// the decomposed polynomial (`numb` false). Records are pushed on the front
// as they are found; the factors of the content follow those of the
// primitive part, each wrapped in one pad per level it lies below. The caller
// owns and frees the list (free_poly frees it whole).
//
// Root tables: a field level qt (field flag, relation of degree expon)
// keeps in `roots` the records (e, r_e) for e = expon - 1 down to 1 and a
// last record (0, 1), r_e the p-th root of t^e in the field of qt and every
// level below; `modls` is the modulus the table was built for. A table is
// stale when roots is nil or modls differs from modulus. In the fields of
// 256 and 65536 elements the p-th root is the square root, a^(q/2) for a
// ground element.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "core/ring.h"
#include "factor/pth_root.h"

namespace tavrin {

// *sq := the square-free decomposition of *x at level pt, *count := the
// number of records (reset to 0 when first; with first in modular mode *x is
// made monic). The content with respect to pt's variable is divided out
// and decomposed recursively at the next level; a numeric content is
// dropped. Modular mode: square_free_factor; otherwise rat_sq_free_factor.
// *x: left as its primitive part (characteristic 0: nil unless it was
// square-free); *sq: set (records pushed on the front); *count: raised.
// reads: mode flags, modulus, field_depth, polynames
void total_sq_free(poly* x, poly* sq, std::int32_t* count, bool first, polypt pt);
void total_sq_free(poly* x, poly* sq, std::int32_t* count, bool first, polypt pt, const Ring& ring);

// Characteristic 0 (Yun's derivative and GCD sequence) for a primitive *x
// at level pt. *x: consumed (nil) unless square-free; records pushed on *sq.
void rat_sq_free_factor(poly* x, poly* sq, std::int32_t* count, polypt pt);
void rat_sq_free_factor(poly* x, poly* sq, std::int32_t* count, polypt pt, const Ring& ring);

// Modular mode: the decomposition of x (a polynomial in pt's variable of
// positive degree), taking p-th roots where a derivative vanishes. x: kept;
// records pushed on *sq. A coefficient outside the coefficient field whose
// p-th root is needed: user error 352.
void square_free_factor(poly x, poly* sq, std::int32_t* count, polypt pt);
void square_free_factor(poly x, poly* sq, std::int32_t* count, polypt pt, const Ring& ring);

// *num := lambda * n / com and *den := lambda * m / com, one nonzero numeric
// factor lambda (1 when exact division is available, the ordinary case); a
// division that fails recomputes *com := gcd(*n, *m) and starts over (at
// most 20 times, then the internal error "reduce2 retry limit" with a nested
// level, after which *num, *den := copies of *n, *m and *com := 1).
// *n, *m: kept unless *num / *den is their cell; *com: may be replaced;
// *num, *den: overwritten.
void reduce2(poly* n, poly* m, poly* com, poly* num, poly* den, polypt pt);
void reduce2(poly* n, poly* m, poly* com, poly* num, poly* den, polypt pt, const Ring& ring);

// *p := its p-th root in place, p the characteristic: every exponent of its
// top list divided by p and every coefficient replaced by its root (user
// error 352 when a coefficient's first level below the pads is not a field
// level). Used where a derivative vanishes. *p: changed.
void pth_root_inplace(poly* p, polypt pt);
// The same in `ring` (the ring in force), read instead of the mode globals.
void pth_root_inplace(poly* p, polypt pt, const Ring& ring);

// Builds the root table of level qt for the current modulus (a work array
// of the pool holds the matrix of the Frobenius map, inverted modulo p).
// reads: modulus, finf, the relations from qt down; writes qt->roots,
// qt->modls
void do_this_level(polypt qt);
void do_this_level(polypt qt, const Ring& ring);

// *q := the basis monomial number i (from 0) of the field at level qt: with
// sub the product of the degrees below qt and i = e * sub + j, t^e times
// basis monomial j of the level below (1 at the bottom). *q: replaced.
void basis(poly* q, std::int32_t i, polypt qt);

}  // namespace tavrin
