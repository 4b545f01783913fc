// Products and exact divisions of flat polynomials over a finite field, the
// candidate checks of the GCD engines. A division stops at the first term
// that shows the divisor does not divide: a term the divisor's leading
// monomial does not divide, a quotient term above the degrees an exact
// quotient can have, or a remainder term.
//
// Two ways to divide. When the divisor's leading coefficient in variable 0
// is a single term and the degrees of the other variables span a small box,
// the division runs along variable 0 with the coefficients (polynomials in
// the other variables) summed in a dense array over the box: every product
// of a divisor term and a quotient term goes to its cell directly. Otherwise
// Johnson's division: a heap holds the next product of each quotient term.
#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <queue>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/interrupts.h"
#include "core/thresholds.h"
#include "numbers/word_field.h"
#include "gcd/flat/flat_gcd_impl.h"

namespace tavrin::flat {

division_counts flat_divisions{};

namespace {

// Cells of the dense division's box, at most.
constexpr std::uint64_t largest_box = std::uint64_t{1} << 22;

// The arithmetic of the dense division over a field: products summed in
// 64-bit cells below p^2 (a word prime) or in the field, quotient terms by
// the inverse of the divisor's leading coefficient.
template <class F>
struct FieldArith {
  using coef = elem;
  using acc = std::conditional_t<std::is_same_v<F, PrimeField>, std::uint64_t, elem>;
  const F& f;
  elem il = 0;
  std::uint64_t p2 = 0;
  FieldArith(const F& field, elem lead) : f(field), il(field.inv(lead)) {
    if constexpr (std::is_same_v<F, PrimeField>)
      p2 = static_cast<std::uint64_t>(f.modulus()) * f.modulus();
  }
  void add_product(acc& a, coef b, coef q) const {
    if constexpr (std::is_same_v<F, PrimeField>) {
      a += static_cast<std::uint64_t>(b) * q;
      if (a >= p2) a -= p2;
    } else {
      a = f.add(a, f.mul(b, q));
    }
  }
  coef remainder(coef av, acc a) const {
    if constexpr (std::is_same_v<F, PrimeField>) {
      return f.sub(av, f.reduce(a));
    } else {
      return f.sub(av, a);
    }
  }
  division_result quotient(coef r, coef* q) const {
    *q = f.mul(r, il);
    return division_result::exact;
  }
};

// The dense division along variable 0 (see the header comment): exact, or
// not at the first sign that B does not divide A, or too_large when the
// arithmetic's coefficients cannot hold the quotient.
template <class Arith, class C>
division_result divide_dense(const Arith& ar, const Layout& lay, const Poly<C>& A, const Poly<C>& B,
                             const std::vector<std::int32_t>& da,
                             const std::vector<std::int32_t>& db,
                             const std::vector<std::uint64_t>& stride, std::uint64_t cells,
                             Poly<C>* Q) {
  const int n = lay.nvars;
  auto index = [&](std::uint64_t key) {
    std::uint64_t x = 0;
    for (int l = 1; l < n; ++l)
      x += static_cast<std::uint64_t>(lay.exponent(key, l)) * stride[static_cast<std::size_t>(l)];
    return x;
  };
  struct Term {
    std::uint64_t idx;
    C c;
  };
  const auto d0a = static_cast<std::size_t>(da[0]), d0b = static_cast<std::size_t>(db[0]);
  // B's coefficients of each power of variable 0, and A's
  std::vector<std::vector<Term>> bc(d0b + 1), ac(d0a + 1);
  for (std::size_t i = 0; i < B.size(); ++i)
    bc[static_cast<std::size_t>(lay.exponent(B.key[i], 0))].push_back({index(B.key[i]), B.coef[i]});
  for (std::size_t i = 0; i < A.size(); ++i)
    ac[static_cast<std::size_t>(lay.exponent(A.key[i], 0))].push_back({index(A.key[i]), A.coef[i]});
  const std::uint64_t lead_idx = bc[d0b][0].idx;
  const std::uint64_t lead_key = B.key[0];
  std::vector<std::vector<Term>> qc(d0a - d0b + 1);
  std::vector<typename Arith::acc> acc(cells, 0);
  std::vector<C> av(cells, 0);
  // the cells a row touched: only they can hold a remainder term
  std::vector<std::uint8_t> mark(cells, 0);
  std::vector<std::uint32_t> touched;
  auto touch = [&](std::uint64_t cell) {
    if (mark[cell] == 0) {
      mark[cell] = 1;
      touched.push_back(static_cast<std::uint32_t>(cell));
    }
  };
  Q->clear();
  const std::size_t qmax = d0a - d0b;
  const auto scan_ratio = static_cast<std::uint64_t>(std::max<std::int32_t>(flat_division_scan, 0));
  for (std::size_t j = d0a + 1; j-- > 0;) {
    check_interrupt();
    const std::size_t i0 = j > qmax ? j - qmax : 0;
    // A row of many products finds its remainder terms by scanning every
    // cell, from the highest: cheaper than recording each product's cell.
    std::uint64_t products = 0;
    for (std::size_t i = i0; i < d0b && i <= j; ++i) products += bc[i].size() * qc[j - i].size();
    const bool scan =
        products != 0 && scan_ratio != 0 && (cells + scan_ratio - 1) / scan_ratio <= products;
    // the products of B's lower coefficients with the quotient found so far
    for (std::size_t i = i0; i < d0b && i <= j; ++i) {
      for (const Term& b : bc[i]) {
        typename Arith::acc* const row = acc.data() + b.idx;
        if (scan) {
          for (const Term& q : qc[j - i]) ar.add_product(row[q.idx], b.c, q.c);
        } else {
          for (const Term& q : qc[j - i]) {
            touch(b.idx + q.idx);
            ar.add_product(row[q.idx], b.c, q.c);
          }
        }
      }
    }
    for (const Term& t : ac[j]) {
      if (!scan) touch(t.idx);
      av[t.idx] = t.c;
    }
    if (scan) {
      touched.clear();
      for (std::uint64_t cell = cells; cell-- > 0;)
        if (acc[cell] != 0 || av[cell] != 0) touched.push_back(static_cast<std::uint32_t>(cell));
    } else {
      // the remainder's coefficient of x0^j, from the highest cell
      std::sort(touched.begin(), touched.end(), std::greater<>());
    }
    for (const std::uint32_t cell : touched) {
      mark[cell] = 0;
      const C r = ar.remainder(av[cell], acc[cell]);
      acc[cell] = 0;
      av[cell] = 0;
      if (r == 0) continue;
      if (j < d0b) return division_result::not_exact;  // a remainder term
      // the quotient term: the cell's monomial over the leading one
      std::uint64_t key = static_cast<std::uint64_t>(j - d0b) * lay.unit(0);
      std::uint64_t rest = cell;
      for (int l = 1; l < n; ++l) {
        const auto e = static_cast<std::int32_t>(rest / stride[static_cast<std::size_t>(l)]);
        rest %= stride[static_cast<std::size_t>(l)];
        const std::int32_t el = e - lay.exponent(lead_key, l);
        if (el < 0 || el > da[static_cast<std::size_t>(l)] - db[static_cast<std::size_t>(l)])
          return division_result::not_exact;
        key += static_cast<std::uint64_t>(el) * lay.unit(l);
      }
      C qcoef{};
      const division_result st = ar.quotient(r, &qcoef);
      if (st != division_result::exact) return st;
      Q->push(key, qcoef);
      qc[j - d0b].push_back({cell - lead_idx, qcoef});
    }
    touched.clear();
  }
  return division_result::exact;
}

// The box of the dense division for A and B (strides of the variables 1 ..
// n - 1 and the cells), false when it does not apply: B's leading
// coefficient in variable 0 is not one term, or the box is too large
// against A.
template <class C>
bool dense_box(const Layout& lay, const Poly<C>& A, const Poly<C>& B,
               const std::vector<std::int32_t>& da, const std::vector<std::int32_t>& db,
               std::vector<std::uint64_t>* stride, std::uint64_t* cells) {
  const bool one_lead = B.size() == 1 || lay.exponent(B.key[1], 0) < db[0];
  if (!one_lead) return false;
  stride->assign(da.size(), 1);
  std::uint64_t c = 1;
  for (std::size_t l = da.size(); l-- > 1;) {
    (*stride)[l] = c;
    c *= static_cast<std::uint64_t>(da[l]) + 1;
    if (c > largest_box) return false;
  }
  *cells = c;
  return c * (static_cast<std::uint64_t>(da[0]) + 1) <= 256 * A.size();
}

// Whether A's degrees and leading monomial leave room for B to divide it.
template <class C>
bool may_divide(const Layout& lay, const Poly<C>& A, const Poly<C>& B,
                const std::vector<std::int32_t>& da, const std::vector<std::int32_t>& db) {
  if (A.key[0] < B.key[0] || lay.borrows(A.key[0], B.key[0])) return false;
  for (std::size_t l = 0; l < da.size(); ++l)
    if (db[l] > da[l]) return false;
  return true;
}

// Johnson's division with a heap of the next product of each quotient term.
template <class F>
bool divide_heap(const F& f, const Layout& lay, const MPoly& A, const MPoly& B, MPoly* Q) {
  const std::uint64_t lm = B.key[0];
  const elem il = f.inv(B.coef[0]);
  struct Entry {
    std::uint64_t key;
    std::uint32_t i, j;
    bool operator<(const Entry& o) const { return key < o.key; }
  };
  std::priority_queue<Entry> heap;
  std::size_t ia = 0;
  Q->clear();
  for (std::uint32_t steps = 0; ia < A.size() || !heap.empty(); ++steps) {
    if ((steps & 4095u) == 0) check_interrupt();
    std::uint64_t key;
    if (heap.empty() || (ia < A.size() && A.key[ia] >= heap.top().key)) {
      key = A.key[ia];
    } else {
      key = heap.top().key;
    }
    elem c = 0;
    if (ia < A.size() && A.key[ia] == key) c = A.coef[ia++];
    while (!heap.empty() && heap.top().key == key) {
      const Entry e = heap.top();
      heap.pop();
      c = f.sub(c, f.mul(Q->coef[e.i], B.coef[e.j]));
      if (e.j + 1 < B.size()) heap.push({Q->key[e.i] + B.key[e.j + 1], e.i, e.j + 1});
    }
    if (c == 0) continue;
    if (key < lm || lay.borrows(key, lm)) return false;  // a remainder term
    Q->push(key - lm, f.mul(c, il));
    if (B.size() > 1)
      heap.push({Q->key.back() + B.key[1], static_cast<std::uint32_t>(Q->size() - 1), 1});
  }
  return true;
}

}  // namespace

template <class F>
void mpoly_mul(const F& f, const Layout& lay, const MPoly& A, const MPoly& B, MPoly* P) {
  (void)lay;
  std::vector<std::pair<std::uint64_t, elem>> t;
  t.reserve(A.size() * B.size());
  for (std::size_t i = 0; i < A.size(); ++i)
    for (std::size_t j = 0; j < B.size(); ++j)
      t.emplace_back(A.key[i] + B.key[j], f.mul(A.coef[i], B.coef[j]));
  std::sort(t.begin(), t.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  P->clear();
  for (std::size_t i = 0; i < t.size();) {
    elem s = 0;
    std::size_t j = i;
    for (; j < t.size() && t[j].first == t[i].first; ++j) s = f.add(s, t[j].second);
    if (s != 0) P->push(t[i].first, s);
    i = j;
  }
}

template <class F>
bool mpoly_divides(const F& f, const Layout& lay, const MPoly& A, const MPoly& B, MPoly* Q) {
  Q->clear();
  if (A.empty()) return true;
  const std::vector<std::int32_t> da = degrees_in(lay, A), db = degrees_in(lay, B);
  if (!may_divide(lay, A, B, da, db)) return false;
  std::vector<std::uint64_t> stride;
  std::uint64_t cells = 0;
  if (dense_box(lay, A, B, da, db, &stride, &cells)) {
    ++division_tally().dense;
    return divide_dense(FieldArith<F>(f, B.coef[0]), lay, A, B, da, db, stride, cells, Q) ==
           division_result::exact;
  }
  ++division_tally().heap;
  division_tally().heap_terms += A.size();
  return divide_heap(f, lay, A, B, Q);
}

namespace {

// Residues modulo several word primes side by side (P lanes): one pass of
// the dense division serves them all, the cells' positions found once.
template <int P>
struct Lanes {
  std::array<elem, P> v{};
  Lanes(int = 0) {}  // zero (the division's cells start at 0)
  bool operator==(int) const {
    for (elem x : v)
      if (x != 0) return false;
    return true;
  }
};

template <int P>
struct LaneSums {
  std::array<std::uint64_t, P> v{};
  LaneSums(int = 0) {}
  bool operator==(int) const {
    for (std::uint64_t x : v)
      if (x != 0) return false;
    return true;
  }
};

// The dense division's arithmetic in every lane: as FieldArith's, a lane a
// prime; a quotient term whose residue is 0 in some lanes stays (the other
// lanes need it).
template <int P>
struct LaneArith {
  using coef = Lanes<P>;
  using acc = LaneSums<P>;
  const std::vector<PrimeField>& f;
  std::array<elem, P> il{};
  std::array<std::uint64_t, P> p2{};
  LaneArith(const std::vector<PrimeField>& fields, const coef& lead) : f(fields) {
    for (int k = 0; k < P; ++k) {
      il[k] = f[k].inv(lead.v[k]);
      p2[k] = static_cast<std::uint64_t>(f[k].modulus()) * f[k].modulus();
    }
  }
  void add_product(acc& a, const coef& b, const coef& q) const {
    for (int k = 0; k < P; ++k) {
      a.v[k] += static_cast<std::uint64_t>(b.v[k]) * q.v[k];
      if (a.v[k] >= p2[k]) a.v[k] -= p2[k];
    }
  }
  coef remainder(const coef& av, const acc& a) const {
    coef r;
    for (int k = 0; k < P; ++k) r.v[k] = f[k].sub(av.v[k], f[k].reduce(a.v[k]));
    return r;
  }
  division_result quotient(const coef& r, coef* q) const {
    for (int k = 0; k < P; ++k) q->v[k] = f[k].mul(r.v[k], il[k]);
    return division_result::exact;
  }
};

template <int P>
division_result lanes_divide(const std::vector<PrimeField>& fs, const Layout& lay,
                             const Poly<imptr>& A, const Poly<imptr>& B,
                             const std::vector<std::int32_t>& da,
                             const std::vector<std::int32_t>& db,
                             const std::vector<std::uint64_t>& stride, std::uint64_t cells,
                             std::vector<MPoly>* Q) {
  const auto residues = [&fs](const Poly<imptr>& a, Poly<Lanes<P>>* r) {
    r->key = a.key;
    r->coef.assign(a.size(), Lanes<P>());
    for (std::size_t t = 0; t < a.size(); ++t)
      for (int k = 0; k < P; ++k) r->coef[t].v[k] = number_residue(a.coef[t], fs[k]);
  };
  Poly<Lanes<P>> a, b, q;
  residues(A, &a);
  residues(B, &b);
  const division_result st =
      divide_dense(LaneArith<P>(fs, b.coef[0]), lay, a, b, da, db, stride, cells, &q);
  if (st != division_result::exact) return st;
  Q->assign(P, MPoly());
  for (int k = 0; k < P; ++k)
    for (std::size_t t = 0; t < q.size(); ++t)
      if (q.coef[t].v[k] != 0) (*Q)[k].push(q.key[t], q.coef[t].v[k]);
  return st;
}

}  // namespace

division_result lanes_divides(const std::vector<PrimeField>& fs, const Layout& lay,
                              const Poly<imptr>& A, const Poly<imptr>& B, std::vector<MPoly>* Q) {
  Q->clear();
  if (A.empty() || fs.empty() || fs.size() > max_lanes) return division_result::too_large;
  const std::vector<std::int32_t> da = degrees_in(lay, A), db = degrees_in(lay, B);
  if (!may_divide(lay, A, B, da, db)) return division_result::not_exact;
  std::vector<std::uint64_t> stride;
  std::uint64_t cells = 0;
  if (!dense_box(lay, A, B, da, db, &stride, &cells)) return division_result::too_large;
  for (const PrimeField& f : fs)
    if (number_residue(B.coef[0], f) == 0) return division_result::too_large;
  ++flat_divisions.lanes;
  switch (fs.size()) {
    case 1: return lanes_divide<1>(fs, lay, A, B, da, db, stride, cells, Q);
    case 2: return lanes_divide<2>(fs, lay, A, B, da, db, stride, cells, Q);
    case 3: return lanes_divide<3>(fs, lay, A, B, da, db, stride, cells, Q);
    default: return lanes_divide<4>(fs, lay, A, B, da, db, stride, cells, Q);
  }
}

// The arithmetic of the dense division over the integers in machine words
// (I: 64 or 128 bits): quotient terms must be exact divisions by the
// leading coefficient and at most qmax in absolute value, which keeps every
// sum of products in range (the divisor's and the quotient's coefficients
// stay below 2^62, so a product is one word product).
template <class I>
struct IntArith {
  using coef = I;
  using acc = I;
  I lead;
  I qmax;
  void add_product(acc& a, coef b, coef q) const {
    a += static_cast<I>(static_cast<std::int64_t>(b)) * static_cast<std::int64_t>(q);
  }
  coef remainder(coef av, acc a) const { return av - a; }
  division_result quotient(coef r, coef* q) const {
    if (r % lead != 0) return division_result::not_exact;
    *q = r / lead;
    return *q > qmax || *q < -qmax ? division_result::too_large : division_result::exact;
  }
};

template <class I>
division_result int_divides(const Layout& lay, const Poly<I>& A, const Poly<I>& B,
                            std::int32_t height_b, Poly<I>* Q) {
  Q->clear();
  if (A.empty()) return division_result::exact;
  const std::vector<std::int32_t> da = degrees_in(lay, A), db = degrees_in(lay, B);
  if (!may_divide(lay, A, B, da, db)) return division_result::not_exact;
  std::vector<std::uint64_t> stride;
  std::uint64_t cells = 0;
  if (!dense_box(lay, A, B, da, db, &stride, &cells)) return division_result::too_large;
  // a cell of a row sums at most |B| products: |b q| < 2^(height_b + qbits)
  std::int32_t nb = 0;
  for (std::size_t t = B.size(); t != 0; t >>= 1) ++nb;
  const std::int32_t word = static_cast<std::int32_t>(sizeof(I)) * 8 - 3;
  const std::int32_t qbits = std::min(62, word - height_b - nb);
  if (qbits < 1 || height_b > 62) return division_result::too_large;
  ++flat_divisions.integer;
  return divide_dense(IntArith<I>{B.coef[0], (I{1} << qbits) - 1}, lay, A, B, da, db, stride, cells,
                      Q);
}

template division_result int_divides<std::int64_t>(const Layout&, const Poly<std::int64_t>&,
                                                   const Poly<std::int64_t>&, std::int32_t,
                                                   Poly<std::int64_t>*);
template division_result int_divides<__int128>(const Layout&, const Poly<__int128>&,
                                               const Poly<__int128>&, std::int32_t,
                                               Poly<__int128>*);

template void mpoly_mul<PrimeField>(const PrimeField&, const Layout&, const MPoly&, const MPoly&,
                                    MPoly*);
template void mpoly_mul<LogField>(const LogField&, const Layout&, const MPoly&, const MPoly&,
                                  MPoly*);
template bool mpoly_divides<PrimeField>(const PrimeField&, const Layout&, const MPoly&,
                                        const MPoly&, MPoly*);
template bool mpoly_divides<LogField>(const LogField&, const Layout&, const MPoly&, const MPoly&,
                                      MPoly*);

}  // namespace tavrin::flat
