// A built-in's single argument that is one stored value is read where it
// lies: every reader gives what it gives for a fresh copy of the value
// (r + 0), in each ring; a further argument that takes the value out of its
// variable ("*r") is read after the first was copied, so the first is the
// old value; and the variable is unchanged after every reader.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "support/statements.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

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
  const std::vector<std::string> readers = {"Numer", "Denom", "Level", "Height", "Lcoef", "Lmon",
                                            "Longest", "Rational", "Number", "Terms", "Termsall",
                                            "Vars", "Content", "Numcont", "Nlcoef", "Zcoef"};
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
    EXPECT_EQ(value_of("Content(r, x + 0*Terms(*r))"), value_of("Content(" + r_text + ", x)")) << ring;
    clear_arrays();
  }
}

}  // namespace
}  // namespace tavrin::test
