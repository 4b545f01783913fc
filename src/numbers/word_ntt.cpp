// Long products of word arrays by number-theoretic transforms (ntt.h):
// each operand is cut into chunks of `bits` bits (the coefficients of a
// polynomial at 2^bits), the chunks' cyclic convolution is formed modulo
// the three transform primes, and each coefficient, rebuilt exactly by the
// Chinese remainder theorem, is added in at its chunk's place. `bits` is the
// largest for which every coefficient (at most the shorter operand's chunk
// count times (2^bits - 1)^2) stays below the product of the primes. The
// transform length is the least power of two 2N that holds the whole
// product, so the cyclic convolution is the plain one; or, for products of
// at most 3N/2 chunks, N and N/2 (split_product below). Past the widest
// transform, products of at most 2^(ntt_max_lg + 1) chunks go by the twin
// pair, two transforms of the widest length (whole_product below).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "numbers/ntt.h"
#include "numbers/simd.h"
#include "numbers/word_array.h"

namespace tavrin::kit {

namespace {

constexpr u32 prime1 = transform_prime_table[0].p, prime2 = transform_prime_table[1].p,
              prime3 = transform_prime_table[2].p;

// The chunk width and transform size of a product; split: transforms of
// lengths 2^lg and 2^(lg-1) in place of one of 2^(lg+1); twin: two of
// length 2^lg in place of one of 2^(lg+1).
struct ntt_shape {
  int bits = 0;
  std::int64_t chunks_a = 0, chunks_b = 0;
  int lg = 0;
  bool split = false;
  bool twin = false;
};

std::int64_t chunk_count(std::int32_t n, int bits) {
  return (64 * std::int64_t{n} + bits - 1) / bits;
}

// The widest chunks (at most 40 bits) whose coefficients stay below the
// primes' product, and the least power of two 2^lg holding the product; lg
// 0 when it passes 2^most.
ntt_shape whole_shape_of(std::int32_t na, std::int32_t nb, int most) {
  const u128 primes_product = static_cast<u128>(prime1) * prime2 * prime3;
  for (int bits = 40; bits >= 16; --bits) {
    ntt_shape s{bits, chunk_count(na, bits), chunk_count(nb, bits), ntt_min_lg};
    const u128 top = (static_cast<u128>(1) << bits) - 1;
    if (top * top * static_cast<u128>(std::min(s.chunks_a, s.chunks_b)) >= primes_product) continue;
    while ((std::int64_t{1} << s.lg) < s.chunks_a + s.chunks_b - 1) ++s.lg;
    if (s.lg > most) return {};
    return s;
  }
  return {};
}

// Whether the product's chunks fill at most 3/4 of the whole length.
bool splittable(const ntt_shape& s) {
  return s.lg - 2 >= ntt_min_lg &&
         4 * (s.chunks_a + s.chunks_b - 1) <= 3 * (std::int64_t{1} << s.lg);
}

// The shape of a product: the split pair where it applies and the
// estimate favours it, or where the whole length passes the widest
// transform; past that, the twin pair.
ntt_shape shape_of(std::int32_t na, std::int32_t nb, bool square) {
  ntt_shape s = whole_shape_of(na, nb, ntt_max_lg + 1);
  if (splittable(s) && (s.lg > ntt_max_lg || ntt_split_pays(s.lg, square ? 2 : 3))) {
    --s.lg;
    s.split = true;
  } else if (s.lg > ntt_max_lg) {
    --s.lg;
    s.twin = true;
  }
  return s;
}

// out_k[0 .. len) := the chunks of a (n words) modulo prime k, zero
// padded; each chunk is below 2^40.
void chunks_of(const word* a, std::int32_t n, const ntt_shape& s, std::int64_t count,
               std::int64_t len, u32* out1, u32* out2, u32* out3) {
  const word mask = (word{1} << s.bits) - 1;
  std::int64_t bit = 0;
  for (std::int64_t i = 0; i < count; ++i, bit += s.bits) {
    const auto k = static_cast<std::int32_t>(bit >> 6);
    const int off = static_cast<int>(bit & 63);
    word c = a[k] >> off;
    if (off + s.bits > 64 && k + 1 < n) c |= a[k + 1] << (64 - off);
    c &= mask;
    out1[i] = static_cast<u32>(c % prime1);
    out2[i] = static_cast<u32>(c % prime2);
    out3[i] = static_cast<u32>(c % prime3);
  }
  std::fill(out1 + count, out1 + len, 0u);
  std::fill(out2 + count, out2 + len, 0u);
  std::fill(out3 + count, out3 + len, 0u);
}

#ifdef TAVRIN_AVX2
// The same eight values at a time; the count done.
AVX2_FN std::int64_t crt_digits_avx2(const TransformCrt& g, u32* r1, u32* r2, u32* r3,
                                     std::int64_t n) {
  std::int64_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i v1 = g.digit1(simd::vload(r1 + i));
    const __m256i v2 = g.digit2(simd::vload(r2 + i), v1);
    simd::vstore(r3 + i, g.digit3(simd::vload(r3 + i), v1, v2));
    simd::vstore(r1 + i, v1);
    simd::vstore(r2 + i, v2);
  }
  return i;
}
#endif

// r_k := v_k in place, the digits of the Chinese remainder step (TransformCrt).
void crt_digits(const TransformCrt& g, u32* r1, u32* r2, u32* r3, std::int64_t n) {
  std::int64_t i = 0;
#ifdef TAVRIN_AVX2
  if (ntt_vectorised()) i = crt_digits_avx2(g, r1, r2, r3, n);
#endif
  for (; i < n; ++i) {
    const u32 v1 = g.digit1(r1[i]), v2 = g.digit2(r2[i], v1);
    r3[i] = g.digit3(r3[i], v1, v2);
    r1[i] = v1;
    r2[i] = v2;
  }
}

// r[0 .. nr) := the sum of the coefficients v1 + p1 v2 + p1 p2 v3, the i-th
// at bit i bits, and zero words above.
void add_in(word* r, std::int32_t nr, const u32* v1, const u32* v2, const u32* v3,
            std::int64_t count, int bits) {
  constexpr u64 p1 = prime1;
  constexpr u64 p12 = u64{prime1} * prime2;
  const word mask = (word{1} << bits) - 1;
  u128 carry = 0;    // the coefficients' sum above the bits written
  u128 pending = 0;  // bits written but not yet a whole word
  int held = 0;
  std::int32_t k = 0;
  auto put = [&](word v, int width) {
    pending |= static_cast<u128>(v) << held;
    held += width;
    if (held >= 64) {
      if (k < nr) r[k++] = static_cast<word>(pending);
      pending >>= 64;
      held -= 64;
    }
  };
  for (std::int64_t i = 0; i < count; ++i) {
    carry += v1[i] + static_cast<u128>(p1) * v2[i] + static_cast<u128>(p12) * v3[i];
    put(static_cast<word>(carry) & mask, bits);
    carry >>= bits;
  }
  while (carry != 0 && k < nr) {
    put(static_cast<word>(carry) & mask, bits);
    carry >>= bits;
  }
  if (held > 0 && k < nr) r[k++] = static_cast<word>(pending);
  std::fill(r + k, r + nr, word{0});
}

// Each thread its own: products may run inside pool tasks.
thread_local growable_buffer<u32> spectra;

}  // namespace

bool wmul_ntt_fits(std::int32_t na, std::int32_t nb) {
  const ntt_shape s = shape_of(na, nb, false);
  return s.lg != 0 && s.lg <= ntt_max_lg;
}

namespace {

// The cut of a product past the widest transform: pieces of `words` words,
// each piece's chunks filling at most half of a transform of length 2^lg,
// and the chunk width the largest for which a sum of `pairs` piece
// products keeps every coefficient below the primes' product.
struct piece_shape {
  int bits = 0;
  std::int32_t words = 0;
  std::int64_t chunks = 0;  // of a whole piece
  int lg = 0;
};

// The pieces' spectra kept between products: at most 240 MB.
constexpr std::size_t kept_values = 30 * (std::size_t{1} << 21);
thread_local growable_buffer<u32> piece_spectra;

piece_shape pieces_shape(std::int32_t na, std::int32_t nb, int lg) {
  const u128 primes_product = static_cast<u128>(prime1) * prime2 * prime3;
  const std::int64_t half = std::int64_t{1} << (lg - 1);
  for (int bits = 40; bits >= 16; --bits) {
    piece_shape s{bits, static_cast<std::int32_t>(half * bits / 64), 0, lg};
    s.chunks = chunk_count(s.words, bits);
    const std::int64_t pairs = (std::min(na, nb) + s.words - 1) / s.words;
    const u128 top = (static_cast<u128>(1) << bits) - 1;
    if (top * top * static_cast<u128>(s.chunks) * static_cast<u128>(pairs) < primes_product)
      return s;
  }
  return {};
}

// The transform length of least estimated cost: each piece transformed
// forward once and each diagonal backward once (lg levels a value), and a
// product of pieces a value for every pair (counted as one and a half
// levels; a 64-bit product and sum measure less, but longer transforms,
// with fewer pairs, keep the sums' working set small).
piece_shape cheapest_pieces(std::int32_t na, std::int32_t nb) {
  piece_shape best;
  double least = 0;
  for (int lg = ntt_max_lg; lg >= ntt_min_lg + 6; --lg) {
    const piece_shape s = pieces_shape(na, nb, lg);
    if (s.bits == 0) continue;
    const double pa = std::ceil(static_cast<double>(na) / s.words),
                 pb = std::ceil(static_cast<double>(nb) / s.words);
    const double cost = std::ldexp((2 * (pa + pb) - 1) * lg + 1.5 * pa * pb, lg);
    if (best.bits == 0 || cost < least) {
      best = s;
      least = cost;
    }
  }
  return best;
}

}  // namespace

namespace {

// The spectra of a product by pieces and the sums of its diagonals. Slot
// k holds 3 len values (prime k's at k len). b's pieces take the first
// pieces_b slots, a group of a's pieces the next; the diagonal sums of a
// group go to slots of their own, or, for the last group, over the
// operands' slots, each block of values written once all products of that
// block are summed.
struct PieceSums {
  std::int32_t pieces_a = 0, pieces_b = 0;
  std::int32_t group = 0;  // pieces of a a group
  std::size_t spectrum = 0;
  u32* slots = nullptr;
  std::unique_ptr<u32[]> own;

  u32* slot(std::int64_t k) const { return slots + static_cast<std::size_t>(k) * spectrum; }
};

// The pieces of a at most `group` at a time: as many as a has when that
// keeps the slots within twice those of the pieces of b, else as many as b.
// Every value is written before it is read. Up to kept_values values are
// kept between products (their pages faulted in once); more are the
// call's own, not zeroed, and given back at the end.
void hold_pieces(PieceSums& ps, bool square) {
  ps.group = square || ps.pieces_a <= 3 * ps.pieces_b ? ps.pieces_a : ps.pieces_b;
  const bool one_group = ps.group == ps.pieces_a;
  // square: a's spectra are b's, the sums take as many slots again.
  const std::size_t count = static_cast<std::size_t>(ps.pieces_b) +
                            (one_group ? static_cast<std::size_t>(ps.group)
                                       : static_cast<std::size_t>(ps.group + ps.pieces_b - 1));
  if (count * ps.spectrum <= kept_values) {
    ps.slots = piece_spectra.get(static_cast<std::int32_t>(count * ps.spectrum));
  } else {
    ps.own.reset(new u32[count * ps.spectrum]);
    ps.slots = ps.own.get();
  }
}

// Diagonal sums of a's pieces [i0, i0 + ga) (spectra at xa[i - i0]) by all
// of b's (spectra at ps.slot(j)), block by block: the products of one block
// are summed in 64 bits in a small array that stays in the cache, reduced
// once, then written to slot sums + d - i0 of diagonal d.
void sum_diagonals(const PieceSums& ps, const std::vector<u32*>& xa, std::int32_t ga,
                   std::int64_t sums, int lg, const std::vector<TransformPrime>& primes) {
  const std::int64_t len = std::int64_t{1} << lg;
  constexpr std::int64_t block = 256;
  const std::int32_t nb = ps.pieces_b;
  const std::int32_t diagonals = ga + nb - 1;
  ntt_tasks(3, lg, [&](std::size_t k) {
    std::vector<u64> acc(static_cast<std::size_t>(diagonals) * block);
    const TransformPrime& P = primes[k];
    for (std::int64_t o = static_cast<std::int64_t>(k) * len;
         o < static_cast<std::int64_t>(k + 1) * len; o += block) {
      std::fill(acc.begin(), acc.end(), u64{0});
      for (std::int32_t j = 0; j < nb; ++j) ntt_below_p(ps.slot(j) + o, block, P);
      for (std::int32_t i = 0; i < ga; ++i) {
        u32* x = xa[static_cast<std::size_t>(i)] + o;
        ntt_below_p(x, block, P);  // again for a square's, whose are b's: no matter
        for (std::int32_t j = 0; j < nb; ++j)
          ntt_mul_add_lazy(x, ps.slot(j) + o, acc.data() + static_cast<std::size_t>(i + j) * block,
                           block);
        // Each diagonal takes one product a row: a fold every eight rows.
        if (i % 8 == 7)
          for (std::int32_t d = i - 7; d < i + nb; ++d)
            ntt_fold_lazy(acc.data() + static_cast<std::size_t>(d) * block, block, P);
      }
      for (std::int32_t d = 0; d < diagonals; ++d)
        ntt_reduce_lazy(acc.data() + static_cast<std::size_t>(d) * block, ps.slot(sums + d) + o,
                        block, P);
    }
  });
}

}  // namespace

void wmul_ntt_pieces(word* r, const word* a, std::int32_t na, const word* b, std::int32_t nb) {
  const bool square = b == nullptr;
  if (square) {
    b = a;
    nb = na;
  }
  if (na < nb) {
    std::swap(a, b);
    std::swap(na, nb);
  }
  const piece_shape s = cheapest_pieces(na, nb);
  const int lg = s.lg;
  const std::int64_t len = std::int64_t{1} << lg;
  std::vector<TransformPrime>& primes = transform_primes();
  for (TransformPrime& P : primes) P.prepare(lg);
  const std::int32_t m = s.words;
  PieceSums ps;
  ps.pieces_a = (na + m - 1) / m;
  ps.pieces_b = (nb + m - 1) / m;
  ps.spectrum = static_cast<std::size_t>(3 * len);
  hold_pieces(ps, square);
  auto transform = [&](const word* w, std::int32_t n, std::int32_t i, u32* out) {
    const std::int32_t words = std::min(m, n - i * m);
    const ntt_shape sh{s.bits, 0, 0, lg};
    chunks_of(w + static_cast<std::int64_t>(i) * m, words, sh, chunk_count(words, s.bits), len, out,
              out + len, out + 2 * len);
    for (std::size_t k = 0; k < 3; ++k)
      ntt_forward(out + static_cast<std::int64_t>(k) * len, lg, primes[k]);
  };
  ntt_tasks(ps.pieces_b, lg, [&](std::size_t j) {
    transform(b, nb, static_cast<std::int32_t>(j), ps.slot(static_cast<std::int64_t>(j)));
  });
  std::fill(r, r + na + nb, word{0});
  const std::int32_t sum_words = 2 * m + 1;
  std::vector<word> t(static_cast<std::size_t>(sum_words));
  // Diagonal d's sum (slot k): back from the transforms and rebuilt (side
  // by side), then added into r in order. The sums of two groups that share
  // a diagonal are added in apart.
  const std::int64_t count = std::min<std::int64_t>(2 * s.chunks - 1, len);
  auto rebuild = [&](std::int64_t k) {
    u32* x = ps.slot(k);
    for (std::size_t q = 0; q < 3; ++q)
      ntt_backward(x + static_cast<std::int64_t>(q) * len, lg, primes[q]);
    crt_digits(TransformCrt(len), x, x + len, x + 2 * len, count);
  };
  auto finish = [&](std::int64_t k, std::int32_t d) {
    u32* x = ps.slot(k);
    const std::int64_t off = static_cast<std::int64_t>(d) * m;
    const auto room = static_cast<std::int32_t>(std::min<std::int64_t>(sum_words, na + nb - off));
    add_in(t.data(), room, x, x + len, x + 2 * len, count, s.bits);
    wadd(r + off, r + off, static_cast<std::int32_t>(na + nb - off), t.data(), room);
  };
  std::vector<u32*> xa(static_cast<std::size_t>(ps.group));
  for (std::int32_t i0 = 0; i0 < ps.pieces_a; i0 += ps.group) {
    const std::int32_t ga = std::min(ps.group, ps.pieces_a - i0);
    for (std::int32_t i = 0; i < ga; ++i)
      xa[static_cast<std::size_t>(i)] = ps.slot(square ? i : ps.pieces_b + i);
    if (!square)
      ntt_tasks(ga, lg, [&](std::size_t i) {
        const auto at = static_cast<std::int32_t>(i);
        transform(a, na, i0 + at, ps.slot(ps.pieces_b + at));
      });
    // The last group's sums may overwrite the operands' spectra.
    const std::int64_t sums = i0 + ga == ps.pieces_a ? 0 : ps.pieces_b;
    sum_diagonals(ps, xa, ga, sums, lg, primes);
    const std::int32_t diagonals = ga + ps.pieces_b - 1;
    ntt_tasks(diagonals, lg, [&](std::size_t d) { rebuild(sums + static_cast<std::int64_t>(d)); });
    for (std::int32_t d = 0; d < diagonals; ++d) finish(sums + d, i0 + d);
  }
}

namespace {

// r := a b by the split pair of lengths N = 2^s.lg and N/2 a prime.
void split_product(word* r, const word* a, std::int32_t na, const word* b, std::int32_t nb,
                   const ntt_shape& s) {
  const bool square = b == nullptr;
  const std::int64_t n = std::int64_t{1} << s.lg, m = n / 2, block = 4 * m;
  std::vector<TransformPrime>& ps = transform_primes();
  for (TransformPrime& P : ps) P.prepare(s.lg);
  // A prime's block of an operand: its chunks (3m values, the first 2m
  // folded in place) and the weighted fold (m values).
  u32* x = spectra.get(static_cast<std::int32_t>(6 * block));
  u32* y = x + 3 * block;
  chunks_of(a, na, s, s.chunks_a, 3 * m, x, x + block, x + 2 * block);
  if (!square) chunks_of(b, nb, s, s.chunks_b, 3 * m, y, y + block, y + 2 * block);
  ntt_tasks(3, s.lg, [&](std::size_t k) {
    u32* xk = x + static_cast<std::int64_t>(k) * block;
    u32* yk = square ? xk : y + static_cast<std::int64_t>(k) * block;
    auto transform = [&](u32* z) {
      ntt_split_fold(z, z + 3 * m, m, k);
      ntt_forward(z, s.lg, ps[k]);
      ntt_forward(z + 3 * m, s.lg - 1, ps[k]);
    };
    transform(xk);
    if (!square) transform(yk);
    ntt_pointwise(xk, yk, nullptr, nullptr, xk, static_cast<std::size_t>(n), ps[k]);
    ntt_pointwise(xk + 3 * m, yk + 3 * m, nullptr, nullptr, xk + 3 * m, static_cast<std::size_t>(m),
                  ps[k]);
    ntt_backward(xk, s.lg, ps[k]);
    ntt_backward(xk + 3 * m, s.lg - 1, ps[k]);
    ntt_split_recombine(xk, xk + 3 * m, m, k);
  });
  const std::int64_t count = s.chunks_a + s.chunks_b - 1;
  crt_digits(TransformCrt(n), x, x + block, x + 2 * block, count);
  add_in(r, na + nb, x, x + block, x + 2 * block, count, s.bits);
}

// r := a b by one transform of length N = 2^s.lg a prime, or for s.twin by
// the twin pair of that length: a prime's block of an operand then holds
// its chunks (2N values), folded in place to the two halves the transforms
// take.
void whole_product(word* r, const word* a, std::int32_t na, const word* b, std::int32_t nb,
                   const ntt_shape& s) {
  const bool square = b == nullptr;
  const std::int64_t n = std::int64_t{1} << s.lg, block = s.twin ? 2 * n : n;
  std::vector<TransformPrime>& ps = transform_primes();
  for (TransformPrime& P : ps) P.prepare(s.lg);
  u32* x = spectra.get(static_cast<std::int32_t>(6 * block));
  u32* y = x + 3 * block;
  chunks_of(a, na, s, s.chunks_a, block, x, x + block, x + 2 * block);
  if (!square) chunks_of(b, nb, s, s.chunks_b, block, y, y + block, y + 2 * block);
  ntt_tasks(3, s.lg, [&](std::size_t k) {
    u32* xk = x + static_cast<std::int64_t>(k) * block;
    u32* yk = square ? xk : y + static_cast<std::int64_t>(k) * block;
    auto transform = [&](u32* z) {
      if (s.twin) ntt_twin_fold(z, n, k);
      ntt_forward(z, s.lg, ps[k]);
      if (s.twin) ntt_forward(z + n, s.lg, ps[k]);
    };
    transform(xk);
    if (!square) transform(yk);
    ntt_pointwise(xk, yk, nullptr, nullptr, xk, static_cast<std::size_t>(block), ps[k]);
    ntt_backward(xk, s.lg, ps[k]);
    if (s.twin) {
      ntt_backward(xk + n, s.lg, ps[k]);
      ntt_twin_recombine(xk, n, k);
    }
  });
  const std::int64_t count = s.chunks_a + s.chunks_b - 1;
  crt_digits(TransformCrt(n), x, x + block, x + 2 * block, count);
  add_in(r, na + nb, x, x + block, x + 2 * block, count, s.bits);
}

}  // namespace

void wmul_ntt(word* r, const word* a, std::int32_t na, const word* b, std::int32_t nb) {
  if (b == nullptr) nb = na;
  const ntt_shape s = shape_of(na, nb, b == nullptr);
  if (s.split) {
    split_product(r, a, na, b, nb, s);
  } else {
    whole_product(r, a, na, b, nb, s);
  }
}

void wmul_ntt_whole(word* r, const word* a, std::int32_t na, const word* b, std::int32_t nb) {
  if (b == nullptr) nb = na;
  whole_product(r, a, na, b, nb, whole_shape_of(na, nb, ntt_max_lg));
}

bool wmul_ntt_twins(std::int32_t na, std::int32_t nb) { return shape_of(na, nb, false).twin; }

void wmul_ntt_twin(word* r, const word* a, std::int32_t na, const word* b, std::int32_t nb) {
  if (b == nullptr) nb = na;
  ntt_shape s = whole_shape_of(na, nb, ntt_max_lg + 1);
  s.lg = std::max(s.lg - 1, ntt_min_lg);
  s.twin = true;
  whole_product(r, a, na, b, nb, s);
}

bool wmul_ntt_splits(std::int32_t na, std::int32_t nb) {
  const ntt_shape s = whole_shape_of(na, nb, ntt_max_lg + 1);
  return s.lg != 0 && splittable(s);
}

void wmul_ntt_split(word* r, const word* a, std::int32_t na, const word* b, std::int32_t nb) {
  if (b == nullptr) nb = na;
  ntt_shape s = whole_shape_of(na, nb, ntt_max_lg + 1);
  --s.lg;
  s.split = true;
  split_product(r, a, na, b, nb, s);
}

namespace {

// The chunk width of a product modulo 2^(bits 2^lg) - 1 of at least `least`
// words: the widest whose cyclic coefficients (at most 2^lg terms each)
// stay below the primes' product; bits 0 when none fits.
ntt_shape wrap_shape_of(std::int32_t least) {
  const u128 primes_product = static_cast<u128>(prime1) * prime2 * prime3;
  for (int bits = 40; bits >= 16; --bits) {
    ntt_shape s{bits, 0, 0, ntt_min_lg};
    while ((std::int64_t{1} << s.lg) < chunk_count(least, bits)) ++s.lg;
    if (s.lg > ntt_max_lg) return {};
    const u128 top = (static_cast<u128>(1) << bits) - 1;
    if (top * top * static_cast<u128>(std::int64_t{1} << s.lg) >= primes_product) continue;
    s.chunks_a = s.chunks_b = std::int64_t{1} << s.lg;
    return s;
  }
  return {};
}

}  // namespace

std::int32_t wmul_wrap_words(std::int32_t least) {
  const ntt_shape s = wrap_shape_of(least);
  return s.bits == 0 ? 0
                     : static_cast<std::int32_t>((static_cast<std::int64_t>(s.bits) << s.lg) / 64);
}

void wmul_ntt_wrap(word* r, std::int32_t nr, const word* a, std::int32_t na, const word* b,
                   std::int32_t nb) {
  const ntt_shape s = wrap_shape_of(nr);
  const std::int64_t len = std::int64_t{1} << s.lg;
  std::vector<TransformPrime>& ps = transform_primes();
  for (TransformPrime& P : ps) P.prepare(s.lg);
  u32* x = spectra.get(static_cast<std::int32_t>(6 * len));
  u32* y = x + 3 * len;
  chunks_of(a, na, s, chunk_count(na, s.bits), len, x, x + len, x + 2 * len);
  chunks_of(b, nb, s, chunk_count(nb, s.bits), len, y, y + len, y + 2 * len);
  ntt_tasks(3, s.lg, [&](std::size_t k) {
    u32* xk = x + static_cast<std::int64_t>(k) * len;
    u32* yk = y + static_cast<std::int64_t>(k) * len;
    ntt_forward(xk, s.lg, ps[k]);
    ntt_forward(yk, s.lg, ps[k]);
    ntt_pointwise(xk, yk, nullptr, nullptr, xk, static_cast<std::size_t>(len), ps[k]);
    ntt_backward(xk, s.lg, ps[k]);
  });
  crt_digits(TransformCrt(len), x, x + len, x + 2 * len, len);
  // The coefficients' sum runs at most three words past 2^K; its high
  // words fold onto the low ones since 2^K = 1 modulo 2^K - 1.
  std::vector<word> t(static_cast<std::size_t>(nr) + 3);
  add_in(t.data(), nr + 3, x, x + len, x + 2 * len, len, s.bits);
  word carry = wadd(t.data(), t.data(), nr, t.data() + nr, 3);
  while (carry != 0) carry = wadd_1(t.data(), t.data(), nr, carry);
  std::copy(t.begin(), t.begin() + nr, r);
}

}  // namespace tavrin::kit
