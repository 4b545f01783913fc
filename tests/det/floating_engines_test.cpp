// "Float" bodies in-process: the modes the engines of a floating statement
// see, the floating GCD of a one-variable elimination, every flag after an
// error or an interrupt inside the floating work, and the coefficients of
// floating polynomial determinants against the exact ones.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/interrupts.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "numbers/work_arrays.h"
#include "gcd/gcd.h"
#include "toplevel/dispatch.h"
#include "toplevel/state.h"
#include "lang/expressions.h"
#include "lang/variables.h"
#include "arrays/array_store.h"
#include "arrays/targets.h"
#include "matrix/matrix_support.h"
#include "det/router.h"
#include "frontend/command_loop.h"
#include "frontend/error_context.h"
#include "frontend/startup.h"
#include "support/bigref.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/statements.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

using Flags = std::vector<bool>;  // flotemode, lintmode, modularmode, integerflag, float_statement
Flags flags() { return {flotemode, lintmode, modularmode, integerflag, float_statement}; }

std::vector<Flags> seen;  // the flags at each router request
bool interrupt_at_request = false;
void record(det_method) {
  seen.push_back(flags());
  if (interrupt_at_request) interrupt_requested = 1;  // honoured inside the floating work
  interrupt_at_request = false;
}

class FloatEngines : public MatrixTest {
 protected:
  void SetUp() override {
    MatrixTest::SetUp();
    install_interpreter();
    install_command_loop();
    tt_flag = true;
  }
  void TearDown() override {
    run("@[**]:\n&(J = -x)");
    MatrixTest::TearDown();
  }
  // The statements of text, one a line; `level` is what a nested command
  // level reads. Whether one unwound.
  bool run(const std::string& text, const std::string& level = "") {
    TextInput nested(level), in(text + "\n");
    ScopedValue<FILEPtr> reader(Input, &nested);
    FILEPtr stream = &in;
    leftover[0] = '\0';
    bool any = false;
    for (scanner(&stream, &token, &zilch); !in.at_eof(); scanner(&stream, &token, &zilch)) {
      quoly value = nullptr;
      bool u = false;
      output_of([&] { parse(&stream, &value, &zilch); }, &u);
      free_quoly(&value);
      if (u) top_of_loop();
      any = any || u;
      in.get();
    }
    return any;
  }
  static RatRef value(const char* name) {
    varptr v = variable_named(name);
    return v == nullptr ? RatRef(-999) : *value_at(v->val, std::vector<RatRef>(number_polys, 0));
  }
  ScopedValue<void (*)(det_method)> hook_{det_route_hook, record};
  ScopedValue<command_level_runner> runner_{run_command_level, command_level};
  ScopedValue<error_context_printer> context_{print_error_context, print_context};
  ScopedValue<void (*)()> poll_{TextInput::on_interrupt, nullptr};
  ScopedValue<bool> push_{errorpush, false}, interrupts_{command_int, true};
  ScopedValue<std::int32_t> level_{levelcount, 1};
};

TEST_F(FloatEngines, EnginesSeeFloatingModeAndEveryFlagComesBack) {
  const Flags exact = flags(), floating{true, true, false, true, true};
  ASSERT_EQ(exact, Flags(5, false));
  // One variable: the elimination's GCDs are the floating one-variable GCD.
  run("&(J = x)\n[v] := [<i = 1, 3><j = 1, 3> (x + i)^j + j*x]:\ne := Det[v]:");
  run("[h] := [<i = 1, 4><j = 1, 4> i^j + j]:\n[z] := [<i = 1, 3><j = 1, 3> (j - 1)*i]:");
  const std::string work =
      "if 1 then Float; [d] := Det[v]; f := Det[h]; [w] := [h]^-1; [p] := [h] * [h] fi:";
  const long before = polygcd_stages.one_variable;
  seen.clear();
  run(work + "\nf := d[1] - e:");
  EXPECT_GT(polygcd_stages.one_variable, before);
  ASSERT_EQ(seen.size(), 3u);
  for (const Flags& f : seen) EXPECT_EQ(f, floating);
  EXPECT_EQ(value("f"), RatRef(0));
  // The same statements again, an exact determinant of a temporary too:
  // every image, copy and cell given back.
  for (const std::string& piece : {work, std::string("e := Det(([v] + [v])):")}) {
    run(piece);
    NodeBalance balance;
    run(piece);
  }

  // An error inside the floating work (a zero column found in floating
  // mode) and one in the body outside it.
  EXPECT_TRUE(run("if 1 then Float; [y] := [z]^-1 fi:"));
  EXPECT_EQ(flags(), exact);
  EXPECT_TRUE(run("if 1 then Float; 1/0 fi:"));
  EXPECT_EQ(flags(), exact);

  // Interrupted inside the floating power: the nested level computes
  // exactly, "&_p" finishes the power; "&@" abandons another.
  interrupt_at_request = true;
  EXPECT_FALSE(run("if 1 then Float; [w] := [h]^-2 fi:", "g := 1/3:\n&_p\n"));
  EXPECT_EQ(value("g"), RatRef(1, 3));
  EXPECT_EQ(flags(), exact);
  run("[r] := [w]*[h]*[h]:\nt := Trace[r] - 4:");
  EXPECT_LT(value("t").num().abs() * BigRef::pow2(40), value("t").den());  // h^-2 h^2 = 1
  interrupt_at_request = true;
  EXPECT_TRUE(run("if 1 then Float; [q] := [h]^-2 fi:", "&@\n"));
  EXPECT_EQ(flags(), exact);
  tokentipe q{"q", -1};
  EXPECT_EQ(find_array(&q), nullptr);

  // A function left by "&}" after its "Float".
  run("Func F(a) = Float; &}; 2.\nk := F(1) + 1/3:");
  EXPECT_EQ(value("k"), RatRef(1, 3));
  EXPECT_EQ(flags(), exact);
}

// Random matrices of polynomials in one, two and three variables (sides 2
// to 12, 8 and 6; terms of degree up to 3 in each variable, coefficients
// -9 .. 9, a third of the entries zero; every other one stored sparse;
// one in five made singular by a last row that is a combination of the
// first two), their Float-body determinants by elimination and by
// interpolation: each coefficient within 1e-9 of the largest coefficient of
// the exact determinant (a singular matrix: exactly 0). Long doubles alone
// lose that from side 7 on, and with two variables or more the floating
// GCD has nothing to cancel with; the checked determinant takes the exact
// route there.
TEST_F(FloatEngines, PolynomialDeterminantsKeepTheirCoefficients) {
  std::mt19937_64 rng(test_seed());
  ScopedValue<std::int32_t> lagrange_cut(rat_det_method_cut, 5000);
  const char* names[] = {"x", "y", "z"};
  const int rounds = test_iterations(66);
  for (int nv = 1; nv <= 3; ++nv) {
    run(std::string("&(J = ") + names[nv - 1] + ")");
    const int widest = nv == 1 ? 11 : nv == 2 ? 7 : 5;
    for (int t = 0; t < rounds; ++t) {
      const int m = 2 + static_cast<int>(rng() % static_cast<unsigned>(widest));
      std::string text = "Array a[" + std::to_string(m) + "," + std::to_string(m) + "]" +
                         (t % 2 == 1 ? " Sparse" : "") + ":\n";
      for (int r = 1; r <= m; ++r)
        for (int c = 1; c <= m; ++c) {
          std::string entry = "0";
          if (rng() % 3 != 0)
            for (int k = static_cast<int>(rng() % 4); k >= 0; --k) {
              entry += " + (" + std::to_string(static_cast<int>(rng() % 19) - 9) + ")";
              for (int v = 0; v < nv; ++v)
                entry += std::string("*") + names[v] + "^" + std::to_string(rng() % 4);
            }
          text += "a[" + std::to_string(r) + "," + std::to_string(c) + "] := " + entry + ":\n";
        }
      const std::string k = std::to_string(static_cast<int>(rng() % 7) - 3);
      if (rng() % 5 == 0)
        for (int c = 1; c <= m; ++c) {
          text += "a[" + std::to_string(m) + "," + std::to_string(c) + "] := a[1," +
                  std::to_string(c) + "] + (" + k + ")*a[2," + std::to_string(c) + "]:\n";
        }
      run(text + "e := Det[a]:");
      const RefPoly exact = value_parts(variable_named("e")->val).first;
      BigRef largest(0);
      for (const auto& [e, c] : exact.terms()) largest = std::max(largest, c.abs());
      for (const std::int32_t cut : {5000, 1}) {
        SCOPED_TRACE("seed " + std::to_string(test_seed()) + ", variables " + std::to_string(nv) +
                     ", case " + std::to_string(t) + ", side " + std::to_string(m) +
                     ", L = " + std::to_string(cut));
        rat_det_method_cut = cut;
        run("if 1 then Float; [d] := Det[a] fi:\nf := d[1]:");
        const auto [top, bottom] = value_parts(variable_named("f")->val);
        ASSERT_EQ(bottom.terms().size(), 1u);
        const BigRef den = bottom.terms().begin()->second;
        ASSERT_EQ(bottom.terms().begin()->first, RefPoly::Exps(static_cast<std::size_t>(nv), 0));
        const RefPoly off = top - exact.scaled(den);
        for (const auto& [e, c] : off.terms())
          EXPECT_LE(c.abs() * BigRef(1000000000), largest * den.abs()) << "term of degree " << e[0];
      }
      run("@[a]:\n@[d]:");
    }
  }
  run("&(J = -z)\n&(J = -y)");
}

// Floating inverses refuse only matrices singular to working precision.
// Hilbert matrices of sides 2 to 10 (condition up to 1.6e13), dense and
// sparse, invert with every entry within 1e-6 of the largest entry of the
// exact inverse; random matrices whose last row is a combination of the
// first two with fractional coefficients (singular, but not exactly so in
// long doubles) are error 44, and the same matrices with that row moved
// off by a small amount invert.
TEST_F(FloatEngines, FloatingInversesRefuseOnlySingularMatrices) {
  const auto abs_less = [](const RatRef& a, const RatRef& b) {  // |a| < |b|
    return a.num().abs() * b.den() < b.num().abs() * a.den();
  };
  for (int n = 2; n <= 10; ++n)
    for (const char* kind : {"", " Sparse"}) {
      const std::string side = std::to_string(n);
      SCOPED_TRACE("Hilbert side " + side + kind);
      run("Array h[" + side + "," + side + "]" + kind + ": [h] := [<i = 1, " + side + "><j = 1, " +
          side + "> 1/(i + j - 1)]:\n[e] := [h]^-1:");
      ASSERT_FALSE(run("if 1 then Float; [w] := [h]^-1 fi:"));
      RatRef largest(0), worst(0);
      for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) {
          const std::string at = "[" + std::to_string(i) + "," + std::to_string(j) + "]";
          run("t := w" + at + " - e" + at + ":\nu := e" + at + ":");
          if (abs_less(largest, value("u"))) largest = value("u");
          if (abs_less(worst, value("t"))) worst = value("t");
        }
      EXPECT_TRUE(abs_less(worst * RatRef(1000000), largest)) << worst << " beside " << largest;
      run("@[h]:\n@[e]:\n@[w]:");
    }
  std::mt19937_64 rng(test_seed());
  const int rounds = test_iterations(20);
  for (int t = 0; t < rounds; ++t) {
    const int m = 3 + static_cast<int>(rng() % 6);
    const std::string side = std::to_string(m);
    std::string text = "Array a[" + side + "," + side + "]" + (t % 2 == 1 ? " Sparse" : "") + ":\n";
    for (int r = 1; r < m; ++r)
      for (int c = 1; c <= m; ++c)
        text += "a[" + std::to_string(r) + "," + std::to_string(c) +
                "] := " + std::to_string(static_cast<int>(rng() % 19) - 9) + "/" +
                std::to_string(1 + rng() % 9) + ":\n";
    const std::string p = std::to_string(1 + rng() % 9) + "/" + std::to_string(3 + rng() % 5);
    const std::string q = std::to_string(1 + rng() % 9) + "/" + std::to_string(3 + rng() % 5);
    for (int c = 1; c <= m; ++c) {
      const std::string col = std::to_string(c);
      text += "a[" + side + "," + col + "] := " + p + "*a[1," + col + "] - " + q + "*a[2," + col +
              "]:\n";
    }
    SCOPED_TRACE("seed " + std::to_string(test_seed()) + ", case " + std::to_string(t) + "\n" +
                 text);
    run(text + "g := Det[a]:");
    ASSERT_EQ(value("g"), RatRef(0));
    EXPECT_TRUE(run("if 1 then Float; [w] := [a]^-1 fi:"));
    run("a[" + side + "," + side + "] := a[" + side + "," + side + "] + 1/1000:\ng := Det[a]:");
    if (value("g") == RatRef(0)) continue;  // the other rows are dependent too
    EXPECT_FALSE(run("if 1 then Float; [w] := [a]^-1 fi:"));
    run("[p] := [w] * [a]:\nk := Trace[p] - " + side + ":");
    EXPECT_TRUE(abs_less(value("k"), RatRef(BigRef(1), BigRef(1000000000))));
    run("@[a]:\n@[w]:\n@[p]:");
  }
}

// A matrix whose entries span 2^-200 .. 2^200 but whose pivots (7 2^200,
// 2^-59, -3) are formed without rounding inverts, dense and sparse, to
// within 2^-60 of each entry of the exact inverse [0, 2^-200/7, 0; 2^59,
// 2^59/7, 0; -1/6, -1/42, -1/3] (its zeros exactly), and its floating
// determinant is 21 2^141 = 5.85e43 to the same precision. Row 1's largest
// entry, eliminated by the first step, once passed for the scale of the
// pivot 2^-59 formed from it, and the inverse was refused as singular.
TEST_F(FloatEngines, PivotsFormedWithoutRoundingAreNotSingular) {
  const RatRef two(2), seven(7), third = RatRef(1) / RatRef(3);
  const RatRef exact[3][3] = {{0, two.pow(-200) / seven, 0},
                              {two.pow(59), two.pow(59) / seven, 0},
                              {-RatRef(1) / RatRef(6), -RatRef(1) / RatRef(42), -third}};
  const auto within = [](const RatRef& got, const RatRef& want) {  // |got - want| <= 2^-60 |want|
    const RatRef off = got - want;
    return off.num().abs() * want.den() * BigRef::pow2(60) <= want.num().abs() * off.den();
  };
  for (const char* kind : {"", " Sparse"}) {
    SCOPED_TRACE(std::string("storage") + kind);
    run(std::string("Array a[3,3]") + kind +
        ":\na[1,1] := -2^200: a[1,2] := 2/2^60:\na[2,1] := 7*2^200:\na[3,2] := -1/2^60: a[3,3] := "
        "-3:");
    ASSERT_FALSE(run("if 1 then Float; [w] := [a]^-1 fi:"));
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) {
        run("u := w[" + std::to_string(i + 1) + "," + std::to_string(j + 1) + "]:");
        EXPECT_TRUE(within(value("u"), exact[i][j])) << i + 1 << "," << j + 1 << ": " << value("u");
      }
    run("if 1 then Float; d := Det[a] fi:");
    EXPECT_TRUE(within(value("d"), two.pow(141) * RatRef(21))) << value("d");
    run("@[a]:\n@[w]:");
  }
}

using RatRows = std::vector<std::vector<RatRef>>;

RatRef abs_of(const RatRef& a) { return a.num() < BigRef(0) ? -a : a; }
bool less(const RatRef& a, const RatRef& b) { return (a - b).num() < BigRef(0); }

// Hilbert matrices of sides 12 and 13 (condition 1.6e16 and 4.8e17, below
// the 1.8e19 of working precision) are inverted: their last pivots are
// thousands of ulps of the magnitudes that formed them. The inverse's last
// entry is (2n - 1) C(2n - 2, n - 1)^2 (11,445,589,052,352 and
// 182,811,491,808,400), here to a relative 1e-2.
TEST_F(FloatEngines, IllConditionedRegularMatricesAreInverted) {
  const std::pair<int, long long> cases[] = {{12, 11445589052352LL}, {13, 182811491808400LL}};
  for (const auto& [n, last] : cases) {
    SCOPED_TRACE("side " + std::to_string(n));
    const std::string side = std::to_string(n);
    run("Array h[" + side + "," + side + "]:\nfor i = 1 to " + side + " do for j = 1 to " + side +
        " do h[i,j] := 1/(i + j - 1) od od:");
    ASSERT_FALSE(run("if 1 then Float; [w] := [h]^-1 fi:"));
    run("u := w[" + side + "," + side + "]:");
    const RatRef off = abs_of(value("u") - RatRef(last));
    EXPECT_TRUE(less(off * RatRef(100), RatRef(last))) << value("u");
    run("@[h]:\n@[w]:");
  }
}

// The inverse of b by Gauss-Jordan on exact rationals, and its determinant
// (0 and no inverse when b is singular).
std::pair<RatRows, RatRef> exact_inverse(RatRows b) {
  const std::size_t n = b.size();
  RatRows x(n, std::vector<RatRef>(n, RatRef(0)));
  for (std::size_t i = 0; i < n; ++i) x[i][i] = 1;
  RatRef det = 1;
  for (std::size_t i = 0; i < n; ++i) {
    std::size_t r = i;
    while (r < n && b[r][i].is_zero()) ++r;
    if (r == n) return {{}, RatRef(0)};
    if (r != i) {
      std::swap(b[r], b[i]);
      std::swap(x[r], x[i]);
      det = -det;
    }
    const RatRef p = b[i][i];
    det = det * p;
    for (std::size_t c = 0; c < n; ++c) {
      b[i][c] = b[i][c] / p;
      x[i][c] = x[i][c] / p;
    }
    for (std::size_t k = 0; k < n; ++k) {
      if (k == i || b[k][i].is_zero()) continue;
      const RatRef f = b[k][i];
      for (std::size_t c = 0; c < n; ++c) {
        b[k][c] = b[k][c] - f * b[i][c];
        x[k][c] = x[k][c] - f * x[i][c];
      }
    }
  }
  return {x, det};
}

// Floating inverses of matrices whose entries span 2^-300 .. 2^300:
// A = D1 B D2 with B of side 2 to 8 (entries -9 .. 9, a third of them 0, a
// quarter of the matrices with fractions p/q), D1 and D2 diagonal powers of
// two from 2^-150 to 2^150; every sixth B singular (its last row p/q times
// the first minus p'/q' times the second). A singular A is refused. An
// inverse given is within 2^-40 |B| |B^-1| n of A^-1 after scaling: D2 W
// D1, which is B^-1 when W = A^-1, is that close to B^-1 (by Gauss-Jordan
// on exact rationals here) times its largest entry, entry by entry; and the
// floating determinant is within 10^-9 of det B times the powers of two.
// Pivots chosen by size alone can, between rows 2^300 apart, leave a later
// pivot to rounding; such a matrix is refused, but of those with B well
// conditioned (|B| |B^-1| n <= 2^30) no more than one in fifty. The scale
// of a row once came from entries that elimination cleared, and one matrix
// in ten was refused.
TEST_F(FloatEngines, BadlyScaledInversesAgreeWithTheExactOnes) {
  std::mt19937_64 rng(test_seed());
  const int rounds = test_iterations(300);
  int inverted = 0, refused_well = 0;
  for (int t = 0; t < rounds; ++t) {
    const int m = 2 + static_cast<int>(rng() % 7);
    const auto n = static_cast<std::size_t>(m);
    const bool fractions = t % 4 == 3, singular = t % 6 == 5;
    RatRows b(n, std::vector<RatRef>(n, RatRef(0)));
    for (auto& row : b)
      for (auto& x : row)
        if (rng() % 3 != 0)
          x = RatRef(BigRef(static_cast<std::int64_t>(rng() % 19) - 9),
                     BigRef(fractions ? static_cast<std::int64_t>(1 + rng() % 9) : 1));
    if (singular) {
      const RatRef p(BigRef(static_cast<std::int64_t>(1 + rng() % 9)),
                     BigRef(static_cast<std::int64_t>(3 + rng() % 5)));
      const RatRef q(BigRef(static_cast<std::int64_t>(1 + rng() % 9)),
                     BigRef(static_cast<std::int64_t>(3 + rng() % 5)));
      for (std::size_t c = 0; c < n; ++c) b[n - 1][c] = p * b[0][c] - q * b[1][c];
    }
    std::vector<int> d1(n), d2(n);
    for (std::size_t k = 0; k < n; ++k) {
      d1[k] = static_cast<int>(rng() % 301) - 150;
      d2[k] = static_cast<int>(rng() % 301) - 150;
    }
    const RatRef two(2);
    std::ostringstream text;
    text << "Array a[" << m << "," << m << "]" << (t % 2 == 1 ? " Sparse" : "") << ":\n";
    for (std::size_t r = 0; r < n; ++r)
      for (std::size_t c = 0; c < n; ++c)
        if (!b[r][c].is_zero() || t % 2 == 0)
          text << "a[" << r + 1 << "," << c + 1 << "] := (" << b[r][c].to_string() << ")*2^"
               << d1[r] + d2[c] << ":\n";
    SCOPED_TRACE("seed " + std::to_string(test_seed()) + ", case " + std::to_string(t) + "\n" +
                 text.str());
    const auto [x, det] = exact_inverse(b);
    run(text.str());
    const bool refused = run("if 1 then Float; [w] := [a]^-1 fi:");
    if (det.is_zero()) {
      EXPECT_TRUE(refused) << "a singular matrix inverted";
      run("@[a]:\n@[w]:");
      continue;
    }
    RatRef most_b(0), most_x(0);
    for (std::size_t r = 0; r < n; ++r)
      for (std::size_t c = 0; c < n; ++c) {
        if (less(most_b, abs_of(b[r][c]))) most_b = abs_of(b[r][c]);
        if (less(most_x, abs_of(x[r][c]))) most_x = abs_of(x[r][c]);
      }
    const RatRef condition = most_b * most_x * RatRef(m);
    if (refused) {
      if (!less(two.pow(30), condition)) ++refused_well;
      run("@[a]:\n@[w]:");
      continue;
    }
    ++inverted;
    const RatRef tolerance = condition * most_x * two.pow(-40);
    for (std::size_t r = 0; r < n; ++r)
      for (std::size_t c = 0; c < n; ++c) {
        run("u := w[" + std::to_string(r + 1) + "," + std::to_string(c + 1) + "]:");
        const RatRef scaled = value("u") * two.pow(d2[r] + d1[c]);
        EXPECT_FALSE(less(tolerance, abs_of(scaled - x[r][c])))
            << r + 1 << "," << c + 1 << ": " << scaled << " beside " << x[r][c];
      }
    RatRef det_a = det;
    for (std::size_t k = 0; k < n; ++k) det_a = det_a * two.pow(d1[k] + d2[k]);
    run("if 1 then Float; d := Det[a] fi:");
    EXPECT_FALSE(less(abs_of(det_a), abs_of(value("d") - det_a) * RatRef(1000000000)))
        << value("d") << " beside " << det_a;
    run("@[a]:\n@[w]:");
  }
  EXPECT_GT(inverted, rounds / 2);
  EXPECT_LE(refused_well * 50, rounds) << refused_well << " well-conditioned matrices refused";
}

// Floating determinants of number matrices against the exact ones: sides 2
// to 40, dense and sparse, entries from 1 to 10^30 mixed in one matrix, a
// sixth of them singular (one row a multiple of another). Each is within
// one part in 10^9 of the exact determinant; a singular one is 0 or below
// 10^-12 of Hadamard's bound (its entries' long doubles need not be
// singular). The sparse elimination once took small pivots beside 10^20
// and came out with the wrong sign, far past Hadamard's bound.
TEST_F(FloatEngines, NumberDeterminantsAgreeWithTheExactOnes) {
  std::mt19937_64 rng(test_seed());
  const auto entry = [&] {
    const auto digits = static_cast<unsigned>(rng() % 31);
    BigRef v = static_cast<std::int64_t>(1 + rng() % 9);
    for (unsigned k = 0; k < digits; ++k) v = v * BigRef(10);
    v = v + BigRef(static_cast<std::int64_t>(rng() % 100000) % (digits >= 5 ? 100000 : 1));
    return rng() % 2 == 0 ? v : -v;
  };
  const int rounds = test_iterations(300);
  for (int t = 0; t < rounds; ++t) {
    const int m = 2 + static_cast<int>(rng() % 39);
    const bool sparse = t % 2 == 1, singular = t % 6 == 5;
    std::vector<std::vector<BigRef>> a(static_cast<std::size_t>(m),
                                       std::vector<BigRef>(static_cast<std::size_t>(m)));
    for (auto& row : a) {
      for (auto& x : row)
        if (rng() % 2 == 0) x = entry();
      row[rng() % static_cast<unsigned>(m)] = entry();
    }
    if (singular) {
      const std::size_t from = rng() % static_cast<unsigned>(m),
                        to = (from + 1) % static_cast<unsigned>(m);
      const BigRef k = static_cast<std::int64_t>(1 + rng() % 5);
      for (std::size_t c = 0; c < a.size(); ++c) a[to][c] = a[from][c] * k;
    }
    std::ostringstream text;
    text << "Array a[" << m << "," << m << "]" << (sparse ? " Sparse" : "") << ":\n";
    for (int r = 0; r < m; ++r)
      for (int c = 0; c < m; ++c)
        if (a[r][c] != BigRef(0))
          text << "a[" << r + 1 << "," << c + 1 << "] := " << a[r][c] << ":\n";
    SCOPED_TRACE("seed " + std::to_string(test_seed()) + ", case " + std::to_string(t) + ", side " +
                 std::to_string(m) + (sparse ? ", sparse" : ", dense"));
    run(text.str() + "e := Det[a]:\nif 1 then Float; d := Det[a] fi:");
    const RatRef exact = value("e"), got = value("d");
    if (singular) {
      ASSERT_EQ(exact, RatRef(0));
    }
    if (exact == RatRef(0)) {
      // (d 10^12)^2 <= H^2, the product of the rows' squared lengths
      BigRef bound = 1;
      for (const auto& row : a) {
        BigRef sum = 0;
        for (const BigRef& x : row) sum = sum + x * x;
        bound = bound * sum;
      }
      const BigRef scaled = got.num().abs() * BigRef(1000000000000);
      EXPECT_LE(scaled * scaled, bound * got.den() * got.den()) << got;
    } else {
      const RatRef off = got - exact;
      EXPECT_LE(off.num().abs() * exact.den() * BigRef(1000000000), exact.num().abs() * off.den())
          << got << " beside " << exact;
    }
    run("@[a]:");
  }
}

// A floating inverse of a sparse number matrix is refused as singular (to
// working precision: |A| |A^-1| beyond 2^40 in the norm of largest row
// sums, A^-1 by Gauss-Jordan on exact rationals) or has A W = 1 to working
// precision: |A W - 1| at most n 2^-60 |A| |W| in that norm (entries 1 to
// 10^30, sides 2 to 10). W's
// entries are long doubles, so one power of two D clears every denominator
// and the check runs on the integers A, D W and D (A W - 1).
TEST_F(FloatEngines, SparseFloatingInversesHoldToWorkingPrecision) {
  std::mt19937_64 rng(test_seed());
  const int rounds = test_iterations(30);
  using Rows = std::vector<std::vector<BigRef>>;
  const auto row_norm = [](const Rows& x) {
    BigRef most = 0;
    for (const auto& row : x) {
      BigRef s = 0;
      for (const BigRef& v : row) s = s + v.abs();
      most = std::max(most, s);
    }
    return most;
  };
  for (int t = 0; t < rounds; ++t) {
    const int m = 2 + static_cast<int>(rng() % 9);
    const auto side = static_cast<std::size_t>(m);
    Rows a(side, std::vector<BigRef>(side, BigRef(0)));
    std::ostringstream text;
    text << "Array a[" << m << "," << m << "] Sparse:\nArray w[" << m << "," << m << "] Sparse:\n";
    for (int r = 0; r < m; ++r)
      for (int c = 0; c < m; ++c) {
        if (rng() % 2 == 0 && c != (r * 7 + t) % m) continue;
        BigRef v = static_cast<std::int64_t>(1 + rng() % 9);
        for (auto k = rng() % 31; k > 0; --k) v = v * BigRef(10);
        if (rng() % 2 == 0) v = -v;
        a[r][c] = v;
        text << "a[" << r + 1 << "," << c + 1 << "] := " << v << ":\n";
      }
    SCOPED_TRACE("seed " + std::to_string(test_seed()) + ", case " + std::to_string(t) + "\n" +
                 text.str());
    run(text.str());
    if (run("if 1 then Float; [w] := [a]^-1 fi:")) {
      RatRows exact(side, std::vector<RatRef>(side, RatRef(0)));
      for (std::size_t r = 0; r < side; ++r)
        for (std::size_t c = 0; c < side; ++c) exact[r][c] = a[r][c];
      const auto [x, det] = exact_inverse(exact);
      if (!det.is_zero()) {
        RatRef norm_x(0);
        for (const auto& row : x) {
          RatRef sum(0);
          for (const RatRef& v : row) sum = sum + abs_of(v);
          if (less(norm_x, sum)) norm_x = sum;
        }
        EXPECT_TRUE(less(RatRef(BigRef::pow2(40)), norm_x * RatRef(row_norm(a))))
            << "refused, though well conditioned";
      }
      run("@[a]:\n@[w]:");
      continue;
    }
    std::vector<std::vector<RatRef>> w(side, std::vector<RatRef>(side, RatRef(0)));
    BigRef d = 1;
    for (int r = 0; r < m; ++r)
      for (int c = 0; c < m; ++c) {
        run("u := w[" + std::to_string(r + 1) + "," + std::to_string(c + 1) + "]:");
        w[r][c] = value("u");
        d = std::max(d, w[r][c].den());
      }
    Rows dw(side, std::vector<BigRef>(side)), residual(side, std::vector<BigRef>(side));
    for (std::size_t r = 0; r < side; ++r)
      for (std::size_t c = 0; c < side; ++c) {
        ASSERT_EQ(d % w[r][c].den(), BigRef(0)) << "not a long double: " << w[r][c];
        dw[r][c] = w[r][c].num() * (d / w[r][c].den());
      }
    for (std::size_t r = 0; r < side; ++r)
      for (std::size_t c = 0; c < side; ++c) {
        BigRef s = r == c ? -d : BigRef(0);
        for (std::size_t k = 0; k < side; ++k) s = s + a[r][k] * dw[k][c];
        residual[r][c] = s;
      }
    EXPECT_LE(row_norm(residual) * BigRef::pow2(60), row_norm(a) * row_norm(dw) * BigRef(m));
    run("@[a]:\n@[w]:");
  }
}

}  // namespace
}  // namespace tavrin::test
