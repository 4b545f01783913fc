// Determinants by evaluation and interpolation: random polynomial matrices
// against expansion by minors and Gauss-Bareiss, planted determinants over
// Z, Z/p and GF(256), floating against the integer answer, and a table of
// the edge cases.
#include "det/lagrange.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <cmath>
#include <map>
#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/primes.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_quot.h"
#include "toplevel/start_tables.h"
#include "arrays/sparse_store.h"
#include "matrix/matrix_support.h"
#include "det/dense_gauss.h"
#include "det/det_support.h"
#include "det/lagrange_impl.h"
#include "det/router.h"
#include "support/bigref.h"
#include "support/data_tables.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

std::uint32_t seeded_state = 1;
std::int32_t seeded() {
  seeded_state = seeded_state * 1103515245u + 12345u;
  return static_cast<std::int32_t>((seeded_state >> 8) & 0x3FFF);
}

class Lagrange : public MatrixTest {
 protected:
  void SetUp() override {
    MatrixTest::SetUp();
    load_data_tables();
    allocate_work_areas();
    lagrange_random = seeded;
  }
  void TearDown() override {
    lagrange_random = rand_integer3;
    MatrixTest::TearDown();
  }
  PolyVars vars_{"x", "y", "z"};
};

enum class how { rat, mod, fl };

// The driver on a dense copy of a (checked unchanged afterwards); nullopt
// when it declined. *out: what it printed.
std::optional<Value> lagrange(const Mat& a, how h, std::int32_t deg = -1, poly fct = nullptr,
                              std::string* out = nullptr) {
  bool done = false;
  Value d = on_dense_copy(a, [&](workptr w, std::int32_t m, Value& det) {
    const std::string text = output_of([&] {
      if (h == how::rat) done = rat_poly_determ(w, 1, m, det.cell(), false, fct, deg);
      if (h == how::mod) done = mod_poly_determ(w, 1, m, det.cell(), false, fct, deg);
      if (h == how::fl) done = fl_poly_determ(w, 1, m, det.cell(), false, fct, deg, false);
    });
    if (out != nullptr) *out = text;
  });
  if (!done) return std::nullopt;
  EXPECT_TRUE(normal_value(d.get(), false)) << value_text(d.get());
  return d;
}

template <class F>
void terms(const Value& v, F&& put) {
  lagrange::read_entry(v.get(), 3, [&](const std::int32_t* e, imptr n) { put(e, n); });
}

// A random polynomial in the first nv of x, y, z, total degree <= 2.
Value random_entry(std::mt19937_64& g, std::int32_t nv, std::int64_t modulus) {
  static const char* monos[] = {"1", "x", "x^2", "y", "x*y", "y^2", "z", "x*z", "y*z", "z^2"};
  const int count = nv == 1 ? 3 : nv == 2 ? 6 : 10;
  std::string s;
  long long constant = 0;
  bool variables = false;
  for (int k = 0; k < count; ++k) {
    if (g() % 3 == 0) continue;
    const long long c =
        modulus > 0 ? (long long)(g() % std::uint64_t(modulus)) : (long long)(g() % 19) - 9;
    if (c == 0) continue;
    if (k == 0) constant = c;
    variables = variables || k > 0;
    s += (s.empty() ? "" : " + ") + std::string("(") + std::to_string(c) + ")*" + monos[k];
  }
  // Values in normal form: a constant is a number, never a polynomial
  // without variables (elimination takes such a zero for a non-zero pivot).
  if (!variables) return Value::number(BigRef(constant));
  return Value::ratfun(s);
}

TEST_F(Lagrange, AgreesWithExpansionByMinors) {
  const std::int64_t rings[] = {0, 32003, 2147483629, 256};
  std::mt19937_64 rng(49);
  for (std::int64_t p : rings) {
    std::optional<ModulusScope> mod;
    if (p > 0) mod.emplace(std::int32_t(p));
    NodeBalance balance;
    for (int trial = 0; trial < 5; ++trial) {
      const auto n = std::int32_t(4 + rng() % (p == 0 ? 3 : 5));
      const auto nv = std::int32_t(1 + rng() % 3);
      Mat a(n, n);
      for (auto& c : a.cell) c = random_entry(rng, nv, p);
      const auto got = lagrange(a, p == 0 ? how::rat : how::mod);
      ASSERT_TRUE(got.has_value()) << p << " " << n;
      for (const auto& c : a.cell) ASSERT_TRUE(normal_value(c.get(), false)) << value_text(c);
      const Value by_minors = minors(a);
      EXPECT_TRUE(quoly_equal(*got, by_minors)) << p << " n " << n << " vars " << nv;
      EXPECT_TRUE(quoly_equal(bareiss(a), by_minors)) << p << " n " << n << " vars " << nv;
      // Planted: L U with polynomial diagonals.
      Mat l(n, n), u(n, n);
      Value planted = Value::number(BigRef(1));
      for (std::int32_t i = 0; i < n; ++i)
        for (std::int32_t j = 0; j < n; ++j) {
          if (j < i) l.at(i, j) = random_entry(rng, nv, p);
          if (j > i) u.at(i, j) = random_entry(rng, nv, p);
        }
      for (std::int32_t i = 0; i < n; ++i) {
        l.at(i, i) = Value::ratfun("x + " + std::to_string(i + 1));
        u.at(i, i) = i % 2 == 0 ? Value::number(BigRef(p == 256 ? 3 : -2)) : Value::ratfun("y - 1");
        fast_quoly_mult(planted.cell(), l.at(i, i).cell());
        fast_quoly_mult(planted.cell(), u.at(i, i).cell());
      }
      const auto lu = lagrange(schoolbook(l, u), p == 0 ? how::rat : how::mod);
      ASSERT_TRUE(lu.has_value());
      EXPECT_TRUE(quoly_equal(*lu, planted)) << p << " n " << n;
    }
  }
  // Floating mode: the integer determinant to within rounding.
  for (int trial = 0; trial < 3; ++trial) {
    std::vector<std::string> text;
    Mat a(5, 5);
    for (auto& c : a.cell) {
      c = random_entry(rng, 2, 0);
      text.push_back(c->numb ? number_value(c->ncoef).to_decimal() : show_poly(c->numer));
    }
    std::map<std::vector<std::int32_t>, long double> want, got;
    terms(*lagrange(a, how::rat), [&](const std::int32_t* e, imptr n) {
      want[{e, e + 3}] = std::stold(number_value(n).to_decimal());
    });
    FloatingMode fl;
    Mat b(5, 5);
    for (std::size_t k = 0; k < text.size(); ++k) b.cell[k] = Value::ratfun(text[k]);
    terms(*lagrange(b, how::fl), [&](const std::int32_t* e, imptr n) {
      got[{e, e + 3}] = n->flote;
    });
    long double top = 1;
    for (auto& [e, c] : want) top = std::max(top, std::fabs(c));
    for (auto& [e, c] : got) EXPECT_NEAR(double(c), double(want[e]), double(top * 1e-4L));
    for (auto& [e, c] : want) EXPECT_NEAR(double(got[e]), double(c), double(top * 1e-4L));
  }
}

// The router's determinant of a (real methods) with the quiet interpolation
// from side `from`.
Value routed_det(const Mat& a, std::int32_t from) {
  ScopedValue<std::int32_t> side(quiet_lagrange_side, from);
  return on_dense_copy(a, [](workptr w, std::int32_t m, Value& d) {
    sparseptr sp = nullptr;
    mat_invert(w, w, m, d.cell(), &sp, nullptr, -1, -1, -1, 0, {});
  });
}

TEST_F(Lagrange, RouterInterpolatesTheEliminationsPolynomial) {
  // Modulo primes large and small (a degree too large for the modulus goes
  // to the integers), in one to three variables, with planted
  // singular matrices: the quiet interpolation answers what elimination does.
  std::mt19937_64 rng(test_seed());
  for (std::int64_t p : {3, 7, 101, 65521, 2147483629}) {
    ModulusScope mod{static_cast<std::int32_t>(p)};
    NodeBalance balance;
    for (int trial = 0; trial < test_iterations(3); ++trial) {
      // Small fields: the elimination the answer is checked against is slow.
      const bool small = p < 101;
      const auto n = std::int32_t(8 + (small ? 0 : rng() % 4));
      const auto nv = std::int32_t(1 + (small ? 0 : rng() % 3));
      Mat a(n, n);
      for (auto& c : a.cell) c = random_entry(rng, nv, p);
      if (trial == 2) {
        for (std::int32_t j = 0; j < n; ++j) a.at(n - 1, j) = copy_of(a.at(0, j).get());
      }
      lagrange_last = {};
      const Value quiet = routed_det(a, 8);
      const bool interpolated = lagrange_last.points > 0;
      const Value eliminated = routed_det(a, INT32_MAX);
      EXPECT_TRUE(quoly_equal(quiet, eliminated))
          << p << " n " << n << " vars " << nv << ": " << value_text(quiet) << " vs "
          << value_text(eliminated);
      if (p >= 101) {
        EXPECT_TRUE(interpolated) << p;
      }
    }
  }
}

TEST_F(Lagrange, SmallFieldsInterpolateOverAnExtension) {
  // Modulo primes with too few elements for the degrees: from the side
  // small_field_lagrange_side on, the interpolation runs over GF(p^k) and
  // answers what the route over the integers gives below it, on both sides
  // of the cut, and elimination, and a planted L U determinant.
  check_mod_matrix_size(32);  // the shared residue matrix grows once, not within a balance
  std::mt19937_64 rng(test_seed());
  ScopedValue<std::int32_t> quiet(quiet_lagrange_side, 2);
  auto routed = [](const Mat& a, std::int32_t cut) {
    ScopedValue<std::int32_t> side(small_field_lagrange_side, cut);
    lagrange_last = {};
    return routed_det(a, 2);
  };
  for (std::int64_t p : {2, 3, 5, 101}) {
    ModulusScope mod{static_cast<std::int32_t>(p)};
    NodeBalance balance;
    for (int trial = 0; trial < test_iterations(4); ++trial) {
      // Modulo 101 only one variable of a high degree is too much for it.
      const std::int32_t cut = p == 101 ? 26 : 6 + trial % 3;
      const std::int32_t n = cut - 1 + trial % 2;
      const auto nv = std::int32_t(p == 101 ? 1 : 1 + rng() % 3);
      Mat a(n, n);
      Value planted = Value::number(BigRef(1));
      if (trial % 4 == 3) {
        Mat l(n, n), u(n, n);
        for (std::int32_t i = 0; i < n; ++i)
          for (std::int32_t j = 0; j < n; ++j) {
            if (j < i) l.at(i, j) = random_entry(rng, nv, p);
            if (j > i) u.at(i, j) = random_entry(rng, nv, p);
          }
        for (std::int32_t i = 0; i < n; ++i) {
          l.at(i, i) = Value::ratfun(i % 3 == 0 ? "x^2 + 1" : "x + " + std::to_string(i % 2));
          u.at(i, i) =
              i % 2 == 0 ? Value::number(BigRef(1)) : Value::ratfun(nv > 1 ? "y + x" : "x");
          fast_quoly_mult(planted.cell(), l.at(i, i).cell());
          fast_quoly_mult(planted.cell(), u.at(i, i).cell());
        }
        a = schoolbook(l, u);
      } else {
        for (auto& c : a.cell) c = random_entry(rng, nv, p);
        if (trial % 4 == 2)
          for (std::int32_t j = 0; j < n; ++j) a.at(n - 1, j) = copy_of(a.at(1, j).get());
      }
      const Value fast = routed(a, cut);
      const bool extension = lagrange_last.points > 0 && lagrange_last.primes == 0;
      EXPECT_EQ(extension, n >= cut) << p << " n " << n;
      const Value old = routed(a, INT32_MAX);
      EXPECT_GT(lagrange_last.primes, 0) << p;
      EXPECT_TRUE(quoly_equal(fast, old)) << p << " n " << n << " vars " << nv << ": "
                                          << value_text(fast) << " vs " << value_text(old);
      if (trial % 4 == 3) {
        EXPECT_TRUE(quoly_equal(fast, planted)) << p << " n " << n;
      }
      if (nv == 1 && n <= 8) {
        EXPECT_TRUE(quoly_equal(fast, routed_det(a, INT32_MAX))) << p << " n " << n;
      }
    }
  }
}

TEST_F(Lagrange, ExtensionFieldEngineAgreesWithTheBoxAndTheIntegers) {
  // The engine alone on residue matrices of sides 1 to 8 with zero rows,
  // constant columns and high degrees: modulo a word prime (a field of p
  // elements) against the interpolation on the box of the degrees, modulo
  // small primes (fields of 2^k, 3^k, 7^k elements) against the integers.
  check_mod_matrix_size(32);
  std::mt19937_64 rng(test_seed());
  static const char* monos[] = {"1", "x", "y", "z", "x^3*y", "z^4", "x*y*z", "y^3"};
  for (std::int64_t p : {2, 3, 7, 32003}) {
    ModulusScope mod{static_cast<std::int32_t>(p)};
    NodeBalance balance;
    for (int trial = 0; trial < test_iterations(6); ++trial) {
      const auto n = std::int32_t(1 + rng() % 8);
      Mat a(n, n);
      for (auto& c : a.cell) {
        std::string s = "0";
        for (const char* m : monos)
          if (rng() % 4 == 0)
            s += " + " + std::to_string(1 + rng() % std::uint64_t(p - 1)) + "*" + m;
        c = make_value(s);
      }
      if (trial % 3 == 1)
        for (std::int32_t j = 0; j < n; ++j) a.at(n - 1, j) = Value::number(BigRef(0));
      std::vector<lagrange::Flat<std::uint32_t>> f(a.cell.size());
      for (std::size_t k = 0; k < f.size(); ++k)
        lagrange::read_entry(a.cell[k].get(), 3, [&](const std::int32_t* x, imptr c) {
          if (c->lint != 0) f[k].push(x, 3, static_cast<std::uint32_t>(c->lint));
        });
      lagrange::Flat<std::uint32_t> ext, box;
      ASSERT_TRUE(lagrange::ext_field_det(f, n, 3, ext)) << p << " n " << n;
      Value got = Value::number(BigRef(1)), want = Value::number(BigRef(1));
      lagrange::set_residue_answer(got.cell(), ext, 3);
      if (p == 32003) {
        lagrange::NumberMatrix nm(n);
        ASSERT_EQ(lagrange::mod_det(f, n, 3, -1, nm, true, box), lagrange::det_status::done);
        lagrange::set_residue_answer(want.cell(), box, 3);
      } else {
        ASSERT_TRUE(lagrange::use_rat_poly_det(f, n, 3, want.cell(), true)) << p;
      }
      EXPECT_TRUE(quoly_equal(got, want))
          << p << " n " << n << ": " << value_text(got) << " vs " << value_text(want);
    }
  }
}

// The router's determinant over the rationals of a, stored dense or
// sparse, with the quiet interpolation from side `from` (INT32_MAX: never).
Value routed_rat_det(const Mat& a, bool sparse, std::int32_t from) {
  ScopedValue<std::int32_t> dense_side(quiet_rat_lagrange_side, from),
      sparse_side(quiet_sparse_lagrange_side, from);
  if (!sparse) return routed_det(a, INT32_MAX);
  sparseptr own = to_sparse(a), sp = own;
  Value d = Value::number(BigRef(1));
  mat_invert(nullptr, nullptr, a.rows, d.cell(), &sp, nullptr, -1, -1, -1, 0, {});
  EXPECT_TRUE(same_mat(from_sparse(own, a.rows, a.rows), a));
  free_sparse(&own, a.rows, true);
  return d;
}

// A random entry over Q in the first nv of x, y, z: 0, a rational number,
// or a polynomial of total degree <= 2, sometimes over an integer.
Value rational_entry(std::mt19937_64& g, std::int32_t nv) {
  const auto kind = g() % 8;
  if (kind == 0) return Value::number(BigRef(0));
  if (kind == 1)
    return make_value(std::to_string(long(g() % 19) - 9) + " / " + std::to_string(1 + g() % 6));
  Value v = random_entry(g, nv, 0);
  if (kind == 2 && !v->numb)
    return make_value("(" + show_poly(v->numer) + ") / " + std::to_string(2 + g() % 5));
  return v;
}

TEST_F(Lagrange, RationalRouterInterpolatesTheEliminationsValue) {
  // Dense and sparse, one to three variables, sides 1 to 30 (the large
  // ones sparser and in fewer variables, for the elimination's sake),
  // entries over integers, a row over a polynomial, rational numbers, a
  // content, repeated rows: the interpolated default displays the
  // elimination's value.
  std::mt19937_64 rng(test_seed());
  check_mod_matrix_size(32);  // the residue matrix grows once and stays
  NodeBalance balance;
  for (int trial = 0; trial < test_iterations(24); ++trial) {
    const bool sparse = trial % 2 == 1;
    const auto n = std::int32_t(trial < 8 ? 1 + trial : 1 + rng() % 30);
    const auto nv = std::int32_t(n > 14 ? 1 : 1 + rng() % 3);
    const double zeros = n > 14 ? 0.85 : n > 8 ? 0.5 : 0.2;
    Mat a =
        random_mat(rng, n, n, zeros, [nv](std::mt19937_64& g) { return rational_entry(g, nv); });
    for (std::int32_t i = 0; i < n; ++i)
      if (a.at(i, i).get() == nullptr || quoly_iszero(a.at(i, i)))
        a.at(i, i) = Value::ratfun("x + " + std::to_string(i));
    if (trial % 5 == 3 && n > 1)  // singular: a row repeated
      for (std::int32_t j = 0; j < n; ++j)
        a.at(n - 1, j) = a.get(0, j) == nullptr ? Value() : copy_of(a.get(0, j));
    if (trial % 5 == 2 && n > 1) {  // a row over a polynomial
      Value d =
          Value::ratfun(std::to_string(long(rng() % 7) + 1) + "*x - " + std::to_string(rng() % 5));
      for (std::int32_t j = 0; j < n; ++j)
        if (a.get(1, j) != nullptr) fast_quoly_quot(a.at(1, j).cell(), d.cell(), false);
    }
    if (trial % 5 == 4) {  // a content in a row
      Value six = Value::number(BigRef(-6));
      for (std::int32_t j = 0; j < n; ++j)
        if (a.get(0, j) != nullptr) fast_quoly_mult(a.at(0, j).cell(), six.cell());
    }
    lagrange_last = {};
    const Value quiet = routed_rat_det(a, sparse, 1);
    const bool interpolated = lagrange_last.primes > 0;
    const Value eliminated = routed_rat_det(a, sparse, INT32_MAX);
    EXPECT_EQ(value_text(quiet), value_text(eliminated))
        << (sparse ? "sparse" : "dense") << " n " << n << " vars " << nv << ": "
        << value_text(quiet) << " vs " << value_text(eliminated);
    EXPECT_TRUE(normal_value(quiet.get(), false)) << value_text(quiet);
    // (Sparse matrices of up to three rows go by minors.)
    if (!sparse || n > 3) {
      EXPECT_TRUE(interpolated) << n;
    }
  }
}

TEST_F(Lagrange, RationalRouterDeclinesWhereTheAnswerCouldDiffer) {
  check_mod_matrix_size(32);  // the residue matrix grows once and stays
  NodeBalance balance;
  std::mt19937_64 rng(7);
  Mat a = random_mat(rng, 7, 7, 0.2, [](std::mt19937_64& g) { return random_entry(g, 2, 0); });
  auto check = [&](const char* why, bool expect_interpolated) {
    for (bool sparse : {false, true}) {
      lagrange_last = {};
      std::string out;
      Value quiet, eliminated;
      out = output_of([&] { quiet = routed_rat_det(a, sparse, 1); });
      const bool interpolated = lagrange_last.primes > 0;
      out += output_of([&] { eliminated = routed_rat_det(a, sparse, INT32_MAX); });
      EXPECT_EQ(value_text(quiet), value_text(eliminated)) << why;
      EXPECT_EQ(interpolated, expect_interpolated) << why << (sparse ? " sparse" : " dense");
    }
  };
  check("plain", true);
  {
    ScopedValue<bool> l(laurent, true);
    check("Laurent mode, no negative exponent", true);
    a.at(1, 2) = Value::ratfun("x^-2*y + 3");
    check("a negative exponent", false);
  }
  a.at(1, 2) = make_value("(x + y) / (x - 1)");
  a.at(1, 4) = make_value("(3*x*y - 2) / (2*x - 2)");
  check("a row's common denominator", true);
  a.at(1, 5) = make_value("y / (y + 1)");
  check("two denominators in a row", false);
  a.at(1, 2) = make_value("(x + y) / 5");
  a.at(1, 4) = make_value("x");
  a.at(1, 5) = make_value("y");
  {
    ScopedValue<bool> talk(verbose, true);
    check("verbose", false);
  }
  {
    ScopedValue<std::int32_t> nested(lagrangedepth, lagrangecut);
    check("nesting limit", false);
  }
}

TEST_F(Lagrange, RationalRouterMeetsItsCoefficientBound) {
  // A Sylvester-Hadamard matrix of side 32 times x reaches Hadamard's bound:
  // its determinant is +-2^80 x^32. And entries of 30 digits.
  check_mod_matrix_size(32);  // the residue matrix grows once and stays
  NodeBalance balance;
  Mat h(32, 32);
  for (std::int32_t i = 0; i < 32; ++i)
    for (std::int32_t j = 0; j < 32; ++j)
      h.at(i, j) = Value::ratfun(__builtin_popcount(i & j) % 2 == 0 ? "x" : "-x");
  lagrange_last = {};
  const Value d = routed_rat_det(h, false, 1);
  EXPECT_GT(lagrange_last.primes, 0);
  const std::string two80 = "1208925819614629174706176";
  const std::string text = value_text(d);
  EXPECT_TRUE(text == value_text(Value::ratfun(two80 + "*x^32")) ||
              text == value_text(Value::ratfun("-" + two80 + "*x^32")))
      << text;
  EXPECT_EQ(value_text(d), value_text(routed_rat_det(h, true, 1)));
  // Two rows whose only entries lie in one column: 0 by the recorded
  // elimination of the sparse route.
  Mat two(12, 12);
  for (std::int32_t i = 0; i < 12; ++i)
    two.at(i, (i + 1) % 12) = Value::ratfun("x + " + std::to_string(i));
  two.at(3, 4) = Value();
  two.at(3, 0) = Value::ratfun("y");
  lagrange_last = {};
  EXPECT_TRUE(quoly_iszero(routed_rat_det(two, true, 1)));
  EXPECT_GT(lagrange_last.primes, 0);
  std::mt19937_64 rng(8);
  Mat big = random_mat(rng, 6, 6, 0.1, [](std::mt19937_64& g) {
    return make_value("(" + std::to_string(g() % 1000000000) + "123456789012345678901*y - " +
                      std::to_string(g() % 97) + "*x) / " + (g() % 3 == 0 ? "7" : "1"));
  });
  EXPECT_EQ(value_text(routed_rat_det(big, false, 1)),
            value_text(routed_rat_det(big, false, INT32_MAX)));
}

TEST_F(Lagrange, SmallFieldsInterpolateOverTheIntegers) {
  // Modulo 3 and 7 the degrees pass the modulus: below the side of the
  // extension field, the default route takes the determinant of the
  // residues as integers and reduces it.
  check_mod_matrix_size(32);
  ScopedValue<std::int32_t> integers(small_field_lagrange_side, INT32_MAX);
  std::mt19937_64 rng(test_seed());
  for (std::int32_t p : {3, 7}) {
    ModulusScope mod(p);
    NodeBalance balance;
    for (int trial = 0; trial < test_iterations(2); ++trial) {
      Mat a(9, 9);
      for (auto& c : a.cell) c = random_entry(rng, 2, p);
      lagrange_last = {};
      const Value quiet = routed_det(a, 8);
      EXPECT_GT(lagrange_last.primes, 0) << p;
      EXPECT_EQ(value_text(quiet), value_text(bareiss(a))) << p;
    }
  }
}

// The router's inverse of a, in place as a negative power asks for it, or
// into another array (a checked unchanged), by the route `how` (0 the
// default, 1 without interpolation, 2 Gauss-Jordan alone); *out: what it
// printed.
Mat routed_inverse(const Mat& a, int how, bool in_place, std::string* out) {
  ScopedValue<det_method_table> methods(det_methods);
  if (how >= 1)
    det_methods.rat_poly_inverse = [](workptr, workptr, std::int32_t, const InvertFlags&) {
      return false;
    };
  if (how >= 2)
    det_methods.dense_recurrence_inverse = [](workptr, workptr, std::int32_t, const InvertFlags&) {
      return false;
    };
  const std::int32_t m = a.rows;
  auto w = fresh_work(), o = fresh_work();
  Descr f;
  to_dense(a, w.get(), f.get());
  Value n = Value::number(BigRef(1));
  bool unwound = false;
  *out = output_of(
      [&] {
        if (in_place)
          mat_invert(w.get(), w.get(), m, n.cell(), nullptr, nullptr, -1, -1, -1, 0,
                     {.ar_free = true, .oar_free = true, .invert = true, .equal = true});
        else
          mat_invert(w.get(), o.get(), m, n.cell(), nullptr, nullptr, -1, -1, -1, 0,
                     {.invert = true});
      },
      &unwound);
  EXPECT_TRUE(quoly_equal(n, Value::number(BigRef(1))));  // the inverse leaves it
  Mat inv;
  if (in_place) {
    inv = from_dense(w.get(), m, m);
  } else {
    EXPECT_TRUE(same_mat(from_dense(w.get(), m, m), a));
    if (!unwound && out->empty()) inv = from_dense(o.get(), m, m);
    free_cells(o.get(), m * m);
  }
  free_cells(w.get(), m * m);
  return inv;
}

TEST_F(Lagrange, InterpolatedInversesAreGaussJordans) {
  // One to three variables, sides 2 to 12, negative and rational
  // coefficients, a content, singular matrices (the same report): the interpolated inverse
  // and the recurrence give Gauss-Jordan's values.
  check_mod_matrix_size(32);
  NodeBalance balance;
  NumberedErrors numbered;
  ScopedValue<bool> push(errorpush, false);
  std::mt19937_64 rng(test_seed());
  for (int trial = 0; trial < test_iterations(12); ++trial) {
    const auto n = std::int32_t(2 + rng() % (trial % 3 == 0 ? 11 : 7));
    const auto nv = std::int32_t(n > 8 ? 1 : 1 + rng() % 3);
    // Every fourth matrix over Q: rational numbers and rows over integers.
    Mat a = random_mat(rng, n, n, 0.15, [nv, trial](std::mt19937_64& g) {
      return trial % 4 == 3 ? rational_entry(g, nv) : random_entry(g, nv, 0);
    });
    if (trial % 4 == 1)  // singular: a column repeated
      for (std::int32_t i = 0; i < n; ++i)
        a.at(i, n - 1) = a.get(i, 0) == nullptr ? Value() : copy_of(a.get(i, 0));
    if (trial % 4 == 2) {  // a content in a column
      Value c = Value::number(BigRef(-10));
      for (std::int32_t i = 0; i < n; ++i)
        if (a.get(i, 1) != nullptr) fast_quoly_mult(a.at(i, 1).cell(), c.cell());
    }
    const bool in_place = trial % 2 == 0;
    std::string want_out, out;
    const Mat want = routed_inverse(a, 2, in_place, &want_out);
    for (int how : {0, 1}) {
      const Mat got = routed_inverse(a, how, in_place, &out);
      EXPECT_EQ(out, want_out) << how << " n " << n;
      ASSERT_EQ(got.cell.size(), want.cell.size()) << how << " n " << n;
      auto text = [](const Value& v) {
        return v.get() == nullptr ? std::string("nil") : value_text(v);
      };
      for (std::size_t k = 0; k < got.cell.size(); ++k)
        EXPECT_EQ(text(got.cell[k]), text(want.cell[k]))
            << how << " n " << n << " vars " << nv << " cell " << k;
    }
  }
}

// [[x, 1], [1, x]]: three points in x (degree bound 2) times the four
// adjugate entries and the determinant need 15 words of grid. At that limit
// the interpolated inverse is Gauss-Jordan's; one word less, it declines.
TEST_F(Lagrange, InverseGridLimitOnBothSides) {
  NodeBalance balance;
  Mat a(2, 2);
  for (std::int32_t k = 0; k < 4; ++k) a.at(k / 2, k % 2) = Value::ratfun(k % 3 == 0 ? "x" : "1");
  std::string out;
  const Mat want = routed_inverse(a, 2, false, &out);
  for (const std::size_t limit : {14, 15}) {
    const ScopedValue<std::size_t> words(inverse_grid_words, limit);
    auto w = fresh_work(), o = fresh_work();
    Descr f;
    to_dense(a, w.get(), f.get());
    const bool done = rat_poly_inverse(w.get(), o.get(), 2, {});
    EXPECT_EQ(done, limit == 15);
    if (done) {
      EXPECT_TRUE(same_mat(from_dense(o.get(), 2, 2), want));
      free_cells(o.get(), 4);
    }
    free_cells(w.get(), 4);
  }
}

TEST_F(Lagrange, KnownAnswers) {
  NodeBalance balance;
  // The max-plus bound: the best assignment of degrees; an empty column 2.
  {
    std::int64_t d1[] = {1, 2, 3, 4};
    EXPECT_EQ(compute_degree(d1, 2), 5);
    std::int64_t d2[] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(compute_degree(d2, 3), 0);
    std::int64_t d3[] = {2, lagrange_zero_entry, 1, lagrange_zero_entry};
    EXPECT_EQ(compute_degree(d3, 2), 2);
    std::int64_t d4[] = {3, 0, 0, 0, 5, 0, 0, 0, 7};
    EXPECT_EQ(compute_degree(d4, 3), 15);
    // The exact bound: the best permutation by brute force, never above
    // the max-plus estimate; none without a permutation of non-zero entries.
    EXPECT_EQ(max_assignment({3, 0, 0, 0, 5, 0, 0, 0, 7}, 3), 15);
    EXPECT_EQ(max_assignment({lagrange_zero_entry, 4, lagrange_zero_entry, 9}, 2), 0);
    std::mt19937_64 g(11);
    for (int trial = 0; trial < 40; ++trial) {
      const auto n = std::int32_t(1 + g() % 6);
      std::vector<std::int64_t> d(static_cast<std::size_t>(n * n));
      for (auto& x : d) x = g() % 4 == 0 ? lagrange_zero_entry : std::int64_t(g() % 5);
      std::vector<std::int32_t> perm(static_cast<std::size_t>(n));
      for (std::int32_t k = 0; k < n; ++k) perm[static_cast<std::size_t>(k)] = k;
      std::int64_t best = 0;
      do {
        std::int64_t sum = 0;
        for (std::int32_t r = 0; r < n && sum >= 0; ++r) {
          const std::int64_t x =
              d[static_cast<std::size_t>(r * n + perm[static_cast<std::size_t>(r)])];
          sum = x == lagrange_zero_entry ? -1 : sum + x;
        }
        best = std::max(best, sum);
      } while (std::next_permutation(perm.begin(), perm.end()));
      EXPECT_EQ(max_assignment(d, n), best) << trial;
      std::vector<std::int64_t> copy = d;
      if (best > 0) {
        EXPECT_LE(best, compute_degree(copy.data(), n)) << trial;
      }
    }
  }
  auto vandermonde = [] {  // in x + i y: determinant 12 y^6
    Mat v(4, 4);
    for (std::int32_t i = 0; i < 4; ++i)
      for (std::int32_t j = 0; j < 4; ++j)
        v.at(i, j) = Value::ratfun("(x + " + std::to_string(i + 1) + "*y)^" + std::to_string(j));
    return v;
  };
  const Mat v = vandermonde();
  {
    const Value d = *lagrange(v, how::rat);
    EXPECT_EQ(value_text(d), value_text(Value::ratfun("12*y^6")));
    EXPECT_GE(lagrange_last.primes, 3);
  }
  // Modulo 7 a bound of 3 leaves blocks of width 1: the integer method.
  {
    ModulusScope mod(7);
    ScopedValue<bool> talk(verbose, true);
    std::string out;
    const Mat v = vandermonde();
    const auto d = lagrange(v, how::mod, 3, nullptr, &out);
    ASSERT_TRUE(d.has_value());
    EXPECT_NE(out.find(" degree 3 is too large for this modulus. will try rational algorithm.\n"),
              std::string::npos)
        << out;
    EXPECT_TRUE(quoly_equal(*d, minors(v)));
  }
  // GF(256): a bound of 127 gives width 2, 128 declines.
  {
    ModulusScope mod(256);
    Mat a(4, 4);
    for (std::int32_t i = 0; i < 4; ++i)
      for (std::int32_t j = 0; j < 4; ++j)
        a.at(i, j) =
            Value::ratfun("x^" + std::to_string((i * j) % 3) + " + " + std::to_string(i + 2 * j));
    EXPECT_TRUE(quoly_equal(*lagrange(a, how::mod, 127), minors(a)));
    std::string out;
    EXPECT_FALSE(lagrange(a, how::mod, 128, nullptr, &out).has_value());
    EXPECT_EQ(out, " degree 128 is too large for this field.\n");
  }
  // Numbers only: computed directly, the level count unchanged.
  {
    ModulusScope mod(32003);
    Mat a(4, 4);
    for (std::int32_t i = 0; i < 4; ++i)
      for (std::int32_t j = 0; j < 4; ++j) a.at(i, j) = Value::number(BigRef(i == j ? 2 : 0));
    EXPECT_EQ(lagrange(a, how::mod)->get()->ncoef->lint, 16);
    EXPECT_EQ(lagrangedepth, 0);
    // The eleventh level declines.
    ScopedValue<std::int32_t> nested(lagrangedepth, 10);
    EXPECT_FALSE(lagrange(a, how::mod).has_value());
    EXPECT_EQ(lagrangedepth, 10);
  }
  // Over Z: constants end as numbers; a determinant equal to the product of
  // the first two primes, and 0, come out exactly.
  {
    Mat a(4, 4);
    seeded_state = 0;
    const std::int32_t p = prime[6]->head->value, q = prime[7]->head->value;
    for (std::int32_t i = 0; i < 4; ++i)
      a.at(i, i) = Value::number(BigRef(i == 0 ? p : i == 1 ? q : 1));
    for (auto& c : a.cell)
      if (c.get() == nullptr) c = Value::number(BigRef(0));
    lagrange_random = [] { return std::int32_t(0); };
    const Value d = *lagrange(a, how::rat);
    ASSERT_TRUE(d->numb);
    EXPECT_EQ(number_value(d->ncoef), BigRef(std::int64_t(p) * q));
    a.at(2, 2) = Value::ratfun("x*y");
    a.at(3, 3) = Value::ratfun("-x*y");
    EXPECT_TRUE(quoly_equal(*lagrange(a, how::rat),
                            Value::ratfun(std::to_string(std::int64_t(p) * q) + "*(-x^2*y^2)")));
    a.at(0, 0) = Value::number(BigRef(0));
    EXPECT_TRUE(quoly_equal(*lagrange(a, how::rat), Value::number(BigRef(0))));
    lagrange_random = seeded;
  }
  // An exact divisor divides once; one that does not divide is error 305
  // with the array untouched (checked inside lagrange()).
  {
    Poly two("2"), six_y("6*y^6"), bad("x + 7");
    EXPECT_TRUE(quoly_equal(*lagrange(v, how::rat, -1, two), Value::ratfun("6*y^6")));
    EXPECT_TRUE(quoly_equal(*lagrange(v, how::rat, -1, six_y), Value::number(BigRef(2))));
    std::string out;
    lagrange(v, how::rat, -1, bad, &out);
    EXPECT_TRUE(reports(out, 305)) << out;
    EXPECT_FALSE(modularmode || lintmode || flotemode);
    ModulusScope mod(7);
    Poly two7("2");
    EXPECT_TRUE(quoly_equal(*lagrange(vandermonde(), how::mod, 3, two7), Value::ratfun("6*y^6")));
  }
  // Negative exponents: three warnings, the third the last one.
  {
    std::string out;
    ScopedValue<std::int32_t> count(neg_exponent_warning, 0);
    Mat a(4, 4);
    for (auto& c : a.cell) c = Value::number(BigRef(1));
    ScopedValue<bool> l(laurent, true);
    a.at(0, 0) = Value::ratfun("x^-1 + y");
    for (int k = 0; k < 4; ++k) {
      auto w = fresh_work();
      Descr f;
      to_dense(a, w.get(), f.get());
      Value d = Value::number(BigRef(1));
      out += output_of(
          [&] { EXPECT_FALSE(rat_poly_determ(w.get(), 1, 4, d.cell(), true, nullptr, -1)); });
      free_cells(w.get(), 16);
    }
    EXPECT_EQ(neg_exponent_warning, 4);
    const std::string last = " *** This is the last warning message.\n";
    EXPECT_EQ(out.size() - out.rfind(last), last.size()) << out;
    std::size_t warnings = 0;
    for (auto k = out.find("Warning."); k != std::string::npos; k = out.find("Warning.", k + 1))
      ++warnings;
    EXPECT_EQ(warnings, 3u);
  }
  // The modular interpolation refuses exactly the matrices in which
  // negexponents, the test of the work array, finds a negative exponent.
  ModulusScope mod(65521);
  ScopedValue<bool> l(laurent, true);
  ScopedValue<std::int32_t> count(neg_exponent_warning, 5);  // no more warning lines
  std::mt19937_64 rng(11);
  const char* entries[] = {"x + y", "y^2 - 1", "3*x", "x^-1 + y", "x*y^-2", "z"};
  for (int round = 0; round < 16; ++round) {
    Mat a(3, 3);
    for (auto& c : a.cell) c = Value::ratfun(entries[rng() % (round < 4 ? 3 : 6)]);
    auto w = fresh_work();
    Descr f;
    to_dense(a, w.get(), f.get());
    const bool negative = negexponents(w.get(), 3);
    Value d = Value::number(BigRef(1));
    bool done = false;
    output_of([&] { done = mod_poly_determ(w.get(), 1, 3, d.cell(), true, nullptr, -1); });
    EXPECT_EQ(done, !negative) << round;
    free_cells(w.get(), 9);
  }
}

}  // namespace
}  // namespace tavrin::test
