// Conversions between the reference polynomials and the word-array
// polynomials over the integers, for the tests of the one-variable routes.
#pragma once

#include <gtest/gtest.h>

#include "numbers/node_handles.h"
#include "poly/intpoly.h"
#include "support/poly_support.h"

namespace tavrin::test {

// r (one variable) as an IntPoly, by the session's list form.
inline IntPoly int_of(const RefPoly& r) {
  nodes::OwnedPoly p;
  p.p = build_poly(r);
  IntPoly a;
  EXPECT_TRUE(intpoly_of(p.p, &a));
  return a;
}

// a read back through the list form.
inline RefPoly ref_of(const IntPoly& a) {
  nodes::OwnedPoly p;
  p.p = intpoly_to_poly(a);
  return read_poly(p.p, 1);
}

}  // namespace tavrin::test
