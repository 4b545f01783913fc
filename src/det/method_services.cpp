// What the methods share with the router (see method_services.h).
#include "det/method_services.h"

#include <algorithm>
#include <cstdio>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/work_arrays.h"
#include "poly/poly_measures.h"
#include "poly/poly_modout.h"
#include "poly/poly_repr.h"
#include "poly/poly_trial.h"
#include "poly/poly_upcalls.h"
#include "quoly/quoly_quot.h"
#include "toplevel/polymodding.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"

namespace tavrin {

namespace {

bool bare_leaf(poly p) { return p != nullptr && p->numb && p->next == nullptr; }

}  // namespace

void exitt(mat_invert_EnvRec& env, quolyptr n, poly fct, bool divit) {
  if (env.set_new_polynames) {
    env.set_new_polynames = false;
    resume_old_polynames();
  }
  modout_result(n, env.laurent);
  if (divit) divide_fct(env, n, fct);
  throw mat_invert_exit{};
}

void modout_result(quolyptr n, bool laurent_at_entry) {
  quoly q = *n;
  if (q == nullptr || q->numb || (q->rat && !lintmode)) return;
  total_poly_modout(&q->numer, polynames);
  if (q->denom != nullptr) {
    total_poly_modout(&q->denom, polynames);
    if (poly_iszero(q->denom)) {
      std::printf(" On converting a quoly to poly-mod-out, a denominator became 0.\n");
      std::printf(" The quoly was set to 1.\n");
      quoly_set(1, n);
    } else {
      check_quoly(n, laurent_at_entry);
    }
  } else if (bare_leaf(q->numer)) {
    polynum_to_quoly(n);
  }
}

void divide_fct(const mat_invert_EnvRec& env, quolyptr n, poly fct) {
  if (fct == nullptr) return;
  quoly q = *n;
  if (env.allpolys && !bare_leaf(fct) && !q->numb) {
    poly quot = nullptr;
    if (!trial_poly_divide(q->numer, fct, &quot, polynames, false, false, false)) {
      free_poly(&quot);
      error(factor_does_not_divide_determinant_error, &token);
      return;
    }
    free_poly(&q->numer);
    q->numer = quot;
    if (q->denom == nullptr && bare_leaf(q->numer)) polynum_to_quoly(n);
    return;
  }
  nodes::OwnedValue f;  // a divisor 0 is an error
  p_q_assign(fct, f.cell());
  fast_quoly_quot(n, f.cell(), false);
}

void set_search_params(mat_invert_EnvRec& env, workptr ar, std::int32_t m) {
  env.allnumbs = true;
  env.allpolys = true;
  env.polydepth = 16384;
  const std::int64_t cells = std::int64_t{m} * m;
  for (std::int64_t k = 0; k < cells; ++k) {
    quoly q = ar->stash[k];
    if (q == nullptr || q->numb) continue;
    env.allnumbs = false;
    if (q->denom != nullptr) {
      env.allpolys = false;
      env.cols_to_search = all;
      return;
    }
    if (env.polydepth > 1) env.polydepth = std::min(env.polydepth, poly_depth(q->numer));
  }
  if (env.allnumbs)
    env.cols_to_search = modularmode ? one_1 : half;
  else
    env.cols_to_search = all;
}

void check_mod_matrix_size(std::int32_t m) {
  if (mod_mode_matrix == nullptr) allocate_work_areas();
  const std::int64_t want = std::int64_t{m} * m - 1;
  if (want <= mod_matrix_size) return;
  BigModeGuard big;
  for (std::int64_t k = std::int64_t{mod_matrix_size} + 1; k <= want; ++k) {
    mod_mode_matrix->stash[k] = nullptr;
    quoly_set(0, &mod_mode_matrix->stash[k]);
    mod_mode_matrix->stash[k]->next = nullptr;
    mod_mode_matrix->stash[k]->arr_arg = false;
    mod_mode_matrix->stash[k]->ncoef->lint = 0;
    mod_mode_matrix->stash[k]->ncoef->flote = 0;
  }
  mod_matrix_size = static_cast<std::int32_t>(want);
}

}  // namespace tavrin
