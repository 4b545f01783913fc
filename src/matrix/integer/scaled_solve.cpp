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
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/garner.h"
#include "numbers/node_handles.h"
#include "numbers/primes.h"
#include "numbers/word_field.h"
#include "numbers/word_mod.h"
#include "matrix/divisor_determ.h"
#include "matrix/int_images.h"
#include "matrix/integer/residue_rows.h"
#include "matrix/owned_cells.h"
#include "matrix/residue_elimination.h"

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
      if (x > 0.0)
        sum +=
            std::ldexp(1.0, static_cast<int>(2.0 * (x - top)));  // (|x| / 2^top)^2 <= 1, from above
    return 2.0 * top + std::log2(sum);
  };
  std::vector<double> line(static_cast<std::size_t>(n));
  auto column_sq = [&](const ZMatrix& m, std::int32_t c) {
    for (std::int32_t r = 0; r < n; ++r)
      line[static_cast<std::size_t>(r)] = static_cast<double>(m.at(r, c).bit_length());
    return log2_sum_sq(line);
  };
  double hbits = 0.0;
  for (std::int32_t c = 0; c < n; ++c) hbits += std::max(0.0, 0.5 * column_sq(s, c));
  std::vector<double> row_sq(static_cast<std::size_t>(n));
  for (std::int32_t r = 0; r < n; ++r) {
    for (std::int32_t c = 0; c < n; ++c)
      line[static_cast<std::size_t>(c)] = static_cast<double>(s.at(r, c).bit_length());
    row_sq[static_cast<std::size_t>(r)] = log2_sum_sq(line);
  }
  std::vector<double> bits(static_cast<std::size_t>(v.cols));
  for (std::int32_t j = 0; j < v.cols; ++j) {
    const double by_columns = hbits + std::max(0.0, 0.5 * column_sq(v, j));
    double by_rows = 0.0;
    for (std::int32_t r = 0; r < n; ++r) {
      const double a = row_sq[static_cast<std::size_t>(r)];
      const double b = 2.0 * static_cast<double>(v.at(r, j).bit_length());
      const double both =
          v.at(r, j).is_zero() ? a : std::max(a, b) + std::log2(1.0 + std::exp2(-std::abs(a - b)));
      by_rows += std::max(0.0, 0.5 * both);
    }
    bits[static_cast<std::size_t>(j)] = std::min(by_columns, by_rows) + 2.0;
  }
  return bits;
}

// ---- p-adic lifting ------------------------------------------------------------------------

// S in doubles and its LU modulo a prime p below 2^21 (residues held in
// doubles, as in the divisor route of the determinant), the factors of
// every lifting.
struct LiftLU {
  std::size_t m = 0;
  std::uint32_t p = 0;
  double dp = 0.0, inv_p = 0.0;
  std::size_t chunk = 0;   // sums of products below p^2 stay exact for this many terms
  std::vector<double> sm;  // S row by row
  std::vector<double> lu,
      diag_inv;  // L (unit, below the diagonal) and U by position; U's diagonal inverted
  std::vector<std::int32_t> perm;  // the source row of each position
};

// The factors for S and right-hand sides V: false when an entry passes
// 2^24, a residual could pass 2^52, or S is singular modulo the first
// eight lifting primes (those dividing avoid passed over).
bool lift_factors(const ZMatrix& s, const ZMatrix& v, const ZInt& avoid, LiftLU* f) {
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
  f->m = m;
  f->sm.assign(m * m, 0.0);
  for (std::size_t r = 0; r < m; ++r)
    for (std::size_t c = 0; c < m; ++c)
      f->sm[r * m + c] = static_cast<double>(
          s.at(static_cast<std::int32_t>(r), static_cast<std::int32_t>(c)).to_int64());
  std::vector<double> store(m * m);
  f->perm.assign(m, 0);
  std::uint32_t p = 0;
  for (std::size_t k = 0;; ++k) {
    if (k == 8) return false;
    p = word_prime(k, lifting_prime_top);
    if (!avoid.is_zero() && avoid.mod_word(p) == 0) continue;
    const double dp = p;
    for (std::size_t i = 0; i < m * m; ++i) store[i] = f->sm[i] < 0.0 ? f->sm[i] + dp : f->sm[i];
    if (residue_lu(store.data(), n, p, f->perm.data()) != 0) break;
  }
  f->lu.assign(m * m, 0.0);
  f->diag_inv.assign(m, 0.0);
  for (std::size_t k = 0; k < m; ++k) {
    const double* src = store.data() + static_cast<std::size_t>(f->perm[k]) * m;
    std::copy(src, src + m, f->lu.begin() + static_cast<std::ptrdiff_t>(k * m));
    f->diag_inv[k] =
        static_cast<double>(power_modulo(static_cast<std::uint64_t>(src[k]), p - 2, p));
  }
  f->p = p;
  f->dp = p;
  f->inv_p = 1.0 / f->dp;
  f->chunk = static_cast<std::size_t>(0x1p52 / (f->dp * f->dp));
  return true;
}

// A block of b right-hand sides being lifted, rows of b entries: the
// residual, the right-hand sides themselves and the digits so far (digit t
// of entry (i, j) at (t m + i) b + j).
struct LiftBlock {
  std::size_t b = 0;
  std::vector<double> resid, vb, y, x;
  std::vector<std::uint32_t> digits;
  std::int64_t steps = 0;
};

// Columns j0 .. j0 + b - 1 of V, the residual starting at t0 V.
LiftBlock lift_block(const LiftLU& f, const ZMatrix& v, std::int32_t j0, std::size_t b, double t0) {
  LiftBlock k;
  k.b = b;
  k.resid.assign(f.m * b, 0.0);
  k.vb.assign(f.m * b, 0.0);
  k.y.assign(f.m * b, 0.0);
  k.x.assign(f.m * b, 0.0);
  for (std::size_t i = 0; i < f.m; ++i)
    for (std::size_t j = 0; j < b; ++j)
      k.vb[i * b + j] = static_cast<double>(
          v.at(static_cast<std::int32_t>(i), j0 + static_cast<std::int32_t>(j)).to_int64());
  for (std::size_t i = 0; i < f.m * b; ++i) k.resid[i] = t0 * k.vb[i];
  return k;
}

// One step: the next digit x := S^-1 r modulo p (y := L^-1 (P r), x := U^-1
// y), then r := (r - S x) / p + next V, exact in doubles. A single
// right-hand side goes by dot products of rows, a block by updates of
// block rows. Each row's residues stay in [0, p); the sums of a chunk are
// reduced row by row (residue_rows.h).
void lift_step(const LiftLU& f, LiftBlock* k, double next) {
  check_interrupt();
  const std::size_t m = f.m, b = k->b, chunk = f.chunk;
  const double dp = f.dp, inv_p = f.inv_p;
  double* const y = k->y.data();
  double* const x = k->x.data();
  double* const resid = k->resid.data();
  if (b == 1) {
    for (std::size_t i = 0; i < m; ++i) {
      residue_row(&y[i], &resid[static_cast<std::size_t>(f.perm[i])], 1, dp, inv_p);
      const double* l = f.lu.data() + i * m;
      for (std::size_t i0 = 0; i0 < i; i0 += chunk) {
        const double part = dot_row(l + i0, y + i0, std::min(i, i0 + chunk) - i0);
        sub_residue_row(&y[i], &part, 1, dp, inv_p);
      }
    }
    for (std::size_t i = m; i-- > 0;) {
      const double* u = f.lu.data() + i * m;
      x[i] = y[i];
      for (std::size_t c0 = i + 1; c0 < m; c0 += chunk) {
        const double part = dot_row(u + c0, x + c0, std::min(m, c0 + chunk) - c0);
        sub_residue_row(&x[i], &part, 1, dp, inv_p);
      }
      scale_residue_row(&x[i], &x[i], f.diag_inv[i], 1, dp, inv_p);
    }
  } else {
    std::vector<double> part(b);
    for (std::size_t i = 0; i < m; ++i) {
      double* yi = y + i * b;
      residue_row(yi, resid + static_cast<std::size_t>(f.perm[i]) * b, b, dp, inv_p);
      const double* l = f.lu.data() + i * m;
      for (std::size_t i0 = 0; i0 < i; i0 += chunk) {
        block_dot(part.data(), l + i0, y + i0 * b, std::min(i, i0 + chunk) - i0, b);
        sub_residue_row(yi, part.data(), b, dp, inv_p);
      }
    }
    for (std::size_t i = m; i-- > 0;) {
      const double* u = f.lu.data() + i * m;
      double* xi = x + i * b;
      std::copy(y + i * b, y + (i + 1) * b, xi);
      for (std::size_t c0 = i + 1; c0 < m; c0 += chunk) {
        block_dot(part.data(), u + c0, x + c0 * b, std::min(m, c0 + chunk) - c0, b);
        sub_residue_row(xi, part.data(), b, dp, inv_p);
      }
      scale_residue_row(xi, xi, f.diag_inv[i], b, dp, inv_p);
    }
  }
  const std::size_t at = k->digits.size();
  k->digits.resize(at + m * b);
  for (std::size_t i = 0; i < m * b; ++i) k->digits[at + i] = static_cast<std::uint32_t>(x[i]);
  ++k->steps;
  std::vector<double> sum(b);
  for (std::size_t r = 0; r < m; ++r) {
    double* rr = resid + r * b;
    const double* srow = f.sm.data() + r * m;
    if (b == 1) {
      rr[0] -= dot_row(srow, x, m);
    } else {
      block_dot(sum.data(), srow, x, m, b);
      for (std::size_t j = 0; j < b; ++j) rr[j] -= sum[j];
    }
    shift_residual_row(rr, k->vb.data() + r * b, next, b, inv_p);
  }
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
    for (; have >= 28; have -= 28, acc >>= 28)
      d->push_back(static_cast<std::uint32_t>(acc & ((1u << 28) - 1)));
  }
  if (have > 0) d->push_back(static_cast<std::uint32_t>(acc));
  while (!d->empty() && d->back() == 0) d->pop_back();
}

// Entry (i, j) of a block lifted through its steps, x mod p^steps, as
// 64-bit words (no leading zero word): Horner over the digits, three a
// step (p^3 < 2^63).
void lifted_words(const LiftLU& f, const LiftBlock& k, std::size_t i, std::size_t j,
                  std::vector<std::uint64_t>* x64) {
  x64->clear();
  const std::uint64_t p = f.p;
  auto digit = [&](std::int64_t t) -> std::uint64_t {
    return k.digits[(static_cast<std::size_t>(t) * f.m + i) * k.b + j];
  };
  for (std::int64_t t = k.steps; t > 0;) {
    const std::int64_t g = std::min<std::int64_t>(3, t);
    std::uint64_t mult = 1, add = 0;
    for (std::int64_t e = 0; e < g; ++e, --t) {
      mult *= p;
      add = add * p + digit(t - 1);
    }
    mul_add_words(x64, mult, add);
  }
}

// X = d S^-1 V by lifting with the factors f (V's entries below 2^24,
// bits: a bound of each column's entries, in bits). The right-hand side d
// V enters digit by digit: d's base-p digit t times V joins the residual at
// step t, so that S X = d V is lifted at once and X is the lifted value
// itself in the symmetric range (every |residual| stays below (n + p)
// times the largest entry).
void lift_with(const LiftLU& f, const ZMatrix& v, const ZInt& d, const std::vector<double>& bits,
               ZMatrix* out) {
  const auto n = static_cast<std::int32_t>(f.m);
  const std::size_t m = f.m;
  const std::uint32_t p = f.p;
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
  const double step_bits = std::log2(f.dp) - 1e-9;
  *out = ZMatrix(n, v.cols);
  // A few right-hand sides go one at a time: each substitution and the
  // residual are then dot products of rows, which vectorise; more go in
  // blocks, each step an update of a block row. The same digits either way.
  const std::int32_t block = v.cols <= lift_single_columns ? 1 : 32;
  for (std::int32_t j0 = 0; j0 < v.cols; j0 += block) {
    const auto b = static_cast<std::size_t>(std::min(block, v.cols - j0));
    double need = 0.0;
    for (std::size_t j = 0; j < b; ++j)
      need = std::max(need, bits[static_cast<std::size_t>(j0) + j]);
    const auto steps = std::max(static_cast<std::int64_t>(std::ceil((need + 1.0) / step_bits)),
                                static_cast<std::int64_t>(d_digits.size()));
    LiftBlock k = lift_block(f, v, j0, b, d_digits[0]);
    k.digits.reserve(static_cast<std::size_t>(steps) * m * b);
    for (std::int64_t t = 0; t < steps; ++t) {
      const auto next = static_cast<std::size_t>(t + 1);
      lift_step(f, &k, next < d_digits.size() ? d_digits[next] : 0.0);
    }
    // X = x mod p^K in the symmetric range: P = p^K, and x > P / 2 (P
    // odd) stands for x - P.
    std::vector<std::uint64_t> P{1}, x64;
    for (std::int64_t t = 0; t < steps; ++t) mul_add_words(&P, p, 0);
    std::vector<std::uint32_t> mag;
    for (std::size_t i = 0; i < m; ++i)
      for (std::size_t j = 0; j < b; ++j) {
        lifted_words(f, k, i, j, &x64);
        int sign = 1;
        if (above_half(x64, P)) {
          sub_from_words(P, &x64);
          sign = -1;
        }
        words_to_digits(x64, &mag);
        out->at(static_cast<std::int32_t>(i), j0 + static_cast<std::int32_t>(j)) =
            ZInt::from_digits(mag, sign);
      }
  }
}

// The same from S, or false when the entries are too large for the doubles.
bool lift_solve(const ZMatrix& s, const ZMatrix& v, const ZInt& d, const std::vector<double>& bits,
                ZMatrix* out) {
  LiftLU f;
  if (!lift_factors(s, v, d, &f)) return false;
  lift_with(f, v, d, bits, out);
  return true;
}

// log2 of the Hadamard bound of |det S| (the product of S's column norms),
// from above.
double hadamard_log2(const ZMatrix& s) {
  double sum = 0.0;
  for (std::int32_t c = 0; c < s.cols; ++c) {
    double top = -1.0;
    for (std::int32_t r = 0; r < s.rows; ++r)
      top = std::max(top, static_cast<double>(s.at(r, c).bit_length()));
    if (top <= 0.0) continue;
    double sq = 0.0;
    for (std::int32_t r = 0; r < s.rows; ++r)
      if (!s.at(r, c).is_zero())
        sq += std::ldexp(
            1.0, static_cast<int>(2.0 * (static_cast<double>(s.at(r, c).bit_length()) - top)));
    sum += top + 0.5 * std::log2(sq);
  }
  return sum;
}

// (n, d) with n = d u modulo P, |n| < 2^bits and 0 < d < 2^dbits, by the
// extended Euclidean remainders of (P, u) (Wang's reconstruction): unique
// when 2^(bits + dbits + 1) <= P. False when there is none.
bool reconstruct(const ZInt& u, const ZInt& P, std::int64_t bits, std::int64_t dbits, ZInt* n,
                 ZInt* d) {
  ZInt r0 = P, r1 = u.mod(P), t0 = 0, t1 = 1;
  while (r1.bit_length() > bits) {
    ZInt q, r;
    ZInt::divmod(r0, r1, &q, &r);
    r0 = std::move(r1);
    r1 = std::move(r);
    ZInt t = t0 - q * t1;
    t0 = std::move(t1);
    t1 = std::move(t);
  }
  if (t1.is_zero() || t1.bit_length() > dbits) return false;
  *n = t1.sign() < 0 ? -r1 : r1;
  *d = t1.abs();
  return true;
}

// The lifted values x of every block (mod P = p^steps) as num / den, each
// entry the symmetric residue of den x below 2^half bits and den below
// 2^half: den from the entries' reconstructions in turn (each a factor of
// the next entry's denominator), the numerators after. False when some
// entry has none (more steps are needed).
bool reconstruct_all(const LiftLU& f, const std::vector<LiftBlock>& blocks, std::int32_t block,
                     std::int32_t cols, ZMatrix* num, ZInt* den) {
  std::vector<std::uint64_t> P64{1}, x64;
  for (std::int64_t t = 0; t < blocks[0].steps; ++t) mul_add_words(&P64, f.p, 0);
  std::vector<std::uint32_t> mag;
  words_to_digits(P64, &mag);
  const ZInt P = ZInt::from_digits(mag, 1);
  const std::int64_t half = (P.bit_length() - 2) / 2;
  ZInt half_p;
  ZInt::divmod(P, ZInt(2), &half_p, nullptr);
  const auto m = static_cast<std::int32_t>(f.m);
  ZMatrix x(m, cols);
  for (std::int32_t j = 0; j < cols; ++j) {
    const LiftBlock& k = blocks[static_cast<std::size_t>(j / block)];
    for (std::int32_t i = 0; i < m; ++i) {
      lifted_words(f, k, static_cast<std::size_t>(i), static_cast<std::size_t>(j % block), &x64);
      words_to_digits(x64, &mag);
      x.at(i, j) = ZInt::from_digits(mag, 1);
    }
  }
  // den d: each entry's d x reduced into the symmetric range, small or
  // reconstructed (its denominator joins d).
  ZInt d = 1;
  auto symmetric = [&](const ZInt& v) {
    ZInt r = (d * v).mod(P);
    if (compare(r, half_p) > 0) r -= P;
    return r;
  };
  for (std::int32_t j = 0; j < cols; ++j)
    for (std::int32_t i = 0; i < m; ++i) {
      check_interrupt();
      const ZInt r = symmetric(x.at(i, j));
      if (r.bit_length() <= half) continue;
      ZInt nn, dd;
      if (!reconstruct(r, P, half, half - d.bit_length() + 1, &nn, &dd)) return false;
      d *= dd;
      if (d.bit_length() > half) return false;
    }
  *num = ZMatrix(m, cols);
  for (std::int32_t j = 0; j < cols; ++j)
    for (std::int32_t i = 0; i < m; ++i) {
      ZInt r = symmetric(x.at(i, j));
      if (r.bit_length() > half) return false;
      num->at(i, j) = std::move(r);
    }
  *den = std::move(d);
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
    for (std::int32_t c = 0; c < n; ++c)
      a[static_cast<std::size_t>(r) * w + c] = s.at(r, c).mod_word(p);
    for (std::int32_t c = 0; c < k; ++c)
      a[static_cast<std::size_t>(r) * w + n + c] = v.at(r, c).mod_word(p);
  }
  for (std::int32_t i = 0; i < n; ++i) {
    check_interrupt();
    std::int32_t piv = i;
    while (piv < n && a[static_cast<std::size_t>(piv) * w + i] == 0) ++piv;
    if (piv == n) return false;
    if (piv != i)
      for (std::int32_t c = 0; c < w; ++c)
        std::swap(a[static_cast<std::size_t>(i) * w + c], a[static_cast<std::size_t>(piv) * w + c]);
    std::uint64_t* pr = a.data() + static_cast<std::size_t>(i) * w;
    const std::uint64_t inv = power_modulo(pr[i], p - 2, p);
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
      out[static_cast<std::size_t>(r) * k + c] =
          f.reduce(a[static_cast<std::size_t>(r) * w + n + c] * dp);
  return true;
}

ZMatrix crt_solve(const ZMatrix& s, const ZMatrix& v, const ZInt& d,
                  const std::vector<double>& bits) {
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
    for (std::int32_t c = 0; c < k; ++c)
      x.at(r, c) = prev.sign() < 0 ? -a.at(r, n + c) : a.at(r, n + c);
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

namespace {

// x mod q from x's digits base 2^28 and pw[i] = 2^(28 i) mod q (q below
// 2^21): the sum of digit times power, each below 2^49, reduced once every
// 2^14 terms.
double residue_by_powers(const ZInt& x, const WordField& f, const std::vector<std::uint64_t>& pw) {
  const auto& mag = x.magnitude();
  std::uint64_t r = 0;
  for (std::size_t i0 = 0; i0 < mag.size(); i0 += 1u << 14) {
    std::uint64_t sum = r;
    for (std::size_t i = i0; i < std::min(mag.size(), i0 + (1u << 14)); ++i) sum += mag[i] * pw[i];
    r = f.reduce(sum);
  }
  return x.sign() < 0 ? f.neg(static_cast<std::uint32_t>(r)) : static_cast<double>(r);
}

// Whether S y = d v, by residues modulo lifting primes q (S's rows from
// the factors, in doubles): every entry of S y - d v lies below 2^need
// (S's largest row sum of |entries| times y's largest, plus |d| times v's
// largest), and when every q divides it, so does their product; once that
// exceeds 2^need the entry is 0. Each image is a product of residues in
// doubles, its sums exact for chunks of 2^52 / q^2 terms.
bool lifted_product_equals(const LiftLU& f, const ZMatrix& y, const ZInt& d, const ZMatrix& v) {
  const std::size_t m = f.m, k = static_cast<std::size_t>(y.cols);
  double row_sum = 0.0;
  for (std::size_t r = 0; r < m; ++r) {
    double sum = 0.0;
    for (std::size_t c = 0; c < m; ++c) sum += std::abs(f.sm[r * m + c]);
    row_sum = std::max(row_sum, sum);
  }
  std::int64_t ybits = 0, vbits = 0;
  for (const ZInt& x : y.cell) ybits = std::max(ybits, x.bit_length());
  for (const ZInt& x : v.cell) vbits = std::max(vbits, x.bit_length());
  const double need = std::max(std::log2(row_sum + 1.0) + static_cast<double>(ybits),
                               static_cast<double>(d.bit_length() + vbits)) +
                      2.0;
  constexpr std::size_t width = 32;
  const std::size_t blocks = (k + width - 1) / width;
  std::vector<double> sq(m * m), yq(blocks * m * width), out(width);
  std::int32_t digits = 1;
  for (const ZInt& x : y.cell) digits = std::max(digits, x.digits());
  std::vector<std::uint64_t> pw(static_cast<std::size_t>(digits));
  double have = 0.0;
  for (std::size_t t = 0; have <= need; ++t) {
    check_interrupt();
    const std::uint32_t q = word_prime(t, lifting_prime_top);
    const double dq = q, inv_q = 1.0 / dq;
    const WordField field(q);
    for (std::size_t i = 0; i < pw.size(); ++i)
      pw[i] = i == 0 ? 1 : field.mul(static_cast<std::uint32_t>(pw[i - 1]), 1u << 28);
    const std::size_t chunk = static_cast<std::size_t>(0x1p52 / (dq * dq));
    for (std::size_t i = 0; i < m * m; ++i) sq[i] = f.sm[i] < 0.0 ? f.sm[i] + dq : f.sm[i];
    residue_row(sq.data(), sq.data(), m * m, dq, inv_q);
    // y's residues by blocks of 32 columns, each block's rows contiguous.
    std::fill(yq.begin(), yq.end(), 0.0);
    for (std::size_t i = 0; i < m; ++i)
      for (std::size_t j = 0; j < k; ++j)
        yq[((j / width) * m + i) * width + j % width] = residue_by_powers(
            y.at(static_cast<std::int32_t>(i), static_cast<std::int32_t>(j)), field, pw);
    const double d_q = d.mod_word(q);
    for (std::size_t bl = 0; bl < blocks; ++bl) {
      const std::size_t b = std::min(width, k - bl * width);
      const double* yb = yq.data() + bl * m * width;
      for (std::size_t i = 0; i < m; ++i) {
        double acc[width] = {};
        for (std::size_t c0 = 0; c0 < m; c0 += chunk) {
          block_dot(out.data(), sq.data() + i * m + c0, yb + c0 * width,
                    std::min(m, c0 + chunk) - c0, width);
          for (std::size_t j = 0; j < b; ++j) acc[j] += reduce_double_floor(out[j], dq, inv_q);
        }
        for (std::size_t j = 0; j < b; ++j) {
          const std::size_t col = bl * width + j;
          const double want = reduce_double_floor(
              d_q * v.at(static_cast<std::int32_t>(i), static_cast<std::int32_t>(col)).mod_word(q),
              dq, inv_q);
          if (reduce_double_floor(acc[j], dq, inv_q) != want) return false;
        }
      }
    }
    have += std::log2(dq) - 1e-9;
  }
  return true;
}

}  // namespace

bool rational_solve(const ZMatrix& s, const ZMatrix& v, ZMatrix* num, ZInt* den) {
  LiftLU f;
  if (!lift_factors(s, v, ZInt(0), &f)) return false;
  // Past 2^cap a reconstruction is certain: numerators below the Cramer
  // bound, denominators below the Hadamard bound (bits with some to spare).
  const std::vector<double> bits = cramer_bits(s, v);
  double most = 0.0;
  for (double b : bits) most = std::max(most, b);
  const double cap = 2.0 * std::max(most, hadamard_log2(s)) + 8.0;
  const double step_bits = std::log2(f.dp) - 1e-9;
  const auto last = static_cast<std::int64_t>(std::ceil(cap / step_bits));
  // The common denominator d from a few columns (the first, the middle,
  // the last), lifted until their reconstruction holds up: a quarter more
  // steps after each failure.
  std::vector<std::int32_t> probes{0};
  for (std::int32_t c : {v.cols / 2, v.cols - 1})
    if (std::find(probes.begin(), probes.end(), c) == probes.end()) probes.push_back(c);
  ZMatrix vp(v.rows, static_cast<std::int32_t>(probes.size()));
  for (std::int32_t r = 0; r < v.rows; ++r)
    for (std::int32_t j = 0; j < vp.cols; ++j)
      vp.at(r, j) = v.at(r, probes[static_cast<std::size_t>(j)]);
  std::vector<LiftBlock> probe{lift_block(f, vp, 0, probes.size(), 1.0)};
  ZMatrix pnum;
  ZInt d;
  for (std::int64_t steps = std::min<std::int64_t>(
           last, static_cast<std::int64_t>(std::ceil(rational_solve_first_bits / step_bits)));
       ; steps = std::min(last, steps + steps / 4 + 1)) {
    while (probe[0].steps < steps) lift_step(f, &probe[0], 0.0);
    if (reconstruct_all(f, probe, vp.cols, vp.cols, &pnum, &d)) break;
    if (steps >= last) return false;
  }
  // d S^-1 V, integral when d is the common denominator of every column:
  // lifted to a bound beyond the probes' numerators, proven by its
  // product. Entries that reach the bound ask for a larger one.
  std::int64_t nbits = 0;
  for (const ZInt& x : pnum.cell) nbits = std::max(nbits, x.bit_length());
  for (double bound = static_cast<double>(nbits) + 32.0;; bound *= 2.0) {
    ZMatrix y;
    lift_with(f, v, d, std::vector<double>(static_cast<std::size_t>(v.cols), bound), &y);
    bool within = true;
    for (const ZInt& x : y.cell)
      within = within && static_cast<double>(x.bit_length()) < bound - 8.0;
    if (within) {
      if (!lifted_product_equals(f, y, d, v)) break;
      *num = std::move(y);
      *den = std::move(d);
      return true;
    }
    if (bound > cap) break;
  }
  // A probe missed a factor of the denominator: every column reconstructed.
  const std::int32_t block = v.cols <= lift_single_columns ? 1 : 32;
  std::vector<LiftBlock> blocks;
  for (std::int32_t j0 = 0; j0 < v.cols; j0 += block)
    blocks.push_back(
        lift_block(f, v, j0, static_cast<std::size_t>(std::min(block, v.cols - j0)), 1.0));
  for (std::int64_t steps = std::min<std::int64_t>(
           last, static_cast<std::int64_t>(std::ceil(rational_solve_first_bits / step_bits)));
       ; steps = std::min(last, 2 * steps)) {
    for (LiftBlock& k : blocks)
      while (k.steps < steps) lift_step(f, &k, 0.0);
    if (reconstruct_all(f, blocks, block, v.cols, num, den) &&
        lifted_product_equals(f, *num, *den, v))
      return true;
    if (steps >= last) return false;
  }
}

bool scaled_inverse(const ZMatrix& s, const ZInt& d, ZMatrix* out) {
  if (d.is_zero() || s.rows == 0) return false;  // singular or empty: the callers' other routes
  const ZMatrix unit = ZMatrix::identity(s.rows);
  LiftLU f;
  if (!lift_factors(s, unit, d, &f)) return false;
  lift_with(f, unit, d, cramer_bits(s, unit), out);
  return true;
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
    nodes::ScratchNumber pd;
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
