// The factoring routes given the ring as a value: in GF(7) the p-th root
// undoes the Frobenius map, powermod raises to the p-th power as the
// conjugation of GF(49) = GF(7)[x]/(x^2 + 1) does, and the factors found
// multiply back to the input with the planted multiplicities; over the
// integers the square-free decomposition finds planted multiplicities.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/ring.h"
#include "numbers/freelists.h"
#include "poly/poly_mult.h"
#include "factor/factor.h"
#include "factor/powermod.h"
#include "factor/square_free.h"
#include "support/bigref.h"
#include "support/data_tables.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/poly_support.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

using RingValue = tavrin::Ring;

// The product of f^e over the list (exp e, pcoef f) at polynames.
std::string product_of(poly list) {
  Poly r("1");
  for (poly t = list; t != nullptr; t = t->next)
    for (std::int32_t k = 0; k < t->exp; ++k) poly_mult(r, t->pcoef, r.cell(), polynames);
  return r.str();
}

std::string multiplicities(poly list) {
  std::string s;
  for (poly t = list; t != nullptr; t = t->next) s += std::to_string(t->exp) + " ";
  return s;
}

TEST(FactorRing, RootsPowersAndFactorsInGf7) {
  load_data_tables();
  PolyVars vars{"x"};
  ModulusScope mod7(7);
  NodeBalance balance;
  const RingValue ring = RingValue::current();

  // (x^2 + 3 x + 2)^7 = x^14 + 3 x^7 + 2 in characteristic 7.
  Poly p("x^14 + 3*x^7 + 2");
  pth_root_inplace(p.cell(), polynames, ring);
  EXPECT_EQ(p.str(), Poly("x^2 + 3*x + 2").str());

  // x^2 + 1 is irreducible mod 7, so x^7 = -x (the conjugate of x).
  Value base = make_value("x"), modulus_value = make_value("x^2 + 1");
  std::unique_ptr<number, void (*)(imptr)> seven(
      [] {
        const BigModeGuard big;
        return make_number(BigRef(7));
      }(),
      [](imptr n) {
        special_free(n);
        free_imag(&n);
      });
  powermod(base.cell(), modulus_value.cell(), seven.get(), false, ring);
  EXPECT_EQ(value_text(base), value_text(make_value("-x")));

  // (x + 1)^2 (x^2 + 1) (x + 3): the factors with their multiplicities
  // multiply back to the input.
  const std::string input = Poly("(x + 1)^2*(x^2 + 1)*(x + 3)").str();
  Poly a("(x + 1)^2*(x^2 + 1)*(x + 3)");
  poly list = nullptr;
  std::int32_t count = 0;
  factor_poly(a.cell(), &list, &count, false, false, -1, ring);
  const Poly owned = Poly::adopt(list);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(product_of(list), input);
}

TEST(FactorRing, SquareFreeOverTheIntegers) {
  load_data_tables();
  PolyVars vars{"x", "y"};
  NodeBalance balance;
  const RingValue ring = RingValue::current();
  Poly a("(x + y)^3*(x^2 + 2)*(x*y + 1)^2");
  poly list = nullptr;
  std::int32_t count = 0;
  total_sq_free(a.cell(), &list, &count, true, polynames, ring);
  const Poly owned = Poly::adopt(list);
  EXPECT_EQ(product_of(list), Poly("(x + y)^3*(x^2 + 2)*(x*y + 1)^2").str());
  EXPECT_EQ(count, 3) << multiplicities(list);
}

}  // namespace
}  // namespace tavrin::test
