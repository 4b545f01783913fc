// Tuning thresholds: the cut-offs at which dispatchers switch from one
// method to another. Kernels never hold such values as literals; each is a
// global here, defined in thresholds.cpp, so tests can push it to its
// extremes and reach both sides of every cut-off. Each comment gives the
// default, the range that keeps every method correct, and the readers.
//
// poly_cutoff, div_poly_cutoff and the field of each level's `polycut` are
// also settings: the change of ground ring resets them.
#pragma once

#include <cstddef>
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

// Rows of a one-variable schoolbook product (simplest_standard) from which
// they are summed pairwise, as a binary counter, instead of each into the
// running sum: rows whose terms do not overlap (a power's sparse Frobenius
// image times a dense list) cost the sum's length per row otherwise.
// Floating mode keeps the running sum (the order of its roundings). Default
// 4. Range >= 0 (INT32_MAX: always the running sum). Reader:
// simplest_standard.
extern std::int32_t standard_pairwise_rows;

// Span (degree) of the shorter slice from which the dense Karatsuba
// product (fast_array_onevar_mult) multiplies by number-theoretic
// transforms modulo two or three primes instead (never in characteristic
// 2). Default 80 (the transforms are faster from spans of about 64 to 100
// on, by modulus). Range >= 0 (INT32_MAX: never). Reader:
// fast_array_onevar_mult.
extern std::int32_t dense_ntt_span;

// Divisor degree from which the monic division of one-variable
// polynomials modulo a prime (the fast path of basic_poly_divide and
// simplest_poly_divide) divides on residue arrays instead of the
// divide-and-conquer division on term lists; divisors and quotients both
// at least this long divide there by Newton's iteration with transform
// products, the others by elimination. Default 600. Range >= 1 (INT32_MAX:
// never). Readers: the monic division (poly_field_divide.cpp);
// newton_division_pays (dense_divide.h), so dense_divrem (dense_modular.h),
// fastest_poly_div and poly_div_no_q.
extern std::int32_t dense_newton_degree;

// Dividend degree from which that monic division runs on residue arrays
// whatever the divisor's degree (a long quotient by a short divisor: the
// term lists' divide and conquer adds up its quotient in O(dn^2 / dm)).
// Default 0: always (modulo 2^31 - 19, 4 us against 41 us for degrees 128
// by 41, 7 ms against 136 ms for 20,000 by 500). Range >= 0 (INT32_MAX:
// only from dense_newton_degree). Reader: the monic division
// (poly_field_divide.cpp).
extern std::int32_t residue_division_degree;

// Degree per term from which a one-variable polynomial counts as sparse:
// the monic division keeps the term lists when both its operands are that
// sparse (their quotient and remainder are then as a rule sparse too, and a
// vector as long as the dividend's degree would cost more: x^(10^8) + 1 by
// x^(10^7) + 1). Default 64. Range >= 1 (INT32_MAX: never sparse). Reader:
// the monic division (poly_field_divide.cpp).
extern std::int32_t residue_division_span;

// Dividend degree from which exact quotients (trial_poly_divide,
// gen_poly_divide, fast_poly_divide) and pseudo-divisions (pseudo_div,
// pseudo_div_no_q with the full multiplier) of one-variable polynomials
// over the integers run on contiguous words by Kronecker's substitution
// (poly/intpoly.h) instead of long division on term lists; the same
// values. Default 8 (from a dividend of degree 8 on the words are the
// sooner: 3 us against 8 us at degree 16, 1.2 ms against 52 ms at 2,000).
// Range >= 0 (INT32_MAX: never). Reader: integer_operands
// (poly_divide_impl.h).
extern std::int32_t integer_division_degree;

// Coefficients of the shorter operand from which the products of residue
// vectors (dense_modular.h) multiply by transforms instead of schoolbook
// rows. Default 48. Range >= 1. Readers: dense_mul, PolyModulus.
extern std::int32_t dense_transform_length;

// Degree of the modulus from which PolyModulus (dense_modular.h) takes
// remainders through the precomputed quotient and transforms instead of
// schoolbook products and elimination. Default 40. Range >= 33 (the
// half-length transform must hold the remainder). Reader: PolyModulus.
extern std::int32_t dense_modulus_degree;

// Degree of the smaller operand from which dense_gcd (dense_modular.h)
// runs the half-GCD instead of the Euclid loop. Default 160. Range >= 8.
// Reader: dense_gcd.
extern std::int32_t dense_hgcd_degree;

// Degree of the larger operand from which the extended GCD of two
// one-variable polynomials modulo a prime (not 256 or 65536) runs on
// residue vectors (dense_xgcd) instead of the Euclid loop on term lists;
// the cofactors are the same. Default 32 (200 pairs of degree 32 and 31
// modulo 32003: 0.01 s against 0.02 s; of degree 128: 0.08 s against
// 0.29 s). Range >= 1. Reader:
// extended_poly_gcd.
extern std::int32_t extended_gcd_dense_degree;

// Degree of the smaller operand from which the one-variable GCD modulo a
// prime, asked for a monic result, runs the half-GCD on residue vectors
// (dense_gcd) instead of the Euclid loop on arrays; the Euclid loop is the
// faster below about 3,000. Default 3,000. Range >= 1 (INT32_MAX: never).
// Readers: basic_poly_gcd, residue_gcd (gcd/onevar_gcd.h).
extern std::int32_t onevar_hgcd_degree;

// Degree sum of the two operands from which sums, products, quotients and
// normal forms of rational functions in one variable modulo a prime work on
// residue vectors (each part read once, the result built once) instead of
// term lists. Default 0 (always). Range >= 0 (INT32_MAX: never). Readers:
// the value routines of quoly/ (quoly_residues_impl.h).
extern std::int32_t residue_value_degree;

// Degree sum of the two operands from which sums of rational functions in
// one variable over the rationals work on contiguous integer coefficients
// (poly/intpoly.h: each part read once, the result built once) instead of
// term lists. Default 8. Range >= 0 (INT32_MAX: never). Reader: the value
// routines of quoly/ (quoly_integers_impl.h).
extern std::int32_t integer_value_degree;

// Limbs of the two arguments together from which polygcd hands two
// one-variable polynomials over the integers to the modular GCD on
// contiguous words (gcd/intpoly_gcd.h) instead of its own stages. Default
// 200. Range >= 0 (INT32_MAX: never). Reader: polygcd.
extern std::int32_t integer_gcd_limbs;

// Degree up to which polygcd settles two one-variable polynomials over the
// integers whose coefficients have at most two limbs in single words
// (gcd/intpoly_gcd.h, word_onevar_gcd) before any other route. Default 64.
// Range >= 0 (0: never; above 128 counts as 128). Reader: polygcd.
extern std::int32_t integer_gcd_word_degree;

// Characters left on the line from which an expression that is a sum of
// monomials is read in one pass (lang/monomial_sums.h) instead of term by
// term through the evaluator. Default 2048. Range >= 0 (INT32_MAX: never).
// Reader: read_monomial_sum.
extern std::int32_t monomial_sum_chars;

// The value of a one-variable polynomial over the integers at a number
// (the substitution of highest_level) is taken on words, by
// intpoly_scaled_value, from this degree on, for lists that are not
// sparse; below it by Horner's rule on the term list. Default 16. Range
// >= 1 (INT32_MAX: never). Reader: highest_level.
extern std::int32_t value_words_degree;

// intpoly_scaled_value splits segments of more than this many + 1
// coefficients in two; shorter ones go by Horner's rule. Default 32.
// Range >= 1 (INT32_MAX: Horner's rule alone). Reader:
// intpoly_scaled_value.
extern std::int32_t value_split_degree;

// Powers of one-variable polynomials over the integers with at most this
// many terms t (at least 2, word-size coefficients) go by the recurrence
// of intpoly_power instead of squaring, when the power's degree is at
// least power_recurrence_spread t^2 and the polynomial is dense by
// power_recurrence_fill. Default 16. Range >= 0 (0: never). Reader:
// compute_power.
extern std::int32_t power_recurrence_terms;
// The recurrence of power_recurrence_terms serves a polynomial of t terms
// only when its power's degree is at least this many times t^2 (below it,
// squaring is the faster, measured). Default 3. Range >= 0 (0: every
// degree). Reader: compute_power.
extern std::int32_t power_recurrence_spread;
// The recurrence of power_recurrence_terms serves a polynomial of t terms
// only when its degree + 1 is at most this many times t: it works on every
// exponent of the power, where squaring a sparse list works on its terms
// alone. Default 2 (half the exponents present). Range >= 1 (INT32_MAX:
// any sparsity). Reader: compute_power.
extern std::int32_t power_recurrence_fill;

// Degree of the shorter factor below which intpoly_mul multiplies by
// coefficient rows instead of Kronecker's substitution. Default 4. Range
// >= 0. Reader: intpoly_mul.
extern std::int32_t intpoly_rows_degree;

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

// Product of the operands' leaf counts from which poly_mult multiplies
// elements of a tower of two modded-out levels modulo a word prime by one
// packed transform product and a division by the relations
// (poly_tower_mult.h) instead of rows folded term by term. Default 64.
// Range >= 0 (INT64_MAX: never). Reader: tower_poly_mult.
extern std::int64_t tower_mult_terms;

// The flat product sums word-size term products in dense chunks of at most
// 2^flat_cell_bits accumulators (8 or 16 bytes each); a product whose
// lowest level alone needs more uses the heap of row heads. Default 16.
// Range 0 .. 24 (0: always the heap). Reader: flat_poly_mult.
extern std::int32_t flat_cell_bits;

// The flat product sums in dense chunks when 4 times their estimated cost
// is at most this many times the heap's. Default 4 (the cheaper). Range
// >= 0 (0: always the heap; large: the chunks whenever they apply).
// Reader: flat_poly_mult.
extern std::int32_t flat_scan_ratio;

// The flat product of two polynomials over the integers whose
// coefficients fit words and whose exponents vary at one level only packs
// each into one big integer (slots of as many bits as the product's
// coefficients need) and multiplies those once, when 4 times its
// estimated cost is at most this many times that of the summation by
// cells or heap. Default 4 (the cheaper). Range >= 0 (0: never; large:
// whenever it applies). Reader: flat_poly_mult.
extern std::int32_t flat_packed_ratio;

// Residue sums of the flat product that may pass a word are kept in one
// word, brought back below 2^63 by a multiple of the modulus whenever they
// reach it, and reduced once at the end, when this is 1; in 128-bit
// accumulators when 0. Default 1. Range 0 or 1. Reader: flat_poly_mult.
extern std::int32_t flat_fold_sums;

// The flat product of two polynomials with long integer coefficients packs
// each into one big integer (one slot per exponent vector in a mixed radix)
// and multiplies those once, when the slots of the two operands multiplied
// together are at most this many times their term products and a cost
// estimate favours it. Default 1024. Range >= 0 (0: never, nor
// flat_exact_quotient's one division; each coefficient product by itself
// instead; above 1024 the cost estimate is skipped, for tests). Readers:
// flat_poly_mult, flat_exact_quotient.
extern std::int32_t flat_kronecker_ratio;

// The flat product of a polynomial with long integer coefficients by one of
// at most this many terms (and at most 127), each coefficient below 2^28
// in magnitude, sums the long one's copies scaled by the short one's terms
// and shifted by their exponents, each coefficient of the product in lazy
// word cells, instead of packing both or multiplying coefficient by
// coefficient. Default 16. Range >= 0 (0: never). Reader: flat_poly_mult.
extern std::int32_t flat_scaled_terms;

// The most limbs the slots of the two packed operands of one such product
// may take together (its working memory is some 35 bytes a limb); a larger
// product, of any length, is cut into pieces of consecutive slots, any two
// pieces (one of each operand) at most this many limbs together, whose
// products are added in at their places.
// Default 128000000 (some 4.5 GB), so that a product of a few seconds is
// not cut: past the limit every pair of pieces pays its own transforms.
// Range >= 2 (small values: many pieces, for tests).
// Reader: flat_poly_mult.
extern std::int64_t flat_kronecker_limbs;

// ---- Big integers --------------------------------------------------------------------------

// Limbs above which both factors of a big-integer product go to Karatsuba.
// Default 16. Range >= 1. Reader: fast_mult (bigint_multiply.h).
extern std::int32_t multcut;

// Limbs up to which both operands of a sum, difference, product, quotient
// or GCD are taken as machine words (the operation in 64 or 128 bits, the
// result's old limbs written over). Default 2. Range 0 .. 2 (0: the
// general routes for every length). Readers: fastsum, fastdiff, fast_mult,
// multiply, divide, pos_divide, binary_gcd, extgcd.
extern std::int32_t word_number_limbs;

// Limbs up to which both factors of fast_mult and multiply (when the
// shorter is below wide_mult_limbs) are multiplied on the stack, pairs of
// limbs as 56-bit digits, the halves of their products summed in 64-bit
// columns. Default 16. Range 0 .. 16 (0: never, the rows).
// Reader: fast_mult, multiply.
extern std::int32_t short_mult_limbs;

// Limbs of both factors from which fast_mult repacks them into 64-bit
// words (numbers/word_array.h) and multiplies there; below it, rows
// and Karatsuba on 28-bit limbs (multcut). Default 20. Range >= 1
// (INT32_MAX: never). Reader: fast_mult. (The 28-bit Karatsuba is
// faster than rows only from about 16 limbs, so multcut keeps its 16.)
extern std::int32_t wide_mult_limbs;

// Words of the shorter factor from which the word products use Karatsuba's
// recursion instead of rows. Default 32. Range >= 2. Reader: wmul.
extern std::int32_t wide_karatsuba_words;

// Words of the shorter factor (or of a square) from which the word
// products use Toom-3 (five products of a third of the length) instead of
// Karatsuba's recursion. Default 120. Range >= 3 (INT32_MAX: never).
// Readers: wmul, wsqr.
extern std::int32_t wide_toom3_words;

// Words of the shorter factor (or of a square) from which the word
// products multiply by number-theoretic transforms modulo three word
// primes (wmul_ntt) instead of Toom-3 and Karatsuba. Default 280. Range
// >= 1 (INT32_MAX: never). Readers: wmul, wsqr.
extern std::int32_t wide_ntt_words;

// Divisor limbs from which divide, pos_divide and pos_divide_noq divide on
// 64-bit words (long division there, recursive from wide_divide_words);
// below it, long division on 28-bit limbs. Default 8. Range >= 1
// (INT32_MAX: never). Reader: the long divisions of bigint_divide.h.
extern std::int32_t wide_divide_limbs;

// Divisor words from which the word division recurses (Burnikel-Ziegler)
// instead of dividing word by word; the exact division (quotient and
// divisor both this long) then divides by it instead of Hensel's method.
// Default 40. Range >= 2. Readers: wdivrem, wdivexact.
extern std::int32_t wide_divide_words;

// Words of both the divisor and the quotient from which the word division
// takes the quotient by the divisor's reciprocal, found by Newton's
// iteration (wreciprocal, wdivrem_reciprocal), instead of the recursive
// division. Default 1200 (2n by n words at n = 1000 take 2.9 against 2.8
// products of n words, at 2000 3.0 against 3.6, at 3325 2.9 against 3.8,
// at 6650 2.9 against 4.5). Range >= 3 (INT32_MAX: never). Reader:
// wdivrem.
extern std::int32_t wide_newton_divide_words;

// Words from which the reciprocal of the Newton division (wreciprocal)
// takes a Newton step from the reciprocal of its leading half instead of
// one recursive division of B^(2n) - 1. Default 400 (at 3325 words the
// reciprocal then costs 1.8 instead of 2.4 products of its length). Range
// 3 .. wide_newton_divide_words (the division below it must not come
// back to the reciprocal; wreciprocal clamps). Reader: wreciprocal.
extern std::int32_t newton_reciprocal_words;

// Limbs of the longer operand from which binary_gcd and extgcd find the
// GCD on 64-bit words by Lehmer's method (extgcd's cofactors then by two
// exact divisions); below it, the binary GCD with division steps and the
// quotient list on 28-bit limbs. Default 4. Range >= 1 (INT32_MAX: never).
// Readers: binary_gcd, extgcd (and gcdnum through binary_gcd).
extern std::int32_t wide_gcd_limbs;

// Words of the longer operand from which wgcd reduces the pair by
// half-GCD matrices of its leading words (numbers/word_hgcd.cpp) instead
// of Lehmer's method alone, which finishes below it. Default 500. Range
// >= 8 (INT32_MAX: never). Reader: wgcd.
extern std::int32_t wide_hgcd_words;

// Limbs of the longer operand from which extended_number_gcd (the
// built-in EGCD of integers) takes the cofactors from half-GCD reductions
// on words (half_gcd_cofactors) instead of Euclid's steps, which cost a
// long division and two products of the cofactor rows a step; the
// cofactors are the same. Default 1 (the words are the faster from one
// limb on: 0.46 against 1.4 us; at 100 limbs 0.05 against 2.2 ms). Range
// >= 1 (INT32_MAX: never). Reader: extended_number_gcd.
extern std::int32_t xgcd_hgcd_limbs;

// Words below which the half-GCD recursion finds its matrix by Lehmer's
// steps. Default 200. Range >= 4. Reader: wgcd_halves.
extern std::int32_t hgcd_base_words;

// Limbs from which verybig_base_10 converts on 64-bit words, dividing by
// powers 10^(8 2^k); below it, the halves joined by products with the
// table two_28 in base 10^8. Default 9. Range >= 1 (INT32_MAX: never).
// Reader: verybig_base_10.
extern std::int32_t wide_decimal_limbs;

// Words from which the word conversion splits by a power of 10^8 instead of
// forming the digits base 10^16 from the place values of the half-words
// (wdecimal), and from twice as many words the conversion back joins halves
// by a product with such a power instead of Horner's rule by 10^16
// (wfrom_decimal). Default 16. Range 4 .. 32 (wdecimal clamps to it).
// Readers: wdecimal, wfrom_decimal.
extern std::int32_t wide_decimal_words;

// Words of a power's odd top part P' (10^(8 2^k) = P' 2^(64 z)) from which
// the word conversion divides by P' through its kept reciprocal (Barrett:
// two products) instead of the long division wdivrem. Default 300. Range
// >= 1 (INT32_MAX: never). Reader: wdecimal.
extern std::int32_t decimal_inverse_words;

// Digit groups (of 8 decimal digits) from which a decimal literal becomes
// a big integer on 64-bit words (wfrom_decimal); below it, Horner's rule
// by 10^8 on limbs. Default 3. Range >= 1 (INT32_MAX: never). Readers:
// decimal_to_big, the literal readers.
extern std::int32_t decimal_read_groups;

// Factors from which factorial forms a big product on 64-bit words (the
// powers of two taken out, the odd parts packed into words and multiplied
// by a balanced tree); below it, the product tree on limbs (multout).
// Default 16. Range >= 1 (INT32_MAX: never). Reader: factorial.
extern std::int32_t word_factorial_factors;

// Arguments from which factorial forms a big n! from its prime powers
// (squares of the products of the primes by the bits of their exponents)
// instead of the product of its factors. Default 800. Range >= 3
// (INT32_MAX: never). Reader: factorial.
extern std::int32_t prime_factorial_limit;

// Limbs of the modulus from which the power of a number modulo a number
// (Powermod, powermod's number case) runs on 64-bit words with Barrett's
// reduction and a sliding window (number_powmod) instead of binary powering
// on limbs with a long division after the products; the residue is the
// same. A one-limb prime modulus keeps the limb route (the exponent cut by
// Fermat). Default 3 (from three limbs the words are the faster: all of
// three limbs 23 against 26 us, of 40 limbs 1.1 against 4.6 ms, of 500
// limbs 0.62 against 2.0 s). Range >= 1 (INT32_MAX: never). Reader:
// powermod.
extern std::int32_t powmod_wide_limbs;

// Words of the modulus m from which Barrett's reduction in number_powmod
// forms q m (q the estimated quotient) modulo 2^K - 1 (K >= 64 (n + 1)
// bits, n the words of m) by the transforms' cyclic convolution, half the
// length of the whole product, instead of the whole product taken modulo
// B^(n+1): the remainder, below 3 m, is the same. Default 280, where the
// products take the transforms (wide_ntt_words). Range >= 1 (INT32_MAX:
// never). Reader: number_powmod.
extern std::int32_t powmod_wrap_words;

// Limbs below which the integer square root starts from a floating
// estimate instead of recursing on the upper half. Default 16. Range >= 0
// (numbers too short to split start from the estimate whatever it is).
// Reader: int_sqrt.
extern std::int32_t sqcut;

// Limbs from which int_sqrt takes the root on 64-bit words by Zimmermann's
// recursion (one division of half the length and one square of a quarter
// a level) instead of Newton's iteration on limbs; the root is the same.
// Default 3 (one and two limbs are roots of machine words; from three the
// words are the faster: 0.12 against 0.32 us, at 1,000 limbs 0.022
// against 0.21 ms). Range >= 1 (INT32_MAX: never). Reader: int_sqrt.
extern std::int32_t sqrt_wide_limbs;

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

// ---- The fields of characteristic 2 --------------------------------------------------------

// Words of the shorter factor from which carry-less products of word
// arrays (numbers/bit_poly.h) use Karatsuba's recursion instead of
// schoolbook columns of one-word products (the portable product and the
// reference route). Default 12 (the best cut for both one-word products).
// Range >= 2 (INT32_MAX: never). Reader: bit_poly_mul.
extern std::int32_t bit_karatsuba_words;

// The same cut for the columns by pairs of words (the processor's
// carry-less multiply). Default 64 (the 512-bit instruction gains to about
// there; the 128-bit one would take 32, some 10% faster). Range >= 2
// (INT32_MAX: never). Reader: bit_poly_mul.
extern std::int32_t bit_pair_karatsuba_words;

// Mean words of the two factors from which carry-less products of word
// arrays use the additive transforms over GF(2^64) (numbers/bit_fft.h)
// instead of Karatsuba's recursion (the shorter factor more than a quarter
// of the longer). Default 24000 (the transforms' time doubles at each power
// of 2 of the product's length, Karatsuba's grows smoothly: on the pair
// columns balanced products cross near 16,384 words, and just past it the
// transforms' next length costs twice as much until about 24,000; at twice
// and three times the length the mean fits the crossings too). Range >= 1
// (INT32_MAX: never). Reader: bit_poly_mul.
extern std::int32_t bit_fft_words;

// Coefficients of the shorter factor from which products of element
// vectors over GF(2^8) and GF(2^16) (dense/dense_char2.h) pack the
// coefficients into one carry-less product (Kronecker's substitution)
// instead of schoolbook rows by the field's tables. Default 16 (the two
// are alike from 4 to 32). Range >= 1. Reader: dense_char2_mul.
extern std::int32_t char2_kronecker_length;

// Divisor degree and quotient length from which dense_char2_divrem divides
// by Newton's series inverse of the reversed divisor instead of by
// elimination. Default 128 (Newton's iteration is the faster from 128 to
// 256). Range >= 1 (INT32_MAX: never). Readers: dense_char2_divrem,
// Char2Modulus.
extern std::int32_t char2_newton_degree;

// Degree below which the half-GCD of element vectors over GF(2^8) and
// GF(2^16) finds its matrix by Euclid's steps. Default 32 (16 to 400 are
// within 30 % of each other). Range >= 8. Readers: dense_char2_gcd,
// dense_char2_xgcd.
extern std::int32_t char2_hgcd_degree;

// Degree (of the product, the dividend, the larger GCD operand, the
// modulus or the square-free argument) from which the one-variable routes
// in GF(2^8) and GF(2^16) run on element vectors (dense/dense_char2.h):
// products, divisions with remainder, GCD, EGCD, powers modulo a
// polynomial and the square-free decomposition. Below it they keep their
// arrays and term lists, which give the same values. Default 32 (products
// and divisions on vectors are the faster from degree 16 on, the GCD and
// EGCD about as fast at 32 and the faster from 64). Range >= 0
// (INT32_MAX: never). Readers: simplest_poly_mult, the one-variable
// divisions (poly_field_divide.cpp), trial_poly_divide, basic_poly_gcd,
// extended_poly_gcd, powermod, square_free_factor.
extern std::int32_t char2_vector_degree;

// The distinct-degree stage of the factorisation in GF(2^8) and GF(2^16)
// takes one GCD with the part still to split per block of about sqrt(n) /
// char2_ddf_block_divisor consecutive degrees (n its degree). Default 2
// (1 to 8 within 25 % of each other at degrees 1,600 and 3,200 over
// GF(2^8); blocks of one degree twice as slow). Range >= 1. Reader:
// distinct_degree_char2.
extern std::int32_t char2_ddf_block_divisor;

// Terms of the long operand from which a short one (fewer terms than
// fast_mult_cut) multiplies it over a prime field or GF(2^8) / GF(2^16) by
// scaled copies summed in one element vector instead of term-list rows,
// which give the same values. Default 512. Range >= 0 (INT32_MAX: never).
// Readers: simplest_poly_mult.
extern std::int32_t scaled_rows_terms;

// The sparse products over GF(2^8), GF(2^16) and prime fields that the
// element vectors would take (a power's Frobenius image times a dense
// power) go to scaled rows when the sparse operand's terms times the
// other's vector length are at most this many times the product's degree,
// which gives the same values. Default 16 (a row element costs about a
// nanosecond, the vectors' carry-less or transform products some tens a
// degree at these shapes). Range >= 0 (0: never). Readers:
// simplest_poly_mult, vector_poly_mult.
extern std::int32_t sparse_rows_ratio;

// ---- Integer normal forms ------------------------------------------------------------------

// The Hermite and Smith forms of an integer matrix (normal_forms.h) take
// the bounded route (an exact elimination kept in check, else the route
// modulo a determinant) at once when the smaller side exceeds
// normal_form_direct_side or the Hadamard bound of the matrix's largest
// minors has more than normal_form_direct_bits bits: there the Euclidean
// elimination's entries swell. Otherwise the Euclidean elimination runs
// first, under an entry budget of normal_form_budget_bits times the bits of
// that bound (at most 30,000 limbs), and a matrix that exceeds it, or the
// longest number, goes to the bounded route. The bounded route holds the
// matrix densely: only for at most normal_form_cells entries (rows times
// columns); larger ones always take the elimination. Defaults 12, 40, 16 and
// 4,000,000. Ranges: direct side >= 0 (0: the bounded route always;
// INT32_MAX, with direct bits INT32_MAX: the elimination first); direct
// bits >= 0; budget >= 1; cells >= 0 (0: the elimination only, no budget).
// Reader: the route choice of the normal forms (form_routes).
extern std::int32_t normal_form_direct_side;
extern std::int32_t normal_form_direct_bits;
extern std::int32_t normal_form_budget_bits;
extern std::int64_t normal_form_cells;

// The exact elimination of the Hermite form divides an entry held in limbs
// by a long double estimate and one exact remainder while the quotient is
// below 2^normal_form_quotient_bits, beyond by long division when the
// pivot fits 64 bits and by the division of big integers otherwise.
// Default 40. Range 0..40 (0: the division of big integers always; past 40
// the estimate may be off by more than one). Reader: hermite_direct.
extern std::int32_t normal_form_quotient_bits;

// The bounded Hermite route with transforms passes over its exact
// elimination, for the elimination modulo a determinant, for a matrix more
// than half filled whose smaller side exceeds normal_form_exact_side, when
// the answer does not depend on the route (full column rank). Default 10.
// Range >= 0 (INT32_MAX: the exact elimination is always tried first).
// Reader: hermite_bounded.
extern std::int32_t normal_form_exact_side;

// The bounded Hermite route without a modulus runs its exact elimination
// straight on the matrix's cells (words in, words out, no integer-matrix
// copies) when the smaller side is at most normal_form_cell_side; above
// it, and for the Smith form, the cells go through integer-matrix copies.
// The results are the same. Default INT32_MAX. Range >= 0 (0: the copies
// always). Reader: the route choice of the normal forms (form_routes).
extern std::int32_t normal_form_cell_side;

// The exact elimination of the Hermite form does a step past a word (an
// entry plus a word times a word) in 128-bit arithmetic when the entry has
// at most normal_form_wide_bits bits, so that the sum stays below 2^127,
// and in limbs beyond. Default 125. Range 0..125 (0: limbs for every step
// past a word). Reader: hermite_direct.
extern std::int32_t normal_form_wide_bits;

// The exact elimination of the Hermite form does a column step of at least
// normal_form_word_column entries in words without a test per entry when
// the largest entries show that every sum stays below 2^62; shorter steps,
// and the others, test entry by entry. Default 1. Range >= 1 (INT32_MAX:
// entry by entry always). Reader: hermite_direct.
extern std::int32_t normal_form_word_column;

// The route modulo a determinant solves in a square completion whose last
// rows are unit vectors (a wide or rank-deficient matrix) by its leading
// block alone when those rows number at least normal_form_split_rows.
// Default 1. Range >= 1 (INT32_MAX: always in the whole completion).
// Reader: hermite_square.
extern std::int32_t normal_form_split_rows;

// The elimination modulo a determinant keeps residues of a modulus of at
// most normal_form_fixed_words 64-bit words in fixed-width words (Barrett
// reduction), longer ones in big integers. Default 32. Range 0..32 (0:
// big integers past 31 bits). Reader: hermite_modulo.
extern std::int32_t normal_form_fixed_words;

// The route modulo a determinant D takes the transform U = (D M^-1) H / D
// of the Hermite form by exact (right-to-left) division when D has at least
// normal_form_exact_digits digits base 2^28, by the long division with its
// remainder below. U is integral once D M^-1 and H are proven, so either
// gives the same U. Default 2. Range >= 1 (INT32_MAX: the long division
// always). Reader: hermite_square.
extern std::int32_t normal_form_exact_digits;

// The route modulo a determinant eliminates the leading rows of a square
// matrix, whose lattice has index G, modulo a multiple of their exponent
// found from a solve (proven by the index of the form) when G has more than
// normal_form_exponent_bits bits and that multiple is shorter; modulo G
// otherwise. The same form either way. Default 128. Range >= 0 (INT32_MAX:
// modulo G always). Reader: hermite_square.
extern std::int32_t normal_form_exponent_bits;

// The route modulo a determinant finds the determinant of a square block
// of side at most normal_form_crt_det_side from its images modulo word
// primes (crt_determinant.h), of a larger one by the determinant methods
// (abs_int_determinant). The same value either way. Default 16. Range >= 0
// (0: the determinant methods always). Reader: hermite_bounded.
extern std::int32_t normal_form_crt_det_side;

// The route modulo a determinant proves the rows of the Hermite form below
// the rank, when there are at least normal_form_proof_rows of them, by the
// solve that gives them (A_R^T Y = D A_rest^T, the matrix's short entries
// times Y), and by their product with the leading block's cofactor H^-1 A_R
// (long entries times short) when fewer. Either proves the same form.
// Default 1. Range >= 1 (INT32_MAX: the product always). Reader:
// hermite_bounded.
extern std::int32_t normal_form_proof_rows;

// The route modulo a determinant checks its exact products (M W = D I,
// A_R^T Y = D A_rest^T) modulo word primes whose product exceeds a bound
// of every entry of the difference (residue_product_equals, a proof) when
// the inner side is at most normal_form_residue_check, by products of big
// integers beyond. Either proves the same. Default 32. Range >= 0 (0: the
// products of big integers always). Reader: hermite_square.
extern std::int32_t normal_form_residue_check;

// The route modulo a determinant with transforms takes D C for the rows
// below the rank (A_rest = C A_R) from the product A_rest W with the
// proven W = D M^-1 of its square completion M, whose trailing columns
// must vanish, when M's side (the matrix's columns) is at most
// normal_form_rest_side; beyond, and without transforms, from a solve on
// A_R^T checked by its product. The same D C either way. Default
// INT32_MAX. Range >= 0 (0: the solve always). Reader: hermite_bounded.
extern std::int32_t normal_form_rest_side;

// The bounded Hermite route finds the determinant of a square matrix of
// side above normal_form_singular_side that its rank modulo a word prime
// shows singular only after the rank profiles fail (the prime divides a
// nonzero determinant); up to it, first. The same form either way. Default
// 0. Range >= 0 (INT32_MAX: the determinant first always). Reader:
// hermite_bounded.
extern std::int32_t normal_form_singular_side;

// The Euclidean Hermite elimination of a dense or sparse matrix under an
// entry budget runs on flat integers when normal_form_flat_euclid is
// non-zero (without a modulus or tracing), on the cells otherwise: the same
// steps, so the same form, transforms and rank. Default 1. Range 0 or 1.
// Readers: intcolred, sparse_intcolred.
extern std::int32_t normal_form_flat_euclid;

// The sparse elimination takes the flat route above while the matrix
// (rows * cols) and, with column transforms, cols * cols are at most
// normal_form_flat_sparse_cells entries: it holds them dense. Default 4096.
// Range >= 0. Reader: sparse_intcolred.
extern std::int32_t normal_form_flat_sparse_cells;

// The p-adic lifting of the scaled solves (scaled_solve.h) lifts the
// right-hand sides one at a time, its steps dot products of rows, when
// there are at most lift_single_columns of them; in blocks of 32 beyond.
// The same solution either way. Default 4. Range >= 0 (0: blocks always).
// Reader: scaled_solve.
extern std::int32_t lift_single_columns;

// The reduced row echelon form ("Redrowech") of a dense integer matrix of
// full row rank with no transform takes the pivot columns' rational solve
// (row_echelon.cpp) from rref_lift_rows rows, the fraction-free
// Gauss-Jordan elimination below. The same form either way. Default 6.
// Range >= 0 (INT32_MAX: the elimination always). Reader: red_row_ech.
extern std::int32_t rref_lift_rows;

// The adjugate and inverse of an integer matrix by the adjoint-CRT method
// (mod_matrix_inv) take d A^-1 from one p-adic lifting (scaled_inverse) when
// the matrix has at least inverse_lift_side rows and entries below 2^24,
// and nothing is printed; the images of word primes joined by Chinese
// remaindering otherwise. The same values either way. Default 16. Range >=
// 0 (INT32_MAX: the images always). Reader: mod_matrix_inv.
extern std::int32_t inverse_lift_side;

// The rational solve (scaled_solve.h) first tries its reconstruction when
// the lifted residues have rational_solve_first_bits bits, then after more
// steps each time. The same solution whenever it tries. Default 128.
// Range >= 1 (large: only at the count that makes it certain). Reader:
// rational_solve.
extern std::int32_t rational_solve_first_bits;

// The extended Euclidean algorithm of flat integers runs in 128-bit words
// when both numbers have at most xgcd_wide_bits bits (and not both fit a
// word, which has its own loop), on big integers beyond: the same
// quotients, the same cofactors. Default 124. Range 0..124 (0: big
// integers always). Reader: ZInt::xgcd.
extern std::int32_t xgcd_wide_bits;

// Past the 128-bit words, the extended Euclidean algorithm of flat
// integers takes the quotients certain from the leading bits in one step
// (Lehmer) while the larger remainder has more than xgcd_lehmer_bits
// bits: the same quotients, the same cofactors. Default 0. Range >= 0
// (INT32_MAX: one division a quotient always). Reader: ZInt::xgcd.
extern std::int32_t xgcd_lehmer_bits;

// ---- Choosing primes ------------------------------------------------------------------------

// The trial division on images starts its search for a prime at index
// 604 - trial_prime_buffer - (a random value below trial_prime_spread) of
// the table `prime`. Defaults 530 and 64. Range: buffer + spread <= 603,
// spread >= 1. Reader: mod_trial_poly_divide.
extern std::int16_t trial_prime_buffer;
extern std::int16_t trial_prime_spread;

// The modular GCD of integer polynomials starts its run of primes at index
// 604 - modular_gcd_prime_buffer - (a random value below
// modular_gcd_prime_spread) of the table `prime`, so that a run has the
// table's largest primes before it turns to the big ones. Defaults 530 and
// 64. Range: buffer + spread <= 603, spread >= 1. Reader: basic_mod_method.
extern std::int16_t modular_gcd_prime_buffer;
extern std::int16_t modular_gcd_prime_spread;

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
// The estimates count different steps: measured, Brown's estimate is 2 to 5
// times Zippel's where Brown is the faster (dense operands in 4 and 5
// variables, by 1.1 to 1.5 times), 14 times and more where Zippel is the
// faster by 5 to 300 times (sparse operands in 6 and 8 variables).
// Default 10. Range >= 0. Reader: flat_gcd.
extern std::int32_t flat_dense_ratio;

// Over the integers, Brown's images carry their cofactors and prove the
// result by a bound (flat_gcd.cpp) when the exact divisions that would
// prove it instead, |G| (|Abar| + |Bbar|) term products a prime, are
// estimated at more than this many times Brown's work a prime with
// cofactors: the univariate problems (the points of every evaluated
// variable, as the total degree lattice cuts them) times the squared degree
// in the first (measured: the two cost the same near 6, in two and three
// variables). Default 6. Range >= 0 (0: always the cofactors).
// Reader: flat_gcd.
extern std::int32_t flat_cofactor_ratio;

// Cells of the box of the dense exact division of flat polynomials
// (gcd/flat/flat_divide.cpp) per product of a row up to which the row
// finds its remainder terms by scanning every cell, highest first, instead
// of recording the cell of each product. Default 4. Range >= 0 (0: always
// record). Reader: divide_dense.
extern std::int32_t flat_division_scan;

// Terms of the two operands together from which Zippel's sparse method
// takes its images in two variables (a GCD by Brown's method at each point)
// when there are three variables or more; below it, images in one
// variable, as the evaluations then cost less than the GCDs in two
// variables. Default 100,000. Range >= 0 (INT32_MAX: never). Reader: the
// sparse GCD engine (zippel_gcd.cpp).
extern std::int32_t zippel_plane_terms;

// Start values of the term-list Euclid / half-GCD switch and of the list
// half-GCD. Defaults 10 and 11,000. No reader in the tree yet.
extern std::int32_t emgcd_basic_cut;
extern std::int32_t hgcd_cut;

// The Karatsuba cut-off set by "&_k". Default 140. Range >= 2. No reader
// in the tree yet.
extern std::int32_t simplest_poly_cutoff;

// ---- Finite fields (read by the square-free decomposition and the factoriser) -------------

// Degree from which the square-free decomposition modulo a prime and the
// factorisation over a prime field of a polynomial in one variable work on
// residue vectors (the distinct-degree stage by baby and giant steps of the
// Frobenius map, the equal-degree stage by compositions), and the degree
// of a square-free part from which the distinct-degree stage in GF(2^8)
// and GF(2^16) works on element vectors (blocks of degrees sharing one
// GCD), instead of the term-list method. Default 2. Range >= 1 (INT32_MAX:
// never). Readers: square_free_factor, factor_poly.
extern std::int32_t fast_factor_degree;

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

// Side from which the router's default route, modulo a prime, interpolates
// the determinant of a matrix of polynomials instead of eliminating over the
// rational functions (the same polynomial; 90 times sooner at side 80).
// Default 8. Range >= 2. Reader: the determinant router.
extern std::int32_t quiet_lagrange_side;

// Side from which that interpolation, modulo a prime with too few elements
// for the degrees (2, 3, ...), runs over an extension field of the prime
// instead of taking the determinant over the integers and reducing it (the
// same polynomial). Default 8. Range >= 1 (INT32_MAX: never). Reader: the
// modular interpolation.
extern std::int32_t small_field_lagrange_side;

// Sides from which the router's default route, over the rationals,
// interpolates the determinant of a dense (sparse) matrix of polynomials or
// of fractions with a common denominator in each row, with a proven bound on the
// coefficients, instead of eliminating. Defaults 6 (dense) and 11 (sparse:
// below it elimination is cheap while the fill stays small).
// Range >= 1. Reader: the determinant router.
extern std::int32_t quiet_rat_lagrange_side;
extern std::int32_t quiet_sparse_lagrange_side;

// Fill from which the router hands the determinant of a sparse matrix to
// the dense engines (the integer images over the rationals, the residue
// elimination and the interpolation modulo a prime) once its entries reach
// - modulo a prime with polynomial entries, and over the rationals with
//   integer entries under "&(K = 1)": sparse_dense_fill a row on average
//   (default 3; the sparse eliminations fill in and grow their entries, 3
//   and 7 times slower at 3 a row on sides 60 and 200);
// - over the rationals with integer entries: sparse_dense_int_fill a row
//   (default 4: at 3 a row the sparse elimination is 3 to 5 times sooner
//   on sides 200 to 1100, at 4 a row 5 times slower on sides 400 to 1100);
// - modulo a prime with number entries: sparse_dense_mod_fill * sqrt(m) in
//   all (default 120: about 6 a row at side 400, 4 at side 1000, where the
//   two eliminations take the same time; below side 15 never);
// - in GF(256) and GF(65536) with number entries: sparse_dense_char2_fill *
//   sqrt(m) in all (default 80: 4 a row at side 400, where the dense
//   elimination of the field's elements overtakes the sparse one).
// Integers and residues are laid out flat, at any side; polynomials go
// over a work array, up to side 1000.
// Range >= 0 (0: always dense). Reader: the determinant router.
extern std::int32_t sparse_dense_fill;
extern std::int32_t sparse_dense_int_fill;
extern std::int32_t sparse_dense_mod_fill;
extern std::int32_t sparse_dense_char2_fill;

// The fill-in measure beside the counts above, for integers and for
// polynomials modulo a prime, whose entries grow with the depth of the
// elimination: a sparse matrix whose elimination, foreseen on its pattern
// (det/sparse_fill.h, each multiply-add weighed by its step), passes
// m^3 * sparse_fill_int_work / 1000 (integers; default 50) or
// m^3 * sparse_fill_poly_work / 1000 (polynomials; default 17) goes to the
// dense engines too, however few its entries. Over Z at sides 100 to 800
// the diagonal and 3 random columns a row weigh 0.29 to 0.6 and eliminate
// 2.5 to 50 times slower sparse; the diagonal and 2 random columns weigh
// 0.065 to 0.12, 0.25 to 2 times the dense time (by the entries: with a
// common factor the images need more primes); a band, an arrow, or the
// diagonal and one random column below 0.01, 0.003 to 0.5 times. Modulo a
// prime in x at sides 25 to 100 the diagonal and 2 random columns weigh
// 0.06 (1 to 6.7 times), a band 0.04 falling with the side (2.4 to 0.8
// times), the diagonal and one random column below 0.01 (0.08 to 0.35
// times).
// Sides up to fill_pattern_side (4096); above, the counts alone.
// Range >= 0 (0: dense whenever the elimination has a step of work;
// INT32_MAX: never by this measure). Reader: the determinant router.
extern std::int32_t sparse_fill_int_work;
extern std::int32_t sparse_fill_poly_work;

// The sparse row and column additions (row_ops.h) sum an entry and a
// product of integers of at most two limbs each in words, in rational
// arithmetic, when sparse_word_steps is non-zero and the sum is below
// 2^62; otherwise through the value arithmetic. The same entries either
// way. Default 1. Range 0 or 1. Reader: sparse_row_add, sparse_col_add.
extern std::int32_t sparse_word_steps;

// Side up to which the router inverts a dense matrix of polynomials over
// the rationals in one variable by the recurrence of the sparse inverses
// instead of Gauss-Jordan (in more variables the recurrence is sooner at
// every side measured). Default 16. Range >= 0. Reader: the determinant
// router.
extern std::int32_t recurrence_inverse_side;

// Most residues (determinant and adjugate at every point of the grid,
// for one prime) that the interpolated inverse of the router's default
// route may hold; above it the inverse goes by the recurrence or by
// elimination. Default 2^24. Reader: the interpolated inverse.
extern std::size_t inverse_grid_words;

// Rows up to which sparse determinants use elimination before expansion
// by minors ("&D"). Default -1: chosen from the matrix. Reader: the
// determinant router.
extern std::int32_t detcutoff;

// Measure of the sparse pivot searches ("&u"). Default 0. Range 0 .. 5.
// Reader: the sparse pivot search.
extern std::int32_t pseudet_heur;

// Half the length of the first prefix of the projected sequence whose
// generator the minimal polynomial tries before the whole sequence of 2n + 1
// terms (then twice as long, and so on): a matrix with a short recurrence
// stops after a few times its degree. Only where the answer is proven or
// completed afterwards. Default 16. Range >= 1 (n or more: the whole
// sequence). Reader: the minimal polynomial's projections.
extern std::int32_t minpoly_first_terms;

// The least side from which an integer minimal polynomial whose first image
// falls below the side joins images only until one more leaves the value
// unchanged, and lets the proof decide, instead of taking as many primes as
// the coefficient bound of the characteristic polynomial asks. Default 8
// (every side). Range >= 8 (above 32767: never). Reader: the minimal
// polynomial over the integers.
extern std::int32_t minpoly_stable_side;

// Whether that join works out the images of several primes in one pass over
// the matrix (entries of one limb and moderate row sums). Default true.
// Reader: the minimal polynomial over the integers.
extern bool minpoly_image_lanes;

// Size limits of the integer determinant. Defaults 2,600 and 15. Reader:
// the integer determinant.
extern std::int32_t sizeval;
extern std::int32_t smallsize;

}  // namespace tavrin
