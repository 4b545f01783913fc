// "#" at lists of values: random values in three variables evaluated at
// random rational points by the list, by single substitutions one variable
// at a time, and by the test-side evaluator; the characteristic-2 word
// path against the general one and, through the program, against
// term-by-term evaluation; errors that leave no node behind.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "poly/poly_repr.h"
#include "toplevel/language_services.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "lang/expressions.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/program_run.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

// Random integer coefficients and exponents up to 3; with bits, the form
// the characteristic-2 path is for: every exponent 0 or 1 (the variables
// reduced by x^2 = x) and every coefficient 1.
std::string random_text(std::mt19937_64& g, bool bits) {
  std::string s;
  const int terms = 1 + static_cast<int>(g() % 5);
  const char* vars[] = {"x", "y", "z"};
  std::set<std::string> seen;  // each monomial once, so no coefficient sums up
  for (int t = 0; t < terms; ++t) {
    std::string m;
    for (const char* v : vars)
      m += std::string("*") + v + "^" + std::to_string(g() % (bits ? 2 : 4));
    if (!seen.insert(m).second) continue;
    const long c = bits ? 1 : static_cast<long>(g() % 21) - 10;
    s += (s.empty() ? "" : " + ") + std::string("(") + std::to_string(c == 0 ? 1 : c) + ")" + m;
  }
  return s;
}

// A chain of fresh copies of the values, in order.
quoly chain_of(const std::vector<Value>& values, std::size_t from) {
  quoly head = nullptr;
  quoly* link = &head;
  for (std::size_t i = from; i < values.size(); ++i) {
    quoly_assign(values[i].get(), link);
    (*link)->next = nullptr;
    link = &(*link)->next;
  }
  return head;
}

// v at the chain for the variables from target on (the list form of "#").
Value by_list(const Value& v, const std::vector<Value>& values, std::size_t from,
              std::int16_t target) {
  quoly r = nullptr;
  quoly_assign(v.get(), &r);
  quoly chain = chain_of(values, from);
  get_evalquoly(&Input, &r, &chain, &target, &zilch, true, false);
  free_quoly(&chain);
  return Value::adopt(r);
}

// v with one value at a time, variable target, target + 1, ...
Value one_by_one(const Value& v, const std::vector<Value>& values, std::size_t from,
                 std::int16_t target) {
  quoly r = nullptr;
  quoly_assign(v.get(), &r);
  for (std::size_t i = from; i < values.size(); ++i) {
    quoly one = values[i].get();
    std::int16_t t = static_cast<std::int16_t>(target + (i - from));
    get_evalquoly(&Input, &r, &one, &t, &zilch, false, false);
  }
  return Value::adopt(r);
}

TEST(EvaluationAtValues, ListsAgreeWithSingleSubstitutionsAndTheTestSideEvaluator) {
  std::mt19937_64 rng(test_seed() + 3851);
  PolyVars vars({"x", "y", "z"});
  NodeBalance balance;
  int checked = 0;
  for (int round = 0; round < test_iterations(150); ++round) {
    const bool fraction = round % 3 == 2;
    Value v = make_value(fraction ? random_text(rng, false) + " / " + random_text(rng, false)
                                  : random_text(rng, false));
    std::vector<RatRef> point;
    std::vector<Value> values;
    for (int i = 0; i < 3; ++i) {
      const long a = static_cast<long>(rng() % 15) - 7, b = 1 + static_cast<long>(rng() % 5);
      point.emplace_back(BigRef(a), BigRef(b));
      values.push_back(make_value(std::to_string(a) + " / " + std::to_string(b)));
    }
    const auto want = value_at(v, point);
    if (!want) continue;  // the denominator vanishes at the point
    Value listed = by_list(v, values, 0, 1);
    Value single = one_by_one(v, values, 0, 1);
    EXPECT_EQ(value_text(listed), value_text(single)) << value_text(v);
    EXPECT_EQ(value_at(listed, point), want) << value_text(v);
    EXPECT_TRUE(normal_value(listed));
    // From y down: the list for y and z against single substitutions.
    Value lower = by_list(v, values, 1, 2);
    EXPECT_EQ(value_text(lower), value_text(one_by_one(v, values, 1, 2))) << value_text(v);
    EXPECT_EQ(value_at(lower, point), want);
    ++checked;
  }
  EXPECT_GT(checked, 50);
  balance.expect_balanced();
}

TEST(EvaluationAtValues, TheCharacteristicTwoWordPathAgreesWithTheGeneralOne) {
  std::mt19937_64 rng(test_seed() + 3852);
  PolyVars vars({"x", "y", "z"});
  ModulusScope field(256);
  NodeBalance balance;
  const bool saved = char2_degs1;
  for (int round = 0; round < test_iterations(200); ++round) {
    Value v = make_value(random_text(rng, true));
    std::vector<Value> values;
    for (int i = 0; i < 3; ++i) values.push_back(make_value(std::to_string(rng() % 2)));
    const std::size_t from = round % 2;
    char2_degs1 = true;
    Value fast = by_list(v, values, from, static_cast<std::int16_t>(from + 1));
    char2_degs1 = false;
    Value general = by_list(v, values, from, static_cast<std::int16_t>(from + 1));
    EXPECT_EQ(value_text(fast), value_text(general)) << value_text(v);
    EXPECT_EQ(value_text(general),
              value_text(one_by_one(v, values, from, static_cast<std::int16_t>(from + 1))));
  }
  char2_degs1 = saved;
  balance.expect_balanced();
}

// ---- 0/1 lists in characteristic 2, through the program -------------------------

// The numbers the program wrote on lines "v N" (after any prompts).
std::vector<long> written_values(const std::string& out) {
  std::vector<long> values;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    line.erase(0, line.find_first_not_of('>'));
    if (line.rfind("v ", 0) == 0) values.push_back(std::stol(line.substr(2)));
  }
  return values;
}

// Random c*x^a*y^b*z^c sums over the fields of 2, 2^8 and 2^16 elements at
// random 0/1 points, by "#" in the program against term-by-term evaluation:
// a term is its coefficient when each of its variables is 1, else 0, and
// terms add by exclusive or (the field sum on bit patterns). v^k = v at 0
// and 1, so Boolean relations do not change the value.
TEST(EvaluationAtValues, ZeroOneListsInCharacteristicTwoAgreeWithTermByTermEvaluation) {
  const char* setups[] = {
      // x, y, z adjoined in this order: z is on top
      "&(J = x)\n&(J = y)\n&(J = z)\n",
      "&(J = x)\n&(P = x^2 + x)\n&(J = y)\n&(P = y^2 + y)\n&(J = z)\n&(P = z^2 + z)\n",
      "&(J = x)\n&(P = x^2 + x)\n&(J = y)\n&(J = z)\n&(P = z^2 + z)\n"};
  std::mt19937_64 rng(test_seed() + 3853);
  for (const std::uint64_t q : {2, 256, 65536}) {
    for (const char* setup : setups) {
      std::string statements = "&(p = " + std::to_string(q) + ")\n" + setup;
      std::vector<std::string> cases;
      std::vector<long> want;
      for (int round = 0; round < test_iterations(15); ++round) {
        std::string v[3];  // the values of x, y, z
        for (std::string& s : v) s = std::to_string(rng() % 2);
        std::string text;
        long value = 0;
        for (int t = 1 + static_cast<int>(rng() % 6); t > 0; --t) {
          const long c = rng() % 3 == 0 ? 1 : 1 + static_cast<long>(rng() % (q - 1));
          text += (text.empty() ? "(" : " + ") + std::to_string(c);
          bool on = true;
          for (int k = 0; k < 3; ++k) {
            const std::uint64_t e = rng() % 3 == 0 ? rng() % 4 : rng() % 2;
            if (e > 0) text += std::string("*") + "xyz"[k] + "^" + std::to_string(e);
            on = on && (e == 0 || v[k] == "1");
          }
          if (on) value ^= c;
        }
        text += ")";
        // The whole list; the list from y down, then z; the top two, then x.
        const std::string forms[] = {
            text + "#(" + v[2] + ", " + v[1] + ", " + v[0] + ")",
            "(" + text + "#(y = " + v[1] + ", " + v[0] + "))#" + v[2],
            "(" + text + "#(" + v[2] + ", " + v[1] + "))#(x = " + v[0] + ")"};
        for (const std::string& form : forms) {
          statements += "!!('v', " + form + "):\n";
          cases.push_back(form);
          want.push_back(value);
        }
      }
      const std::string out = run_program(statements);
      const std::vector<long> got = written_values(out);
      ASSERT_EQ(got.size(), want.size()) << out;
      for (std::size_t i = 0; i < want.size(); ++i)
        EXPECT_EQ(got[i], want[i])
            << "q = " << q << ", " << setup << cases[i] << "\nseed " << test_seed();
    }
  }
}

}  // namespace
}  // namespace tavrin::test
