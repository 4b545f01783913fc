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
#include "gcd/gcd.h"
#include "numbers/freelists.h"
#include "poly/poly_divide.h"
#include "poly/poly_exact_divide.h"
#include "poly/poly_modout.h"
#include "poly/poly_mult.h"
#include "poly/poly_power.h"
#include "poly/poly_repr.h"
#include "poly/poly_trial.h"
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

TEST(QuotientRings, InversesAndReductionKnownAnswers) {
  load_data_tables();
  PolyVars vars{"x", "t"};
  auto ref = [&vars](const std::string& s) { return parse_ref(s, vars.names()); };
  NodeBalance balance;
  {  // over the rationals, t^2 = 2 as a field level
    ModOutScope rel(vars, 2, "t^2 - 2", true);
    Poly q("t + 1");
    Inverse inv;
    EXPECT_EQ(output_of([&] { poly_mod_invert(q, &inv.v, polynames); }), "");
    ASSERT_NE(inv.v, nullptr);
    ASSERT_FALSE(inv.v->numb);
    EXPECT_EQ(read_poly(inv.v->numer), ref("t - 1"));
    EXPECT_EQ(inv.v->denom, nullptr);
    Poly prod;
    poly_mult(q, inv.v->numer, prod.cell(), polynames);
    EXPECT_EQ(prod.ref(), ref("1"));
    Poly low("3*t - 5");  // below the relation's degree: unchanged
    const std::string shape = node_shape(low);
    mod_out_poly(low.cell(), &polynames->next->p, 2, 2, polynames);
    EXPECT_EQ(low.ref(), ref("3*t - 5"));
    Poly odd("x*t + t");  // 1/t = t/2 needs the denominator 2
    Inverse half;
    EXPECT_TRUE(output_of([&] { poly_mod_invert(odd->pcoef, &half.v, polynames->next); }).empty());
    EXPECT_EQ(read_poly(half.v->numer, 1), parse_ref("t", {"t"}));
    EXPECT_EQ(read_poly(half.v->denom), ref("2"));
    // A relation held as a polynomial: the zero result is the zero leaf.
    Poly full("t^2 - 2", {"t"}), p("x*t^2 - 2*x + t^3 - 2*t");
    mod_out_poly(p.cell(), full.cell(), 2, 2, polynames);
    EXPECT_EQ(dump_poly(p), "0");
    // 1/(t + 1) as a value becomes a polynomial.
    Value v = Value::ratfun("x", "t + 1");
    normal_form(v, false);
    ASSERT_FALSE(v->numb);
    EXPECT_EQ(read_poly(v->numer), ref("x*t - x"));
    EXPECT_EQ(v->denom, nullptr);
    // In Laurent mode the polynomial relation needs 1/t = t/2.
    ScopedValue<bool> l(laurent, true);
    Poly neg("t^-1", {"t"});
    EXPECT_NE(output_of([&] { mod_out_poly(neg.cell(), full.cell(), 1, 2, polynames->next); })
                  .find("*** Tavrin error. laurent_fold."),
              std::string::npos);
  }
  {  // failures of the inverse
    ModOutScope rel(vars, 2, "t^2 - 2");  // not a field level
    Poly q("t + 1"), n("5");
    Inverse inv;
    EXPECT_EQ(output_of([&] { poly_mod_invert(q, &inv.v, polynames); }),
              "*** Tavrin error. poly invertibility failure. bad pp2\n\n*** New command level.\n");
    EXPECT_EQ(inv.v, nullptr);
    EXPECT_NE(output_of([&] { poly_mod_invert(n, &inv.v, polynames); })
                  .find("poly invertibility failure. q is a number"),
              std::string::npos);
    Poly xq("x + 1");  // x has no relation
    EXPECT_NE(output_of([&] { poly_mod_invert(xq, &inv.v, polynames); }).find("bad pp2"),
              std::string::npos);
    EXPECT_EQ(inv.v, nullptr);
    // Without a field the leading coefficient 2 is not invertible: the
    // pseudo-remainder, 2 t^3 = t (2t^2 - 1) + t.
    Poly rel2("2*t^2 - 1", {"t"}), p("t^3");
    mod_out_poly(p.cell(), rel2.cell(), 2, 2, polynames);
    EXPECT_EQ(p.ref(), ref("t"));
  }
  {  // Laurent mode, t^2 = -1 as a field level: 1/t = -t
    ModOutScope rel(vars, 2, "t^2 + 1", true);
    ScopedValue<bool> l(laurent, true);
    Poly p("x*t^-1 + t^-3"), full("t^2 + 1", {"t"});
    mod_out_poly(p.cell(), full.cell(), 2, 2, polynames);
    EXPECT_EQ(p.ref(), ref("-x*t + t"));
  }
  {  // sums under a relation keep the sign and leading-coefficient rules
    PolyVars yv{"y"};
    ModOutScope rel(yv, 1, "y^2 - y - 3");
    Value a = make_value("-4*y - 2 / 4*y + 3"), b = make_value("y - 2 / y - 3"), r;
    quoly_add(a, b, r.cell());  // 5y / (4y^2 - 9y - 9) = 5y / (-5y + 3)
    EXPECT_EQ(value_text(r), "-5*y / 5*y - 3");
    EXPECT_TRUE(normal_value(r, false));
  }
  {
    PolyVars yv{"y"};
    ModulusScope mod(7);
    ModOutScope rel7(yv, 1, "y^2 - y - 3");
    Value c = make_value("1 / y + 1"), d = make_value("1 / y + 2"), s;
    quoly_add(c, d, s.cell());  // (2y + 3) / (4y + 5)
    EXPECT_EQ(value_text(s), "4*y + 6 / y + 3");
    EXPECT_TRUE(normal_value(s, false));
  }
  {  // modulo 7: inverses and monic denominators over GF(49), powers by Frobenius
    ModulusScope mod(7);
    {
      ModOutScope rel(vars, 2, "t^2 + 1", true);
      Value v = Value::ratfun("x + t", "t*x + 1");  // times -t / -t
      check_quoly(v.cell(), false);
      ASSERT_FALSE(v->numb);
      EXPECT_EQ(read_poly(v->numer), ref("6*t*x + 1"));
      EXPECT_EQ(read_poly(v->denom), ref("x + 6*t"));
    }
    struct Power {
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
      EXPECT_EQ(p.ref(), ref(pw.expected));
    }
  }
}

struct Field {
  const char* name;
  std::int64_t p;  // 0: the rationals
  const char* relation;
  int E;
  const char* rep;  // t^E in lower terms
};

// A random field element (degree below E in t), not zero; with in_t not a
// number.
RefPoly random_element(std::mt19937_64& rng, const Field& f, const std::vector<std::string>& names,
                       int var, bool in_t = false) {
  std::uniform_int_distribution<int> c(-4, 4);
  for (;;) {
    RefPoly r(static_cast<int>(names.size()));
    for (int k = 0; k < f.E; ++k) {
      RefPoly::Exps e(names.size(), 0);
      e[static_cast<std::size_t>(var)] = k;
      r.add_term(e, BigRef(c(rng)));
    }
    if (f.p > 0) r = r.reduced_mod(BigRef(f.p));
    if (!r.is_zero() && !(in_t && r.terms().size() == 1 && r.terms().begin()->first[var] == 0))
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
      polygcd(u, w, found.cell(), false, true, true, polynames, true, true, true);
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
        EXPECT_TRUE(worked && checked) << worked << checked << " aux " << aux_prime1_number << " " << auxptr[1]->head->value << " " << auxptr[aux_prime1_number]->head->value;
        Poly other(fold(a * RefPoly::variable(3, 0) + parse_ref("1", names)));
        mod_trial_poly_divide(u, other, false, &worked, &checked, polynames);
        EXPECT_TRUE(worked && !checked);
      }

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
    // The divisions with a leading coefficient in the field: p n = q m + r.
    for (int i = 0; i < test_iterations(6); ++i) {
      const RefPoly n = random_over(rng, f, names, false, 4), m0 = random_over(rng, f, names, false, 1);
      RefPoly::Exps top(names.size(), 0);
      top[0] = 2;
      RefPoly lead(3);
      lead.add_term(top, BigRef(1));
      const RefPoly m = fold(m0 + lead * random_element(rng, f, names, 2));  // lead in the field
      Poly pn(n), pm(m), pq, pr, pmu;
      if (f.p > 0) {
        field_coef_poly_divide(pn, pm, polynames, pq.cell(), pr.cell());
        poly_set(1, pmu.cell());
      } else {
        pseudo_field_coef_poly_div(pn, pm, polynames, pq.cell(), pr.cell(), pmu.cell());
      }
      ASSERT_NE(pr.get(), nullptr);
      EXPECT_LT(pr->numb ? 0 : pr->exp, 2);
      EXPECT_EQ(fold(pmu.ref() * n), fold(pq.ref() * m + pr.ref()));
    }
  }
  // The GCDs went through the field stage and the subresultant sequence.
  EXPECT_GT(polygcd_stages.field, stages.field);
  EXPECT_GT(polygcd_stages.algorithm_c, stages.algorithm_c);
}

}  // namespace
}  // namespace tavrin::test
