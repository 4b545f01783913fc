// Inverses modulo relations and reduction in quotient rings: a table of
// known answers, and random elements of five fields given by relations
// (Q(a) for a^2 = 2, a^3 = 2, a^4 = -1, GF(9), GF(125)) checked against a
// test-side reduction modulo the relation.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "poly/poly_divide.h"
#include "poly/poly_exact_divide.h"
#include "poly/poly_modout.h"
#include "poly/poly_mult.h"
#include "poly/poly_power.h"
#include "poly/poly_repr.h"
#include "poly/poly_trial.h"
#include "gcd/gcd.h"
#include "quoly/quoly.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_quot.h"
#include "support/data_tables.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/relation_scope.h"
#include "support/rings.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

// The test-side reduction: every t^k (k >= E, t the variable of index var)
// replaced by t^(k-E) rep, coefficients reduced modulo p when p > 0.
RefPoly fold_by(const RefPoly& a, int var, int E, const RefPoly& rep, std::int64_t p) {
  auto ring = [p](const RefPoly& x) { return p > 0 ? x.reduced_mod(BigRef(p)) : x; };
  RefPoly r = ring(a);
  for (;;) {
    RefPoly low(a.nvars()), high(a.nvars());
    for (const auto& [e, c] : r.terms()) {
      RefPoly::Exps x = e;
      if (x[static_cast<std::size_t>(var)] >= E) {
        x[static_cast<std::size_t>(var)] -= E;
        high.add_term(x, c);
      } else {
        low.add_term(x, c);
      }
    }
    if (high.is_zero()) return r;
    r = ring(low + high * rep);
  }
}

// The inverse as a value, owned.
struct Inverse {
  quoly v = nullptr;
  ~Inverse() { free_quoly(&v); }
};

// What inverting q (built over the variables from level pp down) prints,
// then the inverse as value_text shows it ("none" when none came back).
std::string invert_text(const std::string& q, polypt pp) {
  std::vector<std::string> names;
  for (polypt r = pp; r != nullptr; r = r->next) names.push_back(r->let.name);
  Poly p(q, names);
  Inverse inv;
  std::string out = output_of([&] { poly_mod_invert(p, &inv.v, pp); });
  return out + (inv.v == nullptr ? "none" : value_text(inv.v));
}

// What reducing p by the relation rel (over t alone) of degree 2 at the
// given depth from the top level (x, t) prints, then p as shown (with dump
// its nodes).
std::string reduced(const std::string& p, const std::string& rel, std::int32_t depth,
                    bool dump = false) {
  Poly pp(p, depth == 1 ? std::vector<std::string>{"t"} : current_var_names()), r(rel, {"t"});
  const std::string out = output_of([&] {
    mod_out_poly(pp.cell(), r.cell(), depth, 2, depth == 1 ? polynames->next : polynames);
  });
  return out + (dump ? dump_poly(pp) : pp.str());
}

TEST(QuotientRings, InversesAndReductionKnownAnswers) {
  load_data_tables();
  PolyVars vars{"x", "t"};
  NodeBalance balance;
  const std::string bad_pp2 =
      "*** Tavrin error. poly invertibility failure. bad pp2\n\n*** New command level.\nnone";
  {
    ModOutScope rel(vars, 2, "t^2 - 2", true);  // the rationals, t^2 = 2 a field level
    EXPECT_EQ(invert_text("t + 1", polynames), "t - 1");
    EXPECT_EQ(invert_text("t", polynames), "t / 2");  // 1/t = t/2
    EXPECT_EQ(invert_text("3*t + 4", polynames), "3*t - 4 / 2");
    EXPECT_EQ(invert_text("x + 1", polynames), bad_pp2);  // x has no relation
    EXPECT_NE(invert_text("5", polynames).find("poly invertibility failure. q is a number"),
              std::string::npos);
    Poly q("t + 1"), inv_n("t - 1"), prod;
    poly_mult(q, inv_n, prod.cell(), polynames);
    EXPECT_EQ(prod.str(), "1");
    // Below the relation's degree nothing changes; a result 0 is the zero leaf.
    EXPECT_EQ(reduced("3*x*t - 5", "t^2 - 2", 2), "3*x*t - 5");
    EXPECT_EQ(reduced("x*t^2 - 2*x + t^3 - 2*t", "t^2 - 2", 2, true), "0");
    Value v = Value::ratfun("x", "t + 1");  // a denominator in the field is inverted
    normal_form(v, false);
    EXPECT_EQ(value_text(v), "x*t - x");
    ScopedValue<bool> l(laurent, true);  // 1/t needs the denominator 2
    EXPECT_NE(reduced("t^-1", "t^2 - 2", 1).find("*** Tavrin error. laurent_fold."),
              std::string::npos);
  }
  {
    ModOutScope rel(vars, 2, "t^2 - 2");  // not a field level
    EXPECT_EQ(invert_text("t + 1", polynames), bad_pp2);
    // Without a field 2 is not invertible: 2 t^3 = t (2t^2 - 1) + t.
    EXPECT_EQ(reduced("t^3", "2*t^2 - 1", 2), "t");
  }
  {
    ModOutScope rel(vars, 2, "t^2 + 1", true);  // Laurent mode: 1/t = -t
    ScopedValue<bool> l(laurent, true);
    EXPECT_EQ(reduced("x*t^-1 + t^-3", "t^2 + 1", 2), "-x*t + t");
  }
  {  // sums under a relation keep the sign rule: 5y / (4y^2 - 9y - 9) = 5y / (-5y + 3)
    PolyVars yv{"y"};
    ModOutScope rel(yv, 1, "y^2 - y - 3");
    Value a = make_value("-4*y - 2 / 4*y + 3"), b = make_value("y - 2 / y - 3"), r;
    quoly_add(a, b, r.cell());
    EXPECT_EQ(value_text(r), "-5*y / 5*y - 3");
    EXPECT_TRUE(normal_value(r, false));
  }
  ModulusScope mod(7);
  {  // and modulo 7 the monic rule: (2y + 3) / (4y + 5)
    PolyVars yv{"y"};
    ModOutScope rel7(yv, 1, "y^2 - y - 3");
    Value c = make_value("1 / y + 1"), d = make_value("1 / y + 2"), s;
    quoly_add(c, d, s.cell());
    EXPECT_EQ(value_text(s), "4*y + 6 / y + 3");
    EXPECT_TRUE(normal_value(s, false));
  }
  {  // over GF(49) the denominator is made monic through the inverse -t of t
    ModOutScope rel(vars, 2, "t^2 + 1", true);
    Value v = Value::ratfun("x + t", "t*x + 1");
    check_quoly(v.cell(), false);
    EXPECT_EQ(value_text(v), "6*x*t + 1 / x + 6*t");
  }
  struct Power {  // powers by the characteristic: reduced by the relation
    const char *relation, *base;
    std::int32_t e;
    const char* expected;
  };
  const Power powers[] = {{"t^2 - 2", "3*t + 1", 7, "3*t + 1"},
                          {"t^3 - t - 1", "t^2 + 2*t + 3", 7, "2*t^2 + 6*t"},
                          {"t^3 - 2", "5*t", 343, "5*t"}};
  for (const Power& pw : powers) {
    SCOPED_TRACE(pw.relation);
    ModOutScope rel(vars, 2, pw.relation, true);
    Poly p(pw.base);
    compute_power(p.cell(), pw.e, polynames);
    EXPECT_EQ(p.str(), pw.expected);
  }
}

struct Field {
  const char* name;
  std::int64_t p;  // 0: the rationals
  const char* relation;
  int E;
  const char* rep;  // t^E in lower terms
};

// A random field element (degree below E in t, the variable of index 2),
// not zero; with in_t not a number.
RefPoly random_element(std::mt19937_64& rng, const Field& f, const std::vector<std::string>& names,
                       int, bool in_t = false) {
  for (;;) {
    RefPoly r(static_cast<int>(names.size()));
    for (int k = 0; k < f.E; ++k) r.add_term({0, 0, k}, BigRef(static_cast<int>(rng() % 9) - 4));
    if (f.p > 0) r = r.reduced_mod(BigRef(f.p));
    if (!r.is_zero() && !(in_t && r.terms().size() == 1 && r.terms().begin()->first[2] == 0))
      return r;
  }
}

// A random polynomial in x (and y with two_vars) over the field.
RefPoly random_over(std::mt19937_64& rng, const Field& f, const std::vector<std::string>& names,
                    bool two_vars, int max_deg) {
  std::uniform_int_distribution<int> deg(1, max_deg), terms(1, 3);
  RefPoly r(static_cast<int>(names.size()));
  RefPoly::Exps top(names.size(), 0);
  top[0] = deg(rng);
  r.add_term(top, BigRef(1));
  const int n = terms(rng);
  for (int i = 0; i < n; ++i) {
    RefPoly::Exps e(names.size(), 0);
    e[0] = std::uniform_int_distribution<int>(0, top[0] - 1)(rng);
    if (two_vars) e[1] = std::uniform_int_distribution<int>(0, 2)(rng);
    RefPoly monomial(static_cast<int>(names.size()));
    monomial.add_term(e, BigRef(1));
    r = r + random_element(rng, f, names, 2) * monomial;
  }
  return f.p > 0 ? r.reduced_mod(BigRef(f.p)) : r;
}

TEST(QuotientRings, RandomElementsOfFieldsGivenByRelations) {
  load_data_tables();
  const Field fields[] = {{"Q(a), a^2 = 2", 0, "t^2 - 2", 2, "2"},
                          {"Q(a), a^3 = 2", 0, "t^3 - 2", 3, "2"},
                          {"Q(a), a^4 = -1", 0, "t^4 + 1", 4, "-1"},
                          {"GF(9)", 3, "t^2 + 1", 2, "-1"},
                          {"GF(125)", 5, "t^3 + t + 1", 3, "-t - 1"}};
  std::mt19937_64 rng(test_seed() + 26);
  const polygcd_stage_counts stages = polygcd_stages;
  for (const Field& f : fields) {
    SCOPED_TRACE(f.name);
    PolyVars vars{"x", "y", "t"};
    const auto& names = vars.names();
    std::optional<ModulusScope> mod;
    if (f.p > 0) mod.emplace(static_cast<std::int32_t>(f.p));
    NodeBalance balance;
    ModOutScope rel(vars, 3, f.relation, true);
    if (f.p == 0) {
      rel.add_aux_primes({50, 51, 52, 53, 54, 55, 56, 57});
      EXPECT_GT(rel.level()->aux_num, 4);
    }
    const RefPoly rep = parse_ref(f.rep, names);
    auto fold = [&](const RefPoly& a) { return fold_by(a, 2, f.E, rep, f.p); };
    for (int i = 0; i < test_iterations(12); ++i) {
      // The inverse: q * (1/q) = 1.
      const RefPoly qr = random_element(rng, f, names, 2, true);
      SCOPED_TRACE(qr.to_string(names));
      Poly q(qr);
      Inverse inv;
      poly_mod_invert(q, &inv.v, polynames);
      ASSERT_NE(inv.v, nullptr);
      ASSERT_TRUE(valid_poly(inv.v->numer));
      const RefPoly d = inv.v->denom == nullptr ? parse_ref("1", names) : read_poly(inv.v->denom);
      if (f.p > 0) {
        EXPECT_EQ(inv.v->denom, nullptr);
      }
      EXPECT_EQ(fold(qr * read_poly(inv.v->numer)), fold(d));
      Poly prod;
      poly_mult(q, inv.v->numer, prod.cell(), polynames);
      EXPECT_EQ(prod.ref(), fold(d));

      // A planted common factor in one or two further variables.
      const bool two = i % 2 == 1;
      const RefPoly g = random_over(rng, f, names, two, 2), a = random_over(rng, f, names, two, 2);
      const RefPoly b = a * RefPoly::variable(3, 0) + parse_ref("1", names);  // coprime to a
      SCOPED_TRACE(g.to_string(names));
      Poly u(fold(g * a)), w(fold(g * b)), gg(g), found;
      polygcd(u, w, found.cell(), polynames);
      ASSERT_TRUE(valid_poly(found));
      // found = c g with c a non-zero element of the field.
      bool failed = true;
      Poly c;
      gen_poly_divide(found, gg, c.cell(), polynames, &failed);
      ASSERT_FALSE(failed);
      EXPECT_FALSE(c.ref().is_zero());
      const RefPoly cr = c.ref();
      for (const auto& [e, coef] : cr.terms()) EXPECT_EQ(e[0] + e[1], 0) << c.str();
      // Trial division agrees with full division.
      Poly tq;
      EXPECT_TRUE(trial_poly_divide(u, gg, tq.cell(), polynames, false, false, false));
      EXPECT_EQ(fold(tq.ref() * g), u.ref());
      EXPECT_TRUE(trial_poly_divide_noq(u, gg, polynames, true, false, false));  // pre-tests too
      if (f.p == 0) {  // images modulo the auxiliary primes
        bool worked = false, checked = false;
        mod_trial_poly_divide(u, gg, false, &worked, &checked, polynames);
        EXPECT_TRUE(worked && checked);
        mod_trial_poly_divide(u, w, false, &worked, &checked, polynames);
        EXPECT_TRUE(worked && !checked);
      }
      // Division by a leading coefficient in the field: mu u = q m + r.
      RefPoly x3(3);
      x3.add_term({3, 0, 0}, BigRef(1));
      const RefPoly m = fold(x3 * random_element(rng, f, names, 2) + a);
      Poly pm(m), pq, pr, mu;
      if (f.p > 0) {
        field_coef_poly_divide(u, pm, polynames, pq.cell(), pr.cell());
        poly_set(1, mu.cell());
      } else {
        pseudo_field_coef_poly_div(u, pm, polynames, pq.cell(), pr.cell(), mu.cell());
      }
      ASSERT_NE(pr.get(), nullptr);
      EXPECT_LT(pr->numb ? 0 : pr->exp, 3);
      EXPECT_EQ(fold(mu.ref() * u.ref()), fold(pq.ref() * m + pr.ref()));

      // Sums, products and quotients of values.
      Value va = Value::ratfun(fold(a).to_string(names), g.to_string(names));
      Value vb = Value::ratfun(fold(b).to_string(names), qr.to_string(names) + " + x");
      check_quoly(va.cell(), false);
      check_quoly(vb.cell(), false);
      for (char op : {'+', '*', '/'}) {
        Value r;
        if (op == '+') quoly_add(va, vb, r.cell());
        if (op == '*') quoly_mult(va, vb, r.cell());
        if (op == '/') quoly_quot(va, vb, r.cell(), false);
        EXPECT_TRUE(normal_value(r, false)) << op;
        const auto [an, ad] = value_parts(va);
        const auto [bn, bd] = value_parts(vb);
        const auto [rn, rd] = value_parts(r);
        const RefPoly lhs_n = op == '+' ? an * bd + bn * ad : op == '*' ? an * bn : an * bd;
        const RefPoly lhs_d = op == '/' ? ad * bn : ad * bd;
        EXPECT_EQ(fold(rn * fold(lhs_d)), fold(rd * fold(lhs_n))) << op;
      }
    }
  }
  // The GCDs went through the field stage and the subresultant sequence.
  EXPECT_GT(polygcd_stages.field, stages.field);
  EXPECT_GT(polygcd_stages.algorithm_c, stages.algorithm_c);
}

}  // namespace
}  // namespace tavrin::test
