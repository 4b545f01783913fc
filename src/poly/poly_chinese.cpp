#include "poly/poly_chinese.h"

#include <cinttypes>
#include <cstdio>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/freelists.h"
#include "numbers/mixed_mode.h"
#include "numbers/node_handles.h"
#include "numbers/word_mod.h"
#include "poly/poly_add.h"
#include "poly/poly_arith_impl.h"
#include "poly/poly_divide.h"
#include "poly/poly_impl.h"
#include "poly/poly_repr.h"

namespace tavrin {

using nodes::is_bare_leaf;
using nodes::num_is_zero_now;
using nodes::OwnedPoly;
using nodes::ScratchNumber;

namespace {

// *r := *r mod d coefficientwise, in place: each leaf takes its remainder
// (mod_and_div), zero leaves and emptied terms go, an exponent-0 term left
// over a bare leaf becomes that leaf; nil when everything vanished.
// quo: scratch for the discarded quotients.
void remainder_by_number_inplace(poly* r, imptr d, imptr quo, detail::Released& gone) {
  poly* c = r;
  while (*c != nullptr) {
    poly node = *c;
    if (node->numb) {
      mod_and_div(node->ncoef, d, node->ncoef, quo);
      if (num_is_zero_now(node->ncoef)) {
        *c = node->next;
        gone.leaf(node);
        continue;
      }
    } else {
      remainder_by_number_inplace(&node->pcoef, d, quo, gone);
      poly cf = node->pcoef;
      if (cf == nullptr) {
        *c = node->next;
        gone.node(node);
        continue;
      }
      if (node->exp == 0 && is_bare_leaf(cf)) {
        cf->next = node->next;
        *c = cf;
        gone.node(node);
        node = cf;
      }
    }
    c = &node->next;
  }
}

}  // namespace

poly Chinese(poly val, poly modder, numptr q, polypt /*pt: the digits' level*/) {
  OwnedPoly r;
  if (val == nullptr) {
    poly_set(0, r.cell());
    return r.release();
  }
  poly_assign(val->pcoef, r.cell());
  ScratchNumber w;
  ScratchNumber quo;
  for (poly digit = val->next; digit != nullptr; digit = digit->next) {
    q = q->next;
    special_set(q->value, w.get());  // one limb, or two from 2^28 on
    mult_num(*r.cell(), w.get());
    poly scaled = r.release();
    better_poly_add(scaled, digit->pcoef, r.cell());
    detail::Released gone;
    remainder_by_number_inplace(r.cell(), modder->ncoef, quo.get(), gone);
    if (*r.cell() == nullptr) poly_set(0, r.cell());
  }
  return r.release();
}

void poly_remainder_inplace(poly* r, imptr d) {
  ScratchNumber quo;
  detail::Released gone;
  remainder_by_number_inplace(r, d, quo.get(), gone);
}

std::int32_t inverse_prod(numptr h) { return inverse_prod(h, Ring::current()); }

std::int32_t inverse_prod(numptr h, const Ring& ring) {
  std::uint32_t product = 1;
  for (; h != nullptr; h = h->next) {
    std::int32_t v = h->value % ring.modulus;
    if (v < 0) v += ring.modulus;
    product = static_cast<std::uint32_t>(modmult(product, static_cast<std::uint32_t>(v)));
  }
  std::int32_t g = ring.modulus;
  std::int32_t x = 0;
  std::int32_t y = 0;
  if (product != 0) egcd_ints(&g, static_cast<std::int32_t>(product), &x, &y);
  if (product == 0 || g != 1) {
    std::printf("bad2: %" PRIu32 "\n", product);
    error(no_inverse_error, &quotsign);
    return 0;
  }
  return y < 0 ? y + ring.modulus : y;
}

void mod_and_div(imptr n, imptr n2, imptr n3, imptr n4) { divide_numbers(n, n2, n4, n3, pos_mod); }

}  // namespace tavrin
