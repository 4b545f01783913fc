// The floating engines of a "Float" body (see float_images.h).
#include "matrix/float_images.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_float_image.h"
#include "arrays/sparse_store.h"

namespace tavrin {

namespace {

// f(link) for the link to every entry of the sparse matrix sp of `rows`
// rows; f returns the link to go on from (the entry's next, or the link
// itself when it unlinked the entry).
template <class F>
void for_each_link(sparseptr sp, std::int32_t rows, F&& f) {
  for (std::int32_t r = 0; sp != nullptr && r < rows; sp = sp->next) {
    for (std::int32_t slot = 0; slot < sparse_frame_rows && r < rows; ++slot, ++r) {
      colm_ptrptr link = &sp->indx[slot];
      while (*link != nullptr) link = f(link);
    }
  }
}

bool entry_ready(quoly q, bool polys) {
  if (q == nullptr || q->numb || q->rat) return true;
  return polys && has_float_image(q);
}

// *q := its image, in place; an empty cell becomes 0.0 (the floating
// kernels read every cell's number).
void image_in_place(quolyptr q) {
  if (*q == nullptr) {
    fl_quoly_set(0.0L, q);
    (*q)->ncoef->lint = 0;
    return;
  }
  quoly img = nullptr;
  quoly_float_image(*q, &img);
  free_quoly(q);
  *q = img;
}

}  // namespace

bool floating_engines() {
  return integerflag && float_statement && !flotemode && !lintmode && !modularmode;
}

bool float_ready(const MatValue& v, bool polys_ok) {
  const bool polys = polys_ok && pseudo_polynames == nullptr && !laurent;
  if (v.is_scalar()) return entry_ready(v.n, polys);
  bool ready = true;
  if (v.spar != nullptr) {
    for_each_link(v.spar, v.facts.rows, [&](colm_ptrptr link) {
      ready = ready && entry_ready((*link)->val, polys);
      return &(*link)->next;
    });
    return ready;
  }
  const std::int64_t m = v.count();
  for (std::int64_t k = 0; k < m && ready; ++k) ready = entry_ready(v.arr->stash[k], polys);
  return ready;
}

void to_float_images(MatValue& v) {
  if (v.is_scalar()) {
    image_in_place(&v.n);
    return;
  }
  v.make_owned();
  if (v.spar != nullptr) {
    for_each_link(v.spar, v.facts.rows, [](colm_ptrptr link) {
      image_in_place(&(*link)->val);
      return &(*link)->next;
    });
    return;
  }
  const std::int64_t m = v.count();
  for (std::int64_t k = 0; k < m; ++k) image_in_place(&v.arr->stash[k]);
}

void PivotMagnitudes::swap_rows(std::int32_t i, std::int32_t j) {
  for (std::int32_t c = 0; c < m_; ++c) std::swap(bound(i, c), bound(j, c));
}

void PivotMagnitudes::swap_cols(std::int32_t i, std::int32_t j) {
  for (std::int32_t r = 0; r < m_; ++r) std::swap(bound(r, i), bound(r, j));
}

bool fl_singular(sparseptr a, std::int32_t m) {
  const auto n = static_cast<std::size_t>(m);
  std::vector<long double> rows(n * n, 0);
  for (std::int32_t r = 1; r <= m; ++r)
    for (colm_ptr e = *sparse_row(a, r); e != nullptr; e = e->next)
      rows[static_cast<std::size_t>(r - 1) * n + static_cast<std::size_t>(e->coord - 1)] =
          e->val->ncoef->flote;
  const auto at = [&](std::int32_t r, std::int32_t c) -> long double& {
    return rows[static_cast<std::size_t>(r) * n + static_cast<std::size_t>(c)];
  };
  PivotMagnitudes bounds(m, at);
  for (std::int32_t i = 0; i < m; ++i) {
    std::int32_t best = i;
    for (std::int32_t r = i + 1; r < m; ++r)
      if (std::fabs(at(r, i)) > std::fabs(at(best, i))) best = r;
    if (best != i) {
      for (std::int32_t c = i; c < m; ++c) std::swap(at(i, c), at(best, c));
      bounds.swap_rows(i, best);
    }
    if (bounds.vanishing(i, at(i, i))) return true;
    bounds.eliminate(i, at);
    for (std::int32_t r = i + 1; r < m; ++r) {
      const long double f = at(r, i) / at(i, i);
      if (f == 0) continue;
      for (std::int32_t c = i + 1; c < m; ++c) at(r, c) -= f * at(i, c);
    }
  }
  return false;
}

void from_float_images(MatValue& v) {
  // An error part way leaves images and exact values side by side; both
  // free alike, and the abandoned statement uses neither.
  if (v.is_scalar()) {
    quoly_from_float_image(&v.n);
    return;
  }
  if (v.spar != nullptr) {
    for_each_link(v.spar, v.facts.rows, [](colm_ptrptr link) {
      quoly_from_float_image(&(*link)->val);
      if (!quoly_iszero((*link)->val)) return &(*link)->next;
      free_colm(link);
      return link;
    });
    return;
  }
  const std::int64_t m = v.count();
  for (std::int64_t k = 0; k < m; ++k) quoly_from_float_image(&v.arr->stash[k]);
}

}  // namespace tavrin
