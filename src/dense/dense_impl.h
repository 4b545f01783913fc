// Helpers shared by the dense-array routines of dense/: residue sums,
// differences and products with the modulus fixed for one call, and the
// diagnostic lines of the consistency checks.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/errors.h"
#include "core/globals.h"
#include "core/ring.h"
#include "numbers/word_field.h"
#include "numbers/word_mod.h"

namespace tavrin::dense_detail {

// z[0 .. nx + ny - 1) := x[0 .. nx) * y[0 .. ny) modulo modul (a modulus
// below 2^31, residues in 0 .. modul - 1), by number-theoretic transforms
// modulo two or three primes and the Chinese remainder theorem
// (dense_ntt.cpp). z must be neither x nor y.
void ntt_product(const std::int32_t* x, std::int32_t nx, const std::int32_t* y, std::int32_t ny,
                 std::int32_t* z, std::int32_t modul);
// ntt_product's two routes, same contract, chosen by a cost estimate: one
// transform of the least power-of-two length 2N holding the product
// (ntt_product_whole), or, where the product fills at most 3/4 of it
// (ntt_product_splits), the kit's split pair of lengths N and N/2
// (ntt_product_split).
void ntt_product_whole(const std::int32_t* x, std::int32_t nx, const std::int32_t* y,
                       std::int32_t ny, std::int32_t* z, std::int32_t modul);
bool ntt_product_splits(std::int32_t nx, std::int32_t ny);
void ntt_product_split(const std::int32_t* x, std::int32_t nx, const std::int32_t* y,
                       std::int32_t ny, std::int32_t* z, std::int32_t modul);

// z[0 .. nx + ny - 1) := x * y modulo modul as ntt_product (any lengths),
// summed from the products of pieces of at most `piece` coefficients of
// each operand (dense_newton.cpp): how products longer than the longest
// transform are formed. z must be neither x nor y.
void ntt_product_by_pieces(const std::int32_t* x, std::int32_t nx, const std::int32_t* y,
                           std::int32_t ny, std::int32_t* z, std::int32_t modul,
                           std::int32_t piece);

// -y for a residue of p; x + y and x - y are the kit's add_residues and
// sub_residues (numbers/word_field.h).
inline std::int32_t neg_residue(std::int32_t y, std::int32_t p) { return y == 0 ? 0 : p - y; }

// The ring of one call: the modulus, and whether sums are exclusive or.
struct Residues {
  std::int32_t p;
  bool char2;
  static Residues of(const Ring& ring) { return {ring.modulus, ring.char2}; }
  static Residues current() { return of(Ring::current()); }
  std::int32_t add(std::int32_t x, std::int32_t y) const {
    return char2 ? (x ^ y) : add_residues(x, y, p);
  }
};

// The elimination loop, shared by the long divisions and the GCD loops:
// with the divisor y of degree dy and inv the inverse of its leading coefficient, a
// step at the dividend's degree cur takes the quotient coefficient
// c = x[cur]*inv of t^(cur - dy) and sets x[j] := x[j] - c*y[j - i] for
// j = cur - 1 down to i = cur - dy (x[cur] is left: it lies above the new
// degree). The entries that come out 0 from the top are counted in the same
// pass, so the degree drops over a whole run of zeros at once; when the pass
// is all zeros the untouched entries below are scanned too. The loop ends
// when cur < dy, or with degree -1 when x has become zero.
//
// The form of one elimination step supplies quotient(lead, inv), set(c)
// (the quotient coefficient of the next pass) and update(x, y), the new
// value of x - c*y.
//
// Characteristic 2: x exclusive-or the field product c*y.
class FieldForm {
 public:
  std::int32_t quotient(std::int32_t lead, std::int32_t inv) const {
    return modmult(static_cast<std::uint32_t>(lead), static_cast<std::uint32_t>(inv));
  }
  void set(std::int32_t c) { c_ = static_cast<std::uint32_t>(c); }
  std::int32_t update(std::int32_t x, std::int32_t y) const {
    return x ^ modmult(c_, static_cast<std::uint32_t>(y));
  }

 private:
  std::uint32_t c_ = 0;
};

// The elimination loop on x (degree cur) by y (degree dy), quotient
// coefficients into q when q is not nil (q[0 .. cur - dy] zeroed by the
// caller). Returns the remainder's degree (-1 for zero, with *all_zeros
// true). Runs at least one step only when cur >= dy.
template <class Form>
std::int32_t eliminate(std::int32_t* x, const std::int32_t* y, std::int32_t* q, std::int32_t cur,
                       std::int32_t dy, std::int32_t inv, Form form, bool* all_zeros) {
  while (cur >= dy) {
    const std::int32_t i = cur - dy;
    *all_zeros = true;
    const std::int32_t c = form.quotient(x[cur], inv);
    if (q != nullptr) q[i] = c;
    form.set(c);
    std::int32_t j = cur - 1;
    for (; j >= i; --j) {
      x[j] = form.update(x[j], y[j - i]);
      if (x[j] != 0) break;
    }
    if (j >= i) {
      *all_zeros = false;
      cur = j;
      for (--j; j >= i; --j) x[j] = form.update(x[j], y[j - i]);
    } else {
      cur = i - 1;
      while (cur >= 0 && x[cur] == 0) --cur;
      if (cur < 0) break;
      *all_zeros = false;
    }
  }
  return cur;
}

// Work arrays of gcd_array size for the recursive routines (the Karatsuba
// levels, the half-GCD levels): a stack of heap arrays, each allocated the
// first time the stack grows that deep and then reused for the rest of the
// run. A guard takes `count` arrays from the top and gives them back when it
// ends (guards nest like the calls that hold them, unwinding included). The
// arrays hold whatever their last user left.
class WorkArrays {
 public:
  static constexpr int max_count = 8;
  // count: 1 .. max_count.
  explicit WorkArrays(int count);
  ~WorkArrays();
  WorkArrays(const WorkArrays&) = delete;
  WorkArrays& operator=(const WorkArrays&) = delete;
  std::int32_t* operator[](int k) const { return arrays_[k]; }

 private:
  std::int32_t* arrays_[max_count];
  int count_;
};

// The Karatsuba steps taken since start, by kind, so that tests can tell
// which method a product used.
struct KaratsubaSteps {
  std::uint64_t balanced = 0;
  std::uint64_t unbalanced = 0;
  std::uint64_t transforms = 0;  // products by number-theoretic transforms
};
extern KaratsubaSteps karatsuba_steps;

// Prints a diagnostic line of integers; the format's conversions are all
// "%ld".
template <class... Args>
void diagnostic(const char* format, Args... values) {
  std::printf(format, static_cast<long>(values)...);
}

// The trimmed degree: from top down while the entry is 0, not below low
// (low - 1 when every entry of [low, top] is 0).
inline std::int32_t trim_degree(const std::int32_t* z, std::int32_t top, std::int32_t low) {
  while (top >= low && z[top] == 0) --top;
  return top;
}

}  // namespace tavrin::dense_detail
