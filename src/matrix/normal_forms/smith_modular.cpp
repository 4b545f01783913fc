// The Smith form of a nonsingular dense integer matrix by elimination
// modulo its determinant (see normal_forms.h).
//
// With D = |det A| > 0, the group Z^n / A Z^n has exponent dividing D, so
// it equals Z^n / (A Z^n + D Z^n): entries may be kept in [0, D) and every
// row and column operation stays unimodular. A pivot that is a unit
// modulo D clears its column with one multiplier a row (its row then only
// needs column operations that touch nothing else: invariant factor 1);
// otherwise Bezout combinations make the pivot the gcd of its row and
// column, and a row added from below mends a divisibility failure. The
// invariant factors are gcd(pivot, D) (D for a pivot 0), which is the
// unique Smith diagonal: the same as the Euclidean elimination gives.
// Most matrices need none of this: an (n-1)-minor prime to D settles the
// diagonal 1, ..., 1, D at the cost of one more determinant.
#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "core/globals.h"
#include "core/interrupts.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/bigint_multiply.h"
#include "numbers/integer_gcd.h"
#include "numbers/node_handles.h"
#include "arrays/array_store.h"
#include "matrix/divisor_determ.h"
#include "matrix/normal_forms.h"

namespace tavrin {

namespace {

using nodes::ScratchNumber;

inline bool zero(imptr x) { return x->head == nullptr || x->head->value == 0; }
inline bool negative(imptr x) { return x->head != nullptr && x->head->value < 0; }

// Residues modulo D in [0, D), n x n row by row, with scratch records.
class ModMatrix {
 public:
  ModMatrix(std::int32_t n, imptr d) : n_(n), d_(d), cells_(static_cast<std::size_t>(n) * n) {
    for (auto& c : cells_) c = std::make_unique<ScratchNumber>();
  }
  imptr at(std::int32_t r, std::int32_t c) const { return cells_[r * n_ + c]->get(); }
  void swap_rows(std::int32_t a, std::int32_t b) {
    for (std::int32_t c = 0; c < n_; ++c) std::swap(cells_[a * n_ + c], cells_[b * n_ + c]);
  }
  void swap_cols(std::int32_t a, std::int32_t b) {
    for (std::int32_t r = 0; r < n_; ++r) std::swap(cells_[r * n_ + a], cells_[r * n_ + b]);
  }
  // x := x mod D in [0, D).
  void reduce(imptr x) {
    divide(x, d_, q_.get(), x);
    if (negative(x)) fastsum(x, d_);
  }
  // x := x - f*y mod D.
  void sub_mul(imptr x, imptr f, imptr y) {
    if (zero(y) || zero(f)) return;
    fast_mult(f, y, t_.get());
    fastdiff(x, t_.get());
    reduce(x);
  }
  // out := a*x + b*y mod D (out distinct from x and y).
  void combine(imptr a, imptr x, imptr b, imptr y, imptr out) {
    fast_mult(a, x, out);
    fast_mult(b, y, t_.get());
    fastsum(out, t_.get());
    reduce(out);
  }
  std::int32_t n_;
  imptr d_;

 private:
  std::vector<std::unique_ptr<ScratchNumber>> cells_;
  ScratchNumber q_, t_;
};

// g := gcd(a, b) = s*a + t*b for a, b >= 0 (extended Euclid on remainders).
void bezout(imptr a, imptr b, imptr g, imptr s, imptr t) {
  ScratchNumber r0, r1, s0, s1, t0, t1, q, tmp, prod;
  num_assign(a, r0.get());
  num_assign(b, r1.get());
  setvalue(1, s0.get());
  setvalue(0, s1.get());
  setvalue(0, t0.get());
  setvalue(1, t1.get());
  while (!zero(r1.get())) {
    divide(r0.get(), r1.get(), q.get(), tmp.get());
    num_assign(r1.get(), r0.get());
    num_assign(tmp.get(), r1.get());
    for (auto [x0, x1] : {std::pair{s0.get(), s1.get()}, std::pair{t0.get(), t1.get()}}) {
      fast_mult(q.get(), x1, prod.get());
      num_assign(x0, tmp.get());
      fastdiff(tmp.get(), prod.get());
      num_assign(x1, x0);
      num_assign(tmp.get(), x1);
    }
  }
  num_assign(r0.get(), g);
  num_assign(s0.get(), s);
  num_assign(t0.get(), t);
}

// Rows (or columns, with cols) i and r over positions from..n-1:
// line i := s*line i + t*line r, line r := u*line i + v*line r (mod D).
void two_lines(ModMatrix& m, bool cols, std::int32_t i, std::int32_t r, std::int32_t from, imptr s,
               imptr t, imptr u, imptr v) {
  ScratchNumber a, b;
  for (std::int32_t k = from; k < m.n_; ++k) {
    imptr x = cols ? m.at(k, i) : m.at(i, k);
    imptr y = cols ? m.at(k, r) : m.at(r, k);
    if (zero(x) && zero(y)) continue;
    m.combine(s, x, t, y, a.get());
    m.combine(u, x, v, y, b.get());
    num_assign(a.get(), x);
    num_assign(b.get(), y);
  }
}

// Clears column i below (i, i) (rows) or row i right of it (columns, with
// cols); false when nothing was left to clear.
bool clear_line(ModMatrix& m, bool cols, std::int32_t i) {
  bool changed = false;
  ScratchNumber qt, rem, g, s, t, u, v, one, nought;
  setvalue(1, one.get());
  setvalue(0, nought.get());
  for (std::int32_t r = i + 1; r < m.n_; ++r) {
    imptr y = cols ? m.at(i, r) : m.at(r, i);
    if (zero(y)) continue;
    changed = true;
    imptr x = m.at(i, i);
    divide(y, x, qt.get(), rem.get());
    if (zero(rem.get())) {
      // line r -= (y / x) * line i
      in_place_neg(qt.get());
      two_lines(m, cols, i, r, i, one.get(), nought.get(), qt.get(), one.get());
      continue;
    }
    bezout(x, y, g.get(), s.get(), t.get());
    divide(y, g.get(), u.get(), rem.get());
    in_place_neg(u.get());
    divide(x, g.get(), v.get(), rem.get());
    two_lines(m, cols, i, r, i, s.get(), t.get(), u.get(), v.get());
  }
  return changed;
}

// *modulus := gcd(*modulus, a few (m-1)-minors of the m x m cells, column
// by column), stopping early at one.
void minors_gcd(const std::vector<quoly>& cells, std::int32_t m, imptr one, imptr modulus) {
  for (std::int32_t k = 0; k < std::min(3, m) && !equal(modulus, one); ++k) {
    const std::int32_t dr = m - 1 - k, dc = (m - 1 + k) % m;  // the row and column left out
    std::vector<quoly> minor;
    minor.reserve(static_cast<std::size_t>(m - 1) * (m - 1));
    for (std::int32_t c = 0; c < m; ++c)
      for (std::int32_t r = 0; r < m && c != dc; ++r)
        if (r != dr) minor.push_back(cells[c * m + r]);
    imptr e = images::divisor_determ(minor, m - 1, nullptr);
    if (e == nullptr) continue;
    gcd(e, modulus, modulus);
    free_imag(&e);
  }
}

// Step i of the elimination modulo M when no unit is left in the block
// from (i, i) (not all zero): the first non-zero entry, moved to (i, i),
// made the gcd of its row and column and a divisor of the whole block;
// *g := gcd(that entry, M), the invariant factor.
void gcd_pivot(ModMatrix& a, std::int32_t i, imptr M, imptr g) {
  const std::int32_t m = a.n_;
  std::int32_t pr = -1, pc = -1;
  for (std::int32_t c = i; c < m && pr < 0; ++c)
    for (std::int32_t r = i; r < m; ++r)
      if (!zero(a.at(r, c))) {
        pr = r;
        pc = c;
        break;
      }
  a.swap_rows(i, pr);
  a.swap_cols(i, pc);
  ScratchNumber f, s;
  for (;;) {
    check_interrupt();
    bool again = clear_line(a, false, i);
    again = clear_line(a, true, i) || again;
    if (again) continue;
    gcd(a.at(i, i), M, g);
    std::int32_t bad = -1;
    for (std::int32_t r = i + 1; r < m && bad < 0; ++r)
      for (std::int32_t c = i + 1; c < m; ++c) {
        if (zero(a.at(r, c))) continue;
        divide(a.at(r, c), g, f.get(), s.get());
        if (!zero(s.get())) {
          bad = r;
          break;
        }
      }
    if (bad < 0) return;
    for (std::int32_t c = i + 1; c < m; ++c) {
      fastsum(a.at(i, c), a.at(bad, c));
      a.reduce(a.at(i, c));
    }
  }
}

}  // namespace

bool smith_by_determinant(quolyptr n, arrptr q) {
  if (lintmode || flotemode) return false;
  const std::int32_t rows = q->rows;
  if (rows < 2 || array_cols(q) != rows) return false;
  const std::int32_t m = rows;
  std::vector<quoly> cells(static_cast<std::size_t>(m) * m);
  for (std::int32_t c = 0; c < m * m; ++c) {
    cells[c] = *arp_cell(q->start + c);
    if (cells[c] == nullptr || cells[c]->ncoef == nullptr) return false;
  }
  ScratchNumber det;
  {
    imptr d = images::divisor_determ(cells, m, nullptr);
    if (d == nullptr) return false;
    num_assign(d, det.get());
    free_imag(&d);
  }
  if (zero(det.get())) return false;
  if (negative(det.get())) in_place_neg(det.get());
  imptr D = det.get();

  // The product of the first m-1 invariant factors is the gcd of the
  // (m-1)-minors, so each of them divides M = gcd(D, a few minors), and
  // elimination modulo M gives them exactly (the Smith form modulo M is
  // gcd(s_i, M)); the last is D over their product. Mostly M = 1 and the
  // diagonal is 1, ..., 1, D at the cost of one more determinant.
  ScratchNumber g, s, t, f, one, modulus;
  setvalue(1, one.get());
  num_assign(D, modulus.get());
  minors_gcd(cells, m, one.get(), modulus.get());
  const imptr M = modulus.get();
  std::vector<std::unique_ptr<ScratchNumber>> diag;
  std::int32_t i = 0;
  if (equal(M, one.get())) {
    for (; i < m; ++i) {
      diag.push_back(std::make_unique<ScratchNumber>());
      setvalue(1, diag.back()->get());
    }
    i = m;
  }

  ModMatrix a(m, M);
  for (std::int32_t r = 0; r < m; ++r)
    for (std::int32_t c = 0; c < m; ++c) {
      num_assign(cells[c * m + r]->ncoef, a.at(r, c));
      a.reduce(a.at(r, c));
    }

  for (; i < m; ++i) {
    check_interrupt();
    // A unit pivot, column by column.
    std::int32_t pr = -1, pc = -1;
    bool any = false;
    for (std::int32_t c = i; c < m && pr < 0; ++c)
      for (std::int32_t r = i; r < m; ++r) {
        if (zero(a.at(r, c))) continue;
        any = true;
        bezout(a.at(r, c), M, g.get(), s.get(), t.get());
        if (equal(g.get(), one.get())) {
          pr = r;
          pc = c;
          break;
        }
      }
    if (!any) break;  // the rest are D
    if (pr >= 0) {
      a.swap_rows(i, pr);
      a.swap_cols(i, pc);
      a.reduce(s.get());  // the inverse of the pivot
      ScratchNumber inv;
      num_assign(s.get(), inv.get());
      for (std::int32_t r = i + 1; r < m; ++r) {
        imptr y = a.at(r, i);
        if (zero(y)) continue;
        fast_mult(y, inv.get(), f.get());
        a.reduce(f.get());
        for (std::int32_t c = i + 1; c < m; ++c) a.sub_mul(a.at(r, c), f.get(), a.at(i, c));
        setvalue(0, y);
      }
      diag.push_back(std::make_unique<ScratchNumber>());
      setvalue(1, diag.back()->get());
      continue;
    }
    gcd_pivot(a, i, M, g.get());
    diag.push_back(std::make_unique<ScratchNumber>());
    num_assign(g.get(), diag.back()->get());
  }
  for (; i < m; ++i) {
    diag.push_back(std::make_unique<ScratchNumber>());
    num_assign(M, diag.back()->get());
  }
  // The last: D over the product of the others.
  setvalue(1, f.get());
  for (i = 0; i + 1 < m; ++i) {
    fast_mult(f.get(), diag[i]->get(), t.get());
    num_assign(t.get(), f.get());
  }
  divide(D, f.get(), diag[m - 1]->get(), t.get());

  for (std::int32_t c = 0; c < m; ++c)
    for (std::int32_t r = 0; r < m; ++r) {
      imptr e = (*arp_cell(q->start + r + c * m))->ncoef;
      if (r == c)
        num_assign(diag[r]->get(), e);
      else
        setvalue(0, e);
    }
  quoly_set_integer(m, n);
  return true;
}

}  // namespace tavrin
