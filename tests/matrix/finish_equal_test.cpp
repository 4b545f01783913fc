// The comparison built-ins' ending: a table of parts of values that are
// equal, negatives or neither.
#include "matrix/finish_equal.h"

#include <gtest/gtest.h>

#include "matrix/matrix_support.h"
#include "support/bigref.h"
#include "support/node_accounting.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

class FinishEqual : public MatrixTest {};

TEST_F(FinishEqual, PartsAgainstPartsKnownAnswers) {
  PolyVars vars{"x", "y"};
  NodeBalance balance;
  enum Sel { whole, numer, denom };
  struct Case {
    const char* x;
    Sel sx;
    const char* y;
    Sel sy;
    bool equal, negative;  // answers of index 17 and of 18
  } cases[] = {
      {"3", whole, "3", whole, true, false},
      {"3", whole, "-3", whole, false, true},
      {"0", whole, "0", whole, true, true},
      {"x + 1", whole, "x + 1", whole, true, false},
      {"x + 1", whole, "-x - 1", whole, false, true},
      {"x + 1 / x - 1", numer, "x + 1", whole, true, false},
      {"x + 1 / x - 1", denom, "1 - x", whole, false, true},
      {"x + 1 / x - 1", denom, "y - 1 / x - 1", denom, true, false},
      {"x + 1 / x - 1", whole, "-x - 1 / x - 1", whole, false, true},
      {"x + 1 / x - 1", whole, "x + 1", whole, false, false},
      {"x + 1", denom, "1", whole, true, false},  // a missing denominator is 1
      {"5", denom, "-1", whole, false, true},     // a number's denominator is 1
      {"5", numer, "5", whole, true, false},
      {"3 / 4", denom, "4", whole, true, false},
      {"3 / 4", numer, "-3", whole, false, true},
      {"3 / 4", whole, "3 / 4", whole, true, false},
      {"x", whole, "2", whole, false, false},
      {"y + 2", whole, "y + 3", whole, false, false},
  };
  for (const Case& c : cases) {
    Value x = make_value(c.x), y = make_value(c.y);
    const bool want[6] = {c.sx == numer, c.sx == denom, c.sy == numer, c.sy == denom, false, false};
    for (std::int32_t index : {17, 18}) {
      Value n;
      finish_equal(index, n.cell(), x, y, want);
      const bool expect = index == 17 ? c.equal : c.negative;
      EXPECT_EQ(value_text(n), value_text(Value::number(BigRef(expect ? 1 : 0))))
          << c.x << " ? " << c.y << " index " << index;
    }
  }
}

}  // namespace
}  // namespace tavrin::test
