// Random statements piped through the real program: every displayed value
// must be the one the test-only exact rationals predict.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/bigref.h"
#include "support/program_run.h"
#include "support/ratref.h"

namespace tavrin::test {
namespace {

// The values displayed after each prompt, as exact rationals: long lines
// joined at their " `" breaks, a rational "a / b;  or  q.ddd" read from its
// fraction.
std::vector<std::string> displayed_values(const std::string& out) {
  std::vector<std::string> values;
  std::size_t pos = out.find("\n>");  // the first prompt
  while (pos != std::string::npos) {
    const std::size_t next = out.find("\n>", pos + 2);
    if (next == std::string::npos) break;
    std::string chunk = out.substr(pos + 2, next - pos - 2);
    std::string joined;
    for (std::size_t k = 0; k < chunk.size(); ++k) {
      if (chunk.compare(k, 3, " `\n") == 0) {
        k += 2;
        continue;
      }
      if (chunk[k] != ' ' && chunk[k] != '\n') joined += chunk[k];
    }
    const std::size_t semi = joined.find(';');
    values.push_back(semi == std::string::npos ? joined : joined.substr(0, semi));
    pos = next;
  }
  return values;
}

RatRef parse_value(const std::string& s) {
  const std::size_t slash = s.find('/');
  if (slash == std::string::npos) return RatRef(BigRef::from_decimal(s));
  return RatRef(BigRef::from_decimal(s.substr(0, slash)),
                BigRef::from_decimal(s.substr(slash + 1)));
}

RatRef floor_of(const RatRef& v) {
  BigRef q, r;
  divmod(v.num(), v.den(), q, r);
  if (r.negative()) q = q - BigRef(1);
  return RatRef(q);
}

// An expression text with its exact value.
struct Expr {
  std::string text;
  RatRef value;
  bool atom;  // needs no parentheses as an operand
};

class Generator {
 public:
  explicit Generator(std::uint64_t seed) : rng_(seed) {}

  std::string decimal(int digits) {
    std::string s(1, static_cast<char>('1' + rng_() % 9));
    for (int k = 1; k < digits; ++k) s += static_cast<char>('0' + rng_() % 10);
    return s;
  }

  Expr leaf() {
    switch (rng_() % 6) {
      case 0:
      case 1: {  // an integer of up to 60 digits
        const int digits = 1 + static_cast<int>(rng_() % (rng_() % 4 == 0 ? 60 : 6));
        const std::string d = decimal(digits);
        return {d, RatRef(BigRef::from_decimal(d)), true};
      }
      case 2: {  // a rational in parentheses
        const std::int64_t p = static_cast<std::int64_t>(rng_() % 41) - 20;
        const std::int64_t q = 1 + static_cast<std::int64_t>(rng_() % 12);
        return {"(" + std::to_string(p) + "/" + std::to_string(q) + ")", RatRef(p) / RatRef(q),
                true};
      }
      case 3: {  // a decimal fraction
        const std::string i = std::to_string(rng_() % 100);
        const int d = 1 + static_cast<int>(rng_() % 4);
        std::string f;
        for (int k = 0; k < d; ++k) f += static_cast<char>('0' + rng_() % 10);
        BigRef ten_d = 1;
        for (int k = 0; k < d; ++k) ten_d = ten_d * BigRef(10);
        const RatRef v = RatRef(BigRef::from_decimal(i)) + RatRef(BigRef::from_decimal(f), ten_d);
        return {i + "." + f, v, true};
      }
      default: {
        if (vars_.empty()) {
          const std::int64_t v = static_cast<std::int64_t>(rng_() % 1000);
          return {std::to_string(v), RatRef(v), true};
        }
        auto it = vars_.begin();
        std::advance(it, static_cast<long>(rng_() % vars_.size()));
        return {it->first, it->second, true};
      }
    }
  }

  static std::string operand(const Expr& e) { return e.atom ? e.text : "(" + e.text + ")"; }

  Expr expr(int depth) {
    if (depth == 0) return leaf();
    Expr a = expr(depth - 1);
    Expr b = expr(depth - 1);
    switch (rng_() % 11) {
      case 0: return {a.text + " + " + operand(b), a.value + b.value, false};
      case 1: return {a.text + " - " + operand(b), a.value - b.value, false};
      case 2: return {operand(a) + "*" + operand(b), a.value * b.value, false};
      case 3:
        if (!b.value.is_zero()) return {operand(a) + "/" + operand(b), a.value / b.value, false};
        return a;
      case 4:
        if (!b.value.is_zero()) return {operand(a) + " // " + operand(b), a.value / b.value, false};
        return a;
      case 5: {  // a small power
        const int k = static_cast<int>(rng_() % 9) - 3;
        if (k < 0 && a.value.is_zero()) return a;
        if (a.value.num().bit_length() > 200 || a.value.den().bit_length() > 200) return a;
        const std::string e = k < 0 ? "(" + std::to_string(k) + ")" : std::to_string(k);
        return {"(" + a.text + ")^" + e, a.value.pow(k), true};
      }
      case 6: return {"-" + operand(a), -a.value, true};
      case 7: return {"$(" + a.text + ")", floor_of(a.value), true};
      case 8: return {"|(" + a.text + ")|", a.value.num().negative() ? -a.value : a.value, true};
      case 9:
      case 10: {  // integer quotient and remainder of integers
        const RatRef x = floor_of(a.value), y = floor_of(b.value);
        if (y.is_zero()) return a;
        BigRef q, r;
        divmod(x.num(), y.num(), q, r);
        const std::string xs = "$(" + a.text + ")", ys = "$(" + b.text + ")";
        if (rng_() % 2 == 0) return {xs + " \\ " + ys, RatRef(q), false};
        if (r.negative()) r = r + y.num().abs();
        return {xs + " | " + ys, RatRef(r), false};
      }
    }
    return a;
  }

  // One statement; its value.
  std::string statement(RatRef* value) {
    Expr e = expr(static_cast<int>(rng_() % 4));
    *value = e.value;
    if (rng_() % 3 == 0) {
      const std::string v(1, static_cast<char>('a' + rng_() % 4));
      vars_[v] = e.value;
      return v + " := " + e.text + ";\n";
    }
    return e.text + ";\n";
  }

 private:
  std::mt19937_64 rng_;
  std::map<std::string, RatRef> vars_;
};

TEST(ExpressionDifferential, RandomStatementsShowTheExactValues) {
  Generator gen(test_seed());
  std::string statements;
  std::vector<RatRef> expected;
  const int count = test_iterations(2000);
  for (int k = 0; k < count; ++k) {
    RatRef v;
    statements += gen.statement(&v);
    expected.push_back(v);
  }
  const std::vector<std::string> shown = displayed_values(run_program(statements));
  ASSERT_GE(shown.size(), expected.size()) << "the program stopped early";
  std::istringstream lines(statements);
  std::string line;
  int mismatches = 0;
  for (std::size_t k = 0; k < expected.size() && std::getline(lines, line); ++k) {
    const std::string& got = shown[k];
    if (got.empty() || got.find_first_not_of("-0123456789/") != std::string::npos ||
        parse_value(got) != expected[k]) {
      ADD_FAILURE() << "statement " << k << ": " << line << "\n  shown: " << got
                    << "\n  expected: " << expected[k];
      if (++mismatches > 10) break;
    }
  }
}

}  // namespace
}  // namespace tavrin::test
