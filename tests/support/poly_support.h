// Test support for polynomials: adjoined variables for a test, a builder
// that turns "3*x^2*y + 5" into a poly by its own simple rules, a reader back
// into RefPoly, printers, a representation validator, owning handles, and
// guards for the arithmetic modes.
//
//   PolyVars vars({"x", "y"});          // x level 1, y level 2
//   Poly p("3*x^2*y + 5");              // over the adjoined variables
//   EXPECT_TRUE(valid_poly(p));
//   EXPECT_EQ(read_poly(p), parse_ref("5 + 3*y*x^2", vars.names()));
#pragma once

#include <initializer_list>
#include <iosfwd>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/mode_guard.h"
#include "core/records.h"
#include "support/modulus_scope.h"
#include "support/refpoly.h"

namespace tavrin {

// gtest prints a poly in failure messages as its text and its structure,
// over the adjoined variables.
void PrintTo(polynode* p, std::ostream* os);

}  // namespace tavrin

namespace tavrin::test {

// gtest prints a reference polynomial over the adjoined variables.
void PrintTo(const RefPoly& r, std::ostream* os);

// ---- Adjoined variables ----------------------------------------------------------
// Adjoins the given variables for the guard's lifetime (the first is level 1):
// polynames gets fresh polydata records (let, depth, default fields),
// number_polys their count and polyvar their names in ascending byte order;
// no relations, no field levels. The destructor frees the records then in
// polynames and restores every one of these globals.
class PolyVars {
 public:
  PolyVars(std::initializer_list<std::string> names);
  explicit PolyVars(const std::vector<std::string>& names);
  ~PolyVars();
  PolyVars(const PolyVars&) = delete;
  PolyVars& operator=(const PolyVars&) = delete;

  const std::vector<std::string>& names() const { return names_; }
  // The record of level depth (1 = top).
  polypt level(int depth) const;

 private:
  std::vector<std::string> names_;
  polypt saved_polynames_;
  polypt saved_pseudo_;
  std::int32_t saved_number_polys_;
  std::int16_t saved_field_depth_;
  bool saved_modout_above_field_;
  std::vector<std::string> saved_polyvar_;
};

// The names of the adjoined variables, top first.
std::vector<std::string> current_var_names();

// ---- Arithmetic modes ----------------------------------------------------------------
// Modular arithmetic: ModulusScope (support/modulus_scope.h).
// Floating mode for the guard's lifetime.
class FloatingMode : public ArithModeGuard {
 public:
  FloatingMode() {
    flotemode = true;
    lintmode = false;
    modularmode = false;
    finf = false;
  }
};

// Word mode without a modulus for the guard's lifetime.
class WordMode : public ArithModeGuard {
 public:
  WordMode() {
    flotemode = false;
    lintmode = true;
    modularmode = false;
    finf = false;
  }
};

// ---- Building, reading, printing ------------------------------------------------------
// A fresh poly holding r, built by the representation's rules alone: leaves
// hold their values in the current mode's field (big: limbs; modular: the
// residue; word: the word; floating: flote).
poly build_poly(const RefPoly& r);
// build_poly(parse_ref(text, vars)); vars default to the adjoined variables.
poly make_poly(const std::string& text);
poly make_poly(const std::string& text, const std::vector<std::string>& vars);
// A fresh leaf holding v in the current mode.
poly make_leaf(const BigRef& v);

// The polynomial p over nvars variables (default: the adjoined ones), its
// leaves read in the current mode (floating values must be integral).
RefPoly read_poly(poly p);
RefPoly read_poly(poly p, int nvars);

// p as text over the adjoined variables, e.g. "3*x^2*y + 5".
std::string show_poly(poly p);
// p's structure: a list is "[" nodes "]" separated by "; ", a term is
// "e:" and its coefficient, a leaf its value; "nil" for nil. 3x^2+5 is
// "[2:3; 5]", y at level 2 is "[0:[1:1]]".
std::string dump_poly(poly p);

// Every node of p with its address, exponent, kind and links, and every
// leaf's number header with its size and the address and value of each limb:
// equal texts mean the same nodes, links and limbs, node for node.
std::string node_shape(poly p);

// Checks the representation: p not nil; in each list exponents strictly
// decreasing; a leaf has exponent 0 and is last (in Laurent mode only
// negative exponents may follow it); a term has a coefficient; no term of
// exponent 0 over a bare leaf (so every pad wraps a non-constant); no zero
// leaf except the whole polynomial 0; no negative exponent outside Laurent
// mode; no level below nvars (default: the adjoined ones); every number valid
// in the current mode (big: valid_bigint; modular: 0 <= lint < modulus).
::testing::AssertionResult valid_poly(poly p);
::testing::AssertionResult valid_poly(poly p, int nvars);

// ---- Owning handles --------------------------------------------------------------------
// Owns a polynomial (freed by free_poly); nil when empty.
class Poly {
 public:
  Poly() = default;
  explicit Poly(const std::string& text) : p_(make_poly(text)) {}
  Poly(const std::string& text, const std::vector<std::string>& vars) : p_(make_poly(text, vars)) {}
  explicit Poly(const RefPoly& r) : p_(build_poly(r)) {}
  // Takes ownership of p.
  static Poly adopt(poly p) {
    Poly r;
    r.p_ = p;
    return r;
  }
  ~Poly();
  Poly(Poly&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  Poly& operator=(Poly&& o) noexcept;
  Poly(const Poly&) = delete;
  Poly& operator=(const Poly&) = delete;

  poly get() const { return p_; }
  operator poly() const { return p_; }  // NOLINT: pass straight to the API
  poly operator->() const { return p_; }
  // The cell itself, for routines that write a result.
  poly* cell() { return &p_; }
  poly release() {
    poly r = p_;
    p_ = nullptr;
    return r;
  }
  RefPoly ref() const { return read_poly(p_); }
  std::string str() const { return show_poly(p_); }

 private:
  poly p_ = nullptr;
};

// Owns a value cell (freed by free_quoly); nil when empty.
class Value {
 public:
  Value() = default;
  // A number value holding v in the current mode.
  static Value number(const BigRef& v);
  // A rational function numer / denom (denom "" for none), both parsed over
  // the adjoined variables.
  static Value ratfun(const std::string& numer, const std::string& denom = "");
  static Value adopt(quoly q) {
    Value r;
    r.q_ = q;
    return r;
  }
  ~Value();
  Value(Value&& o) noexcept : q_(o.q_) { o.q_ = nullptr; }
  Value& operator=(Value&& o) noexcept;
  Value(const Value&) = delete;
  Value& operator=(const Value&) = delete;

  quoly get() const { return q_; }
  operator quoly() const { return q_; }  // NOLINT: pass straight to the API
  quoly operator->() const { return q_; }
  quoly* cell() { return &q_; }

 private:
  quoly q_ = nullptr;
};

// The value of a number in the current mode, as a BigRef (floating values
// must be integral; modular values are the residues).
BigRef number_value(const number* n);
// A fresh number holding v in the current mode.
imptr make_number(const BigRef& v);

}  // namespace tavrin::test
