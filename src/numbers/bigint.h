// Big integers: setting, copying, negation, comparison, addition and
// subtraction, and small predicates.
//
// Representation (records.h): limbs in base B = 2^28, most significant first,
// every limb with the number's sign, |limb| < B, no leading zero limb, zero is
// one limb 0, size = number of limbs, tail = the last limb.
//
// Mode dispatch: the operations below test the global flags in a fixed order
// (F floating: flote; M modular, with finf the characteristic-2 field; W word:
// lint; B big integer). Operations marked "big only" ignore the flags; their
// callers dispatch. Every operation that writes a number forms the whole
// result before it frees the receiver's old limbs, so the receiver may be an
// operand.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

constexpr std::int32_t limb_base = 268435456;  // 2^28
constexpr int limb_bits = 28;

// ---- Setting and copying -----------------------------------------------------
// x := n. F: flote; W: lint, unchanged (a caller in modular mode passes a
// residue); B: x's limbs are freed, then one limb when |n| < 2^28, else two
// (n quo 2^28, n rem 2^28), both with n's sign. Other fields untouched.
void setvalue(std::int32_t n, imptr x);

// x := -num. M: finf copies lint; else modulus - lint (0 stays 0). F: flote.
// W: lint negated with 32-bit wrap-around. B: a fresh negated list replaces
// x's limbs (makeneg(x, x) works); a header without limbs gives x none.
void makeneg(imptr num, imptr x);

// x := n. F: flote, and lint too when word mode is on (then stops); floating
// without word mode goes on to copy the limbs. W: lint. B: a fresh copy of
// n's limbs replaces x's. num_assign(x, x) is allowed. x must be a header.
void num_assign(imptr n, imptr x);

// The big copy of num_assign whatever the mode (word and floating mode off
// for the copy, restored afterwards).
void spec_num_assign(imptr n, imptr x);

// *x := nil when the limb p holds 0 (zero is represented by no number);
// otherwise a new header with a fresh copy of `size` limbs starting at p.
void faster_num_assign(numptr p, std::int16_t size, imptrptr x);

// num := -num. F: flote. W: lint; in modular mode a residue stays a residue
// (modulus - x, 0 stays 0, unchanged in characteristic 2). B: every limb.
void in_place_neg(imptr num);

// m := |n|. The sign is read from n's limbs (from the mode's value when n
// has none). Non-negative: as num_assign; negative: as makeneg.
void abs_val_num(imptr n, imptr m);

// x's limbs are freed (whatever the mode) and x := the big integer n
// (one limb for |n| < 2^28).
void special_set(std::int32_t n, imptr x);

// ---- Comparison ------------------------------------------------------------
bool bigger(imptr n, imptr m);   // F, W, B: n > m
bool equal(imptr n, imptr m);    // F, W, B: n = m
bool negtive(imptr n, imptr m);  // M, F, W, B: n = -m
// n = 1 or n = -1 in the current mode (word mode compares the plain words, so
// the residue modulus - 1 is not -1); *its_minus1 tells which.
bool equal_to_pm1(imptr n, bool* its_minus1);
bool abs_larger(imptr firstn, imptr secondn);  // F, W, B: |firstn| > |secondn|
bool spec_equal(imptr n, imptr m);             // big only: n = m
// Big only: |firstn| > |secondn|, or equalok when the magnitudes are equal.
bool int_abs_bigger(imptr firstn, imptr secondn, bool equalok);
bool is_longint(imptr num, std::int32_t n);  // big only: num is the one-limb n

// ---- Addition and subtraction (big only) --------------------------------------
// n := n + m in place; m is unchanged; n may be m. n's limbs are reused; new
// limbs only for a longer m, a carry out of the top, and a spare.
void fastsum(imptr n, imptr m);
// n := n - m in place; n may be m.
void fastdiff(imptr n, imptr m);
// ans := p + q (resp. p - q), p and q limb lists of nsize and msize limbs
// (most significant first); the operands are untouched; ans's old limbs are
// freed after the result is formed, so p or q may be ans's own list.
void medsum(std::int16_t nsize, std::int16_t msize, numptr p, numptr q, imptr ans);
void meddiff(std::int16_t nsize, std::int16_t msize, numptr p, numptr q, imptr ans);

// ---- Measures and predicates --------------------------------------------------
// Bit length of a positive (logg2) or negative (logg2_neg) big integer.
std::int32_t logg2(imptr q);
std::int32_t logg2_neg(imptr q);
// Highest set bit of |q| (-1 for 0); in modular mode |q| is first replaced by
// modulus - |q| when it exceeds modulus div 2.
std::int32_t logg2lint(std::int32_t q);
bool power_of_two(std::int32_t n);
inline std::int32_t maxx(std::int32_t a, std::int32_t b) { return a > b ? a : b; }
inline std::int32_t minn(std::int32_t a, std::int32_t b) { return a < b ? a : b; }
inline std::int16_t Iminn(std::int16_t a, std::int16_t b) { return a < b ? a : b; }

// ---- Limb-list helpers (big only, non-negative operands where stated) -----------
// x := a copy of `size` limbs starting at p (x's old limbs freed afterwards).
void fast_num_assign(numptr p, std::int16_t size, imptr x);
// The same copy under its second name (the two are interchangeable).
void fast_assign(numptr p, std::int16_t size, imptr x);
// Non-negative limb lists: n > p.
bool fast_bigger(numptr n, numptr p, std::int16_t nsize, std::int16_t psize);
// n = m; otherwise *firstone := n is the larger (by size, then by limbs).
bool equal_which(imptr n, imptr m, bool* firstone);
// Non-negative n divided in place by 2, 4 and 2^m (0 <= m < 28).
void shift_right_1(imptr n);
void shift_right_2(imptr n);
void gen_shift_right(imptr n, std::int32_t m);
// Appends x zero limbs to a non-zero n (n * 2^(28x)).
void fillout(imptr n, std::int32_t x);
// Non-negative n multiplied in place by 2^k.
void shift_left(imptr n, std::int32_t k);
// Keeps the lowest (pseudodet.size - 1) limbs of n, dropping leading zeros.
void fast_modout(imptr n, imptr pseudodet);

// ---- Constant numbers --------------------------------------------------------
// Builds number_1, number_m1, tens_base, num_2_14 (limbs, lint and flote) and
// ones[] (core/globals.h). Needs the limb pool; called once at start-up.
void init_number_constants();

// A fresh big integer sign * a[0 .. n), digits base 2^28 least significant
// first (leading zeros dropped; n = 0 is 0).
imptr number_from_digits(const std::uint32_t* a, std::int32_t n, std::int32_t sign);

// ---- The limb limit ------------------------------------------------------------
// While a LimbTrap is open, a result longer than a number may hold (32,767
// limbs) throws LimbTrap::reached, with the operands left valid, instead of
// reporting error 302: a computation that has another way to its answer
// takes that way. Traps nest; none open: the error as always.
class LimbTrap {
 public:
  struct reached {};
  LimbTrap() { ++depth_; }
  ~LimbTrap() { --depth_; }
  LimbTrap(const LimbTrap&) = delete;
  LimbTrap& operator=(const LimbTrap&) = delete;
  static bool open() { return depth_ > 0; }

 private:
  static inline std::int32_t depth_ = 0;
};

}  // namespace tavrin
