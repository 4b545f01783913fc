#include "poly/poly_diff.h"

#include <cstdint>
#include <limits>

#include "core/errors.h"
#include "core/globals.h"
#include "core/ring.h"
#include "numbers/bigint.h"
#include "numbers/bigint_multiply.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/word_mod.h"
#include "poly/poly_add.h"
#include "poly/poly_arith_impl.h"
#include "poly/poly_impl.h"
#include "poly/poly_repr.h"
#include "poly/poly_upcalls.h"

namespace tavrin {

using nodes::is_bare_leaf;
using nodes::num_is_one;
using nodes::ScratchNumber;

namespace {

constexpr std::int32_t max_limb = 268435455;

// a - b for exponents, held to the 32-bit range.
std::int32_t saturating_sub(std::int32_t a, std::int32_t b) {
  const std::int64_t d = static_cast<std::int64_t>(a) - b;
  if (d < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  if (d > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(d);
}

// f := e (e-1) ... (e-degree+1) in the current mode (e >= degree or e < 0);
// false when it is 0 there, and the term vanishes.
bool falling_factorial(std::int32_t e, std::int32_t degree, imptr f, const Ring& ring) {
  if (ring.modular && ring.char2) {
    if (degree != 1 || e % 2 == 0) return false;
    f->lint = 1;
    return true;
  }
  if (ring.modular) {
    std::int32_t em = e % ring.modulus;
    if (em < 0) em += ring.modulus;
    if (em < degree) return false;
    std::uint32_t r = 1;
    for (std::int32_t j = 0; j < degree; ++j)
      r = static_cast<std::uint32_t>(modmult(r, static_cast<std::uint32_t>(em - j)));
    f->lint = static_cast<std::int32_t>(r);
    return true;
  }
  if (ring.flote) {
    long double r = 1.0L;
    for (std::int32_t j = 0; j < degree; ++j) r *= static_cast<long double>(e) - j;
    f->flote = r;
    return true;
  }
  if (ring.lint) {
    std::uint32_t r = 1;
    for (std::int32_t j = 0; j < degree && r != 0; ++j)
      r *= static_cast<std::uint32_t>(saturating_sub(e, j));
    f->lint = static_cast<std::int32_t>(r);
    return r != 0;
  }
  special_set(1, f);
  ScratchNumber factor;
  for (std::int32_t j = 0; j < degree; ++j) {
    const std::int32_t v = saturating_sub(e, j);
    if (v > max_limb || v < -max_limb) tavrin_error(" outsized exponent in derivative", true);
    special_set(v, factor.get());
    multiply(f, factor.get(), f);
  }
  return true;
}

// The exponent of the last node of the list p (0 for a leaf).
std::int32_t lowest_exponent(poly p) {
  while (p->next != nullptr) p = p->next;
  return p->numb ? 0 : p->exp;
}

// The derivative's check that the lowest exponent less the degree stays in
// range, to be reported before any other error: a pass over the terms,
// made as late as that allows. The terms run by falling exponent and only
// an exponent below 0 can go out of range; the terms before that raise no
// error while their exponents lie from 0 to a limb and their coefficients
// are single residues or one-limb integers (no falling factorial beyond a
// limb, no product too long). The check is made at the first other term,
// from there on, and the list built so far is then freed; a usual operand
// is walked once instead of twice.
class LowestExponentCheck {
 public:
  LowestExponentCheck(std::int32_t degree, const Ring& ring) : degree_(degree), ring_(ring) {}
  void before(poly node, std::int32_t e) {
    if (checked_ || quiet(node, e, ring_)) return;
    checked_ = true;
    const std::int32_t low = lowest_exponent(node);
    if (low < 0) exp_sub(low, degree_);
  }

 private:
  static bool quiet(poly node, std::int32_t e, const Ring& ring) {
    if (node->numb) return true;  // a constant term is dropped
    if (e < 0 || e > max_limb || !is_bare_leaf(node->pcoef)) return false;
    if (ring.modular) return true;
    return !ring.flote && !ring.lint && node->pcoef->ncoef->size <= 1;
  }

  std::int32_t degree_;
  const Ring& ring_;
  bool checked_ = false;
};

// Unlinks the node at *c (a leaf or a term with its coefficient) and frees it.
void remove_node(poly* c, detail::Released& gone) {
  poly node = *c;
  *c = node->next;
  if (node->numb) {
    gone.leaf(node);
  } else {
    free_poly(&node->pcoef);
    gone.node(node);
  }
}

// The term at *c, whose exponent is 0 and whose coefficient is a bare leaf,
// is replaced by that leaf. Returns the leaf.
poly collapse_term(poly* c, detail::Released& gone) {
  poly node = *c;
  poly leaf = node->pcoef;
  leaf->next = node->next;
  *c = leaf;
  gone.node(node);
  return leaf;
}

}  // namespace

void poly_diff(poly* n, std::int32_t degree) {
  if (degree < 1) return;
  const Ring ring = Ring::current();
  const std::int32_t low = lowest_exponent(*n);
  if (low < 0) exp_sub(low, degree);  // reports an overflow before anything changes
  detail::Released gone;
  ScratchNumber f;
  poly* c = n;
  while (*c != nullptr) {
    poly node = *c;
    const std::int32_t e = node->numb ? 0 : node->exp;
    if (node->numb || (e >= 0 && e < degree) || !falling_factorial(e, degree, f.get(), ring)) {
      remove_node(c, gone);
      continue;
    }
    if (!num_is_one(f.get())) {
      poly product = nullptr;
      scalar_by_poly(f.get(), node->pcoef, &product);
      free_poly(&node->pcoef);
      node->pcoef = product;
      if (poly_iszero(product)) {
        remove_node(c, gone);
        continue;
      }
    }
    node->exp = saturating_sub(e, degree);
    if (node->exp == 0 && is_bare_leaf(node->pcoef)) node = collapse_term(c, gone);
    c = &node->next;
  }
  if (*n == nullptr) poly_set(0, n);
}

poly poly_derivative(poly n, std::int32_t degree) {
  if (degree < 1) return detail::copy_list(n);
  const Ring ring = Ring::current();
  LowestExponentCheck check(degree, ring);
  // The first derivative of a term over an integer is the integer times the
  // one-limb exponent, formed straight into the new leaf: a small product
  // for a one-limb integer, the product by the exponent set as a number for
  // a longer one (no falling factorial, no list of one product).
  const bool word_factor_route = degree == 1 && !ring.flote && !ring.lint && !ring.modular;
  nodes::OwnedPoly built;
  poly* link = &built.p;
  ScratchNumber f;
  for (poly node = n; node != nullptr; node = node->next) {
    const std::int32_t e = node->numb ? 0 : node->exp;
    check.before(node, e);
    if (node->numb || (e >= 0 && e < degree)) continue;
    const poly c = node->pcoef;
    poly coef = nullptr;
    if (word_factor_route && e >= -max_limb && e <= max_limb && is_bare_leaf(c) &&
        c->ncoef->size >= 1) {
      imptr r;
      if (c->ncoef->size == 1) {
        newimag(&r);
        detail::small_big_product(r, c->ncoef->head->value, e);
      } else {
        special_set(e, f.get());
        r = detail::num_product_new(f.get(), c->ncoef);
      }
      coef = nodes::new_leaf(r);
    } else {
      if (!falling_factorial(e, degree, f.get(), ring)) continue;
      if (num_is_one(f.get())) {
        coef = detail::copy_list(c);
      } else {
        scalar_by_poly(f.get(), c, &coef);
        if (poly_iszero(coef)) {
          free_poly(&coef);
          continue;
        }
      }
    }
    *link = detail::make_term(saturating_sub(e, degree), coef);
    link = &(*link)->next;
  }
  if (built.p == nullptr) poly_set(0, &built.p);
  return built.release();
}

void general_poly_diff(poly* p, std::int32_t degree, std::int32_t height) {
  if (height <= 1) {
    poly_diff(p, degree);
    return;
  }
  if (degree < 1) return;
  detail::Released gone;
  poly* c = p;
  while (*c != nullptr) {
    poly node = *c;
    if (node->numb) {
      remove_node(c, gone);
      continue;
    }
    general_poly_diff(&node->pcoef, degree, height - 1);
    if (poly_iszero(node->pcoef)) {
      remove_node(c, gone);
      continue;
    }
    if (node->exp == 0 && is_bare_leaf(node->pcoef)) node = collapse_term(c, gone);
    c = &node->next;
  }
  if (*p == nullptr) poly_set(0, p);
}

void actual_eval_poly(poly* n, poly* nden, poly* n2, poly* d2, std::int32_t target,
                      std::int32_t source, polypt pt) {
  poly denominator = d2 == nullptr ? nullptr : *d2;
  if (target <= source) {
    // case_one takes the value at the substituted variable's own level.
    poly value = *n2;
    for (std::int32_t k = 1; k < target; ++k) {
      if (!is_bare_leaf(value)) value = value->pcoef;
      if (denominator != nullptr && !is_bare_leaf(denominator)) denominator = denominator->pcoef;
    }
    case_one(n, nden, static_cast<std::int16_t>(target), value, denominator, pt);
  } else {
    case_two(n, nden, target, source, *n2, denominator, pt);
  }
}

}  // namespace tavrin
