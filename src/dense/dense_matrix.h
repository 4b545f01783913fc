// Square matrices of residues modulo the word modulus: the inverse by
// Gauss-Jordan elimination (the p-th root tables of factor/pth_root.cpp invert
// the matrix of the Frobenius map with it).
//
// Representation. An n x n matrix is a vector of n * n residues
// 0 .. modulus - 1, row by row: entry (r, c) at r * n + c. In the fields of
// 2^8 and 2^16 elements (finf) the entries are field elements: sums are
// exclusive or, products the field product (numbers/word_mod.h).
#pragma once

#include <cstdint>
#include <vector>

namespace tavrin {

// a := a^-1 and true when a is invertible; false, a unchanged, when it is
// singular. The pivot of each column is its first nonzero entry on or below
// the diagonal; the elimination polls for interrupts once a column.
// a: overwritten; a.size() == n * n; reads: modulus, smallmodulus, finf
bool residue_matrix_inverse(std::vector<std::int32_t>& a, std::int32_t n);

}  // namespace tavrin
