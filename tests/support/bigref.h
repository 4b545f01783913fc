// A small, slow, independent big-integer type for checking Tavrin's
// arithmetic: sign and magnitude in base 2^32 words, schoolbook products,
// bitwise long division. It shares no code with src/.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/records.h"

namespace tavrin::test {

class BigRef {
 public:
  BigRef() = default;
  BigRef(std::int64_t v);  // NOLINT: implicit on purpose, for literals
  static BigRef from_decimal(const std::string& s);
  static BigRef pow2(unsigned k);

  std::string to_decimal() const;
  bool is_zero() const { return mag_.empty(); }
  bool negative() const { return neg_; }
  int sign() const { return is_zero() ? 0 : (neg_ ? -1 : 1); }
  std::size_t bit_length() const;
  bool bit(std::size_t k) const;
  // The value as an int64 (it must fit).
  std::int64_t to_int64() const;

  BigRef operator-() const;
  BigRef abs() const;
  friend BigRef operator+(const BigRef& a, const BigRef& b);
  friend BigRef operator-(const BigRef& a, const BigRef& b);
  friend BigRef operator*(const BigRef& a, const BigRef& b);
  // Truncated toward zero; the remainder has the sign of a.
  friend void divmod(const BigRef& a, const BigRef& b, BigRef& q, BigRef& r);
  friend BigRef operator/(const BigRef& a, const BigRef& b);
  friend BigRef operator%(const BigRef& a, const BigRef& b);
  friend BigRef operator<<(const BigRef& a, unsigned k);
  friend bool operator==(const BigRef& a, const BigRef& b) {
    return a.neg_ == b.neg_ && a.mag_ == b.mag_;
  }
  friend bool operator<(const BigRef& a, const BigRef& b);
  friend bool operator>(const BigRef& a, const BigRef& b) { return b < a; }
  friend bool operator<=(const BigRef& a, const BigRef& b) { return !(b < a); }
  friend bool operator>=(const BigRef& a, const BigRef& b) { return !(a < b); }
  friend bool operator!=(const BigRef& a, const BigRef& b) { return !(a == b); }

  // Non-negative gcd by Euclid.
  static BigRef gcd(BigRef a, BigRef b);

  const std::vector<std::uint32_t>& magnitude() const { return mag_; }

 private:
  static int cmp_mag(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b);
  static std::vector<std::uint32_t> add_mag(const std::vector<std::uint32_t>& a,
                                            const std::vector<std::uint32_t>& b);
  // a - b with |a| >= |b|.
  static std::vector<std::uint32_t> sub_mag(const std::vector<std::uint32_t>& a,
                                            const std::vector<std::uint32_t>& b);
  void trim();

  bool neg_ = false;
  std::vector<std::uint32_t> mag_;  // little-endian, no leading zero words
};

std::ostream& operator<<(std::ostream& os, const BigRef& v);

// ---- Bridges to Tavrin's numbers ---------------------------------------------
// The big-integer value of x's limbs.
BigRef to_ref(const number* x);
// A fresh Tavrin number (from newimag) holding v in canonical limbs; the
// limbs are built here by hand from v's bits, not by the code under test.
imptr from_ref(const BigRef& v);
// Writes v's canonical limbs into the existing header x (old limbs freed).
void assign_ref(imptr x, const BigRef& v);
// The limbs of x, most significant first.
std::vector<std::int32_t> limbs_of(const number* x);

// Checks the big-integer invariants: every limb with one sign, |limb| < 2^28,
// no leading zero limb (zero is one limb 0), size = list length, tail = last.
::testing::AssertionResult valid_bigint(const number* x);

// ---- Random test values -----------------------------------------------------
// A random value of 1 .. max_limbs base-2^28 limbs with random sign, biased
// towards zero limbs, limbs of 2^28 - 1 and short lengths.
BigRef random_big(std::mt19937_64& rng, int max_limbs);
// Exactly `limbs` limbs (a non-zero top limb), random sign, edge-biased.
BigRef random_big_exact(std::mt19937_64& rng, int limbs);

// An even value to plant as a common factor, by kind mod 3: 2^64 + 2, 2^t,
// or an odd value of up to 92 limbs times 2^t (1 <= t <= 200).
BigRef random_even_factor(std::mt19937_64& rng, int kind);

// The seed of randomised tests: TAVRIN_TEST_SEED or a fixed default; and the
// iteration multiplier TAVRIN_TEST_MULTIPLIER (default 1).
std::uint64_t test_seed();
int test_iterations(int base);

}  // namespace tavrin::test
