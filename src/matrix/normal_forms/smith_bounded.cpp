// The Smith form through the bounded Hermite form (see hermite_modular.h).
//
// H = P A U. A row of H's leading block whose pivot is 1 is a row of the
// identity, so one row operation a row clears that pivot's column, and its
// invariant factor is 1. What is left is small: the rows and columns of the
// pivots above 1 and the rows of H below the rank. Its Smith form comes from
// column and row Hermite forms in turn until it is diagonal (each bounded
// by a determinant), then gcd/lcm steps on pairs of the diagonal make each
// entry divide the next.
#include <cstdint>
#include <utility>
#include <vector>

#include "core/interrupts.h"
#include "matrix/normal_forms/hermite_modular.h"

namespace tavrin {

namespace {

// The transforms of a small Smith computation: X C0 Y = C.
struct Small {
  ZMatrix c, x, xinv, y, yinv;
};

bool diagonal(const ZMatrix& c) {
  for (std::int32_t r = 0; r < c.rows; ++r)
    for (std::int32_t j = 0; j < c.cols; ++j)
      if (r != j && !c.at(r, j).is_zero()) return false;
  return true;
}

// m := left * m (left square) and the matching update of its inverse,
// inv := inv * left_inv.
void apply_left(ZMatrix* m, ZMatrix* inv, const ZMatrix& left, const ZMatrix& left_inv) {
  *m = left * *m;
  *inv = *inv * left_inv;
}
void apply_right(ZMatrix* m, ZMatrix* inv, const ZMatrix& right, const ZMatrix& right_inv) {
  *m = *m * right;
  *inv = right_inv * *inv;
}

// Rows or columns i and j of the diagonal entries a, b := (g, l) = (gcd,
// lcm): X = [[s, t], [-b/g, a/g]], Y = [[1, -t b/g], [1, s a/g]] with s a +
// t b = g (both of determinant 1).
void gcd_lcm_step(Small* w, std::int32_t i, std::int32_t j, bool transforms) {
  const ZInt a = w->c.at(i, i), b = w->c.at(j, j);
  ZInt s, t, bg, ag;
  const ZInt g = ZInt::xgcd(a, b, &s, &t);
  ZInt::divides(b, g, &bg);
  ZInt::divides(a, g, &ag);
  w->c.at(i, i) = g;
  w->c.at(j, j) = a * bg;
  if (!transforms) return;
  auto rows2 = [&](ZMatrix* m, const ZInt& p, const ZInt& q, const ZInt& r, const ZInt& u) {
    // rows i, j := p row i + q row j, r row i + u row j
    for (std::int32_t c = 0; c < m->cols; ++c) {
      const ZInt x = m->at(i, c), y = m->at(j, c);
      m->at(i, c) = p * x + q * y;
      m->at(j, c) = r * x + u * y;
    }
  };
  auto cols2 = [&](ZMatrix* m, const ZInt& p, const ZInt& q, const ZInt& r, const ZInt& u) {
    // columns i, j := p col i + r col j, q col i + u col j (m times [[p, q], [r, u]])
    for (std::int32_t k = 0; k < m->rows; ++k) {
      const ZInt x = m->at(k, i), y = m->at(k, j);
      m->at(k, i) = p * x + r * y;
      m->at(k, j) = q * x + u * y;
    }
  };
  // X = [[s, t], [-bg, ag]], X^-1 = [[ag, -t], [bg, s]].
  rows2(&w->x, s, t, -bg, ag);
  cols2(&w->xinv, ag, -t, bg, s);
  // Y = [[1, -t bg], [1, s ag]], Y^-1 = [[s ag, t bg], [-1, 1]].
  const ZInt tb = t * bg, sa = s * ag;
  cols2(&w->y, ZInt(1), -tb, ZInt(1), sa);
  rows2(&w->yinv, sa, tb, ZInt(-1), ZInt(1));
}

// The Smith form of the s x t matrix c0 of rank t (s >= t).
bool smith_small(const ZMatrix& c0, bool transforms, Small* w) {
  const std::int32_t s = c0.rows, t = c0.cols;
  w->c = c0;
  if (transforms) {
    w->x = w->xinv = ZMatrix::identity(s);
    w->y = w->yinv = ZMatrix::identity(t);
  }
  for (std::int32_t round = 0; !diagonal(w->c); ++round) {
    if (round == 64) return false;
    FormResult h;
    if (round % 2 == 0) {
      if (!hermite_bounded(w->c, transforms, &h) || h.rank != t) return false;
      w->c = std::move(h.form);
      if (transforms) {
        apply_left(&w->x, &w->xinv, h.left, h.left_inv);
        apply_right(&w->y, &w->yinv, h.right, h.right_inv);
      }
    } else {
      // Row operations: the column form of the transpose.
      if (!hermite_bounded(w->c.transposed(), transforms, &h) || h.rank != t) return false;
      w->c = h.form.transposed();
      if (transforms) {
        apply_left(&w->x, &w->xinv, h.right.transposed(), h.right_inv.transposed());
        apply_right(&w->y, &w->yinv, h.left.transposed(), h.left_inv.transposed());
      }
    }
  }
  // Positive diagonal (the forms have it; kept for safety), then divisibility.
  for (std::int32_t i = 0; i < t; ++i) {
    if (w->c.at(i, i).sign() >= 0) continue;
    w->c.at(i, i) = -w->c.at(i, i);
    if (!transforms) continue;
    for (std::int32_t k = 0; k < s; ++k) {
      w->x.at(i, k) = -w->x.at(i, k);
      w->xinv.at(k, i) = -w->xinv.at(k, i);
    }
  }
  for (std::int32_t i = 0; i < t; ++i) {
    check_interrupt();
    for (std::int32_t j = i + 1; j < t; ++j) {
      ZInt q;
      if (!ZInt::divides(w->c.at(j, j), w->c.at(i, i), &q)) gcd_lcm_step(w, i, j, transforms);
    }
  }
  return true;
}

}  // namespace

bool smith_bounded(const ZMatrix& a, bool transforms, FormResult* out) {
  if (const ZInt g = matrix_content(a); g.sign() > 0 && !g.is_one()) {
    if (!smith_bounded(divide_content(a, g), transforms, out)) return false;
    for (ZInt& x : out->form.cell) x *= g;
    return true;
  }
  FormResult h;
  if (!hermite_bounded(a, transforms, &h)) return false;
  const std::int32_t rows = a.rows, cols = a.cols, k = h.rank;
  out->rank = k;
  // Pivots 1 (rows and columns `ones`) and the rest: the small part's
  // columns `cut` and rows `cut` then k.. .
  std::vector<std::int32_t> ones, cut, rest_rows;
  for (std::int32_t i = 0; i < k; ++i) (h.form.at(i, i).is_one() ? ones : cut).push_back(i);
  rest_rows = cut;
  for (std::int32_t r = k; r < rows; ++r) rest_rows.push_back(r);
  const auto tau = static_cast<std::int32_t>(ones.size());
  const auto t = static_cast<std::int32_t>(cut.size());
  const auto sr = static_cast<std::int32_t>(rest_rows.size());
  // The small part after the rows of the pivots 1 have cleared their
  // columns (which touches only those columns).
  ZMatrix c0(sr, t);
  for (std::int32_t p = 0; p < sr; ++p)
    for (std::int32_t q = 0; q < t; ++q)
      c0.at(p, q) =
          h.form.at(rest_rows[static_cast<std::size_t>(p)], cut[static_cast<std::size_t>(q)]);
  Small w;
  if (t > 0 && !smith_small(c0, transforms, &w)) return false;
  out->form = ZMatrix(rows, cols);
  for (std::int32_t i = 0; i < tau; ++i) out->form.at(i, i) = 1;
  for (std::int32_t q = 0; q < t; ++q) out->form.at(tau + q, tau + q) = w.c.at(q, q);
  if (!transforms) return true;

  // Left: X = F V1 P with V1 = I - N (N: H's entries in the columns of the
  // pivots 1, outside their rows), F placing the rows of the pivots 1
  // first and the small part's rows after, mixed by its X.
  ZMatrix v1 = ZMatrix::identity(rows), v1inv = ZMatrix::identity(rows);
  for (std::int32_t i : ones)
    for (std::int32_t r = 0; r < rows; ++r)
      if (r != i && !h.form.at(r, i).is_zero()) {
        v1.at(r, i) = -h.form.at(r, i);
        v1inv.at(r, i) = h.form.at(r, i);
      }
  ZMatrix f(rows, rows), finv(rows, rows);
  for (std::int32_t q = 0; q < tau; ++q) {
    f.at(q, ones[static_cast<std::size_t>(q)]) = 1;
    finv.at(ones[static_cast<std::size_t>(q)], q) = 1;
  }
  for (std::int32_t q = 0; q < sr; ++q)
    for (std::int32_t p = 0; p < sr; ++p) {
      const std::int32_t r = rest_rows[static_cast<std::size_t>(p)];
      f.at(tau + q, r) = t > 0 ? w.x.at(q, p) : ZInt(q == p ? 1 : 0);
      finv.at(r, tau + q) = t > 0 ? w.xinv.at(p, q) : ZInt(q == p ? 1 : 0);
    }
  out->left = f * v1 * h.left;
  out->left_inv = h.left_inv * v1inv * finv;
  // Right: Y = U G with G placing the columns of the pivots 1 first, the
  // small part's columns mixed by its Y after, the zero columns last.
  ZMatrix g(cols, cols), ginv(cols, cols);
  for (std::int32_t q = 0; q < tau; ++q) {
    g.at(ones[static_cast<std::size_t>(q)], q) = 1;
    ginv.at(q, ones[static_cast<std::size_t>(q)]) = 1;
  }
  for (std::int32_t p = 0; p < t; ++p)
    for (std::int32_t q = 0; q < t; ++q) {
      g.at(cut[static_cast<std::size_t>(p)], tau + q) = w.y.at(p, q);
      ginv.at(tau + q, cut[static_cast<std::size_t>(p)]) = w.yinv.at(q, p);
    }
  for (std::int32_t c = k; c < cols; ++c) {
    g.at(c, c) = 1;
    ginv.at(c, c) = 1;
  }
  out->right = h.right * g;
  out->right_inv = ginv * h.right_inv;
  // The identities: the left transform is sparse but for a few rows, the
  // right one dense with a short inverse.
  return out->left * out->left_inv == ZMatrix::identity(rows) &&
         product_equals(out->right_inv, out->right, ZMatrix::identity(cols)) &&
         product_equals(out->left * a, out->right, out->form);
}

}  // namespace tavrin
