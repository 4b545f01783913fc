#include "arrays/monomial_sets.h"

#include <utility>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"
#include "toplevel/state.h"
#include "arrays/array_store.h"
#include "arrays/sparse_store.h"

namespace tavrin {

namespace {

// Equal keys: two numbers of equal value, or two polynomials whose
// numerators are equal (denominators not compared).
bool keys_equal(quoly a, quoly b) {
  if (a->numb != b->numb) return false;
  if (a->numb) return equal(a->ncoef, b->ncoef);
  return poly_equal(a->numer, b->numer);
}

// The sort over any row store: key(k) the key of row k, swap(a, b)
// exchanges two rows. The smaller side recurses, the larger loops, so the
// depth stays logarithmic; the ranges sorted are those of the plain
// two-sided recursion.
template <class Key, class Swap>
void quick_rows(std::int32_t i, std::int32_t j, const Key& key, const Swap& swap) {
  while (true) {
    if (j < i + 2) {
      if (j == i + 1 && quoly_mon_less(key(j), key(i))) swap(i, j);
      return;
    }
    // Partition with the median of three.
    const std::int32_t mid = i + (j - i) / 2;
    std::int32_t r;
    if (!quoly_mon_less(key(i), key(mid))) {
      r = quoly_mon_less(key(j), key(mid)) ? mid : quoly_mon_less(key(i), key(j)) ? i : j;
    } else {
      r = quoly_mon_less(key(j), key(i)) ? i : !quoly_mon_less(key(j), key(mid)) ? mid : j;
    }
    const quoly v = key(r);
    std::int32_t lo = i - 1, hi = j + 1;
    while (true) {
      ++lo;
      while (lo < j && quoly_mon_less_eq(key(lo), v)) ++lo;
      --hi;
      while (hi > i && quoly_mon_less(v, key(hi))) --hi;
      if (lo >= hi) break;
      swap(lo, hi);
    }
    std::int32_t a_hi, b_lo;
    if (r <= hi) {
      swap(r, hi);
      r = hi;
      const quoly pivot = key(r);
      std::int32_t k = r - 1;
      while (k >= i && keys_equal(key(k), pivot)) --k;
      std::int32_t m = r + 1;
      while (m <= j && keys_equal(key(m), pivot)) ++m;
      a_hi = k;
      b_lo = m;
    } else {
      a_hi = hi;
      b_lo = hi + 1;
    }
    if (a_hi - i < j - b_lo) {
      quick_rows(i, a_hi, key, swap);
      i = b_lo;
    } else {
      quick_rows(b_lo, j, key, swap);
      j = a_hi;
    }
  }
}

colm_ptrptr spsort_row(std::int32_t k) {
  return &spsort[k / sparse_frame_rows]->indx[k % sparse_frame_rows];
}

// Every row 0 .. rows - 1 of sp has an entry (370 with x otherwise).
void rows_filled(sparseptr sp, std::int32_t rows, const tokentipe* x) {
  for (std::int32_t k = 0; k < rows; ++k, sp = k % sparse_frame_rows == 0 ? sp->next : sp)
    if (sp->indx[k % sparse_frame_rows] == nullptr) abandon(sparse_array_empty_row_error, x);
}

std::int32_t cols_of(arrptr q) { return array_cols(q); }

// The heads of q's rows, detached from its frames.
std::vector<colm_ptr> take_rows(arrptr q) {
  std::vector<colm_ptr> out(static_cast<std::size_t>(q->rows));
  sparseptr sp = q->spar;
  for (std::int32_t k = 0; k < q->rows; ++k) {
    out[static_cast<std::size_t>(k)] = sp->indx[k % sparse_frame_rows];
    sp->indx[k % sparse_frame_rows] = nullptr;
    if ((k + 1) % sparse_frame_rows == 0) sp = sp->next;
  }
  return out;
}

// Gives q1 back the rows not taken (nil for a taken one).
void put_rows(arrptr q, const std::vector<colm_ptr>& rows) {
  sparseptr sp = q->spar;
  for (std::int32_t k = 0; k < q->rows; ++k) {
    sp->indx[k % sparse_frame_rows] = rows[static_cast<std::size_t>(k)];
    if ((k + 1) % sparse_frame_rows == 0) sp = sp->next;
  }
}

// q0 := the rows in result, in new frames (the old ones, empty, go back);
// no row: one empty row. Returns the row count.
std::int32_t install(arrptr q0, const std::vector<colm_ptr>& result, std::int32_t cols) {
  const std::int32_t old_rows = q0->rows;
  free_sparse_frame(&q0->spar, old_rows);
  const std::int32_t count = static_cast<std::int32_t>(result.size());
  sparse_init(&q0->spar, count == 0 ? 1 : count);
  sparseptr sp = q0->spar;
  for (std::int32_t k = 0; k < count; ++k) {
    sp->indx[k % sparse_frame_rows] = result[static_cast<std::size_t>(k)];
    if ((k + 1) % sparse_frame_rows == 0) sp = sp->next;
  }
  q0->rows = count == 0 ? 1 : count;
  set_entry_count(&q0->sizearr, static_cast<std::int64_t>(q0->rows) * cols);
  return count;
}

// a precedes b in the set order: a number precedes a polynomial, two
// numbers are equal, else the term order. *eq: equal keys.
bool precedes(quoly a, quoly b, bool* eq) {
  *eq = false;
  if (a->numb && b->numb) {
    *eq = true;
    return false;
  }
  if (a->numb) return true;
  if (b->numb) return false;
  const bool le = mon_less(a->numer, b->numer, eq);
  return le && !*eq;
}

// The merge of union (skip_equal) and merge.
std::int32_t merge_rows(arrptr q0, arrptr q1, bool skip_equal) {
  const std::int32_t cols = std::max(cols_of(q0), cols_of(q1));
  std::vector<colm_ptr> a = take_rows(q0);
  std::vector<colm_ptr> b = take_rows(q1);
  std::vector<colm_ptr> out;
  out.reserve(a.size() + b.size());
  std::size_t i = 0, k = 0;
  while (i < a.size() && k < b.size()) {
    bool eq = false;
    const bool first = precedes(a[i]->val, b[k]->val, &eq);
    if (skip_equal) {
      if (first || eq) {
        out.push_back(a[i++]);
        if (eq) ++k;  // stays in q1
      } else {
        out.push_back(b[k]);
        b[k++] = nullptr;
      }
    } else if (a[i]->val->numb || first || eq) {
      out.push_back(a[i++]);
    } else {
      out.push_back(b[k]);
      b[k++] = nullptr;
    }
  }
  while (i < a.size()) out.push_back(a[i++]);
  while (k < b.size()) {
    out.push_back(b[k]);
    b[k++] = nullptr;
  }
  put_rows(q1, b);
  return install(q0, out, cols);
}

// The writer of dump_mons: the path of exponents from level 1 down to the
// current term, and the next row to fill.
struct MonomialWriter {
  sparseptr frame;
  std::int32_t j = 0;  // rows used in the current frame
  bool strip;
  std::vector<std::int32_t> path;

  // One row: the monomial of the path over the coefficient c (a copy of a
  // leaf, or of a field-level list when whole_list).
  void store(poly c_src, bool whole_list) {
    poly c = nullptr;
    if (strip) {
      poly_set(1, &c);
    } else if (whole_list) {
      poly_assign(c_src, &c);
    } else {
      node_assign(c_src, &c);
    }
    // Pads between the deepest real exponent and a constant coefficient go.
    std::size_t depth = path.size();
    if (c->numb && c->next == nullptr)
      while (depth > 0 && path[depth - 1] == 0) --depth;
    while (depth > 0) c = nodes::new_term(path[--depth], c);
    quoly v = nullptr;
    use_up_poly(&c, &v);
    v->next = nullptr;
    add_row(v);
  }

  void add_row(quoly v) {
    if (j == sparse_frame_rows) {
      if (frame->next == nullptr) {
        sparseptr f;
        newsparse(&f);
        for (colm_ptr& h : f->indx) h = nullptr;
        f->next = nullptr;
        frame->next = f;
      }
      frame = frame->next;
      j = 0;
    }
    colm_ptr node;
    newcolm(&node);
    node->coord = 1;
    node->val = v;
    node->next = nullptr;
    frame->indx[j++] = node;
  }

  // The terms of the list p at level depth, in list order.
  void walk(poly p, std::int32_t depth) {
    const bool field = field_depth >= 1 && depth >= field_depth;
    for (poly t = p; t != nullptr; t = t->next) {
      if (field) {
        store(p, true);  // the whole list is the coefficient
        return;
      }
      if (t->numb) {
        store(t, false);
      } else {
        path.push_back(t->exp);
        walk(t->pcoef, depth + 1);
        path.pop_back();
      }
    }
  }
};

}  // namespace

void arraysort(workptr par, std::int32_t i, std::int32_t j, std::int32_t rows, std::int32_t cols) {
  auto key = [&](std::int32_t k) { return par->stash[k]; };
  auto swap = [&](std::int32_t a, std::int32_t b) {
    for (std::int32_t c = 0; c < cols; ++c)
      std::swap(par->stash[a + static_cast<std::int64_t>(c) * rows],
                par->stash[b + static_cast<std::int64_t>(c) * rows]);
  };
  quick_rows(i, j, key, swap);
}

void sparse_arraysort(std::int32_t i, std::int32_t, std::int32_t j, std::int32_t) {
  auto key = [](std::int32_t k) { return (*spsort_row(k))->val; };
  auto swap = [](std::int32_t a, std::int32_t b) { std::swap(*spsort_row(a), *spsort_row(b)); };
  quick_rows(i, j, key, swap);
}

void check_set_first_col(sparseptr sp, std::int32_t* j, std::int32_t r, const tokentipe* x) {
  if (using_spsort) abandon(sparse_sort_already_under_way_error, x);
  *j = r / sparse_frame_rows;
  if (*j > spsort_frames - 1) abandon(sparse_array_too_large_sort_error, x);
  sparseptr f = sp;
  for (std::int32_t k = 0; k <= *j; ++k, f = f->next) spsort[k] = f;
  rows_filled(sp, r + 1, x);
}

void check_set_cols(arrptr q0, arrptr q1) {
  rows_filled(q0->spar, q0->rows, &q0->name);
  rows_filled(q1->spar, q1->rows, &q1->name);
}

std::int32_t intersect(arrptr q0, arrptr q1) {
  const std::int32_t cols = cols_of(q0);
  std::vector<colm_ptr> a = take_rows(q0);
  std::vector<colm_ptr> out;
  sparseptr sp = q1->spar;
  std::int32_t k = 0;
  std::size_t i = 0;
  while (i < a.size() && k < q1->rows) {
    const quoly b = sp->indx[k % sparse_frame_rows]->val;
    bool eq = false;
    const bool first = precedes(a[i]->val, b, &eq);
    if (eq) {
      out.push_back(a[i++]);
    } else if (first) {
      free_sparse_row(a[i++]);
      continue;
    }
    ++k;
    if (k % sparse_frame_rows == 0) sp = sp->next;
  }
  for (; i < a.size(); ++i) free_sparse_row(a[i]);
  return install(q0, out, cols);
}

std::int32_t synth_union(arrptr q0, arrptr q1) { return merge_rows(q0, q1, true); }

std::int32_t synth_merge(arrptr q0, arrptr q1) { return merge_rows(q0, q1, false); }

void dump_mons(arrptr q, quoly n, bool strip) {
  sparseptr sp = q->spar;
  sp->indx[0] = nullptr;
  MonomialWriter w{sp, 0, strip, {}};
  if (n->numb) {
    if (strip) {
      quoly one = nullptr;
      quoly_set(1, &one);
      one->next = nullptr;
      w.add_row(one);
    } else if (!quoly_iszero(n)) {
      quoly c = nullptr;
      quoly_assign(n, &c);
      c->next = nullptr;
      w.add_row(c);
    }
    return;
  }
  w.walk(n->numer, 1);
}

}  // namespace tavrin
