// The reduced form of a rational function under the relations, and the
// reduction of a stored value when a relation is installed.
#include <cstdint>
#include <cstdio>
#include <utility>

#include "core/globals.h"
#include "core/ring.h"
#include "numbers/freelists.h"
#include "numbers/invertible.h"
#include "numbers/node_handles.h"
#include "poly/poly_add.h"
#include "poly/poly_arith_impl.h"
#include "poly/poly_divide_impl.h"
#include "poly/poly_measures.h"
#include "poly/poly_modout.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "poly/poly_upcalls.h"

namespace tavrin {

using detail::is_zero;
using nodes::is_bare_leaf;

namespace {

// A constant numerator without a denominator makes q a number value.
void number_if_constant(quoly q) {
  if (q->denom == nullptr && is_bare_leaf(q->numer)) polynum_to_quoly(&q);
}

}  // namespace

void cancel_contents(quoly q) { cancel_contents(q, Ring::current()); }

void cancel_contents(quoly q, const Ring& ring) {
  if (ring.flote || ring.lint || q->denom == nullptr || is_zero(q->numer)) return;
  nodes::ScratchNumber g;
  find_common_content(q->numer, q->denom, g.get());
  if (nodes::num_is_one(g.get())) return;
  num_poly_quot(q->numer, g.get(), 0);
  num_poly_quot(q->denom, g.get(), 0);
}

bool field_denominator_applies(quoly q) { return field_denominator_applies(q, Ring::current()); }

bool field_denominator_applies(quoly q, const Ring& ring) {
  return ring.field_depth > 0 && !q->numb && q->denom != nullptr && !is_bare_leaf(q->denom) &&
         poly_depth(q->denom) >= ring.field_depth;
}

bool invert_field_denominator(quoly q) { return invert_field_denominator(q, Ring::current()); }

bool invert_field_denominator(quoly q, const Ring& ring) {
  detail::FieldInverse inv;
  if (!inv.take(q->denom, polynames)) return false;
  poly_mult(q->numer, inv.numer, &q->numer, polynames, ring);
  free_poly(&q->denom);
  if (inv.denom == nullptr) {
    number_if_constant(q);
    return true;
  }
  q->denom = std::exchange(inv.denom, nullptr);
  cancel_contents(q, ring);
  if (poly_eq_1(q->denom)) free_poly(&q->denom);
  if (is_bare_leaf(q->numer)) {
    if (q->denom == nullptr) {
      polynum_to_quoly(&q);
    } else {
      q->rat = true;
    }
  }
  return true;
}

void clear_field_leading_coef(quoly q) {
  polypt level = nullptr;
  poly c = field_leading_coef(q->denom, polynames, &level);
  detail::FieldInverse inv;
  if (level == nullptr || !inv.take(c, level)) return;
  const std::int32_t h = level->depth - polynames->depth;
  if (h > 0 && !is_bare_leaf(inv.numer)) add_pad(&inv.numer, h);
  poly_mult(q->denom, inv.numer, &q->denom, polynames);
  poly_mult(q->numer, inv.numer, &q->numer, polynames);
}

namespace {

// The level's relation, its alternate form and its reduced powers for the
// guard's lifetime; nil again afterwards (they belong to the caller).
class InstalledRelation {
 public:
  InstalledRelation(polypt level, poly p, poly alt, poly multdata) : level_(level) {
    level->p = p;
    level->alt = alt;
    level->multdata = multdata;
  }
  ~InstalledRelation() {
    level_->p = nullptr;
    level_->alt = nullptr;
    level_->multdata = nullptr;
  }
  InstalledRelation(const InstalledRelation&) = delete;
  InstalledRelation& operator=(const InstalledRelation&) = delete;

 private:
  polypt level_;
};

}  // namespace

void denominator_lows_to_numerator(quoly q) {
  nodes::OwnedPoly exps;  // the shift list, freed on every exit
  poly tail = nullptr;
  clear_bads(&q->denom, &exps.p, &tail, 2147483647, 0);
  if (exps.p == nullptr) return;
  eliminate_bads(&q->numer, exps.p, -1);
  if (modout_above_field) above_field_modout(&q->numer);
}

void normal_form(quoly q, bool laur) {
  const Ring ring = Ring::current();
  if (ring.field_depth > 0 && q->denom != nullptr && !is_bare_leaf(q->denom)) {
    if (poly_depth(q->denom) >= ring.field_depth) {
      if (invert_field_denominator(q, ring)) return;
    } else if (invertible_coef(q->denom, polynames)) {
      // The contents are cancelled next, as for every denominator.
      clear_field_leading_coef(q);
    }
  }
  cancel_contents(q, ring);
  if (q->denom != nullptr && neg_leading_term(q->denom)) {
    poly_inplace(q->numer);
    poly_inplace(q->denom);
  }
  if (laur && q->denom != nullptr && !is_bare_leaf(q->denom)) denominator_lows_to_numerator(q);
  if (q->denom != nullptr && poly_eq_1(q->denom)) free_poly(&q->denom);
  if (is_bare_leaf(q->numer)) {
    if (q->denom == nullptr) {
      polynum_to_quoly(&q);
    } else {
      q->rat = is_bare_leaf(q->denom);
    }
  }
}

void mod_out_quoly(quolyptr q, poly* modder, poly* alter, poly* md, std::int32_t depth,
                   std::int32_t expon, polypt qq) {
  quoly v = *q;
  if (v->numb) return;
  mod_out_poly(&v->numer, modder, depth, expon, polynames);
  if (is_zero(v->numer)) {
    free_poly(&v->denom);
    polynum_to_quoly(q);
    return;
  }
  if (v->denom == nullptr) {
    number_if_constant(v);
    return;
  }
  mod_out_poly(&v->denom, modder, depth, expon, polynames);
  if (is_zero(v->denom)) {
    free_poly(&v->numer);
    v->numer = std::exchange(v->denom, nullptr);
    polynum_to_quoly(q);
    std::printf(" Warning.  In converting to poly-mod-out, a denominator became 0.\n");
    std::printf("   That quoly has been set to 0.\n");
    return;
  }
  InstalledRelation installed(qq, *modder, *alter, *md);
  check_quoly(q, laurent);
}

}  // namespace tavrin
