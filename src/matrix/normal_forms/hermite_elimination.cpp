// The Hermite form of a lattice by elimination modulo a multiple of its
// determinant (see hermite_modular.h), one template over the residue rings
// of hermite_rings_impl.h.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/interrupts.h"
#include "core/thresholds.h"
#include "matrix/normal_forms/hermite_modular.h"
#include "matrix/normal_forms/hermite_rings_impl.h"
#include "matrix/zmatrix.h"

namespace tavrin {

namespace {

using hermite_rings::BigRing;
using hermite_rings::FixedRing;
using hermite_rings::WordRing;

// The elimination modulo G = n. Active columns are contiguous; the form
// being built, h, is kept modulo G too (adding G e_r, a lattice vector,
// never leaves the coset a column of the form is chosen from), its entries
// left of each pivot reduced into [0, pivot) as the pivots appear.
//
// fixed: n is any modulus and stays; the form is that of the lattice L + n
// Z^m. At each row the columns and n e_i are combined exactly: the pivot
// column p (entry d0) with n e_i gives the form's column (w p, entry d =
// gcd(d0, n)) and a new active column (n/d) p with a zero in row i, which
// the shrinking modulus makes 0 otherwise. Columns that become zero drop.
template <class Ring>
ZMatrix hermite_modulo_in(const ZMatrix& t, const ZInt& n, bool fixed) {
  using E = typename Ring::E;
  const std::int32_t m = t.rows;
  std::int32_t c = t.cols;  // past the last active column
  Ring ring(n);
  const Ring whole(n);  // modulo G throughout, for the form
  std::vector<std::vector<E>> col(static_cast<std::size_t>(c),
                                  std::vector<E>(static_cast<std::size_t>(m)));
  for (std::int32_t j = 0; j < c; ++j)
    for (std::int32_t r = 0; r < m; ++r)
      col[static_cast<std::size_t>(j)][static_cast<std::size_t>(r)] = ring.from(t.at(r, j));
  // h column by column.
  std::vector<std::vector<E>> h(static_cast<std::size_t>(m),
                                std::vector<E>(static_cast<std::size_t>(m)));
  std::vector<E> row_gcds;
  std::int32_t i = 0;
  for (; i < m && !ring.one(); ++i) {
    check_interrupt();
    const auto si = static_cast<std::size_t>(i);
    const std::size_t len = static_cast<std::size_t>(m - i);
    if (c <= i) {  // no active column left (fixed): a zero one, so that the pivot is n
      if (col.size() <= si) col.resize(si + 1, std::vector<E>(static_cast<std::size_t>(m)));
      std::fill(col[si].begin(), col[si].end(), E(0));
      c = i + 1;
    }
    // Entries below a pivot found earlier are reduced modulo the R of then; row i's come down to
    // the R of now here, the rest as the operations reach them. The pivot column: one whose entry's
    // gcd with R divides the row (a unit, the first found, most often); every other column then
    // loses its entry by one subtraction. Else Euclid's steps over the row.
    std::int32_t by = -1;
    {
      std::vector<E>& gs = row_gcds;
      gs.assign(static_cast<std::size_t>(c - i), E(0));
      bool any = false;
      E all(0);
      for (std::int32_t j = i; j < c && by < 0; ++j) {
        E& a = col[static_cast<std::size_t>(j)][si];
        a = ring.reduce(a);
        if (a == E(0)) continue;
        E& gj = gs[static_cast<std::size_t>(j - i)];
        gj = ring.gcd_r(a);
        if (gj == E(1)) by = j;
        all = any ? Ring::gcd(all, gj) : gj;
        any = true;
      }
      for (std::int32_t j = i; j < c && by < 0 && any; ++j)
        if (gs[static_cast<std::size_t>(j - i)] == all &&
            !(col[static_cast<std::size_t>(j)][si] == E(0)))
          by = j;
    }
    E d, w;
    if (by >= 0) {
      std::swap(col[si], col[static_cast<std::size_t>(by)]);
      d = ring.gcd_with_modulus(col[si][si], &w);
      const bool one = d == E(1);
      for (std::int32_t j = i + 1; j < c; ++j) {
        std::vector<E>& cj = col[static_cast<std::size_t>(j)];
        cj[si] = ring.reduce(cj[si]);
        if (cj[si] == E(0)) continue;
        ring.axpy(cj.data() + si, col[si].data() + si, len,
                  ring.mul(one ? cj[si] : Ring::quotient(cj[si], d), w));
      }
    } else {
      for (std::int32_t j = i + 1; j < c; ++j) {
        std::vector<E>& cj = col[static_cast<std::size_t>(j)];
        if (cj[si] == E(0)) continue;
        E s, tt, u, v;
        ring.bezout(col[si][si], cj[si], &s, &tt, &u, &v);
        ring.combine(col[si].data() + si, cj.data() + si, len, s, tt, u, v);
      }
      d = ring.gcd_with_modulus(col[si][si], &w);
    }
    // Column i of the form: d, then w times the pivot column.
    std::vector<E>& hi = h[si];
    hi[si] = d;
    for (std::size_t r = si + 1; r < static_cast<std::size_t>(m); ++r)
      hi[r] = ring.mul(w, col[si][r]);
    if (fixed) {
      if (!(d == E(1))) {
        // (n/d) p over the rows below, at the end of the active columns.
        const E f = Ring::quotient(ring.R, d);
        if (static_cast<std::size_t>(c) == col.size())
          col.emplace_back(static_cast<std::size_t>(m));
        std::vector<E>& extra = col[static_cast<std::size_t>(c)];
        std::fill(extra.begin(), extra.end(), E(0));
        for (std::size_t r = si + 1; r < static_cast<std::size_t>(m); ++r)
          extra[r] = ring.mul(f, col[si][r]);
        ++c;
      }
      for (std::int32_t j = i + 1; j < c;) {
        const std::vector<E>& cj = col[static_cast<std::size_t>(j)];
        bool zero = true;
        for (std::size_t r = si + 1; r < static_cast<std::size_t>(m) && zero; ++r)
          zero = ring.reduce(cj[r]) == E(0);
        if (!zero) {
          ++j;
          continue;
        }
        std::swap(col[static_cast<std::size_t>(j)], col[static_cast<std::size_t>(c - 1)]);
        --c;
      }
    }
    // Row i left of the pivot into [0, d).
    for (std::size_t j = 0; j < si; ++j) {
      std::vector<E>& hj = h[j];
      const E q = Ring::quotient(hj[si], d);
      if (q == E(0)) continue;
      whole.axpy(hj.data() + si + 1, hi.data() + si + 1, len - 1, q);
      hj[si] = Ring::remainder(hj[si], d);
    }
    if (!fixed) ring.shrink(d);
  }
  // Modulo 1 the rest is the identity: those rows clear their entries left of the pivot.
  for (; i < m; ++i) {
    check_interrupt();
    const auto si = static_cast<std::size_t>(i);
    h[si][si] = E(1);
    for (std::size_t j = 0; j < si; ++j) {
      std::vector<E>& hj = h[j];
      const E q = hj[si];
      if (q == E(0)) continue;
      whole.axpy(hj.data() + si + 1, h[si].data() + si + 1, static_cast<std::size_t>(m) - si - 1,
                 q);
      hj[si] = E(0);
    }
  }
  ZMatrix out(m, m);
  for (std::int32_t j = 0; j < m; ++j)
    for (std::int32_t r = j; r < m; ++r)
      out.at(r, j) = whole.value(h[static_cast<std::size_t>(j)][static_cast<std::size_t>(r)]);
  return out;
}

}  // namespace

ZMatrix hermite_modulo(const ZMatrix& t, const ZInt& n, bool fixed) {
  if (n.bit_length() <= 31) return hermite_modulo_in<WordRing>(t, n, fixed);
  const std::int64_t words = (n.bit_length() + 63) / 64;
  if (words <= normal_form_fixed_words) {
    if (words <= 2) return hermite_modulo_in<FixedRing<2>>(t, n, fixed);
    if (words <= 4) return hermite_modulo_in<FixedRing<4>>(t, n, fixed);
    if (words <= 8) return hermite_modulo_in<FixedRing<8>>(t, n, fixed);
    if (words <= 16) return hermite_modulo_in<FixedRing<16>>(t, n, fixed);
    if (words <= 32) return hermite_modulo_in<FixedRing<32>>(t, n, fixed);
  }
  return hermite_modulo_in<BigRing>(t, n, fixed);
}

}  // namespace tavrin
