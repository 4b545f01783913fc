// The integer determinant by word-prime images, and the machinery it shares
// with the adjugate by images of det/ and the normal forms: the entries'
// residues, the bound of the determinant (find_pseudo), the list of word
// primes, Garner's mixed radix.
#pragma once

#include <cstdint>
#include <vector>

#include "core/records.h"

namespace tavrin::images {

// The n cells of the matrix: beta's when given, else q's store cells (an
// absent cell becomes 0 with the uninitialised-element warning).
std::vector<quoly> cells_of(arrptr q, workptr beta, std::int32_t n);

// x := 2^e (x's old limbs freed).
void set_power_of_two(imptr x, std::int64_t e);
// x := a copy of the big integer n.
void assign_number(imptr n, imptr x);

// The word primes of the images, in order: the table's prime[6..604], then
// the one-limb primes (below 2^28), downwards (word_prime).
// table_then_limb_prime(0) is prime[6].
std::uint32_t table_then_limb_prime(std::int32_t k);

// The number of primes for a bound pd: the table's count for a bound of
// L limbs (L*7/4 + 4, then raised until the primes' product has as many
// limbs as pd and a leading limb no smaller), continued with generated
// primes until the product is at least pd.
std::int32_t primes_for(imptr pd);

// The integer matrix of side m (cells column by column) as one-limb values
// and long entries, for residues modulo many primes.
class Residues {
 public:
  Residues(const std::vector<quoly>& cells, std::int32_t m);
  // out[r*m + c] := entry (r, c) mod p, in [0, p).
  void take(std::uint32_t p, std::uint32_t* out) const;

 private:
  std::int32_t m_;
  std::vector<std::int32_t> small_;
  std::vector<std::pair<std::size_t, imptr>> long_;
};

// The residue of a big integer modulo p, in [0, p).
std::uint32_t residue(imptr x, std::uint32_t p);

// The determinant of the integer matrix: images, Garner, the sign by the
// parity. A fresh number.
imptr crt_determ(const std::vector<quoly>& cells, std::int32_t m, imptr pd);

// find_pseudo on the dense cells of a rows x cols matrix held column by
// column (nil or zero cells count as zero).
void find_pseudo_cells(const std::vector<quoly>& cells, imptr pseudodet, bool* small_one,
                       std::int32_t rows, std::int32_t cols, std::int32_t* size, bool smith,
                       bool boost);

}  // namespace tavrin::images

namespace tavrin::images {

// out := detp * a^-1 modulo p (the adjugate modulo p when detp = det a mod
// p), both m x m row by row; a is destroyed. False when a is singular mod p.
bool residue_adjugate(std::uint32_t* a, std::int32_t m, std::uint32_t p, std::uint32_t detp,
                      std::uint32_t* out);

}  // namespace tavrin::images

namespace tavrin {

// The small-matrix factor of the Smith-mode test of find_pseudo.
double fsmallsize(std::int32_t r);

// *pseudodet := the bound 2^e (raised to a multiple of 28 bits with boost),
// *size := the sum of the bit sizes of the nonzero entries, *small_one :=
// whether the matrix counts as small. Reads q's sparse rows when q has them,
// else beta when given, else q's cells (an absent cell becomes 0 with the
// uninitialised-element warning).
void find_pseudo(arrptr q, workptr beta, imptr pseudodet, bool* small_one, std::int32_t rows,
                 std::int32_t cols, std::int32_t* size, bool smith, bool boost);
// The same for the sparse matrix sp (rows 1..rows, each row one line).
void sp_find_pseudo(sparseptr sp, imptr pseudodet, bool* small_one, std::int32_t rows,
                    std::int32_t cols, std::int32_t* size, bool smith, bool boost);

// The number of word primes the last integer determinant or adjugate by
// images used (tests and benchmarks read it).
extern std::int32_t last_prime_count;

}  // namespace tavrin
