// Tuning thresholds: the cut-offs at which dispatchers switch from one
// method to another. Kernels never hold such values as literals; each is a
// global here, defined in thresholds.cpp, so tests can push it to its
// extremes and reach both sides of every cut-off. Each comment gives the
// default, the range that keeps every method correct, and the readers.
//
// poly_cutoff, div_poly_cutoff and the field of each level's `polycut` are
// also settings: the change of ground ring resets them.
#pragma once

#include <cstdint>

namespace tavrin {

// ---- Polynomial products and divisions -----------------------------------------------------

// Span (terms or degree) from which sparse and dense products split by
// Karatsuba; new levels copy it into `polycut`. Default 20; 40 after a
// change of ground ring. Range >= 2. Readers: poly_mult, the dense products
// (dense_mult.h), parthg, basic_poly_divide's monic route, newdummy,
// reset_cutoffs.
extern std::int32_t poly_cutoff;

// Divisor terms below which the fast division keeps the plain method.
// Default 6 in rational arithmetic, 25 in modular arithmetic. Range >= 1.
// Readers: fast_poly_divide.
extern std::int32_t div_poly_cutoff;

// The largest degree the one-variable arrays take (their capacity, 25,001
// entries). Default 25,000. Range 1 .. 25,000. Readers: poly_mult, the
// divisions and trial divisions that take the dense route, fastest_poly_gcd.
extern std::int32_t fast_gcd_size;

// Terms of both operands above which one-variable products and trial
// divisions take the dense arrays. Default 10. Range >= 0. Readers:
// poly_mult, trial_poly_divide, basic_poly_divide.
extern std::int32_t fast_mult_cut;

// Span (degree) of the shorter slice from which the dense Karatsuba
// product (fast_array_onevar_mult) multiplies by number-theoretic
// transforms modulo two or three primes instead (never in characteristic
// 2). Default 700. Range >= 0 (INT32_MAX: never). Reader:
// fast_array_onevar_mult.
extern std::int32_t dense_ntt_span;

// Divisor degree from which the monic division of one-variable
// polynomials modulo a prime (the fast path of basic_poly_divide and
// simplest_poly_divide) divides on residue arrays by Newton's iteration
// with transform products instead of the divide-and-conquer division on
// term lists. Default 600. Range >= 1 (INT32_MAX: never). Reader: the
// monic division (poly_field_divide.cpp).
extern std::int32_t dense_newton_degree;

// Degree in the top variable above which products of two-variable
// polynomials modulo a prime try the two-variable arrays. Default 30.
// Range >= 0. Reader: poly_mult.
extern std::int32_t fast_2_var_degree;

// Product of the operands' leaf counts (over all levels) from which
// poly_mult multiplies through flat monomial arrays (poly_flat_mult.h)
// instead of Karatsuba on term lists or schoolbook rows, when no relation
// applies and the ring is the integers or a word modulus. Default 256.
// Range >= 0 (0: always where it applies; INT64_MAX: never). Reader:
// poly_mult.
extern std::int64_t flat_mult_terms;

// Bits of the low exponent fields that the flat product sums in an array
// of accumulators (2^bits cells of 16 bytes); wider low parts use the heap
// of row heads. Default 16. Range 0 .. 24 (0: always the heap). Reader:
// flat_poly_mult.
extern std::int32_t flat_cell_bits;

// The flat product sums in dense cells only while the cells it scans are at
// most this many times the term products (plus a small constant). Default
// 4. Range >= 0. Reader: flat_poly_mult.
extern std::int32_t flat_scan_ratio;

// The flat product of two polynomials with long integer coefficients packs
// each into one big integer (one slot per exponent vector in a mixed radix)
// and multiplies those once, when the slots of the two operands multiplied
// together are at most this many times their term products and a cost
// estimate favours it. Default 1024. Range >= 0 (0: never, nor
// flat_exact_quotient's one division; each coefficient product by itself
// instead; above 1024 the cost estimate is skipped, for tests). Readers:
// flat_poly_mult, flat_exact_quotient.
extern std::int32_t flat_kronecker_ratio;

// ---- Big integers --------------------------------------------------------------------------

// Limbs above which both factors of a big-integer product go to Karatsuba.
// Default 16. Range >= 1. Reader: fast_mult (bigint_multiply.h).
extern std::int32_t multcut;

// Limbs of both factors from which fast_mult repacks them into 64-bit
// words (numbers/word_array_impl.h) and multiplies there; below it, rows
// and Karatsuba on 28-bit limbs (multcut). Default 20. Range >= 1
// (INT32_MAX: never). Reader: fast_mult. (The 28-bit Karatsuba is
// faster than rows only from about 16 limbs, so multcut keeps its 16.)
extern std::int32_t wide_mult_limbs;

// Words of the shorter factor from which the word products use Karatsuba's
// recursion instead of rows. Default 32. Range >= 2. Reader: wmul.
extern std::int32_t wide_karatsuba_words;

// Divisor limbs from which divide, pos_divide and pos_divide_noq divide on
// 64-bit words (long division there, recursive from wide_divide_words);
// below it, long division on 28-bit limbs. Default 8. Range >= 1
// (INT32_MAX: never). Reader: the long divisions of bigint_divide.h.
extern std::int32_t wide_divide_limbs;

// Divisor words from which the word division recurses (Burnikel-Ziegler)
// instead of dividing word by word. Default 40. Range >= 2. Reader: wdivrem.
extern std::int32_t wide_divide_words;

// Limbs of the longer operand from which binary_gcd and extgcd find the
// GCD on 64-bit words by Lehmer's method (extgcd's cofactors then by two
// exact divisions); below it, the binary GCD with division steps and the
// quotient list on 28-bit limbs. Default 4. Range >= 1 (INT32_MAX: never).
// Readers: binary_gcd, extgcd (and gcdnum through binary_gcd).
extern std::int32_t wide_gcd_limbs;

// Limbs from which verybig_base_10 converts on 64-bit words, dividing by
// powers 10^(8 2^k); below it, the halves joined by products with the
// table two_28 in base 10^8. Default 16. Range >= 1 (INT32_MAX: never).
// Reader: verybig_base_10.
extern std::int32_t wide_decimal_limbs;

// Words from which the word conversion splits by a power of 10^8 instead of
// dividing by 10^16 word by word. Default 12. Range >= 4. Reader: wdecimal.
extern std::int32_t wide_decimal_words;

// Limbs below which the integer square root starts from a floating
// estimate instead of recursing on the upper half. Default 16. Range >= 0
// (numbers too short to split start from the estimate whatever it is).
// Reader: int_sqrt.
extern std::int32_t sqcut;

// ---- Dense GCDs ----------------------------------------------------------------------------

// Degree sum above which the array GCD takes the half-GCD instead of the
// Euclid loop. Default 999,999 (arrays of 25,001 entries never reach it).
// Range >= 0. Reader: fastest_poly_gcd.
extern std::int32_t fast_gcd_hgcd_sum;

// Degree of x below which the half-GCD runs plain Euclid with the matrix.
// Default 100; values below 4 act as 4 (the second split would fall at 0).
// Reader: parthg.
extern std::int32_t hgcd_euclid_degree;

// Degree sum above which the half-GCD loop reduces again by half-GCD; at or
// below it the Euclid loop finishes. Default 4,000. Range >= 0. Reader:
// the half-GCD driver (dense_hgcd.h).
extern std::int32_t hgcd_recursion_sum;

// Moduli below this take the two-term step of the Euclid loop when the
// degrees differ by one (its products of three residues need
// modulus^2 < 2^31). Default 46,340. Range 0 .. 46,340 (0: never).
// Reader: simple_onevar_gcd.
extern std::int32_t two_term_modulus;

// Divisor degree from which remainders in GF(2^8) use a table of the
// divisor's multiples (256 products per quotient coefficient). Default 384.
// Range >= 1. Reader: simple_onevar_gcd's characteristic-2 reduction.
extern std::int32_t gf256_row_degree;

// ---- Choosing primes ------------------------------------------------------------------------

// The trial division on images starts its search for a prime at index
// 604 - trial_prime_buffer - (a random value below trial_prime_spread) of
// the table `prime`. Defaults 530 and 64. Range: buffer + spread <= 603,
// spread >= 1. Reader: mod_trial_poly_divide.
extern std::int16_t trial_prime_buffer;
extern std::int16_t trial_prime_spread;

// ---- Polynomial GCDs (read by the GCD engines) ----------------------------------------------

// Size of the operands above which the GCD driver first tries whether the
// smaller divides the larger exactly. Default 25. Range >= 0. Reader: polygcd.
extern std::int32_t trial_cutoff;

// Size of the operands above which the GCD cache is consulted and filled.
// Default 200. Range >= 0. Reader: polygcd.
extern std::int32_t gcd_stash_cutoff;

// Degree sum above which a one-variable GCD is cached. Default 100. Range
// >= 0. Reader: basic_poly_gcd.
extern std::int32_t small_gcd_stash_cut;

// Degree drop above which the modular method is taken at once. Default 6.
// Range >= 0. Reader: the choice of the modular GCD method.
extern std::int32_t mod_method_diff;

// Terms of the two operands together from which the GCD driver hands a
// problem in two variables or more to the flat engines (flat_gcd.h) when
// they apply. Default 24. Range >= 0 (INT32_MAX: never). Reader: polygcd.
extern std::int32_t flat_gcd_terms;

// The flat engines take Brown's dense method for the images while its
// estimated cost is at most this many times that of Zippel's sparse method
// (flat_gcd_impl.h, dense_preferred); two variables always take Brown's.
// Default 1. Range >= 0. Reader: flat_gcd.
extern std::int32_t flat_dense_ratio;

// Start values of the term-list Euclid / half-GCD switch and of the list
// half-GCD. Defaults 10 and 11,000. No reader in the tree yet.
extern std::int32_t emgcd_basic_cut;
extern std::int32_t hgcd_cut;

// The Karatsuba cut-off set by "&_k". Default 140. Range >= 2. No reader
// in the tree yet.
extern std::int32_t simplest_poly_cutoff;

// ---- Determinants ----------------------------------------------------------------------------

// Mass of a matrix above which the determinant router takes Lagrange
// interpolation, in rational and in modular arithmetic ("&L" sets both, the
// modular one to a 33rd). Defaults 5,000 and 150. Range >= 0. Reader: the
// determinant router.
extern std::int32_t rat_det_method_cut;
extern std::int32_t mod_det_method_cut;

// Most nested levels of the dense Lagrange methods. Default 10. Range >= 0.
// Reader: the dense Lagrange determinant.
extern std::int32_t lagrangecut;

// Rows up to which sparse determinants use elimination before expansion
// by minors ("&D"). Default -1: chosen from the matrix. Reader: the
// determinant router.
extern std::int32_t detcutoff;

// Measure of the sparse pivot searches ("&u"). Default 0. Range 0 .. 5.
// Reader: the sparse pivot search.
extern std::int32_t pseudet_heur;

// Size limits of the integer determinant. Defaults 2,600 and 15. Reader:
// the integer determinant.
extern std::int32_t sizeval;
extern std::int32_t smallsize;

}  // namespace tavrin
