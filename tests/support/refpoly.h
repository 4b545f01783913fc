// A small, slow, independent multivariate polynomial for checking Tavrin's
// polynomial code: a map from exponent vectors to non-zero BigRef
// coefficients, with +, -, * and powers, a parser for texts such as
// "3*x^2*y - (x + 1)^3 + 5" and a printer. It shares no code with src/.
#pragma once

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "support/bigref.h"

namespace tavrin::test {

class RefPoly {
 public:
  // Exponents by variable, index 0 the top variable (level 1).
  using Exps = std::vector<std::int32_t>;

  explicit RefPoly(int nvars = 0) : nvars_(nvars) {}
  static RefPoly constant(int nvars, const BigRef& c);
  // The variable `index` (0 = top) raised to e.
  static RefPoly variable(int nvars, int index, std::int32_t e = 1);

  int nvars() const { return nvars_; }
  // The terms, every coefficient non-zero, in ascending exponent order.
  const std::map<Exps, BigRef>& terms() const { return terms_; }
  bool is_zero() const { return terms_.empty(); }
  // Adds c * monomial(e) (like terms are combined, zeros dropped).
  void add_term(const Exps& e, const BigRef& c);
  // The coefficient of monomial(e) (0 when absent).
  BigRef coefficient(const Exps& e) const;

  friend RefPoly operator+(const RefPoly& a, const RefPoly& b);
  friend RefPoly operator-(const RefPoly& a, const RefPoly& b);
  friend RefPoly operator*(const RefPoly& a, const RefPoly& b);
  RefPoly operator-() const;
  RefPoly pow(unsigned k) const;
  // Every coefficient reduced into 0 .. m-1 (zeros dropped).
  RefPoly reduced_mod(const BigRef& m) const;
  // Every coefficient multiplied by c.
  RefPoly scaled(const BigRef& c) const;
  friend bool operator==(const RefPoly& a, const RefPoly& b) {
    return a.nvars_ == b.nvars_ && a.terms_ == b.terms_;
  }

  // "3*x^2*y + 5", terms in descending order of the exponent vectors; "0".
  std::string to_string(const std::vector<std::string>& names) const;

 private:
  int nvars_;
  std::map<Exps, BigRef> terms_;
};

// ---- Other coefficient rings ------------------------------------------------------
// The coefficients of a and b read as elements of GF(2^8) (field_size 256,
// field polynomial x^8 + x^4 + x^3 + x^2 + 1) or GF(2^16) (field_size 65536,
// x^16 + x^12 + x^3 + x + 1): bit k is the coefficient of x^k. Coefficients
// must already lie in 0 .. field_size - 1.
RefPoly gf2_sum(const RefPoly& a, const RefPoly& b);
RefPoly gf2_product(const RefPoly& a, const RefPoly& b, int field_size);
// One field product by shift-and-add with reduction.
std::uint32_t gf2_mul(std::uint32_t a, std::uint32_t b, int field_size);
// Every coefficient as the signed 32-bit word it wraps to (word mode).
RefPoly wrapped32(const RefPoly& a);

// Parses a polynomial over the variables `vars` (index 0 the top variable):
// integers, variable names, + - * ^ and parentheses; a variable may take a
// negative exponent ("x^-2"), a parenthesised expression a non-negative one.
// An unknown name or a syntax error fails the current test and gives 0.
RefPoly parse_ref(const std::string& text, const std::vector<std::string>& vars);

// A random polynomial in nvars variables: up to max_terms terms, exponents
// 0 .. max_exp (at some levels none, so pads arise), coefficients of up to
// max_limbs limbs; biased towards constants, single terms and zero.
RefPoly random_refpoly(std::mt19937_64& rng, int nvars, int max_terms, int max_exp, int max_limbs);

}  // namespace tavrin::test
