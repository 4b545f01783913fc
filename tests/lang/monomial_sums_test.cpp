// Long sums of monomials read in one pass against the evaluator: the same
// value node for node, the same display, the same recent tokens in a later
// error report, flat and in the nested form of the display; texts outside
// the accepted form are left to the evaluator.
#include "lang/monomial_sums.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "toplevel/charsets.h"
#include "toplevel/scanner.h"
#include "support/data_tables.h"
#include "support/poly_support.h"
#include "support/statements.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

class MonomialSums : public testing::Test {
 protected:
  MonomialSums() {
    load_data_tables();
    init_character_sets();
    make_token_ring();
    clear_variables_and_polynomial_names();
    run_statements("&(J = x)\n&(J = y)\n&(J = zz)\n");
  }
  ~MonomialSums() override { clear_variables_and_polynomial_names(); }

  struct Outcome {
    std::string printed, failed, shape;
    long taken = 0;
  };
  // "p := text;" and then `after`, by the one-pass reader (fast) or the
  // evaluator alone.
  static Outcome run(const std::string& text, bool fast, const std::string& after = "") {
    ScopedValue<std::int32_t> cut(monomial_sum_chars, fast ? 0 : INT32_MAX);
    const long before = monomial_sums_read;
    const StatementRun r = run_statements("p := " + text + ";\n" + after);
    Outcome o{r.printed, r.failed, "", monomial_sums_read - before};
    if (varptr v = variable_named("p"); v != nullptr && v->val != nullptr) {
      const quoly q = v->val;
      o.shape = value_text(q);
      if (!q->numb)
        o.shape +=
            " | " + dump_poly(q->numer) + (q->denom == nullptr ? "" : " / " + dump_poly(q->denom));
    }
    run_statements("@p;\n");
    return o;
  }
};

const char* const names[] = {"x", "y", "zz"};

// A random sum: coefficients of 0 to 60 digits (some 0), exponents 0 to 4
// (the variable left out at 0), repeated monomials, a negated copy of some
// terms, bare constants.
std::string random_sum(std::mt19937_64& rng) {
  std::vector<std::string> terms;
  const int n = 1 + static_cast<int>(rng() % 12);
  for (int t = 0; t < n; ++t) {
    std::string factors;
    const int kind = static_cast<int>(rng() % 4);
    if (kind != 0) {
      std::string c(1, static_cast<char>('0' + rng() % 10));
      const int digits = static_cast<int>(rng() % 61);
      for (int k = 0; k < digits; ++k) c.push_back(static_cast<char>('0' + rng() % 10));
      factors = c;
    }
    for (const char* v : names) {
      const int e = static_cast<int>(rng() % 5);
      if (e == 0) continue;
      if (!factors.empty()) factors += "*";
      factors += v;
      if (e > 1 || rng() % 2) factors += "^" + std::to_string(e);
    }
    if (factors.empty()) factors = "5";
    terms.push_back(factors);
  }
  // some terms grouped as the display nests them: (sum)*x^2, 3*(sum) y
  if (terms.size() > 3 && rng() % 2) {
    const std::string inner = "(" + terms[0] + " - " + terms[1] + "+" + terms[2] + ")";
    terms.erase(terms.begin(), terms.begin() + 3);
    terms.push_back(rng() % 2 ? inner + "*x^2" : "3*" + inner + " y");
    if (rng() % 2) terms.push_back("(" + terms.front() + ")");
  }
  std::string s;
  for (std::size_t i = 0; i < terms.size(); ++i)
    s += (rng() % 2 ? "-" : (i == 0 ? "" : "+")) + terms[i];
  // cancel some terms, repeat others
  const std::size_t k = rng() % (terms.size() + 1);
  for (std::size_t i = 0; i < k; ++i) s += (i % 2 ? "+" : "-") + terms[i];
  return s;
}

TEST_F(MonomialSums, SameValuesAsTheEvaluator) {
  std::mt19937_64 rng(test_seed() + 3);
  const int rounds = test_iterations(150);
  for (int round = 0; round < rounds; ++round) {
    const std::string text = random_sum(rng);
    const Outcome fast = run(text, true), slow = run(text, false);
    EXPECT_EQ(fast.taken, 1) << text;
    EXPECT_EQ(slow.taken, 0) << text;
    EXPECT_EQ(fast.shape, slow.shape) << text;
    EXPECT_EQ(fast.printed, slow.printed) << text;
  }
  // A later error reports the same recent tokens.
  const std::string text = "3*x^2*y-12*zz+x*y^3-7";
  const Outcome fast = run(text, true, "1/0;\n"), slow = run(text, false, "1/0;\n");
  EXPECT_EQ(fast.taken, 1);
  EXPECT_EQ(fast.failed, slow.failed);
  EXPECT_NE(fast.failed, "");
}

TEST_F(MonomialSums, OtherTextsAreLeftToTheEvaluator) {
  for (const char* text : {"x^0+1", "2*X+1", "2*q+1", "2.5*x+1", "x^(2)+1", "2*3*x+1", "x*-1",
                           "(x+1)*(y+1)", "x(y+1)", "x^12345678+1", "x/2+y", "x+1 `"}) {
    const Outcome fast = run(text, true), slow = run(text, false);
    EXPECT_EQ(fast.taken, 0) << text;
    EXPECT_EQ(fast.shape, slow.shape) << text;
    EXPECT_EQ(fast.printed, slow.printed) << text;
    EXPECT_EQ(fast.failed, slow.failed) << text;
  }
}

}  // namespace
}  // namespace tavrin::test
