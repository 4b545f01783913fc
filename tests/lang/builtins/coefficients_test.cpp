// Taking random polynomials in one to four variables apart and putting them
// together again: coefficients by exponents and by monomials, cofactors,
// total-degree parts, level shifts, contents, leading monomials and leading
// coefficients, all checked against the exponent vectors of a test-side
// polynomial.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "poly/poly_exact_divide.h"
#include "poly/poly_repr.h"
#include "toplevel/charsets.h"
#include "toplevel/platform.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "lang/builtins/coefficients.h"
#include "lang/expressions.h"
#include "support/bigref.h"
#include "support/data_tables.h"
#include "support/poly_support.h"
#include "support/refpoly.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

class Coefficients : public testing::Test {
 protected:
  Coefficients() {
    load_data_tables();
    init_character_sets();
    make_token_ring();
  }
  BigModeGuard big;

  // *ans := get_coef of p with the argument text (from its first ",").
  static RefPoly coef_by_text(poly p, const std::string& text, int nvars) {
    TextInput in(text);
    FILEPtr stream = &in;
    leftover[0] = '\0';
    scanner(&stream, &token, &zilch);
    poly ans = nullptr;
    get_coef(p, &ans, &stream, &zilch, true);
    EXPECT_EQ(std::string(token.name), ")");
    RefPoly r = read_poly(ans, nvars);
    free_poly(&ans);
    return r;
  }
};

using Exps = RefPoly::Exps;

RefPoly monomial_of(const Exps& e) {
  RefPoly m(static_cast<int>(e.size()));
  m.add_term(e, BigRef(1));
  return m;
}

RefPoly random_nonzero(std::mt19937_64& rng, int nvars) {
  for (;;) {
    RefPoly r = random_refpoly(rng, nvars, 6, 4, 2);
    if (!r.is_zero()) return r;
  }
}

TEST_F(Coefficients, ExponentCoefficientsRebuildTheValue) {
  std::mt19937_64 rng(test_seed());
  const PolyVars vars({"x", "y", "z", "w"});
  for (int i = 0; i < test_iterations(60); ++i) {
    const int nvars = 1 + static_cast<int>(rng() % 4);
    const RefPoly f = random_nonzero(rng, 4);
    poly p = build_poly(f);
    RefPoly sum(4);
    std::int32_t top = 0;
    for (const auto& [e, c] : f.terms()) top = std::max(top, e[0]);
    for (std::int32_t k = 0; k <= top; ++k)
      sum = sum + coef_by_text(p, ", " + std::to_string(k) + ")", 4) * RefPoly::variable(4, 0, k);
    EXPECT_EQ(sum, f) << show_poly(p);
    // A full exponent vector picks one coefficient.
    const Exps e = f.terms().rbegin()->first;
    std::string text;
    for (int v = 0; v < nvars; ++v) text += ", " + std::to_string(e[v]);
    RefPoly want(4);
    for (const auto& [g, c] : f.terms())
      if (std::equal(g.begin(), g.begin() + nvars, e.begin())) {
        Exps rest = g;
        std::fill(rest.begin(), rest.begin() + nvars, 0);
        want.add_term(rest, c);
      }
    EXPECT_EQ(coef_by_text(p, text + ")", 4), want) << show_poly(p) << text;
    free_poly(&p);
  }
}

TEST_F(Coefficients, MonomialCoefficientsCofactorsAndTotalDegrees) {
  std::mt19937_64 rng(test_seed() + 1);
  const PolyVars vars({"x", "y", "z", "w"});
  for (int i = 0; i < test_iterations(60); ++i) {
    const RefPoly f = random_nonzero(rng, 4);
    Exps me(4);
    for (auto& e : me)
      e = static_cast<std::int32_t>(rng() % 3) * static_cast<std::int32_t>(rng() % 2);
    poly p = build_poly(f);
    poly m = build_poly(monomial_of(me));
    poly one = nullptr;
    poly_set(1, &one);
    // Coefficient of m, the variables of m in play.
    poly s = nullptr;
    extract(p, m, one, &s);
    RefPoly coef(4), cof(4), rest(4);
    for (const auto& [g, c] : f.terms()) {
      bool same = true, divisible = true;
      Exps q = g;
      for (int v = 0; v < 4; ++v) {
        if (me[v] != 0 && g[v] != me[v]) same = false;
        if (g[v] < me[v]) divisible = false;
        q[v] = g[v] - me[v];
      }
      if (same) {
        Exps z = g;
        for (int v = 0; v < 4; ++v)
          if (me[v] != 0) z[v] = 0;
        coef.add_term(z, c);
      }
      if (divisible) {
        cof.add_term(q, c);
      } else {
        rest.add_term(g, c);
      }
    }
    EXPECT_EQ(read_poly(s, 4), coef) << show_poly(p) << " at " << show_poly(m);
    free_poly(&s);
    // Cofactor: value = cofactor * m + the terms m does not divide.
    if (!m->numb) {
      poly mm = m;
      std::int16_t pads = 0;
      while (!mm->numb && mm->exp == 0) {
        mm = mm->pcoef;
        ++pads;
      }
      poly c = nullptr;
      cullout(p, mm, &c, pads);
      const RefPoly got = c == nullptr ? RefPoly(4) : read_poly(c, 4);
      EXPECT_EQ(got, cof);
      EXPECT_EQ(got * monomial_of(me) + rest, f);
      if (c != nullptr) free_poly(&c);
    }
    // Total-degree parts in the marked variables add up to the value.
    bool marked[151] = {};
    std::int32_t last = -1;
    for (int v = 0; v < 4; ++v)
      if (rng() % 2) {
        marked[v + 1] = true;
        last = v + 1;
      }
    RefPoly total(4);
    for (std::int32_t d = 0; d <= 16 && last > 0; ++d) {
      poly c = nullptr;
      poly_assign(p, &c);
      c = total_degree(c, 1, d, marked, last);
      if (c == nullptr) continue;
      const RefPoly part = read_poly(c, 4);
      for (const auto& [g, cf] : part.terms()) {
        std::int32_t deg = 0;
        for (int v = 0; v < 4; ++v)
          if (marked[v + 1]) deg += g[v];
        EXPECT_EQ(deg, d);
      }
      total = total + part;
      free_poly(&c);
    }
    if (last > 0) {
      EXPECT_EQ(total, f);
    }
    free_poly(&one);
    free_poly(&m);
    free_poly(&p);
  }
}

TEST_F(Coefficients, ShiftsContentsAndLeadingTerms) {
  std::mt19937_64 rng(test_seed() + 2);
  const PolyVars vars({"x", "y", "z", "w", "v", "u"});
  for (int i = 0; i < test_iterations(60); ++i) {
    const RefPoly f4 = random_nonzero(rng, 4);
    RefPoly f(6);
    for (const auto& [g, c] : f4.terms()) f.add_term({g[0], g[1], g[2], g[3], 0, 0}, c);
    Value v = Value::adopt(nullptr);
    {
      poly p = build_poly(f);
      use_up_poly(&p, v.cell());
    }
    // Lower by k and raise again.
    const std::int32_t k = 1 + static_cast<std::int32_t>(rng() % 2);
    {
      Value w = copy_of(v);
      lower_quoly(w.cell(), k);
      EXPECT_TRUE(normal_value(w));
      if (!w->numb) {
        RefPoly shifted(6);
        for (const auto& [g, c] : f.terms()) {
          Exps s(6, 0);
          for (int j = 0; j + k < 6; ++j) s[j + k] = g[j];
          shifted.add_term(s, c);
        }
        EXPECT_EQ(read_poly(w->numer, 6), shifted);
      }
      raise_quoly(w.cell(), k);
      EXPECT_EQ(value_text(w), value_text(v));
    }
    if (v->numb) continue;
    // Content times primitive part.
    quoly c = nullptr;
    call_content(v.cell(), &c, nullptr);
    Value content = Value::adopt(c);
    EXPECT_TRUE(normal_value(content));
    poly cp = nullptr;
    if (content->numb) {
      quoly_to_poly(content, &cp);
    } else {
      poly_assign(content->numer, &cp);
    }
    poly pp = nullptr;
    if (cp->numb) {
      poly_quot(v->numer, cp, &pp, 0);
    } else {
      bool failed = true;
      gen_poly_divide(v->numer, cp, &pp, polynames, &failed);
      EXPECT_FALSE(failed);
    }
    EXPECT_EQ(read_poly(cp, 6) * read_poly(pp, 6), f);
    free_poly(&cp);
    free_poly(&pp);
    // The leading monomial is the largest term in the order of exponent
    // vectors; the leading coefficient collects the top power of the first
    // variable that occurs.
    quoly lm = nullptr;
    leading_mon(v.cell(), nullptr, &lm);
    Value lead = Value::adopt(lm);
    const auto& top = *f.terms().rbegin();
    RefPoly want(6);
    want.add_term(top.first, top.second);
    EXPECT_TRUE(normal_value(lead));
    EXPECT_EQ(value_parts(lead).first, want);
    int first = 0;
    while (top.first[first] == 0 && first < 5) ++first;
    RefPoly lc(6);
    for (const auto& [g, cf] : f.terms())
      if (g[first] == top.first[first]) {
        bool above = true;
        for (int j = 0; j < first; ++j) above = above && g[j] == 0;
        if (!above) continue;
        Exps z = g;
        z[first] = 0;
        lc.add_term(z, cf);
      }
    quoly lq = nullptr;
    quoly_leading_coef(v.cell(), &lq);
    Value lcv = Value::adopt(lq);
    EXPECT_TRUE(normal_value(lcv));
    EXPECT_EQ(value_parts(lcv).first, lc) << value_text(v);
  }
}

}  // namespace
}  // namespace tavrin::test
