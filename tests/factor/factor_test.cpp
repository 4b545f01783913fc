// Square-free decomposition, powers modulo a polynomial and factorisation
// over finite fields: tables of known answers, and random polynomials over
// eleven fields whose factors are checked by a test-side field arithmetic
// (residues, extensions by a relation, GF(2^8) and GF(2^16) bit by bit) and a
// Rabin irreducibility test, trusting nothing of the routines under test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/error_codes.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/primes.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "factor/factor.h"
#include "factor/factor_impl.h"
#include "factor/powermod.h"
#include "factor/square_free.h"
#include "support/data_tables.h"
#include "support/dense_ref.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/relation_scope.h"
#include "support/rings.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

// ---- Test-side arithmetic in GF(q) and GF(q)[x] -----------------------------------------
// Elements are coordinate vectors over the ground field in t, reduced by a
// monic relation rel (rel[k] = 1); k = 1 is the ground field itself.
struct TField {
  RefField ground;
  Coeffs rel;  // empty: the ground field
  std::uint64_t q;
  std::size_t k() const { return rel.empty() ? 1 : rel.size() - 1; }
  using E = Coeffs;
  E zero() const { return E(k(), 0); }
  E one() const {
    E e = zero();
    e[0] = 1;
    return e;
  }
  bool is_zero(const E& a) const {
    return std::all_of(a.begin(), a.end(), [](std::int64_t v) { return v == 0; });
  }
  E add(const E& a, const E& b) const {
    E r(k());
    for (std::size_t i = 0; i < k(); ++i) r[i] = ground.add(a[i], b[i]);
    return r;
  }
  E sub(const E& a, const E& b) const {
    E r(k());
    for (std::size_t i = 0; i < k(); ++i) r[i] = ground.sub(a[i], b[i]);
    return r;
  }
  E mul(const E& a, const E& b) const {
    Coeffs p(2 * k(), 0);
    for (std::size_t i = 0; i < k(); ++i)
      for (std::size_t j = 0; j < k(); ++j) p[i + j] = ground.add(p[i + j], ground.mul(a[i], b[j]));
    for (std::size_t d = p.size() - 1; d >= k(); --d)  // t^k = -(rel[0] + ... )
      for (std::size_t i = 0; i < k(); ++i)
        p[d - k() + i] = ground.sub(p[d - k() + i], ground.mul(p[d], rel.empty() ? 0 : rel[i]));
    p.resize(k());
    return p;
  }
  E power(E a, std::uint64_t e) const {
    E r = one();
    for (; e != 0; e >>= 1, a = mul(a, a))
      if (e & 1u) r = mul(r, a);
    return r;
  }
  E inv(const E& a) const { return power(a, q - 2); }
};

using TPoly = std::vector<TField::E>;  // index = degree, trimmed

void trim(TPoly& a, const TField& F) {
  while (!a.empty() && F.is_zero(a.back())) a.pop_back();
}
TPoly tmul(const TField& F, const TPoly& a, const TPoly& b) {
  if (a.empty() || b.empty()) return {};
  TPoly r(a.size() + b.size() - 1, F.zero());
  for (std::size_t i = 0; i < a.size(); ++i)
    for (std::size_t j = 0; j < b.size(); ++j) r[i + j] = F.add(r[i + j], F.mul(a[i], b[j]));
  trim(r, F);
  return r;
}
TPoly tsub(const TField& F, TPoly a, const TPoly& b) {
  a.resize(std::max(a.size(), b.size()), F.zero());
  for (std::size_t i = 0; i < b.size(); ++i) a[i] = F.sub(a[i], b[i]);
  trim(a, F);
  return a;
}
TPoly tmod(const TField& F, TPoly a, const TPoly& m) {
  const TField::E li = F.inv(m.back());
  while (a.size() >= m.size()) {
    const TField::E c = F.mul(a.back(), li);
    const std::size_t s = a.size() - m.size();
    for (std::size_t i = 0; i < m.size(); ++i) a[s + i] = F.sub(a[s + i], F.mul(c, m[i]));
    trim(a, F);
  }
  return a;
}
TPoly tgcd(const TField& F, TPoly a, TPoly b) {
  while (!b.empty()) {
    a = tmod(F, a, b);
    std::swap(a, b);
  }
  return a;
}
TPoly tpowmod(const TField& F, TPoly a, std::uint64_t e, const TPoly& m) {
  TPoly r{F.one()};
  for (a = tmod(F, a, m); e != 0; e >>= 1, a = tmod(F, tmul(F, a, a), m))
    if (e & 1u) r = tmod(F, tmul(F, r, a), m);
  return r;
}
TPoly tderiv(const TField& F, const TPoly& a) {
  TPoly r;
  for (std::size_t i = 1; i < a.size(); ++i) {
    TField::E c = F.zero();
    for (std::size_t n = 0; n < i % static_cast<std::size_t>(F.ground.char2() ? 2 : F.ground.p());
         ++n)
      c = F.add(c, a[i]);
    r.push_back(c);
  }
  trim(r, F);
  return r;
}
bool tmonic(const TField& F, const TPoly& a) { return !a.empty() && a.back() == F.one(); }
TPoly tmake_monic(const TField& F, const TPoly& a) {
  const TField::E li = F.inv(a.back());
  TPoly r;
  for (const auto& c : a) r.push_back(F.mul(c, li));
  return r;
}

// Rabin: f of degree n is irreducible iff x^(q^n) = x mod f and
// gcd(x^(q^(n/r)) - x, f) = 1 for every prime r dividing n.
bool rabin_irreducible(const TField& F, const TPoly& f) {
  const std::size_t n = f.size() - 1;
  const TPoly x{F.zero(), F.one()};
  std::vector<TPoly> h{x};
  for (std::size_t i = 1; i <= n; ++i) h.push_back(tpowmod(F, h.back(), F.q, f));
  if (tsub(F, h[n], tmod(F, x, f)) != TPoly{}) return false;
  for (std::size_t r = 2; r <= n; ++r) {
    if (n % r != 0 || !is_prime(static_cast<std::int32_t>(r))) continue;
    if (tgcd(F, tsub(F, h[n / r], x), f).size() != 1) return false;
  }
  return true;
}

// Conversions: the variable x is level 1, t (when there is a relation) level 2.
TPoly to_t(const TField& F, poly p) {
  TPoly r;
  const int nv = F.rel.empty() ? 1 : 2;
  const RefPoly ref = read_poly(p, nv);
  for (const auto& [e, c] : ref.terms()) {
    const auto i = static_cast<std::size_t>(e[0]);
    if (r.size() <= i) r.resize(i + 1, F.zero());
    r[i][nv == 2 ? static_cast<std::size_t>(e[1]) : 0] = c.to_int64();
  }
  trim(r, F);
  return r;
}
poly from_t(const TField& F, const TPoly& a) {
  const int nv = F.rel.empty() ? 1 : 2;
  RefPoly r(nv);
  for (std::size_t i = 0; i < a.size(); ++i)
    for (std::size_t j = 0; j < F.k(); ++j)
      if (a[i][j] != 0)
        r.add_term(nv == 2
                       ? RefPoly::Exps{static_cast<std::int32_t>(i), static_cast<std::int32_t>(j)}
                       : RefPoly::Exps{static_cast<std::int32_t>(i)},
                   BigRef(a[i][j]));
  return build_poly(r);
}
TField::E random_elem(const TField& F, std::mt19937_64& rng) {
  TField::E e(F.k());
  const std::int64_t p = F.ground.p();
  for (auto& c : e) c = static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(p));
  return e;
}
TPoly random_monic(const TField& F, std::mt19937_64& rng, std::size_t deg) {
  TPoly a(deg + 1);
  for (auto& c : a) c = random_elem(F, rng);
  a[deg] = F.one();
  return a;
}

using Factors = std::vector<std::pair<std::int32_t, std::string>>;
Factors list_of(poly l) {
  Factors f;
  for (poly r = l; r != nullptr; r = r->next) f.emplace_back(r->exp, show_poly(r->pcoef));
  std::sort(f.begin(), f.end());
  return f;
}
std::string list_text(poly l) {
  std::string s;
  for (poly r = l; r != nullptr; r = r->next)
    s += "(" + std::to_string(r->exp) + ", " + show_poly(r->pcoef) + ")";
  return s;
}

// The decomposition or the factorisation of text (a copy is passed).
std::string sq_free_text(const std::string& text) {
  Poly a(text);
  poly sq = nullptr;
  std::int32_t count = 0;
  total_sq_free(a.cell(), &sq, &count, true, polynames);
  std::string s = list_text(sq) + " #" + std::to_string(count);
  free_poly(&sq);
  return s;
}
std::string factor_text(const std::string& text, std::int32_t level = -1) {
  Poly a(text);
  poly sq = nullptr;
  std::int32_t count = 0;
  factor_poly(a.cell(), &sq, &count, false, false, level);
  std::string s;  // sorted: the order of the factors follows the random trials
  for (const auto& [e, f] : list_of(sq)) s += "(" + std::to_string(e) + ", " + f + ")";
  s += " #" + std::to_string(count);
  free_poly(&sq);
  return s;
}
std::string irreducible_text(const std::string& text, std::int32_t level = -1) {
  Value v = make_value(text);
  irreducible_poly(v.cell(), level);
  return value_text(v);
}
void drop_number(imptr x) {
  special_free(x);
  free_imag(&x);
}
imptr big_number(const std::string& decimal) {
  BigModeGuard big;
  return make_number(BigRef::from_decimal(decimal));
}
std::string powermod_text(const std::string& base, const std::string& mod, const std::string& e,
                          bool showit = false) {
  Value b = make_value(base);
  Value m;
  if (!mod.empty()) m = make_value(mod);
  std::unique_ptr<number, void (*)(imptr)> x(big_number(e),
                                             drop_number);  // freed when an error unwinds
  powermod(b.cell(), m.cell(), x.get(), showit);
  return value_text(b);
}

TEST(SquareFreeAndRoots, KnownAnswers) {
  load_data_tables();
  {
    PolyVars vars{"x", "y"};
    EXPECT_EQ(sq_free_text("(x + 1)^2*(x - 2)"), "(2, x + 1)(1, x - 2) #2");
    EXPECT_EQ(sq_free_text("x^2 + y"), "(1, x^2 + y) #1");
    // A content in y: its factors padded to x's level, the number 3 dropped.
    EXPECT_EQ(sq_free_text("3*(y + 1)^2*(x + y)"), "(1, x + y)(2, y + 1) #2");
    ModulusScope mod3(3);
    EXPECT_EQ(sq_free_text("x^3 + 1"), "(3, x + 1) #1");
    // Multiplicities 3*1 + 1 and 3*1 + 0, the latter after a cube root.
    EXPECT_EQ(sq_free_text("(x + 1)^4*(x + 2)^3*(x^2 + 1)"), "(3, x + 2)(4, x + 1)(1, x^2 + 1) #3");
    EXPECT_EQ(sq_free_text("x^2 + 1"), "(1, x^2 + 1) #1");
    // y is no field variable: its cube root cannot be taken.
    EXPECT_TRUE(reports(output_of([&] { sq_free_text("x^3 + y^3"); }), pth_root_not_field_error));
  }
  PolyVars vars{"x", "t"};
  vars.level(2)->field = true;
  {
    ModulusScope mod3(3);
    ModOutScope rel(vars, 2, "t^2 + 1", true);
    Poly u("2*t");  // t^3 = 2t modulo t^2 + 1
    pth_root(&u->pcoef, vars.level(2));
    EXPECT_EQ(u.str(), "t");
    EXPECT_EQ(vars.level(2)->modls, 3);
    // Over GF(9), x^3 + 2t = (x + t)^3.
    EXPECT_EQ(sq_free_text("x^3 + 2*t"), "(3, x + t) #1");
  }
  ModulusScope mod5(5);
  ModOutScope rel(vars, 2, "t^2 + 2", true);
  Poly v("4*t");  // t^5 = 4t modulo t^2 + 2
  pth_root(&v->pcoef, vars.level(2));
  EXPECT_EQ(v.str(), "t");
  EXPECT_EQ(vars.level(2)->modls, 5);
}

// Planted l1 l2^2 l3^3 k in characteristic 0, the l_i distinct monic linear
// forms in x over Z[y] and over Q(s), s^2 = 2 (a field level: the scaled
// divisions of reduce2): the parts are the l_i with their multiplicities.
TEST(SquareFreeAndRoots, RandomPlantedMultiplicitiesInCharacteristicZero) {
  load_data_tables();
  std::mt19937_64 rng(test_seed());
  NodeBalance balance;
  for (const char* second : {"y", "s"}) {
    PolyVars vars{"x", second};
    std::optional<ModOutScope> rel;
    if (*second == 's') {
      vars.level(2)->field = true;
      rel.emplace(vars, 2, "s^2 - 2", true);
    }
    for (int it = 0; it < test_iterations(15); ++it) {
      std::vector<std::string> l;
      while (l.size() < 3) {
        const int u = static_cast<int>(rng() % 7) - 3, v = static_cast<int>(rng() % 9) - 4;
        const std::string f = std::string("x ") + (u < 0 ? "- " : "+ ") +
                              std::to_string(std::abs(u)) + "*" + second + (v < 0 ? " - " : " + ") +
                              std::to_string(std::abs(v));
        if (std::find(l.begin(), l.end(), show_poly(Poly(f).get())) == l.end())
          l.push_back(show_poly(Poly(f).get()));
      }
      const std::string k = std::to_string(1 + static_cast<int>(rng() % 6));
      const std::string text = k + "*(" + l[0] + ")*(" + l[1] + ")^2*(" + l[2] + ")^3";
      Poly a(k);  // the product formed by poly_mult, so reduced by the relation
      for (int j : {0, 1, 1, 2, 2, 2}) {
        Poly f(l[static_cast<std::size_t>(j)]);
        poly_mult(a.get(), f.get(), a.cell(), polynames);
      }
      poly sq = nullptr;
      std::int32_t count = 0;
      total_sq_free(a.cell(), &sq, &count, true, polynames);
      Factors want = {{1, l[0]}, {2, l[1]}, {3, l[2]}}, got;
      for (poly r = sq; r != nullptr; r = r->next) {
        Poly neg;
        poly_makeneg(r->pcoef, neg.cell());
        const std::string f = show_poly(r->pcoef), g = neg.str();
        got.emplace_back(r->exp, std::find(l.begin(), l.end(), f) != l.end() ? f : g);
      }
      std::sort(want.begin(), want.end());
      std::sort(got.begin(), got.end());
      EXPECT_EQ(got, want) << text;
      EXPECT_EQ(count, 3) << text;
      free_poly(&sq);
    }
  }
}

TEST(PowerModulo, KnownAnswers) {
  load_data_tables();
  PolyVars vars{"x", "t"};
  EXPECT_EQ(powermod_text("3", "7", "100000000000000000000"), "number 4");
  EXPECT_EQ(powermod_text("14", "7", "6"), "number 0");
  EXPECT_EQ(powermod_text("3", "10", "4"), "number 1");
  EXPECT_EQ(powermod_text("0", "10", "0"), "number 1");
  EXPECT_EQ(powermod_text("x", "x^2 + 1", "3"), "-x");
  EXPECT_EQ(powermod_text("3", "x^2 + 1", "5"), "number 243");
  EXPECT_TRUE(
      reports(output_of([&] { powermod_text("x", "2*x^2 + 1", "3"); }), modulus_not_monic_error));
  const std::string neg = output_of([&] { powermod_text("x", "x^2 + 1", "-1"); });
  EXPECT_EQ(neg.rfind("*** bad exponent (negative): \n-1", 0), 0U) << neg;
  EXPECT_TRUE(reports(neg, negative_powermod_exponent_error));
  // Progress over twelve limbs (2^(28*11)).
  std::string e = "1";
  {
    BigModeGuard big;
    BigRef v = BigRef::pow2(28 * 11);
    e = v.to_decimal();
  }
  EXPECT_EQ(
      output_of([&] { powermod_text("x", "x^2 + 1", e, true); }),
      "          counting to 12\n             0 1 2 3 4 5 6 7 8 9 \n             10 11 12 \n");
  ModulusScope mod7(7);
  EXPECT_EQ(powermod_text("3", "", "-1"), "number 5");
  EXPECT_TRUE(reports(output_of([&] { powermod_text("0", "", "-1"); }), division_by_zero_error));
  EXPECT_EQ(powermod_text("0", "", "0"), "number 1");
  const std::string two28 = "268435456";
  std::string monomial;
  EXPECT_EQ(output_of([&] { monomial = powermod_text("x", "", two28); }),
            " *** Warning. exponent overflow may occur.\n");
  EXPECT_EQ(monomial, "x^268435456");
  vars.level(2)->field = true;
  ModOutScope rel(vars, 2, "t^2 + 1", true);  // GF(49): t^48 = 1
  std::string silent;
  EXPECT_EQ(output_of([&] { silent = powermod_text("t + 1", "", two28); }), "");
  EXPECT_EQ(silent, powermod_text("t + 1", "", std::to_string((1 << 28) % 48)));
}

TEST(PowerModulo, RandomAgainstRepeatedProducts) {
  load_data_tables();
  std::mt19937_64 rng(test_seed());
  for (std::int64_t p : {7, 256, 65521}) {
    PolyVars vars{"x"};
    ModulusScope ring(static_cast<std::int32_t>(p));
    const TField F{RefField(p), {}, static_cast<std::uint64_t>(p)};
    for (int it = 0; it < test_iterations(20); ++it) {
      // Moduli of degree 64 and more reach the remainder by a series inverse.
      const std::size_t dm = it % 3 == 0 ? 64 + rng() % 60 : 1 + rng() % 8;
      const TPoly m = random_monic(F, rng, dm), b = random_monic(F, rng, rng() % (dm + 10));
      const std::uint64_t e = 1 + rng() % 150;
      TPoly want{F.one()};
      for (std::uint64_t k = 0; k < e; ++k) want = tmod(F, tmul(F, want, b), m);
      Value bv = Value::adopt(tavrin::nodes::new_ratfun_value(from_t(F, b), nullptr));
      Value mv = Value::adopt(tavrin::nodes::new_ratfun_value(from_t(F, m), nullptr));
      if (bv->numer->numb) polynum_to_quoly(bv.cell());
      imptr x = big_number(std::to_string(e));
      powermod(bv.cell(), mv.cell(), x, false);
      drop_number(x);
      Poly got;
      if (bv->numb)
        quoly_to_poly(bv, got.cell());
      else
        poly_assign(bv->numer, got.cell());
      EXPECT_EQ(to_t(F, got), want) << "p " << p << " e " << e;
    }
  }
  // Two-limb exponents in GF(65521^2) (q - 1 has two limbs): by base-p
  // digits and Frobenius steps.
  PolyVars fv{"t"};
  fv.level(1)->field = true;
  ModulusScope ring(65521);
  ModOutScope rel(fv, 1, "t^2 - 17", true);  // 17 is no square modulo 65521
  const TField F{RefField(65521), {65521 - 17, 0, 1}, 65521ULL * 65521ULL};
  for (int it = 0; it < test_iterations(10); ++it) {
    const TField::E b = random_elem(F, rng);
    const std::uint64_t e = (std::uint64_t{1} << 28) + rng() % (F.q - (std::uint64_t{1} << 28));
    Value bv = make_value(std::to_string(b[1]) + "*t + " + std::to_string(b[0]));
    if (bv->numb) continue;
    imptr x = big_number(std::to_string(e));
    Value none;
    powermod(bv.cell(), none.cell(), x, false);
    drop_number(x);
    TField::E got = F.zero();
    if (bv->numb) {
      got[0] = number_value(bv->ncoef).to_int64();
    } else {
      const RefPoly r = read_poly(bv->numer, 1);
      for (const auto& [ex, co] : r.terms()) got[static_cast<std::size_t>(ex[0])] = co.to_int64();
    }
    EXPECT_EQ(got, F.power(b, e)) << "e " << e;
  }
}

// b^e modulo m of numbers by the limb route (binary powering with a long
// division after the products, the oracle) and by the words (Barrett's
// reduction and a sliding window) must be the same residue, and the
// operands must come back unchanged.
void check_number_routes(const BigRef& b, const BigRef& e, const BigRef& m) {
  std::string limb_route, word_route;
  for (std::int32_t cut : {std::numeric_limits<std::int32_t>::max(), 1}) {
    ScopedValue<std::int32_t> route(powmod_wide_limbs, cut);
    Value bv = make_value(b.to_decimal()), mv = make_value(m.to_decimal());
    std::unique_ptr<number, void (*)(imptr)> x(big_number(e.to_decimal()), drop_number);
    powermod(bv.cell(), mv.cell(), x.get(), false);
    ASSERT_TRUE(mv->numb && number_value(mv->ncoef) == m);
    (cut == 1 ? word_route : limb_route) = value_text(bv);
  }
  ASSERT_EQ(word_route, limb_route) << b << " ^ " << e << " mod " << m;
}

TEST(PowerModulo, NumbersOnWordsAgreeWithTheLimbRoute) {
  load_data_tables();
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 5);
  for (int it = 0; it < test_iterations(150); ++it) {
    BigRef m = random_big(rng, it % 6 == 0 ? 40 : 6).abs();
    switch (it % 5) {
      case 0: m = BigRef::pow2(static_cast<unsigned>(1 + rng() % 300)); break;  // even moduli
      case 1: m = BigRef::pow2(static_cast<unsigned>(28 * (1 + rng() % 8))) - BigRef(1); break;
      case 2: m = BigRef::pow2(static_cast<unsigned>(28 * (1 + rng() % 8))) + BigRef(1); break;
      default: break;
    }
    if (m.is_zero()) m = BigRef(1);
    BigRef b = random_big(rng, 12);               // either sign
    if (it % 7 == 0) b = m * random_big(rng, 2);  // a multiple of m
    if (it % 11 == 0) b = m - BigRef(1);          // -1 modulo m
    const BigRef e = it % 4 == 0 ? random_big(rng, 3).abs() + BigRef(1)
                                 : BigRef(1 + static_cast<std::int64_t>(rng() % 70));
    check_number_routes(b, e, m);
    if (HasFatalFailure()) return;
  }
  // A one-limb prime keeps the limb route (the exponent cut by Fermat).
  check_number_routes(BigRef(12345678), BigRef::pow2(200) + BigRef(3), BigRef(268435399));
}

TEST(PowerModulo, NumbersOnWordsKnownResidues) {
  // Fermat modulo the Mersenne primes 2^127 - 1 and 2^521 - 1: b^(p - 1) =
  // 1, b^p = b; modulo 2^k the order of 3 is 2^(k - 2); the modulus 1
  // leaves 0.
  load_data_tables();
  NodeBalance balance;
  for (unsigned k : {127u, 521u}) {
    const BigRef p = BigRef::pow2(k) - BigRef(1);
    const std::string ps = p.to_decimal();
    EXPECT_EQ(powermod_text("123456789123456789", ps, (p - BigRef(1)).to_decimal()), "number 1");
    EXPECT_EQ(powermod_text("-5", ps, ps), "number " + (p - BigRef(5)).to_decimal());
  }
  EXPECT_EQ(powermod_text("3", BigRef::pow2(300).to_decimal(), BigRef::pow2(298).to_decimal()),
            "number 1");
  EXPECT_NE(powermod_text("3", BigRef::pow2(300).to_decimal(), BigRef::pow2(297).to_decimal()),
            "number 1");
  EXPECT_EQ(powermod_text("7", "1", "5"), "number 0");
}

TEST(Factorisation, KnownAnswers) {
  load_data_tables();
  PolyVars vars{"x", "t"};
  EXPECT_EQ(irreducible_text("5"), "number 0");
  {
    ModulusScope mod3(3);
    EXPECT_EQ(irreducible_text("x^2 + 1"), "number 1");
    EXPECT_EQ(factor_text("x^2 + 1"), "(1, x^2 + 1) #1");
    EXPECT_EQ(irreducible_text("x^3 - x"), "number 3");
    EXPECT_TRUE(reports(output_of([&] { factor_text("x^2 + 1", 1); }), factor_level_error));
  }
  {
    ModulusScope mod5(5);
    EXPECT_EQ(irreducible_text("x^2 - 1"), "number 2");
    EXPECT_EQ(irreducible_text("(x + 1)^2"), "x + 1");
  }
  {
    ModulusScope mod2(2);
    EXPECT_EQ(irreducible_text("x^4 + x^2 + x"), "x");
    EXPECT_EQ(factor_text("x^4 + x^2 + x"), "(1, x)(1, x^3 + x + 1) #2");
    EXPECT_EQ(factor_text("x^2 + x"), "(1, x)(1, x + 1) #2");
  }
  ModulusScope mod3(3);
  vars.level(2)->field = true;
  ModOutScope rel(vars, 2, "t^2 + 1", true);
  // Over the prime field a polynomial with coefficients in t is left alone.
  EXPECT_EQ(irreducible_text("x^2 + t", 0), "number 1");
  EXPECT_EQ(factor_text("x^2 + t", 0), "(1, x^2 + t) #1");
  // Over GF(9), x^2 + 1 = (x + t)(x - t).
  EXPECT_EQ(factor_text("x^2 + 1"), "(1, x + 2*t)(1, x + t) #2");
}

struct FieldCase {
  const char* name;
  std::int64_t p;
  const char* relation;  // "" for none
  Coeffs rel;
  std::uint64_t q;
};

TEST(Factorisation, RandomProductsOverElevenFields) {
  load_data_tables();
  std::mt19937_64 rng(test_seed());
  const std::vector<FieldCase> cases = {{"Z/2", 2, "", {}, 2},
                                        {"Z/3", 3, "", {}, 3},
                                        {"Z/5", 5, "", {}, 5},
                                        {"Z/7", 7, "", {}, 7},
                                        {"Z/101", 101, "", {}, 101},
                                        {"Z/65521", 65521, "", {}, 65521},
                                        {"Z/2147483629", 2147483629, "", {}, 2147483629},
                                        {"GF(9)", 3, "t^2 + 1", {1, 0, 1}, 9},
                                        {"GF(125)", 5, "t^3 + t + 1", {1, 1, 0, 1}, 125},
                                        {"GF(256)", 256, "", {}, 256},
                                        {"GF(65536)", 65536, "", {}, 65536}};
  NodeBalance balance;
  for (const FieldCase& c : cases) {
    const bool tower = *c.relation != '\0';
    PolyVars vars = tower ? PolyVars{"x", "t"} : PolyVars{"x"};
    ModulusScope ring(static_cast<std::int32_t>(c.p));
    if (tower) vars.level(2)->field = true;
    std::optional<ModOutScope> rel;
    if (tower) rel.emplace(vars, 2, c.relation, true);
    const TField F{RefField(c.p), c.rel, c.q};
    for (int it = 0; it < test_iterations(4); ++it) {
      // A product of random monic parts with multiplicities, some of them p.
      TPoly a{F.one()};
      std::size_t total = 0;
      const int parts = 1 + static_cast<int>(rng() % 4);
      for (int k = 0; k < parts; ++k) {
        const std::size_t d = 1 + rng() % 14;
        std::int64_t m = 1 + static_cast<std::int64_t>(rng() % 3);
        if (rng() % 4 == 0 && c.p <= 7) m = c.p;  // a p-th power: roots of field elements
        if (total + d * static_cast<std::size_t>(m) > 60) break;
        total += d * static_cast<std::size_t>(m);
        const TPoly f = random_monic(F, rng, d);
        for (std::int64_t j = 0; j < m; ++j) a = tmul(F, a, f);
      }
      if (a.size() < 2) continue;
      TField::E scale = random_elem(F, rng);
      if (F.is_zero(scale)) scale = F.one();
      for (auto& co : a) co = F.mul(co, scale);
      const std::string where =
          std::string(c.name) + " input " + show_poly(Poly::adopt(from_t(F, a)).get());
      // Square-free parts: pairwise coprime, square-free, multiplying back.
      Poly in = Poly::adopt(from_t(F, a));
      poly sq = nullptr;
      std::int32_t count = 0;
      total_sq_free(in.cell(), &sq, &count, true, polynames);
      TPoly back{F.one()};
      for (poly r = sq; r != nullptr; r = r->next) {
        const TPoly f = to_t(F, r->pcoef);
        EXPECT_EQ(tgcd(F, f, tderiv(F, f)).size(), 1U) << where;
        for (poly s = r->next; s != nullptr; s = s->next)
          EXPECT_EQ(tgcd(F, f, to_t(F, s->pcoef)).size(), 1U) << where;
        for (std::int32_t j = 0; j < r->exp; ++j) back = tmul(F, back, f);
      }
      EXPECT_EQ(back, tmake_monic(F, a)) << where;
      free_poly(&sq);
      // Irreducible factors, the same multiset for two seeds.
      Factors first;
      for (std::uint32_t seed : {1U, 77U}) {
        seed_random(seed);
        Poly in2 = Poly::adopt(from_t(F, a));
        factor_poly(in2.cell(), &sq, &count, false, false, -1);
        TPoly prod{F.one()};
        std::int32_t n = 0;
        for (poly r = sq; r != nullptr; r = r->next, ++n) {
          const TPoly f = to_t(F, r->pcoef);
          EXPECT_TRUE(tmonic(F, f) && rabin_irreducible(F, f))
              << where << " factor " << show_poly(r->pcoef);
          for (std::int32_t j = 0; j < r->exp; ++j) prod = tmul(F, prod, f);
        }
        EXPECT_EQ(n, count) << where;
        EXPECT_EQ(prod, tmake_monic(F, a)) << where;
        if (first.empty())
          first = list_of(sq);
        else
          EXPECT_EQ(list_of(sq), first) << where;
        free_poly(&sq);
      }
    }
  }
}

}  // namespace
}  // namespace tavrin::test

namespace tavrin::test {
namespace {

// ---- The residue route against the term-list method -----------------------------------

// A random monic irreducible of degree d (the test's Rabin test decides).
TPoly random_irreducible(const TField& F, std::mt19937_64& rng, std::size_t d) {
  for (;;) {
    const TPoly f = random_monic(F, rng, d);
    if (rabin_irreducible(F, f)) return f;
  }
}

// The list as blocks: runs of entries of one multiplicity and degree (the
// stages link a block's factors in the order of their random trials), the
// factors of a block sorted.
std::vector<std::string> blocks_of(poly l) {
  std::vector<std::string> out;
  std::vector<std::string> run;
  std::string key;
  auto flush = [&] {
    std::sort(run.begin(), run.end());
    std::string b = key + ":";
    for (const auto& f : run) b += " " + f;
    if (!run.empty()) out.push_back(b);
    run.clear();
  };
  for (poly r = l; r != nullptr; r = r->next) {
    const poly top = r->pcoef->numb || r->pcoef->exp != 0 ? r->pcoef : r->pcoef->pcoef;
    const std::string k = std::to_string(r->exp) + "/" + std::to_string(top->numb ? 0 : top->exp);
    if (k != key) flush();
    key = k;
    run.push_back(show_poly(r->pcoef));
  }
  flush();
  return out;
}

// factor_poly, the irreducibility verdict and total_sq_free of text by the
// residue route (route true) or the term-list method.
struct Results {
  std::vector<std::string> factors;
  std::string sq_free;
  std::string verdict;
  std::int32_t count = 0;
};
Results results(const std::string& text, bool route, std::int32_t level) {
  ScopedValue<std::int32_t> by(fast_factor_degree,
                               route ? 1 : std::numeric_limits<std::int32_t>::max());
  const detail::ResidueRouteCounts before = detail::residue_routes;
  Results r;
  Poly a(text);
  poly sq = nullptr;
  factor_poly(a.cell(), &sq, &r.count, false, false, level);
  r.factors = blocks_of(sq);
  free_poly(&sq);
  r.sq_free = sq_free_text(text);
  r.verdict = irreducible_text(text, level);
  // The route asked for was the route taken (the decomposition three times,
  // the factoriser once or twice: the verdict stops at a part that is not
  // square-free).
  EXPECT_EQ(detail::residue_routes.factor - before.factor > 0, route) << text;
  EXPECT_EQ(detail::residue_routes.square_free - before.square_free, route ? 3 : 0) << text;
  return r;
}

// Planted factorisations over Z/p: products of random irreducibles of
// chosen degrees (several of one degree, for the equal-degree stage), with
// repeated factors and p-th powers, times a unit. Both routes give the same
// blocks, decomposition and verdict, and the planted factors.
TEST(Factorisation, ResidueRouteAgreesWithTheTermListMethodOnPlantedProducts) {
  load_data_tables();
  std::mt19937_64 rng(test_seed());
  NodeBalance balance;
  // Low thresholds: transform products and the half-GCD at small degrees.
  ScopedValue<std::int32_t> t(dense_transform_length, 1), m(dense_modulus_degree, 33),
      h(dense_hgcd_degree, 8);
  for (std::int64_t p : {2, 3, 7, 101, 32003, 65521, 2147483629}) {
    // Over Z/2 and Z/3 also at level 0 below a field level (random trials
    // in characteristic 2).
    for (bool below_field : {false, true}) {
      if (below_field && p > 3) continue;
      PolyVars vars = below_field ? PolyVars{"x", "t"} : PolyVars{"x"};
      ModulusScope ring(static_cast<std::int32_t>(p));
      std::optional<ModOutScope> rel;
      if (below_field) {
        vars.level(2)->field = true;
        rel.emplace(vars, 2, p == 2 ? "t^2 + t + 1" : "t^2 + 1", true);
      }
      const TField F{RefField(p), {}, static_cast<std::uint64_t>(p)};
      for (int it = 0; it < test_iterations(2); ++it) {
        std::vector<std::pair<TPoly, std::int32_t>> planted;
        TPoly a{F.one()};
        std::size_t total = 0;
        const std::size_t same = 2 + rng() % 3, d0 = 1 + rng() % 6;
        for (std::size_t k = 0; k < 7 && total < 60; ++k) {
          const std::size_t d = k < same ? d0 : 1 + rng() % (p > 101 ? 14 : 25);
          std::int32_t mult = rng() % 4 == 0 ? 2 : 1;
          if (p <= 7 && rng() % 5 == 0) mult = static_cast<std::int32_t>(p);
          TPoly f = random_irreducible(F, rng, d);
          if (std::any_of(planted.begin(), planted.end(),
                          [&](const auto& x) { return x.first == f; }))
            continue;
          for (std::int32_t j = 0; j < mult; ++j) a = tmul(F, a, f);
          total += d * static_cast<std::size_t>(mult);
          planted.emplace_back(std::move(f), mult);
        }
        TField::E unit = random_elem(F, rng);
        if (F.is_zero(unit)) unit = F.one();
        for (auto& c : a) c = F.mul(c, unit);
        const std::string text = show_poly(Poly::adopt(from_t(F, a)).get());
        const std::int32_t level = below_field ? 0 : -1;
        const Results fast = results(text, true, level), part = results(text, false, level);
        EXPECT_EQ(fast.factors, part.factors) << "p " << p << ": " << text;
        EXPECT_EQ(fast.count, part.count) << text;
        EXPECT_EQ(fast.sq_free, part.sq_free) << text;
        EXPECT_EQ(fast.verdict, part.verdict) << text;
        Factors want;
        for (const auto& [f, mult] : planted)
          want.emplace_back(mult, show_poly(Poly::adopt(from_t(F, f)).get()));
        std::sort(want.begin(), want.end());
        Poly in(text);
        poly sq = nullptr;
        std::int32_t count = 0;
        {
          ScopedValue<std::int32_t> by(fast_factor_degree, 1);
          factor_poly(in.cell(), &sq, &count, false, false, level);
        }
        EXPECT_EQ(list_of(sq), want) << text;
        free_poly(&sq);
      }
    }
  }
}

// Equal-degree splitting of larger degrees (the norm products by doubling
// compositions from degree 9 on, the trace by squarings over Z/2): blocks
// of three to five irreducibles of one degree, and linear factors and
// constants, on both routes.
TEST(Factorisation, EqualDegreeBlocksOfLargerDegreesOnBothRoutes) {
  load_data_tables();
  std::mt19937_64 rng(test_seed());
  NodeBalance balance;
  PolyVars vars{"x"};
  for (std::int64_t p : {2, 3, 101, 32003}) {
    ModulusScope ring(static_cast<std::int32_t>(p));
    const TField F{RefField(p), {}, static_cast<std::uint64_t>(p)};
    for (std::size_t d : {9, 13, 17}) {
      TPoly a{F.one()};
      Factors want;
      const std::size_t count = 3 + rng() % 3;
      std::vector<TPoly> seen;
      while (seen.size() < count) {
        TPoly f = random_irreducible(F, rng, d);
        if (std::find(seen.begin(), seen.end(), f) != seen.end()) continue;
        a = tmul(F, a, f);
        want.emplace_back(1, show_poly(Poly::adopt(from_t(F, f)).get()));
        seen.push_back(std::move(f));
      }
      std::sort(want.begin(), want.end());
      const std::string text = show_poly(Poly::adopt(from_t(F, a)).get());
      const Results fast = results(text, true, -1), part = results(text, false, -1);
      EXPECT_EQ(fast.factors, part.factors) << "p " << p << " d " << d;
      EXPECT_EQ(fast.verdict, "number " + std::to_string(count)) << "p " << p << " d " << d;
      Poly in(text);
      poly sq = nullptr;
      std::int32_t n = 0;
      factor_poly(in.cell(), &sq, &n, false, false, -1);
      EXPECT_EQ(list_of(sq), want) << "p " << p << " d " << d;
      free_poly(&sq);
    }
    for (bool route : {true, false}) {
      ScopedValue<std::int32_t> by(fast_factor_degree,
                                   route ? 1 : std::numeric_limits<std::int32_t>::max());
      EXPECT_EQ(factor_text("x + 1"), "(1, x + 1) #1");
      EXPECT_EQ(factor_text(p == 2 ? "x^2" : "2*x^2 + 4*x + 2"),
                p == 2 ? "(2, x) #1" : "(2, x + 1) #1");
      EXPECT_EQ(factor_text("5"), " #0");
    }
  }
}

// Known answers on both routes: the irreducibility verdicts of products of
// irreducibles of one degree (the early exit finds all of them at once),
// of a product whose factors of least degree replace it, and of a square;
// modulo 32003 at degrees from 40 (the transform products).
TEST(Factorisation, KnownVerdictsOnBothRoutes) {
  load_data_tables();
  PolyVars vars{"x"};
  std::mt19937_64 rng(test_seed());
  for (std::int64_t p : {5, 32003}) {
    ModulusScope ring(static_cast<std::int32_t>(p));
    const TField F{RefField(p), {}, static_cast<std::uint64_t>(p)};
    const std::size_t d = p == 5 ? 3 : 20;
    const TPoly f = random_irreducible(F, rng, d), g = random_irreducible(F, rng, d),
                h = random_irreducible(F, rng, d);
    const TPoly small = random_irreducible(F, rng, 2), big = random_irreducible(F, rng, d + 1);
    const auto text = [&](const TPoly& a) { return show_poly(Poly::adopt(from_t(F, a)).get()); };
    for (bool route : {true, false}) {
      ScopedValue<std::int32_t> by(fast_factor_degree,
                                   route ? 1 : std::numeric_limits<std::int32_t>::max());
      EXPECT_EQ(irreducible_text(text(f)), "number 1");
      EXPECT_EQ(irreducible_text(text(tmul(F, tmul(F, f, g), h))), "number 3");
      // The factors of least degree, small and x (degree 1 here), together.
      const TPoly x{F.zero(), F.one()};
      EXPECT_EQ(irreducible_text(text(tmul(F, tmul(F, small, x), tmul(F, big, f)))), text(x));
      EXPECT_EQ(irreducible_text(text(tmul(F, tmul(F, small, big), g))), text(small));
      EXPECT_EQ(irreducible_text(text(tmul(F, f, f))), text(f));
    }
  }
}

// Random polynomials of degree up to 150 by the residue route (default
// thresholds, so both sides of them): the factors are monic, irreducible by
// the test's Rabin test, distinct, and multiply back to the input made
// monic.
TEST(Factorisation, RandomPolynomialsByTheResidueRouteMultiplyBack) {
  load_data_tables();
  std::mt19937_64 rng(test_seed());
  NodeBalance balance;
  for (std::int64_t p : {3, 101, 32003, 2147483629}) {
    PolyVars vars{"x"};
    ModulusScope ring(static_cast<std::int32_t>(p));
    const TField F{RefField(p), {}, static_cast<std::uint64_t>(p)};
    for (int it = 0; it < test_iterations(2); ++it) {
      const TPoly a = random_monic(F, rng, 20 + rng() % 130);
      Poly in = Poly::adopt(from_t(F, a));
      poly sq = nullptr;
      std::int32_t count = 0;
      factor_poly(in.cell(), &sq, &count, false, false, -1);
      TPoly prod{F.one()};
      std::vector<TPoly> seen;
      for (poly r = sq; r != nullptr; r = r->next) {
        const TPoly f = to_t(F, r->pcoef);
        EXPECT_TRUE(tmonic(F, f) && rabin_irreducible(F, f))
            << "p " << p << " factor " << show_poly(r->pcoef);
        EXPECT_TRUE(std::find(seen.begin(), seen.end(), f) == seen.end()) << show_poly(r->pcoef);
        seen.push_back(f);
        for (std::int32_t j = 0; j < r->exp; ++j) prod = tmul(F, prod, f);
      }
      EXPECT_EQ(prod, a) << "p " << p;
      free_poly(&sq);
    }
  }
}

}  // namespace
}  // namespace tavrin::test

namespace tavrin::test {
namespace {

// ---- GF(2^8) and GF(2^16): blocks of degrees against the degree-by-degree search ----------

// factor_poly (blocks, count) and the irreducibility verdict of text by the
// element-vector stage (route true) or the degree-by-degree search.
Results char2_results(const std::string& text, bool route) {
  ScopedValue<std::int32_t> by(fast_factor_degree,
                               route ? 1 : std::numeric_limits<std::int32_t>::max());
  const long before = detail::residue_routes.factor_char2;
  Results r;
  Poly a(text);
  poly sq = nullptr;
  factor_poly(a.cell(), &sq, &r.count, false, false, -1);
  r.factors = blocks_of(sq);
  free_poly(&sq);
  r.verdict = irreducible_text(text);
  EXPECT_EQ(detail::residue_routes.factor_char2 > before, route) << text;
  return r;
}

// Planted products of irreducibles of chosen degrees: several of one degree
// (one block holding them, or the whole rest), consecutive degrees sharing
// a block, a last factor past the early stop, squares (two square-free
// parts), and random patterns; blocks of one degree, of sqrt(n) and of
// sqrt(n) / 2 degrees. Both routes give the same blocks, count and
// verdict, and the planted factors.
TEST(Factorisation, Char2BlocksAgreeWithTheDegreeByDegreeSearch) {
  load_data_tables();
  std::mt19937_64 rng(test_seed());
  NodeBalance balance;
  PolyVars vars{"x"};
  // Products, remainders and GCDs on their fast paths from small degrees on.
  ScopedValue<std::int32_t> k(char2_kronecker_length, 2), n(char2_newton_degree, 6),
      h(char2_hgcd_degree, 8), v(char2_vector_degree, 4);
  const std::vector<std::vector<std::size_t>> patterns = {
      {1, 1, 1, 1, 2, 2, 3}, {1, 2, 3, 4, 5, 6, 7}, {3, 3, 3, 3}, {2, 9, 11}, {5, 6}, {13},
      {1, 12, 13},           {4, 4, 7, 7, 10},      {},           {},         {}};
  for (std::int64_t q : {256, 65536}) {
    ModulusScope ring(static_cast<std::int32_t>(q));
    const TField F{RefField(q), {}, static_cast<std::uint64_t>(q)};
    for (std::size_t c = 0; c < patterns.size(); ++c) {
      std::vector<std::size_t> degrees = patterns[c];
      if (degrees.empty())
        for (std::size_t total = 0; total < 30;) total += degrees.emplace_back(1 + rng() % 8);
      TPoly a{F.one()};
      Factors want;
      std::vector<TPoly> seen;
      for (std::size_t d : degrees) {
        TPoly f = random_irreducible(F, rng, d);
        if (std::find(seen.begin(), seen.end(), f) != seen.end()) continue;
        const std::int32_t mult = rng() % 5 == 0 ? 2 : 1;
        for (std::int32_t j = 0; j < mult; ++j) a = tmul(F, a, f);
        want.emplace_back(mult, show_poly(Poly::adopt(from_t(F, f)).get()));
        seen.push_back(std::move(f));
      }
      std::sort(want.begin(), want.end());
      TField::E unit = random_elem(F, rng);
      if (F.is_zero(unit)) unit = F.one();
      for (auto& co : a) co = F.mul(co, unit);
      const std::string text = show_poly(Poly::adopt(from_t(F, a)).get());
      const Results part = char2_results(text, false);
      for (std::int32_t divisor : {1, 2, 1000}) {
        ScopedValue<std::int32_t> b(char2_ddf_block_divisor, divisor);
        const Results fast = char2_results(text, true);
        const std::string where =
            "q " + std::to_string(q) + " divisor " + std::to_string(divisor) + ": " + text;
        EXPECT_EQ(fast.factors, part.factors) << where;
        EXPECT_EQ(fast.count, part.count) << where;
        EXPECT_EQ(fast.verdict, part.verdict) << where;
        Poly in(text);
        poly sq = nullptr;
        std::int32_t count = 0;
        factor_poly(in.cell(), &sq, &count, false, false, -1);
        EXPECT_EQ(list_of(sq), want) << where;
        free_poly(&sq);
      }
    }
  }
}

// Random polynomials of degree 150 to 300 at the default thresholds: the
// same blocks, count and verdict on both routes.
TEST(Factorisation, Char2RandomPolynomialsOnBothRoutes) {
  load_data_tables();
  std::mt19937_64 rng(test_seed());
  NodeBalance balance;
  PolyVars vars{"x"};
  for (std::int64_t q : {256, 65536}) {
    ModulusScope ring(static_cast<std::int32_t>(q));
    const TField F{RefField(q), {}, static_cast<std::uint64_t>(q)};
    for (int it = 0; it < test_iterations(2); ++it) {
      const std::string text =
          show_poly(Poly::adopt(from_t(F, random_monic(F, rng, 150 + rng() % 151))).get());
      const Results fast = char2_results(text, true), part = char2_results(text, false);
      EXPECT_EQ(fast.factors, part.factors) << "q " << q << ": " << text;
      EXPECT_EQ(fast.count, part.count) << text;
      EXPECT_EQ(fast.verdict, part.verdict) << text;
    }
  }
}

}  // namespace
}  // namespace tavrin::test
