// The integer determinant by a divisor found first (see divisor_determ.h).
#include "det/divisor_determ.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "core/interrupts.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/garner.h"
#include "numbers/limb_array_impl.h"
#include "numbers/primes.h"
#include "numbers/zint.h"

namespace tavrin::images {

DivisorStats last_divisor_stats;
bool divisor_route_enabled = true;

namespace {

// ---- Magnitudes in base 2^32, least significant word first, normalised ----
using words = std::vector<std::uint32_t>;

void trim(words& a) {
  while (!a.empty() && a.back() == 0) a.pop_back();
}

// a := a * mul + add.
void mul_add(words& a, std::uint32_t mul, std::uint32_t add) {
  std::uint64_t carry = add;
  for (std::uint32_t& w : a) {
    const std::uint64_t v = std::uint64_t{w} * mul + carry;
    w = static_cast<std::uint32_t>(v);
    carry = v >> 32;
  }
  if (carry != 0) a.push_back(static_cast<std::uint32_t>(carry));
}

std::int64_t bit_length(const words& a) {
  if (a.empty()) return 0;
  return 32 * static_cast<std::int64_t>(a.size() - 1) + std::bit_width(a.back());
}

int compare(const words& a, const words& b) {
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  for (std::size_t i = a.size(); i-- > 0;)
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  return 0;
}

// a := a - q * b * 2^(32 s); the result is known to be non-negative.
void sub_mul_shifted(words& a, const words& b, std::uint32_t q, std::size_t s) {
  std::uint64_t carry = 0, borrow = 0;
  std::size_t i = 0;
  for (; i < b.size(); ++i) {
    const std::uint64_t prod = std::uint64_t{q} * b[i] + carry;
    carry = prod >> 32;
    const std::uint64_t sub = (prod & 0xffffffffu) + borrow;
    const std::uint64_t x = a[i + s];
    borrow = x < sub ? 1 : 0;
    a[i + s] = static_cast<std::uint32_t>(x - sub);
  }
  for (std::size_t j = i + s; (carry != 0 || borrow != 0) && j < a.size(); ++j) {
    const std::uint64_t sub = carry + borrow;
    const std::uint64_t x = a[j];
    borrow = x < (sub & 0xffffffffu) ? 1 : 0;
    a[j] = static_cast<std::uint32_t>(x - (sub & 0xffffffffu));
    carry = sub >> 32;
  }
  trim(a);
}

// a := a + q * b * 2^(32 s).
void add_mul_shifted(words& a, const words& b, std::uint32_t q, std::size_t s) {
  if (a.size() < b.size() + s + 1) a.resize(b.size() + s + 1, 0);
  std::uint64_t carry = 0;
  std::size_t i = 0;
  for (; i < b.size(); ++i) {
    const std::uint64_t v = std::uint64_t{q} * b[i] + a[i + s] + carry;
    a[i + s] = static_cast<std::uint32_t>(v);
    carry = v >> 32;
  }
  for (std::size_t j = i + s; carry != 0; ++j) {
    if (j == a.size()) a.push_back(0);
    const std::uint64_t v = std::uint64_t{a[j]} + carry;
    a[j] = static_cast<std::uint32_t>(v);
    carry = v >> 32;
  }
  trim(a);
}

words multiply(const words& a, const words& b) {
  if (a.empty() || b.empty()) return {};
  words r(a.size() + b.size(), 0);
  for (std::size_t i = 0; i < a.size(); ++i) {
    std::uint64_t carry = 0;
    for (std::size_t j = 0; j < b.size(); ++j) {
      const std::uint64_t v = std::uint64_t{a[i]} * b[j] + r[i + j] + carry;
      r[i + j] = static_cast<std::uint32_t>(v);
      carry = v >> 32;
    }
    r[i + b.size()] = static_cast<std::uint32_t>(carry);
  }
  trim(r);
  return r;
}

// The leading three words of a (zeros below a shorter a) as a double: a is
// close to top(a) * 2^(32 (len - 3)).
double top(const words& a) {
  double v = 0.0;
  for (std::size_t k = 0; k < 3; ++k) {
    v *= 4294967296.0;
    if (a.size() > k) v += a[a.size() - 1 - k];
  }
  return v;
}

// A chunk q 2^(32 shift) of the quotient of a by b (a >= b): q < 2^32 is at
// least 1 and under the true quotient, by the estimate from the leading
// words.
struct QuotientChunk {
  std::uint32_t q;
  std::size_t shift;
};
QuotientChunk quotient_chunk(const words& a, const words& b) {
  std::size_t s = a.size() - b.size();
  double q = top(a) / top(b) * (1.0 - 0x1p-40);
  if (q < 1.0 && s > 0) {
    --s;
    q *= 4294967296.0;
  }
  std::uint32_t qw = q >= 4294967295.0 ? 0xffffffffu : static_cast<std::uint32_t>(q);
  if (qw == 0) qw = 1;  // s = 0 and a >= b: the quotient is at least 1
  return {qw, s};
}

// a mod b, by chunks of the quotient.
words remainder(words a, const words& b) {
  while (compare(a, b) >= 0) {
    const QuotientChunk c = quotient_chunk(a, b);
    sub_mul_shifted(a, b, c.q, c.shift);
  }
  return a;
}

std::uint32_t mod_word(const words& a, std::uint32_t p) {
  std::uint64_t r = 0;
  for (std::size_t i = a.size(); i-- > 0;) r = ((r << 32) | a[i]) % p;
  return static_cast<std::uint32_t>(r);
}

// Rational reconstruction: the extended Euclidean remainders of (P, X) until
// the first one below 2^nbits; returns the magnitude of its cofactor of X.
// With |n| < 2^nbits, 0 < d and 2^nbits * d < P for the reduced n/d = X mod
// P, that cofactor is d. The cofactors alternate in sign, so their
// magnitudes grow by t_{i+1} = t_{i-1} + q t_i; every quotient is taken in
// chunks q' 2^(32 s) (q' < 2^32, under the true quotient by the estimate
// from the leading words), so no long division is needed.
words reconstruct_denominator(words r0, words r1, std::int64_t nbits) {
  words t0, t1{1};
  while (bit_length(r1) > nbits) {
    while (compare(r0, r1) >= 0) {
      const QuotientChunk c = quotient_chunk(r0, r1);
      sub_mul_shifted(r0, r1, c.q, c.shift);
      add_mul_shifted(t0, t1, c.q, c.shift);
    }
    std::swap(r0, r1);
    std::swap(t0, t1);
  }
  return t1;
}

// The matrix A as exact doubles, row by row, and its LU modulo p.
struct Lifting {
  std::int32_t m;
  std::uint32_t p;
  std::vector<float> cols;              // A column by column (entries below 2^24: exact)
  std::vector<std::uint32_t> lu;        // L and U at position order
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
      diag_inv[k] = static_cast<std::uint32_t>(residue_power(lu[k * n + k], p - 2, p));
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
words component(const std::vector<std::uint32_t>& digits, std::size_t nc, std::size_t j,
                std::int64_t steps, std::uint32_t p) {
  words X;
  for (std::int64_t s = steps; s-- > 0;) mul_add(X, p, digits[static_cast<std::size_t>(s) * nc + j]);
  trim(X);
  return X;
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

// The value of a magnitude in base 2^32, two 16-bit halves a word.
ZInt zint_of(const words& a) {
  ZInt z;
  for (std::size_t i = a.size(); i-- > 0;) {
    z.mul_add(1u << 16, a[i] >> 16);
    z.mul_add(1u << 16, a[i] & 0xffffu);
  }
  return z;
}

// A big integer from a sign and a magnitude in base 2^32.
imptr make_number(const words& a, std::int32_t sign) {
  const ZInt z = zint_of(a);
  return (sign < 0 ? -z : z).to_number();
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
  Lifting block{static_cast<std::int32_t>(i), p, std::vector<float>(i * i), {},
                std::vector<std::int32_t>(perm.begin(), perm.begin() + static_cast<std::ptrdiff_t>(i)), {}};
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
  const auto steps = static_cast<std::int64_t>(
      std::ceil(static_cast<double>(nbits + hbits + 2) / (std::log2(static_cast<double>(p)) - 1e-9)));
  std::vector<std::size_t> comps(i);
  for (std::size_t j = 0; j < i; ++j) comps[j] = j;
  const std::vector<std::uint32_t> digits = block.digits(std::move(resid), steps, comps);
  last_divisor_stats.lift_steps = static_cast<std::int32_t>(steps);
  words P{1};
  for (std::int64_t s = 0; s < steps; ++s) mul_add(P, p, 0);
  std::vector<words> X(i);
  words d{1};
  for (std::size_t j = 0; j < i; ++j) {
    X[j] = component(digits, i, j, steps, p);
    const words dj = reconstruct_denominator(P, remainder(multiply(X[j], d), P), nbits + bit_length(d));
    d = multiply(d, dj);
    if (bit_length(d) > hbits) return false;
  }
  // The numerators d y_j in symmetric residues, and the bits of A v's bound.
  std::vector<words> num(i);
  std::vector<bool> negative(i, false);
  std::int64_t vbits = bit_length(d);
  for (std::size_t j = 0; j < i; ++j) {
    num[j] = remainder(multiply(X[j], d), P);
    words twice = num[j];
    mul_add(twice, 2, 0);
    if (compare(twice, P) > 0) {
      words mag = P;
      sub_mul_shifted(mag, num[j], 1, 0);
      num[j] = std::move(mag);
      negative[j] = true;
    }
    vbits = std::max(vbits, bit_length(num[j]));
  }
  const double wbits =
      static_cast<double>(vbits) + 24 + std::log2(static_cast<double>(n)) + 2;
  std::vector<std::int32_t> a32(n * (i + 1));
  for (std::size_t r = 0; r < n; ++r)
    for (std::size_t c = 0; c <= i; ++c) a32[r * (i + 1) + c] = static_cast<std::int32_t>(rows[r * n + c]);
  std::vector<std::int64_t> v(i + 1);
  double have = 0.0;
  for (std::size_t k = 0; have <= wbits; ++k) {
    const std::uint32_t q = word_prime(k, lifting_prime_top);
    for (std::size_t j = 0; j < i; ++j) {
      const std::uint32_t m = mod_word(num[j], q);
      v[j] = negative[j] && m != 0 ? q - m : m;
    }
    const std::uint32_t dq = mod_word(d, q);
    v[i] = dq == 0 ? 0 : q - dq;
    for (std::size_t r = 0; r < n; ++r) {
      const std::int32_t* a = a32.data() + r * (i + 1);
      std::int64_t acc = 0;  // below n 2^24 2^21 < 2^63
      for (std::size_t c = 0; c <= i; ++c) acc += a[c] * v[c];
      if (acc % static_cast<std::int64_t>(q) != 0) return false;
    }
    have += std::log2(static_cast<double>(q)) - 1e-9;
  }
  last_divisor_stats.divisor_bits = static_cast<std::int32_t>(bit_length(d));
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
    if (norm2 == 0) return make_number({}, 1);  // a zero column
    log_sum += std::log2(static_cast<double>(norm2));
  }
  // Every partial sum of A x and of the residual r - A x stays below 2^52.
  if (static_cast<double>(m) * static_cast<double>(largest) * 0x1p21 >= 0x1p51) return nullptr;
  const auto hbits = static_cast<std::int64_t>(std::ceil(log_sum / 2 + 1e-9 * m + 2));
  // A bound below 2^hbits (a caller's) makes the images of the table
  // answer modulo their product: theirs is the result then.
  if (pd != nullptr && pd->size > 0 &&
      std::int64_t{limb_bits} * (pd->size - 1) + std::bit_width(static_cast<std::uint32_t>(pd->head->value)) - 1 < hbits)
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
      if (certify_singular(rows, n, hbits, store, lift.p, lift.perm, static_cast<std::size_t>(dependent)))
        return make_number({}, 1);
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

  // x_1 mod p^steps and its denominator d, a divisor of det A; then each
  // further component times d, whose denominator (a divisor of det A / d,
  // the numerator below 2^(nbits + bits of d)) joins d.
  words P{1};
  for (std::int64_t s = 0; s < steps; ++s) mul_add(P, p, 0);
  words d{1};
  for (std::size_t j = 0; j < nc; ++j) {
    words X = component(digits, nc, j, steps, p);
    if (j > 0) X = remainder(multiply(X, d), P);
    const words dj = reconstruct_denominator(P, X, nbits + bit_length(d));
    if (dj.empty()) return nullptr;
    d = multiply(d, dj);
    if (bit_length(d) > hbits) return nullptr;
  }
  last_divisor_stats.divisor_bits = static_cast<std::int32_t>(bit_length(d));

  // e = det A / d from images det A * d^-1 mod q until the primes' product
  // exceeds 2 |e| (|e| <= 2^hbits / d); Garner in mixed radix.
  const std::int64_t ebits = hbits - (bit_length(d) - 1) + 1;
  Garner garner;
  std::vector<std::uint32_t> ev;
  double have = 0.0;
  std::vector<double> work(n * n);
  for (std::size_t k = 0; have <= static_cast<double>(ebits); ++k) {
    const std::uint32_t q = word_prime(k, lifting_prime_top);
    const std::uint32_t dq = mod_word(d, q);
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
  return (zint_of(d) * garner.symmetric(ev.data())).to_number();
}

}  // namespace tavrin::images
