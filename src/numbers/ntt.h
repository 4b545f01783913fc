// Number-theoretic transforms modulo three word primes: the engine of the
// long products of dense/ (dense_transform_impl.h) and of the long integer
// products on words (word_array.h).
//
// - The primes p = c 2^k + 1 below 2^30 (transform_prime_table): 998244353,
//   897581057 and 880803841, each with k = 23; their product exceeds 2^89.
// - A transform of length N = 2^lg (ntt_min_lg <= lg <= 23) works in place
//   on N values in [0, 2p). Forward: decimation in frequency, butterflies
//   (x, y) -> (x + y, (x - y) w) with lazy reduction (Harvey's bounds),
//   twiddles multiplied by Shoup's method. The levels of half-length 8 and
//   more run over contiguous runs; the last three on blocks of 64 entries
//   viewed as 8 x 8 and transposed, the block left transposed. The
//   spectrum's order is thus the transform's own (bit-reversed, permuted
//   inside blocks of 64); pointwise operations do not see it. Backward: the
//   exact inverse of each level in reverse order, so that it returns N times
//   the cyclic result in natural order.
// - Pointwise products are Montgomery products a b 2^-32 mod p.
//
// The butterflies run eight lanes at a time where the processor has AVX2
// (chosen once), otherwise one at a time; both give the same values.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "numbers/simd.h"
#include "numbers/word_field.h"

namespace tavrin::kit {

constexpr int ntt_min_lg = 6;
constexpr int ntt_max_lg = 23;

using u32 = std::uint32_t;
using u64 = std::uint64_t;
using u128 = unsigned __int128;

inline u32 below_2p(u32 v, u32 p2) { return v >= p2 ? v - p2 : v; }
inline u32 below_p(u32 v, u32 p) { return v >= p ? v - p : v; }

// The three transform primes, named once: p and its two-adicity k.
struct TransformPrimeName {
  u32 p;
  int two_adicity;
};
inline constexpr TransformPrimeName transform_prime_table[3] = {
    {998244353u, 23}, {897581057u, 23}, {880803841u, 23}};

// One transform prime: its generator, -p^-1 mod 2^32, and the twiddles
// (with their Shoup quotients) of every length up to the largest prepared.
// Transforms may run on several threads at once: prepare() grows the
// tables under a lock into new arrays and keeps the old ones (which hold
// the same values for the shorter lengths) until the end of the run, so a
// transform that read the tables before a growth goes on reading valid ones.
class TransformPrime {
 public:
  TransformPrime(u32 p, int two_adicity) : p_(p), two_adicity_(two_adicity) {
    const u32 odd = (p - 1) >> two_adicity;
    std::vector<u32> factors{2};
    u32 c = odd;
    for (u32 f = 3; f * f <= c; f += 2) {
      if (c % f != 0) continue;
      factors.push_back(f);
      while (c % f == 0) c /= f;
    }
    if (c > 1) factors.push_back(c);
    for (g_ = 2;; ++g_) {
      bool generator = true;
      for (u32 f : factors) generator = generator && power_modulo(g_, (p - 1) / f, p) != 1;
      if (generator) break;
    }
    u32 inv = p;  // p^-1 mod 2^32 by Newton's iteration
    for (int i = 0; i < 5; ++i) inv *= 2 - p * inv;
    neg_inv_ = 0u - inv;
  }
  // Moved only while the table of primes is built, before any use.
  TransformPrime(TransformPrime&& o) noexcept
      : p_(o.p_),
        two_adicity_(o.two_adicity_),
        g_(o.g_),
        neg_inv_(o.neg_inv_),
        prepared_(o.prepared_.load()),
        tables_(o.tables_.load()),
        made_(std::move(o.made_)) {}

  u32 p() const { return p_; }
  u32 neg_inv() const { return neg_inv_; }
  const u32* fw() const { return tables().fw.data(); }
  const u32* fwq() const { return tables().fwq.data(); }
  const u32* bw() const { return tables().bw.data(); }
  const u32* bwq() const { return tables().bwq.data(); }

  // Twiddles for lengths up to 2^lg: entry h + j is w_2h^j (j < h). Only
  // the longest level is computed, by products with its root: a shorter
  // level takes every other entry of the one above (w_h = w_2h^2). The
  // backward twiddles are the forward ones read from the other end and
  // negated (w_2h^-j = -w_2h^(h-j), as w_2h^h = -1), their Shoup quotients
  // 2^32 - 1 less the forward ones' (p - x over p, x a unit); they are
  // kept for the levels below stored_backward only, the longer ones read
  // from the forward table (backward_twiddle).
  static constexpr std::size_t stored_backward = std::size_t{1} << 15;
  void prepare(int lg) {
    if (lg <= prepared_.load(std::memory_order_acquire)) return;
    std::lock_guard<std::mutex> lock(growing_);
    if (lg <= prepared_.load(std::memory_order_relaxed)) return;
    auto t = std::make_unique<Tables>();
    const std::size_t n = std::size_t{1} << lg;
    t->fw.assign(n, 0);
    t->fwq.assign(n, 0);
    t->bw.assign(std::min(n, stored_backward), 0);
    t->bwq.assign(std::min(n, stored_backward), 0);
    std::vector<u32>&fw = t->fw, &fwq = t->fwq, &bw = t->bw, &bwq = t->bwq;
    if (n >= 2) {
      const std::size_t top = n / 2;
      const u32 w = power_modulo(g_, (p_ - 1) / (2 * top), p_);
      const u32 wq = shoup_quotient(w, p_);
      u32 a = 1;
      for (std::size_t j = 0; j < top; ++j) {
        fw[top + j] = a;
        fwq[top + j] = shoup_quotient(a, p_);
        a = shoup_mul(a, w, wq, p_);
      }
      for (std::size_t h = top / 2; h >= 1; h /= 2)
        for (std::size_t j = 0; j < h; ++j) {
          fw[h + j] = fw[2 * h + 2 * j];
          fwq[h + j] = fwq[2 * h + 2 * j];
        }
      for (std::size_t h = 1; h < std::min(n, stored_backward); h <<= 1) {
        bw[h] = 1;
        bwq[h] = fwq[h];
        for (std::size_t j = 1; j < h; ++j) {
          bw[h + j] = p_ - fw[2 * h - j];
          bwq[h + j] = ~fwq[2 * h - j];
        }
      }
    }
    tables_.store(t.get(), std::memory_order_release);
    made_.push_back(std::move(t));
    prepared_.store(lg, std::memory_order_release);
  }

  // Entry h + j of the backward twiddles and its Shoup quotient.
  u32 backward_twiddle(std::size_t h, std::size_t j) const {
    const Tables& t = tables();
    if (h < stored_backward) return t.bw[h + j];
    return j == 0 ? 1 : p_ - t.fw[2 * h - j];
  }
  u32 backward_quotient(std::size_t h, std::size_t j) const {
    const Tables& t = tables();
    if (h < stored_backward) return t.bwq[h + j];
    return j == 0 ? t.fwq[h] : ~t.fwq[2 * h - j];
  }

  // a b 2^-32 mod p in [0, 2p) for a, b < 2p (Montgomery).
  u32 mont(u32 a, u32 b) const {
    const u64 t = static_cast<u64>(a) * b;
    const u32 m = static_cast<u32>(t) * neg_inv_;
    return static_cast<u32>((t + static_cast<u64>(m) * p_) >> 32);
  }

 private:
  struct Tables {
    std::vector<u32> fw, fwq, bw, bwq;
  };
  const Tables& tables() const { return *tables_.load(std::memory_order_acquire); }

  u32 p_;
  int two_adicity_;
  u32 g_ = 2;
  u32 neg_inv_ = 0;
  std::atomic<int> prepared_{-1};
  std::atomic<const Tables*> tables_{&empty_tables};
  std::vector<std::unique_ptr<Tables>> made_;  // every table made, the last in use
  std::mutex growing_;
  static inline const Tables empty_tables{};
};

// The three primes, in the order above (twiddles prepared on demand).
std::vector<TransformPrime>& transform_primes();

// The Chinese remainder step over the transform primes p1, p2, p3 in
// Garner's form, for the values of a backward transform of length len:
// with v1 = r1 s1 mod p1, v2 = (r2 s2 - v1) / p1 mod p2 and
// v3 = ((r3 s3 - v1) / p1 - v2) / p2 mod p3, the value is
// v1 + p1 v2 + p1 p2 v3, where the s_k take back the transform's factor
// len 2^-32. Over the first two primes alone, v1 + p1 v2. The eight-lane
// forms give the same digits.
class TransformCrt {
 public:
  explicit TransformCrt(std::int64_t len);
  // r: a residue below the prime's double.
  u32 digit1(u32 r1) const { return c1_.times(r1); }
  u32 digit2(u32 r2, u32 v1) const { return sub(c2_.times(r2), d2_.times(v1), p2_); }
  u32 digit3(u32 r3, u32 v1, u32 v2) const {
    return sub(sub(c3_.times(r3), d3_.times(v1), p3_), e3_.times(v2), p3_);
  }
#ifdef TAVRIN_AVX2
  AVX2_FN __m256i digit1(__m256i r1) const { return times(c1_, r1); }
  AVX2_FN __m256i digit2(__m256i r2, __m256i v1) const {
    return sub(times(c2_, r2), times(d2_, v1), p2_);
  }
  AVX2_FN __m256i digit3(__m256i r3, __m256i v1, __m256i v2) const {
    return sub(sub(times(c3_, r3), times(d3_, v1), p3_), times(e3_, v2), p3_);
  }
  // a w mod m lane by lane, for the constant w of c.
  AVX2_FN static __m256i times(const ShoupMultiplier& c, __m256i a) {
    const __m256i m = simd::vset(c.modulus());
    return simd::vreduce(simd::vshoup(a, simd::vset(c.w()), simd::vset(c.wq()), m), m);
  }
#endif

 private:
  static u32 sub(u32 a, u32 b, u32 m) { return a >= b ? a - b : a + m - b; }
#ifdef TAVRIN_AVX2
  AVX2_FN static __m256i sub(__m256i a, __m256i b, u32 m) {
    const __m256i q = simd::vset(m);
    return simd::vreduce(_mm256_add_epi32(_mm256_sub_epi32(a, b), q), q);
  }
#endif
  u32 p2_, p3_;
  ShoupMultiplier c1_, c2_, d2_, c3_, d3_, e3_;
};

// a[0 .. 2^lg) := its forward (resp. backward) transform modulo P; P's
// twiddles must be prepared for lg.
void ntt_forward(u32* a, int lg, const TransformPrime& P);
void ntt_backward(u32* a, int lg, const TransformPrime& P);

// r := a b (+ c d when c is not null), Montgomery products modulo P, values
// in [0, 2p); n a multiple of 8; r may be any input.
void ntt_pointwise(const u32* a, const u32* b, const u32* c, const u32* d, u32* r, std::size_t n,
                   const TransformPrime& P);

// The split pair: a product of at most 3m values (m = N/2, a power of two
// below 2^ntt_max_lg) by one cyclic transform of length N and one of
// length m, in place of one of 2N. For prime k of transform_primes(),
// prepared for lg(N):
// - ntt_split_fold: x[0 .. 3m) holds an operand's values below p; x[0 ..
//   N) := them modulo x^N - 1, h[0 .. m) := them modulo x^m - t^m, weighted
//   by t^r (t a fixed unit with t^N != 1), values below 2p, ready for the
//   forward transforms of lengths N and m.
// - ntt_split_recombine: x[0 .. N) and h[0 .. m) hold the backward
//   transforms of the pointwise products (below 2p); x[0 .. 3m) := the
//   product's values times N 2^-32, below p, as TransformCrt(N) takes them.
void ntt_split_fold(u32* x, u32* h, std::int64_t m, std::size_t k);
void ntt_split_recombine(u32* x, const u32* h, std::int64_t m, std::size_t k);
// Whether by estimate the split pair of lengths 2^(lg-1), 2^(lg-2) costs
// less than `transforms` transforms of length 2^lg.
bool ntt_split_pays(int lg, int transforms);

// The twin pair: a product of at most 2N values (N = 2^lg, lg <= ntt_max_lg)
// by two cyclic transforms of length N, the product modulo x^N - 1 and
// modulo x^N - u for u = t^N (t the split pair's unit), in place of one of
// length 2N, which the primes lack for N = 2^ntt_max_lg. For prime k of
// transform_primes(), prepared for lg:
// - ntt_twin_fold: x[0 .. 2N) holds an operand's values below p; x[0 .. N)
//   := them modulo x^N - 1, x[N .. 2N) := them modulo x^N - u weighted by
//   t^r, values below 2p, ready for the forward transforms of length N.
// - ntt_twin_recombine: both halves hold the backward transforms of the
//   pointwise products (below 2p); x[0 .. 2N) := the product's values
//   times N 2^-32, below p, as TransformCrt(N) takes them.
void ntt_twin_fold(u32* x, std::int64_t n, std::size_t k);
void ntt_twin_recombine(u32* x, std::int64_t n, std::size_t k);

// Sums of many pointwise products with one reduction: acc holds n 64-bit
// sums (n a multiple of 8, in the kernels' own lane order), starting from
// zero. a := a mod p for values below 2p; acc += a b for a, b below p;
// a fold (same residues, each sum below 2^62 + 2^32) at most every eight
// products; r := the sums times 2^-32 mod p in [0, 2p) (the factor of one
// Montgomery product).
void ntt_below_p(u32* a, std::size_t n, const TransformPrime& P);
void ntt_mul_add_lazy(const u32* a, const u32* b, u64* acc, std::size_t n);
void ntt_fold_lazy(u64* acc, std::size_t n, const TransformPrime& P);
void ntt_reduce_lazy(const u64* acc, u32* r, std::size_t n, const TransformPrime& P);

// The transform length from which the independent parts of one product
// (its primes, its pieces) run side by side on the pool's threads.
constexpr int ntt_thread_min_lg = 14;
// body(k) for each k below count, the parts of a product whose transforms
// have length 2^lg: as pool tasks from ntt_thread_min_lg on, else in order.
// Each body writes its own part's values only; the primes' twiddles must
// be prepared for lg before.
void ntt_tasks(int count, int lg, const std::function<void(std::size_t)>& body);

// Whether the eight-lane butterflies are in use; force_scalar_ntt(true)
// switches them off for the rest of the run (a test and benchmark hook).
bool ntt_vectorised();
void force_scalar_ntt(bool scalar);

}  // namespace tavrin::kit
