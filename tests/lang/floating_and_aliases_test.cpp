// Floating statements after "Float" against the test's own long-double
// evaluation, the floating binomial against exact binomials, and the
// readers behind the aliases (get_quoly, obtain_sum).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/factorial.h"
#include "numbers/freelists.h"
#include "toplevel/builtins.h"
#include "toplevel/charsets.h"
#include "toplevel/dispatch.h"
#include "toplevel/language_services.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "lang/expressions.h"
#include "lang/floating.h"
#include "lang/operator_aliases.h"
#include "lang/statements.h"
#include "lang/variables.h"
#include "matlang/matrix_expressions.h"
#include "support/data_tables.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/statements.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

// x as an exact rational, by way of its bits: mantissa * 2^exponent.
RatRef exact(long double x) {
  int e = 0;
  long double f = std::frexp(x, &e);
  const bool negative = f < 0;
  const auto m = static_cast<std::uint64_t>(std::ldexp(negative ? -f : f, 64));
  BigRef n = (BigRef(static_cast<std::int64_t>(m >> 32)) << 32) +
             BigRef(static_cast<std::int64_t>(m & 0xFFFFFFFFU));
  if (negative) n = -n;
  e -= 64;
  return e >= 0 ? RatRef(n << static_cast<unsigned>(e))
                : RatRef(n, BigRef::pow2(static_cast<unsigned>(-e)));
}

class Floating : public testing::Test {
 protected:
  Floating() {
    load_data_tables();
    init_character_sets();
    make_token_ring();
    tt_flag = true;
  }
  BigModeGuard big;

  // Runs one typed statement; its value (nil: none) or the error code.
  struct Result {
    std::int32_t error = 0;
    RatRef value;
    bool has_value = false;
  };
  Result run(const std::string& text) {
    quoly value = nullptr;
    bool unwound = false;
    const std::string out = parse_statement(text, &value, &unwound);
    Result r;
    if (unwound) {
      // What the top level clears after an error.
      integerflag = false;
      exit_flag = leave_flag = cycle_flag = false;
      r.error = reported_error(out);
      if (r.error == 0) r.error = -1;
    } else if (value != nullptr) {
      r.value = *value_at(value, {});
      r.has_value = true;
    }
    free_quoly(&value);
    return r;
  }
  Result run_float(const std::string& expr) { return run("if 1 then Float; " + expr + " fi;"); }
};

// A random floating expression and its value, computed here in the order the
// evaluator must follow.
struct Gen {
  std::mt19937_64 rng{20261207};
  int depth = 0;
  std::int64_t pick(std::int64_t lo, std::int64_t hi) {
    return std::uniform_int_distribution<std::int64_t>(lo, hi)(rng);
  }
  struct Piece {
    std::string text;
    long double value;
  };
  static long double power(long double x, std::int32_t k) {
    if (k == 0) return 1;
    const std::uint32_t a = static_cast<std::uint32_t>(k < 0 ? -k : k);
    long double r = x;
    int top = 31;
    while ((a >> top) == 0) --top;
    for (int bit = top - 1; bit >= 0; --bit) {
      r *= r;
      if ((a >> bit) & 1U) r *= x;
    }
    return k < 0 ? 1 / r : r;
  }
  Piece literal() {
    const std::int64_t whole = pick(0, 99);
    if (pick(0, 2) != 0) return {std::to_string(whole), static_cast<long double>(whole)};
    const std::int64_t digits = pick(1, 3);
    const std::int64_t scale = digits == 1 ? 10 : digits == 2 ? 100 : 1000;
    const std::int64_t frac = pick(0, scale - 1);
    std::string f = std::to_string(frac);
    f.insert(0, static_cast<std::size_t>(digits) - f.size(), '0');
    // The fraction is read as the rational frac / scale, then added.
    return {std::to_string(whole) + "." + f,
            static_cast<long double>(whole) +
                static_cast<long double>(frac) / static_cast<long double>(scale)};
  }
  Piece factor() {
    ++depth;
    Piece p;
    const std::int64_t kind = depth > 3 ? 0 : pick(0, 9);
    if (kind <= 3) {
      p = literal();
    } else if (kind == 4) {
      Piece s = sum();
      p = {"(" + s.text + ")", s.value};
    } else if (kind == 5) {
      Piece f = factor();
      p = {"-" + f.text, -f.value};
    } else if (kind == 6) {
      Piece s = sum();
      p = {"|(" + s.text + ")|", std::fabs(s.value)};
    } else if (kind == 7) {
      Piece f = factor();
      p = {"$" + f.text, static_cast<long double>(std::floor(static_cast<double>(f.value)))};
    } else {
      Piece s = sum();
      switch (pick(0, 4)) {
        case 0: p = {"_sqrt(|(" + s.text + ")|)", std::sqrt(std::fabs(s.value))}; break;
        case 1: p = {"_sin(" + s.text + ")", std::sin(s.value)}; break;
        case 2: p = {"_cos(" + s.text + ")", std::cos(s.value)}; break;
        case 3: p = {"_atan(" + s.text + ")", std::atan(s.value)}; break;
        default: p = {"_e((" + s.text + ") / 100)", std::exp(s.value / 100)}; break;
      }
    }
    if (pick(0, 5) == 0 && p.text[0] != '-' && p.text[0] != '$') {
      std::int32_t k = static_cast<std::int32_t>(pick(-2, 3));
      if (k < 0 && p.value == 0) k = 2;
      p = {p.text + "^" + (k < 0 ? "(" + std::to_string(k) + ")" : std::to_string(k)),
           power(p.value, k)};
    }
    --depth;
    return p;
  }
  Piece term() {
    Piece t = factor();
    for (std::int64_t n = pick(0, 2); n > 0; --n) {
      Piece f = factor();
      const std::int64_t op = pick(0, 2);
      if (op == 0 || f.value == 0) {
        t = {t.text + " * " + f.text, t.value * f.value};
      } else {
        t = {t.text + (op == 1 ? " / " : " \\ ") + f.text, t.value / f.value};
      }
    }
    return t;
  }
  Piece sum() {
    Piece s = term();
    for (std::int64_t n = pick(0, 2); n > 0; --n) {
      Piece t = term();
      const bool add = pick(0, 1) == 0;
      s = {s.text + (add ? " + " : " - ") + t.text, add ? s.value + t.value : s.value - t.value};
    }
    return s;
  }
};

TEST_F(Floating, RandomExpressionsAgreeWithLongDoublesAndAreStoredExactly) {
  Gen gen;
  int checked = 0;
  while (checked < 500) {
    const Gen::Piece p = gen.sum();
    if (!std::isfinite(p.value)) continue;
    const Result r = run_float(p.text);
    ASSERT_EQ(r.error, 0) << p.text;
    ASSERT_TRUE(r.has_value) << p.text;
    EXPECT_EQ(r.value, exact(p.value)) << p.text << " = " << static_cast<double>(p.value);
    ++checked;
  }
  // The next statement is exact again.
  const Result after = run("1/3 + 1/7;");
  EXPECT_EQ(after.value, RatRef(10, 21));
  EXPECT_FALSE(integerflag);
}

TEST_F(Floating, KnownValuesAndErrors) {
  struct Case {
    const char* text;
    RatRef value;
    std::int32_t error;
  };
  const std::vector<Case> cases = {
      {"2.5e+3", 2500, 0},
      {"2.5e-1", RatRef(1, 4), 0},
      {"2.5 e3", 0, 31},
      {"2.5e*3", 0, 376},
      {"-2^2", -4, 0},
      {"2^3^2", 512, 0},
      {"3.6!", 24, 0},
      {"-2.5!", -6, 0},
      {"$(-1.5)", -2, 0},
      {"$2.999", 2, 0},
      {"GCD(12, 18)", 6, 0},
      {"GCD(7.6, 4)", 4, 0},
      {"GCD(0, 2.5)", RatRef(5, 2), 0},
      {"7 | 3", 1, 0},
      {"-7 | 3", 2, 0},
      {"7 | -3", 1, 0},
      {"-7 | -3", 2, 0},
      {"7.4 | 3", 1, 0},
      {"7 \\ 2", RatRef(7, 2), 0},
      {"1 / 0", 0, 22},
      {"5 | 0.2", 0, 22},
      {"2 * / 3", 0, 340},
      {"2 * nosuch", 0, 19},
      {"|2 - 3|", 0, 63},
      {"0^(-1)", 0, 22},
      {"Sigma<i = 1, 4>[i / 2]", 5, 0},
      {"Binomial(8, 4) + Binomial(5, 7)", 70, 0},
  };
  for (const Case& c : cases) {
    const Result r = run_float(c.text);
    EXPECT_EQ(r.error, c.error) << c.text;
    if (c.error == 0) {
      EXPECT_EQ(r.value, c.value) << c.text;
    }
  }
  // pos_mod off: remainders keep the dividend's sign.
  ScopedValue<bool> signed_rem(pos_mod, false);
  EXPECT_EQ(run_float("-7 | 3").value, RatRef(-1));
  EXPECT_EQ(run_float("-7 | 2.6").value, RatRef(-1));
  pos_mod = true;
  EXPECT_EQ(run_float("-7 | 2.6").value, exact(-1 + 2.6L));
}

// "_name(x)" in both floating routes, the statements after "Float" and the
// ring of long doubles, against the library function each name stands for;
// an unknown name warns and leaves its argument.
TEST_F(Floating, FunctionsByNameInBothRoutes) {
  struct Named {
    const char* name;
    long double (*f)(long double);
  };
  const Named functions[] = {
      {"sqrt", [](long double x) { return std::sqrt(x); }},
      {"sin", [](long double x) { return std::sin(x); }},
      {"cos", [](long double x) { return std::cos(x); }},
      {"ln", [](long double x) { return std::log(x); }},
      {"e", [](long double x) { return std::exp(x); }},
      {"atan", [](long double x) { return std::atan(x); }},
      {"tan", [](long double x) { return std::tan(x); }},
      {"asin", [](long double x) { return std::asin(x); }},
      {"foo", [](long double x) { return x; }},
  };
  for (const Named& fn : functions) {
    const std::string text = std::string("_") + fn.name + "(0.5)";
    const long double want = fn.f(0.5L);
    const bool known = std::string(fn.name) != "foo";
    EXPECT_EQ(run_float(text).value, exact(want)) << text;
    FloatingMode ring;
    TextInput in(text + ";");
    FILEPtr stream = &in;
    leftover[0] = '\0';
    scanner(&stream, &token, &zilch);
    quoly value = nullptr;
    const std::string out = output_of([&] { parse(&stream, &value, &zilch); });
    ASSERT_NE(value, nullptr) << text;
    ASSERT_TRUE(value->numb) << text;
    EXPECT_EQ(value->ncoef->flote, want) << text;
    EXPECT_EQ(out.find("Warning. function foo is not defined.") == std::string::npos, known)
        << text;
    free_quoly(&value);
  }
}

TEST_F(Floating, BinomialsFromTheTableAgreeWithExactBinomials) {
  struct Case {
    std::int32_t n, r;
    long double value;
  };
  const std::vector<Case> known = {{5, 2, 10}, {6, 3, 20}, {7, 3, 35}, {8, 4, 70},
                                   {2, 1, 2},  {1, 1, 1},  {4, 0, 1},  {10, 7, 120}};
  for (const Case& c : known) {
    long double m = -1;
    iflote_binom(c.n, c.r, &m);
    EXPECT_EQ(m, c.value) << c.n << " " << c.r;
  }
  // Every n up to 150 and a spread of r: within a few units in the last
  // place of the exact binomial (each step rounds once).
  for (std::int32_t n = 0; n <= 150; ++n) {
    for (std::int32_t r = 0; r <= n; r += 1 + n / 10) {
      long double m = -1;
      iflote_binom(n, r, &m);
      quoly exact_value = nullptr;
      rat_binom(n, r, &exact_value);
      const long double want = value_to_real(exact_value, &token);
      EXPECT_LE(std::fabs(m - want), want * 1e-17L) << n << " " << r;
      free_quoly(&exact_value);
    }
  }
  bool unwound = false;
  const std::string out = output_of(
      [] {
        long double m = 0;
        iflote_binom(151, 1, &m);
      },
      &unwound);
  EXPECT_TRUE(unwound);
  EXPECT_TRUE(reports(out, 279));
}

TEST_F(Floating, ExactBinomialsOfNoneOrAllPastTheLimit) {
  // B(n, 0) = B(n, n) = 1 for n past 1,754; B(n, 1) there stays error 87.
  for (const char* one :
       {"Binomial(1755, 0);", "Binomial(1755, 1755);", "Binomial(100000, 100000);"})
    EXPECT_EQ(run(one).value, RatRef(1)) << one;
  EXPECT_EQ(run("Binomial(1755, 1);").error, 87);
  EXPECT_EQ(run("Binomial(100000, 1);").error, 87);
}

TEST_F(Floating, ValuesToLongDoublesAndBack) {
  std::mt19937_64 rng(34);
  for (int i = 0; i < 300; ++i) {
    const RatRef a = random_ratref(rng, 1000000007, 1000003);
    Value v = make_value(a.num().to_decimal() + " / " + a.den().to_decimal());
    const long double x = value_to_real(v.get(), &token);
    EXPECT_LE(std::fabs(x - static_cast<long double>(a.num().to_int64()) /
                                static_cast<long double>(a.den().to_int64())),
              std::fabs(x) * 1e-18L);
    quoly back = nullptr;
    real_to_value(x, &back);
    EXPECT_TRUE(normal_value(back));
    EXPECT_EQ(*value_at(back, {}), exact(x));
    free_quoly(&back);
  }
}

TEST_F(Floating, GetQuolyLooksAtTheStoredValueItself) {
  run("x := 12345678901234567890;");
  run("Array w[3]:");
  run("w[2] := 7/3:");
  const auto look = [](const std::string& text) {
    TextInput in(text);
    FILEPtr stream = &in;
    leftover[0] = '\0';
    scanner(&stream, &token, &zilch);
    quoly q = nullptr;
    get_quoly(&q, &stream, &zilch);
    return q;
  };
  const tokentipe x = {"x", -1};
  EXPECT_EQ(look("x;"), find_var(&x)->val);
  quoly w2 = look("w[2];");
  ASSERT_NE(w2, nullptr);
  EXPECT_EQ(*value_at(w2, {}), RatRef(7, 3));
  // The element reader gives an empty dense cell the value 0.
  EXPECT_EQ(*value_at(look("w[1];"), {}), RatRef(0));
  EXPECT_EQ(look("<;"), prevnum);
  // Degree and sums through the aliases read the same operands.
  EXPECT_EQ(run("Deg x;").value, RatRef(0));
  EXPECT_EQ(run("Deg nosuch;").error, 19);
}

// Deg, Codeg and Lterm look at a stored operand where it lies: the same
// answers as for a fresh copy of it (r + 0) and for the "^r" form, at each
// level. A level argument that takes the value out of the variable ("*r")
// comes after the operand was read, so the degree is the old value's.
TEST_F(Floating, DegreeOperandsReadAStoredValueWhereItLies) {
  clear_variables_and_polynomial_names();
  run_statements(
      "&(J = x)\n&(J > y)\nr := (x^3 + 2)*(y^5 - x*y^2) + 7*x:\ns := (x + 2*y)^4/(x - 3):\n");
  const std::vector<std::string> forms = {"Deg(@)",   "Deg(@, 1)",   "Deg(@, 2)",
                                          "Codeg(@)", "Codeg(@, 1)", "Codeg(@, 2)"};
  for (const char* v : {"r", "s"}) {
    for (const std::string& form : forms) {
      auto with = [&form](const std::string& operand) {
        std::string t = form;
        t.replace(t.find('@'), 1, operand);
        return t + ";";
      };
      const Result lent = run(with(v)), copied = run(with(std::string("(") + v + " + 0)")),
                   looked = run(with(std::string("^") + v));
      ASSERT_TRUE(lent.has_value) << with(v);
      EXPECT_EQ(lent.value, copied.value) << with(v);
      EXPECT_EQ(lent.value, looked.value) << with(v);
    }
  }
  EXPECT_EQ(run("Deg(r, 2);").value, RatRef(5));
  EXPECT_EQ(run("Lterm(r) - Lterm(r + 0);").value, RatRef(0));
  EXPECT_EQ(run("Lterm(s) - Lterm(s + 0);").value, RatRef(0));
  for (const char* level : {"1", "2"}) {
    run_statements("r := x^3*y^5 + 2*x:\n");
    const RatRef before = run(std::string("Deg(x^3*y^5 + 2*x, ") + level + ");").value;
    EXPECT_EQ(run(std::string("Deg(r, ") + level + " + 0*Deg(*r));").value, before) << level;
    EXPECT_EQ(run("r;").value, RatRef(1));  // taken out by "*r"
  }
  clear_variables_and_polynomial_names();
}

TEST_F(Floating, SumTextsTypedAtTheTerminal) {
  struct Case {
    const char* text;
    std::int32_t error;
    RatRef value;
  };
  const std::vector<Case> cases = {
      {"Sigma<i = 1, 3><j = i, 3>((i + j)*(1));", 0, 24},
      {"Product<i = 1, 4>[i + [1]];", 0, 0},  // "[1]" is no factor: the run fails
      {"Sigma i;", 144, 0},
      {"Sigma<i = 1, 3> x;", 145, 0},
      {"Sigma<i = 1, 3;", 81, 0},
      {"Sigma<i = 1, 3>[[i];", 274, 0},
      {"Sigma<i = 1, 3>[(i];", 1, 0},
      {"Sigma<i = 1, 3>(i*(i + 1));", 0, 20},
  };
  for (const Case& c : cases) {
    const Result r = run(c.text);
    if (c.error != 0) {
      EXPECT_EQ(r.error, c.error) << c.text;
    } else if (r.error == 0) {
      EXPECT_EQ(r.value, c.value) << c.text;
    }
  }
  // Sums over 1/k^2 and products over k agree with term-by-term values.
  RatRef s = 0;
  RatRef p = 1;
  for (int k = 1; k <= 20; ++k) {
    s = s + RatRef(1, BigRef(k) * BigRef(k));
    p = p * RatRef(k);
  }
  EXPECT_EQ(run("Sigma<k = 1, 20>[1/k^2];").value, s);
  EXPECT_EQ(run("Product<k = 1, 20>[k];").value, p);
}

// The alias rows are the fixed operator tokens in the order the factor
// reader tests them, the array operations with their code characters; every
// alias name of the built-in table carries its row (and its code, which the
// statement dispatcher reads), the others none, and start-up has made every
// row runnable. Without its reader an array operation is an error.
TEST(OperatorAliases, RowsAreTheFixedTokensAndEveryNameReachesARunnableOne) {
  install_interpreter();
  const char* const order[] = {"*103", "*89",  "*70", "*68", "*1", "*66", "*82", "*12",
                               "*79",  "*101", "*14", "*7",  "*4", "*9",  "*5",  "*40"};
  const std::string codes = "*12 7 *79 8 *101 \" *14 ~";
  const auto rows = operator_aliases();
  ASSERT_EQ(rows.size(), std::size(order));
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const OperatorAlias& a = rows[k];
    EXPECT_STREQ(a.token, order[k]);
    EXPECT_EQ(find_operator_alias(order[k]), &a);
    const std::size_t at = codes.find(std::string(a.token) + " ");
    EXPECT_EQ(static_cast<char>(a.code),
              at == std::string::npos ? '\0' : codes[at + std::strlen(a.token) + 1])
        << a.token;
    EXPECT_EQ(is_array_alias(a.token, a.code), a.code != ArrayCode::none) << a.token;
    EXPECT_NE(a.handler, nullptr) << a.token;
  }
  EXPECT_EQ(find_operator_alias("*2"), nullptr);
  std::set<std::string> named;
  for (std::int32_t i = 0; i <= numbuiltins; ++i) {
    tokentipe name{};
    std::memcpy(name.name, builtin[i].name, sizeof(nametype));
    if (builtin[i].second[0] == '*') {
      ASSERT_NE(find_operator_alias(builtin[i].second), nullptr) << builtin[i].name;
      EXPECT_EQ(builtin[i].alias, find_operator_alias(builtin[i].second)) << builtin[i].name;
      EXPECT_EQ(array_code(name), builtin[i].alias->code) << builtin[i].name;
      named.insert(builtin[i].second);
    } else {
      EXPECT_EQ(builtin[i].alias, nullptr) << builtin[i].name;
      EXPECT_EQ(array_code(name), ArrayCode::none) << builtin[i].name;
    }
  }
  EXPECT_EQ(named.size(), rows.size());
  ASSERT_TRUE(array_statements_registered());
  register_array_statements(nullptr);
  register_array_aliases(nullptr);
  const StatementRun r = run_statements("Det[a];");
  install_matrix_statements();
  EXPECT_TRUE(r.unwound);
}

}  // namespace
}  // namespace tavrin::test
