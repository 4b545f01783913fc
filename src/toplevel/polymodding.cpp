#include "toplevel/polymodding.h"

#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "toplevel/state.h"

namespace tavrin {

bool need_to_turn_off_mod_out(bool allpolys, bool want_LaGrange, bool do_gb, std::int32_t mycut,
                              std::int32_t m) {
  if (using_new_polynames) return false;
  if (allpolys && !want_LaGrange && !do_gb && mycut >= m) return false;
  for (polypt q = polynames; q != nullptr; q = q->next) {
    if (q->depth == field_depth) return false;
    if (q->p != nullptr) return true;
  }
  return false;
}

void adjust_polyname_ptrs() {
  using_new_polynames = true;
  old_polynames = polynames;
  polypt head = nullptr;
  polypt last = nullptr;
  std::int32_t k = 0;
  polypt q = polynames;
  for (; q != nullptr && (k == 0 || q->depth != field_depth); q = q->next) {
    polypt copy = nullptr;
    newpt(&copy);
    copy->let = q->let;
    copy->depth = static_cast<std::int16_t>(k + 1);
    if (last == nullptr) {
      head = copy;
    } else {
      last->next = copy;
    }
    last = copy;
    ++k;
  }
  if (last != nullptr) last->next = q;  // the field levels are shared
  polynames = pseudo_polynames = head;
  ++dumpitt_level;
  if (verbose) dumpitt("Polymodding suspended on vars 1 to ", k, true, false, false);
}

void resume_old_polynames() {
  polypt last = polynames;
  std::int32_t k = 0;
  if (last != nullptr) {
    k = 1;
    while (last->next != nullptr && last->next->depth != field_depth) {
      last = last->next;
      ++k;
    }
    last->next = pt_garb;
    pt_garb = polynames;
  }
  polynames = pseudo_polynames = old_polynames;
  old_polynames = nullptr;
  using_new_polynames = false;
  decr_dumpitt(1, false, true);
  if (verbose) dumpitt("Polymodding resumed on vars 1 to ", k, true, false, false);
}

void reset_pseudo_poly() {
  bool any_relation = false;
  std::int16_t run_start = 0;
  bool met_field = false;
  for (polypt q = polynames; q != nullptr; q = q->next) {
    if (q->p != nullptr) any_relation = true;
    if (q->field) {
      met_field = true;
      if (run_start == 0) run_start = q->depth;
    } else {
      run_start = 0;
    }
  }
  pseudo_polynames = any_relation ? polynames : nullptr;
  field_depth = run_start;
  if (field_depth == 0) {
    no_aux_primes2 = true;
    aux_prime1_number = 0;
    aux1_hit_0 = false;
  }
  modout_above_field = false;
  bool char2 = !met_field;
  for (polypt q = polynames; q != nullptr; q = q->next) {
    if (field_depth == 0 || q->depth < field_depth) {
      q->field = false;
      if (q->p != nullptr) {
        modout_above_field = true;
        if (q->expon != 2) char2 = false;  // a binomial keeps only its constant in p
      }
    } else {
      q->field = true;
    }
    if (q->p == nullptr) char2 = false;
  }
  char2_degs1 = char2;
}

void polymodding_on_error(std::int32_t) {
  if (using_new_polynames) resume_old_polynames();
  reset_pseudo_poly();
}

}  // namespace tavrin
