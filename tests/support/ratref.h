// A small, slow, independent exact rational for checking Tavrin's
// substitutions, evaluations and rational functions: a BigRef numerator over
// a positive BigRef denominator in lowest terms, and the value of a RefPoly
// (or of a quotient of two) at a point of rationals. It shares no code with
// src/.
//
//   RatRef h(1, 3);                                  // 1/3
//   RatRef v = evaluate(parse_ref("x^2*y - 1", names), {h, RatRef(2)});
//   EXPECT_EQ(v, RatRef(-7, 9));
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "support/bigref.h"
#include "support/refpoly.h"

namespace tavrin::test {

class RatRef {
 public:
  RatRef() = default;
  RatRef(std::int64_t n) : num_(n) {}   // NOLINT: implicit on purpose, for literals
  RatRef(const BigRef& n) : num_(n) {}  // NOLINT
  // n / d in lowest terms; d must not be 0 (fails the current test, gives 0).
  RatRef(const BigRef& n, const BigRef& d);

  const BigRef& num() const { return num_; }
  const BigRef& den() const { return den_; }  // always positive
  bool is_zero() const { return num_.is_zero(); }
  bool is_integer() const { return den_ == BigRef(1); }

  RatRef operator-() const;
  friend RatRef operator+(const RatRef& a, const RatRef& b);
  friend RatRef operator-(const RatRef& a, const RatRef& b);
  friend RatRef operator*(const RatRef& a, const RatRef& b);
  // b must not be 0 (fails the current test, gives 0).
  friend RatRef operator/(const RatRef& a, const RatRef& b);
  // a^k; a negative k inverts (a must then not be 0).
  RatRef pow(std::int64_t k) const;
  friend bool operator==(const RatRef& a, const RatRef& b) {
    return a.num_ == b.num_ && a.den_ == b.den_;
  }
  friend bool operator!=(const RatRef& a, const RatRef& b) { return !(a == b); }

  // "n" or "n/d".
  std::string to_string() const;

 private:
  BigRef num_ = 0;
  BigRef den_ = 1;
};

std::ostream& operator<<(std::ostream& os, const RatRef& v);

// A random rational: numerator in -max_num .. max_num, denominator in
// 1 .. max_den; biased towards 0, +-1 and integers.
RatRef random_ratref(std::mt19937_64& rng, std::int64_t max_num, std::int64_t max_den);

// The value of p with point[i] substituted for variable i (index 0 the
// top). point must have p.nvars() entries; negative exponents are allowed
// for non-zero values.
RatRef evaluate(const RefPoly& p, const std::vector<RatRef>& point);

// The value of num / den at the point; nullopt when den vanishes there.
std::optional<RatRef> evaluate(const RefPoly& num, const RefPoly& den,
                               const std::vector<RatRef>& point);

}  // namespace tavrin::test
