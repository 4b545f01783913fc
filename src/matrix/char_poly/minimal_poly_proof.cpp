// The proof that completes the minimal polynomial found by random
// projections (see minimal_poly_impl.h for the argument).
//
// Spanning sets. The unit vectors e_c of the zero columns are in the kernel
// of A, so m(A) e_c = m(0) e_c asks only that x divide m. For the rest, the
// other unit vectors always span; checking m(A) e_j for all of them costs
// n deg m products with A per prime. Otherwise vectors are drawn and their
// Krylov sequences reduced against an echelon basis of the invariant space
// found so far until it is the whole space: about n^3 / 2 products of
// residues once, and then only those few vectors are checked. The cheaper
// of the two is taken. Over the integers the elimination runs modulo one
// prime p0: a Krylov matrix invertible modulo p0 is invertible over Q.
//
// Checks over the integers. Entry by entry |m(A) v| <= sum |m_i| |A|^i |v|
// (|A| the matrix of absolute values), so m(A) v = 0 once it vanishes
// modulo primes whose product exceeds that bound, which is computed in
// floating point and rounded up. The primes of the checks lie below 2^28,
// so the products of a row add up in 64 bits without a remainder; those of
// the images below 2^31.
//
// Completing. In a field a failing vector v gives the generator of a random
// projection of its Krylov sequence, a divisor of the minimal polynomial
// that m lacks in part, and m becomes the least common multiple. Over the
// integers new images are taken modulo primes below 2^31 from random
// projections and start vectors and joined until the joined value stops
// changing, which is then proven; images of less than the greatest degree
// are left out, and once the primes cover the coefficient bound without a
// proof, every image is drawn again and joined to its earlier draws.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/globals.h"
#include "core/interrupts.h"
#include "core/target_clones.h"
#include "numbers/bigint.h"
#include "numbers/garner.h"
#include "numbers/primes.h"
#include "matrix/char_poly/minimal_poly_impl.h"
#include "matrix/zmatrix.h"

namespace tavrin::minpoly {

std::uint32_t random_residue(std::uint64_t size) {
  rand_integer2();
  const auto hi = static_cast<std::uint64_t>(random_ext2);
  rand_integer2();
  const auto lo = static_cast<std::uint64_t>(random_ext2);
  return static_cast<std::uint32_t>(((hi << 31) ^ lo) % size);
}

namespace {

// Vectors checked together in one pass over the matrix (a block is padded
// with zero vectors, which always pass).
constexpr std::int32_t block_width = 8;
constexpr auto block_stride = static_cast<std::size_t>(block_width);
// The elimination keeps up to n x n residues.
constexpr std::int32_t largest_krylov_side = 4096;
// The prime of the elimination over the integers: below 2^26, so that
// thousands of products of residues add up in 64 bits before a remainder.
constexpr std::uint32_t lazy_prime_limit = 1u << 26;

// ---- Word primes ---------------------------------------------------------------------

// The k-th prime below 2^31 (images) or below the limit of the checks from
// the top.
std::uint32_t image_prime(std::size_t k) { return word_prime(k); }

// Below 2^28, and so small that a row's products and one more add up in
// 64 bits without a remainder: longest + 1 products below 2^(2b) each.
std::uint32_t check_prime_limit(const IntegerRows& a) {
  std::int32_t longest = 0;
  for (std::size_t r = 0; r + 1 < a.start.size(); ++r)
    longest = std::max(longest, a.start[r + 1] - a.start[r]);
  const auto bits = static_cast<std::int32_t>(std::ceil(std::log2(longest + 2.0)));
  return 1u << std::min(28, (64 - bits) / 2);
}

std::uint32_t check_prime(std::size_t k, std::uint32_t limit) { return word_prime(k, limit); }

// ---- Products with A ------------------------------------------------------------------------

template <class F>
std::uint32_t inner(const F& f, const std::vector<std::uint32_t>& u,
                    const std::vector<std::uint32_t>& e) {
  std::uint32_t s = 0;
  for (std::size_t j = 0; j < u.size(); ++j) s = f.add(s, f.mul(u[j], e[j]));
  return s;
}

// The generator of a_i = u A^(i-1) x (i = 1 .. 2n + 1) for a random u: a
// divisor of the minimal polynomial of x, equal to it for most u.
template <class F>
residues vector_generator(const F& f, const ResidueRows& a, std::int32_t n,
                          const std::vector<std::uint32_t>& x) {
  std::vector<std::uint32_t> u(static_cast<std::size_t>(n));
  for (auto& c : u) c = random_residue(f.size());
  const std::int32_t N = 2 * n + 1;
  residues s(static_cast<std::size_t>(N), 0);
  std::vector<std::uint32_t> e = x, next(static_cast<std::size_t>(n));
  for (std::int32_t i = 1; i <= N; ++i) {
    s[static_cast<std::size_t>(N - i)] = inner(f, u, e);
    if (i == N) break;
    apply(f, a, e, next);
    std::swap(e, next);
    check_interrupt();
  }
  return sequence_generator(f, std::move(s), n, false, nullptr);
}

std::vector<std::uint32_t> random_vector(std::uint64_t size, std::int32_t n) {
  std::vector<std::uint32_t> v(static_cast<std::size_t>(n));
  for (auto& c : v) c = random_residue(size);
  return v;
}

// next[r B + j] := (the sum over row r of a_rc W[c B + j] + m V[r B + j])
// mod p, B = block_width, for the first b <= L columns; every such sum lies
// below 2^64 (the caller has bounded the row lengths), so one remainder
// each. Only L lanes are worked: a block of two vectors costs a quarter of
// a full one.
template <std::size_t L>
TAVRIN_CLONES __attribute__((optimize("vect-cost-model=dynamic"))) void block_step(
    const std::int32_t* __restrict start, const std::int32_t* __restrict col,
    const std::uint32_t* __restrict val, std::int32_t n, const std::uint32_t* __restrict W,
    const std::uint32_t* __restrict V, std::uint32_t m, std::size_t b, const PrimeField& f,
    std::uint32_t* __restrict next) {
  for (std::int32_t r = 0; r < n; ++r) {
    const std::size_t row = static_cast<std::size_t>(r) * block_stride;
    std::uint64_t acc[L];
    for (std::size_t j = 0; j < L; ++j) acc[j] = std::uint64_t{m} * V[row + j];
    for (std::int32_t k = start[r]; k < start[r + 1]; ++k) {
      const std::uint64_t v = val[k];
      const std::uint32_t* w = W + static_cast<std::size_t>(col[k]) * block_stride;
      for (std::size_t j = 0; j < L; ++j) acc[j] += v * w[j];
    }
    for (std::size_t j = 0; j < b; ++j) next[row + j] = f.reduce(acc[j]);
  }
}

// wide[j] += c row[j] for j < n.
TAVRIN_CLONES __attribute__((optimize("vect-cost-model=dynamic"))) void add_multiple(
    std::uint64_t* __restrict wide, std::uint32_t c, const std::uint32_t* __restrict row,
    std::size_t n) {
  for (std::size_t j = 0; j < n; ++j) wide[j] += std::uint64_t{c} * row[j];
}

// The columns j < width of V (n x block_width, row by row, zero from
// column width on) with m(A) V_j != 0, as a bit mask: m(A) V by Horner's
// rule, W := A W + m_i V, one pass over A for the whole block.
template <class F>
std::uint32_t failing_columns(const F& f, const ResidueRows& a, const residues& m,
                              const std::vector<std::uint32_t>& V, std::int32_t width) {
  constexpr std::size_t B = block_stride;
  const auto b = static_cast<std::size_t>(width);
  const auto n = static_cast<std::int32_t>(a.start.size()) - 1;
  std::vector<std::uint32_t> W = V, next(V.size());
  // Whether a row's products add up in 64 bits without a remainder; if
  // not, how many a sum takes between remainders.
  bool lazy = false;
  std::uint64_t room = 0;
  if constexpr (std::is_same_v<F, PrimeField>) {
    room = dot_room((f.p - 1) * (f.p - 1), f);
    std::int64_t longest = 0;
    for (std::int32_t r = 0; r < n; ++r)
      longest = std::max<std::int64_t>(
          longest, a.start[static_cast<std::size_t>(r) + 1] - a.start[static_cast<std::size_t>(r)]);
    lazy = dot_limbs(static_cast<std::uint64_t>(longest) + 1, (f.p - 1) * (f.p - 1)) <= 1;
  }
  for (std::int32_t i = deg(m) - 1; i >= 0; --i) {
    const std::uint32_t c = m[static_cast<std::size_t>(i)];
    if constexpr (std::is_same_v<F, PrimeField>) {
      if (lazy) {
        auto* step = b <= 2 ? block_step<2> : b <= 4 ? block_step<4> : block_step<block_stride>;
        step(a.start.data(), a.col.data(), a.val.data(), n, W.data(), V.data(), c, b, f,
             next.data());
        std::swap(W, next);
        check_interrupt();
        continue;
      }
    }
    for (std::int32_t r = 0; r < n; ++r) {
      const std::size_t row = static_cast<std::size_t>(r) * B;
      std::uint64_t acc[B] = {};
      std::uint64_t pending = 0;
      for (std::int32_t k = a.start[static_cast<std::size_t>(r)];
           k < a.start[static_cast<std::size_t>(r) + 1]; ++k) {
        const std::uint32_t v = a.val[static_cast<std::size_t>(k)];
        const std::uint32_t* w =
            W.data() + static_cast<std::size_t>(a.col[static_cast<std::size_t>(k)]) * B;
        if constexpr (std::is_same_v<F, PrimeField>) {
          if (pending++ == room) {
            for (std::size_t j = 0; j < b; ++j) acc[j] = f.reduce(acc[j]);
            pending = 1;
          }
          for (std::size_t j = 0; j < b; ++j) acc[j] += std::uint64_t{v} * w[j];
        } else {
          for (std::size_t j = 0; j < b; ++j) acc[j] ^= f.mul(v, w[j]);
        }
      }
      for (std::size_t j = 0; j < b; ++j) {
        std::uint32_t t = 0;
        if constexpr (std::is_same_v<F, PrimeField>) {
          t = f.reduce(acc[j]);
        } else {
          t = static_cast<std::uint32_t>(acc[j]);
        }
        next[row + j] = c == 0 ? t : f.add(t, f.mul(c, V[row + j]));
      }
    }
    std::swap(W, next);
    check_interrupt();
  }
  std::uint32_t mask = 0;
  for (std::size_t k = 0; k < W.size(); ++k)
    if (W[k] != 0) mask |= 1u << (k % B);
  return mask;
}

// ---- Spanning sets --------------------------------------------------------------------------

// Vectors, x first, whose Krylov spaces together with the unit vectors of
// the zero columns span the whole space: each new vector's Krylov sequence
// is reduced against an echelon basis of the space so far (A-invariant, so
// A may act on the reduced vectors) until a reduced vector vanishes; a
// vector already in the space is passed over.
template <class F>
std::vector<std::vector<std::uint32_t>> krylov_spanning(const F& f, const ResidueRows& a,
                                                        std::int32_t n,
                                                        const std::vector<std::uint32_t>& x,
                                                        const std::vector<std::int32_t>& kernel) {
  const auto un = static_cast<std::size_t>(n);
  std::vector<std::vector<std::uint32_t>> basis, chosen;
  std::vector<std::size_t> pivot;
  for (std::int32_t c : kernel) {  // A e_c = 0: the space of e_c is invariant
    basis.emplace_back(un, 0);
    basis.back()[static_cast<std::size_t>(c)] = 1;
    pivot.push_back(static_cast<std::size_t>(c));
  }
  std::vector<std::uint64_t> wide(un);
  // w := w reduced by the basis (every row 1 at its pivot, 0 at the earlier
  // pivots). Below lazy_prime_limit the subtractions of thousands of rows add
  // up in 64 bits before a remainder is taken.
  auto reduce = [&](std::vector<std::uint32_t>& w) {
    if constexpr (std::is_same_v<F, PrimeField>) {
      if (f.p < lazy_prime_limit) {
        std::copy(w.begin(), w.end(), wide.begin());
        const std::uint64_t room = dot_room((f.p - 1) * (f.p - 1), f);
        std::uint64_t pending = 0;
        for (std::size_t r = 0; r < basis.size(); ++r) {
          const std::uint64_t c = wide[pivot[r]] % f.p;
          if (c == 0) continue;
          add_multiple(wide.data(), static_cast<std::uint32_t>(f.p - c), basis[r].data(), un);
          if (++pending == room) {
            for (auto& v : wide) v %= f.p;
            pending = 0;
          }
        }
        for (std::size_t j = 0; j < un; ++j) w[j] = static_cast<std::uint32_t>(wide[j] % f.p);
        return;
      }
    }
    for (std::size_t r = 0; r < basis.size(); ++r) {
      const std::uint32_t c = w[pivot[r]];
      if (c == 0) continue;
      for (std::size_t j = 0; j < un; ++j) w[j] = f.sub(w[j], f.mul(c, basis[r][j]));
    }
  };
  auto first_nonzero = [&](const std::vector<std::uint32_t>& w) {
    return static_cast<std::size_t>(
        std::find_if(w.begin(), w.end(), [](std::uint32_t c) { return c != 0; }) - w.begin());
  };
  std::vector<std::uint32_t> w(un), t(un);
  bool first = true;
  while (basis.size() < un) {
    std::vector<std::uint32_t> v = first && !x.empty() ? x : random_vector(f.size(), n);
    first = false;
    w = v;
    reduce(w);
    std::size_t lead = first_nonzero(w);
    if (lead == un) continue;
    chosen.push_back(std::move(v));
    while (lead < un) {
      const std::uint32_t inv = f.inv(w[lead]);
      for (auto& c : w) c = f.mul(c, inv);
      basis.push_back(w);
      pivot.push_back(lead);
      apply(f, a, basis.back(), t);
      w = t;
      reduce(w);
      lead = first_nonzero(w);
      check_interrupt();
    }
  }
  return chosen;
}

// Unit vectors cost n·d·nnz products per prime; the elimination n^3 / 2 once
// and then about (n / d)·d·nnz per prime.
bool units_cheaper(std::int32_t n, std::int32_t d, std::int64_t entries, double primes) {
  if (n > largest_krylov_side) return true;
  const double dd = std::max(1, d), nn = n, work = static_cast<double>(entries + n) * primes;
  return nn * dd * work <= 0.5 * nn * nn * nn + std::max(2.0, std::ceil(nn / dd)) * dd * work;
}

// A spanning set: the unit vectors e_c of the zero columns (A e_c = 0, so
// m(A) e_c = m(0) e_c: x must divide m), and either the other unit vectors
// or the vectors of an elimination.
struct Span {
  std::vector<std::int32_t> kernel;
  bool units = true;
  std::vector<std::int32_t> unit_columns;
  std::vector<std::vector<std::uint32_t>> vecs;  // entries below 2^31, read as integers
  std::int32_t count() const {
    return static_cast<std::int32_t>(units ? unit_columns.size() : vecs.size());
  }
  // The vectors j0 .. j0 + b as a block of n x block_width residues (the
  // columns from b on zero).
  std::vector<std::uint32_t> block(std::int32_t n, std::int32_t j0, std::int32_t b) const {
    std::vector<std::uint32_t> V(static_cast<std::size_t>(n) * block_stride, 0);
    for (std::int32_t j = 0; j < b; ++j) {
      const auto uj = static_cast<std::size_t>(j);
      if (units) {
        V[static_cast<std::size_t>(unit_columns[static_cast<std::size_t>(j0 + j)]) * block_stride +
          uj] = 1;
        continue;
      }
      const auto& v = vecs[static_cast<std::size_t>(j0 + j)];
      for (std::size_t r = 0; r < v.size(); ++r) V[r * block_stride + uj] = v[r];
    }
    return V;
  }
};

// The columns without entries, and the others.
void split_columns(const std::vector<std::int32_t>& col, std::int32_t n, Span* s) {
  std::vector<char> used(static_cast<std::size_t>(n), 0);
  for (std::int32_t c : col) used[static_cast<std::size_t>(c)] = 1;
  for (std::int32_t c = 0; c < n; ++c)
    (used[static_cast<std::size_t>(c)] ? s->unit_columns : s->kernel).push_back(c);
}

// The spanning set for a polynomial of degree d over the field f (checks
// modulo `primes` primes): the start vector x when its Krylov space is
// known to be everything, else the cheaper of the unit vectors and the
// elimination.
template <class F>
Span spanning_set(const F& f, const ResidueRows& a, std::int32_t n, std::int32_t d, double primes,
                  const std::vector<std::uint32_t>& spanning_start,
                  const std::vector<std::uint32_t>& x) {
  Span s;
  if (!spanning_start.empty()) {
    s.units = false;
    s.vecs.push_back(spanning_start);
    return s;
  }
  split_columns(a.col, n, &s);
  if (units_cheaper(static_cast<std::int32_t>(s.unit_columns.size()), d, a.entries(), primes))
    return s;
  s.units = false;
  s.vecs = krylov_spanning(f, a, n, x, s.kernel);
  return s;
}

// ---- Over the integers ----------------------------------------------------------------------

// An upper bound of log2 |a| (-infinity for 0).
double log2_upper(const ZInt& a) {
  const auto& m = a.magnitude();
  if (m.empty()) return -std::numeric_limits<double>::infinity();
  return std::log2(static_cast<double>(m.back()) + 1.0) +
         limb_bits * static_cast<double>(m.size() - 1);
}

// An upper bound of log2 of the largest absolute row sum (-infinity for the
// zero matrix).
double log2_row_norm(const IntegerRows& a) {
  long double best = 0;
  for (std::size_t r = 0; r + 1 < a.start.size(); ++r) {
    long double s = 0;
    for (std::int32_t k = a.start[r]; k < a.start[r + 1]; ++k) {
      const auto kk = static_cast<std::size_t>(k);
      if (a.big[kk] != nullptr) {
        imptr x = a.big[kk];
        s += std::ldexp(static_cast<long double>(std::abs(x->head->value)) + 1,
                        limb_bits * (x->size - 1));
      } else {
        s += static_cast<long double>(std::llabs(a.small[kk]));
      }
    }
    best = std::max(best, s);
  }
  if (best == 0) return -std::numeric_limits<double>::infinity();
  return static_cast<double>(std::log2(best)) + 1e-9;
}

// An upper bound of log2 max_r sum_i |m_i| (|A|^i u)_r, u the entrywise
// largest magnitude over the spanning set: the powers in long double,
// rounded up at every step and rescaled by 2^-4096 when they grow large.
double log2_check_bound(const IntegerRows& a, std::int32_t n, const IntegerPoly& m,
                        const Span& span) {
  const auto un = static_cast<std::size_t>(n);
  std::vector<long double> u(un, 0.0L), next(un);
  for (std::int32_t c : span.unit_columns) u[static_cast<std::size_t>(c)] = 1;
  if (!span.units)
    for (const auto& v : span.vecs)
      for (std::size_t r = 0; r < un; ++r) u[r] = std::max(u[r], static_cast<long double>(v[r]));
  std::vector<long double> magnitude(a.col.size());
  for (std::size_t k = 0; k < magnitude.size(); ++k)
    magnitude[k] = a.big[k] != nullptr
                       ? std::ldexp(static_cast<long double>(std::abs(a.big[k]->head->value)) + 1,
                                    limb_bits * (a.big[k]->size - 1))
                       : static_cast<long double>(std::llabs(a.small[k]));
  const long double up = 1.0L + 1e-12L;
  double scale = 0, best = -std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i < m.coef.size(); ++i) {
    const long double top = *std::max_element(u.begin(), u.end());
    if (top > 0)
      best = std::max(best, log2_upper(m.coef[i]) + static_cast<double>(std::log2(top)) + scale);
    if (i + 1 == m.coef.size()) break;
    for (std::size_t r = 0; r < un; ++r) {
      long double sum = 0;
      for (std::int32_t k = a.start[r]; k < a.start[r + 1]; ++k)
        sum += magnitude[static_cast<std::size_t>(k)] *
               u[static_cast<std::size_t>(a.col[static_cast<std::size_t>(k)])];
      next[r] = sum * up;
    }
    std::swap(u, next);
    if (*std::max_element(u.begin(), u.end()) > std::ldexp(1.0L, 8192)) {
      for (auto& x : u) x = std::ldexp(x, -4096);
      scale += 4096;
    }
  }
  return best + std::log2(static_cast<double>(m.coef.size())) + 1e-6;
}

// m(A) v = 0 over the integers for every v of the spanning set.
bool annihilates_over_integers(const IntegerRows& a, std::int32_t n, const IntegerPoly& m,
                               const Span& span) {
  if (!span.kernel.empty() && !m.coef[0].is_zero()) return false;
  const double bits = log2_check_bound(a, n, m, span);
  const std::int32_t count = span.count();
  const std::uint32_t limit = check_prime_limit(a);
  double covered = 0;
  for (std::size_t k = 0; covered <= bits && count > 0; ++k) {
    const std::uint32_t q = check_prime(k, limit);
    const PrimeField f(q);
    const ResidueRows rows = residues_mod(a, q);
    residues mq(m.coef.size());
    for (std::size_t i = 0; i < mq.size(); ++i) mq[i] = m.coef[i].mod_word(q);
    for (std::int32_t at = 0; at < count; at += block_width) {
      const std::int32_t b = std::min(block_width, count - at);
      if (failing_columns(f, rows, mq, span.block(n, at, b), b) != 0) return false;
    }
    covered += std::log2(static_cast<double>(q));
  }
  return true;
}

// The spanning set for the candidate m over the integers: the elimination
// runs modulo p0 (below 2^26, for its 64-bit sums); the checks' primes are
// estimated from the largest absolute row sum.
Span spanning_over_integers(const IntegerRows& a, std::int32_t n, const IntegerPoly& m,
                            double log2_norm, const std::vector<std::uint32_t>& spanning_start,
                            const std::vector<std::uint32_t>& x) {
  double bits = 0;
  for (std::size_t i = 0; i < m.coef.size(); ++i)
    bits =
        std::max(bits, log2_upper(m.coef[i]) + static_cast<double>(i) * std::max(0.0, log2_norm));
  const PrimeField f(word_prime(0, lazy_prime_limit));
  return spanning_set(f, residues_mod(a, f.p), n, m.degree(), std::ceil((bits + 32) / 27),
                      spanning_start, x);
}

}  // namespace

template <class F>
residues complete_in_field(const F& f, const ResidueRows& a, std::int32_t n, residues m,
                           const std::vector<std::uint32_t>& x) {
  if (deg(m) >= n) return m;
  const Span span = spanning_set(f, a, n, deg(m), 1, {}, x);
  if (!span.kernel.empty() && m[0] != 0) m = lcm(f, m, residues{0, 1});
  const std::int32_t count = span.count();
  for (std::int32_t at = 0; at < count && deg(m) < n; at += block_width) {
    const std::int32_t b = std::min(block_width, count - at);
    const std::vector<std::uint32_t> V = span.block(n, at, b);
    for (std::uint32_t mask = failing_columns(f, a, m, V, b); mask != 0 && deg(m) < n;
         mask = failing_columns(f, a, m, V, b)) {
      const auto j = static_cast<std::size_t>(__builtin_ctz(mask));
      std::vector<std::uint32_t> v(static_cast<std::size_t>(n));
      for (std::size_t r = 0; r < v.size(); ++r) v[r] = V[r * block_stride + j];
      m = lcm(f, m, vector_generator(f, a, n, v));
    }
  }
  return m;
}

template residues complete_in_field(const PrimeField&, const ResidueRows&, std::int32_t, residues,
                                    const std::vector<std::uint32_t>&);
template residues complete_in_field(const Char2Field&, const ResidueRows&, std::int32_t, residues,
                                    const std::vector<std::uint32_t>&);

double log2_coefficient_bound(const IntegerRows& a, std::int32_t n) {
  const double r = log2_row_norm(a);
  if (std::isinf(r)) return r;
  double best = 0;
  const double ln2 = std::log(2.0);
  for (std::int32_t k = 1; k <= n; ++k) {
    const double binomial =
        (std::lgamma(n + 1.0) - std::lgamma(k + 1.0) - std::lgamma(n - k + 1.0)) / ln2;
    best = std::max(best, binomial + k * r);
  }
  return best + 1e-6;
}

IntegerPoly prove_over_integers(const IntegerRows& a, std::int32_t n, IntegerPoly candidate,
                                const ImageEvidence& evidence) {
  const double log2_norm = log2_row_norm(a);
  std::int32_t d = evidence.lower_degree;
  std::vector<std::uint32_t> spanning_start =
      evidence.start_spans ? evidence.x : std::vector<std::uint32_t>{};
  Span span;
  bool have_span = false;
  auto proven = [&](const IntegerPoly& m) {
    if (m.degree() != d) return false;
    if (!have_span) {
      span = spanning_over_integers(a, n, m, log2_norm, spanning_start, evidence.x);
      have_span = true;
    }
    return annihilates_over_integers(a, n, m, span);
  };
  if (proven(candidate)) return candidate;

  // Images from random projections and start vectors modulo primes below
  // 2^31, each the least common multiple of its draws; only those of the
  // greatest degree are joined (a smaller one is a proper divisor).
  struct Image {
    std::uint32_t q;
    residues g;
  };
  std::vector<Image> images;
  std::size_t next = 0;
  const double enough = std::max(0.0, log2_coefficient_bound(a, n)) + 1;
  auto image = [&](std::uint32_t q, const residues* old) {
    const PrimeField f(q);
    const ResidueRows rows = residues_mod(a, q);
    std::vector<std::uint32_t> x = random_vector(q, n);
    residues g = vector_generator(f, rows, n, x);
    if (old != nullptr) g = lcm(f, *old, g);
    if (deg(g) == n && spanning_start.empty()) spanning_start = std::move(x);
    return g;
  };
  for (std::int32_t round = 0;; ++round) {
    if (round > 0)
      for (auto& im : images) im.g = image(im.q, &im.g);
    for (const auto& im : images) d = std::max(d, deg(im.g));
    Remainders crt(d);
    for (const auto& im : images)
      if (deg(im.g) == d) crt.join(im.q, im.g);
    bool stable = false, tried = false;
    for (;;) {
      if (stable && !tried) {
        tried = true;
        IntegerPoly m = crt.symmetric();
        if (proven(m)) return m;
      }
      const double covered = log2_upper(crt.product());
      if (covered > enough && (tried || covered > 2 * enough + 64)) break;
      const std::uint32_t q = image_prime(next++);
      images.push_back({q, image(q, nullptr)});
      const residues& g = images.back().g;
      if (deg(g) > d) {
        d = deg(g);
        crt = Remainders(d);
        for (const auto& im : images)
          if (deg(im.g) == d) crt.join(im.q, im.g);
        stable = tried = false;
      } else if (deg(g) == d) {
        stable = !crt.join(q, g);
        if (!stable) tried = false;
      }
    }
  }
}

}  // namespace tavrin::minpoly
