#include "frontend/stored_values.h"

#include <cstdio>
#include <memory>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "poly/poly_diff.h"
#include "poly/poly_modout.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_normal_form.h"
#include "toplevel/language_services.h"
#include "toplevel/state.h"
#include "lang/expressions.h"

namespace tavrin {

bool downdate_shortcut = true;

namespace {

using nodes::OwnedPoly;

// Where a stored value lives; it chooses the warning of a vanished
// denominator.
enum class storage { statement, variable, array_cell, system_cell, sparse_entry };

struct stored_cell {
  quoly* cell;
  storage kind;
};

void add_variables(std::vector<stored_cell>& cells) {
  for (varptr v : sca_store)
    for (; v != nullptr; v = v->next) cells.push_back({&v->val, storage::variable});
}

void add_system_cells(std::vector<stored_cell>& cells) {
  if (syst == nullptr || syst->spar != nullptr || syst_stash == nullptr) return;
  for (std::int32_t k = 0; k <= syst->stop; ++k)
    if (syst_stash->stash[k] != nullptr)
      cells.push_back({&syst_stash->stash[k], storage::system_cell});
}

void add_array_cells(std::vector<stored_cell>& cells) {
  for (std::int32_t k = 0; k <= endarr; ++k)
    if (*arp_cell(k) != nullptr) cells.push_back({arp_cell(k), storage::array_cell});
}

// Calls f(head link of the row) for the rows of a sparse matrix.
template <class F>
void for_sparse_rows(sparseptr sp, std::int32_t rows, F f) {
  std::int32_t r = 0;
  for (sparseptr fr = sp; fr != nullptr && r < rows; fr = fr->next)
    for (int s = 0; s < sparse_frame_rows && r < rows; ++s, ++r) f(&fr->indx[s]);
}

// Calls f(record) once for each sparse store of the arrays of arr_store (a
// store shared by two records, an array parameter's alias and its array,
// is visited once, through the notdone mark of its first frame), then for
// the system array's when it is sparse.
template <class F>
void for_sparse_arrays(F f) {
  for (arrptr a : arr_store)
    for (; a != nullptr; a = a->next)
      if (a->spar != nullptr) a->spar->notdone = true;
  for (arrptr a : arr_store) {
    for (; a != nullptr; a = a->next) {
      if (a->spar == nullptr || !a->spar->notdone) continue;
      f(a);
      a->spar->notdone = false;
    }
  }
  if (syst != nullptr && syst->spar != nullptr) f(syst);
}

void add_sparse_entries(std::vector<stored_cell>& cells) {
  for_sparse_arrays([&cells](arrptr a) {
    for_sparse_rows(a->spar, a->rows, [&cells](colm_ptrptr head) {
      for (colm_ptr e = *head; e != nullptr; e = e->next)
        cells.push_back({&e->val, storage::sparse_entry});
    });
  });
}

// Every stored value: the scalar variables, the dense array cells, the
// dense cells of the system array, the sparse array entries.
void add_all_cells(std::vector<stored_cell>& cells) {
  add_variables(cells);
  add_array_cells(cells);
  add_system_cells(cells);
  add_sparse_entries(cells);
}

// The entries of sparse stores whose value became zero are removed.
void purge_zero_entries() {
  for_sparse_arrays([](arrptr a) {
    for_sparse_rows(a->spar, a->rows, [](colm_ptrptr link) {
      while (*link != nullptr) {
        colm_ptr e = *link;
        if (e->val != nullptr && !quoly_iszero(e->val)) {
          link = &e->next;
          continue;
        }
        *link = e->next;
        free_quoly(&e->val);
        e->next = nullptr;
        free_colm_list(e, e);
      }
    });
  });
}

// A pad over *p unless it is a bare number leaf.
void wrap(poly* p) {
  if (*p == nullptr || ((*p)->numb && (*p)->next == nullptr)) return;
  *p = nodes::new_term(0, *p);
}

void wrap_value(quoly v) {
  if (v == nullptr || v->numb) return;
  wrap(&v->numer);
  if (v->denom != nullptr) wrap(&v->denom);
}

// New values for the given cells, computed by convert from copies and
// stored by commit; until then (an error included) the cells keep their
// values and the new ones are freed with the rewrite.
class Rewrite {
 public:
  template <class Convert>
  Rewrite(const std::vector<stored_cell>& cells, Convert convert) : fresh_(cells.size()) {
    InterruptHold hold;
    cells_.reserve(cells.size());
    for (std::size_t k = 0; k < cells.size(); ++k) {
      cells_.push_back(cells[k].cell);
      quoly_assign(*cells[k].cell, fresh_[k].cell());
      convert(fresh_[k].cell(), cells[k].kind);
    }
  }
  void commit() {
    for (std::size_t k = 0; k < cells_.size(); ++k) {
      free_quoly(cells_[k]);
      *cells_[k] = fresh_[k].release();
    }
  }

 private:
  std::vector<quoly*> cells_;
  std::vector<nodes::OwnedValue> fresh_;
};

template <class Convert>
void rewrite_all(const std::vector<stored_cell>& cells, Convert convert) {
  Rewrite(cells, convert).commit();
}

// While downdate_stored_values runs, the rewrites of downdate_vars and
// downdate_arrays wait here to be committed together.
std::vector<std::unique_ptr<Rewrite>>* staged_downdates = nullptr;

const char* vanished_warning(storage kind) {
  switch (kind) {
    case storage::system_cell:
      return "Warning. A quoly denominator in the system array has become 0.  That entry has "
             "been set to 1.\n";
    case storage::array_cell:
      return "Warning. A quoly denominator has become 0.  That array entry has been set to 1.\n";
    case storage::sparse_entry:
      return "Warning. A quoly denominator in a sparse array entry has become 0.  That entry "
             "has been set to 1.\n";
    case storage::statement:
    case storage::variable: break;
  }
  return "Warning. A quoly denominator has become 0.  That variable has been set to 1.\n";
}

// Some list of p at level depth (1: p's own list) is more than a pad: p
// involves that variable.
bool involves_level(poly p, std::int32_t depth) {
  if (p->numb && p->next == nullptr) return false;
  if (depth == 1) return !(p->next == nullptr && !p->numb && p->exp == 0);
  for (poly t = p; t != nullptr; t = t->next)
    if (!t->numb && involves_level(t->pcoef, depth - 1)) return true;
  return false;
}

// *v with 1 put for the variable at env->depth and that level removed. A
// value that does not involve the variable only loses the level.
void downdate_value(quolyptr v, storage kind, attach_poly_EnvRec* env) {
  if ((*v)->numb) return;
  if (downdate_shortcut && !involves_level((*v)->numer, env->depth) &&
      ((*v)->denom == nullptr || !involves_level((*v)->denom, env->depth))) {
    remove_poly_var(v, env->depth);
    return;
  }
  if (!(*v)->numb && (*v)->denom != nullptr) {
    OwnedPoly denominator, extra, value;
    poly_assign((*v)->denom, denominator.cell());
    poly_set(1, value.cell());
    actual_eval_poly(denominator.cell(), extra.cell(), value.cell(), nullptr, env->depth, 16384,
                     polynames);
    if (poly_iszero(denominator.get())) {
      ++badcnt;
      if (badcnt <= ring_change_warning_limit) std::printf("%s", vanished_warning(kind));
      quoly_set(1, v);
      return;
    }
  }
  std::int16_t target = env->depth;
  get_evalquoly(env->inf, v, &env->one, &target, env->flag, false, false);
  remove_poly_var(v, env->depth);
}

void downdate(const std::vector<stored_cell>& cells, attach_poly_EnvRec* env) {
  auto w = std::make_unique<Rewrite>(
      cells, [env](quolyptr v, storage kind) { downdate_value(v, kind, env); });
  if (staged_downdates != nullptr) {
    staged_downdates->push_back(std::move(w));
  } else {
    w->commit();
  }
}

// The Laurent form of v: monomial factors of the denominator moved into
// negative exponents (on), or negative exponents moved into the denominator
// (off).
void laurent_value(quolyptr v, bool on) {
  quoly q = *v;
  if (q->numb || q->rat) return;
  if (on) {
    if (q->denom == nullptr) return;
    if (lintmode) {
      lint_normal_form(q, true);
    } else {
      normal_form(q, true);
    }
    return;
  }
  OwnedPoly shifts;
  poly tail = nullptr;
  clear_bads(&q->numer, shifts.cell(), &tail, 0, 0);
  if (shifts.get() == nullptr) return;
  if (q->denom == nullptr) poly_set(1, &q->denom);
  eliminate_bads(&q->denom, shifts.get(), -1);
}

}  // namespace

void update_vars() {
  for (varptr v : sca_store)
    for (; v != nullptr; v = v->next) wrap_value(v->val);
}

void update_arrays() {
  std::vector<stored_cell> cells;
  add_array_cells(cells);
  add_system_cells(cells);
  add_sparse_entries(cells);
  for (const stored_cell& c : cells) wrap_value(*c.cell);
}

void downdate_vars(attach_poly_EnvRec* env) {
  std::vector<stored_cell> cells;
  add_variables(cells);
  downdate(cells, env);
}

void downdate_arrays(attach_poly_EnvRec* env) {
  std::vector<stored_cell> cells;
  add_array_cells(cells);
  add_system_cells(cells);
  downdate(cells, env);
}

void downdate_stored_values(attach_poly_EnvRec* env) {
  std::vector<std::unique_ptr<Rewrite>> staged;
  {
    ScopedValue<std::vector<std::unique_ptr<Rewrite>>*> staging(staged_downdates, &staged);
    downdate_vars(env);
    downdate_arrays(env);
    std::vector<stored_cell> entries;
    add_sparse_entries(entries);
    downdate(entries, env);
  }
  for (const auto& w : staged) w->commit();
  purge_zero_entries();
}

void change_laurent(bool newval) {
  refuse_ring_change();
  if (lintmode) error(not_in_this_arithmetic_error, &token);
  std::vector<stored_cell> cells;
  if (prevnum != nullptr) cells.push_back({&prevnum, storage::statement});
  if (sysnum != nullptr && sysnum != prevnum) cells.push_back({&sysnum, storage::statement});
  add_all_cells(cells);
  const bool old = laurent;
  laurent = newval;
  try {
    rewrite_all(cells, [newval](quolyptr v, storage) { laurent_value(v, newval); });
  } catch (...) {
    laurent = old;
    throw;
  }
}

void check_for_mod_out() {
  refuse_ring_change();
  for (polypt q = polynames; q != nullptr; q = q->next)
    if (q->p != nullptr && !q->field) abandon(relation_not_field_laurent_mode_error, &q->let);
}

}  // namespace tavrin
