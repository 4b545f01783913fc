#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "poly/poly_add.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_mult.h"
#include "toplevel/state.h"
#include "arrays/sparse_store.h"
#include "matrix/matrix_products.h"
#include "matrix/sparse_copy.h"
#include "matrix/sparse_merge.h"
#include "matrix/sparse_rows.h"

namespace tavrin {

namespace {

using sparse_merge::insert_at;

// Row building: the entry (c, v) goes in at *t, and t moves past it, unless
// v is a zero number, which is freed instead. v: moved in
void insert_unless_zero(colm_ptrptr* t, std::int32_t c, quoly v) {
  if (sparse_val_iszero(v)) {
    free_quoly(&v);
    return;
  }
  v->next = nullptr;
  *t = insert_at(*t, c, v);
}

// The entry at *t := its value + v (plus), - v, or v - its value
// (reversed); removed when that is zero. Answers the link past it. v: kept
colm_ptrptr combine_entry(colm_ptrptr t, quoly v, bool plus, bool reversed) {
  quoly& x = (*t)->val;
  if (plus) {
    better_quoly_add(x, v, &x);
  } else if (!reversed) {
    better_quoly_sub(x, v, &x);
  } else {
    quoly_sub(v, x, &x);
  }
  if (!sparse_val_iszero(x)) return &(*t)->next;
  free_colm(t);
  return t;
}

// A copy of v (neg: of -v) for an entry of its own.
quoly copy_value(quoly v, bool neg) {
  quoly r = copy_of(v, neg);
  r->next = nullptr;
  return r;
}

// Calls f(head link, row) for each of the rows.
template <class F>
void each_row(sparseptr sp, std::int32_t rows, F f) {
  std::int32_t r = 1;
  for (sparseptr fr = sp; fr != nullptr && r <= rows; fr = fr->next) {
    for (int s = 0; s < sparse_frame_rows && r <= rows; ++s, ++r) f(&fr->indx[s], r);
  }
}

// target := target +- source row by row, in place (source kept). With
// switch_1 a difference is source - target.
void add_onto(sparseptr target, sparseptr source, bool switch_1, bool plus, std::int32_t row) {
  sparseptr sf = source;
  std::int32_t r = 1;
  for (sparseptr tf = target; tf != nullptr && r <= row; tf = tf->next, sf = sf->next) {
    for (int slot = 0; slot < sparse_frame_rows && r <= row; ++slot, ++r) {
      colm_ptrptr t = &tf->indx[slot];
      colm_ptr s = sf->indx[slot];
      for (;;) {
        colm_ptr e = *t;
        if (e == nullptr && s == nullptr) break;
        if (s == nullptr || (e != nullptr && e->coord < s->coord)) {
          if (switch_1 && !plus) quoly_inplace(e->val);
          t = &e->next;
        } else if (e == nullptr || s->coord < e->coord) {
          t = insert_at(t, s->coord, copy_value(s->val, !plus && !switch_1));
          s = s->next;
        } else {
          t = combine_entry(t, s->val, plus, switch_1);
          s = s->next;
        }
      }
    }
  }
}

}  // namespace

void mult_cons_sparse(sparseptr* spar, quoly n2, bool free, std::int32_t row) {
  if (!free) {
    sparseptr result = nullptr;
    sparse_init(&result, row);
    RowWalk out(result, 1), in(*spar, 1);
    for (std::int32_t r = 1; r <= row; ++r, out.next(), in.next()) {
      colm_ptrptr t = out.head();
      for (colm_ptr e = in.first(); e != nullptr; e = e->next) {
        quoly v = nullptr;
        quoly_mult(e->val, n2, &v);
        insert_unless_zero(&t, e->coord, v);
      }
    }
    *spar = result;
    return;
  }
  each_row(*spar, row, [&](colm_ptrptr h, std::int32_t) {
    colm_ptrptr t = h;
    while (*t != nullptr) {
      quoly& v = (*t)->val;
      bool remove = false;
      // The word way is the floating one: outside floating mode the
      // numbers hold no long doubles, and integerflag keeps exact values
      // exact.
      if (!(flotemode && integerflag && v->numb && n2->numb)) {
        quoly m = n2;
        fast_quoly_mult(&v, &m);
        remove = sparse_val_iszero(v);
      } else {
        int_mult(v->ncoef, n2->ncoef, v->ncoef);
      }
      if (remove) {
        free_colm(t);
      } else {
        t = &(*t)->next;
      }
    }
  });
}

void add_sparses(sparseptr* spar, sparseptr* spar2, bool arr_free, bool arr2_free, std::int32_t row,
                 bool plus) {
  if (!arr_free && !arr2_free) {
    sparseptr result = nullptr;
    sparse_init(&result, row);
    RowWalk out(result, 1), in_a(*spar, 1), in_b(*spar2, 1);
    for (std::int32_t r = 1; r <= row; ++r, out.next(), in_a.next(), in_b.next()) {
      colm_ptrptr t = out.head();
      colm_ptr a = in_a.first(), b = in_b.first();
      while (a != nullptr || b != nullptr) {
        if (b == nullptr || (a != nullptr && a->coord < b->coord)) {
          t = insert_at(t, a->coord, copy_value(a->val, false));
          a = a->next;
        } else if (a == nullptr || b->coord < a->coord) {
          t = insert_at(t, b->coord, copy_value(b->val, !plus));
          b = b->next;
        } else {
          quoly v = nullptr;
          if (plus) {
            quoly_add(a->val, b->val, &v);
          } else {
            quoly_sub(a->val, b->val, &v);
          }
          insert_unless_zero(&t, a->coord, v);
          a = a->next;
          b = b->next;
        }
      }
    }
    *spar = result;
    return;
  }
  if (arr_free && !arr2_free) {
    add_onto(*spar, *spar2, false, plus, row);
    return;
  }
  if (!arr_free) {
    add_onto(*spar2, *spar, true, plus, row);
    *spar = *spar2;
    *spar2 = nullptr;
    return;
  }
  // Both temporaries: B's entries move into A.
  sparseptr bfirst = *spar2;
  if (bfirst == *spar) {  // the same temporary twice
    if (plus) {
      add_onto(*spar, *spar, false, true, row);
    } else {
      free_sparse_data(*spar, row);
    }
    *spar2 = nullptr;
    return;
  }
  sparseptr bf = bfirst;
  std::int32_t r = 1;
  for (sparseptr tf = *spar; tf != nullptr && r <= row; tf = tf->next, bf = bf->next) {
    for (int slot = 0; slot < sparse_frame_rows && r <= row; ++slot, ++r) {
      colm_ptrptr t = &tf->indx[slot];
      colm_ptr b = bf->indx[slot];
      bf->indx[slot] = nullptr;
      while (b != nullptr) {
        colm_ptr e = *t;
        if (e != nullptr && e->coord < b->coord) {
          t = &e->next;
          continue;
        }
        colm_ptr bn = b->next;
        if (e == nullptr || b->coord < e->coord) {
          if (!plus) quoly_inplace(b->val);
          b->next = e;
          *t = b;
          t = &b->next;
        } else {
          t = combine_entry(t, b->val, plus, false);
          b->next = nullptr;
          free_sparse_row(b);
        }
        b = bn;
      }
    }
  }
  sparseptr last = bfirst;
  while (last->next != nullptr) last = last->next;
  free_frame_list(bfirst, last);
  *spar2 = nullptr;
}

void add_one_sparse(workptr arr, arr_descr* arr_facts, bool spar_free, sparseptr spar, bool plus) {
  const std::int32_t rows = arr_facts->rows;
  each_row(spar, rows, [&](colm_ptrptr h, std::int32_t r) {
    for (colm_ptr e = *h; e != nullptr; e = e->next) {
      quoly& cell = arr->stash[(r - 1) + (e->coord - 1) * rows];
      if (cell == nullptr) {
        cell = copy_value(e->val, !plus);
      } else if (plus) {
        better_quoly_add(cell, e->val, &cell);
      } else {
        better_quoly_sub(cell, e->val, &cell);
      }
    }
  });
  if (spar_free) free_sparse(&spar, rows, true);
}

void add_to_diag(quoly m, sparseptr spar, std::int32_t rows) {
  if (sparse_val_iszero(m)) return;
  each_row(spar, rows, [&](colm_ptrptr h, std::int32_t r) {
    colm_ptrptr t = h;
    while (*t != nullptr && (*t)->coord < r) t = &(*t)->next;
    if (*t != nullptr && (*t)->coord == r) {
      better_quoly_add((*t)->val, m, &(*t)->val);
      if (sparse_val_iszero((*t)->val)) free_colm(t);
    } else {
      insert_at(t, r, copy_value(m, false));
    }
  });
}

void extract_diagonal(workptr arr, workptr arr2, arr_descr* arr_facts, bool arr_free,
                      std::int32_t* rows, sparseptr* spar) {
  const std::int32_t nrows = *rows;
  const std::int32_t cols = descr_cols(arr_facts);
  const std::int32_t d = nrows < cols ? nrows : cols;
  std::vector<quoly> diag(static_cast<std::size_t>(d), nullptr);
  if (*spar != nullptr) {
    for (std::int32_t i = 1; i <= d; ++i) {
      quoly v = spar_retrieve(*spar, i, i);
      if (arr_free) {
        quoly c = nullptr;
        quoly_assign(v, &c);
        c->next = nullptr;
        v = c;
      }
      diag[static_cast<std::size_t>(i - 1)] = v;
    }
    free_sparse(spar, nrows, arr_free);
  } else {
    for (std::int32_t i = 0; i < d; ++i) {
      quoly& cell = arr2->stash[i + i * nrows];
      diag[static_cast<std::size_t>(i)] = cell;
      if (arr_free) cell = nullptr;
    }
    if (arr_free) {
      for (std::int32_t k = 0; k < nrows * cols; ++k) free_quoly(&arr2->stash[k]);
    }
  }
  for (std::int32_t i = 0; i < d; ++i) arr->stash[i] = diag[static_cast<std::size_t>(i)];
  set_descr(arr_facts, 1, d);
  *spar = nullptr;
  *rows = d;
}

void sum_arr(workptr arr, std::int32_t m, quolyptr n) {
  quoly_set(0, n);
  (*n)->next = nullptr;
  if (flotemode && integerflag) {  // the floating word way (numbers only)
    long double s = 0;
    for (std::int32_t k = 0; k < m; ++k)
      if (arr->stash[k] != nullptr) s += arr->stash[k]->ncoef->flote;
    (*n)->ncoef->flote = s;
    return;
  }
  for (std::int32_t k = 0; k < m; ++k) {
    if (arr->stash[k] != nullptr) better_quoly_add(*n, arr->stash[k], n);
  }
}

void sparse_sum(quolyptr n, sparseptr spar, std::int32_t rows) {
  quoly_set(0, n);
  (*n)->next = nullptr;
  each_row(spar, rows, [&](colm_ptrptr h, std::int32_t) {
    for (colm_ptr e = *h; e != nullptr; e = e->next) better_quoly_add(*n, e->val, n);
  });
}

void sparse_trace(quolyptr n, sparseptr spar, std::int32_t rows) {
  quoly_set(0, n);
  (*n)->next = nullptr;
  each_row(spar, rows, [&](colm_ptrptr h, std::int32_t r) {
    colm_ptr e = *h;
    while (e != nullptr && e->coord < r) e = e->next;
    if (e != nullptr && e->coord == r) better_quoly_add(*n, e->val, n);
  });
}

namespace {

bool positive_number(quoly v) {
  if (flotemode) return v->ncoef->flote > 0;
  if (lintmode) return v->ncoef->lint > 0;
  return v->ncoef->head != nullptr && v->ncoef->head->value > 0;
}

}  // namespace

void sparse_max_min(sparseptr spar, std::int32_t rows, std::int32_t cols, bool max, bool pos_only,
                    quolyptr n) {
  const bool only_positive = pos_only && !max;
  nodes::OwnedValue zero;
  quoly_set(0, zero.cell());
  bool zero_seen = only_positive;  // the absent 0 is then never a candidate
  quoly best = nullptr;
  std::int32_t best_pos = addresser - 1;
  auto visit = [&](quoly v, std::int32_t r, std::int32_t c) {
    if (!v->numb) {
      error(entry_not_number_119_error, &expsign);
      return;
    }
    if (only_positive && !positive_number(v)) return;
    if (best == nullptr || (max ? quoly_larger(v, best) : quoly_larger(best, v))) {
      best = v;
      best_pos = (c - 1) * rows + r + addresser - 1;
    }
  };
  each_row(spar, rows, [&](colm_ptrptr h, std::int32_t r) {
    std::int32_t expected = 1;
    for (colm_ptr e = *h; e != nullptr; e = e->next) {
      if (!zero_seen && e->coord > expected) {
        zero_seen = true;
        visit(zero.q, r, expected);
      }
      visit(e->val, r, e->coord);
      expected = e->coord + 1;
    }
    if (!zero_seen && expected <= cols) {
      zero_seen = true;
      visit(zero.q, r, expected);
    }
  });
  quoly_set_integer(best_pos, n);
  (*n)->next = nullptr;
}

}  // namespace tavrin
