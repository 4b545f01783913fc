// Exact determinants of integer matrices from word-prime images, the
// determinant of a sparse matrix of word residues, and the adjugate and the
// inverse of an integer matrix by the Chinese remainder theorem.
//
// The integer determinant bounds |det| by a power of two pd = 2^e (e from
// the largest entry of each column and the entry counts, above the Hadamard
// bound), takes the determinant modulo enough word primes that their product
// M is at least pd (the 599 primes of the table prime[6..604] first, then
// primes just below 2^28 generated when needed), joins the images by
// Garner's mixed radix and picks between A and A - M by the determinant
// modulo 2.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// mincutoff := the cut-off of the partial integer elimination of the
// integer determinant for a matrix of r rows.
void set_min_cut(std::int32_t r);

// One image of the determinant: m's residue := det(beta) modulo the prime
// at position k of the prime table (rows x rows integers). The word modulus
// and the entries are the caller's again on return.
void do_mod_prime(std::int32_t rows, std::int32_t k, workptr beta, quoly m);

// Test hook: while set, int_determ takes the integer elimination (residues
// modulo a power of two, the sign from one word-prime image) instead of the
// images, whatever the bound.
extern bool force_integer_route;

// *n := det of the rows x rows integer matrix in beta, by its images
// modulo the table's primes prime[6..k] (do_mod_prime), k the first whose
// product num_prod[k - 6] reaches the bound *pseudodet, joined by Garner's
// mixed radix with invs_prod, the sign chosen by the determinant modulo 2.
// When the table's 599 primes cannot reach the bound, *succeed := false and
// nothing is changed; else *succeed := true and the old *n is freed. (The
// base case of int_determ's images, which reach every bound.)
// reads: verbose; the word modulus is the caller's again on return
void small_mod_determ(std::int32_t rows, quolyptr n, workptr beta, imptr pseudodet, bool* succeed);

// *n := det of the rows x rows integer matrix sp (absent entries 0) by the
// images of int_determ; the old *n freed. sp: kept (only read). No side cap:
// the images are flat arrays, not work arrays.
void sparse_int_determ(quolyptr n, sparseptr sp, std::int32_t rows);

// The determinant of the sparse matrix of word residues *spar modulo the
// current modulus into *n (a number). arrfree: *spar is consumed and set to
// nil; otherwise a copy is worked on. myverb: progress lines.
void sparse_mod_int_determ(quolyptr n, sparseptr* spar, std::int32_t rows, bool arrfree,
                           bool myverb);

// outar := adj(ar), or ar^-1 with inverse, for an integer matrix with
// *det = det(ar) != 0 and *pseudodet a bound above twice every adjugate
// entry. *det and *pseudodet are freed. True on success.
bool mod_matrix_inv(workptr ar, workptr outar, bool oar_free, std::int32_t m, quolyptr det,
                    quolyptr pseudodet, sparseptr* spar, bool inverse);

}  // namespace tavrin
