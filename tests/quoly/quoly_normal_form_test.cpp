// The normal form of values: known answers in four rings, the word-size
// form, the retries of the exact division by a wrong GCD, and the "|" and
// "\" operators on fractions against their definition.
#include "quoly/quoly_normal_form.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "poly/poly_add.h"
#include "poly/poly_divide.h"
#include "poly/poly_repr.h"
#include "quoly/quoly.h"
#include "support/division_pairs.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/relation_scope.h"
#include "support/rings.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

// The modulus of a modular ring (0 otherwise), and 1 / a modulo it.
std::int64_t modulus_of(Ring r) { return r == Ring::mod7 ? 7 : r == Ring::mod65521 ? 65521 : 0; }
std::int64_t inverse_mod(std::int64_t a, std::int64_t p) {
  std::int64_t inv = 1;  // a^(p-2) by squaring
  a = ((a % p) + p) % p;
  for (std::int64_t e = p - 2; e > 0; e >>= 1, a = a * a % p)
    if (e & 1) inv = inv * a % p;
  return inv;
}

class ValueNormalForm : public ::testing::Test {
 protected:
  PolyVars vars{"x", "y"};
  RefPoly ref(const std::string& s) const { return parse_ref(s, vars.names()); }

  // v against the normal form of en / ed (given in lowest terms over the
  // integers, ed "" for none) in the ring: over the integers exactly; in
  // word-size rings both divided by the leading number L of ed, and a
  // constant denominator divided in (modular: times L^-1; floating: the
  // result times L, a power of two, must give en and ed back exactly).
  void expect_form(const Value& v, Ring ring, const std::string& en, const std::string& ed) {
    SCOPED_TRACE(en + " / " + ed);
    EXPECT_TRUE(normal_value(v));
    const RefPoly one = RefPoly::constant(2, 1);
    RefPoly n = ref(en), d = ed.empty() ? one : ref(ed);
    const BigRef lead = d.terms().rbegin()->second;
    const long double times = ring == Ring::floating ? lead.to_int64() : 1;
    if (const std::int64_t p = modulus_of(ring); p != 0) {
      const BigRef inv(inverse_mod(lead.to_int64(), p));
      n = n.scaled(inv).reduced_mod(BigRef(p));
      d = d.scaled(inv).reduced_mod(BigRef(p));
    }
    const bool no_denominator = d == one || (ring != Ring::integers && is_constant(d));
    if (no_denominator && is_constant(n)) {
      ASSERT_TRUE(v->numb);
      EXPECT_EQ(RefPoly::constant(2, ring == Ring::floating
                                         ? BigRef(std::llround(v->ncoef->flote * times))
                                         : number_value(v->ncoef)),
                n);
      return;
    }
    ASSERT_FALSE(v->numb);
    Poly num, den;
    poly_assign(v->numer, num.cell());
    if (v->denom != nullptr) poly_assign(v->denom, den.cell());
    if (ring == Ring::floating) {
      fl_num_poly_mult(num, times);
      if (den.get() != nullptr) fl_num_poly_mult(den, times);
    }
    EXPECT_EQ(read_poly(num), n);
    ASSERT_EQ(den.get() == nullptr, no_denominator);
    if (!no_denominator) {
      EXPECT_EQ(read_poly(den), d);
    }
  }
};

// Rings where every result is one normal form: numerator 0 gives the number
// 0; x/x the number 1 in the same node; contents cancel without a
// polynomial GCD; denominators -1 and 1 only fix the sign; GCDs of one and
// of two variables.
TEST_F(ValueNormalForm, KnownAnswersInFourRings) {
  struct Row {
    const char *numer, *denom, *en, *ed;
  };
  const Row rows[] = {
      {"0", "x + 1", "0", ""},
      {"x", "x", "1", ""},
      {"6*x", "4*y", "3*x", "2*y"},
      {"6*x + 3", "-1", "-6*x - 3", ""},
      {"2*x*y", "1", "2*x*y", ""},
      {"2", "4", "1", "2"},
      {"4*x*y", "-8*x^2", "-y", "2*x"},
      {"x^2 - 1", "x - 1", "x + 1", ""},
      {"x^2 - 1", "2*x^2 + 4*x + 2", "x - 1", "2*x + 2"},
      {"x*y + y", "x^2*y - y", "1", "x - 1"},
      {"(x + y)*(x - 2*y)", "(x - 2*y)*(2*x + 3)", "x + y", "2*x + 3"},
  };
  for (Ring ring : {Ring::integers, Ring::mod7, Ring::mod65521, Ring::floating}) {
    RingScope scope(ring);
    NodeBalance balance;
    for (const Row& row : rows) {
      SCOPED_TRACE(std::string(ring_name(ring)) + ": " + row.numer + " / " + row.denom);
      Value v = Value::ratfun(row.numer, row.denom);
      const quoly node = v.get();
      check_quoly(v.cell(), false);
      EXPECT_EQ(v.get(), node);  // the same node, also when it became a number
      expect_form(v, ring, row.en, row.ed);
    }
  }
}

// A fraction large enough for the flat GCD engines: its GCD comes with the
// cofactors, so reduce divides nothing, and the form is the one the
// driver's own stages and the divisions give.
TEST_F(ValueNormalForm, LargeFractionsCancelByTheCofactorsOfTheirGcd) {
  const std::string g = "(x^3*y + 2*x*y^2 + y^3 + x + 5)", a = "(x^2 + 3*y^2 + x*y + 7)",
                    b = "(x^3 + y^4 + 2*x*y + 1)";
  for (Ring ring : {Ring::integers, Ring::mod7, Ring::mod65521}) {
    RingScope scope(ring);
    SCOPED_TRACE(ring_name(ring));
    const long before = reduce_counts.cofactors;
    Value v = Value::ratfun("6*" + g + "*" + a, "4*" + g + "*" + b);
    check_quoly(v.cell(), false);
    EXPECT_EQ(reduce_counts.cofactors, before + 1);
    expect_form(v, ring, "3*" + a, "2*" + b);
    const ScopedValue<std::int32_t> no_flat(flat_gcd_terms, INT32_MAX);
    Value w = Value::ratfun("6*" + g + "*" + a, "4*" + g + "*" + b);
    check_quoly(w.cell(), false);
    EXPECT_EQ(reduce_counts.cofactors, before + 1);
    expect_form(w, ring, "3*" + a, "2*" + b);
  }
}

TEST_F(ValueNormalForm, WordSizeFormsAndTheirErrors) {
  NodeBalance balance;
  {
    RingScope mod7(Ring::mod7);
    Value v = Value::ratfun("2*x + 4", "2*x + 6");
    check_quoly(v.cell(), false);
    expect_form(v, Ring::integers, "x + 2", "x + 3");
    v = Value::ratfun("x", "3");
    check_quoly(v.cell(), false);
    expect_form(v, Ring::integers, "5*x", "");
  }
  {
    RingScope floating(Ring::floating);
    Value v = Value::ratfun("x", "2*y");
    check_quoly(v.cell(), false);
    ASSERT_FALSE(v->numb);
    EXPECT_EQ(dump_poly(v->denom), "[0:[1:1]]");
    ASSERT_EQ(v->numer->exp, 1);
    EXPECT_EQ(v->numer->pcoef->ncoef->flote, 0.5L);
  }
  ScopedValue<bool> push(errorpush, false);
  {
    RingScope word(Ring::word);
    Value v = Value::ratfun("x", "x + 1");
    bool unwound = false;
    EXPECT_TRUE(reports(output_of([&] { lint_normal_form(v, false); }, &unwound),
                        monic_outside_field_error));
    EXPECT_TRUE(unwound);
  }
  {
    ModulusScope composite(15, false);
    Value v = Value::ratfun("x", "3*x + 1");
    bool unwound = false;
    EXPECT_TRUE(
        reports(output_of([&] { lint_normal_form(v, false); }, &unwound), no_inverse_error));
    EXPECT_TRUE(unwound);
    v = Value::ratfun("x", "2*x + 1");  // 2 is a unit modulo 15: 8x / (x + 8)
    lint_normal_form(v, false);
    EXPECT_EQ(show_poly(v->numer), "8*x");
    EXPECT_EQ(show_poly(v->denom), "x + 8");
  }
  for (Ring ring : {Ring::integers, Ring::mod7}) {
    RingScope scope(ring);
    ScopedValue<bool> l(laurent, true);
    Value v = Value::ratfun("1", "x^3 + x^2");
    check_quoly(v.cell(), true);
    EXPECT_EQ(read_poly(v->numer), ref("x^-2"));
    ASSERT_NE(v->denom, nullptr);
    EXPECT_EQ(read_poly(v->denom), ref("x + 1"));
    v = Value::ratfun("1", "x^2");
    check_quoly(v.cell(), true);
    ASSERT_FALSE(v->numb);
    EXPECT_EQ(v->denom, nullptr);
    EXPECT_EQ(read_poly(v->numer), ref("x^-2"));
  }
}

TEST_F(ValueNormalForm, OneArgumentGcd) {
  ScopedValue<bool> push(errorpush, false);
  NodeBalance balance;
  Value g;
  Value f = Value::ratfun("x", "y");
  bool unwound = false;
  EXPECT_TRUE(
      reports(output_of([&] { gcd_0_poly(f.cell(), g.cell()); }, &unwound), fraction_gcd_error));
  EXPECT_TRUE(unwound);
  Value c = Value::number(-6);
  gcd_0_poly(c.cell(), g.cell());
  ASSERT_TRUE(g->numb);
  EXPECT_EQ(number_value(g->ncoef), BigRef(6));
  Value p = Value::ratfun("-4*x*y - 6*y");
  gcd_0_poly(p.cell(), g.cell());
  ASSERT_FALSE(g->numb);
  EXPECT_EQ(read_poly(g->numer), ref("4*x*y + 6*y"));
  gcd_0_poly(p.cell(), p.cell());  // into its own cell
  EXPECT_EQ(read_poly(p->numer), ref("4*x*y + 6*y"));
}

// A wrong verdict of the exact division is repaired by a start over with a
// recomputed GCD; a verdict that is always wrong ends in an internal error.
int wrong_verdicts = 0;
bool one_wrong_verdict(int, bool exact) { return wrong_verdicts-- > 0 ? false : exact; }
bool always_wrong(int, bool) { return false; }

TEST_F(ValueNormalForm, ReduceStartsOverAfterAWrongVerdict) {
  ScopedValue<bool> t(try_rat, true), r(rat_yes, true), v(verbose, true);
  // The term-list route, whose exact divisions reduce makes (the residue
  // vectors divide without verdicts).
  ScopedValue<std::int32_t> lists(residue_value_degree, INT32_MAX);
  for_each_ring({Ring::integers, Ring::mod65521}, [&](Ring ring) {
    rat_yes = true;  // the stuck case of the previous ring turned it off
    {
      ScopedValue<reduce_verdict_hook> hook(reduce_verdict, one_wrong_verdict);
      for (bool loud : {false, true}) {
        verbose = loud;
        try_rat = true;
        wrong_verdicts = 1;
        Value q = Value::ratfun("x^2 - 1", "x^2 + 2*x + 1");
        const std::string out = output_of([&] { check_quoly(q.cell(), false); });
        expect_form(q, ring, "x - 1", "x + 1");
        EXPECT_FALSE(try_rat);
        EXPECT_TRUE(rat_yes);
        EXPECT_EQ(out, loud ? " Warning 1. A fast probabilistic test for exact poly division has "
                              "been turned off (&_t).\n"
                            : "");
      }
      wrong_verdicts = 2;  // both switches go, the second time on the numerator side again
      try_rat = true;
      Value q = Value::ratfun("x*y + x", "y^2 - 1");  // x (y + 1) / ((y - 1) (y + 1))
      const std::string out = output_of([&] { check_quoly(q.cell(), false); });
      expect_form(q, ring, "x", "y - 1");
      EXPECT_FALSE(rat_yes);
      EXPECT_NE(out.find(" Warning 3. Another fast probabilistic"), std::string::npos) << out;
      rat_yes = true;
    }
    ScopedValue<reduce_verdict_hook> stuck(reduce_verdict, always_wrong);
    Value q = Value::ratfun("x^2 - 1", "x^2 + 2*x + 1");
    const std::string out = output_of([&] { check_quoly(q.cell(), false); });
    EXPECT_NE(out.find("*** Tavrin error. reduce retry limit"), std::string::npos);
    EXPECT_NE(out.find(" *** Warning 5. A  fast probabilistic gcd algorithm is being retried.\n"),
              std::string::npos);
    // Resumed from the nested level: the value is kept, not in lowest terms.
    EXPECT_EQ(ring_product(ring, read_poly(q->numer), ref("x + 1")),
              ring_product(ring, ref("x - 1"), read_poly(q->denom)));
  });
}

// Over a coefficient field (t^2 = 2 below x) the divisions are
// pseudo-divisions; their number multipliers cancel into the other side.
TEST(ValueReduce, OverACoefficientFieldTheMultipliersCancel) {
  PolyVars vars{"x", "t"};
  ModOutScope field(vars, 2, "t^2 - 2", true);
  NodeBalance balance;
  Poly n("(2*x + t)*(x + 1)"), m("(2*x + t)*(3*x + 2)"), com("2*x + t");
  Poly num, den;
  // (The GCDs of the multipliers over the field print the reports of the
  // product and reciprocal services still to come; they answer 1.)
  output_of([&] {
    reduce(n.cell(), m.cell(), com.cell(), num.cell(), den.cell(), {.nflag = true, .dflag = true});
  });
  EXPECT_EQ(read_poly(num) * parse_ref("3*x + 2", vars.names()),
            read_poly(den) * parse_ref("x + 1", vars.names()));
  EXPECT_EQ(read_poly(n), parse_ref("(2*x + t)*(x + 1)", vars.names()));  // kept
}

// n "|" m and n "\" m on a fraction: numerator and denominator each taken
// modulo (or divided by) m's numerator, then normalised.
TEST_F(ValueNormalForm, ModOrDivOnFractionsDividesBothParts) {
  std::mt19937_64 rng(test_seed() + 2020);
  SCOPED_TRACE("seed " + std::to_string(test_seed()));
  ScopedValue<bool> push(errorpush, false);
  for (Ring ring : {Ring::integers, Ring::mod7}) {
    RingScope scope(ring);
    NodeBalance balance;
    int zero_denominators = 0, values = 0;
    for (int i = 0; i < test_iterations(60); ++i) {
      const RefPoly a = in_ring(ring, random_refpoly(rng, 2, 4, 3, 1));
      const RefPoly b = in_ring(ring, random_refpoly(rng, 2, 3, 3, 1));
      const RefPoly c = in_ring(ring, random_refpoly(rng, 2, 2, 2, 1));
      if (b.is_zero() || c.is_zero()) continue;
      Value n = Value::ratfun(a.to_string(vars.names()), b.to_string(vars.names()));
      Value m = Value::ratfun(c.to_string(vars.names()));
      const char which = i % 2 == 0 ? '|' : '\\';
      SCOPED_TRACE(std::string(ring_name(ring)) + ": " + show_poly(n->numer) + " / " +
                   show_poly(n->denom) + "  " + which + "  " + show_poly(m->numer));
      Poly ra, rb;
      poly_mod_or_div(n->numer, m->numer, ra.cell(), which, polynames);
      poly_mod_or_div(n->denom, m->numer, rb.cell(), which, polynames);
      Value r;
      bool unwound = false;
      const std::string out = output_of([&] { quoly_mod_or_div(n, m, r.cell(), which); }, &unwound);
      if (poly_iszero(rb)) {
        ++zero_denominators;
        EXPECT_TRUE(reports(out, zero_denominator_error));
        EXPECT_TRUE(unwound);
        continue;
      }
      ++values;
      ASSERT_FALSE(unwound) << out;
      EXPECT_TRUE(normal_value(r));
      // r equals ra / rb: cross products agree.
      const auto [rn, rd] = value_parts(r);
      EXPECT_EQ(ring_product(ring, rn, read_poly(rb)), ring_product(ring, read_poly(ra), rd));
    }
    EXPECT_GT(zero_denominators, 0);
    EXPECT_GT(values, 0);
  }
}

}  // namespace
}  // namespace tavrin::test
