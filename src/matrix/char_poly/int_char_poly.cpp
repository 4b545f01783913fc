// Characteristic polynomials of integer matrices by images (see
// int_char_poly.h). Per prime: the matrix is brought to upper Hessenberg
// form by similarity transforms (stored column by column, so both the row
// and the column operations run along contiguous columns), then the
// characteristic polynomial of the Hessenberg matrix follows from the
// recurrence on its leading principal submatrices. Garner's mixed radix
// combines the images; the coefficients are lifted into (-M/2, M/2).
#include "matrix/int_char_poly.h"
#include "core/target_clones.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/globals.h"
#include "core/interrupts.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/bigint_multiply.h"
#include "numbers/freelists.h"
#include "numbers/garner.h"
#include "numbers/integer_gcd.h"
#include "numbers/limb_array.h"
#include "numbers/node_handles.h"
#include "numbers/primes.h"
#include "numbers/word_field.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_quot.h"
#include "arrays/sparse_store.h"
#include "matrix/image_tasks.h"
#include "matrix/zmatrix.h"

namespace tavrin {

namespace charpoly_images {

namespace {

using u32 = std::uint32_t;

// dst[i] -= x * w[i] for i in [0, len), ws[i] = shoup_quotient(w[i], p).
TAVRIN_CLONES void sub_scaled_vector(u32* __restrict dst, u32 x, const u32* __restrict w,
                                     const u32* __restrict ws, std::size_t len, u32 p) {
  for (std::size_t i = 0; i < len; ++i) dst[i] = word_sub(dst[i], shoup_mul(x, w[i], ws[i], p), p);
}

// dst[i] += w * src[i] for i in [0, len).
TAVRIN_CLONES void add_scaled(u32* __restrict dst, const u32* __restrict src, u32 w, u32 ws,
                              std::size_t len, u32 p) {
  for (std::size_t i = 0; i < len; ++i) dst[i] = word_add(dst[i], shoup_mul(src[i], w, ws, p), p);
}

}  // namespace

std::uint32_t largest_word_prime(std::int32_t k) { return word_prime(static_cast<std::size_t>(k)); }

std::vector<std::uint32_t> char_poly_mod(std::uint32_t* a, std::int32_t n, std::uint32_t p) {
  const auto m = static_cast<std::size_t>(n);
  auto col = [&](std::size_t c) { return a + c * m; };
  const WordField f(p);
  std::vector<u32> u(m), us(m);
  for (std::size_t k = 0; k + 2 < m; ++k) {
    check_interrupt();
    u32* ck = col(k);
    std::size_t piv = k + 1;
    while (piv < m && ck[piv] == 0) ++piv;
    if (piv == m) continue;
    if (piv != k + 1) {
      for (std::size_t c = 0; c < m; ++c) std::swap(col(c)[piv], col(c)[k + 1]);
      std::swap_ranges(col(piv), col(piv) + m, col(k + 1));
    }
    // Rows i > k+1 lose u_i times row k+1 (column k becomes zero); then
    // column k+1 gains u_i times column i, which keeps the similarity.
    const u32 inv = f.inv(ck[k + 1]);
    bool any = false;
    for (std::size_t i = k + 2; i < m; ++i) {
      u[i] = f.mul(ck[i], inv);
      us[i] = shoup_quotient(u[i], p);
      any = any || u[i] != 0;
      ck[i] = 0;
    }
    if (!any) continue;
    const std::size_t len = m - k - 2;
    for (std::size_t c = k + 1; c < m; ++c) {
      u32* cc = col(c);
      if (cc[k + 1] != 0) sub_scaled_vector(cc + k + 2, cc[k + 1], &u[k + 2], &us[k + 2], len, p);
    }
    u32* target = col(k + 1);
    for (std::size_t i = k + 2; i < m; ++i)
      if (u[i] != 0) add_scaled(target, col(i), u[i], us[i], m, p);
  }
  // P_j = det(xI - H_j) for the leading j x j block H_j of the Hessenberg
  // matrix H: P_j = (x - h_{j,j}) P_{j-1} - sum_{i<j} h_{i,j} s_{i+1..j} P_{i-1}
  // (1-based), s the product of the subdiagonal entries between.
  std::vector<u32> polys((m + 1) * (m + 1), 0);  // P_j at j * (m + 1)
  polys[0] = 1;
  std::vector<u32> ws(m + 1);
  for (std::size_t j = 1; j <= m; ++j) {
    u32* pj = &polys[j * (m + 1)];
    const u32* prev = &polys[(j - 1) * (m + 1)];
    const u32 diag = col(j - 1)[j - 1];
    for (std::size_t d = 0; d < j; ++d) pj[d + 1] = prev[d];
    const u32 dws = shoup_quotient(diag, p);
    for (std::size_t d = 0; d < j; ++d)
      pj[d] = word_sub(pj[d], shoup_mul(prev[d], diag, dws, p), p);
    u32 s = 1;
    for (std::size_t i = j - 1; i >= 1; --i) {
      s = f.mul(s, col(i - 1)[i]);
      if (s == 0) break;
      const u32 w = f.mul(col(j - 1)[i - 1], s);
      if (w == 0) continue;
      const u32 wp = p - w;
      add_scaled(pj, &polys[(i - 1) * (m + 1)], wp, shoup_quotient(wp, p), i, p);
    }
  }
  return {polys.begin() + static_cast<std::ptrdiff_t>(m * (m + 1)), polys.end()};
}

double coefficient_bits(const std::vector<long double>& log_rows,
                        const std::vector<long double>& log_cols) {
  auto bits = [](const std::vector<long double>& logs) {
    long double top = -1.0L;
    for (long double v : logs) top = std::max(top, v);
    const std::size_t n = logs.size();
    // e_k of the norms scaled by 2^-top (each at most 1), so e_k <= C(n, k).
    std::vector<long double> e(n + 1, 0.0L);
    e[0] = 1.0L;
    for (std::size_t i = 0; i < n; ++i) {
      if (logs[i] < -0.5L) continue;  // a zero row or column
      const long double v = std::exp2(logs[i] - top);
      for (std::size_t k = i + 1; k >= 1; --k) e[k] += v * e[k - 1];
    }
    long double best = 0.0L;
    for (std::size_t k = 1; k <= n; ++k)
      if (e[k] > 0.0L) best = std::max(best, std::log2(e[k]) + static_cast<long double>(k) * top);
    return best;
  };
  const long double b = std::min(bits(log_rows), bits(log_cols));
  // Rounding in the sums above is far below one part in 10^9.
  return static_cast<double>(b * (1.0L + 1e-9L) + 1.0L);
}

}  // namespace charpoly_images

namespace {

using namespace charpoly_images;
using u32 = std::uint32_t;

// Sides above this would take hundreds of megabytes of residues and entries.
constexpr std::int32_t largest_side = 2000;

bool rational_ground() { return !modularmode && !flotemode && !lintmode; }

bool integer_value(quoly v) { return v == nullptr || (v->numb && v->ncoef->size > 0); }

// A rational number: numerator and denominator single leaves.
bool rational_value(quoly v) {
  return !v->numb && v->rat && v->numer != nullptr && v->numer->numb && v->numer->next == nullptr &&
         v->denom != nullptr && v->denom->numb && v->denom->next == nullptr;
}

// log2 of an upper bound on |x|, -1 for zero.
long double log_magnitude(imptr x) {
  const long double top = std::fabs(static_cast<long double>(x->head->value));
  if (x->size == 1) return top == 0.0L ? -1.0L : std::log2(top);
  return std::log2(top + 1.0L) + static_cast<long double>(limb_bits) * (x->size - 1);
}

// The residues of one matrix entry: small entries directly, long ones by
// their limbs.
struct Entry {
  std::int32_t small = 0;
  imptr big = nullptr;
};

u32 residue(const Entry& e, const WordField& f) {
  return e.big == nullptr ? f.of(e.small) : number_residue(e.big, f);
}

// det(xI - A) from the entries (column by column), the coefficients as
// fresh numbers c[0 .. n].
std::vector<imptr> integer_coefficients(const std::vector<Entry>& entries, std::int32_t n) {
  const auto m = static_cast<std::size_t>(n);
  // The rows' and columns' log2 Euclidean norms (-1 for a zero one), the
  // sums of squares scaled by the largest entry.
  auto log_of = [](const Entry& e) {
    if (e.big != nullptr) return log_magnitude(e.big);
    return e.small == 0 ? -1.0L : std::log2(std::fabs(static_cast<long double>(e.small)));
  };
  std::vector<long double> row_top(m, -1.0L), col_top(m, -1.0L), rows(m, 0.0L), cols(m, 0.0L);
  for (std::size_t c = 0; c < m; ++c)
    for (std::size_t r = 0; r < m; ++r) {
      const long double l = log_of(entries[c * m + r]);
      row_top[r] = std::max(row_top[r], l);
      col_top[c] = std::max(col_top[c], l);
    }
  for (std::size_t c = 0; c < m; ++c)
    for (std::size_t r = 0; r < m; ++r) {
      const long double l = log_of(entries[c * m + r]);
      if (l < -0.5L) continue;
      rows[r] += std::exp2(2.0L * (l - row_top[r]));
      cols[c] += std::exp2(2.0L * (l - col_top[c]));
    }
  for (std::size_t i = 0; i < m; ++i) {
    rows[i] = row_top[i] < -0.5L ? -1.0L : row_top[i] + 0.5L * std::log2(rows[i]);
    cols[i] = col_top[i] < -0.5L ? -1.0L : col_top[i] + 0.5L * std::log2(cols[i]);
  }
  // Primes until their product exceeds twice the bound.
  const double need = coefficient_bits(rows, cols) + 1.0;
  std::int32_t count = 0;
  for (double have = 0.0; have <= need; ++count)
    have += std::log2(static_cast<double>(largest_word_prime(count)));

  // One image per prime (a task each), then Garner's digits in the order
  // of the primes: digit t of coefficient d at t * (m + 1) + d.
  Garner garner;
  for (std::int32_t t = 0; t < count; ++t) garner.add_prime(largest_word_prime(t));
  std::vector<std::vector<u32>> images(garner.size());
  const double side = n;
  run_images(images.size(), side * side * side * 10 / 3, [&](std::size_t t) {
    check_interrupt();
    const WordField& f = garner.field(t);
    std::vector<u32> store(m * m);
    for (std::size_t k = 0; k < m * m; ++k) store[k] = residue(entries[k], f);
    images[t] = char_poly_mod(store.data(), n, f.modulus());
  });
  std::vector<u32> digits(static_cast<std::size_t>(count) * (m + 1));
  for (std::size_t t = 0; t < images.size(); ++t) {
    garner.digits_of(t, images[t].data(), digits.data(), m + 1, m + 1, &digits[t * (m + 1)]);
    images[t] = {};
  }
  std::vector<imptr> coefs(m + 1);
  for (std::size_t d = 0; d <= m; ++d) coefs[d] = garner.symmetric(&digits[d], m + 1).to_number();
  return coefs;
}

// *out := sign * sum c[k] x^k, the numbers consumed (zeros freed).
void build_polynomial(std::vector<imptr>& c, std::int32_t sign, quolyptr out) {
  poly head = nullptr;
  poly* link = &head;
  for (std::size_t k = c.size(); k-- > 0;) {
    imptr& v = c[k];
    if (kit::is_zero_number(v)) {
      free_imag(&v);
      continue;
    }
    if (sign < 0) in_place_neg(v);
    poly leaf = nullptr;
    scalar_to_poly(v, &leaf);  // takes the limbs; the header goes back empty
    v->size = 0;
    v->head = v->tail = nullptr;
    free_imag(&v);
    poly node = nullptr;
    make_monomial(&node, static_cast<std::int32_t>(k), leaf);
    *link = node;
    link = &node->next;
  }
  free_quoly(out);
  if (head == nullptr) {
    quoly_set(0, out);
    return;
  }
  use_up_poly(&head, out);
}

// x := x * y.
void multiply_into(imptr x, imptr y) {
  nodes::ScratchNumber prod;
  fast_mult(x, y, prod.get());
  num_assign(prod.get(), x);
}

// With l the least common multiple of the denominators and B = lA an
// integer matrix, det(A - xI) = det(B - lxI) / l^n: the coefficient of x^k
// of B's polynomial is multiplied by l^k, and the whole divided by l^n.
void clear_denominators(const std::vector<quoly>& cells, std::int32_t n, quolyptr out) {
  nodes::ScratchNumber l;
  setvalue(1, l.get());
  for (quoly v : cells) {
    if (v == nullptr || v->numb) continue;
    nodes::ScratchNumber d, g, quot, rem;
    abs_val_num(v->denom->ncoef, d.get());
    binary_gcd(l.get(), d.get(), g.get());
    divide(d.get(), g.get(), quot.get(), rem.get());
    multiply_into(l.get(), quot.get());
  }
  std::vector<nodes::ScratchNumber> scaled(cells.size());
  std::vector<Entry> entries(cells.size());
  for (std::size_t k = 0; k < cells.size(); ++k) {
    const quoly v = cells[k];
    if (v == nullptr) continue;
    imptr b = scaled[k].get();
    if (v->numb) {
      fast_mult(v->ncoef, l.get(), b);
    } else {
      nodes::ScratchNumber quot, rem;
      divide(l.get(), v->denom->ncoef, quot.get(), rem.get());
      fast_mult(v->numer->ncoef, quot.get(), b);
    }
    if (b->size == 1)
      entries[k].small = b->head->value;
    else
      entries[k].big = b;
  }
  std::vector<imptr> coefs = integer_coefficients(entries, n);
  nodes::ScratchNumber power;
  setvalue(1, power.get());
  for (imptr c : coefs) {
    multiply_into(c, power.get());
    multiply_into(power.get(), l.get());
  }
  build_polynomial(coefs, n % 2 == 0 ? 1 : -1, out);
  // power = l^(n + 1) now.
  nodes::ScratchNumber ln, rem;
  divide(power.get(), l.get(), ln.get(), rem.get());
  quoly divisor = nullptr;
  quoly_set(1, &divisor);
  num_assign(ln.get(), divisor->ncoef);
  fast_quoly_quot(out, &divisor, false);
  free_quoly(&divisor);
}

}  // namespace

bool int_char_poly(const std::vector<quoly>& cells, std::int32_t n, quolyptr out) {
  if (!rational_ground() || n < 1 || n > largest_side || polynames == nullptr) return false;
  bool fractions = false;
  for (quoly v : cells) {
    if (integer_value(v)) continue;
    if (!rational_value(v)) return false;
    fractions = true;
  }
  if (fractions) {
    clear_denominators(cells, n, out);
    return true;
  }
  std::vector<Entry> entries(cells.size());
  for (std::size_t k = 0; k < cells.size(); ++k) {
    const quoly v = cells[k];
    if (v == nullptr) continue;
    if (v->ncoef->size == 1)
      entries[k].small = v->ncoef->head->value;
    else
      entries[k].big = v->ncoef;
  }
  std::vector<imptr> coefs = integer_coefficients(entries, n);
  build_polynomial(coefs, n % 2 == 0 ? 1 : -1, out);
  return true;
}

bool int_char_poly_sparse(sparseptr spar, std::int32_t rows, quolyptr out) {
  if (!rational_ground() || rows < 1 || rows > largest_side || polynames == nullptr) return false;
  const auto m = static_cast<std::size_t>(rows);
  std::vector<quoly> cells(m * m, nullptr);
  for (std::int32_t i = 1; i <= rows; ++i)
    for (colm_ptr e = *sparse_row(spar, i); e != nullptr; e = e->next)
      cells[static_cast<std::size_t>(e->coord - 1) * m + static_cast<std::size_t>(i - 1)] = e->val;
  return int_char_poly(cells, rows, out);
}

}  // namespace tavrin
