// Minimal polynomials by random projections: known answers and refusals,
// planted cases U·B·U⁻¹ (B block-diagonal from companion matrices, U
// unimodular) whose answer must be the planted least common multiple,
// checked to annihilate the matrix by products on the test side, and random
// integer and modular matrices against the first linear dependence among
// the powers of the matrix.
#include "matrix/char_poly/minimal_poly.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <numeric>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thread_pool.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "numbers/mixed_mode.h"
#include "numbers/primes.h"
#include "poly/poly_repr.h"
#include "arrays/det_upcalls.h"
#include "arrays/sparse_store.h"
#include "matrix/image_tasks.h"
#include "matrix/int_char_poly.h"
#include "matrix/matrix_support.h"
#include "support/bigref.h"
#include "support/data_tables.h"
#include "support/modulus_scope.h"
#include "support/output_capture.h"
#include "support/refpoly.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

class MinimalPoly : public MatrixTest {
 protected:
  void SetUp() override {
    MatrixTest::SetUp();
    load_data_tables();  // the word primes and their products
  }
  PolyVars vars_{"x"};
};

// A named-array node over a sparse copy of m.
struct SparseArray {
  arrnode a{};
  explicit SparseArray(const Mat& m) {
    a.rows = m.rows;
    a.spar = to_sparse(m);
    special_set_2(m.rows, m.rows, &a.sizearr);
  }
  ~SparseArray() {
    free_sparse(&a.spar, a.rows, true);
    special_free(&a.sizearr);
  }
};

// Mills with the coefficient bound of gershgorn (none in modular mode).
Value minpoly(const Mat& m, std::int32_t slow) {
  SparseArray s(m);
  Value bound;
  gershgorn(bound.cell(), &s.a, m.rows);
  Value p;
  bool ok = false;
  Mills(&s.a, m.rows, slow, bound.cell(), p.cell(), &ok);
  EXPECT_TRUE(ok);
  return p;
}

Mat int_mat(std::int32_t n) { return Mat(n, n); }
void put(Mat& m, std::int32_t i, std::int32_t j, std::int64_t v) {
  m.at(i, j) = Value::number(BigRef(v));
}

// The companion matrix of the monic polynomial c (lowest coefficient
// first, leading 1 left out) at rows and columns from `at`.
void put_companion(Mat& m, std::int32_t at, const std::vector<std::int64_t>& c) {
  const auto d = static_cast<std::int32_t>(c.size());
  for (std::int32_t i = 0; i + 1 < d; ++i) put(m, at + i + 1, at + i, 1);
  for (std::int32_t i = 0; i < d; ++i)
    if (c[static_cast<std::size_t>(i)] != 0)
      put(m, at + i, at + d - 1, -c[static_cast<std::size_t>(i)]);
}

TEST_F(MinimalPoly, KnownAnswersAndRefusals) {
  seed_random(52);
  bool unwound = false;
  std::string out = output_of([&] { minpoly(int_mat(7), 0); }, &unwound);
  EXPECT_TRUE(unwound && reports(out, 253)) << out;

  Mat id = int_mat(8);
  for (std::int32_t i = 0; i < 8; ++i) put(id, i, i, 1);
  EXPECT_TRUE(quoly_equal(minpoly(id, 0), Value::ratfun("x - 1")));

  Mat diag = int_mat(8);
  const std::int64_t d[8] = {1, 1, 1, 2, 2, 2, 3, 3};
  for (std::int32_t i = 0; i < 8; ++i) put(diag, i, i, d[i]);
  EXPECT_TRUE(quoly_equal(minpoly(diag, 1), Value::ratfun("(x - 1)*(x - 2)*(x - 3)")));

  // Negative coefficients, whatever the display of residues says: the
  // companion matrix of x^10 - 3x^7 + 5x^2 - 7x - 11.
  Mat c = int_mat(10);
  put_companion(c, 0, {-11, -7, 5, 0, 0, 0, 0, -3, 0, 0});
  for (bool alt : {true, false}) {
    const bool saved = alt_form_display;
    alt_form_display = alt;
    EXPECT_TRUE(quoly_equal(minpoly(c, 1), Value::ratfun("x^10 - 3*x^7 + 5*x^2 - 7*x - 11")))
        << alt;
    alt_form_display = saved;
  }

  // A non-number entry.
  Mat r = copy_mat(id);
  r.at(2, 3) = Value::ratfun("x");
  out = output_of([&] { minpoly(r, 0); }, &unwound);
  EXPECT_TRUE(unwound && reports(out, 254)) << out;

  // Modulo 3 the start vector lies in [0, 3); the answer is reduced.
  {
    ModulusScope mod(3);
    Mat m3 = int_mat(9);
    // x^9 + 2x^3 + x^2 + 1 is irreducible over GF(3): every non-zero
    // start vector finds it.
    put_companion(m3, 0, {1, 0, 1, 2, 0, 0, 0, 0, 0});
    Value p3 = minpoly(m3, 2);
    EXPECT_TRUE(quoly_equal(p3, Value::ratfun("x^9 + 2*x^3 + x^2 + 1"))) << value_text(p3);
    EXPECT_EQ(mills_mod, 3);
    for (std::uint32_t v : xmills) ASSERT_LT(v, 3u);
  }
  Mat again = copy_mat(id);
  EXPECT_TRUE(quoly_equal(minpoly(again, 0), Value::ratfun("x - 1")));
  EXPECT_EQ(mills_mod, 5);

  // 2I with two single entries above the diagonal: A - 2I is not 0, and the
  // projections never read the coordinates that show it.
  Mat e = int_mat(8);
  for (std::int32_t i = 0; i < 8; ++i) put(e, i, i, 2);
  put(e, 0, 1, 3);
  put(e, 4, 5, -7);
  for (std::int32_t slow = 0; slow <= 3; ++slow)
    EXPECT_TRUE(quoly_equal(minpoly(e, slow), Value::ratfun("x^2 - 4*x + 4"))) << slow;
  // The zero matrix: its projected sequence vanishes, and its minimal
  // polynomial is x, over Z and modulo 7.
  EXPECT_TRUE(quoly_equal(minpoly(int_mat(9), 0), Value::ratfun("x")));
  ModulusScope mod(7);
  EXPECT_TRUE(quoly_equal(minpoly(int_mat(9), 1), Value::ratfun("x")));
}

// Products modulo a word prime on the test side.
using Dense = std::vector<std::vector<std::int64_t>>;
constexpr std::int64_t test_prime = 2147483647;

Dense identity(std::size_t n) {
  Dense d(n, std::vector<std::int64_t>(n, 0));
  for (std::size_t i = 0; i < n; ++i) d[i][i] = 1;
  return d;
}

Dense mul(const Dense& a, const Dense& b) {
  const std::size_t n = a.size();
  Dense c(n, std::vector<std::int64_t>(n, 0));
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t k = 0; k < n; ++k)
      if (a[i][k] != 0)
        for (std::size_t j = 0; j < n; ++j) c[i][j] = (c[i][j] + a[i][k] * b[k][j]) % test_prime;
  return c;
}

// Every size meets a root 0, whose factor x a sequence started at A·x
// instead of x would lose.
TEST_F(MinimalPoly, PlantedLeastCommonMultiples) {
  std::mt19937_64 g(5252);
  seed_random(4848);
  for (std::size_t n : {8, 13, 21, 34, 60}) {
    // B: companion blocks of products of (x - r)^e, r in -3..3, a block
    // sometimes repeating the one before; lcm: root -> largest multiplicity.
    Dense B(n, std::vector<std::int64_t>(n, 0));
    std::map<std::int64_t, int> lcm, roots;
    for (std::size_t at = 0; at < n;) {
      if (roots.empty() || g() % 3 != 0) {
        roots.clear();
        for (std::size_t f = 0, k = 1 + g() % 3; f < k && at + f < n; ++f)
          ++roots[static_cast<std::int64_t>(g() % 7) - 3];
      }
      std::vector<std::int64_t> c{1};  // the block's polynomial, lowest first
      for (auto [r, e] : roots)
        for (int k = 0; k < e; ++k) {
          c.insert(c.begin(), 0);
          for (std::size_t i = 0; i + 1 < c.size(); ++i) c[i] -= r * c[i + 1];
        }
      const std::size_t d = c.size() - 1;
      if (at + d > n) {
        roots.clear();
        continue;
      }
      for (std::size_t i = 0; i < d; ++i) {
        if (i + 1 < d) B[at + i + 1][at + i] = 1;
        B[at + i][at + d - 1] = -c[i];
      }
      for (auto [r, e] : roots) lcm[r] = std::max(lcm[r], e);
      at += d;
    }
    // U = I + N, N nonzero only in the rows the projections may read and
    // only outside their columns, so N² = 0 and U⁻¹ = I - N.
    std::vector<bool> read(n, false);
    for (std::size_t y : {n / 3 - 1, n / 3, 2 * n / 3 - 1, 2 * n / 3, n - 2, n - 1}) read[y] = true;
    Dense U = identity(n), V = identity(n);
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t j = 0; j < n; ++j)
        if (read[i] && !read[j]) {
          U[i][j] = 1 + static_cast<std::int64_t>(g() % 2);
          V[i][j] = -U[i][j];
        }
    const Dense A = mul(mul(U, B), V);  // exact: the entries stay small
    Mat a = int_mat(static_cast<std::int32_t>(n));
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t j = 0; j < n; ++j)
        if (A[i][j] != 0)
          put(a, static_cast<std::int32_t>(i), static_cast<std::int32_t>(j), A[i][j]);
    std::string want = "1";
    for (auto [r, e] : lcm) want += "*(x - (" + std::to_string(r) + "))^" + std::to_string(e);
    EXPECT_TRUE(lcm.count(0) == 1) << n;
    Value p = minpoly(a, 3);
    EXPECT_TRUE(quoly_equal(p, Value::ratfun(want)))
        << n << ": " << value_text(p) << " vs " << want;
    // The planted polynomial annihilates A.
    Dense prod = identity(n);
    for (auto [r, e] : lcm)
      for (int k = 0; k < e; ++k) {
        Dense f = A;
        for (std::size_t i = 0; i < n; ++i) f[i][i] -= r;
        prod = mul(prod, f);
      }
    for (const auto& row : prod)
      for (std::int64_t v : row) ASSERT_EQ(v % test_prime, 0) << n;
  }
}

// ---- Against the powers of the matrix ------------------------------------------------------

// A field of the test: the integers modulo q (q below 2^62), or GF(256).
struct TestField {
  std::uint64_t q;
  bool gf256 = false;
  std::uint64_t add(std::uint64_t a, std::uint64_t b) const { return gf256 ? a ^ b : (a + b) % q; }
  std::uint64_t sub(std::uint64_t a, std::uint64_t b) const {
    return gf256 ? a ^ b : (a + q - b) % q;
  }
  std::uint64_t mul(std::uint64_t a, std::uint64_t b) const {
    if (gf256) return gf2_mul(static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(b), 256);
    return static_cast<std::uint64_t>(static_cast<unsigned __int128>(a) * b % q);
  }
  std::uint64_t inv(std::uint64_t a) const {  // a^(|F| - 2)
    std::uint64_t r = 1, e = (gf256 ? 256 : q) - 2;
    for (; e != 0; e >>= 1, a = mul(a, a))
      if (e & 1) r = mul(r, a);
    return r;
  }
};

// The minimal polynomial over the field (lowest coefficient first, monic):
// the first power A^k that the lower powers span, found by elimination on
// the powers written out as vectors of n^2 entries.
std::vector<std::uint64_t> minpoly_by_powers(const Dense& a, const TestField& f) {
  const std::size_t n = a.size(), nn = n * n;
  std::vector<std::vector<std::uint64_t>> rows, combos;  // reduced powers, and as polynomials
  std::vector<std::size_t> pivot;
  Dense power(n, std::vector<std::int64_t>(n, 0));
  for (std::size_t i = 0; i < n; ++i) power[i][i] = 1;
  for (std::size_t k = 0;; ++k) {
    std::vector<std::uint64_t> v(nn), c(k + 1, 0);
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t j = 0; j < n; ++j) v[i * n + j] = static_cast<std::uint64_t>(power[i][j]);
    c[k] = 1;
    for (std::size_t r = 0; r < rows.size(); ++r) {
      const std::uint64_t t = v[pivot[r]];
      if (t == 0) continue;
      for (std::size_t j = 0; j < nn; ++j) v[j] = f.sub(v[j], f.mul(t, rows[r][j]));
      for (std::size_t j = 0; j < combos[r].size(); ++j) c[j] = f.sub(c[j], f.mul(t, combos[r][j]));
    }
    const auto lead = static_cast<std::size_t>(
        std::find_if(v.begin(), v.end(), [](std::uint64_t x) { return x != 0; }) - v.begin());
    if (lead == nn) return c;
    const std::uint64_t inv = f.inv(v[lead]);
    for (auto& x : v) x = f.mul(x, inv);
    for (auto& x : c) x = f.mul(x, inv);
    rows.push_back(std::move(v));
    combos.push_back(std::move(c));
    pivot.push_back(lead);
    Dense next(n, std::vector<std::int64_t>(n, 0));
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t l = 0; l < n; ++l)
        if (a[i][l] != 0)
          for (std::size_t j = 0; j < n; ++j)
            next[i][j] =
                static_cast<std::int64_t>(f.add(static_cast<std::uint64_t>(next[i][j]),
                                                f.mul(static_cast<std::uint64_t>(a[i][l]),
                                                      static_cast<std::uint64_t>(power[l][j]))));
    power = std::move(next);
  }
}

// Random sparse matrices of sides 2 to 60 over the integers, Z/2, Z/3, Z/7,
// Z/32003 and GF(256): diagonal, triangular, companion blocks of repeated
// factors, or random, conjugated by a permutation. "Minpoly" for every
// second argument equals the first dependence among the powers (over Z
// modulo 2^61 - 1, and exactly the planted polynomial where one is planted);
// sides below 8 are refused.
TEST_F(MinimalPoly, AgreesWithPowersOfTheMatrix) {
  std::mt19937_64 g(test_seed() + 60);
  seed_random(60);
  const std::int64_t big_prime = (std::int64_t{1} << 61) - 1;
  const std::int64_t moduli[] = {0, 0, 0, 2, 3, 7, 32003, 256};
  for (int trial = 0; trial < test_iterations(200); ++trial) {
    const std::int64_t q = moduli[g() % 8];
    const auto n = static_cast<std::size_t>(2 + g() % 59);
    const int family = static_cast<int>(g() % 4);
    std::optional<ModulusScope> mod;
    if (q != 0) mod.emplace(static_cast<std::int32_t>(q));
    const std::int64_t range = q == 0 ? 7 : q;  // entries in (-range, range), reduced modulo q
    auto entry = [&](std::int64_t lo) {
      return lo + static_cast<std::int64_t>(g() % static_cast<std::uint64_t>(range - lo));
    };
    Dense b(n, std::vector<std::int64_t>(n, 0));
    std::vector<std::int64_t> planted{1};  // over Z: the planted polynomial, lowest first
    auto times_linear = [&](std::vector<std::int64_t> p, std::int64_t root) {
      p.insert(p.begin(), 0);
      for (std::size_t i = 0; i + 1 < p.size(); ++i) p[i] -= root * p[i + 1];
      return p;
    };
    auto times_x2_plus_1 = [&](const std::vector<std::int64_t>& p) {
      std::vector<std::int64_t> r(p.size() + 2, 0);
      for (std::size_t i = 0; i < p.size(); ++i) {
        r[i + 2] += p[i];
        r[i] += p[i];
      }
      return r;
    };
    if (family == 0) {  // diagonal, few distinct values
      const auto values = 1 + g() % 4;
      std::map<std::int64_t, bool> seen;
      for (std::size_t i = 0; i < n; ++i) {
        const std::int64_t v = static_cast<std::int64_t>(g() % values) * 3 - 2;
        b[i][i] = v;
        if (!seen[v]) planted = times_linear(planted, v);
        seen[v] = true;
      }
    } else if (family == 1) {  // triangular, repeated diagonal entries
      for (std::size_t i = 0; i < n; ++i) {
        b[i][i] = static_cast<std::int64_t>(g() % 3);
        for (int k = 0; k < 2; ++k) {
          const std::size_t j = i + g() % (n - i);
          if (j > i && g() % 2) b[i][j] = entry(1 - range);
        }
      }
      planted.clear();
    } else if (family == 2) {  // companion blocks of products of (x - r)^e and x^2 + 1
      std::vector<std::int64_t> lcm_poly{1};
      std::map<std::int64_t, int> most;  // root (1000 for x^2 + 1) -> largest multiplicity
      std::vector<std::int64_t> last{1};
      for (std::size_t at = 0; at < n;) {
        std::vector<std::int64_t> c{1};
        std::map<std::int64_t, int> mult;
        if (last.size() > 1 && at + last.size() - 1 <= n && g() % 2) c = last;  // repeated
        if (c.size() == 1) {
          for (std::size_t k = 0, factors = 1 + g() % 3; k < factors; ++k) {
            if (g() % 4 == 0) {
              c = times_x2_plus_1(c);
              mult[1000] += 1;
            } else {
              const std::int64_t r = static_cast<std::int64_t>(g() % 5) - 2;
              c = times_linear(c, r);
              mult[r] += 1;
            }
          }
          if (at + c.size() - 1 > n) {
            c = {-1, 1};  // x - 1
            mult = {{1, 1}};
          }
        } else {
          mult.clear();
        }
        const std::size_t d = c.size() - 1;
        for (std::size_t i = 0; i < d; ++i) {
          if (i + 1 < d) b[at + i + 1][at + i] = 1;
          b[at + i][at + d - 1] = -c[i];
        }
        for (const auto& [r, e] : mult) most[r] = std::max(most[r], e);
        last = c;
        at += d;
      }
      planted = {1};
      for (const auto& [r, e] : most)
        for (int k = 0; k < e; ++k) {
          if (r == 1000) {
            planted = times_x2_plus_1(planted);
          } else {
            planted = times_linear(planted, r);
          }
        }
    } else {  // random sparse
      for (std::size_t i = 0; i < n; ++i)
        for (int k = 0; k < 3; ++k)
          if (g() % 3) b[i][g() % n] = entry(1 - range);
      planted.clear();
    }
    // Conjugated by a permutation.
    std::vector<std::size_t> perm(n);
    std::iota(perm.begin(), perm.end(), 0);
    std::shuffle(perm.begin(), perm.end(), g);
    Dense a(n, std::vector<std::int64_t>(n, 0));
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t j = 0; j < n; ++j) {
        std::int64_t v = b[i][j];
        if (q != 0 && q != 256) v = ((v % q) + q) % q;
        if (q == 256) v = ((v % 256) + 256) % 256;
        a[perm[i]][perm[j]] = v;
      }
    Mat m = int_mat(static_cast<std::int32_t>(n));
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t j = 0; j < n; ++j)
        if (a[i][j] != 0)
          put(m, static_cast<std::int32_t>(i), static_cast<std::int32_t>(j), a[i][j]);
    const std::string what = "trial " + std::to_string(trial) + " mod " + std::to_string(q) +
                             " side " + std::to_string(n) + " family " + std::to_string(family);
    if (n < 8) {
      bool unwound = false;
      const std::string out = output_of([&] { minpoly(m, 0); }, &unwound);
      EXPECT_TRUE(unwound && reports(out, 253)) << what << out;
      continue;
    }
    // The reference, over the integers modulo 2^61 - 1 (entries lifted).
    const TestField f{
        q == 0 ? static_cast<std::uint64_t>(big_prime) : static_cast<std::uint64_t>(q), q == 256};
    Dense ar = a;
    if (q == 0)
      for (auto& row : ar)
        for (auto& v : row) v = ((v % big_prime) + big_prime) % big_prime;
    const std::vector<std::uint64_t> want = minpoly_by_powers(ar, f);
    for (std::int32_t slow = 0; slow <= 3; ++slow) {
      Value p = minpoly(m, slow);
      if (p.get()->numb) {  // a constant is no minimal polynomial
        ADD_FAILURE() << what << " slow " << slow << ": " << value_text(p);
        continue;
      }
      const RefPoly got = read_poly(p.get()->numer, 1);
      std::vector<std::uint64_t> have(want.size(), 0);
      bool fits = true;
      for (const auto& [e, c] : got.terms()) {
        if (static_cast<std::size_t>(e[0]) >= have.size()) {
          fits = false;
          continue;
        }
        BigRef r = c % BigRef(static_cast<std::int64_t>(f.q));
        if (r < BigRef(0)) r = r + BigRef(static_cast<std::int64_t>(f.q));
        have[static_cast<std::size_t>(e[0])] = static_cast<std::uint64_t>(r.to_int64());
      }
      EXPECT_TRUE(fits && have == want) << what << " slow " << slow << ": " << value_text(p);
      if (q == 0 && !planted.empty()) {
        std::string text = "0";
        for (std::size_t i = 0; i < planted.size(); ++i)
          text += " + (" + std::to_string(planted[i]) + ")*x^" + std::to_string(i);
        EXPECT_TRUE(quoly_equal(p, Value::ratfun(text)))
            << what << " slow " << slow << ": " << value_text(p);
      }
    }
  }
}

// The projected sequence stops early where the answer is proven or
// completed afterwards: with the first prefix at every half-length from 1
// to past the side (the whole sequence, the route it bypasses) the answers
// agree, over Z and modulo 2, 3, 101, 32003 and in the field of 256
// elements, for matrices with short recurrences (few distinct diagonal
// values, repeated companion blocks, a nilpotent shift) and long ones.
TEST_F(MinimalPoly, EarlyStopAgreesWithWholeSequence) {
  std::mt19937_64 g(test_seed() + 61);
  const std::int32_t moduli[] = {0, 2, 3, 101, 32003, 256};
  for (int trial = 0; trial < test_iterations(36); ++trial) {
    const std::int32_t q = moduli[trial % 6];
    const auto n = static_cast<std::int32_t>(8 + g() % 73);
    const int family = static_cast<int>(g() % 4);
    std::optional<ModulusScope> mod;
    if (q != 0) mod.emplace(q);
    const std::int64_t range = q == 0 ? 7 : std::min<std::int64_t>(q, 7);
    std::vector<std::int32_t> perm(static_cast<std::size_t>(n));
    std::iota(perm.begin(), perm.end(), 0);
    std::shuffle(perm.begin(), perm.end(), g);
    auto at = [&](std::int32_t i) { return perm[static_cast<std::size_t>(i)]; };
    Mat m = int_mat(n);
    if (family == 0) {  // diagonal, at most three values
      for (std::int32_t i = 0; i < n; ++i) {
        const auto v = static_cast<std::int64_t>(g() % 3);
        if (v != 0) put(m, at(i), at(i), v);
      }
    } else if (family == 1) {  // one companion block repeated, permuted
      std::vector<std::int64_t> c(1 + g() % 5);
      for (auto& v : c) v = static_cast<std::int64_t>(g() % static_cast<std::uint64_t>(range));
      const auto d = static_cast<std::int32_t>(c.size());
      std::int32_t i = 0;
      for (; i + d <= n; i += d) {
        for (std::int32_t k = 0; k + 1 < d; ++k) put(m, at(i + k + 1), at(i + k), 1);
        for (std::int32_t k = 0; k < d; ++k)
          if (c[static_cast<std::size_t>(k)] != 0)
            put(m, at(i + k), at(i + d - 1), -c[static_cast<std::size_t>(k)]);
      }
      for (; i < n; ++i) put(m, at(i), at(i), 1);
    } else if (family == 2) {  // the shift: x^n
      for (std::int32_t i = 0; i + 1 < n; ++i) put(m, at(i + 1), at(i), 1);
    } else {  // random sparse
      for (std::int32_t i = 0; i < n; ++i)
        for (int k = 0; k < 3; ++k) {
          const auto v = static_cast<std::int64_t>(g() % static_cast<std::uint64_t>(range));
          if (v != 0) put(m, i, static_cast<std::int32_t>(g() % static_cast<std::uint64_t>(n)), v);
        }
    }
    const std::string what = "trial " + std::to_string(trial) + " mod " + std::to_string(q) +
                             " side " + std::to_string(n) + " family " + std::to_string(family);
    Value whole;
    {
      ScopedValue<std::int32_t> first(minpoly_first_terms, n);
      seed_random(61);
      whole = minpoly(m, 1);
    }
    for (const std::int32_t from : {1, 2, 5, 16, n / 2, n - 1}) {
      ScopedValue<std::int32_t> first(minpoly_first_terms, std::max(1, from));
      seed_random(61);
      Value early = minpoly(m, 1);
      EXPECT_TRUE(quoly_equal(early, whole))
          << what << " from " << from << ": " << value_text(early) << " vs " << value_text(whole);
    }
  }
}

// Integer matrices whose minimal polynomial lies well below the side: a
// random block B (entries -2..2) repeated two or three times along the
// diagonal, or the rank-deficient B·C (C with half its columns zero)
// twice, permuted. On both sides of the cut-off of the stable join (at the
// side, and one above: as many primes as the coefficient bound asks) the
// answers agree (and with the images of several primes in one pass or
// one by one) and are the first dependence among the powers modulo
// 2^61 - 1, of degree at most the block's side; the stable join takes
// two images more than the answer's size needs, 3.33 bits a digit and
// 28 bits an image (the progress count of its primes).
TEST_F(MinimalPoly, StableJoinAgreesWithBoundRoute) {
  std::mt19937_64 g(test_seed() + 62);
  const std::int64_t big_prime = (std::int64_t{1} << 61) - 1;
  for (int trial = 0; trial < test_iterations(24); ++trial) {
    const auto h = static_cast<std::size_t>(4 + g() % 13);
    const int kind = trial % 3;
    Dense b(h, std::vector<std::int64_t>(h, 0));
    for (auto& row : b)
      for (auto& v : row) v = static_cast<std::int64_t>(g() % 5) - 2;
    if (kind == 2) {  // B·C, C with the columns from h / 2 on zero
      Dense c(h, std::vector<std::int64_t>(h, 0)), bc(h, std::vector<std::int64_t>(h, 0));
      for (auto& row : c)
        for (std::size_t j = 0; j < h / 2; ++j) row[j] = static_cast<std::int64_t>(g() % 3) - 1;
      for (std::size_t i = 0; i < h; ++i)
        for (std::size_t k = 0; k < h; ++k)
          for (std::size_t j = 0; j < h; ++j) bc[i][j] += b[i][k] * c[k][j];
      b = bc;
    }
    const std::size_t n = (kind == 1 ? 3 : 2) * h;
    std::vector<std::size_t> perm(n);
    std::iota(perm.begin(), perm.end(), 0);
    std::shuffle(perm.begin(), perm.end(), g);
    Dense a(n, std::vector<std::int64_t>(n, 0));
    Mat m = int_mat(static_cast<std::int32_t>(n));
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t j = 0; j < n; ++j) {
        const std::int64_t v = i / h == j / h ? b[i % h][j % h] : 0;
        a[perm[i]][perm[j]] = (v % big_prime + big_prime) % big_prime;
        if (v != 0)
          put(m, static_cast<std::int32_t>(perm[i]), static_cast<std::int32_t>(perm[j]), v);
      }
    const std::string what = "trial " + std::to_string(trial) + " kind " + std::to_string(kind) +
                             " block " + std::to_string(h);
    const auto side = static_cast<std::int32_t>(n);
    Value bounded, stable;
    {
      ScopedValue<std::int32_t> cut(minpoly_stable_side, side + 1);
      seed_random(62);
      bounded = minpoly(m, 0);
    }
    std::string trace;
    {
      ScopedValue<std::int32_t> cut(minpoly_stable_side, side);
      ScopedValue<bool> loud(verbose, true);
      seed_random(62);
      trace = output_of([&] { stable = minpoly(m, 0); });
    }
    EXPECT_TRUE(quoly_equal(stable, bounded))
        << what << ": " << value_text(stable) << " vs " << value_text(bounded);
    {  // the images one prime at a time, the same images and the same trace
      ScopedValue<std::int32_t> cut(minpoly_stable_side, side);
      ScopedValue<bool> lanes(minpoly_image_lanes, false);
      ScopedValue<bool> loud(verbose, true);
      seed_random(62);
      Value single;
      auto words_of = [](const std::string& text) {  // the line breaks of the trace levels left out
        std::istringstream in(text);
        std::string all, w;
        while (in >> w) all += w + " ";
        return all;
      };
      EXPECT_EQ(words_of(output_of([&] { single = minpoly(m, 0); })), words_of(trace)) << what;
      EXPECT_TRUE(quoly_equal(single, stable)) << what << ": " << value_text(single);
    }
    ASSERT_FALSE(stable.get()->numb) << what;
    const std::vector<std::uint64_t> want =
        minpoly_by_powers(a, TestField{static_cast<std::uint64_t>(big_prime)});
    EXPECT_LE(want.size(), h + 1) << what;
    std::vector<std::uint64_t> have(want.size(), 0);
    bool fits = true;
    std::size_t digits = 1;  // of the largest coefficient
    const RefPoly got = read_poly(stable.get()->numer, 1);
    for (const auto& [e, c] : got.terms()) {
      digits = std::max(digits, c.abs().to_decimal().size());
      if (static_cast<std::size_t>(e[0]) >= have.size()) {
        fits = false;
        continue;
      }
      BigRef r = c % BigRef(big_prime);
      if (r < BigRef(0)) r = r + BigRef(big_prime);
      have[static_cast<std::size_t>(e[0])] = static_cast<std::uint64_t>(r.to_int64());
    }
    EXPECT_TRUE(fits && have == want) << what << ": " << value_text(stable);
    // "Number of primes needed is N:" and then the number of each image.
    const std::size_t at = trace.find("needed is ");
    ASSERT_NE(at, std::string::npos) << what << trace;
    std::istringstream words(trace.substr(at + 10));
    std::int32_t asked = 0, taken = 0, k = 0;
    char colon = 0;
    words >> asked >> colon;
    while (words >> k) taken = k;
    EXPECT_TRUE(taken >= 1 &&
                taken <= std::min<double>(asked, 3 + static_cast<double>(digits) * 3.33 / 28))
        << what << trace;
  }
}

// The images on the thread pool: the companion matrix of a polynomial with
// long coefficients (side 40, even, so det(A - xI) is the polynomial
// itself) has it as minimal polynomial, the same at 1, 2, 3 and 8 threads,
// with the pool forced on every batch and at the default cut-off.
TEST_F(MinimalPoly, ThreadCountsGiveTheCompanionPolynomial) {
  std::mt19937_64 g(5353);
  const std::int32_t n = 40;
  Mat m = int_mat(n);
  for (std::int32_t i = 0; i + 1 < n; ++i) put(m, i + 1, i, 1);
  for (std::int32_t i = 0; i < n; ++i)
    m.at(i, n - 1) = Value::number(BigRef(static_cast<std::int64_t>(g() >> 2)) *
                                   BigRef(static_cast<std::int64_t>(g() >> 20)));
  Value chpoly;
  {
    sparseptr sp = to_sparse(m);
    ASSERT_TRUE(int_char_poly_sparse(sp, n, chpoly.cell()));
    free_sparse(&sp, n, true);
  }
  for (const double cut : {0.0, threaded_image_steps}) {
    ScopedValue<double> steps(threaded_image_steps, cut);
    for (int threads : {1, 2, 3, 8}) {
      set_thread_count(threads);
      const Value p = minpoly(m, 1);
      set_thread_count(0);
      EXPECT_EQ(value_text(p.get()), value_text(chpoly.get()))
          << threads << " threads, cut-off " << cut;
    }
  }
}

}  // namespace
}  // namespace tavrin::test
