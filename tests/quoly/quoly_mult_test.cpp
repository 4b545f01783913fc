// Products and quotients of values through both families: known answers
// with the GCDs they may take, and the errors with what they leave behind.
#include "quoly/quoly_mult.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/node_handles.h"
#include "poly/poly_repr.h"
#include "quoly/quoly.h"
#include "quoly/quoly_normal_form.h"
#include "quoly/quoly_quot.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/relation_scope.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

// n op m through the in-place form (from a copy of n) or the three-argument
// form; the divisor's and the kept operands' nodes must come back as they
// were.
Value apply(char op, bool in_place, quoly n, quoly m) {
  const std::string n_shape = value_shape(n), m_shape = value_shape(m);
  Value r;
  if (in_place) {
    r = copy_of(n);
    quoly mm = m;
    if (op == '*') {
      fast_quoly_mult(r.cell(), &mm);
    } else {
      fast_quoly_quot(r.cell(), &mm, false);
    }
  } else if (op == '*') {
    quoly_mult(n, m, r.cell());
  } else {
    quoly_quot(n, m, r.cell(), false);
  }
  EXPECT_EQ(value_shape(m), m_shape);
  EXPECT_EQ(value_shape(n), n_shape);
  return r;
}

TEST(ValueProducts, KnownAnswersAndTheGcdsTheyTake) {
  PolyVars vars{"x", "y", "z"};
  struct Row {
    const char *n, *op, *m, *expected;
    int gcds;  // GCDs asked by the operation; -1: not counted
  };
  const Row rows[] = {
      {"x / y", "*", "y / x", "number 1", 0},
      {"x / y", "*", "y / z", "x / z", -1},
      {"x / y", "*", "z / y", "x*z / y^2", 0},
      {"0", "*", "x / y", "number 0", 0},
      {"x / y", "*", "0", "number 0", 0},
      {"2 / 3", "*", "9 / 4", "3 / 2 rat", 0},
      {"2 / 3", "*", "3 / 2", "number 1", 0},
      {"6", "*", "1 / 4", "3 / 2 rat", 0},
      {"-6", "*", "1 / 4", "-3 / 2 rat", 0},
      {"3 / x", "*", "x", "number 3", 0},
      {"6 / x*y", "*", "x*y / 3", "number 2", -1},
      {"2*x / 3", "*", "3*y / 4", "x*y / 2", -1},
      {"x", "*", "y / x*z", "y / z", 1},
      {"x / x + 1", "/", "x / x + 1", "number 1", 0},
      {"x^2", "/", "x", "x", -1},
      {"x", "/", "x^2", "1 / x", -1},
      {"6", "/", "-4", "-3 / 2 rat", 0},
      {"6", "/", "3", "number 2", 0},
      {"-6", "/", "-1", "number 6", 0},
      {"1 / 2", "/", "-3 / 4", "-2 / 3 rat", 0},
      {"3 / 2", "/", "3 / 4", "number 2", 0},
      {"1 / 2", "/", "1 / 2", "number 1", 0},
      {"2 / 3", "/", "4 / 9", "3 / 2 rat", 0},
      {"x", "/", "-x + 1", "-x / x - 1", -1},
      {"x / y", "/", "x / y", "number 1", 0},
      {"x / y", "/", "z / y", "x / z", -1},
      {"3*x", "/", "6", "x / 2", 0},
      {"4", "/", "2*x / 3", "6 / x", 0},
  };
  for (const Row& row : rows) {
    Value n = make_value(row.n), m = make_value(row.m);
    for (bool in_place : {true, false}) {
      SCOPED_TRACE(std::string(row.n) + " " + row.op + " " + row.m + (in_place ? " in place" : ""));
      const long before = value_gcd_requests;
      NodeBalance balance;
      {
        Value r = apply(row.op[0], in_place, n, m);
        EXPECT_EQ(value_text(r), row.expected);
        EXPECT_TRUE(normal_value(r));
      }
      if (row.gcds >= 0) {
        EXPECT_EQ(value_gcd_requests - before, row.gcds);
      }
    }
  }
  // The same value twice, and results written into an operand's cell: the
  // old value is freed exactly once.
  NodeBalance balance;
  {
    Value v = make_value("x / x + 1");
    quoly_quot(v, v, v.cell(), false);
    EXPECT_EQ(value_text(v), "number 1");
    Value a = make_value("x + 1 / y"), b = make_value("y / x - 1");
    quoly_mult(a, b, a.cell());
    EXPECT_EQ(value_text(a), "x + 1 / x - 1");
    quoly_mult(a, a, a.cell());
    EXPECT_EQ(value_text(a), "x^2 + 2*x + 1 / x^2 - 2*x + 1");
    quoly_quot(b, a, b.cell(), false);
    EXPECT_TRUE(normal_value(b));
    fast_quoly_mult(a.cell(), a.cell());
    EXPECT_TRUE(normal_value(a));
    Value k = make_value("3"), l = make_value("5");
    quoly_mult(k, l, l.cell());
    EXPECT_EQ(value_text(l), "number 15");
  }
  // Remainder and quotient together.
  {
    Value a = make_value("7"), b = make_value("3");
    quoly_mod_and_quot(a.cell(), b.cell());
    EXPECT_EQ(value_text(a), "number 1");
    EXPECT_EQ(value_text(b), "number 2");
    Value p = make_value("x^2 + 1"), q = make_value("x - 1");
    quoly_mod_and_quot(p.cell(), q.cell());
    EXPECT_EQ(value_text(p), "number 2");
    EXPECT_EQ(value_text(q), "x + 1");
  }
  // Word-size rings: residues and products modulo 65,521.
  ModulusScope mod(65521);
  Value a = Value::number(65520);
  for (bool in_place : {true, false}) {
    Value r = apply('*', in_place, a, a);
    EXPECT_EQ(value_text(r), "number 1");
    Value s = apply('/', in_place, make_value("1"), make_value("2"));
    EXPECT_EQ(value_text(s), "number 32761");
    Value t = apply('/', in_place, make_value("x"), make_value("2*x + 4"));
    EXPECT_EQ(value_text(t), "32761*x / x + 2");
  }
}

// Division by zero, a divisor without inverse, a denominator that
// multiplies out to 0, and the divisor after every division: node for node
// as before, also when an error unwinds from the product inside.
TEST(ValueProducts, ErrorsAndTheDivisorAfterThem) {
  PolyVars vars{"x", "t"};
  NumberedErrors numbered;
  NodeBalance balance;
  for (bool push : {true, false}) {
    // A report opens a nested level (left at once) inside a statement.
    ScopedValue<bool> p(errorpush, push);
    ScopedValue<std::int32_t> s(statcount, 1);
    for (const char* dividend : {"3", "x + 1", "x / 2"}) {
      for (bool in_place : {true, false}) {
        SCOPED_TRACE(std::string(dividend) + " / 0" + (in_place ? " in place" : "") +
                     (push ? ", the report returns" : ""));
        Value n = make_value(dividend), zero = make_value("0");
        Value r;
        bool unwound = false;
        const std::string out = output_of([&] { r = apply('/', in_place, n, zero); }, &unwound);
        EXPECT_TRUE(reports(out, division_by_zero_error));
        EXPECT_NE(out.find("Inappropriate symbol: /"), std::string::npos) << out;
        EXPECT_EQ(unwound, !push);
        if (push) {
          EXPECT_EQ(value_text(r), "number 1");
        }
      }
    }
    {
      ModulusScope composite(10, false);
      Value n = make_value("3"), four = make_value("4");
      for (bool in_place : {true, false}) {
        bool unwound = false;
        Value r;
        const std::string out = output_of([&] { r = apply('/', in_place, n, four); }, &unwound);
        EXPECT_TRUE(reports(out, no_inverse_error)) << out;
        if (push) {
          EXPECT_EQ(value_text(r), "number 1");
        }
      }
    }
    // t^2 = 0: (x/t) * (x/t) has the denominator t^2 = 0, and so has the
    // quotient (x/t) / (t/x), formed with the divisor's parts exchanged.
    ModOutScope nil_square(vars, 2, "t^2");
    Value xt = Value::ratfun("x", "t"), tx = Value::ratfun("t", "x");
    const std::string tx_shape = value_shape(tx);
    for (int form = 0; form < 4; ++form) {
      SCOPED_TRACE("form " + std::to_string(form) + (push ? ", the report returns" : ""));
      bool unwound = false;
      Value r;
      const std::string out = output_of(
          [&] {
            r = apply(form < 2 ? '*' : '/', form % 2 == 0, xt, form < 2 ? xt.get() : tx.get());
          },
          &unwound);
      EXPECT_TRUE(reports(out, zero_denominator_error)) << out;
      EXPECT_EQ(unwound, !push);
      if (push) {
        EXPECT_EQ(value_text(r), "number 0");
      }
      EXPECT_EQ(value_shape(tx), tx_shape);
    }
  }
}

// A product of numbers past the limb limit reports error 302 and gives
// back every node it took; the operands and, in place, the receiver keep
// their values.
TEST(ValueProducts, NumbersTooLongGiveTheirNodesBack) {
  NumberedErrors numbered;
  NodeBalance balance;
  const BigRef big = BigRef::pow2(28 * 20000) - BigRef(1);  // 20,000 limbs
  Value n = Value::number(big), m = Value::number(big + BigRef(2));
  const std::string n_shape = value_shape(n), m_shape = value_shape(m);
  for (bool in_place : {true, false}) {
    SCOPED_TRACE(in_place ? "in place" : "three arguments");
    Value r;
    bool unwound = false;
    const std::string out = output_of([&] { r = apply('*', in_place, n, m); }, &unwound);
    EXPECT_TRUE(reports(out, number_too_long_error)) << out;
    EXPECT_TRUE(unwound);
    EXPECT_EQ(value_shape(n), n_shape);
    EXPECT_EQ(value_shape(m), m_shape);
  }
}

// spec_quoly_mult forms the product over the list it is given and puts the
// four settings back, also when an error unwinds from inside (y^2 = 0 makes
// the denominator of (1/y)(1/y) zero).
TEST(ValueProducts, ProductOverAnotherVariableList) {
  PolyVars vars{"x", "y"};
  NumberedErrors numbered;
  NodeBalance balance;
  const polypt lower = vars.level(2);
  ScopedValue<bool> l(laurent, true);
  ScopedValue<bool> c(command_int, true);
  ScopedValue<bool> push(errorpush, false);
  for (bool relation : {false, true}) {
    std::optional<ModOutScope> nil_square;
    if (relation) nil_square.emplace(vars, 2, "y^2");
    const polypt pseudo = pseudo_polynames;
    Value a, b, r;
    {
      ScopedValue<polypt> names(polynames, lower);  // y is the top variable there
      a = make_value(relation ? "1 / y" : "y + 1");
      b = make_value(relation ? "1 / y" : "y^2 - 1 / 2");
    }
    bool unwound = false;
    const std::string out = output_of([&] { spec_quoly_mult(a, b, r.cell(), lower); }, &unwound);
    EXPECT_EQ(unwound, relation);
    EXPECT_EQ(reports(out, zero_denominator_error), relation) << out;
    EXPECT_EQ(polynames, vars.level(1));
    EXPECT_EQ(pseudo_polynames, pseudo);
    EXPECT_TRUE(laurent && command_int);
    ScopedValue<polypt> names(polynames, lower);
    if (!relation) {
      EXPECT_EQ(value_text(r), "y^3 + y^2 - y - 1 / 2");
    }
  }
}

// Two fractions multiplied in place (fast_gen_quoly_mult) and into a fresh
// cell (gen_quoly_mult): the same value, equal at a point to the product of
// the operands' values. do_mults multiplies the parts, then checks the
// denominator.
TEST(ValueProducts, ProductsOfTwoFractionsAndOfTheirParts) {
  PolyVars vars{"x", "y"};
  const char* fractions[] = {"x / y",         "y / x",         "x + 1 / y - 1",
                             "x*y / x + y",   "2*x / 3*y + 3", "y^2 - 1 / x^2 + 2",
                             "x - 1 / y - 1", "y - 1 / x + 1"};
  const std::vector<RatRef> point = {RatRef(2, 3), RatRef(-5, 7)};
  for (const char* a : fractions) {
    for (const char* b : fractions) {
      NodeBalance balance;
      Value n = make_value(a), m = make_value(b), in_place = copy_of(n);
      Value fresh = Value::adopt(nodes::new_ratfun_value(nullptr, nullptr));
      quoly mm = m;
      fast_gen_quoly_mult(in_place.cell(), &mm, false);
      gen_quoly_mult(n, m, fresh.cell(), false);
      EXPECT_EQ(value_text(in_place), value_text(fresh)) << a << " * " << b;
      EXPECT_EQ(value_at(fresh, point), *value_at(n, point) * *value_at(m, point))
          << a << " * " << b;
    }
  }
  Value v = make_value("x / y"), w = make_value("x / 2");
  Poly c("x + 1"), d("y"), three("3"), minus_two("-2"), zero("0");
  do_mults(v.cell(), c, d);
  EXPECT_EQ(value_text(v), "x^2 + x / y^2");
  do_mults(w.cell(), three, minus_two);  // the sign moves to the numerator
  EXPECT_EQ(value_text(w), "-3*x / 4");
  NumberedErrors numbered;
  bool unwound = false;
  EXPECT_TRUE(
      reports(output_of([&] { do_mults(v.cell(), c, zero); }, &unwound), zero_denominator_error));
  EXPECT_TRUE(unwound);
}

}  // namespace
}  // namespace tavrin::test
