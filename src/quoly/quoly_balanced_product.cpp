// A running product taken in a balanced tree while its groupings cannot show.
#include "quoly/quoly_balanced_product.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/limb_list.h"
#include "quoly/quoly_impl.h"
#include "quoly/quoly_mult.h"

namespace tavrin {

long balanced_product_pairs = 0;

namespace {

// Bounds on a factor: its largest exponent at any node and the bits of the
// sum of its coefficients' magnitudes.
struct Bounds {
  std::int64_t exponent = 0;
  std::int64_t limbs = 0;  // of the longest coefficient
  std::int64_t terms = 0;
};

void measure(poly p, Bounds* b) {
  for (; p != nullptr; p = p->next) {
    if (p->numb) {
      ++b->terms;
      b->limbs = std::max<std::int64_t>(b->limbs, p->ncoef->size);
      continue;
    }
    b->exponent = std::max<std::int64_t>(b->exponent, p->exp);
    measure(p->pcoef, b);
  }
}

// A product of factors whose exponents and coefficient bits sum below these
// bounds has no exponent past 2^31 - 1 and no coefficient past max_limbs
// limbs, and neither has any product of consecutive ones among them.
constexpr std::int64_t coefficient_bits = std::int64_t{limb_bits} * kit::max_limbs;

}  // namespace

bool balanced_products_apply() {
  const bool exact = modularmode ? mod_is_prime : !lintmode && !flotemode;
  return exact && !integerflag && !laurent && pseudo_polynames == nullptr && field_depth == 0;
}

namespace {

void multiply_into(quolyptr a, quoly m) {
  fast_quoly_mult(a, &m);
  free_quoly(&m);
}

}  // namespace

BalancedProduct::BalancedProduct() : parts_(multiply_into, 1, &balanced_product_pairs) {}

void BalancedProduct::multiply(quoly m) {
  if (!running_) {
    Bounds b;
    if (m->numb) {
      b.limbs = m->ncoef->size;
      b.terms = 1;
    } else {
      measure(m->numer, &b);
    }
    exponents_ += b.exponent;
    if (!lintmode)
      bits_ += limb_bits * b.limbs + std::bit_width(static_cast<std::uint64_t>(b.terms));
    running_ = !balanced_products_apply() || detail::is_fraction(m) || exponents_ >= INT32_MAX ||
               bits_ >= coefficient_bits;
    if (running_) parts_.fold_all();
  }
  if (running_)
    parts_.absorb(m);
  else
    parts_.push(m);
}

quoly BalancedProduct::take() {
  exponents_ = 0;
  bits_ = 0;
  running_ = false;
  return parts_.take();
}

}  // namespace tavrin
