// The integer determinant by a divisor found first (see divisor_determ.h).
#include "matrix/divisor_determ.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "core/globals.h"
#include "core/interrupts.h"
#include "numbers/freelists.h"
#include "numbers/garner.h"
#include "numbers/limb_array.h"
#include "numbers/primes.h"
#include "numbers/word_mod.h"
#include "numbers/zint.h"
#include "matrix/residue_elimination.h"

namespace tavrin::images {

DivisorStats last_divisor_stats;
bool divisor_route_enabled = true;

namespace {

// Rational reconstruction: the extended Euclidean remainders of (P, X) until
// the first one below 2^nbits; returns the magnitude of its cofactor of X.
// With |n| < 2^nbits, 0 < d and 2^nbits * d < P for the reduced n/d = X mod
// P, that cofactor is d. The cofactors alternate in sign, so their
// magnitudes grow by t_{i+1} = t_{i-1} + q t_i.
ZInt reconstruct_denominator(ZInt r0, ZInt r1, std::int64_t nbits) {
  ZInt t0, t1 = 1;
  while (r1.bit_length() > nbits) {
    ZInt q, r;
    ZInt::divmod(r0, r1, &q, &r);
    r0 = std::move(r1);
    r1 = std::move(r);
    ZInt t = t0 + q * t1;
    t0 = std::move(t1);
    t1 = std::move(t);
  }
  return t1;
}

// The matrix A as exact doubles, row by row, and its LU modulo p.
struct Lifting {
  std::int32_t m;
  std::uint32_t p;
  std::vector<float> cols;        // A column by column (entries below 2^24: exact)
  std::vector<std::uint32_t> lu;  // L and U at position order
  std::vector<std::int32_t> perm;
  std::vector<std::uint32_t> diag_inv;  // U's diagonal inverted

  // x := A^-1 r mod p for residues r in [0, p).
  void solve(const std::vector<std::uint32_t>& r, std::vector<std::uint32_t>& x,
             std::vector<std::uint32_t>& y) const {
    const auto n = static_cast<std::size_t>(m);
    for (std::size_t k = 0; k < n; ++k) {
      const std::uint32_t* l = lu.data() + k * n;
      std::uint64_t acc = 0;  // below n p^2 < 2^64
      for (std::size_t i = 0; i < k; ++i) acc += std::uint64_t{l[i]} * y[i];
      y[k] = static_cast<std::uint32_t>((r[static_cast<std::size_t>(perm[k])] + p - acc % p) % p);
    }
    for (std::size_t i = n; i-- > 0;) {
      const std::uint32_t* u = lu.data() + i * n;
      std::uint64_t acc = 0;
      for (std::size_t j = i + 1; j < n; ++j) acc += std::uint64_t{u[j]} * x[j];
      x[i] = static_cast<std::uint32_t>((y[i] + p - acc % p) % p * diag_inv[i] % p);
    }
  }

  // Takes the LU of the leading m x m block from store (rows of width w, the
  // row at position k is store's row perm[k]).
  void take_lu(const double* store, std::size_t w) {
    const auto n = static_cast<std::size_t>(m);
    lu.resize(n * n);
    diag_inv.resize(n);
    for (std::size_t k = 0; k < n; ++k) {
      const double* src = store + static_cast<std::size_t>(perm[k]) * w;
      for (std::size_t c = 0; c < n; ++c) lu[k * n + c] = static_cast<std::uint32_t>(src[c]);
      diag_inv[k] = static_cast<std::uint32_t>(power_modulo(lu[k * n + k], p - 2, p));
    }
  }

  // The p-adic digits of the components comps of A^-1 b, digit s of
  // component j at s * comps.size() + j.
  std::vector<std::uint32_t> digits(std::vector<double> resid, std::int64_t steps,
                                    const std::vector<std::size_t>& comps) const {
    const auto n = static_cast<std::size_t>(m);
    const std::size_t nc = comps.size();
    std::vector<std::uint32_t> r(n), x(n), y(n), out(static_cast<std::size_t>(steps) * nc);
    const auto sp = static_cast<std::int64_t>(p);
    const double inv_p = 1.0 / static_cast<double>(p);
    for (std::int64_t s = 0; s < steps; ++s) {
      check_interrupt();
      for (std::size_t i = 0; i < n; ++i) {
        const std::int64_t v = static_cast<std::int64_t>(resid[i]) % sp;
        r[i] = static_cast<std::uint32_t>(v < 0 ? v + sp : v);
      }
      solve(r, x, y);
      for (std::size_t j = 0; j < nc; ++j) out[static_cast<std::size_t>(s) * nc + j] = x[comps[j]];
      // resid := (resid - A x) / p, exact.
      for (std::size_t c = 0; c < n; ++c) {
        const double xc = x[c];
        const float* col = cols.data() + c * n;
        for (std::size_t i = 0; i < n; ++i) resid[i] -= col[i] * xc;
      }
      for (std::size_t i = 0; i < n; ++i) resid[i] = std::nearbyint(resid[i] * inv_p);
    }
    return out;
  }
};

// Component j of the lifted solution modulo P = p^steps.
ZInt component(const std::vector<std::uint32_t>& digits, std::size_t nc, std::size_t j,
               std::int64_t steps, std::uint32_t p) {
  ZInt X;
  for (std::int64_t s = steps; s-- > 0;) X.mul_add(p, digits[static_cast<std::size_t>(s) * nc + j]);
  return X;
}

// p^steps.
ZInt power_of(std::uint32_t p, std::int64_t steps) {
  ZInt P = 1;
  for (std::int64_t s = 0; s < steps; ++s) P.mul_add(p, 0);
  return P;
}

// dst := src mod q in [0, q), entries below 2^24 (below q: no division,
// and the loop vectorises).
void residues_of(const std::vector<float>& src, std::vector<double>& dst, std::uint32_t q,
                 std::int64_t largest) {
  const double dq = q;
  const std::size_t count = src.size();
  if (largest < q) {
    for (std::size_t i = 0; i < count; ++i) {
      const double v = src[i];
      dst[i] = v < 0.0 ? v + dq : v;
    }
    return;
  }
  for (std::size_t i = 0; i < count; ++i)
    dst[i] = static_cast<double>((static_cast<std::int64_t>(src[i]) % q + q) % q);
}

// det A = 0 proven by an integer vector v != 0 with A v = 0. Column i, a
// combination modulo p of the columns before it (residue_lu's first column
// without a pivot, store holding that elimination), is solved for over Q on
// the rows of the nonsingular block by the same lifting (|det B| <= 2^hbits,
// numerators below 2^nbits); v = (d y, -d, 0, ...) with d the common
// denominator, and A v = 0 is checked modulo primes whose product exceeds
// twice every |(A v)_r|. False when column i is not such a combination over
// Q (the table's images decide then).
bool certify_singular(const std::vector<float>& rows, std::size_t n, std::int64_t hbits,
                      const std::vector<double>& store, std::uint32_t p,
                      const std::vector<std::int32_t>& perm, std::size_t i) {
  if (i == 0) return false;
  Lifting block{
      static_cast<std::int32_t>(i),
      p,
      std::vector<float>(i * i),
      {},
      std::vector<std::int32_t>(perm.begin(), perm.begin() + static_cast<std::ptrdiff_t>(i)),
      {}};
  std::vector<double> resid(i);
  for (std::size_t k = 0; k < i; ++k) {
    const float* a = rows.data() + static_cast<std::size_t>(perm[k]) * n;
    for (std::size_t c = 0; c < i; ++c) block.cols[c * i + k] = a[c];
    resid[k] = a[i];
  }
  block.take_lu(store.data(), n);
  for (std::size_t k = 0; k < i; ++k) block.perm[k] = static_cast<std::int32_t>(k);
  const std::int64_t nbits =
      hbits + 25 + static_cast<std::int64_t>(std::ceil(std::log2(static_cast<double>(n)) / 2));
  const auto steps = static_cast<std::int64_t>(std::ceil(
      static_cast<double>(nbits + hbits + 2) / (std::log2(static_cast<double>(p)) - 1e-9)));
  std::vector<std::size_t> comps(i);
  for (std::size_t j = 0; j < i; ++j) comps[j] = j;
  const std::vector<std::uint32_t> digits = block.digits(std::move(resid), steps, comps);
  last_divisor_stats.lift_steps = static_cast<std::int32_t>(steps);
  const ZInt P = power_of(p, steps);
  std::vector<ZInt> X(i);
  ZInt d = 1;
  for (std::size_t j = 0; j < i; ++j) {
    X[j] = component(digits, i, j, steps, p);
    const ZInt dj = reconstruct_denominator(P, (X[j] * d).mod(P), nbits + d.bit_length());
    d = d * dj;
    if (d.bit_length() > hbits) return false;
  }
  // The numerators d y_j in symmetric residues, and the bits of A v's bound.
  ZInt half;
  ZInt::divmod(P, ZInt(2), &half, nullptr);
  std::vector<ZInt> num(i);
  std::int64_t vbits = d.bit_length();
  for (std::size_t j = 0; j < i; ++j) {
    num[j] = (X[j] * d).mod(P);
    if (compare(num[j], half) > 0) num[j] -= P;
    vbits = std::max(vbits, num[j].bit_length());
  }
  const double wbits = static_cast<double>(vbits) + 24 + std::log2(static_cast<double>(n)) + 2;
  std::vector<std::int32_t> a32(n * (i + 1));
  for (std::size_t r = 0; r < n; ++r)
    for (std::size_t c = 0; c <= i; ++c)
      a32[r * (i + 1) + c] = static_cast<std::int32_t>(rows[r * n + c]);
  std::vector<std::int64_t> v(i + 1);
  double have = 0.0;
  for (std::size_t k = 0; have <= wbits; ++k) {
    const std::uint32_t q = word_prime(k, lifting_prime_top);
    for (std::size_t j = 0; j < i; ++j) v[j] = num[j].mod_word(q);
    const std::uint32_t dq = d.mod_word(q);
    v[i] = dq == 0 ? 0 : q - dq;
    for (std::size_t r = 0; r < n; ++r) {
      const std::int32_t* a = a32.data() + r * (i + 1);
      std::int64_t acc = 0;  // below n 2^24 2^21 < 2^63
      for (std::size_t c = 0; c <= i; ++c) acc += a[c] * v[c];
      if (acc % static_cast<std::int64_t>(q) != 0) return false;
    }
    have += std::log2(static_cast<double>(q)) - 1e-9;
  }
  last_divisor_stats.divisor_bits = static_cast<std::int32_t>(d.bit_length());
  return true;
}

// *d := the denominator of x_1 mod p^steps (from the lifting's digits of
// nc components), a divisor of det A; then each further component times d,
// whose denominator (a divisor of det A / d, the numerator below
// 2^(nbits + bits of d)) joins d. False when a denominator is not found or
// d passes 2^hbits.
bool joined_denominator(const std::vector<std::uint32_t>& digits, std::size_t nc,
                        std::int64_t steps, std::uint32_t p, std::int64_t nbits, std::int64_t hbits,
                        ZInt* d) {
  const ZInt P = power_of(p, steps);
  for (std::size_t j = 0; j < nc; ++j) {
    ZInt X = component(digits, nc, j, steps, p);
    if (j > 0) X = (X * *d).mod(P);
    const ZInt dj = reconstruct_denominator(P, X, nbits + d->bit_length());
    if (dj.is_zero()) return false;
    *d = *d * dj;
    if (d->bit_length() > hbits) return false;
  }
  return true;
}

}  // namespace

imptr divisor_determ(const std::vector<quoly>& cells, std::int32_t m, imptr pd) {
  last_divisor_stats = {};
  // The verbose texts belong to the images of the table.
  if (!divisor_route_enabled || verbose || m < 2) return nullptr;
  const auto n = static_cast<std::size_t>(m);
  Lifting lift{m, 0, std::vector<float>(n * n), {}, {}, {}};
  // Entries, the largest one and the Hadamard bound 2^hbits >= prod |col|.
  std::int64_t largest = 0;
  std::vector<float> rows(n * n);  // A row by row
  double log_sum = 0.0;
  for (std::size_t c = 0; c < n; ++c) {
    std::int64_t norm2 = 0;
    for (std::size_t r = 0; r < n; ++r) {
      const quoly v = cells[c * n + r];
      std::int64_t a = 0;
      if (v != nullptr) {
        if (v->ncoef->size != 1) return nullptr;
        a = v->ncoef->head->value;
      }
      const std::int64_t mag = a < 0 ? -a : a;
      if (mag > largest) largest = mag;
      if (mag >= (std::int64_t{1} << 24)) return nullptr;
      norm2 += a * a;
      lift.cols[c * n + r] = static_cast<float>(a);
      rows[r * n + c] = static_cast<float>(a);
    }
    if (norm2 == 0) return ZInt().to_number();  // a zero column
    log_sum += std::log2(static_cast<double>(norm2));
  }
  // Every partial sum of A x and of the residual r - A x stays below 2^52.
  if (static_cast<double>(m) * static_cast<double>(largest) * 0x1p21 >= 0x1p51) return nullptr;
  const auto hbits = static_cast<std::int64_t>(std::ceil(log_sum / 2 + 1e-9 * m + 2));
  // A bound below 2^hbits (a caller's) makes the images of the table
  // answer modulo their product: theirs is the result then.
  if (pd != nullptr && pd->size > 0 &&
      std::int64_t{limb_bits} * (pd->size - 1) +
              std::bit_width(static_cast<std::uint32_t>(pd->head->value)) - 1 <
          hbits)
    return nullptr;

  // LU modulo p; a prime dividing det A is passed over (up to two), its
  // image 0 kept for the cofactor.
  std::vector<double> store(n * n);
  std::vector<std::uint32_t> known;  // det A mod the k-th word prime, k < known.size()
  std::int32_t dependent = 0;        // the last singular elimination's first column without a pivot
  lift.perm.resize(n);
  for (std::uint32_t det_p = 0; det_p == 0;) {
    check_interrupt();
    if (known.size() == 3) {  // most likely singular: prove it, or leave it to the table
      if (certify_singular(rows, n, hbits, store, lift.p, lift.perm,
                           static_cast<std::size_t>(dependent)))
        return ZInt().to_number();
      last_divisor_stats = {};
      return nullptr;
    }
    lift.p = word_prime(known.size(), lifting_prime_top);
    residues_of(rows, store, lift.p, largest);
    det_p = residue_lu(store.data(), m, lift.p, lift.perm.data(), &dependent);
    known.push_back(det_p);
  }
  const std::uint32_t p = lift.p;
  lift.take_lu(store.data(), n);
  store = {};

  // b with entries in [-2^10, 2^10]: |numerator of x_1| <= H |b| < 2^nbits.
  std::mt19937 rng(12345);
  std::vector<double> resid(n);
  for (double& v : resid) v = static_cast<double>(static_cast<std::int32_t>(rng() % 2049) - 1024);
  const std::int64_t nbits =
      hbits + 11 + static_cast<std::int64_t>(std::ceil(std::log2(static_cast<double>(m)) / 2));
  // p^steps > 2^(nbits + hbits + 1) >= 2 N D.
  const double bits_per_step = std::log2(static_cast<double>(p)) - 1e-9;
  const auto steps =
      static_cast<std::int64_t>(std::ceil(static_cast<double>(nbits + hbits + 2) / bits_per_step));
  // The denominators of a few components of x, joined: x_1's alone may miss
  // a factor when A has structure.
  std::vector<std::size_t> comps{0};
  for (std::size_t c : {n - 1, n / 2, n / 3})
    if (std::find(comps.begin(), comps.end(), c) == comps.end()) comps.push_back(c);
  const std::size_t nc = comps.size();
  const std::vector<std::uint32_t> digits = lift.digits(std::move(resid), steps, comps);
  last_divisor_stats.lift_steps = static_cast<std::int32_t>(steps);

  ZInt d = 1;
  if (!joined_denominator(digits, nc, steps, p, nbits, hbits, &d)) return nullptr;
  last_divisor_stats.divisor_bits = static_cast<std::int32_t>(d.bit_length());

  // e = det A / d from images det A * d^-1 mod q until the primes' product
  // exceeds 2 |e| (|e| <= 2^hbits / d); Garner in mixed radix.
  const std::int64_t ebits = hbits - (d.bit_length() - 1) + 1;
  Garner garner;
  std::vector<std::uint32_t> ev;
  double have = 0.0;
  std::vector<double> work(n * n);
  for (std::size_t k = 0; have <= static_cast<double>(ebits); ++k) {
    const std::uint32_t q = word_prime(k, lifting_prime_top);
    const std::uint32_t dq = d.mod_word(q);
    if (dq == 0) continue;
    std::uint64_t det_q = k < known.size() ? known[k] : 0;
    if (k >= known.size()) {
      residues_of(rows, work, q, largest);
      det_q = residue_lu(work.data(), m, q, nullptr);
    }
    garner.add_prime(q);
    const WordField& f = garner.field(ev.size());
    const std::uint32_t e_q = f.mul(static_cast<std::uint32_t>(det_q), f.inv(dq));
    ev.push_back(garner.digit(ev.size(), e_q, ev.data()));
    have += std::log2(static_cast<double>(q)) - 1e-9;
  }
  last_divisor_stats.primes = static_cast<std::int32_t>(ev.size());
  return (d * garner.symmetric(ev.data())).to_number();
}

}  // namespace tavrin::images
