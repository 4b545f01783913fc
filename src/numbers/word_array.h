// Word arrays: magnitudes in base 2^64, the form in which the large
// products, divisions, GCDs and decimal conversions of numbers/ run, and
// the packed products and exact quotients of poly/ and gcd/.
//
// A word array holds |x| as std::uint64_t words, least significant first.
// A length n counts words; "normalised" means a[n-1] != 0, or n = 1 for
// zero. The limb lists (base 2^28) reach these kernels through the digit
// arrays of limb_array.h, repacked bit for bit (words_of_digits,
// digits_of_words); each public routine keeps its schoolbook base case on
// digits below a threshold of core/thresholds.h and takes these kernels
// above it.
//
// Products: rows below wide_karatsuba_words, Karatsuba's recursion above,
// Toom-3 from wide_toom3_words, number-theoretic transforms modulo three
// word primes from wide_ntt_words (operands of very different lengths are
// cut into balanced pieces below that). A product longer than the widest
// transform goes through Karatsuba or Toom-3 until its pieces fit one.
// Division: Knuth's long division on a normalised divisor below
// wide_divide_words (each quotient word by the divisor's precomputed
// two-word reciprocal), the recursive division of Burnikel and Ziegler (in
// the two-halves form of GMP's divide-and-conquer division) above, and
// from wide_newton_divide_words words of divisor and quotient the
// quotient by the divisor's reciprocal from Newton's iteration
// (word_reciprocal.cpp).
#pragma once

#include <cstdint>
#include <vector>

#include "numbers/limb_array.h"

namespace tavrin::kit {

using word = std::uint64_t;
using dword = unsigned __int128;

// ---- Between digits and words ------------------------------------------------
// Words needed for n digits, and digits for n words (below 2^31 / 2.3
// words: the products are formed in 64 bits).
inline std::int32_t words_for_digits(std::int32_t n) {
  return static_cast<std::int32_t>((28 * std::int64_t{n} + 63) / 64);
}
inline std::int32_t digits_for_words(std::int32_t n) {
  return static_cast<std::int32_t>((64 * std::int64_t{n} + 27) / 28);
}
// w[0 .. words_for_digits(n)) := the digits a[0 .. n) repacked; returns the
// normalised length.
std::int32_t words_of_digits(word* w, const digit* a, std::int32_t n);
// a[0 .. digits_for_words(n)) := the words w[0 .. n) repacked; returns the
// normalised length.
std::int32_t digits_of_words(digit* a, const word* w, std::int32_t n);

// w[0 .. words_for_digits(count)) := the magnitude of the `count` limbs
// from head (most significant first), read in one pass; returns the
// normalised length.
std::int32_t words_of_limbs(word* w, numptr head, std::int32_t count);
// A fresh limb list holding sign * w[0 .. n) (sign +1 or -1), zero as one
// limb 0, built in one pass; error 302 beyond 32,767 limbs.
limb_list limbs_of_words(const word* w, std::int32_t n, std::int32_t sign);

inline std::int32_t wnormalised(const word* a, std::int32_t n) {
  while (n > 1 && a[n - 1] == 0) --n;
  return n;
}

// (hi, lo) div d, and *rem := (hi, lo) mod d, for hi < d (so the quotient
// is one word): one hardware division on x86-64 (the 128-bit operator
// calls a library routine).
inline word wdiv_2by1(word hi, word lo, word d, word* rem) {
#if defined(__x86_64__) && defined(__GNUC__)
  word q = 0, r = 0;
  __asm__("divq %4" : "=a"(q), "=d"(r) : "a"(lo), "d"(hi), "rm"(d) : "cc");
  *rem = r;
  return q;
#else
  const dword t = (static_cast<dword>(hi) << 64) | lo;
  *rem = static_cast<word>(t % d);
  return static_cast<word>(t / d);
#endif
}

// ---- Sums, differences, one-word products ---------------------------------------
// Sign of a - b for equal lengths n.
int wcmp(const word* a, const word* b, std::int32_t n);
// Sign of a - b for normalised a, b.
int wcmp_norm(const word* a, std::int32_t na, const word* b, std::int32_t nb);
// r := a + b (n words each); returns the carry. r may be a or b.
word wadd_n(word* r, const word* a, const word* b, std::int32_t n);
// r := a - b (n words each); returns the borrow. r may be a or b.
word wsub_n(word* r, const word* a, const word* b, std::int32_t n);
// r[0 .. na) := a + b for na >= nb; returns the carry. r may be a.
word wadd(word* r, const word* a, std::int32_t na, const word* b, std::int32_t nb);
// r[0 .. na) := a - b for na >= nb; returns the borrow. r may be a.
word wsub(word* r, const word* a, std::int32_t na, const word* b, std::int32_t nb);
// r[0 .. n) := a + b (one word); returns the carry.
word wadd_1(word* r, const word* a, std::int32_t n, word b);
// r[0 .. n) := a - b (one word); returns the borrow.
word wsub_1(word* r, const word* a, std::int32_t n, word b);
// r[0 .. n) := a * b; returns the high word.
word wmul_1(word* r, const word* a, std::int32_t n, word b);
// r[0 .. n) += a * b; returns the carry word.
word waddmul_1(word* r, const word* a, std::int32_t n, word b);
// r[0 .. n) -= a * b; returns the borrow word.
word wsubmul_1(word* r, const word* a, std::int32_t n, word b);
// The three above (and the rows below) run on two carry chains (mulx,
// adcx, adox) where the processor has them, asked once; the portable
// 128-bit loops give the same words. force_portable_rows(true) keeps to
// the portable loops (a test hook).
bool rows_by_carry_chains();
void force_portable_rows(bool portable);
// r := a << s or a >> s (0 <= s < 64), n words; returns the bits shifted out
// (at the bottom of the word for <<, at the top for >>). r may be a.
word wshl(word* r, const word* a, std::int32_t n, int s);
word wshr(word* r, const word* a, std::int32_t n, int s);

// ---- Products ---------------------------------------------------------------------
// r[0 .. na+nb) := a * b by the schoolbook method (a row per word of the
// shorter operand); r must not overlap a or b.
void wmul_rows(word* r, const word* a, std::int32_t na, const word* b, std::int32_t nb);
// r[0 .. na+nb) := a * b: rows, Karatsuba's recursion from
// wide_karatsuba_words, Toom-3 from wide_toom3_words, transforms
// from wide_ntt_words words of the shorter factor: one (wmul_ntt) for the
// whole product or, past the widest transform, one a piece
// (wmul_ntt_pieces); r must not
// overlap a or b. reads: wide_karatsuba_words, wide_toom3_words,
// wide_ntt_words
void wmul(word* r, const word* a, std::int32_t na, const word* b, std::int32_t nb);

// r[0 .. 2n) := a^2 for n >= 1 words: the products above the diagonal once
// by rows, doubled, and the diagonal squares, below wide_karatsuba_words; Karatsuba's three
// half-length squares above, Toom-3 and transforms as wmul. r must not overlap a.
// reads: wide_karatsuba_words, wide_toom3_words, wide_ntt_words
void wsqr(word* r, const word* a, std::int32_t n);
// The square by rows alone (the base case of wsqr), same contract.
void wsqr_rows(word* r, const word* a, std::int32_t n);

// r[0 .. na+nb) := a * b by number-theoretic transforms modulo three word
// primes (numbers/ntt.h); b null gives a^2 (nb is then ignored). The
// operands need not be normalised; r must not overlap them. Only for
// wmul_ntt_fits(na, nb).
void wmul_ntt(word* r, const word* a, std::int32_t na, const word* b, std::int32_t nb);
// Whether the transforms hold a product of na by nb words (up to some
// 2^24 chunks of at least 16 bits).
bool wmul_ntt_fits(std::int32_t na, std::int32_t nb);
// wmul_ntt takes, by an estimate of their costs, one of two routes, both
// callable, same contract: one transform of the least power-of-two length
// 2N holding the product (wmul_ntt_whole), or, where the product's chunks
// fill at most 3/4 of it (wmul_ntt_splits), two of lengths N and N/2
// (wmul_ntt_split): the product modulo x^N - 1 and modulo x^(N/2) - u for
// u = t^(N/2) (t a fixed unit, t^N != 1), recombined before the Chinese
// remainder step. The whole route holds products of up to 2^23 chunks,
// the split one up to 3 2^22. Past that, up to 2^24 chunks, a third
// (wmul_ntt_twins): two transforms of length 2^23, the product modulo
// x^N - 1 and x^N - u (N = 2^23, u = t^N), recombined the same way.
void wmul_ntt_whole(word* r, const word* a, std::int32_t na, const word* b, std::int32_t nb);
bool wmul_ntt_splits(std::int32_t na, std::int32_t nb);
bool wmul_ntt_twins(std::int32_t na, std::int32_t nb);
// The twin pair of the least length N with 2N holding the product, for
// any product that wmul_ntt_split would take or one of up to 2^24 chunks.
void wmul_ntt_twin(word* r, const word* a, std::int32_t na, const word* b, std::int32_t nb);
void wmul_ntt_split(word* r, const word* a, std::int32_t na, const word* b, std::int32_t nb);
// r[0 .. na+nb) := a * b for products past the widest transform (b null
// gives a^2): both operands cut into pieces of half the widest transform,
// each piece transformed once, and the products of the pieces summed on
// each diagonal (block by block, in the cache) before one backward
// transform a diagonal. The spectra of both operands' pieces are held at
// once (some 90 bytes a word), the diagonal sums written over them; a
// longer operand with over three times the shorter's pieces goes by
// groups of as many pieces as the shorter has. r must not overlap a or
// b; na, nb >= 1.
void wmul_ntt_pieces(word* r, const word* a, std::int32_t na, const word* b, std::int32_t nb);

// The words K / 64 of the least modulus 2^K - 1 of at least `least` words
// for which the transforms form wrapped products (below); 0 when none fits.
std::int32_t wmul_wrap_words(std::int32_t least);
// r[0 .. nr) := a b modulo 2^(64 nr) - 1, for nr = wmul_wrap_words(k) for
// some k and na, nb <= nr words: the chunks' cyclic convolution, half the
// transform length of the whole product. The residue may come out as
// 2^(64 nr) - 1 itself for zero. r may not overlap a or b.
void wmul_ntt_wrap(word* r, std::int32_t nr, const word* a, std::int32_t na, const word* b,
                   std::int32_t nb);

// ---- Division ------------------------------------------------------------------------
// q[0 .. nn-dn+1) := n div d and r[0 .. dn) := n mod d, for nn >= dn and a
// normalised non-zero d; q and r must not overlap n or d (q may be null).
// Newton's reciprocal (below) once divisor and quotient both reach
// wide_newton_divide_words words.
// reads: wide_divide_words, wide_newton_divide_words, wide_karatsuba_words
void wdivrem(word* q, word* r, const word* n, std::int32_t nn, const word* d, std::int32_t dn);

// x[0 .. n] := the reciprocal of a[0 .. n), n >= 1 words with the top bit
// set: B^n <= x < 2 B^n and a x < B^(2n) <= a (x + 2). Newton's iteration
// on the leading half from newton_reciprocal_words words (at least 3, at
// most wide_newton_divide_words), (B^(2n) - 1) div a by the long division
// below. x must not overlap a.
// reads: newton_reciprocal_words and the product and division thresholds
void wreciprocal(word* x, const word* a, std::int32_t n);
// wdivrem's contract, by the reciprocal of the divisor's leading words
// (wreciprocal) for any lengths: wdivrem takes it when both the divisor
// and the quotient reach wide_newton_divide_words words.
void wdivrem_reciprocal(word* q, word* r, const word* n, std::int32_t nn, const word* d,
                        std::int32_t dn);

// ---- GCD ------------------------------------------------------------------------------
// g := gcd(a, b) for normalised non-zero a and b, by Lehmer's method,
// with half-GCD reductions first from wide_hgcd_words words
// (numbers/word_hgcd_impl.h); returns the length of g. a and b are
// overwritten (each needs room for max(na, nb) words); g must not overlap
// them. reads: wide_hgcd_words, hgcd_base_words, wide_divide_words,
// wide_karatsuba_words
std::int32_t wgcd(word* g, word* a, std::int32_t na, word* b, std::int32_t nb);

// q[0 .. na-nd+1) := a / d for a normalised non-zero d (nd words) that
// divides a (na >= nd words) exactly; returns the normalised length of q.
// a is overwritten; q must not overlap a or d. Hensel's division from the
// low words (Jebelean's exact division) with the factors 2 of d taken out
// of both; the long division (wdivrem) once both q and d reach
// wide_divide_words words. reads: wide_divide_words, wide_karatsuba_words
std::int32_t wdivexact(word* q, word* a, std::int32_t na, const word* d, std::int32_t nd);

// ---- Decimal groups ----------------------------------------------------------------
// groups := x (n words) in base 10^8, least significant group first, no
// leading zero group (zero is one group 0): divide and conquer by powers
// 10^(8 2^k) (formed once and kept, with their reciprocals from
// decimal_inverse_words words) from wide_decimal_words words; below it the
// digits base 10^16 as sums of the half-words times their place values.
// reads: wide_decimal_words, decimal_inverse_words and the product and
// division thresholds
void wdecimal(const word* x, std::int32_t n, std::vector<std::uint32_t>& groups);

// w[0 .. n) := the value of count >= 1 groups (base 10^8, each below 10^8,
// most significant first); returns n, the normalised length (w is resized
// to hold it and may keep zero words above). Divide and conquer from twice
// wide_decimal_words words: the low 2^k groups apart, the high ones times
// P_k = 10^(8 2^k) (the powers wdecimal keeps); Horner's rule by 10^16
// below. reads: wide_decimal_words and the product thresholds
std::int32_t wfrom_decimal(const std::uint32_t* groups, std::int64_t count, std::vector<word>& w);

// ---- Scratch --------------------------------------------------------------------------
// A growable word buffer kept between calls.
using word_buffer = growable_buffer<word>;

}  // namespace tavrin::kit
