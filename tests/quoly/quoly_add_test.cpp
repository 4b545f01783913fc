// Sums and differences of values through the six entry points: known
// answers with the GCDs they may take, the ownership contract over every
// kind and ring, and random sums checked at rational points.
#include "quoly/quoly_add.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "poly/poly_flat_mult.h"
#include "poly/poly_repr.h"
#include "quoly/quoly.h"
#include "quoly/quoly_integers_impl.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/ratref.h"
#include "support/rings.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

// ---- The six entry points ----------------------------------------------------------------

enum class Entry { best_add, best_sub, add, sub, better_add, better_sub };
constexpr Entry entries[] = {Entry::best_add, Entry::best_sub,   Entry::add,
                             Entry::sub,      Entry::better_add, Entry::better_sub};

bool subtracts(Entry e) {
  return e == Entry::best_sub || e == Entry::sub || e == Entry::better_sub;
}
const char* entry_name(Entry e) {
  const char* names[] = {"best_quoly_add", "best_quoly_sub",   "quoly_add",
                         "quoly_sub",      "better_quoly_add", "better_quoly_sub"};
  return names[static_cast<int>(e)];
}

// n ± m through the entry point e, from copies (so both stay the caller's):
// the in-place form uses up its copy of m, better_ its copy of n.
Value through(Entry e, quoly n, quoly m) {
  Value a = copy_of(n), b = copy_of(m), r;
  switch (e) {
    case Entry::best_add: best_quoly_add(a.cell(), b.get()); break;
    case Entry::best_sub: best_quoly_sub(a.cell(), b.get()); break;
    case Entry::add: quoly_add(a, b, r.cell()); return r;
    case Entry::sub: quoly_sub(a, b, r.cell()); return r;
    case Entry::better_add:
      better_quoly_add(*a.cell(), b, r.cell());
      *a.cell() = nullptr;
      return r;
    case Entry::better_sub:
      better_quoly_sub(*a.cell(), b, r.cell());
      *a.cell() = nullptr;
      return r;
  }
  *b.cell() = nullptr;  // used up
  return a;
}

// ---- Known answers ---------------------------------------------------------------------------

TEST(ValueSums, KnownAnswersAndTheGcdsTheyTake) {
  PolyVars vars{"x", "y"};
  struct Row {
    const char *n, *op, *m, *expected;
    int denominator_gcds, numerator_gcds;  // -1: not counted
  };
  const Row rows[] = {
      {"1 / 2", "+", "1 / 2", "number 1", 1, 1},
      {"1 / 6", "+", "1 / 3", "1 / 2 rat", 1, 1},
      {"1 / 2", "-", "1 / 2", "number 0", 1, 0},
      {"1 / 2", "+", "1 / 3", "5 / 6 rat", 1, 0},
      {"3", "-", "1 / 2", "5 / 2 rat", 0, 0},
      {"1 / 2", "-", "3", "-5 / 2 rat", 0, 0},
      {"x", "+", "1 / 2", "2*x + 1 / 2", 0, 0},
      {"x / x + 1", "+", "1 / x + 1", "number 1", 0, 1},
      {"x*y + 2", "-", "x / y", "x*y^2 - x + 2*y / y", 0, 0},
      {"x / y", "+", "x*y", "x*y^2 + x / y", 0, 0},
      {"x + 1", "-", "x + 1", "number 0", 0, 0},
      {"x + 1", "+", "2", "x + 3", 0, 0},
      {"1 / x^2 - x", "+", "1 / x^2 + x", "2 / x^2 - 1", 1, 1},
      {"1 / x^2 - 1", "+", "1 / x - 1", "x + 2 / x^2 - 1", 1, 1},
  };
  for (const Row& row : rows) {
    Value n = make_value(row.n), m = make_value(row.m);
    const bool sub = row.op[0] == '-';
    for (Entry e : entries) {
      if (subtracts(e) != sub) continue;
      SCOPED_TRACE(std::string(row.n) + " " + row.op + " " + row.m + " by " + entry_name(e));
      const quoly_sum_counts before = quoly_sums;
      NodeBalance balance;
      {
        Value r = through(e, n, m);
        EXPECT_EQ(value_text(r), row.expected);
        EXPECT_TRUE(normal_value(r));
      }
      EXPECT_EQ(quoly_sums.denominator_gcds - before.denominator_gcds, row.denominator_gcds);
      EXPECT_EQ(quoly_sums.numerator_gcds - before.numerator_gcds, row.numerator_gcds);
    }
  }
  {
    NodeBalance balance;
    Value v = make_value("x / x + 1");
    quoly_sub(v, v, v.cell());  // a value less the same node, into its own cell
    EXPECT_EQ(value_text(v), "number 0");
  }
  ModulusScope mod(65521);
  Value a = Value::number(65520), b = Value::number(2);
  for (Entry e : {Entry::best_add, Entry::add, Entry::better_add}) {
    Value r = through(e, a, b);
    EXPECT_EQ(value_text(r), "number 1") << entry_name(e);
  }
  Value r = through(Entry::sub, b, a);  // 2 - 65520 = 3
  EXPECT_EQ(value_text(r), "number 3");
}

// ---- Ownership -----------------------------------------------------------------------------

// A denominator of one limb, above 1: small, a power of two, 2^28 - 1, a
// product of small primes, or any.
BigRef one_limb_denominator(std::mt19937_64& rng) {
  switch (rng() % 5) {
    case 0: return BigRef(2 + static_cast<std::int64_t>(rng() % 30));
    case 1: return BigRef::pow2(static_cast<unsigned>(1 + rng() % 27));
    case 2: return BigRef(268435455);
    case 3: return BigRef(2 * 3 * 5 * 7 * 11 * 13 * (1 + static_cast<std::int64_t>(rng() % 8)));
    default: return BigRef(2 + static_cast<std::int64_t>(rng() % 268435453));
  }
}

TEST(ValueSums, RationalsWithAOneLimbDenominator) {
  // Rational numbers one of whose denominators has one limb are summed in
  // one pass over each operand: through the six entry points against exact
  // rationals, in normal form, with the GCDs the gcd-of-denominators
  // method counts (one of the denominators; a second when they are not
  // coprime and the sum is not 0). Long and short numerators of both
  // signs, denominators that divide the other, sums of 0 and integers.
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 11);
  int taken = 0;
  for (int it = 0; it < test_iterations(150); ++it) {
    const BigRef d = one_limb_denominator(rng);
    BigRef b = it % 4 == 0 ? one_limb_denominator(rng) : random_big(rng, 25).abs() + BigRef(2);
    if (it % 3 == 0) b = b * d;      // d divides b
    if (it % 7 == 0) b = b * d * d;  // and its square
    const RatRef x(random_big(rng, it % 2 == 0 ? 30 : 2), b);
    RatRef y(random_big(rng, it % 5 == 0 ? 25 : 1), d);
    if (it % 9 == 0) y = -x;  // a sum of 0
    if (it % 11 == 0)
      y = RatRef(BigRef(1 + static_cast<std::int64_t>(rng() % 5))) - x;  // an integer
    if (x.is_integer() || y.is_integer()) continue;
    ++taken;
    // Each order: the one-limb denominator second, then first.
    for (const auto& [u, v] : {std::pair{x, y}, std::pair{y, x}}) {
      Value n = make_value(u.num().to_decimal() + " / " + u.den().to_decimal());
      Value m = make_value(v.num().to_decimal() + " / " + v.den().to_decimal());
      const bool common = BigRef::gcd(u.den(), v.den()) != BigRef(1);
      for (Entry e : entries) {
        SCOPED_TRACE(u.to_string() + (subtracts(e) ? " - " : " + ") + v.to_string() + " by " +
                     entry_name(e));
        const RatRef want = subtracts(e) ? u - v : u + v;
        const quoly_sum_counts before = quoly_sums;
        Value r = through(e, n, m);
        ASSERT_EQ(value_at(r, {}), want);
        ASSERT_TRUE(normal_value(r));
        ASSERT_EQ(quoly_sums.denominator_gcds - before.denominator_gcds, 1);
        ASSERT_EQ(quoly_sums.numerator_gcds - before.numerator_gcds,
                  common && !want.is_zero() ? 1 : 0);
      }
    }
  }
  EXPECT_GT(taken, 50);
}

// quoly_add_in_place(n, m, sub) against best_quoly_add on copies: when it
// takes the sum, the same value in normal form (handed to *sum); when it
// declines, both operands as they were. Returns whether it took the sum;
// *routed counts the contiguous integer sums of the in-place call.
bool in_place_sum_agrees(const char* n_text, const char* m_text, bool sub, Value* sum,
                         long* routed = nullptr) {
  Value n = make_value(n_text), m = make_value(m_text);
  Value want = copy_of(n), term = copy_of(m);
  (sub ? best_quoly_sub : best_quoly_add)(want.cell(), *term.cell());
  *term.cell() = nullptr;
  const std::string before_n = value_shape(n), before_m = value_shape(m);
  const long before = detail::integer_values.sums;
  const bool taken = quoly_add_in_place(n.cell(), m.get(), sub);
  if (routed != nullptr) *routed = detail::integer_values.sums - before;
  if (taken) {
    *m.cell() = nullptr;  // used up
    EXPECT_EQ(value_text(n), value_text(want));
    EXPECT_TRUE(normal_value(n));
    *sum = std::move(n);
  } else {
    EXPECT_EQ(value_shape(n), before_n);
    EXPECT_EQ(value_shape(m), before_m);
  }
  return taken;
}

TEST(ValueSums, InPlaceSumsTakeOnlyWhatCannotFailPartWay) {
  // quoly_add_in_place against best_quoly_add on copies: when it takes the
  // sum the value is the same and normal; when it declines, both operands
  // are as they were. It takes word sums of polynomials, and over the
  // rationals polynomials or fractions over constants plus terms above
  // them (a fraction's denominator dividing the first's); it declines
  // terms that meet or lie below, denominators that do not divide,
  // polynomial denominators, and relations.
  PolyVars vars{"x", "y"};
  struct Row {
    const char *n, *m;
    bool taken_rational, taken_modular;
  };
  const Row rows[] = {
      {"x + 1", "x^3*y - 2*x^2", true, true},
      {"x^2 + y", "x + 4", false, true},
      {"x^2 + y", "x^2*y", false, true},
      {"y / 6", "7*x / 3", true, true},
      {"y^2 + 3 / 12", "x^4*y / 12", true, true},
      {"x / 6", "x^2 / 4", false, true},
      {"x + 1 / 2", "x^3 / 5", false, true},
      {"x / 3", "x^3 - x^2*y", true, true},
      {"x / 3", "x^2 - y", false, true},
      {"1 / x + 1", "x^2 / x + 1", false, false},
      {"x + 1", "3", false, false},
      {"5", "x", false, false},
      {"x^2 + 1 / 7", "-x^5*y^3 / 7", true, true},
  };
  for (const bool modular : {false, true}) {
    std::optional<ModulusScope> ring;
    if (modular) ring.emplace(32003);
    for (const Row& row : rows) {
      for (const bool sub : {false, true}) {
        SCOPED_TRACE(std::string(row.n) + (sub ? " - " : " + ") + row.m +
                     (modular ? " mod 32003" : ""));
        NodeBalance balance;
        Value n;
        const bool taken = in_place_sum_agrees(row.n, row.m, sub, &n);
        EXPECT_EQ(taken, modular ? row.taken_modular : row.taken_rational);
        if (taken && !modular) {  // at a point, against the operands' values there
          const std::vector<RatRef> at{RatRef(3, 7), RatRef(-5, 2)};
          Value n0 = make_value(row.n), m = make_value(row.m);
          const RatRef a = *value_at(m, at), b = *value_at(n, at);
          EXPECT_EQ(b, sub ? *value_at(n0, at) - a : *value_at(n0, at) + a);
        }
      }
    }
  }
}

TEST(ValueSums, InPlaceSumsOfOneVariableFractionsGoByContiguousCoefficients) {
  // Over the rationals, fractions in one variable whose degrees sum to
  // integer_value_degree or more are summed in place on contiguous integer
  // coefficients (the cell written once the sum is whole); one degree
  // fewer declines them, both operands as they were. Against
  // best_quoly_add on copies: equal denominators, common factors, a sum
  // whose numerator vanishes, a difference that cancels to a polynomial.
  PolyVars vars{"x"};
  ScopedValue<std::int32_t> cut(integer_value_degree, 8);
  struct Row {
    const char *n, *m;
    bool taken;
  } const rows[] = {
      {"1 / (x^4 + 2)", "3 / (x^4 - x - 7)", true},
      {"1 / (x^3 + 2)", "3 / (x^4 - x - 7)", false},
      {"(x^2 + 1) / (x^4 + 5)", "(2*x - 3) / (x^4 + 5)", true},
      {"x / (x^3 + 5)", "1 / (x^3 + 5)", false},
      {"5 / ((x + 1)*(x^3 - 2))", "-7 / ((x + 1)*(x^3 + 3))", true},
      {"(x^5 - 1) / (x^3 + x)", "(x^5 - 1) / (x^3 + x)", true},
      {"(x^7 + 2*x) / (x^2 - 2)", "(x^3 - 1) / (x^2 - 2)", true},
  };
  for (const Row& row : rows) {
    for (const bool sub : {false, true}) {
      SCOPED_TRACE(std::string(row.n) + (sub ? " - " : " + ") + row.m);
      NodeBalance balance;
      Value n;
      long sums = 0;
      EXPECT_EQ(in_place_sum_agrees(row.n, row.m, sub, &n, &sums), row.taken);
      EXPECT_EQ(sums, row.taken ? 1 : 0);
    }
  }
}

TEST(ValueSums, InPlaceSumsDeclineWordSumsThatCanOverflow) {
  // Outside a modulus a word sum of coefficients past 32 bits is an error,
  // which would leave the cell empty part-way: the sum is declined and both
  // operands stay as they were, with or without a meeting monomial.
  PolyVars vars{"x", "y"};
  ScopedValue<bool> push(errorpush, false);
  WordMode word;
  for (const char* m_text : {"1000*x", "x^3*y"}) {
    SCOPED_TRACE(m_text);
    NodeBalance balance;
    Value n = make_value("2147483000*x + 1"), m = make_value(m_text);
    const std::string before_n = value_shape(n), before_m = value_shape(m);
    bool unwound = false, taken = true;
    output_of([&] { taken = quoly_add_in_place(n.cell(), m.get(), false); }, &unwound);
    EXPECT_FALSE(unwound);
    EXPECT_FALSE(taken);
    ASSERT_NE(n.get(), nullptr);
    EXPECT_EQ(value_shape(n), before_n);
    EXPECT_EQ(value_shape(m), before_m);
  }
}

TEST(ValueSums, EveryKindRingAndEntryPointKeepsTheContract) {
  PolyVars vars{"x", "y"};
  ScopedValue<bool> push(errorpush, false);
  for (Ring ring : {Ring::integers, Ring::mod7, Ring::mod65521, Ring::floating}) {
    RingScope scope(ring);
    // A rational number exists only over the integers.
    const std::vector<std::string> templates = {"3", ring == Ring::integers ? "3 / 4" : "6",
                                                "x*y + 2", "x + 1 / y"};
    for (const std::string& ns : templates) {
      for (const std::string& ms : templates) {
        Value n = make_value(ns), m = make_value(ms);
        // The sum by the definition: (N1 D2 ± N2 D1) / (D1 D2) in the ring.
        const auto [n1, d1] = value_parts(n);
        const auto [n2, d2] = value_parts(m);
        const std::string n_shape = value_shape(n), m_shape = value_shape(m);
        for (Entry e : entries) {
          SCOPED_TRACE(std::string(ring_name(ring)) + ": " + ns + ", " + ms + " by " +
                       entry_name(e));
          NodeBalance balance;
          {
            Value r = through(e, n, m);
            ASSERT_TRUE(normal_value(r));
            const auto [rn, rd] = value_parts(r);
            const RefPoly a = ring_product(ring, n1, d2), b = ring_product(ring, n2, d1);
            const RefPoly num = ring_sum(ring, a, b, subtracts(e));
            EXPECT_EQ(ring_product(ring, rn, ring_product(ring, d1, d2)),
                      ring_product(ring, num, rd));
          }
          EXPECT_EQ(value_shape(n), n_shape);
          EXPECT_EQ(value_shape(m), m_shape);
        }
        // Results written into an operand's cell free its old value once.
        NodeBalance balance;
        {
          Value a = copy_of(n), b = copy_of(m);
          quoly_add(a, b, a.cell());
          quoly_add(a, b, b.cell());
          Value c = copy_of(m);
          better_quoly_add(a, c, a.cell());
          EXPECT_TRUE(normal_value(a));
        }
      }
    }
  }
}

// A plain word sum that would wrap is refused (error 32) and unwinds: the
// operand used up is freed once, and a cell that held it is left empty, not
// holding the freed node (the sum of a matrix read as an exponent).
TEST(ValueSums, ARefusedWordSumFreesItsOperandOnceAndEmptiesItsCell) {
  ScopedValue<bool> push(errorpush, false);
  RingScope scope(Ring::word);
  for (Entry e : {Entry::better_add, Entry::better_sub}) {
    SCOPED_TRACE(entry_name(e));
    NodeBalance balance;
    Value n = Value::number(BigRef(2147483000));
    Value m = Value::number(BigRef(e == Entry::better_add ? 1000 : -1000));
    bool unwound = false;
    output_of(
        [&] {
          if (e == Entry::better_add) {
            better_quoly_add(n, m, n.cell());
          } else {
            better_quoly_sub(n, m, n.cell());
          }
        },
        &unwound);
    EXPECT_TRUE(unwound);
    EXPECT_EQ(value_text(m), e == Entry::better_add ? "number 1000" : "number -1000");
    EXPECT_EQ(n.get(), nullptr) << "the cell still holds the node the error freed";
    *n.cell() = nullptr;  // so that it is not freed a second time here
  }
}

// ---- Random sums -----------------------------------------------------------------------------

// A random product of 1 to 3 factors from a small pool, with a random
// number factor: values built this way share factors, so sums cancel.
RefPoly random_product(std::mt19937_64& rng, const std::vector<RefPoly>& pool) {
  RefPoly p = RefPoly::constant(
      2, BigRef(static_cast<std::int64_t>(rng() % 5) + 1) * BigRef(rng() % 4 == 0 ? -1 : 1));
  const int k = 1 + static_cast<int>(rng() % 3);
  for (int i = 0; i < k; ++i) p = p * pool[rng() % pool.size()];
  return p;
}

// A random big integer of 1 to max_limbs limbs of 28 bits, either sign.
BigRef random_big(std::mt19937_64& rng, int max_limbs) {
  BigRef v(0);
  const int limbs = 1 + static_cast<int>(rng() % max_limbs);
  for (int i = 0; i < limbs; ++i)
    v = (v << 28) + BigRef(static_cast<std::int64_t>(rng() % (1u << 28)));
  if (v.is_zero()) v = BigRef(1);
  return rng() % 2 == 0 ? v : -v;
}

// Running sums of c / (x + k y + k^2 z + 1), and of c / (x + k y + (2^28 -
// 57 - k) z + 1), whose sums soon have long coefficients: with c = 1 the
// sum's denominator b moves into the numerator a d + b (formed in one pass
// once a's coefficients are long), for other c it is multiplied; each
// against the three-argument sum (which copies), text for text, and at
// rational points.
TEST(ValueSums, CoprimeLinearDenominatorsAgreeWithTheThreeArgumentSum) {
  PolyVars vars{"x", "y", "z"};
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 5101);
  const long one_pass = flat_mult_methods.scaled_sums;
  for (const char* c : {"1", "2", "-1"}) {
    for (bool sub : {false, true}) {
      for (bool wide : {false, true}) {
        SCOPED_TRACE(std::string("numerators ") + c + (sub ? ", differences" : ", sums") +
                     (wide ? ", wide" : ""));
        auto z_coefficient = [wide](int k) { return std::to_string(wide ? 268435399 - k : k * k); };
        Value fast = Value::ratfun(c, "x + y + " + z_coefficient(1) + "*z + 1");
        Value three = copy_of(fast);
        for (int k = 2; k <= 7; ++k) {
          const Value term =
              Value::ratfun(c, "x + " + std::to_string(k) + "*y + " + z_coefficient(k) + "*z + 1");
          Value f = through(sub ? Entry::best_sub : Entry::best_add, fast, term);
          Value t = through(sub ? Entry::sub : Entry::add, three, term);
          ASSERT_EQ(value_text(f), value_text(t)) << "k = " << k;
          ASSERT_TRUE(normal_value(f));
          std::vector<RatRef> point = {random_ratref(rng, 9, 5), random_ratref(rng, 9, 5),
                                       random_ratref(rng, 9, 5)};
          const auto vf = value_at(f, point), vo = value_at(fast, point),
                     vt = value_at(term, point);
          if (vf && vo && vt) {
            ASSERT_EQ(*vf, sub ? *vo - *vt : *vo + *vt) << "k = " << k;
          }
          fast = std::move(f);
          three = std::move(t);
        }
      }
    }
  }
  EXPECT_GT(flat_mult_methods.scaled_sums, one_pass);
}

// Denominator GCDs that a point of a linear denominator may answer (coprime:
// the linear one primitive, of degree 1, one-limb coefficients, the other
// not 0 there) and those it must leave to the GCD (a common factor, an
// integer content in common, degree 2, a two-limb coefficient), in either
// order, against the three-argument sum, which always takes the GCD.
TEST(ValueSums, ALinearDenominatorIsShownCoprimeAtOnePointOrLeftToTheGcd) {
  PolyVars vars{"x", "y", "z"};
  NodeBalance balance;
  struct Row {
    const char *b, *d;
    bool shown;
  };
  const Row rows[] = {
      {"(x + y + 1)*(x + 2*y + 1)", "x + 3*y + 9*z + 1", true},
      {"(x + y + 1)*(x + 2*y + 1)", "x + 2*y + 1", false},
      {"(x + y + 1)^3*(y - z)", "y - z", false},
      {"2*x + 2", "4*y + 2", false},
      {"x^2 + y^2 + 1", "x*y + 1", false},
      {"x^2 + y^2 + 1", "268435456*x + 1", false},
      {"x^2 + y^2 + 1", "268435454*x - 3*z", true},
      {"7", "x + 1", true},
      {"x + y^5 + z^9", "z - 2", true},
      // b read on the axis of d's first variable (the others 0), then at
      // the second point where b vanishes on that axis
      {"x^2*y + z^3 + 5", "x + 1", true},
      {"y*(x + 1)*(x + 2)", "x + y + 2", true},
      {"(x + y + 2)*y", "x + y + 2", false},
      {"(3*x + 7)*(x*z + 1)", "3*x + 7", false},
      {"(3*x + 7)*(x*z + 1)", "3*x - 7", true},
      // b vanishing on the x axis of d, read on its y axis
      {"(x + 2*y + 4*z + 1)*(x + 5*y + 9*z + 1)", "x + 3*y + 16*z + 1", true},
      {"(x + 5*y + 4*z + 1)*(x + 3*y + 16*z + 1)", "x + 3*y + 16*z + 1", false},
  };
  for (const Row& row : rows) {
    for (bool swap : {false, true}) {
      SCOPED_TRACE(std::string(row.b) + " and " + row.d + (swap ? ", swapped" : ""));
      const Value n = Value::ratfun("x - 1", swap ? row.d : row.b);
      const Value m = Value::ratfun("1", swap ? row.b : row.d);
      const quoly_sum_counts before = quoly_sums;
      Value fast = through(Entry::best_add, n, m);
      ASSERT_EQ(quoly_sums.linear_coprime - before.linear_coprime, row.shown ? 1 : 0);
      Value three = through(Entry::add, n, m);
      ASSERT_EQ(value_text(fast), value_text(three));
      ASSERT_TRUE(normal_value(fast));
    }
  }
}

TEST(ValueSums, RandomSumsAgreeAtRationalPoints) {
  PolyVars vars{"x", "y"};
  std::mt19937_64 rng(test_seed() + 2004);
  SCOPED_TRACE("seed " + std::to_string(test_seed()));
  auto ref = [&](const std::string& s) { return parse_ref(s, vars.names()); };
  const std::vector<RefPoly> pool = {ref("x"),     ref("y"),         ref("x + 1"),
                                     ref("x - y"), ref("2*x + 3*y"), ref("x*y - 1"),
                                     ref("y + 2"), ref("x^2 + y")};
  NodeBalance balance;
  for (int i = 0; i < test_iterations(500); ++i) {
    // A third in Laurent mode, numerators with negative exponents.
    ScopedValue<bool> l(laurent, i % 3 == 2);
    const RefPoly shift =
        laurent ? pool[rng() % 2] * RefPoly::variable(2, static_cast<int>(rng() % 2), -2)
                : RefPoly::constant(2, 1);
    const RefPoly a = random_product(rng, pool) * shift, b = random_product(rng, pool);
    const RefPoly c = random_product(rng, pool), d = random_product(rng, pool);
    Value n = Value::ratfun(a.to_string(vars.names()), b.to_string(vars.names()));
    Value m = Value::ratfun(c.to_string(vars.names()), d.to_string(vars.names()));
    check_quoly(n.cell(), laurent);
    check_quoly(m.cell(), laurent);
    const Entry e = entries[rng() % 6];
    SCOPED_TRACE(value_text(n) + "  and  " + value_text(m) + "  by " + entry_name(e));
    Value r = through(e, n, m);
    ASSERT_TRUE(normal_value(r));
    for (int k = 0; k < 3; ++k) {
      std::vector<RatRef> point = {random_ratref(rng, 9, 5), random_ratref(rng, 9, 5)};
      for (RatRef& v : point)
        if (v.is_zero()) v = RatRef(3, 7);  // negative exponents need non-zero values
      const auto vn = value_at(n, point), vm = value_at(m, point), vr = value_at(r, point);
      if (!vn || !vm || !vr) continue;
      EXPECT_EQ(*vr, subtracts(e) ? *vn - *vm : *vn + *vm);
    }
  }
  // Rational numbers of up to 20 limbs whose denominators share a factor.
  for (int i = 0; i < test_iterations(120); ++i) {
    const BigRef s = random_big(rng, 4).abs();
    const RatRef p(random_big(rng, 20), random_big(rng, 16).abs() * s);
    const RatRef q = rng() % 4 == 0 ? RatRef(random_big(rng, 3))
                                    : RatRef(random_big(rng, 20), random_big(rng, 16).abs() * s);
    auto make = [](const RatRef& v) {
      return v.is_integer() ? Value::number(v.num())
                            : make_value(v.num().to_decimal() + " / " + v.den().to_decimal());
    };
    Value n = make(p), m = make(q);
    const Entry e = entries[rng() % 6];
    SCOPED_TRACE(p.to_string() + "  and  " + q.to_string() + "  by " + entry_name(e));
    Value r = through(e, n, m);
    ASSERT_TRUE(normal_value(r));
    const RatRef got = r->numb
                           ? RatRef(number_value(r->ncoef))
                           : RatRef(number_value(r->numer->ncoef), number_value(r->denom->ncoef));
    EXPECT_EQ(got, subtracts(e) ? p - q : p + q);
  }
}

}  // namespace
}  // namespace tavrin::test
