// The built-in table after start-up: every row has exactly one handler (an
// operator form none of its own and its token's row one), start-up run
// again changes no count, the check names a doubled and a missing
// registration planted in it, and a row without its handler answers "not
// implemented" until it has it back.
//
// A built-in's single argument that is one stored value is read where it
// lies: every reader gives what it gives for a fresh copy of the value
// (r + 0), in each ring; a further argument that takes the value out of its
// variable ("*r") is read after the first was copied, so the first is the
// old value; and the variable is unchanged after every reader.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "toplevel/builtin_names.h"
#include "toplevel/builtins.h"
#include "matlang/matrix_expressions.h"
#include "support/statements.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

// The rows of the built-in table without exactly one handler, by name: a
// row that the data file makes an operator form has none of its own and its
// token's row has one; every other row was registered once.
std::vector<std::string> rows_without_one_handler() {
  std::vector<std::string> faults;
  for (std::int32_t i = 0; i < bi::count; ++i) {
    const BuiltinEntry& row = builtin_table[static_cast<std::size_t>(i)];
    const OperatorAlias* alias = builtin[i].alias;
    const bool one = alias != nullptr ? row.registrations == 0 && row.handler == nullptr &&
                                            alias->handler != nullptr
                                      : row.registrations == 1 && row.handler != nullptr;
    if (!one) faults.emplace_back(row.name);
  }
  return faults;
}

void start_up() {
  install_interpreter();
  install_matrix_statements();
}

TEST(BuiltinTable, EveryRowHasExactlyOneHandler) {
  start_up();
  ASSERT_EQ(numbuiltins + 1, bi::count);  // the data file names every row
  EXPECT_EQ(rows_without_one_handler(), std::vector<std::string>{});
  std::int32_t operator_forms = 0;
  for (std::int32_t i = 0; i < bi::count; ++i) operator_forms += builtin[i].alias != nullptr;
  EXPECT_EQ(operator_forms, 16);  // Binomial, Codeg, Coef, Cols, Deg, Det, ... Var
  start_up();
  EXPECT_EQ(rows_without_one_handler(), std::vector<std::string>{});
}

TEST(BuiltinTable, TheCheckNamesADoubledAndAMissingRegistration) {
  start_up();
  const BuiltinEntry gcd = builtin_table[bi::GCD];
  const BuiltinEntry denom = builtin_table[bi::Denom];
  static BuiltinRegistration second_gcd[1];  // registered once for the process
  second_gcd[0] = {bi::GCD, gcd.handler};
  register_builtins(second_gcd);
  builtin_table[bi::Denom].handler = nullptr;
  builtin_table[bi::Denom].registrations = 0;
  const std::vector<std::string> faults = rows_without_one_handler();
  builtin_table[bi::GCD] = gcd;
  builtin_table[bi::Denom] = denom;
  EXPECT_EQ(faults, (std::vector<std::string>{"Denom", "GCD"}));
  EXPECT_EQ(rows_without_one_handler(), std::vector<std::string>{});
}

TEST(BuiltinTable, ARowWithoutItsHandlerIsNotImplemented) {
  start_up();
  clear_variables_and_polynomial_names();
  const BuiltinEntry gcd = builtin_table[bi::GCD];
  builtin_table[bi::GCD].handler = nullptr;
  const StatementRun without = run_statements("g := 5:\ng := GCD(12, 18):\n");
  builtin_table[bi::GCD] = gcd;
  EXPECT_TRUE(without.unwound);
  EXPECT_NE(without.failed.find("not implemented"), std::string::npos) << without.failed;
  EXPECT_EQ(last_value_or_error("g;"), "number 5");
  EXPECT_EQ(last_value_or_error("GCD(12, 18);"), "number 6");
  clear_variables_and_polynomial_names();
}

class BuiltinArgument : public testing::Test {
 protected:
  BuiltinArgument() {
    install_interpreter();
    clear_variables_and_polynomial_names();
  }
  ~BuiltinArgument() override {
    run_statements("&(p = _i)\n");
    clear_arrays();
    clear_variables_and_polynomial_names();
  }
  BigModeGuard big;

  // The value of expr as text; "error" when it unwound.
  static std::string value_of(const std::string& expr) {
    quoly v = nullptr;
    bool unwound = false;
    parse_statement(expr + ";", &v, &unwound);
    const std::string s = unwound ? "error" : v == nullptr ? "nil" : value_text(v);
    free_quoly(&v);
    return s;
  }
};

TEST_F(BuiltinArgument, StoredValuesReadInPlaceGiveTheAnswersOfACopy) {
  const std::string r_text = "(x^3 + 2)*(y^5 - x*y^2) + 7*x";
  const std::vector<std::string> readers = {
      "Numer",  "Denom", "Level",    "Height", "Lcoef",   "Lmon",    "Longest", "Rational",
      "Number", "Terms", "Termsall", "Vars",   "Content", "Numcont", "Nlcoef",  "Zcoef"};
  run_statements("&(J = x)\n&(J > y)\n");  // adjoined in rational arithmetic, which stays reachable
  for (const char* ring : {"&(p = _i)", "&(p = 32003)", "&(p = 256)"}) {
    run_statements(std::string(ring) + "\nr := " + r_text +
                   ":\ns := (x + 2*y)^4/(x - 3):\nn := 2^100 + 7:\nArray w[3]:\nw[2] := r:\n");
    const std::string r_before = value_of("r");
    ASSERT_NE(r_before.find("*y^5"), std::string::npos) << ring;  // the set-up ran
    for (const std::string& b : readers) {
      for (const char* v : {"r", "s", "n", "w[2]"}) {
        const std::string copy = value_of(b + "((" + v + ") + 0)");
        EXPECT_EQ(value_of(b + "(" + v + ")"), copy) << ring << " " << b << "(" << v << ")";
        EXPECT_EQ(value_of(b + "(^" + v + ")"), copy) << ring << " " << b << "(^" << v << ")";
      }
      EXPECT_EQ(value_of("r"), r_before) << ring << " " << b;
    }
    // A second argument that takes r away: Lmon's first argument is the old r.
    const std::string lmon = value_of("Lmon(" + r_text + ", y)");
    EXPECT_EQ(value_of("Lmon(r, y + 0*Terms(*r))"), lmon) << ring;
    EXPECT_EQ(value_of("r"), "number 1") << ring;
    run_statements("r := " + r_text + ":\n");
    EXPECT_EQ(value_of("Content(r, x + 0*Terms(*r))"), value_of("Content(" + r_text + ", x)"))
        << ring;
    clear_arrays();
  }
}

}  // namespace
}  // namespace tavrin::test
