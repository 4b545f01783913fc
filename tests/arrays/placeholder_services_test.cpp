// The answers of the services the built-ins call: exact trial division, and
// (disabled until they land) factor lists written into arrays and the
// integer determinant, whose placeholders report "<name> not available".
#include <gtest/gtest.h>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "toplevel/state.h"
#include "arrays/array_store.h"
#include "arrays/det_upcalls.h"
#include "support/data_tables.h"
#include "support/output_capture.h"
#include "support/poly_support.h"

namespace tavrin::test {
namespace {

class PlaceholderServices : public testing::Test {
 protected:
  PlaceholderServices() { load_data_tables(); }
  BigModeGuard big;
};

TEST_F(PlaceholderServices, TrialDivisionAnswersAndQuotients) {
  Value d = Value::number(3), m = Value::number(12);
  bool use_n = false;
  trial_divide(d.cell(), m.cell(), true, false, false, &use_n);
  EXPECT_FALSE(use_n);
  EXPECT_EQ(number_value(m->ncoef), BigRef(4));
  Value m2 = Value::number(7);
  use_n = true;
  trial_divide(d.cell(), m2.cell(), false, true, false, &use_n);
  EXPECT_EQ(number_value(d->ncoef), BigRef(0));
}

TEST_F(PlaceholderServices, FactorListsFillTheirArray) {
  const PolyVars vars({"x"});
  tokentipe name{"f", -1};
  insertarr(&name, 2, 2, false);
  const std::int32_t start = find_array(&name)->start;
  poly list = make_poly("x^3 + 2*x");
  poly_to_array(2, start, &list);
  EXPECT_EQ(list, nullptr);
  EXPECT_EQ(number_value((*arp_cell(start + 2))->ncoef), BigRef(3));
  EXPECT_EQ(number_value((*arp_cell(start + 3))->ncoef), BigRef(1));
}

TEST_F(PlaceholderServices, IntegerDeterminantOfAnArray) {
  tokentipe name{"m", -1};
  insertarr(&name, 2, 2, false);
  arrptr q = find_array(&name);
  const std::int32_t v[4] = {1, 3, 2, 4};  // column by column: [[1, 2], [3, 4]]
  for (std::int32_t k = 0; k < 4; ++k) quoly_set(v[k], arp_cell(q->start + k));
  quoly det = nullptr;
  int_determ(&det, q, nullptr, 2, nullptr);
  EXPECT_EQ(number_value(det->ncoef), BigRef(-2));
  free_quoly(&det);
}

TEST_F(PlaceholderServices, AnEmptyFactorListWritesOne) {
  tokentipe name{"e", -1};
  insertarr(&name, 1, 2, false);
  const std::int32_t start = find_array(&name)->start;
  poly p = nullptr;
  poly_to_array(0, start, &p);
  EXPECT_EQ(number_value((*arp_cell(start))->ncoef), BigRef(1));
  EXPECT_EQ(number_value((*arp_cell(start + 1))->ncoef), BigRef(0));
}

}  // namespace
}  // namespace tavrin::test
