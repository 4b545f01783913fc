// The power of a dense square matrix with every entry reduced modulo a
// number or a monic polynomial ("MPowermod").
#include "matlang/matrix_powers.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "numbers/freelists.h"
#include "numbers/work_arrays.h"
#include "poly/poly_divide.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"
#include "matrix/matrix_products.h"

namespace tavrin {

namespace {

// A negative exponent anywhere in p (below the top level too).
bool has_negative_exponent(poly p) {
  for (; p != nullptr; p = p->next) {
    if (p->numb) continue;
    if (p->exp < 0 || has_negative_exponent(p->pcoef)) return true;
  }
  return false;
}

// The leading coefficient of p, after descending through pad terms (a lone
// term of exponent 0) to the first variable in which p really occurs, is 1.
bool monic_after_pads(poly p) {
  while (p != nullptr && !p->numb && p->exp == 0 && p->next == nullptr) p = p->pcoef;
  if (p == nullptr || p->numb) return p != nullptr && poly_eq_1(p);
  poly c = p->pcoef;
  while (c != nullptr && !c->numb && c->exp == 0 && c->next == nullptr) c = c->pcoef;
  return c != nullptr && poly_eq_1(c);
}

// Every entry of arr replaced by its remainder modulo m ("|"); the old
// entries are freed only when owned.
void reduce_entries(workptr arr, std::int32_t cells, quoly m, bool owned) {
  for (std::int32_t k = 0; k < cells; ++k) {
    quoly r = nullptr;
    if (arr->stash[k] != nullptr) quoly_mod_or_div(arr->stash[k], m, &r, '|');
    if (owned) free_quoly(&arr->stash[k]);
    arr->stash[k] = r;
  }
}

// Progress lines when asked for.
struct Progress {
  bool on;
  bool flush;
  std::int32_t done = 0;
  void start(std::int32_t limbs) const {
    if (!on) return;
    std::printf("          counting to %1d\n", limbs);
    std::printf("             %d ", 0);
    if (flush) std::fflush(stdout);
  }
  void limb() {
    if (!on) return;
    ++done;
    if (done % 20 == 0) std::printf("\n             ");
    std::printf("%1d ", done);
    if (flush) std::fflush(stdout);
  }
  void end() const {
    if (!on) return;
    std::printf("\n");
    if (flush) std::fflush(stdout);
  }
};

// The highest bit to walk in one exponent limb: below the top set bit in the
// first limb, all 28 bits in the others.
std::int32_t limb_bits_below(std::int32_t v, bool first_limb) {
  if (!first_limb) return 27;
  std::int32_t b = 0;
  while (b < 27 && (v >> (b + 1)) != 0) ++b;
  return b - 1;
}

// W := arr^e by squaring from the most significant bit of the exponent's
// limbs. Returns whether any product was formed (if not, W holds arr's
// own entries). With a modulus m, W is reduced after every product: the
// remainders are canonical (integers in [0, m), remainders by a monic
// polynomial), so the result is the one reduced once at the end, while the
// entries stay small.
bool ladder(workptr w, workptr arr, arr_descr* facts, imptr e, quoly m, Progress& progress) {
  const std::int32_t cells = facts->rows * facts->rows;
  sparseptr none = nullptr, none2 = nullptr;
  bool shared = true;
  bool first = true;
  progress.start(e->size);
  for (numptr l = e->head; l != nullptr; l = l->next) {
    const std::int32_t v = l->value;
    std::int32_t bit = limb_bits_below(v, first);
    first = false;
    for (; bit >= 0; --bit) {
      check_interrupt();
      matrix_mult(w, w, facts, facts, !shared, &none, &none2);
      shared = false;
      if (m != nullptr) reduce_entries(w, cells, m, true);
      if ((v >> bit) & 1) {
        matrix_mult(w, arr, facts, facts, true, &none, &none2);
        if (m != nullptr) reduce_entries(w, cells, m, true);
      }
    }
    progress.limb();
  }
  progress.end();
  return !shared;
}

}  // namespace

void matpowermod(workptr arr, arr_descr* arr_facts, bool* arr_free, imptr expont, quoly* modder,
                 bool showit) {
  const std::int32_t rows = arr_facts->rows;
  const std::int32_t cells = rows * rows;
  const bool zero_exp = expont == nullptr || expont->size == 0 || expont->head == nullptr ||
                        (expont->size == 1 && expont->head->value == 0);
  if (!zero_exp && expont->head->value < 0) abandon(negative_powermod_exponent_error, &token);
  if (zero_exp) {
    identi(arr, rows, *arr_free);
    *arr_free = true;
    return;
  }
  bool all_numbers = true, all_zero = true;
  for (std::int32_t k = 0; k < cells; ++k) {
    quoly q = arr->stash[k];
    if (q == nullptr) continue;
    if (!q->numb) {
      if (q->denom != nullptr) abandon(matrix_entry_denominator_error, &token);
      all_numbers = false;
    }
    if (!quoly_iszero(q)) all_zero = false;
  }
  if (all_zero) return;
  quoly m = modder == nullptr ? nullptr : *modder;
  bool general = false;
  if (m != nullptr && !m->numb) {
    if (laurent && has_negative_exponent(m->numer))
      abandon(negative_exponent_argument_error, &token);
    if (field_depth > 0 && poly_depth(m->numer) >= field_depth)
      abandon(modulus_in_field_error, &token);
    if (!monic_after_pads(m->numer)) abandon(modulus_not_monic_error, &token);
    general = !all_numbers;
  } else if (m != nullptr) {
    general = true;
  }
  if (general) {
    reduce_entries(arr, cells, m, *arr_free);
    *arr_free = true;
  }
  WorkArrayGuard guard(&token);
  if (!guard.taken()) return;
  workptr w = guard.get();
  std::copy(arr->stash, arr->stash + cells, w->stash);
  Progress progress{showit, general};
  // Floating remainders are not exact: those are reduced once, at the end.
  const bool formed =
      ladder(w, arr, arr_facts, expont, general && !flotemode ? m : nullptr, progress);
  if (general) {
    if (formed) {
      reduce_entries(w, cells, m, true);
      for (std::int32_t k = 0; k < cells; ++k) {
        free_quoly(&arr->stash[k]);
        arr->stash[k] = w->stash[k];
      }
    }
  } else if (formed) {
    for (std::int32_t k = 0; k < cells; ++k) {
      if (*arr_free) free_quoly(&arr->stash[k]);
      arr->stash[k] = w->stash[k];
    }
  } else {
    // Exponent 1 without reduction: the matrix itself, whose entries stay
    // with their owner.
    std::fill(w->stash, w->stash + cells, nullptr);
    return;
  }
  std::fill(w->stash, w->stash + cells, nullptr);
  *arr_free = true;
}

}  // namespace tavrin
