// The probe of a trivial GCD over a coefficient field: images modulo an
// auxiliary prime at which every field variable has a known root
// (velmor_modular, contract in gcd.h).
#include <cstdint>

#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/primes.h"
#include "poly/poly_images.h"
#include "poly/poly_repr.h"
#include "gcd/gcd.h"

namespace tavrin {

using nodes::is_bare_leaf;
using nodes::new_leaf;
using nodes::OwnedPoly;
using nodes::ScratchNumber;

namespace {

// Entry k (from 0) of a level's auxiliary list, nil when the list is shorter.
imptr aux_entry(polypt level, std::int32_t k) {
  imptr e = level->gcd_data;
  for (; e != nullptr && k > 0; --k) e = e->imag;
  return e;
}

// A leaf holding the residue v (reduced modulo the modulus in force).
poly residue_leaf(std::int32_t v) {
  ScratchNumber n;
  std::int32_t r = v % modulus;
  if (r < 0) r += modulus;
  n.get()->lint = r;
  return new_leaf(n.release());
}

}  // namespace

void velmor_modular(poly g, poly h, polypt pt, bool* success) {
  *success = false;
  if (field_depth <= 0) return;
  const ScopedValue<bool> interrupts(command_int, command_int && danger_ok);
  polypt field = polynames;
  for (std::int32_t k = 1; k < field_depth && field != nullptr; ++k) field = field->next;
  if (field == nullptr) return;
  std::int32_t k = rand_integer2() % (field->aux_num < 11 ? 2 : 4);
  const std::int32_t dg = nodes::degree(g);
  const std::int32_t dh = nodes::degree(h);
  const ModulusGuard ring;  // the caller's modulus and modes come back on every exit
  const ScopedValue<std::int16_t> no_cache(lookupgcd, -1000);
  const std::int32_t d = pt->depth;
  bool taken = false;
  do {
    const imptr entry = aux_entry(field, k);
    if (entry == nullptr) {
      tavrin_error(" velmor_modular, p is nil 1", true);
      return;
    }
    modularmode = false;
    lintmode = false;
    set_word_modulus(entry->lint);
    ModularImage image;
    poly gi = g;
    poly hi = h;
    image.take(&gi);
    image.take(&hi);
    modularmode = true;
    lintmode = true;
    if (gi != nullptr && hi != nullptr) {
      OwnedPoly gg, hh, den;
      poly_assign(gi, gg.cell());
      poly_assign(hi, hh.cell());
      std::int32_t level = field_depth + 1 - d;
      for (polypt r = field; r != nullptr; r = r->next, ++level) {
        const imptr root = aux_entry(r, k);
        if (root == nullptr || root->head == nullptr) {
          tavrin_error(" velmor_modular, p is nil 2", true);
          return;
        }
        OwnedPoly value;
        value.p = residue_leaf(root->head->value);
        for (OwnedPoly* p : {&gg, &hh}) {
          if (level > 16384) {
            case_two(p->cell(), den.cell(), level, 16384, value.p, nullptr, pt);
          } else {
            case_one(p->cell(), den.cell(), static_cast<std::int16_t>(level), value.p, nullptr, pt);
          }
        }
      }
      if (nodes::degree(gg.p) == dg && nodes::degree(hh.p) == dh) {
        OwnedPoly r;
        if (height_is_1(gg.p) && height_is_1(hh.p)) {
          basic_poly_gcd(gg.p, hh.p, r.cell(), false, pt);
        } else {
          polygcd(gg.p, hh.p, r.cell(), pt, {.allcons = false, .canreset = false});
        }
        *success = is_bare_leaf(r.p);
        taken = true;
      }
    }
    ++k;
  } while (!taken && k < field->aux_num);
}

}  // namespace tavrin
