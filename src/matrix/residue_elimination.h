// Eliminations on bare residues: determinants, LU factorisations and
// inverses of square matrices of word residues held row by row in flat
// stores, the kernels of the determinants by word-prime images, of the
// divisor route and of the scaled solves.
//
// Three row forms, by the current modulus: prime moduli below 2^24 take a
// blocked LU on residues held in doubles; other moduli below 2^15 (outside
// characteristic 2) rows of 16-bit residues; the rest rows of 32-bit
// residues (field products in characteristic 2).
#pragma once

#include <cstdint>

namespace tavrin {

// The row form the current modulus takes.
enum class ResidueRows { doubles, halfwords, words };
ResidueRows residue_rows();

// d times the determinant of the m x m residues held row by row in store
// (destroyed), modulo the current modulus, in the row form residue_rows()
// gives (the caller fills a store of that type).
std::int32_t residue_rows_determ(double* store, std::int32_t m, std::int32_t d);
std::int32_t residue_rows_determ(std::uint16_t* store, std::int32_t m, std::int32_t d);
std::int32_t residue_rows_determ(std::uint32_t* store, std::int32_t m, std::int32_t d);

// The same from 32-bit residues whatever the row form: d times the determinant of the m x m
// residues held row by row in store (destroyed), modulo the current modulus.
std::int32_t residue_determ(std::uint32_t* store, std::int32_t m, std::int32_t d);
// The same by the row-by-row elimination whatever the modulus (the oracle
// of the blocked one).
std::int32_t plain_residue_determ(std::uint32_t* store, std::int32_t m, std::int32_t d);

// The determinant of the m x m residues in [0, p) held row by row in store
// (destroyed), modulo the prime p < 2^31 given instead of the current
// modulus: the blocked elimination on doubles below 2^24, rows of words
// above. Reads no global, so the images on the thread pool take it.
std::uint32_t prime_residue_determ(std::uint32_t* store, std::int32_t m, std::uint32_t p);

// LU factorisation modulo a prime p < 2^24 of the m x m residues in [0, p) held row
// by row in store, with row exchanges (perm, when given, := the source row
// of each position). Returns det mod p, 0 when singular modulo p. On a
// nonsingular return the row at position k (store's row perm[k]) holds L's
// multipliers left of the diagonal and U's row from it, all reduced. On a
// singular return *dependent (when given) := the first column i without a
// pivot, a combination modulo p of the columns before it; the positions
// below i then hold the LU of the nonsingular block of rows perm[0..i) and
// columns [0, i) in the same way.
std::uint32_t residue_lu(double* store, std::int32_t m, std::uint32_t p, std::int32_t* perm,
                         std::int32_t* dependent = nullptr);

// out := detp * a^-1 modulo a prime p < 2^24 (the adjugate when detp = det a
// mod p), both m x m row by row. False when a is singular modulo p.
bool residue_inverse(const std::uint32_t* a, std::int32_t m, std::uint32_t p, std::uint32_t detp,
                     std::uint32_t* out);

// The primes of the p-adic lifting and of its residues held in doubles lie
// below this top (word_prime(k, lifting_prime_top)).
constexpr std::uint32_t lifting_prime_top = std::uint32_t{1} << 21;

}  // namespace tavrin
