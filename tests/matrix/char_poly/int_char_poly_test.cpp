// Characteristic polynomials of integer matrices by images: known answers
// (pivot exchanges, nilpotent and zero matrices, companion matrices with
// long coefficients) and a randomised comparison with the Leverrier-Faddeev
// recurrence (integer and fractional entries); matrices the route does not
// serve are left to the recurrence.
#include "matrix/int_char_poly.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "numbers/freelists.h"
#include "poly/poly_repr.h"
#include "toplevel/start_tables.h"
#include "arrays/sparse_store.h"
#include "matrix/leverrier.h"
#include "matrix/matrix_support.h"
#include "support/bigref.h"
#include "support/modulus_scope.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

class IntCharPoly : public MatrixTest {
 protected:
  void SetUp() override {
    MatrixTest::SetUp();
    allocate_work_areas();
  }
  PolyVars vars_{"x"};
};

// Rows of decimal entries.
Mat rows_mat(const std::vector<std::vector<std::string>>& rows) {
  const auto n = static_cast<std::int32_t>(rows.size());
  Mat m(n, n);
  for (std::int32_t i = 0; i < n; ++i)
    for (std::int32_t j = 0; j < n; ++j)
      m.at(i, j) = Value::number(
          BigRef::from_decimal(rows[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]));
  return m;
}

// Both routes on the same sparse copy of m.
std::pair<Value, Value> both(const Mat& m, bool* served) {
  sparseptr sp = to_sparse(m);
  Value images, recurrence;
  *served = int_char_poly_sparse(sp, m.rows, images.cell());
  leverrier_chpoly(recurrence.cell(), sp, m.rows);
  free_sparse(&sp, m.rows, true);
  return {std::move(images), std::move(recurrence)};
}

TEST_F(IntCharPoly, KnownAnswers) {
  const std::string a0 = "123456789012345678901234567890", a1 = "-98765432109876543210987654321",
                    a2 = "31415926535897932384626";
  struct Case {
    std::vector<std::vector<std::string>> rows;
    std::string expected;  // det(A - xI)
  } cases[] = {
      {{{"-7"}}, "-7 - x"},
      {{{"1", "2"}, {"3", "4"}}, "x^2 - 5*x - 2"},
      {{{"0", "0", "0"}, {"0", "0", "0"}, {"0", "0", "0"}}, "-x^3"},
      // Nilpotent: no subdiagonal pivot at all.
      {{{"0", "1", "0", "0"}, {"0", "0", "1", "0"}, {"0", "0", "0", "1"}, {"0", "0", "0", "0"}},
       "x^4"},
      // The first column's pivot lies two rows down.
      {{{"0", "0", "1"}, {"0", "1", "0"}, {"1", "0", "0"}}, "-(x - 1)^2*(x + 1)"},
      {{{"2", "0", "0", "5"}, {"0", "0", "3", "0"}, {"0", "3", "0", "0"}, {"5", "0", "0", "2"}},
       "(x - 7)*(x - 3)*(x + 3)^2"},
      // Companion matrix of x^3 + a2 x^2 + a1 x + a0.
      {{{"0", "0", "-" + a0}, {"1", "0", a1.substr(1)}, {"0", "1", "-" + a2}},
       "-(x^3 + " + a2 + "*x^2 - " + a1.substr(1) + "*x + " + a0 + ")"},
  };
  for (const Case& c : cases) {
    bool served = false;
    auto [images, recurrence] = both(rows_mat(c.rows), &served);
    EXPECT_TRUE(served);
    EXPECT_TRUE(quoly_equal(images, Value::ratfun(c.expected)))
        << c.expected << " vs " << value_text(images);
    EXPECT_TRUE(quoly_equal(recurrence, Value::ratfun(c.expected))) << c.expected;
  }
}

TEST_F(IntCharPoly, AgreesWithTheRecurrence) {
  std::mt19937_64 g(5252);
  for (std::int32_t n = 1; n <= 14; ++n) {
    for (double zeros : {0.0, 0.5, 0.9}) {
      const int kind = static_cast<int>(g() % 3);  // small, long or fractional entries
      Mat a = random_mat(g, n, n, zeros, [&](std::mt19937_64& r) {
        BigRef v = static_cast<std::int64_t>(r() % 19) - 9;
        if (kind == 1 && r() % 4 == 0) v = v * BigRef::pow2(static_cast<unsigned>(r() % 90));
        if (kind == 2 && r() % 2 == 0)
          return make_value(v.to_decimal() + " / " + std::to_string(2 + r() % 6));
        return Value::number(v);
      });
      bool served = false;
      auto [images, recurrence] = both(a, &served);
      EXPECT_TRUE(served);
      EXPECT_TRUE(quoly_equal(images, recurrence))
          << n << ": " << value_text(images) << " vs " << value_text(recurrence);
    }
  }
}

// The bound in bits: log2 of the largest elementary symmetric function of
// the norms, plus one. Identity of side 8: C(8, 4) = 70 (attained); a
// Hadamard matrix of order 4 (rows of norm 2): 4 * 2^3 = 32, above its
// coefficients 16, 8; norms 8, 0 and sqrt(2): e_2 = 8 sqrt(2).
TEST_F(IntCharPoly, CoefficientBounds) {
  using charpoly_images::coefficient_bits;
  const std::vector<long double> ones(8, 0.0L), twos(4, 1.0L), mixed = {3.0L, -1.0L, 0.5L};
  EXPECT_NEAR(coefficient_bits(ones, ones), std::log2(70.0) + 1.0, 1e-6);
  EXPECT_NEAR(coefficient_bits(twos, twos), 6.0, 1e-6);
  EXPECT_NEAR(coefficient_bits(mixed, mixed), 4.5, 1e-6);
  // The smaller of the rows' and the columns' bounds counts.
  EXPECT_NEAR(coefficient_bits(mixed, {0.0L, 0.0L, 0.0L}), std::log2(3.0) + 1.0, 1e-6);
}

TEST_F(IntCharPoly, OtherMatricesAreLeftAlone) {
  Mat sym = rows_mat({{"1", "2"}, {"3", "4"}});
  sym.at(0, 1) = Value::ratfun("x + 1");
  sparseptr sp = to_sparse(sym);
  Value out = Value::number(BigRef(11));
  EXPECT_FALSE(int_char_poly_sparse(sp, 2, out.cell()));
  EXPECT_TRUE(quoly_equal(out, Value::number(BigRef(11))));
  free_sparse(&sp, 2, true);
  ModulusScope mod(101);
  Mat b = rows_mat({{"1", "2"}, {"3", "4"}});
  sp = to_sparse(b);
  EXPECT_FALSE(int_char_poly_sparse(sp, 2, out.cell()));
  free_sparse(&sp, 2, true);
}

}  // namespace
}  // namespace tavrin::test
