#include "poly/poly_images.h"

#include <cinttypes>
#include <cstdio>

#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/word_mod.h"
#include "poly/poly_impl.h"
#include "poly/poly_in_place.h"

namespace tavrin {

using nodes::is_bare_leaf;

namespace {

constexpr std::int32_t max_conversion_warnings = 20;

bool may_warn() { return verbose && warn_cnt < max_conversion_warnings; }

std::int32_t abs_limb(std::int32_t v) { return v < 0 ? -v : v; }  // |v| < 2^28

// n mod modulus, as a residue 0 .. modulus - 1 (see the header). A number
// without limbs (a residue made while a ring change left its container
// out) is taken by its word.
std::int32_t residue_of(imptr n, bool shouldwarn, const Ring& ring) {
  numptr l = n->head;
  if (n->size == 0 || l == nullptr) {
    const std::int32_t r = n->lint % ring.modulus;
    return r < 0 ? r + ring.modulus : r;
  }
  if (ring.char2) {
    if (n->size == 1) {
      const std::int32_t v = l->value;
      if (may_warn() && (v >= ring.modulus || (shouldwarn && v < 0))) {
        std::printf(
            "*** Warning. in going to finite field, outsized value encountered: %" PRId32 "\n", v);
        ++warn_cnt;
      }
      return abs_limb(v) % ring.modulus;
    }
    if (may_warn()) {
      std::printf(" *** Warning. outsized values encountered. Expect garbage.\n");
      ++warn_cnt;
    }
    return abs_limb(n->tail->value) % ring.modulus;  // 2^28 is 0 modulo 256 and 65536
  }
  std::int32_t r = l->value % ring.modulus;
  if (r < 0) r += ring.modulus;
  for (l = l->next; l != nullptr; l = l->next)
    r = spec_mod_add(static_cast<std::uint32_t>(modmult(static_cast<std::uint32_t>(r),
                                                        static_cast<std::uint32_t>(two28_mod))),
                     l->value, ring.modulus);
  return r;
}

// The image walk of one list, through its link cell p.
void image_list(poly* p, bool shouldwarn, const Ring& ring) {
  poly* c = p;
  bool logged = false;  // c's original value is already in the journal
  auto relink = [&c, &logged](poly v) {
    if (!logged) {
      push_fix(c, *c, zzero);
      logged = true;
    }
    *c = v;
  };
  while (*c != nullptr) {
    poly node = *c;
    bool next_logged = false;
    if (node->numb) {
      change_num(node->ncoef, false, shouldwarn, ring);
      if (node->ncoef->lint == 0) {
        relink(node->next);
        continue;
      }
    } else {
      image_list(&node->pcoef, shouldwarn, ring);
      poly cf = node->pcoef;
      if (cf == nullptr) {
        relink(node->next);
        continue;
      }
      if (node->exp == 0 && is_bare_leaf(cf)) {
        // A constant at exponent 0 is the constant term itself.
        relink(cf);
        if (node->next != nullptr) {
          push_fix(&cf->next, nullptr, zzero);
          cf->next = node->next;
          next_logged = true;
        }
        node = cf;
      }
    }
    c = &node->next;
    logged = next_logged;
  }
}

void lift_number(imptr n, const Ring& ring) {
  std::int32_t v = n->lint;
  // A word outside the residues is a stored integer (a count, a position):
  // it stays the integer it is.
  if (alt_form_display && v > ring.modulus / 2 && v < ring.modulus) v -= ring.modulus;
  special_set(v, n);
}

}  // namespace

// ---- Numbers ----------------------------------------------------------------------

void change_num(imptr n, bool should_free, bool shouldwarn) {
  change_num(n, should_free, shouldwarn, Ring::current());
}

void change_num(imptr n, bool should_free, bool shouldwarn, const Ring& ring) {
  n->lint = residue_of(n, shouldwarn, ring);
  if (should_free) special_free(n);
}

void change_flote(imptr n) {
  numptr l = n->head;
  long double f = l->value;
  for (l = l->next; l != nullptr; l = l->next) f = f * 268435456.0L + l->value;
  n->flote = f;
}

void poly_change_to_flote(poly p) { detail::for_each_number(p, change_flote); }

// ---- Temporary modular image --------------------------------------------------------

void poly_change_to_mod(poly* p, bool shouldwarn) { image_list(p, shouldwarn, Ring::current()); }

void poly_change_to_mod(poly* p, bool shouldwarn, const Ring& ring) {
  image_list(p, shouldwarn, ring);
}

void change_poly_modout_data() {
  const Ring ring = Ring::current();
  for (polypt level = polynames; level != nullptr; level = level->next) {
    if (level->p != nullptr) poly_change_to_mod(&level->p, false, ring);
    if (level->alt != nullptr) poly_change_to_mod(&level->alt, false, ring);
    for (poly m = level->multdata; m != nullptr; m = m->next) {
      if (m->numb) {
        change_num(m->ncoef, false, false, ring);
      } else {
        poly_change_to_mod(&m->pcoef, false, ring);
      }
    }
  }
}

// ---- Lifting ----------------------------------------------------------------------------

void poly_change_from_mod(poly p) { poly_change_from_mod(p, Ring::current()); }

void poly_change_from_mod(poly p, const Ring& ring) {
  detail::for_each_number(p, [&ring](imptr n) { lift_number(n, ring); });
}

void quoly_change_from_mod(quoly q) {
  const Ring ring = Ring::current();
  for_value_parts(
      q, [&ring](imptr n) { lift_number(n, ring); },
      [&ring](poly p) { poly_change_from_mod(p, ring); });
}

}  // namespace tavrin
