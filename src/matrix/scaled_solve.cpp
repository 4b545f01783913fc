// Exact solutions scaled by the determinant, for the normal forms modulo a
// determinant (see scaled_solve.h).
//
// X = d S^-1 V is an integer matrix when d = |det S|, each entry a
// determinant of S with one column replaced (Cramer), so |X_ij| is below
// the product of S's column norms times the norm of V's column j. Small
// entries: S^-1 V is lifted p-adically from one LU modulo a prime below
// 2^21 (residues held in doubles, as in the divisor route of the
// determinant) until p^K exceeds twice that bound, and X = d x mod p^K in
// the symmetric range. Larger entries: X modulo word primes by elimination
// there, joined by Chinese remaindering.
#include "matrix/scaled_solve.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/interrupts.h"
#include "matrix/divisor_determ.h"
#include "matrix/int_images.h"
#include "matrix/residue_elimination.h"
#include "numbers/garner.h"
#include "numbers/primes.h"
#include "numbers/bigint.h"
#include "matrix/owned_cells.h"
#include "matrix/residue_rows.h"
#include "numbers/node_handles.h"
#include "numbers/word_field.h"

namespace tavrin {

namespace {

// log2 of the bound of every |X_ij| of column j (Cramer and Hadamard), plus
// one bit: the lesser of the bounds by S's columns (S's column norms times
// V_j's) and by the rows of S with V_j beside them (each X_ij replaces a
// column of S by V_j, so its rows are shorter than those of [S | V_j]). The
// row bound is much the smaller for a square completion, whose unit rows
// count one each.
std::vector<double> cramer_bits(const ZMatrix& s, const ZMatrix& v) {
  const std::int32_t n = s.rows;
  // log2 of the sum of 2^(2 b) over the bit lengths b of the entries
  // (from above); -inf for none.
  auto log2_sum_sq = [](const std::vector<double>& b) {
    double top = -1.0;
    for (double x : b) top = std::max(top, x);
    if (top < 0.0) return -HUGE_VAL;
    double sum = 0.0;
    for (double x : b)
      if (x > 0.0) sum += std::ldexp(1.0, static_cast<int>(2.0 * (x - top)));  // (|x| / 2^top)^2 <= 1, from above
    return 2.0 * top + std::log2(sum);
  };
  std::vector<double> line(static_cast<std::size_t>(n));
  auto column_sq = [&](const ZMatrix& m, std::int32_t c) {
    for (std::int32_t r = 0; r < n; ++r) line[static_cast<std::size_t>(r)] = static_cast<double>(m.at(r, c).bit_length());
    return log2_sum_sq(line);
  };
  double hbits = 0.0;
  for (std::int32_t c = 0; c < n; ++c) hbits += std::max(0.0, 0.5 * column_sq(s, c));
  std::vector<double> row_sq(static_cast<std::size_t>(n));
  for (std::int32_t r = 0; r < n; ++r) {
    for (std::int32_t c = 0; c < n; ++c) line[static_cast<std::size_t>(c)] = static_cast<double>(s.at(r, c).bit_length());
    row_sq[static_cast<std::size_t>(r)] = log2_sum_sq(line);
  }
  std::vector<double> bits(static_cast<std::size_t>(v.cols));
  for (std::int32_t j = 0; j < v.cols; ++j) {
    const double by_columns = hbits + std::max(0.0, 0.5 * column_sq(v, j));
    double by_rows = 0.0;
    for (std::int32_t r = 0; r < n; ++r) {
      const double a = row_sq[static_cast<std::size_t>(r)];
      const double b = 2.0 * static_cast<double>(v.at(r, j).bit_length());
      const double both = v.at(r, j).is_zero() ? a : std::max(a, b) + std::log2(1.0 + std::exp2(-std::abs(a - b)));
      by_rows += std::max(0.0, 0.5 * both);
    }
    bits[static_cast<std::size_t>(j)] = std::min(by_columns, by_rows) + 2.0;
  }
  return bits;
}

// ---- p-adic lifting ------------------------------------------------------------------------

// dst[j] += f src[j] for j < b: the inner loop of every step below.
__attribute__((target_clones("arch=x86-64-v4", "avx2", "default"))) void axpy(
    double* __restrict dst, const double* __restrict src, double f, std::size_t b) {
  for (std::size_t j = 0; j < b; ++j) dst[j] += f * src[j];
}

// axpy, a single right-hand side in line (no dispatch per entry).
inline void add_scaled(double* __restrict dst, const double* __restrict src, double f, std::size_t b) {
  if (b == 1)
    dst[0] += f * src[0];
  else
    axpy(dst, src, f, b);
}

// ---- Words of the lifted values: little-endian 64-bit, no leading zero word.

// x := x m + a (m, a < 2^64).
void mul_add_words(std::vector<std::uint64_t>* x, std::uint64_t m, std::uint64_t a) {
  std::uint64_t carry = a;
  for (std::uint64_t& w : *x) {
    const unsigned __int128 z = static_cast<unsigned __int128>(w) * m + carry;
    w = static_cast<std::uint64_t>(z);
    carry = static_cast<std::uint64_t>(z >> 64);
  }
  if (carry != 0) x->push_back(carry);
}

// Whether x > P / 2 for odd P, i.e. 2 x > P.
bool above_half(const std::vector<std::uint64_t>& x, const std::vector<std::uint64_t>& P) {
  // 2 x word by word from the top against P.
  const std::size_t n = std::max(x.size() + 1, P.size());
  for (std::size_t i = n; i-- > 0;) {
    const std::uint64_t hi = i < x.size() ? x[i] << 1 : 0;
    const std::uint64_t lo = i > 0 && i - 1 < x.size() ? x[i - 1] >> 63 : 0;
    const std::uint64_t twice = hi | lo, q = i < P.size() ? P[i] : 0;
    if (twice != q) return twice > q;
  }
  return false;
}

// x := P - x (x <= P).
void sub_from_words(const std::vector<std::uint64_t>& P, std::vector<std::uint64_t>* x) {
  x->resize(P.size(), 0);
  unsigned char borrow = 0;
  for (std::size_t i = 0; i < P.size(); ++i) {
    const unsigned __int128 t = static_cast<unsigned __int128>(P[i]) - (*x)[i] - borrow;
    (*x)[i] = static_cast<std::uint64_t>(t);
    borrow = static_cast<unsigned char>((t >> 64) != 0);
  }
  while (!x->empty() && x->back() == 0) x->pop_back();
}

// The digits base 2^28 of x, least significant first.
void words_to_digits(const std::vector<std::uint64_t>& x, std::vector<std::uint32_t>* d) {
  d->clear();
  unsigned __int128 acc = 0;
  int have = 0;
  for (std::uint64_t w : x) {
    acc |= static_cast<unsigned __int128>(w) << have;
    have += 64;
    for (; have >= 28; have -= 28, acc >>= 28) d->push_back(static_cast<std::uint32_t>(acc & ((1u << 28) - 1)));
  }
  if (have > 0) d->push_back(static_cast<std::uint32_t>(acc));
  while (!d->empty() && d->back() == 0) d->pop_back();
}

// X by lifting, or false when the entries are too large for the doubles.
// The right-hand sides go in blocks: each step solves a block with the LU
// (substitutions in doubles, a block row at a time) and takes the
// residual (r - S x) / p, exact in doubles. The right-hand side d V enters
// digit by digit: d's base-p digit t times V joins the residual at step t,
// so that S X = d V is lifted at once and X is the lifted value itself in
// the symmetric range (every |residual| stays below (n + p) times the
// largest entry).
bool lift_solve(const ZMatrix& s, const ZMatrix& v, const ZInt& d, const std::vector<double>& bits,
                ZMatrix* out) {
  const std::int32_t n = s.rows;
  const auto m = static_cast<std::size_t>(n);
  std::int64_t largest = 0;
  for (const ZMatrix* a : {&s, &v})
    for (const ZInt& x : a->cell) {
      if (x.bit_length() > 24) return false;
      largest = std::max(largest, x.abs().to_int64());
    }
  // Every partial sum of the residual update stays below 2^52.
  if (static_cast<double>(n + 3) * static_cast<double>(largest) * 0x1p21 >= 0x1p51) return false;
  std::vector<double> sm(m * m);  // S row by row
  for (std::size_t r = 0; r < m; ++r)
    for (std::size_t c = 0; c < m; ++c)
      sm[r * m + c] = static_cast<double>(s.at(static_cast<std::int32_t>(r), static_cast<std::int32_t>(c)).to_int64());
  std::vector<double> store(m * m);
  std::vector<std::int32_t> perm(m);
  std::uint32_t p = 0;
  for (std::size_t k = 0;; ++k) {
    if (k == 8) return false;
    p = word_prime(k, lifting_prime_top);
    if (d.mod_word(p) == 0) continue;
    const double dp = p;
    for (std::size_t i = 0; i < m * m; ++i) store[i] = sm[i] < 0.0 ? sm[i] + dp : sm[i];
    if (residue_lu(store.data(), n, p, perm.data()) != 0) break;
  }
  // L (unit, below the diagonal) and U by position, and U's inverted diagonal.
  std::vector<double> lu(m * m), diag_inv(m);
  for (std::size_t k = 0; k < m; ++k) {
    const double* src = store.data() + static_cast<std::size_t>(perm[k]) * m;
    std::copy(src, src + m, lu.begin() + static_cast<std::ptrdiff_t>(k * m));
    diag_inv[k] = static_cast<double>(residue_power(static_cast<std::uint64_t>(src[k]), p - 2, p));
  }
  store = {};
  const double dp = p, inv_p = 1.0 / dp;
  // d's digits base p, least significant first.
  std::vector<double> d_digits;
  for (std::vector<std::uint32_t> q(d.magnitude().begin(), d.magnitude().end()); !q.empty();) {
    std::uint64_t rem = 0;
    for (std::size_t i = q.size(); i-- > 0;) {
      const std::uint64_t cur = (rem << 28) | q[i];
      q[i] = static_cast<std::uint32_t>(cur / p);
      rem = cur % p;
    }
    while (!q.empty() && q.back() == 0) q.pop_back();
    d_digits.push_back(static_cast<double>(rem));
  }
  // Sums of products below p^2 stay exact in doubles for this many terms.
  const std::size_t chunk = static_cast<std::size_t>(0x1p52 / (dp * dp));
  const double step_bits = std::log2(dp) - 1e-9;
  *out = ZMatrix(n, v.cols);
  const std::int32_t block = 32;
  for (std::int32_t j0 = 0; j0 < v.cols; j0 += block) {
    const auto b = static_cast<std::size_t>(std::min(block, v.cols - j0));
    double need = 0.0;
    for (std::size_t j = 0; j < b; ++j) need = std::max(need, bits[static_cast<std::size_t>(j0) + j]);
    const auto steps = std::max(static_cast<std::int64_t>(std::ceil((need + 1.0) / step_bits)),
                                static_cast<std::int64_t>(d_digits.size()));
    std::vector<double> resid(m * b), vb(m * b), y(m * b), x(m * b), part(b);
    for (std::size_t i = 0; i < m; ++i)
      for (std::size_t j = 0; j < b; ++j)
        vb[i * b + j] = static_cast<double>(v.at(static_cast<std::int32_t>(i), j0 + static_cast<std::int32_t>(j)).to_int64());
    for (std::size_t i = 0; i < m * b; ++i) resid[i] = d_digits[0] * vb[i];
    std::vector<std::uint32_t> digits(static_cast<std::size_t>(steps) * m * b);
    for (std::int64_t t = 0; t < steps; ++t) {
      check_interrupt();
      // y := L^-1 (P r), x := U^-1 y, modulo p.
      // Each row's residues stay in [0, p); the sums of a chunk are reduced
      // row by row (residue_rows.h).
      for (std::size_t k = 0; k < m; ++k) {
        double* yk = y.data() + k * b;
        residue_row(yk, resid.data() + static_cast<std::size_t>(perm[k]) * b, b, dp, inv_p);
        const double* l = lu.data() + k * m;
        for (std::size_t i0 = 0; i0 < k; i0 += chunk) {
          const std::size_t i1 = std::min(k, i0 + chunk);
          std::fill(part.begin(), part.end(), 0.0);
          for (std::size_t i = i0; i < i1; ++i)
            if (l[i] != 0.0) add_scaled(part.data(), y.data() + i * b, l[i], b);
          sub_residue_row(yk, part.data(), b, dp, inv_p);
        }
      }
      for (std::size_t i = m; i-- > 0;) {
        const double* u = lu.data() + i * m;
        double* xi = x.data() + i * b;
        std::copy(y.begin() + static_cast<std::ptrdiff_t>(i * b), y.begin() + static_cast<std::ptrdiff_t>((i + 1) * b), xi);
        for (std::size_t c0 = i + 1; c0 < m; c0 += chunk) {
          const std::size_t c1 = std::min(m, c0 + chunk);
          std::fill(part.begin(), part.end(), 0.0);
          for (std::size_t c = c0; c < c1; ++c)
            if (u[c] != 0.0) add_scaled(part.data(), x.data() + c * b, u[c], b);
          sub_residue_row(xi, part.data(), b, dp, inv_p);
        }
        scale_residue_row(xi, xi, diag_inv[i], b, dp, inv_p);
      }
      std::uint32_t* dst = digits.data() + static_cast<std::size_t>(t) * m * b;
      for (std::size_t i = 0; i < m * b; ++i) dst[i] = static_cast<std::uint32_t>(x[i]);
      // r := (r - S x) / p + d_(t+1) V.
      const auto next = static_cast<std::size_t>(t + 1);
      const double dt = next < d_digits.size() ? d_digits[next] : 0.0;
      for (std::size_t r = 0; r < m; ++r) {
        double* rr = resid.data() + r * b;
        const double* srow = sm.data() + r * m;
        for (std::size_t c = 0; c < m; ++c)
          if (srow[c] != 0.0) add_scaled(rr, x.data() + c * b, -srow[c], b);
        shift_residual_row(rr, vb.data() + r * b, dt, b, inv_p);
      }
    }
    // X = x mod p^K in the symmetric range, x from its digits by Horner in
    // 64-bit words, three digits a step (p^3 < 2^63): P = p^K, and x > P /
    // 2 (P odd) stands for x - P.
    std::vector<std::uint64_t> P{1}, x64;
    for (std::int64_t t = 0; t < steps; ++t) mul_add_words(&P, p, 0);
    std::vector<std::uint32_t> mag;
    for (std::size_t i = 0; i < m; ++i)
      for (std::size_t j = 0; j < b; ++j) {
        x64.clear();
        auto digit = [&](std::int64_t t) -> std::uint64_t { return digits[(static_cast<std::size_t>(t) * m + i) * b + j]; };
        for (std::int64_t t = steps; t > 0;) {
          const std::int64_t g = std::min<std::int64_t>(3, t);
          std::uint64_t mult = 1, add = 0;
          for (std::int64_t e = 0; e < g; ++e, --t) {
            mult *= p;
            add = add * p + digit(t - 1);
          }
          mul_add_words(&x64, mult, add);
        }
        int sign = 1;
        if (above_half(x64, P)) {
          sub_from_words(P, &x64);
          sign = -1;
        }
        words_to_digits(x64, &mag);
        out->at(static_cast<std::int32_t>(i), j0 + static_cast<std::int32_t>(j)) = ZInt::from_digits(mag, sign);
      }
  }
  return true;
}

// ---- Images modulo word primes ---------------------------------------------------------------

// X mod p: Gauss-Jordan on [S | V] modulo p; false when S is singular mod p.
bool image_solve(const ZMatrix& s, const ZMatrix& v, std::uint32_t dp, std::uint32_t p,
                 std::vector<std::uint64_t>& out) {
  const std::int32_t n = s.rows, k = v.cols, w = n + k;
  const WordField f(p);
  std::vector<std::uint64_t> a(static_cast<std::size_t>(n) * w);
  for (std::int32_t r = 0; r < n; ++r) {
    for (std::int32_t c = 0; c < n; ++c) a[static_cast<std::size_t>(r) * w + c] = s.at(r, c).mod_word(p);
    for (std::int32_t c = 0; c < k; ++c) a[static_cast<std::size_t>(r) * w + n + c] = v.at(r, c).mod_word(p);
  }
  for (std::int32_t i = 0; i < n; ++i) {
    check_interrupt();
    std::int32_t piv = i;
    while (piv < n && a[static_cast<std::size_t>(piv) * w + i] == 0) ++piv;
    if (piv == n) return false;
    if (piv != i)
      for (std::int32_t c = 0; c < w; ++c) std::swap(a[static_cast<std::size_t>(i) * w + c], a[static_cast<std::size_t>(piv) * w + c]);
    std::uint64_t* pr = a.data() + static_cast<std::size_t>(i) * w;
    const std::uint64_t inv = residue_power(pr[i], p - 2, p);
    for (std::int32_t c = i; c < w; ++c) pr[c] = f.reduce(pr[c] * inv);
    for (std::int32_t r = 0; r < n; ++r) {
      if (r == i) continue;
      std::uint64_t* row = a.data() + static_cast<std::size_t>(r) * w;
      const std::uint64_t g = row[i];
      if (g == 0) continue;
      for (std::int32_t c = i; c < w; ++c) row[c] = f.reduce(row[c] + (p - g) * pr[c]);
    }
  }
  out.resize(static_cast<std::size_t>(n) * k);
  for (std::int32_t r = 0; r < n; ++r)
    for (std::int32_t c = 0; c < k; ++c)
      out[static_cast<std::size_t>(r) * k + c] = f.reduce(a[static_cast<std::size_t>(r) * w + n + c] * dp);
  return true;
}

ZMatrix crt_solve(const ZMatrix& s, const ZMatrix& v, const ZInt& d, const std::vector<double>& bits) {
  const double need = *std::max_element(bits.begin(), bits.end()) + 1.0;
  const std::int32_t n = s.rows, k = v.cols;
  ZMatrix x(n, k);
  const auto count = static_cast<std::size_t>(n) * static_cast<std::size_t>(k);
  Garner garner;
  std::vector<std::uint32_t> digits;  // digit t of entry i at t * count + i
  double have = 0.0;
  std::vector<std::uint64_t> img;
  std::vector<std::uint32_t> residues(count);
  for (std::size_t t = 0; have <= need; ++t) {
    const std::uint32_t p = word_prime(t);
    const std::uint32_t dp = d.mod_word(p);
    if (dp == 0 || !image_solve(s, v, dp, p, img)) continue;
    const std::size_t at = garner.size();
    garner.add_prime(p);
    for (std::size_t i = 0; i < count; ++i) residues[i] = garner.field(at).reduce(img[i]);
    digits.resize(digits.size() + count);
    garner.digits_of(at, residues.data(), digits.data(), count, count, &digits[at * count]);
    have += std::log2(static_cast<double>(p)) - 1e-9;
  }
  for (std::size_t i = 0; i < count; ++i) x.cell[i] = garner.symmetric(&digits[i], count);
  return x;
}

// ---- Fraction-free elimination ---------------------------------------------------------------

// X by fraction-free Gauss-Jordan on [S | V]: each step updates every
// other row, a := (p a - a_ri a_ic) / prev, the divisions exact and the
// entries minors of [S | V]; at the end the left block is e I with e the
// last pivot, +-det S, and the right block e S^-1 V. For small sides with
// long entries, where the images would need many primes.
ZMatrix fraction_free_solve(const ZMatrix& s, const ZMatrix& v) {
  const std::int32_t n = s.rows, k = v.cols, w = n + k;
  ZMatrix a(n, w);
  for (std::int32_t r = 0; r < n; ++r) {
    for (std::int32_t c = 0; c < n; ++c) a.at(r, c) = s.at(r, c);
    for (std::int32_t c = 0; c < k; ++c) a.at(r, n + c) = v.at(r, c);
  }
  ZInt prev = 1;
  for (std::int32_t i = 0; i < n; ++i) {
    check_interrupt();
    std::int32_t piv = i;
    while (a.at(piv, i).is_zero()) ++piv;  // S is nonsingular
    if (piv != i)
      for (std::int32_t c = 0; c < w; ++c) std::swap(a.at(i, c), a.at(piv, c));
    const ZInt p = a.at(i, i);
    for (std::int32_t r = 0; r < n; ++r) {
      if (r == i) continue;
      const ZInt f = a.at(r, i);
      for (std::int32_t c = 0; c < w; ++c)
        if (c != i) ZInt::divides(p * a.at(r, c) - f * a.at(i, c), prev, &a.at(r, c));
      a.at(r, i) = 0;
    }
    prev = p;
  }
  ZMatrix x(n, k);
  for (std::int32_t r = 0; r < n; ++r)
    for (std::int32_t c = 0; c < k; ++c) x.at(r, c) = prev.sign() < 0 ? -a.at(r, n + c) : a.at(r, n + c);
  return x;
}

}  // namespace

ZMatrix scaled_solve(const ZMatrix& s, const ZMatrix& v, const ZInt& d) {
  const std::vector<double> bits = cramer_bits(s, v);
  ZMatrix x;
  if (lift_solve(s, v, d, bits, &x)) return x;
  if (s.rows <= 12) return fraction_free_solve(s, v);
  return crt_solve(s, v, d, bits);
}

ZInt abs_int_determinant(const ZMatrix& s) {
  const std::int32_t n = s.rows;
  if (n == 0) return 1;
  if (n == 1) return s.at(0, 0).abs();
  if (n == 2) return (s.at(0, 0) * s.at(1, 1) - s.at(0, 1) * s.at(1, 0)).abs();
  // The cells column by column as values of their own.
  OwnedCells cells(static_cast<std::size_t>(n) * n);
  for (std::int32_t c = 0; c < n; ++c)
    for (std::int32_t r = 0; r < n; ++r) {
      quoly& q = cells.cell[static_cast<std::size_t>(c) * n + r];
      const ZInt& x = s.at(r, c);
      if (x.bit_length() <= 27) {
        quoly_set(static_cast<std::int32_t>(x.to_int64()), &q);
      } else {
        quoly_set(0, &q);
        imptr big = x.to_number();
        num_assign(big, q->ncoef);
        special_free(big);
        free_imag(&big);
      }
      q->next = nullptr;
    }
  imptr det = images::divisor_determ(cells.cell, n, nullptr);
  if (det == nullptr) {
    detail::ScratchNumber pd;
    pd.get()->size = 0;
    bool small_one = false;
    std::int32_t size = 0;
    images::find_pseudo_cells(cells.cell, pd.get(), &small_one, n, n, &size, false, false);
    det = images::crt_determ(cells.cell, n, pd.get());
  }
  ZInt r = ZInt::from_number(det).abs();
  special_free(det);
  free_imag(&det);
  return r;
}

}  // namespace tavrin
