// The Hermite and Smith forms of integer matrices by methods whose entries
// stay bounded by a determinant: the route of the normal forms once the
// Euclidean elimination (normal_forms.h) would swell.
//
// Forms. The Hermite form of an r x c matrix A of rank k is H = P A U with
// P a permutation of the rows and U unimodular: rows 0..k-1 hold a lower
// triangular block with positive diagonal and every entry left of a pivot d
// in [0, d); columns k.. are zero; rows k.. are what the lattice makes them.
// The rows are ordered thus: the lexicographically first k independent
// rows of A in their order, then the others in theirs. Given that order the
// form is unique, so it equals what the Euclidean elimination gives on P A.
// The Smith form is S = X A Y (X, Y unimodular): diagonal, positive
// d_0 | d_1 | ... | d_(k-1), zero after.
//
// The direct elimination (hermite_direct) is tried first; it is exact
// throughout, every step a unimodular column operation. Every result of
// the modular route is proven before it is returned: the lattice of the form
// equals that of A (one inclusion checked exactly, the other from equal
// determinants). With transforms, H U^-1 = P A holds entry by entry (U^-1
// comes from exact divisions) and U = W H / D by exact divisions, from W
// = D M^-1 for the square completion M of A, checked by the exact product
// M W = D I: so U^-1 U = I and P A U = H; for the Smith form X X^-1 = I,
// Y^-1 Y = I and X A Y = S are checked by exact products.
//
// An exact product a b = c may be checked modulo word primes p_1 .. p_t
// instead: each entry x of a b - c is an integer with |x| below B (the
// largest row sum of |a| times b's largest entry, plus c's largest entry),
// and when every p_i divides x, so does P = p_1 ... p_t (distinct primes);
// with P > B that leaves x = 0. So the check is as exact as the product.
#pragma once

#include <cstdint>
#include <vector>

#include "matrix/zmatrix.h"

namespace tavrin {

// The lower triangular Hermite form (k x k) of the lattice spanned by the
// columns of the k x c integer matrix t of rank k, from a positive multiple
// n of that lattice's determinant (elimination modulo n, which shrinks as
// the pivots are found). fixed: the form of the lattice of t's columns and
// n Z^k for any positive n (elimination modulo n throughout), which is t's
// own when n is a multiple of its exponent (the largest invariant factor):
// far shorter than the determinant when the invariant factors repeat.
ZMatrix hermite_modulo(const ZMatrix& t, const ZInt& n, bool fixed = false);

struct FormResult {
  std::int32_t rank = 0;
  ZMatrix form;                     // r x c
  ZMatrix left, left_inv;           // r x r: P (X) and its inverse, when asked for
  ZMatrix right, right_inv;         // c x c: U (Y) and its inverse, when asked for
  std::vector<std::int32_t> order;  // Hermite: row i of the form comes from row order[i]
};

// The gcd of the entries of a (0 for a zero matrix), and a divided by it.
ZInt matrix_content(const ZMatrix& a);
ZMatrix divide_content(const ZMatrix& a, const ZInt& g);

// The Hermite form of a by an exact elimination, false (nothing to use)
// when its entries swell past a few Hadamard bounds; the same form as
// hermite_bounded.
bool hermite_direct(const ZMatrix& a, bool transforms, FormResult* out);

// Whether a b = c, by residues modulo enough word primes (see above).
bool residue_product_equals(const ZMatrix& a, const ZMatrix& b, const ZMatrix& c);

// The Hermite form of a (see above); transforms: also P, P^-1, U, U^-1.
// False when a step could not be proven (an internal fault; nothing to use).
// exact_tried: the direct elimination was already tried and given up.
bool hermite_bounded(const ZMatrix& a, bool transforms, FormResult* out, bool exact_tried = false);

// The Smith form of a; transforms: also X, X^-1, Y, Y^-1. False as above.
bool smith_bounded(const ZMatrix& a, bool transforms, FormResult* out);

}  // namespace tavrin
