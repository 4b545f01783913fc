// A running product of many factors taken in a balanced tree: the first two
// factors, then the next two, then those two products, and so on (a binary
// counter of partial products, each the product of consecutive factors in
// their order), so that the long products are formed a few times as
// products of halves instead of once for every factor by the whole product
// so far.
#pragma once

#include <cstdint>
#include <vector>

#include "core/records.h"
#include "quoly/quoly_balanced_parts.h"

namespace tavrin {

class BalancedProduct {
 public:
  // Starts at the value 1.
  BalancedProduct();

  // The product := the product * m; m used up. m starts a part of its own
  // while balanced_products_apply() holds, every factor so far has been a
  // number or a polynomial, the largest exponents of the factors so far
  // (any variable) sum to less than 2^31 and bounds on the bits of their
  // coefficients' sums (big integers) to less than a number's longest, so
  // that no product of consecutive factors can pass the exponents' range or
  // a number's length (errors the running product would meet at another
  // factor, or not at all). A part is multiplied into the one
  // before it once it holds as many factors. Otherwise the parts are
  // multiplied up and m is multiplied into the whole, as fast_quoly_mult
  // does, and so are all later factors.
  // reads: as fast_quoly_mult; writes: as fast_quoly_mult
  void multiply(quoly m);

  // The product (1 when nothing was multiplied), handed to the caller; the
  // holder starts again at 1.
  quoly take();

 private:
  BalancedParts parts_;
  std::int64_t exponents_ = 0;  // the sum of the factors' largest exponents
  std::int64_t bits_ = 0;       // the sum of bounds on their coefficients' bits
  bool running_ = false;        // the tree was given up: factor by factor
};

// The tree applies: exact arithmetic (big integers or rationals, or a prime
// modulus), without relations, Laurent mode or field levels, where the
// product's normal form does not depend on how its factors are grouped.
bool balanced_products_apply();

// Partial products multiplied together since start (a test and benchmark
// hook).
extern long balanced_product_pairs;

}  // namespace tavrin
