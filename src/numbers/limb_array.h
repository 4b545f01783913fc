// Magnitude arrays: the contiguous form that the multiplication, division and
// GCD kernels of numbers/ work on.
//
// A magnitude array holds |x| in base B = 2^28 as std::uint32_t digits, least
// significant first (the reverse of a limb list), each digit < B. A length n
// counts digits; "normalised" means a[n-1] != 0, or n = 1 for zero. Kernels
// take normalised operands unless their comment says otherwise.
//
// The public routines gather their operands' limbs into such arrays, run a
// kernel and build fresh limb lists from the result: the operands are only
// read, so they may be the result records themselves.
#pragma once

#include <cstdint>
#include <vector>

#include "numbers/bigint.h"
#include "numbers/limb_list.h"

namespace tavrin::kit {

using digit = std::uint32_t;
constexpr digit digit_mask = static_cast<digit>(limb_base - 1);

// ---- Between limb lists and arrays ------------------------------------------
// out[0 .. count) := the magnitudes of `count` limbs from head (most
// significant first in the list, least significant first in out).
void gather(numptr head, std::int32_t count, digit* out);
inline void gather(imptr x, digit* out) { gather(x->head, x->size, out); }
// gather(x, out) for x of one limb or more, returning |x| mod d (0 < d < B)
// as mag_mod_1 would, folded in the same walk.
digit gather_mod_1(imptr x, digit* out, digit d);

// A fresh limb list holding sign * a[0 .. n) (sign +1 or -1), leading zero
// digits dropped, zero as one limb 0. *penult (when not null) := the limb
// before the tail, nil for a one-limb list.
limb_list build_limbs(const digit* a, std::int32_t n, std::int32_t sign, numptr* penult = nullptr);

// The sign of a big integer read from its head limb: -1 or +1 (zero is +1).
inline std::int32_t sign_of_number(imptr x) { return x->head->value < 0 ? -1 : 1; }
inline bool is_zero_number(imptr x) { return x->size == 1 && x->head->value == 0; }

// ---- Small operations -----------------------------------------------------------
inline std::int32_t normalised_length(const digit* a, std::int32_t n) {
  while (n > 1 && a[n - 1] == 0) --n;
  return n;
}
inline bool mag_is_zero(const digit* a, std::int32_t n) { return n == 1 && a[0] == 0; }
inline bool mag_is_one(const digit* a, std::int32_t n) { return n == 1 && a[0] == 1; }

// Sign of a - b for normalised a and b.
int mag_compare(const digit* a, std::int32_t na, const digit* b, std::int32_t nb);

// r := a + b; r has room for max(na, nb) + 1 digits and may be a or b.
// Returns the normalised length of r.
std::int32_t mag_add(digit* r, const digit* a, std::int32_t na, const digit* b, std::int32_t nb);

// a := a - b in place; precondition a >= b. Returns the normalised length.
std::int32_t mag_sub_inplace(digit* a, std::int32_t na, const digit* b, std::int32_t nb);

// r[0 .. n] := a[0 .. n) * m for m < B (n + 1 digits); r may be a.
void mag_mul_1(digit* r, const digit* a, std::int32_t n, digit m);

// a := a div 2^bits in place (bits >= 0); returns the normalised length.
std::int32_t mag_shift_right(digit* a, std::int32_t n, std::int32_t bits);

// r := a * 2^bits; r has room for n + bits/28 + 1 digits and may be a.
// Returns the normalised length.
std::int32_t mag_shift_left(digit* r, const digit* a, std::int32_t n, std::int32_t bits);

// The number of trailing zero bits of a non-zero a.
std::int32_t mag_trailing_zeros(const digit* a, std::int32_t n);

// ---- Products ---------------------------------------------------------------------
// r[0 .. na+nb) := a * b by rows (schoolbook); r must not overlap a or b.
void mag_mul_rows(digit* r, const digit* a, std::int32_t na, const digit* b, std::int32_t nb);

// r[0 .. na+nb) := a * b, by rows or by Karatsuba's recursion: the recursion
// splits when both lengths exceed `cut` and neither is twice the other (the
// same test at every level). a and b normalised; r must not overlap them.
void mag_mul(digit* r, const digit* a, std::int32_t na, const digit* b, std::int32_t nb,
             std::int32_t cut);

// ---- Signed sums of scaled rows ----------------------------------------------------
// A sum of rows of digits, each times a signed factor below B in magnitude,
// kept in signed 64-bit cells without carrying: each product is below
// 2^56, so lazy_row_terms of them stay below 2^63 in any cell.
constexpr std::int32_t lazy_row_terms = 127;

// acc[0 .. n) += m * a[0 .. n) for |m| < B (no carry).
void lazy_addmul_1(std::int64_t* acc, const digit* a, std::int32_t n, std::int64_t m);

// The sum of acc[i] B^i over acc[0 .. n) (each |acc[i]| < 2^63) as a
// magnitude r (room for n + 2 digits) and *sign (-1 or +1); returns r's
// normalised length. acc[0 .. n) is cleared for the next sum.
std::int32_t lazy_settle(std::int64_t* acc, std::int32_t n, digit* r, std::int32_t* sign);

// ---- Division -----------------------------------------------------------------------
// Schoolbook long division, one quotient digit per step, each digit
// estimated from the top two digits of the window and of the divisor and
// then corrected by multiply and subtract.
// u: nu >= nd digits, with room for nu + 1 (u[nu] is used); d: nd digits,
// normalised and non-zero. Afterwards u[0 .. nd) holds u mod d (the digits
// above it are 0) and, when q is not null, q[0 .. nu-nd] holds u div d
// (its top digit may be 0).
void mag_divmod(digit* u, std::int32_t nu, const digit* d, std::int32_t nd, digit* q);

// Division by a fixed digit 0 < d < B through its reciprocal floor(2^64 /
// d) (2^64 - 1 for d = 1), formed once: each step divides r B + a (below
// 2^56, r < d) by a product and at most one correction instead of a
// hardware division; x inv / 2^64 lies within 2^-8 below x / d, so the
// estimate is the quotient or one less.
struct digit_divider {
  std::uint64_t d;
  std::uint64_t inv;
  explicit digit_divider(digit divisor)
      : d(divisor),
        inv(divisor == 1
                ? ~std::uint64_t{0}
                : static_cast<std::uint64_t>((static_cast<unsigned __int128>(1) << 64) / divisor)) {
  }
  // Returns (r B + a) div d; r := (r B + a) mod d.
  std::uint64_t step(std::uint64_t& r, digit a) const {
    const std::uint64_t x = (r << 28) | a;
    auto q = static_cast<std::uint64_t>((static_cast<unsigned __int128>(x) * inv) >> 64);
    r = x - q * d;
    if (r >= d) {
      r -= d;
      ++q;
    }
    return q;
  }
};

// q := a / d for 0 < d < B dividing a exactly; returns q's normalised
// length. The factors 2 of d by a shift, then Hensel's division from the
// low end on pairs of digits (56 bits a step, by the inverse of the odd
// part modulo 2^64): half the dependent steps of one digit a step. q may
// be a.
std::int32_t mag_divexact_1(digit* q, const digit* a, std::int32_t n, digit d);

// a mod d for 0 < d < B: three digits a step, r B^3 + a_i B^2 + a_(i-1) B
// + a_(i-2) folded to r (B^3 mod d) + ... below 2^58 and reduced once by
// digit_divider's reciprocal (a third of the dependent steps of
// dividing one digit a step).
digit mag_mod_1(const digit* a, std::int32_t n, digit d);

// One quotient digit of a two-digit window (p0, p1) by a one-digit divisor
// d0 > p0: *q := (p0 B + p1) div d0, *r := (p0 B + p1) mod d0.
void one_digit_step(digit p0, digit p1, digit d0, digit* q, digit* r);

// ---- Scratch ------------------------------------------------------------------------------
// Scratch arrays are kept between calls (the kernels run one at a time), so
// that repeated operations do not go to the heap; a request no longer than
// the array reuses it with whatever room it has. Built with
// TAVRIN_EXACT_BUFFERS (the sanitizer build), every scratch array is
// allocated at exactly the length last asked for, as nodes are taken one by
// one from the heap there: a kernel that writes one word past what its
// caller reserved is caught at once, not hidden by the room left from an
// earlier, longer request.
#ifdef TAVRIN_EXACT_BUFFERS
inline constexpr bool exact_buffers = true;
#else
inline constexpr bool exact_buffers = false;
#endif

// With exact_buffers: v's allocation made exactly v.size() long (its
// elements kept). Otherwise nothing.
template <class T>
void fit_exactly(std::vector<T>& v) {
  if constexpr (exact_buffers) {
    if (v.capacity() != v.size()) std::vector<T>(v.begin(), v.end()).swap(v);
  }
}

// v[0 .. n) for scratch use, what fits of its elements kept: grown (by
// `spare` more) when shorter, else as it is; exactly n long with
// exact_buffers.
template <class T>
T* scratch_of(std::vector<T>& v, std::int32_t n, std::int32_t spare) {
  const auto want = static_cast<std::size_t>(n);
  if constexpr (exact_buffers) {
    v.resize(want);
    fit_exactly(v);
  } else if (want > v.size()) {
    v.resize(want + static_cast<std::size_t>(spare));
  }
  return v.data();
}

// A growable buffer of digits or words kept between calls.
template <class T>
class growable_buffer {
 public:
  T* get(std::int32_t n) { return scratch_of(v_, n, 16); }

 private:
  std::vector<T> v_;
};

using digit_buffer = growable_buffer<digit>;

}  // namespace tavrin::kit
