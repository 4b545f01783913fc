#include "matrix/sparse_copy.h"

#include <vector>

#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/word_mod.h"
#include "poly/poly_repr.h"
#include "arrays/sparse_store.h"

namespace tavrin {

namespace {

// Builds *t, a new matrix of dim rows whose row r holds, in order, the
// entries (coord, make(val)) of row r of s.
template <class Make>
void copy_rows(sparseptr s, sparseptr* t, std::int32_t dim, Make make) {
  sparse_init(t, dim);
  sparseptr sf = s;
  std::int32_t r = 1;
  for (sparseptr tf = *t; tf != nullptr; tf = tf->next, sf = sf->next) {
    for (int slot = 0; slot < sparse_frame_rows && r <= dim; ++slot, ++r) {
      colm_ptrptr link = &tf->indx[slot];
      for (colm_ptr e = sf->indx[slot]; e != nullptr; e = e->next) {
        colm_ptr n = nullptr;
        newcolm(&n);
        n->coord = e->coord;
        make(e, n);
        *link = n;
        link = &n->next;
      }
      *link = nullptr;
    }
  }
}

poly copy_leaf(poly src) {
  poly n = nullptr;
  newpoly(&n);
  n->numb = true;
  n->exp = src->exp;
  n->next = nullptr;
  init_poly_node(n);
  num_assign(src->ncoef, n->ncoef);
  return n;
}

// A copy of the list p node by node: leaves copied; a term's coefficient
// list copied node by node when `shallow`, deeper coefficients whole.
poly copy_list(poly p, bool shallow) {
  poly head = nullptr;
  poly* link = &head;
  for (; p != nullptr; p = p->next) {
    poly n = nullptr;
    if (p->numb) {
      n = copy_leaf(p);
    } else {
      n = nodes::new_term(p->exp, nullptr);
      if (shallow) {
        n->pcoef = copy_list(p->pcoef, false);
      } else {
        poly_assign(p->pcoef, &n->pcoef);
      }
    }
    n->next = nullptr;
    *link = n;
    link = &n->next;
  }
  return head;
}

}  // namespace

quoly copy_of(quoly a, bool neg) {
  quoly r = nullptr;
  if (neg) {
    quoly_makeneg(a, &r);
  } else {
    quoly_assign(a, &r);
  }
  return r;
}

void copy_sparse(sparseptr* s, sparseptr* t, std::int32_t dim, bool neg) {
  copy_rows(*s, t, dim, [neg](colm_ptr e, colm_ptr n) {
    n->val = copy_of(e->val, neg);
    n->val->next = nullptr;
  });
}

void one_var_copy_sparse(sparseptr* s, sparseptr* t, std::int32_t dim) {
  copy_rows(*s, t, dim, [](colm_ptr e, colm_ptr n) {
    n->val = nullptr;
    one_var_quoly_assign(e->val, &n->val);
  });
}

void one_var_quoly_assign(quoly p, quolyptr q) {
  quoly v = nullptr;
  newquoly(&v);
  v->next = nullptr;
  v->numb = p->numb;
  if (p->numb) {
    v->arr_arg = false;
    newimag(&v->ncoef);
    num_assign(p->ncoef, v->ncoef);
  } else {
    v->denom = nullptr;
    v->rat = lintmode ? false : p->rat;
    poly level = p->numer;
    while (!level->numb && level->exp == 0) level = level->pcoef;
    v->numer = copy_list(level, true);
  }
  free_quoly(q);
  *q = v;
}

void special_copy_sparse(sparseptr* s, sparseptr* t, std::int32_t dim) {
  copy_rows(*s, t, dim, [](colm_ptr e, colm_ptr n) { set_colm_word(n, e->val->ncoef->lint); });
}

void sparse_makeneg(sparseptr* spar, std::int32_t rows, bool* arr_free) {
  if (!*arr_free) {
    sparseptr copy = nullptr;
    copy_sparse(spar, &copy, rows, true);
    *spar = copy;
  } else {
    std::int32_t r = 1;
    for (sparseptr f = *spar; f != nullptr && r <= rows; f = f->next) {
      for (int slot = 0; slot < sparse_frame_rows && r <= rows; ++slot, ++r) {
        for (colm_ptr e = f->indx[slot]; e != nullptr; e = e->next) quoly_inplace(e->val);
      }
    }
  }
  *arr_free = true;
}

void spar_identi(sparseptr* spar, std::int32_t rows, bool arr_free) {
  check_sparse_entries(rows, sparse_word_entry_bytes());  // before *spar is freed
  free_sparse(spar, rows, arr_free);
  sparse_init(spar, rows);
  std::int32_t r = 1;
  for (sparseptr f = *spar; f != nullptr; f = f->next) {
    for (int slot = 0; slot < sparse_frame_rows && r <= rows; ++slot, ++r) {
      colm_ptr n = nullptr;
      newcolm(&n);
      n->coord = r;
      n->next = nullptr;
      n->val = nullptr;
      quoly_set(1, &n->val);
      n->val->next = nullptr;
      f->indx[slot] = n;
    }
  }
}

namespace {

// The transpose of spar into a fresh col-row chain; `take` gives the entry to
// push for a source entry.
template <class Take>
sparseptr transpose(sparseptr spar, std::int32_t row, std::int32_t col, Take take) {
  sparseptr result = nullptr;
  sparse_init(&result, col);
  std::vector<sparseptr> target;
  for (sparseptr f = result; f != nullptr; f = f->next) target.push_back(f);
  std::vector<sparseptr> source;
  for (sparseptr f = spar;
       f != nullptr && static_cast<std::int32_t>(source.size()) < sparse_frame_count(row);
       f = f->next)
    source.push_back(f);
  // Rows from the last to the first: each push to the front of a target row
  // leaves it in increasing order.
  for (std::int32_t i = row; i >= 1; --i) {
    colm_ptr e = source[static_cast<std::size_t>((i - 1) / sparse_frame_rows)]
                     ->indx[(i - 1) % sparse_frame_rows];
    while (e != nullptr) {
      colm_ptr nx = e->next;
      const std::int32_t c = e->coord;
      colm_ptr n = take(e);
      n->coord = i;
      colm_ptr& head = target[static_cast<std::size_t>((c - 1) / sparse_frame_rows)]
                           ->indx[(c - 1) % sparse_frame_rows];
      n->next = head;
      head = n;
      e = nx;
    }
  }
  return result;
}

}  // namespace

void flip_sparse(sparseptr spar, sparseptr* spar2, std::int32_t row, std::int32_t col) {
  *spar2 = transpose(spar, row, col, [](colm_ptr e) {
    colm_ptr n = nullptr;
    newcolm(&n);
    n->val = e->val;
    return n;
  });
}

void trans_sparse(sparseptr* spar, std::int32_t row, std::int32_t col) {
  sparseptr old = *spar;
  *spar = transpose(old, row, col, [](colm_ptr e) { return e; });
  if (old != nullptr) {
    sparseptr last = old;
    while (last->next != nullptr) last = last->next;
    free_frame_list(old, last);
  }
}

// Word-residue form: row i := row i - f * (the pivot row after its pivot),
// where row i's first entry, head, lies in the pivot column and cancels;
// head is unlinked and given back. Zero results are unlinked.
void eliminate_residue_row(colm_ptrptr row_i, colm_ptr pivot_rest, std::uint32_t f) {
  colm_ptr head = *row_i;
  const auto p = static_cast<std::uint32_t>(modulus);
  colm_ptrptr cur = &head->next;
  for (colm_ptr pp = pivot_rest; pp != nullptr; pp = pp->next) {
    while (*cur != nullptr && (*cur)->coord < pp->coord) cur = &(*cur)->next;
    const auto prod =
        static_cast<std::uint32_t>(modmult(f, static_cast<std::uint32_t>(colm_word(pp))));
    if (*cur != nullptr && (*cur)->coord == pp->coord) {
      const std::uint32_t x = static_cast<std::uint32_t>(colm_word(*cur));
      const std::uint32_t v = finf ? x ^ prod : x >= prod ? x - prod : x + p - prod;
      if (v == 0) {
        colm_ptr gone = *cur;
        *cur = gone->next;
        free_colm_list(gone, gone);
      } else {
        set_colm_word(*cur, static_cast<std::int32_t>(v));
        cur = &(*cur)->next;
      }
    } else if (prod != 0) {
      colm_ptr fresh = nullptr;
      newcolm(&fresh);
      fresh->coord = pp->coord;
      set_colm_word(fresh, static_cast<std::int32_t>(finf ? prod : p - prod));
      fresh->next = *cur;
      *cur = fresh;
      cur = &fresh->next;
    }
  }
  *row_i = head->next;
  free_colm_list(head, head);
}

}  // namespace tavrin
