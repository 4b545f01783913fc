// Statements evaluated in-process: known answers of the operators,
// increments in every ring, polynomials (increments of the constant term,
// derivatives, the take-over form) and the heights of variables.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/globals.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_coef.h"
#include "toplevel/charsets.h"
#include "toplevel/dispatch.h"
#include "toplevel/scanner.h"
#include "lang/expressions.h"
#include "lang/variables.h"
#include "support/data_tables.h"
#include "support/modulus_scope.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/statements.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

class Statements : public testing::Test {
 protected:
  Statements() {
    load_data_tables();
    init_character_sets();
    make_token_ring();
  }
  // Runs the statements of `text`, one a line; the value of the last as
  // value_text, or "error N" for the first that reports user error N.
  std::string run(const std::string& text) {
    const StatementRun r = run_statements(text);
    if (!r.unwound) return r.last;
    const std::int32_t code = reported_error(r.failed);
    return code == 0 ? "error" : "error " + std::to_string(code);
  }
  static std::string value(const std::string& s) { return value_text(make_value(s)); }

  struct Case {
    const char* statements;
    const char* expected;  // a value for make_value, or "error N"
  };
  void check_cases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      const std::string want =
          std::string(c.expected).rfind("error", 0) == 0 ? c.expected : value(c.expected);
      EXPECT_EQ(run(c.statements), want) << c.statements;
    }
  }
};

TEST_F(Statements, KnownAnswersOverTheIntegers) {
  BigModeGuard big;
  const std::vector<Case> cases = {
      {"(1 + 2)(3 + 4);", "21"},
      {"x := 2:\nx(x + 1);", "6"},
      {"x := 4:\nx*x - x;", "12"},
      {"1 - 2 - 3;", "-4"},
      {"2^3^2;", "512"},
      {"-2^2;", "-4"},
      {"2^-2;", "1 / 4"},
      {"7 // 14;", "1 / 2"},
      {"12 / 8 * 2;", "3"},
      {"x := 3:\n-x;\nx;", "3"},
      {"x := 3:\ny := *x + 1;", "4"},
      {"x := 3:\ny := *x + 1:\nx;", "1"},
      {"x := 6:\nx :-;", "5"},
      {"x := 6:\nx :+ (2*3);", "12"},
      {"x := 6:\nx :+ x;", "12"},
      {"x := -5:\nx :+ 10;", "5"},
      {"x := 2^28 + 5:\nx :- 5;", "268435456"},
      {"x := -(2^28) - 5:\nx :+ 5;", "-268435456"},
      {"x := 2^28:\nx :- 1;", "error 294"},
      {"x := 2^28:\nx :- 1:\nx;", "error 294"},
      {"x := 1/2:\nx :+ 1;", "error 196"},
      {"x := 1:\nx :+ (1/2);", "error 223"},
      {"x := 1:\nx :+ (2^28);", "error 224"},
      {"3 :+ 1;", "error 316"},
      {"x := 3:\nx:;", "3"},
      {"10!/8!;", "90"},
      {"|(3 - 10)|;", "7"},
      {"|3 - 10|;", "error 63"},
      {"$(7/2) + $(-7/2);", "-1"},
      {"2.5 * 4;", "10"},
      {"*3;", "error 337"},
      {"(2/3)!;", "error 130"},
      {"2^(1/2);", "error 116"},
      {"#;", "error 2"},
  };
  check_cases(cases);
  EXPECT_EQ(run("z := 2^28:\nz :- 1;\nz;"), "error 294");
  EXPECT_EQ(run("z;"), value("268435456")) << "a refused increment leaves the number";
}

// Modular arithmetic: literals and increments reduced, exponents read as
// ordinary integers, a character code kept as the integer it is until it
// enters arithmetic.
TEST_F(Statements, KnownAnswersModuloPrimes) {
  // Variables are freed in the ring that made them, before each change.
  clear_variables_and_polynomial_names();
  {
    ModulusScope mod(7);
    const std::vector<Case> cases = {
        {"10;", "3"},
        {"x := 5:\nx :+ 4;", "2"},
        {"x := 5:\nx :- 12;", "0"},
        {"x := 3:\nx :+ 100;", "5"},
        {"3^7;", "3"},
        {"2^10;", "2"},
        {".5;", "4"},
        {"'A' + 0;", "2"},
        {"3/5;", "2"},
    };
    check_cases(cases);
    clear_variables_and_polynomial_names();
  }
  ModulusScope mod(2147483629);
  const std::vector<Case> cases = {
      {"x := 2147483628:\nx :+ 1;", "0"},
      {"x := 0:\nx :- 1;", "2147483628"},
      {"x := 5:\nx :- 2147483640;", "2147483623"},
      {"4294967258;", "0"},
  };
  check_cases(cases);
  clear_variables_and_polynomial_names();
}

// With adjoined variables: the constant term of a polynomial is found under
// the pads, appended when missing and removed when it becomes 0; derivatives
// with '"'; the take-over form moves the value and leaves 1.
TEST_F(Statements, PolynomialIncrementsAndDerivatives) {
  BigModeGuard big;
  PolyVars vars{"t", "u"};
  const std::vector<Case> cases = {
      {"p := t^2 + 1:\np :+ 2:\np;", "t^2 + 3"},
      {"p := t^2 + 1:\np :+ 2;", "3"},
      {"p := t^2 + 1:\np :- 1:\np;", "t^2"},
      {"p := u - 1:\np :+ 1:\np;", "u"},
      {"p := u^2:\np :+ 4:\np;", "u^2 + 4"},
      {"p := t*u:\np :+ 5:\np;", "t*u + 5"},
      {"p := t*u:\np :+ 0:\np;", "t*u"},
      {"p := t^3 + t:\np\";", "3*t^2 + 1"},
      {"p := t^3:\np\"\";", "6*t"},
      {"p := u^2*t:\np\";", "u^2"},
      {"(t + 1)^2 - t^2;", "2*t + 1"},
      {"(t^2 - 1)/(t - 1);", "t + 1"},
      {"p := t^3:\n*p\";", "3*t^2"},
      {"p := t^3:\nq := *p\";\np;", "1"},
      {"*t;", "error 363"},
      {"t!;", "error 130"},
      {"t := 2;", "error 316"},
      {"p := 1/t:\np :+ 1;", "error 196"},
  };
  check_cases(cases);

  std::int16_t height = -1;
  Value t = make_value("t"), u = make_value("u");
  check_get_height(t, &height, 99);
  EXPECT_EQ(height, 0);
  check_get_height(u, &height, 99);
  EXPECT_EQ(height, 1);
  for (const char* bad : {"2*t", "t^2", "t + 1", "3", "t*u", "1 / t"}) {
    Value v = make_value(bad);
    bool unwound = false;
    const std::string out = output_of([&] { check_get_height(v, &height, 99); }, &unwound);
    EXPECT_TRUE(unwound && reports(out, 99)) << bad;
  }
}

// The coefficient built-in reads its exponent through the reader the
// language installs: a whole sum after ",".
TEST_F(Statements, TheCoefficientExponentIsReadAsASum) {
  BigModeGuard big;
  PolyVars vars{"t", "u"};
  install_language();
  Value v = make_value("t^3*u + 2*t + 5"), t = make_value("t");
  for (const auto& [text, expected] : std::vector<std::pair<const char*, const char*>>{
           {", 1 + 2)", "u"}, {", 7 - 6)", "2"}, {", 0)", "5"}, {", 2*2)", "0"}}) {
    TextInput in(text);
    FILEPtr stream = &in;
    leftover[0] = '\0';
    scanner(&stream, &token, &zilch);
    poly ans = nullptr;
    general_coef(v->numer, &ans, t, &stream, &zilch);
    quoly got = nullptr;
    p_q_assign(ans, &got);
    EXPECT_EQ(value_text(got), value(expected)) << text;
    EXPECT_STREQ(token.name, ")") << text;
    free_quoly(&got);
    free_poly(&ans);
  }
}

}  // namespace
}  // namespace tavrin::test
