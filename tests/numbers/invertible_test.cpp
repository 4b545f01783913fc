// Invertibility of leading coefficients, on hand-built polynomials in x
// (depth 1), y (depth 2) and z (depth 3) with the field starting at
// different depths.
#include <gtest/gtest.h>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "numbers/invertible.h"
#include "support/node_accounting.h"
#include "support/poly_build.h"

namespace tavrin::test {
namespace {

class Invertible : public ::testing::Test {
 protected:
  void SetUp() override {
    // x^2 (y + 1) + 5: a coefficient involving y.
    in_y = term(2, term(1, leaf(1), leaf(1)), leaf(5));
    // x^2 pad(z + 2) + 7x: a coefficient that lives at the level of z.
    in_z = term(2, pad(term(1, leaf(1), leaf(2))), term(1, leaf(7)));
    // 3x^2 + 1: number coefficients only.
    numeric = term(2, leaf(3), leaf(1));
    constant = leaf(4);
    for (int d = 3; d >= 1; --d) {
      polypt p = nullptr;
      newpt(&p);
      p->depth = static_cast<std::int16_t>(d);
      p->next = levels;
      levels = p;
    }
  }
  void TearDown() override {
    free_poly(&in_y);
    free_poly(&in_z);
    free_poly(&numeric);
    free_poly(&constant);
    while (levels != nullptr) {
      polypt next = levels->next;
      free_pt(&levels);
      levels = next;
    }
  }

  poly in_y = nullptr, in_z = nullptr, numeric = nullptr, constant = nullptr;
  polypt levels = nullptr;  // x, y, z
  ScopedValue<std::int16_t> field{field_depth};
  ArithModeGuard modes;
};

TEST_F(Invertible, NogoodFindsCoefficientsAboveTheTestLevel) {
  EXPECT_TRUE(nogood(in_y, 1, 3));
  EXPECT_FALSE(nogood(in_y, 1, 2));  // the coefficients' own level is the test level
  EXPECT_FALSE(nogood(in_z, 1, 3));  // through the pad to z, the field level
  EXPECT_TRUE(nogood(in_z, 1, 4));   // z itself is above a field at depth 4
  EXPECT_FALSE(nogood(numeric, 1, 4));
  EXPECT_FALSE(nogood(nullptr, 1, 4));
}

TEST_F(Invertible, AllCoefficients) {
  field_depth = 3;
  EXPECT_FALSE(all_coefs_invrtble(in_y, 1));
  EXPECT_TRUE(all_coefs_invrtble(in_z, 1));
  EXPECT_TRUE(all_coefs_invrtble(numeric, 1));
  EXPECT_TRUE(all_coefs_invrtble(nullptr, 1));
  EXPECT_TRUE(all_coefs_invrtble_both(in_z, numeric, 1));
  EXPECT_FALSE(all_coefs_invrtble_both(in_z, in_y, 1));
  EXPECT_FALSE(all_coefs_invrtble_both(in_y, in_z, 1));
  field_depth = 2;
  EXPECT_TRUE(all_coefs_invrtble(in_y, 1));
  field_depth = 4;
  EXPECT_FALSE(all_coefs_invrtble(in_z, 1));
}

TEST_F(Invertible, FirstCoefficient) {
  modularmode = false;
  field_depth = 0;
  EXPECT_FALSE(first_coef_invrtble(numeric, 1));
  EXPECT_FALSE(first_coef_invrtble(constant, 1));
  EXPECT_FALSE(first_coef_invrtble(in_y, 1));
  {
    ScopedValue<bool> prime(mod_is_prime, true);
    modularmode = true;
    EXPECT_TRUE(first_coef_invrtble(numeric, 1));
    EXPECT_TRUE(first_coef_invrtble(constant, 1));
    mod_is_prime = false;
    EXPECT_FALSE(first_coef_invrtble(numeric, 1));
    modularmode = false;
  }
  field_depth = 3;
  EXPECT_TRUE(first_coef_invrtble(numeric, 1));
  EXPECT_FALSE(first_coef_invrtble(in_y, 1));  // y + 1 sits at level 2
  EXPECT_TRUE(first_coef_invrtble(in_z, 1));   // one pad down: level 3
  field_depth = 2;
  EXPECT_TRUE(first_coef_invrtble(in_y, 1));
  field_depth = 4;
  EXPECT_FALSE(first_coef_invrtble(in_z, 1));
}

TEST_F(Invertible, LeadingCoefficientDownTheLevels) {
  field_depth = 2;
  EXPECT_TRUE(invertible_coef(in_y, levels));
  EXPECT_FALSE(invertible_coef(numeric, levels));
  EXPECT_FALSE(invertible_coef(constant, levels));
  field_depth = 3;
  EXPECT_TRUE(invertible_coef(in_z, levels));
  EXPECT_FALSE(invertible_coef(in_y, levels));  // reaches the number 1 at level 3
  field_depth = 4;
  EXPECT_FALSE(invertible_coef(in_z, levels));  // the records end before depth 4
}

}  // namespace
}  // namespace tavrin::test
