// Determinants modulo a composite modulus (see composite_determ.h).
#include "det/composite_determ.h"

#include <cstdint>
#include <numeric>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/trace_level.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/word_mod.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_mult.h"
#include "matrix/residue_elimination.h"

namespace tavrin {

namespace {

using nodes::OwnedValue;

// Values owned by one computation, freed on every exit.
struct Values {
  std::vector<quoly> v;
  explicit Values(std::size_t count) : v(count, nullptr) {}
  ~Values() {
    for (quoly& q : v) free_quoly(&q);
  }
  Values(const Values&) = delete;
  Values& operator=(const Values&) = delete;
};

bool is_zero(quoly q) { return q == nullptr || quoly_iszero(q); }

std::uint32_t residue(quoly q) { return static_cast<std::uint32_t>(integer_image(q->ncoef->lint)); }

bool unit_number(quoly q) {
  return q != nullptr && q->numb && std::gcd(residue(q), static_cast<std::uint32_t>(modulus)) == 1;
}

// *acc := *acc + a * b.
void add_product(quolyptr acc, quoly a, quoly b) {
  if (is_zero(a) || is_zero(b)) return;
  quoly t = nullptr;
  quoly_mult(a, b, &t);
  best_quoly_add(acc, t);
}

// A fresh number cell holding the residue v.
quoly residue_value(std::int64_t v) {
  quoly q = nullptr;
  quoly_set_image(v, &q);
  return q;
}

// The s x s matrix a (row by row) as a square of cells.
class Square {
 public:
  Square(std::vector<quoly>& a, std::size_t s) : a_(a), s_(s) {}
  quoly& operator()(std::size_t r, std::size_t c) { return a_[r * s_ + c]; }
  std::size_t side() const { return s_; }

 private:
  std::vector<quoly>& a_;
  std::size_t s_;
};

// Elimination on unit pivots, rows and columns exchanged to bring each to
// the diagonal: returns how many steps it took (the trailing block of a is
// then what is left) and multiplies their pivots and signs into *det.
std::size_t unit_steps(Square a, std::uint32_t* det) {
  const std::size_t s = a.side();
  const auto p = static_cast<std::uint32_t>(modulus);
  std::size_t i = 0;
  for (; i < s; ++i) {
    check_interrupt();
    std::size_t pr = s, pc = s;
    for (std::size_t r = i; r < s && pr == s; ++r)
      for (std::size_t c = i; c < s; ++c)
        if (unit_number(a(r, c))) {
          pr = r, pc = c;
          break;
        }
    if (pr == s) break;
    for (std::size_t c = 0; c < s && pr != i; ++c) std::swap(a(pr, c), a(i, c));
    for (std::size_t r = 0; r < s && pc != i; ++r) std::swap(a(r, pc), a(r, i));
    if ((pr != i) != (pc != i)) *det = *det == 0 ? 0 : p - *det;
    const std::uint32_t u = residue(a(i, i));
    *det = static_cast<std::uint32_t>(modmult(*det, u));
    std::int32_t inverse = static_cast<std::int32_t>(u);
    verse(&inverse);
    OwnedValue inv(residue_value(inverse));
    for (std::size_t r = i + 1; r < s; ++r) {
      if (is_zero(a(r, i))) continue;
      OwnedValue f, minus_f;
      quoly_mult(a(r, i), inv.q, f.cell());
      quoly_makeneg(f.q, minus_f.cell());
      for (std::size_t c = i + 1; c < s; ++c) add_product(&a(r, c), minus_f.q, a(i, c));
      free_quoly(&a(r, i));
    }
  }
  return i;
}

// The determinant of the trailing block from `from` of a (no nil cells)
// by Berkowitz's recurrence: p holds the coefficients (leading first) of
// det(xI - B) for the leading r x r part B of the block; the next is T p,
// T the lower triangular Toeplitz matrix on 1, -b, -R C, -R B C, ...,
// -R B^(r-1) C (R, C, b: the new row, column and corner).
void berkowitz(Square a, std::size_t from, quolyptr det) {
  const std::size_t s = a.side() - from;
  auto b = [&](std::size_t r, std::size_t c) -> quoly& { return a(from + r, from + c); };
  Values p(s + 1);
  p.v[0] = residue_value(1);
  for (std::size_t r = 0; r < s; ++r) {
    check_interrupt();
    Values t(r + 2), v(r), w(r);
    t.v[0] = residue_value(1);
    quoly_makeneg(b(r, r), &t.v[1]);
    for (std::size_t k = 0; k < r; ++k) quoly_assign(b(k, r), &v.v[k]);
    for (std::size_t k = 2; k < r + 2; ++k) {
      OwnedValue sum(residue_value(0));
      for (std::size_t c = 0; c < r; ++c) add_product(sum.cell(), b(r, c), v.v[c]);
      quoly_makeneg(sum.q, &t.v[k]);
      if (k == r + 1) break;
      for (std::size_t q = 0; q < r; ++q) {
        free_quoly(&w.v[q]);
        w.v[q] = residue_value(0);
        for (std::size_t c = 0; c < r; ++c) add_product(&w.v[q], b(q, c), v.v[c]);
      }
      std::swap(v.v, w.v);
    }
    Values next(s + 1);
    for (std::size_t j = 0; j <= r + 1; ++j) {
      next.v[j] = residue_value(0);
      for (std::size_t l = 0; l <= j && l <= r; ++l) add_product(&next.v[j], t.v[j - l], p.v[l]);
    }
    std::swap(p.v, next.v);
  }
  free_quoly(det);
  if (s % 2 == 0)
    quoly_assign(p.v[s], det);
  else
    quoly_makeneg(p.v[s], det);
}

}  // namespace

bool composite_modulus() { return modularmode && !flotemode && !finf && !mod_is_prime; }

void composite_determ(workptr ar, std::int32_t m, quolyptr n) {
  const auto s = static_cast<std::size_t>(m);
  TraceLevel trace(m);
  if (verbose) dumpitt("Unit pivot elimination (composite modulus), size ", m, true, true, true);
  bool numbers = true;
  for (std::size_t k = 0; k < s * s && numbers; ++k)
    numbers = ar->stash[k] == nullptr || ar->stash[k]->numb;
  if (numbers) {
    std::vector<std::uint32_t> store(s * s);
    for (std::size_t r = 0; r < s; ++r)
      for (std::size_t c = 0; c < s; ++c) {
        quoly q = ar->stash[c * s + r];
        store[r * s + c] = q == nullptr ? 0 : residue(q);
      }
    const std::int32_t d = residue_determ(store.data(), m, 1);
    free_quoly(n);
    *n = residue_value(d);
    return;
  }
  Values cells(s * s);
  for (std::size_t r = 0; r < s; ++r)
    for (std::size_t c = 0; c < s; ++c) {
      quoly q = ar->stash[c * s + r];
      quoly& cell = cells.v[r * s + c];
      if (q == nullptr)
        cell = residue_value(0);
      else
        quoly_assign(q, &cell);
      cell->next = nullptr;
    }
  Square a(cells.v, s);
  std::uint32_t unit_part = 1;
  const std::size_t done = unit_steps(a, &unit_part);
  OwnedValue rest(residue_value(1));
  if (done < s) berkowitz(a, done, rest.cell());
  OwnedValue factor(residue_value(unit_part));
  free_quoly(n);
  quoly_mult(rest.q, factor.q, n);
  (*n)->next = nullptr;
}

}  // namespace tavrin
