#include "arrays/sparse_store.h"

#include <algorithm>
#include <cstring>

#include "arrays/array_store.h"

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/mixed_mode.h"
#include "numbers/node_handles.h"
#include "numbers/stash/stash.h"
#include "poly/poly_add.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "toplevel/state.h"

namespace tavrin {

namespace {

// A fresh entry (c, v) linked into the link *t.
colm_ptr link_entry(colm_ptrptr t, std::int32_t c, quoly v) {
  colm_ptr e = nullptr;
  newcolm(&e);
  e->coord = c;
  e->val = v;
  e->next = *t;
  *t = e;
  return e;
}

// A fresh number value holding the word n in the current mode (a residue in
// modular mode).
quoly word_value(std::int32_t n) {
  quoly v = nullptr;
  quoly_set_image(n, &v);
  return v;
}

// The row head link and column of a user-array position (subscripts from
// addresser).
colm_ptrptr user_position(std::int32_t r, std::int32_t c, arrptr q, bool colflag,
                          std::int32_t* col) {
  std::int32_t row0 = 0;
  if (colflag) {
    row0 = r - addresser;
    *col = c - addresser + 1;
  } else {
    const std::int32_t k = r - addresser;
    row0 = k % q->rows;
    *col = k / q->rows + 1;
  }
  sparseptr f = q->spar;
  for (std::int32_t i = row0 / sparse_frame_rows; i > 0; --i) f = f->next;
  return &f->indx[row0 % sparse_frame_rows];
}

// The link of the row at t whose target is the first entry with coord >= c.
colm_ptrptr seek(colm_ptrptr t, std::int32_t c) {
  while (*t != nullptr && (*t)->coord < c) t = &(*t)->next;
  return t;
}

// The link at a user-array position whose target is the first entry at or
// after its column; *col := the column.
colm_ptrptr find_position(std::int32_t r, std::int32_t c, arrptr q, bool colflag,
                          std::int32_t* col) {
  colm_ptrptr head = user_position(r, c, q, colflag, col);
  return seek(head, *col);
}

// Calls f(head link, row) for each of the rows of sp, frame by frame.
template <class F>
void for_rows(sparseptr sp, std::int32_t rows, F f) {
  std::int32_t r = 1;
  for (sparseptr fr = sp; fr != nullptr && r <= rows; fr = fr->next) {
    for (int s = 0; s < sparse_frame_rows && r <= rows; ++s, ++r) f(&fr->indx[s], r);
  }
}

// Calls f(entry) for every entry of the rows; stops when f returns false.
template <class F>
bool all_entries(sparseptr sp, std::int32_t rows, F f) {
  bool go = true;
  for_rows(sp, rows, [&](colm_ptrptr h, std::int32_t) {
    for (colm_ptr e = *h; go && e != nullptr; e = e->next) go = f(e);
  });
  return go;
}

}  // namespace

bool sparse_val_iszero(quoly v) {
  if (!v->numb) return false;
  if (flotemode) return v->ncoef->flote == 0;
  if (lintmode) return v->ncoef->lint == 0;
  return v->ncoef->head == nullptr || v->ncoef->head->value == 0;
}

void check_sparse_rows(std::int64_t r) {
  if (totalavailablememory == 0 || r <= 0) return;
  const std::uint64_t frames =
      (static_cast<std::uint64_t>(r) + sparse_frame_rows - 1) / sparse_frame_rows;
  if (frames * sizeof(rowarray) > totalavailablememory)
    abandon(sparse_matrix_too_large_operation_error, &token);
}

namespace {

std::uint64_t number_bytes(const number* n) {
  if (n == nullptr) return 0;
  return sizeof(number) + static_cast<std::uint64_t>(std::max(n->size, 0)) * sizeof(numnode);
}

std::uint64_t poly_bytes(poly p) {
  std::uint64_t b = 0;
  for (; p != nullptr; p = p->next)
    b += sizeof(polynode) + (p->numb ? number_bytes(p->ncoef) : poly_bytes(p->pcoef));
  return b;
}

}  // namespace

std::uint64_t sparse_entry_bytes(quoly n) {
  const std::uint64_t cell = sizeof(colnode) + sizeof(quolynode);
  if (n->numb) return cell + number_bytes(n->ncoef);
  return cell + poly_bytes(n->numer) + poly_bytes(n->denom);
}

std::uint64_t sparse_word_entry_bytes() {
  const std::uint64_t least = sizeof(colnode) + sizeof(quolynode) + sizeof(number);
  return lintmode || flotemode ? least : least + sizeof(numnode);
}

void check_sparse_entries(std::int64_t count, std::uint64_t bytes) {
  if (totalavailablememory == 0 || count <= 0 || bytes == 0) return;
  // count * bytes > budget, without the product
  if (static_cast<std::uint64_t>(count) > totalavailablememory / bytes)
    abandon(sparse_matrix_too_large_operation_error, &token);
}

void check_sparse_bytes(std::uint64_t bytes) {
  if (totalavailablememory != 0 && bytes > totalavailablememory)
    abandon(sparse_matrix_too_large_operation_error, &token);
}

void sparse_init(sparseptr* spar, std::int32_t r) {
  check_sparse_rows(r);
  *spar = nullptr;
  sparseptr* link = spar;
  for (std::int32_t left = r; left > 0; left -= sparse_frame_rows) {
    sparseptr f = nullptr;
    newsparse(&f);
    f->notdone = false;
    // The heads of the rows the frame holds are cleared (a recycled frame
    // then holds nothing stale in them); slots past the last row are never
    // read, and clearing all 2048 dominated small matrices.
    std::fill_n(f->indx, std::min(left, sparse_frame_rows), nullptr);
    f->next = nullptr;
    *link = f;
    link = &f->next;
  }
}

sparseptr sparse_frame_of(sparseptr sp, std::int32_t r) {
  for (std::int32_t f = (r - 1) / sparse_frame_rows; f > 0; --f) sp = sp->next;
  return sp;
}

void get_sparse_colm(sparseptr sp, std::int32_t r, std::int32_t c, colm_ptrptr* t) {
  *t = seek(&sp->indx[(r - 1) % sparse_frame_rows], c);
}

quolyptr get_sparse(std::int32_t r, std::int32_t c, colm_ptrptr* t, sparseptr* isp) {
  colm_ptrptr at = seek(*t, c);
  quolyptr result = (*at != nullptr && (*at)->coord == c) ? &(*at)->val : nullptr;
  if (r % sparse_frame_rows != 0) {
    *t = &(*isp)->indx[r % sparse_frame_rows];
  } else if ((*isp)->next != nullptr) {
    *isp = (*isp)->next;
    *t = &(*isp)->indx[0];
  }
  return result;
}

quoly spar_retrieve(sparseptr sp, std::int32_t r, std::int32_t c) {
  colm_ptr e = *seek(sparse_row(sp, r), c);
  return (e != nullptr && e->coord == c) ? e->val : quol_num_0;
}

void sparse_qq_set(std::int32_t i, sparseptr* sp, quoly* qq) {
  colm_ptr e = (*sp)->indx[(i - 1) % sparse_frame_rows];
  if (i % sparse_frame_rows == 0) *sp = (*sp)->next;
  while (e != nullptr && e->coord < i) e = e->next;
  if (e == nullptr) {
    tavrin_error("bad t in sparse_qq_set, 1.", true);
  } else if (e->coord != i) {
    tavrin_error("bad t in sparse_qq_set, 2.", true);
  } else {
    *qq = e->val;
  }
}

// ---- Entries of user arrays ----------------------------------------------------------------

void sparse_set(std::int32_t r, std::int32_t c, arrptr q, quolyptr* qp, bool colflag) {
  std::int32_t col = 0;
  colm_ptrptr t = find_position(r, c, q, colflag, &col);
  *qp = &link_entry(t, col, word_value(0))->val;
}

void sparse_insert(std::int32_t r, std::int32_t c, arrptr q, bool colflag, quolyptr n) {
  if (sparse_val_iszero(*n)) return;
  std::int32_t col = 0;
  colm_ptrptr t = find_position(r, c, q, colflag, &col);
  quoly v = nullptr;
  quoly_assign(*n, &v);
  v->next = nullptr;
  link_entry(t, col, v);
}

void isparse_insert(std::int32_t r, std::int32_t c, std::int32_t n, arrptr q, bool colflag,
                    bool assign) {
  std::int32_t col = 0;
  colm_ptrptr t = find_position(r, c, q, colflag, &col);
  if (*t == nullptr || (*t)->coord != col) {
    if (n == 0) return;
    quoly w = word_value(n);
    if (sparse_val_iszero(w)) {
      free_quoly(&w);  // n is 0 in the ring
      return;
    }
    link_entry(t, col, w);
    return;
  }
  if (n == 0) {
    if (assign) free_colm(t);
    return;
  }
  quoly& v = (*t)->val;
  if (assign || !v->numb) {
    quoly w = word_value(n);
    if (assign) {
      free_quoly(&v);
      v = w;
    } else {
      best_quoly_add(&v, w);
    }
  } else if (flotemode) {
    v->ncoef->flote += n;
  } else if (modularmode) {
    quoly w = word_value(n);
    best_quoly_add(&v, w);
  } else if (lintmode) {
    v->ncoef->lint = static_cast<std::int32_t>(static_cast<std::uint32_t>(v->ncoef->lint) +
                                               static_cast<std::uint32_t>(n));
  } else {
    number add{};
    setvalue(n, &add);
    fastsum(v->ncoef, &add);
    special_free(&add);
  }
  if (sparse_val_iszero(v)) free_colm(t);
}

void sparse_delete(std::int32_t r, std::int32_t c, arrptr q, bool colflag) {
  std::int32_t col = 0;
  free_colm(find_position(r, c, q, colflag, &col));
}

void sparse_zero_set(colm_ptrptr t, std::int32_t c, quolyptr* qp) {
  *qp = &link_entry(seek(t, c), c, word_value(0))->val;
}

void purge_sparse(colm_ptrptr t, std::int32_t c) {
  t = seek(t, c);
  if (*t != nullptr && (*t)->coord == c && sparse_val_iszero((*t)->val)) free_colm(t);
}

void free_colm(colm_ptrptr t) {
  colm_ptr e = *t;
  *t = e->next;
  free_quoly(&e->val);
  free_colm_list(e, e);
}

// ---- Whole matrices -------------------------------------------------------------------

void standard_to_sparse(arrptr q, workptr arr, std::int32_t cols, bool arr_free) {
  const std::int32_t rows = q->rows;
  SparseHold fresh;
  sparse_init(&fresh.sp, rows);
  fresh.rows = rows;
  for_rows(fresh.sp, rows, [&](colm_ptrptr h, std::int32_t i) {
    colm_ptrptr t = h;
    for (std::int32_t j = 1; j <= cols; ++j) {
      quoly& cell = arr->stash[(i - 1) + (j - 1) * rows];
      if (cell == nullptr || sparse_val_iszero(cell)) continue;
      quoly v = nullptr;
      if (arr_free) {
        v = cell;
        cell = nullptr;
      } else {
        quoly_assign(cell, &v);
        v->next = nullptr;
      }
      t = &link_entry(t, j, v)->next;
    }
  });
  put_back_sparse(fresh.sp, q->spar, rows);
}

void sparse_set_scalar(arrptr q, std::int32_t cols, quoly n) {
  const std::int32_t rows = q->rows;
  if (sparse_val_iszero(n)) {
    free_sparse_data(q->spar, rows);
    return;
  }
  check_sparse_entries(static_cast<std::int64_t>(rows) * cols, sparse_entry_bytes(n));
  SparseHold fresh;
  sparse_init(&fresh.sp, rows);
  fresh.rows = rows;
  for_rows(fresh.sp, rows, [&](colm_ptrptr h, std::int32_t) {
    colm_ptrptr t = h;
    for (std::int32_t j = 1; j <= cols; ++j) {
      quoly v = nullptr;
      quoly_assign(n, &v);
      v->next = nullptr;
      t = &link_entry(t, j, v)->next;
    }
  });
  put_back_sparse(fresh.sp, q->spar, rows);
}

void copy_syst(workptr arr, std::int32_t rows, sparseptr* spar) {
  if (syst->spar == nullptr) {
    for (std::int32_t k = 0; k <= syst->stop; ++k) {
      arr->stash[k] = nullptr;
      if (syst_stash->stash[k] != nullptr) {
        quoly_assign(syst_stash->stash[k], &arr->stash[k]);
        arr->stash[k]->next = nullptr;
      }
    }
    return;
  }
  sparse_init(spar, rows);
  sparseptr src = syst->spar;
  for_rows(*spar, rows, [&](colm_ptrptr h, std::int32_t r) {
    colm_ptrptr t = h;
    for (colm_ptr e = *sparse_row(src, r); e != nullptr; e = e->next) {
      quoly v = nullptr;
      quoly_assign(e->val, &v);
      v->next = nullptr;
      t = &link_entry(t, e->coord, v)->next;
    }
  });
}

void quick_sparse_create(sparseptr sp, const tokentipe* let, std::int32_t r, std::int32_t c,
                         bool liner) {
  arrptr a = nullptr;
  newarray(&a);
  a->start = 0;
  a->stop = -1;
  special_set_2(r, c, &a->sizearr);
  link_array_record(a, let, r, liner, sp);
}

namespace {

// A rational function becomes its numerator, a number when that is a
// constant.
void drop_denominator(quolyptr cell) {
  if ((*cell)->numb) return;
  writable_value(cell);  // a value a reader holds stays as it is for the reader
  const quoly v = *cell;
  free_poly(&v->denom);
  v->rat = false;
  poly nu = v->numer;
  if (nu->numb && nu->next == nullptr) {
    imptr num = nu->ncoef;
    nu->ncoef = nullptr;
    free_polynode_list(nu, nu);
    v->numb = true;
    v->ncoef = num;
    v->arr_arg = false;
  }
}

}  // namespace

void killdenoms(sparseptr spar, std::int32_t spot, std::int32_t total_rows,
                std::int32_t target_rows, std::int32_t cols) {
  if (spar == nullptr) {
    for (std::int32_t j = 0; j < cols; ++j) {
      for (std::int32_t i = 0; i < target_rows; ++i) {
        const std::int32_t k = spot + i + j * total_rows;
        if (*arp_cell(k) == nullptr) {
          quoly zero = nullptr;
          check_and_assign(k, &zero);
        }
        drop_denominator(arp_cell(k));
      }
    }
    return;
  }
  all_entries(spar, total_rows, [](colm_ptr e) {
    drop_denominator(&e->val);
    return true;
  });
}

// ---- Freeing -------------------------------------------------------------------------------

void free_sparse_row(colm_ptr first) {
  if (first == nullptr) return;
  colm_ptr last = first;
  for (colm_ptr e = first;; e = e->next) {
    free_quoly(&e->val);
    last = e;
    if (e->next == nullptr) break;
  }
  free_colm_list(first, last);
}

namespace {

void give_back_frames(sparseptr spar) {
  if (spar == nullptr) return;
  sparseptr last = spar;
  while (last->next != nullptr) last = last->next;
  free_frame_list(spar, last);
}

// Gives back the entries of a row without their values.
void drop_row_entries(colm_ptr first) {
  if (first == nullptr) return;
  colm_ptr last = first;
  while (last->next != nullptr) last = last->next;
  free_colm_list(first, last);
}

}  // namespace

void free_sparse(sparseptr* spar, std::int32_t dim, bool arr_free) {
  if (arr_free && *spar != nullptr) {
    free_sparse_data(*spar, dim);
    give_back_frames(*spar);
  }
  *spar = nullptr;
}

void free_sparse_data(sparseptr sp, std::int32_t dim) {
  for_rows(sp, dim, [](colm_ptrptr h, std::int32_t) {
    free_sparse_row(*h);
    *h = nullptr;
  });
}

void free_sparse_frame(sparseptr* spar, std::int32_t dim) {
  free_stuff(*spar, dim);
  *spar = nullptr;
}

void free_stuff(sparseptr spar, std::int32_t row) {
  for_rows(spar, row, [](colm_ptrptr h, std::int32_t) {
    drop_row_entries(*h);
    *h = nullptr;
  });
  give_back_frames(spar);
}

// ---- The word-residue form ----------------------------------------------------------------

void move_data_into_quoly(sparseptr sp, std::int32_t rows) {
  all_entries(sp, rows, [](colm_ptr e) {
    const std::int32_t w = e->val->ncoef->lint;
    free_quoly(&e->val);
    set_colm_word(e, w);
    return true;
  });
}

void move_data_outof_quoly(sparseptr sp, std::int32_t rows) {
  all_entries(sp, rows, [](colm_ptr e) {
    const std::int32_t w = colm_word(e);
    if (w == 0) tavrinerror("0 value in move_data_outof_quoly.");
    e->val = nullptr;
    quoly_set(w, &e->val);
    e->val->next = nullptr;
    return true;
  });
}

void put_back_sparse(sparseptr dup, sparseptr spar, std::int32_t rows) {
  sparseptr from = dup;  // the frame of dup beside spar's
  for_rows(spar, rows, [&](colm_ptrptr to, std::int32_t r) {
    colm_ptrptr head = &from->indx[(r - 1) % sparse_frame_rows];
    free_sparse_row(*to);
    *to = *head;
    *head = nullptr;
    if (r % sparse_frame_rows == 0) from = from->next;
  });
}

// ---- Predicates --------------------------------------------------------------------------

void sparse_iszero(sparseptr spar, std::int32_t rows, bool* ans) {
  for_rows(spar, rows, [&](colm_ptrptr h, std::int32_t) {
    if (*h != nullptr) *ans = false;
  });
}

bool sparse_has_unreduced(sparseptr sp, std::int32_t rows) {
  return !all_entries(sp, rows, [](colm_ptr e) { return !nodes::unreduced_integer(e->val); });
}

void sparse_settle_integers(sparseptr sp, std::int32_t rows) {
  for_rows(sp, rows, [](colm_ptrptr h, std::int32_t) {
    for (colm_ptrptr t = h; *t != nullptr;) {
      quoly v = (*t)->val;
      if (!nodes::unreduced_integer(v)) {
        t = &(*t)->next;
        continue;
      }
      nodes::settle_integer_inplace(v);
      if (v->ncoef->lint == 0) {
        free_colm(t);
      } else {
        t = &(*t)->next;
      }
    }
  });
}

bool sparse_allnumbs(sparseptr sp, std::int32_t rows) {
  return all_entries(sp, rows, [](colm_ptr e) { return e->val->numb; });
}

bool sparse_allpolys(sparseptr sp, std::int32_t rows, bool* allnumbs) {
  *allnumbs = true;
  return all_entries(sp, rows, [&](colm_ptr e) {
    if (e->val->numb) return true;
    *allnumbs = false;
    return e->val->denom == nullptr;
  });
}

namespace {

std::int16_t numerator_depth(poly p) {
  std::int16_t level = 1;
  for (;;) {
    if (p->numb) return p->next != nullptr ? level : std::int16_t{16384};
    if (p->exp != 0 || p->next != nullptr) return level;
    p = p->pcoef;
    ++level;
  }
}

}  // namespace

std::int16_t sparse_polydepth(sparseptr sp, std::int32_t rows) {
  std::int16_t best = 16384;
  all_entries(sp, rows, [&](colm_ptr e) {
    if (!e->val->numb) {
      const std::int16_t d = numerator_depth(e->val->numer);
      if (d < best) best = d;
    }
    return true;
  });
  return best;
}

bool sparse_one_var_polys(sparseptr sp, std::int32_t rows) {
  std::int16_t level_found = 0;
  return all_entries(sp, rows, [&](colm_ptr e) {
    quoly v = e->val;
    if (v->numb) return true;
    if (v->denom != nullptr) return false;
    std::int16_t level = 0;
    if (!all_coefs_numb(v->numer, &level)) return false;
    if (level_found == 0) level_found = level;
    return level == level_found;
  });
}

bool sparse_negexponents(sparseptr sp, std::int32_t m) {
  return !all_entries(sp, m, [](colm_ptr e) { return e->val->numb || !anynegs(e->val->numer); });
}

bool negexponents(workptr ar, std::int32_t m) {
  for (std::int64_t k = 0; k < std::int64_t{m} * m; ++k) {
    quoly v = ar->stash[k];
    if (!v->numb && anynegs(v->numer)) return true;
  }
  return false;
}

// ---- The settings reader ------------------------------------------------------------------

void get_stream(nameptr* p, textptr inf, nameptr flag) {
  *p = nullptr;
  nameptr* tail = p;
  const bool from_text = flag != nullptr;
  bool appended = false;
  auto append = [&](const tokentipe& tok) {
    nameptr n = nodes::new_name(tok);
    *tail = n;
    tail = &n->next;
    appended = true;
  };
  tokentipe tok{};
  for (;;) {
    // The scanner delivers the node after *flag and moves *flag onto it, so
    // the chain is used up when that node is the last one.
    if (from_text ? flag->next == nullptr : (*inf)->at_eof()) break;
    scanner(inf, &tok, &flag);
    if (from_text) {
      if (flag->next == nullptr || std::strcmp(tok.name, end_marker_name) == 0) break;
    } else {
      const int next = (*inf)->peek();
      if (next == '\n' && std::strcmp(tok.name, ";") == 0) break;
      if (next == EOF && std::strcmp(tok.name, ";") == 0) break;
    }
    append(tok);
    if (std::strcmp(tok.name, ")") == 0 && func_def_count == 0) break;
  }
  if (appended) {
    tokentipe end{};
    std::strcpy(end.name, ";");
    end.address = -1;
    append(end);
  }
}

}  // namespace tavrin
