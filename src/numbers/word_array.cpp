// Kernels on word arrays (word_array.h): repacking, sums, one-word
// products, rows and Karatsuba products, long and recursive division.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>

#include "core/thresholds.h"
#include "numbers/word_array.h"

#if defined(__x86_64__)
#include <x86intrin.h>
#endif

namespace tavrin::kit {

// ---- Between digits and words ------------------------------------------------

std::int32_t words_of_digits(word* w, const digit* a, std::int32_t n) {
  const std::int32_t total = words_for_digits(n);
  word cur = 0;
  int bits = 0;
  std::int32_t k = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    const word d = a[i];
    cur |= d << bits;
    if (bits + 28 >= 64) {
      w[k++] = cur;
      cur = d >> (64 - bits);
      bits = bits + 28 - 64;
    } else {
      bits += 28;
    }
  }
  if (bits > 0) w[k++] = cur;
  while (k < total) w[k++] = 0;
  return wnormalised(w, std::max<std::int32_t>(total, 1));
}

std::int32_t digits_of_words(digit* a, const word* w, std::int32_t n) {
  const std::int32_t total = digits_for_words(n);
  dword acc = 0;
  int bits = 0;
  std::int32_t k = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    acc |= static_cast<dword>(w[i]) << bits;
    bits += 64;
    while (bits >= 28) {
      a[k++] = static_cast<digit>(acc & digit_mask);
      acc >>= 28;
      bits -= 28;
    }
  }
  if (bits > 0) a[k++] = static_cast<digit>(acc & digit_mask);
  while (k < total) a[k++] = 0;
  return normalised_length(a, std::max<std::int32_t>(total, 1));
}

// A pair of limbs is a 56-bit digit, seven bytes of the word array: digit
// k lies at byte 7k, limb j at bit 28j, that is at bit 4 (j mod 2) of byte
// floor(7j / 2). On little-endian hosts both conversions move these pieces
// with unaligned loads and stores; elsewhere bit by bit.

namespace {

constexpr bool bytes_in_order = std::endian::native == std::endian::little;

inline void store_bytes(word* w, std::int64_t at, word v, std::size_t bytes) {
  std::memcpy(reinterpret_cast<unsigned char*>(w) + at, &v, bytes);
}

// Limb j of w[0 .. n), for any j whose lowest bit lies in w.
inline std::int32_t limb_from_words(const word* w, std::int32_t n, std::int64_t j) {
  const std::int64_t bit = 28 * j;
  const auto k = static_cast<std::int32_t>(bit >> 6);
  const int off = static_cast<int>(bit & 63);
  word v = w[k] >> off;
  if (off > 36 && k + 1 < n) v |= w[k + 1] << (64 - off);
  return static_cast<std::int32_t>(v & digit_mask);
}

}  // namespace

std::int32_t words_of_limbs(word* w, numptr head, std::int32_t count) {
  const std::int32_t total = std::max<std::int32_t>(words_for_digits(count), 1);
  if (count <= 0 || head == nullptr) {
    w[0] = 0;
    return 1;
  }
  numptr p = head;
  const std::intptr_t step = limb_step(p);
  if constexpr (!bytes_in_order) {
    std::fill(w, w + total, word{0});
    for (std::int64_t j = count - 1; j >= 0; --j, p = p->next) {
      const auto v = static_cast<word>(p->value < 0 ? -p->value : p->value);
      const std::int64_t bit = 28 * j;
      const int off = static_cast<int>(bit & 63);
      w[bit >> 6] |= v << off;
      if (off > 36) w[(bit >> 6) + 1] |= v >> (64 - off);
    }
    return wnormalised(w, total);
  }
  // Pairs of limbs from the top, each the magnitude of the pair's signed
  // sum (both limbs carry the number's sign or are 0). Digit k >= 1 is
  // stored as its value times 2^8 at byte 7k - 1, whose byte belongs to
  // digit k - 1 and is written with it afterwards; digit 0 and the lowest
  // byte of digit 1 make word 0. An odd count's top limb takes four bytes:
  // no store goes past the array.
  auto mag = [](std::int64_t v) { return static_cast<word>(v < 0 ? -v : v); };
  auto next_pair = [&] {
    const std::int64_t hi = p->value;
    p = limb_after(p, step);
    const word d = mag(hi * limb_base + p->value);
    p = limb_after(p, step);  // may step past the last limb, never reads it
    return d;
  };
  const std::int32_t nd = (count + 1) / 2;
  w[total - 1] = 0;
  std::int32_t k = nd - 1;
  word top;
  if (count % 2 == 1) {
    top = mag(p->value);
    p = limb_after(p, step);
    if (k > 0) store_bytes(w, 7 * std::int64_t{k}, top, 4);
  } else {
    top = next_pair();
    if (k > 0) store_bytes(w, 7 * std::int64_t{k} - 1, top << 8, 8);
  }
  if (k == 0) {
    w[0] = top;
    return 1;
  }
  word above = top;  // digit k + 1
  for (--k; k > 0; --k) {
    above = next_pair();
    store_bytes(w, 7 * std::int64_t{k} - 1, above << 8, 8);
  }
  w[0] = next_pair() | above << 56;
  if (top == 0) return wnormalised(w, total);  // leading zero limbs
  const std::int64_t bits = 56 * std::int64_t{nd - 1} + 64 - __builtin_clzll(top);
  return static_cast<std::int32_t>((bits + 63) / 64);
}

limb_list limbs_of_words(const word* w, std::int32_t n, std::int32_t sign) {
  n = wnormalised(w, n);
  const word top = w[n - 1];
  const std::int64_t bits = top == 0 ? 1 : 64 * std::int64_t{n - 1} + 64 - __builtin_clzll(top);
  const auto nd = limb_count(static_cast<std::int32_t>((bits + 27) / 28));
  count_built_limbs(nd);
  // Limbs from the top (limb j next), written into the free list's records
  // in one walk. Pairs of limbs whose digit's eight bytes lie inside the
  // array (digits up to `loaded`) come from one load; a lone top limb and
  // the top pair or so from the words.
  const std::int32_t negate = sign < 0 ? -1 : 0;
  auto signed_value = [negate](word v) { return (static_cast<std::int32_t>(v) ^ negate) - negate; };
  const std::int64_t loaded = bytes_in_order ? (8 * std::int64_t{n} - 8) / 7 : -1;
  const auto* bytes = reinterpret_cast<const unsigned char*>(w);
  std::int64_t j = nd - 1;
  limb_writer out;
  while (out.more() && j >= 0 && (j % 2 == 0 || (j >> 1) > loaded)) {
    out.put(signed_value(static_cast<word>(limb_from_words(w, n, j))));
    --j;
  }
  while (out.more() && j >= 1) {
    word d;
    std::memcpy(&d, bytes + 7 * (j >> 1), 8);
    out.put(signed_value((d >> 28) & digit_mask));
    --j;
    if (!out.more()) break;
    out.put(signed_value(d & digit_mask));
    --j;
  }
  limb_list r;
  r.size = nd;
  numptr last = nullptr;
  numptr head = out.finish(&last);
  // The free list ran out: the rest from the pool.
  auto rest = [&](std::int32_t k) {
    return signed_value(static_cast<word>(limb_from_words(w, n, nd - 1 - k)));
  };
  r.head = detail::append_limbs(static_cast<std::int32_t>(nd - 1 - j), nd, rest, head, last,
                                &r.tail, [] { return new_limb(); });
  return r;
}

// ---- Sums, differences, one-word products ---------------------------------------

int wcmp(const word* a, const word* b, std::int32_t n) {
  for (std::int32_t i = n - 1; i >= 0; --i)
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  return 0;
}

int wcmp_norm(const word* a, std::int32_t na, const word* b, std::int32_t nb) {
  if (na != nb) return na < nb ? -1 : 1;
  return wcmp(a, b, na);
}

namespace {

// One place of a carry chain: add_place *r := a + b + c, sub_place
// *r := a - b - c; each returns the carry (borrow) out, 0 or 1.
inline unsigned char add_place(unsigned char c, word a, word b, word* r) {
#if defined(__x86_64__)
  static_assert(sizeof(unsigned long long) == sizeof(word));
  return _addcarry_u64(c, a, b, reinterpret_cast<unsigned long long*>(r));
#else
  const word s = a + c;
  const word t = s + b;
  *r = t;
  return static_cast<unsigned char>((s < c) + (t < s));
#endif
}

inline unsigned char sub_place(unsigned char c, word a, word b, word* r) {
#if defined(__x86_64__)
  return _subborrow_u64(c, a, b, reinterpret_cast<unsigned long long*>(r));
#else
  const word y = b + c;
  *r = a - y;
  return static_cast<unsigned char>((y < c) | (a < y));
#endif
}

// r[0 .. n) := a[0 .. n) op b[0 .. n) along one carry chain, place(c, a[i],
// b[i], r + i) at each place; returns the carry out of the top.
template <unsigned char (*place)(unsigned char, word, word, word*)>
word carry_chain(word* r, const word* a, const word* b, std::int32_t n) {
  unsigned char c = 0;
  for (std::int32_t i = 0; i < n; ++i) c = place(c, a[i], b[i], r + i);
  return c;
}

#if defined(__x86_64__) && defined(__GNUC__)
// The same with OP adc or sbb, four places a pass: the places below a
// multiple of four by the loop above, then one carry flag along the rest
// (lea and jrcxz leave it alone), where the compiled loop would move it
// through a register at every place.
// clang-format off
#define TAVRIN_CHAIN_PLACE(OP, OFF, T)    \
  "mov " OFF "(%[a]), %[" T "]\n\t"       \
  OP " " OFF "(%[b]), %[" T "]\n\t"       \
  "mov %[" T "], " OFF "(%[r])\n\t"
#define TAVRIN_CHAIN_LOOP(OP)                                                                            \
  __asm__("neg %[c]\n\t"                                                                                 \
          "1:\n\t" TAVRIN_CHAIN_PLACE(OP, "0", "t0") TAVRIN_CHAIN_PLACE(OP, "8", "t1")                    \
              TAVRIN_CHAIN_PLACE(OP, "16", "t0") TAVRIN_CHAIN_PLACE(OP, "24", "t1")                        \
          "lea 32(%[a]), %[a]\n\t"                                                                       \
          "lea 32(%[b]), %[b]\n\t"                                                                       \
          "lea 32(%[r]), %[r]\n\t"                                                                       \
          "lea -1(%[n]), %[n]\n\t"                                                                       \
          "jrcxz 2f\n\t"                                                                                 \
          "jmp 1b\n\t"                                                                                   \
          "2:\n\t"                                                                                       \
          "mov $0, %k[c]\n\t"                                                                            \
          "adc $0, %k[c]\n\t"                                                                            \
          : [t0] "=&r"(t0), [t1] "=&r"(t1), [c] "+&r"(c), [a] "+&r"(a), [b] "+&r"(b), [r] "+&r"(r),        \
            [n] "+&c"(blocks)                                                                            \
          :                                                                                              \
          : "cc", "memory")
// clang-format on

template <bool subtract>
word chain_by_blocks(word* r, const word* a, const word* b, std::int32_t n) {
  const std::int32_t low = n % 4;
  word c = subtract ? carry_chain<sub_place>(r, a, b, low) : carry_chain<add_place>(r, a, b, low);
  std::intptr_t blocks = n / 4;
  if (blocks == 0) return c;
  a += low;
  b += low;
  r += low;
  word t0, t1;
  if constexpr (subtract) {
    TAVRIN_CHAIN_LOOP("sbb");
  } else {
    TAVRIN_CHAIN_LOOP("adc");
  }
  return c;
}

#undef TAVRIN_CHAIN_LOOP
#undef TAVRIN_CHAIN_PLACE

word add_chain(word* r, const word* a, const word* b, std::int32_t n) {
  return chain_by_blocks<false>(r, a, b, n);
}
word sub_chain(word* r, const word* a, const word* b, std::int32_t n) {
  return chain_by_blocks<true>(r, a, b, n);
}
#else
word add_chain(word* r, const word* a, const word* b, std::int32_t n) {
  return carry_chain<add_place>(r, a, b, n);
}
word sub_chain(word* r, const word* a, const word* b, std::int32_t n) {
  return carry_chain<sub_place>(r, a, b, n);
}
#endif

}  // namespace

word wadd_n(word* r, const word* a, const word* b, std::int32_t n) { return add_chain(r, a, b, n); }

word wsub_n(word* r, const word* a, const word* b, std::int32_t n) { return sub_chain(r, a, b, n); }

word wadd_1(word* r, const word* a, std::int32_t n, word b) {
  for (std::int32_t i = 0; i < n; ++i) {
    const word s = a[i] + b;
    b = s < b;
    r[i] = s;
    if (b == 0 && r != a) {
      std::copy(a + i + 1, a + n, r + i + 1);
      return 0;
    }
    if (b == 0) return 0;
  }
  return b;
}

word wsub_1(word* r, const word* a, std::int32_t n, word b) {
  for (std::int32_t i = 0; i < n; ++i) {
    const word x = a[i];
    r[i] = x - b;
    b = x < b;
    if (b == 0) {
      if (r != a) std::copy(a + i + 1, a + n, r + i + 1);
      return 0;
    }
  }
  return b;
}

word wadd(word* r, const word* a, std::int32_t na, const word* b, std::int32_t nb) {
  const word c = wadd_n(r, a, b, nb);
  return wadd_1(r + nb, a + nb, na - nb, c);
}

word wsub(word* r, const word* a, std::int32_t na, const word* b, std::int32_t nb) {
  const word c = wsub_n(r, a, b, nb);
  return wsub_1(r + nb, a + nb, na - nb, c);
}

word wshl(word* r, const word* a, std::int32_t n, int s) {
  if (s == 0) {
    if (r != a) std::copy(a, a + n, r);
    return 0;
  }
  const word out = a[n - 1] >> (64 - s);
  for (std::int32_t i = n - 1; i > 0; --i) r[i] = (a[i] << s) | (a[i - 1] >> (64 - s));
  r[0] = a[0] << s;
  return out;
}

word wshr(word* r, const word* a, std::int32_t n, int s) {
  if (s == 0) {
    if (r != a) std::copy(a, a + n, r);
    return 0;
  }
  const word out = a[0] << (64 - s);
  for (std::int32_t i = 0; i + 1 < n; ++i) r[i] = (a[i] >> s) | (a[i + 1] << (64 - s));
  r[n - 1] = a[n - 1] >> s;
  return out;
}

// ---- Products ---------------------------------------------------------------------

namespace {

void mul_rec(word* r, const word* a, std::int32_t na, const word* b, std::int32_t nb, word* s);
void sqr_rec(word* r, const word* a, std::int32_t n, word* s);

// ---- Toom-3 -------------------------------------------------------------------------
// a = a0 + a1 x + a2 x^2 and b alike (x = B^k) give the product's five
// coefficients from the products of their values at 0, 1, -1, -2 and
// infinity: five products of a third of the length instead of nine. The
// interpolation runs in two's complement on w = 2k + 3 words (every
// intermediate value is below B^(2k+2) in magnitude), dividing exactly by
// 2 and 3 (Bodrato's sequence).

// r := r / 3 on w words of two's complement, the division exact.
void divexact3(word* r, std::int32_t w) {
  constexpr word inverse3 = 0xAAAAAAAAAAAAAAABull;  // 3 * inverse3 = 1 mod 2^64
  word c = 0;
  for (std::int32_t i = 0; i < w; ++i) {
    const word x = r[i];
    const word l = x - c;
    c = l > x ? 1 : 0;
    const word q = l * inverse3;
    r[i] = q;
    c += static_cast<word>((static_cast<dword>(q) * 3) >> 64);
  }
}

// r := r / 2 on w words of two's complement, the division exact.
void halve(word* r, std::int32_t w) {
  for (std::int32_t i = 0; i + 1 < w; ++i) r[i] = (r[i] >> 1) | (r[i + 1] << 63);
  r[w - 1] = static_cast<word>(static_cast<std::int64_t>(r[w - 1]) >> 1);
}

void negate(word* r, std::int32_t w) {
  word c = 1;
  for (std::int32_t i = 0; i < w; ++i) {
    const word x = ~r[i] + c;
    c = (c != 0 && x == 0) ? 1 : 0;
    r[i] = x;
  }
}

// d := |x - y| for x, y of n words; whether x < y.
bool difference(word* d, const word* x, const word* y, std::int32_t n) {
  if (wcmp(x, y, n) >= 0) {
    wsub_n(d, x, y, n);
    return false;
  }
  wsub_n(d, y, x, n);
  return true;
}

// The values of a0 + a1 x + a2 x^2 (k, k and n2 <= k words) at 1, -1 and
// -2 in k + 1 words each (magnitudes; *neg1, *neg2 the signs at -1, -2).
// t: scratch of 3 (k + 1) words.
void points3(const word* a, std::int32_t k, std::int32_t n2, word* v1, word* vm1, bool* neg1,
             word* vm2, bool* neg2, word* t) {
  word* u = t + k + 1;
  word* w = u + k + 1;
  t[k] = wadd(t, a, k, a + 2 * k, n2);  // a0 + a2
  v1[k] = t[k] + wadd_n(v1, t, a + k, k);
  std::copy(a + k, a + 2 * k, u);
  u[k] = 0;
  *neg1 = difference(vm1, t, u, k + 1);
  std::fill(w, w + k + 1, word{0});
  w[n2] = wshl(w, a + 2 * k, n2, 2);  // 4 a2
  w[k] += wadd_n(w, w, a, k);         // + a0
  u[k] = wshl(u, a + k, k, 1);        // 2 a1
  *neg2 = difference(vm2, w, u, k + 1);
}

// out[0 .. w) := x y (x, y of k + 1 words, squared when y is null) in two's
// complement, negated when `negative`.
void point_product(word* out, std::int32_t w, const word* x, const word* y, std::int32_t k1,
                   bool negative, word* s) {
  const std::int32_t nx = wnormalised(x, k1);
  if (y == nullptr) {
    sqr_rec(out, x, nx, s);
    std::fill(out + 2 * nx, out + w, word{0});
  } else {
    const std::int32_t ny = wnormalised(y, k1);
    mul_rec(out, x, nx, y, ny, s);
    std::fill(out + nx + ny, out + w, word{0});
  }
  if (negative) negate(out, w);
}

// r[o .. total) += v[0 .. w), v's words past the end being zero.
void add_at(word* r, std::int32_t total, std::int32_t o, const word* v, std::int32_t w) {
  const std::int32_t len = std::min(w, total - o);
  const word c = wadd_n(r + o, r + o, v, len);
  if (o + len < total) wadd_1(r + o + len, r + o + len, total - o - len, c);
}

// r[0 .. na+nb) := a b (b null: a^2, nb = na) by Toom-3, for nb > 2k with
// k = ceil(na / 3), na >= nb. s: scratch of 19 k + 24 words and what the
// products below need.
void toom3(word* r, const word* a, std::int32_t na, const word* b, std::int32_t nb, word* s) {
  const bool square = b == nullptr;
  const std::int32_t k = (na + 2) / 3;
  const std::int32_t k1 = k + 1;
  const std::int32_t w = 2 * k + 3;
  const std::int32_t a2 = na - 2 * k;
  const std::int32_t b2 = nb - 2 * k;
  word* pa1 = s;
  word* pam1 = pa1 + k1;
  word* pam2 = pam1 + k1;
  word* pb1 = pam2 + k1;
  word* pbm1 = pb1 + k1;
  word* pbm2 = pbm1 + k1;
  word* t = pbm2 + k1;
  word* r1 = t + 3 * k1;
  word* rm1 = r1 + w;
  word* rm2 = rm1 + w;
  word* r0 = rm2 + w;
  word* rinf = r0 + w;
  word* next = rinf + w;
  bool na1 = false, na2 = false, nb1 = false, nb2 = false;
  points3(a, k, a2, pa1, pam1, &na1, pam2, &na2, t);
  if (!square) points3(b, k, b2, pb1, pbm1, &nb1, pbm2, &nb2, t);
  point_product(r1, w, pa1, square ? nullptr : pb1, k1, false, next);
  point_product(rm1, w, pam1, square ? nullptr : pbm1, k1, !square && na1 != nb1, next);
  point_product(rm2, w, pam2, square ? nullptr : pbm2, k1, !square && na2 != nb2, next);
  if (square) {
    sqr_rec(r, a, k, next);
    sqr_rec(r + 4 * k, a + 2 * k, a2, next);
  } else {
    mul_rec(r, a, k, b, k, next);
    mul_rec(r + 4 * k, a + 2 * k, a2, b + 2 * k, b2, next);
  }
  std::copy(r, r + 2 * k, r0);
  std::fill(r0 + 2 * k, r0 + w, word{0});
  std::copy(r + 4 * k, r + 4 * k + a2 + b2, rinf);
  std::fill(rinf + a2 + b2, rinf + w, word{0});
  // r3 = (r(-2) - r(1)) / 3, r1 = (r(1) - r(-1)) / 2, r2 = r(-1) - r(0),
  // r3 = (r2 - r3) / 2 + 2 r(inf), r2 = r2 + r1 - r(inf), r1 = r1 - r3.
  wsub_n(rm2, rm2, r1, w);
  divexact3(rm2, w);
  wsub_n(r1, r1, rm1, w);
  halve(r1, w);
  wsub_n(rm1, rm1, r0, w);
  wsub_n(rm2, rm1, rm2, w);
  halve(rm2, w);
  wadd_n(rm2, rm2, rinf, w);
  wadd_n(rm2, rm2, rinf, w);
  wadd_n(rm1, rm1, r1, w);
  wsub_n(rm1, rm1, rinf, w);
  wsub_n(r1, r1, rm2, w);
  const std::int32_t total = na + nb;
  std::fill(r + 2 * k, r + 4 * k, word{0});
  add_at(r, total, k, r1, w);
  add_at(r, total, 2 * k, rm1, w);
  add_at(r, total, 3 * k, rm2, w);
}

// Whether Toom-3 takes na x nb (na >= nb, na < 2 nb): long enough, and b
// reaching its third piece.
bool toom3_applies(std::int32_t na, std::int32_t nb) {
  return nb >= std::max<std::int32_t>(wide_toom3_words, 3) && nb > 2 * ((na + 2) / 3);
}

// r[0 .. na+nb) := a * b (a^2 when b is nil, nb = na) without a recursion:
// by rows below the Karatsuba threshold, or by transforms (one, or pieces
// transformed once each) from the transform threshold; false, r untouched,
// in between.
bool mul_directly(word* r, const word* a, std::int32_t na, const word* b, std::int32_t nb) {
  const std::int32_t shorter = std::min(na, nb);
  if (shorter < std::max<std::int32_t>(wide_karatsuba_words, 2)) {
    if (b == nullptr) {
      wsqr_rows(r, a, na);
    } else {
      wmul_rows(r, a, na, b, nb);
    }
    return true;
  }
  if (shorter >= wide_ntt_words) {
    if (wmul_ntt_fits(na, nb)) {
      wmul_ntt(r, a, na, b, nb);
    } else {
      wmul_ntt_pieces(r, a, na, b, nb);
    }
    return true;
  }
  return false;
}

// r[0 .. na+nb) := a * b; s: scratch of 12 (na + nb) + 1024 words.
void mul_rec(word* r, const word* a, std::int32_t na, const word* b, std::int32_t nb, word* s) {
  if (na < nb) {
    std::swap(a, b);
    std::swap(na, nb);
  }
  // A product too long for one transform splits until its pieces fit one.
  if (mul_directly(r, a, na, b, nb)) return;
  if (na >= 2 * nb) {  // balanced pieces of nb words
    mul_rec(r, a, nb, b, nb, s);
    word* t = s;
    for (std::int32_t off = nb; off < na; off += nb) {
      const std::int32_t len = std::min(nb, na - off);
      mul_rec(t, a + off, len, b, nb, s + 2 * nb);
      const word c = wadd_n(r + off, r + off, t, nb);
      std::copy(t + nb, t + nb + len, r + off + nb);
      wadd_1(r + off + nb, r + off + nb, len, c);
    }
    return;
  }
  if (toom3_applies(na, nb)) {
    toom3(r, a, na, b, nb, s);
    return;
  }
  const std::int32_t h = (na + 1) / 2;
  if (nb <= h) {  // only a splits: a0 b + a1 b B^h
    mul_rec(r, a, h, b, nb, s);
    word* t = s;
    mul_rec(t, a + h, na - h, b, nb, s + (na - h) + nb);
    const word c = wadd_n(r + h, r + h, t, nb);
    std::copy(t + nb, t + nb + (na - h), r + h + nb);
    wadd_1(r + h + nb, r + h + nb, na - h, c);
    return;
  }
  // a = a1 B^h + a0, b = b1 B^h + b0: z0 = a0 b0, z2 = a1 b1,
  // z1 = (a0 + a1)(b0 + b1) - z0 - z2, added in at B^h.
  word* s1 = s;
  word* s2 = s1 + h + 1;
  word* t = s2 + h + 1;
  word* next = t + 2 * h + 2;
  s1[h] = wadd(s1, a, h, a + h, na - h);
  s2[h] = wadd(s2, b, h, b + h, nb - h);
  const std::int32_t n1 = s1[h] != 0 ? h + 1 : h;
  const std::int32_t n2 = s2[h] != 0 ? h + 1 : h;
  mul_rec(r, a, h, b, h, next);
  mul_rec(r + 2 * h, a + h, na - h, b + h, nb - h, next);
  mul_rec(t, s1, n1, s2, n2, next);
  std::fill(t + n1 + n2, t + 2 * h + 2, word{0});
  wsub(t, t, 2 * h + 2, r, 2 * h);
  wsub(t, t, 2 * h + 2, r + 2 * h, na + nb - 2 * h);
  const std::int32_t above = na + nb - h;
  wadd(r + h, r + h, above, t, std::min(2 * h + 2, above));
}

// r[0 .. 2n) := a^2; s: scratch of 12 n + 1024 words. Karatsuba's
// recursion for squares: a = a1 B^h + a0 gives a0^2, a1^2 and
// (a0 + a1)^2 - a0^2 - a1^2 = 2 a0 a1, three squares of half the length.
void sqr_rec(word* r, const word* a, std::int32_t n, word* s) {
  if (mul_directly(r, a, n, nullptr, n)) return;
  if (toom3_applies(n, n)) {
    toom3(r, a, n, nullptr, n, s);
    return;
  }
  const std::int32_t h = (n + 1) / 2;
  word* s1 = s;
  word* t = s1 + h + 1;
  word* next = t + 2 * h + 2;
  s1[h] = wadd(s1, a, h, a + h, n - h);
  const std::int32_t n1 = s1[h] != 0 ? h + 1 : h;
  sqr_rec(r, a, h, next);
  sqr_rec(r + 2 * h, a + h, n - h, next);
  sqr_rec(t, s1, n1, next);
  std::fill(t + 2 * n1, t + 2 * h + 2, word{0});
  wsub(t, t, 2 * h + 2, r, 2 * h);
  wsub(t, t, 2 * h + 2, r + 2 * h, 2 * (n - h));
  const std::int32_t above = 2 * n - h;
  wadd(r + h, r + h, above, t, std::min(2 * h + 2, above));
}

word_buffer product_scratch;

}  // namespace

void wsqr(word* r, const word* a, std::int32_t n) {
  if (mul_directly(r, a, n, nullptr, n)) return;
  sqr_rec(r, a, n, product_scratch.get(12 * n + 1024));
}

void wmul(word* r, const word* a, std::int32_t na, const word* b, std::int32_t nb) {
  if (mul_directly(r, a, na, b, nb)) return;
  // A Karatsuba level takes at most four times its half length, a Toom-3
  // level 19 times its third, the pieces of an unbalanced product twice
  // the shorter length: 12 (na + nb) covers every depth. Below the
  // transforms that stays a modest buffer.
  mul_rec(r, a, na, b, nb, product_scratch.get(12 * (na + nb) + 1024));
}

// ---- Division ------------------------------------------------------------------------

namespace {

// The reciprocal of the normalised two-word divisor (d1, d0):
// floor((B^3 - 1) / (d1 B + d0)) - B (Moller and Granlund, "Improved
// division by invariant integers", 2011, algorithm 6).
word reciprocal_3by2(word d1, word d0) {
  word unused = 0;
  word v = wdiv_2by1(~d1, ~word{0}, d1, &unused);  // floor((B^2 - 1) / d1) - B
  word p = d1 * v + d0;
  if (p < d0) {
    --v;
    if (p >= d1) {
      --v;
      p -= d1;
    }
    p -= d1;
  }
  const dword t = static_cast<dword>(v) * d0;
  const auto t1 = static_cast<word>(t >> 64), t0 = static_cast<word>(t);
  p += t1;
  if (p < t1) {
    --v;
    if (p > d1 || (p == d1 && t0 >= d0)) --v;
  }
  return v;
}

// (u2, u1, u0) div (d1, d0) for (u2, u1) < (d1, d0), with v the
// reciprocal above; *r1, *r0 := the remainder (algorithm 5 of the paper).
inline word div_3by2(word u2, word u1, word u0, word d1, word d0, word v, word* r1, word* r0) {
  dword q = static_cast<dword>(v) * u2 + ((static_cast<dword>(u2) << 64) | u1);
  word q1 = static_cast<word>(q >> 64);
  const auto q0 = static_cast<word>(q);
  const word s1 = u1 - q1 * d1;
  const dword t = static_cast<dword>(d0) * q1;
  dword r = ((static_cast<dword>(s1) << 64) | u0) - t - ((static_cast<dword>(d1) << 64) | d0);
  ++q1;
  if (static_cast<word>(r >> 64) >= q0) {
    --q1;
    r += (static_cast<dword>(d1) << 64) | d0;
  }
  const dword d = (static_cast<dword>(d1) << 64) | d0;
  if (__builtin_expect(r >= d, 0)) {
    ++q1;
    r -= d;
  }
  *r1 = static_cast<word>(r >> 64);
  *r0 = static_cast<word>(r);
  return q1;
}

// Long division on a normalised divisor d (top bit set), dn >= 1: the
// dividend np[0 .. nn), nn >= dn, is replaced by the remainder in
// np[0 .. dn); q[0 .. nn-dn) := the quotient below its top word, which is
// returned (0 or 1). Each quotient word from the window's top three words
// and the divisor's top two by a precomputed reciprocal, off by at most one
// (too large), found by the sign of the rest of the subtraction.
word sb_div_qr(word* q, word* np, std::int32_t nn, const word* dp, std::int32_t dn) {
  word qh = wcmp(np + nn - dn, dp, dn) >= 0 ? 1 : 0;
  if (qh != 0) wsub_n(np + nn - dn, np + nn - dn, dp, dn);
  if (dn == 1) {
    const word d = dp[0];
    word rem = np[nn - 1];
    for (std::int32_t i = nn - 2; i >= 0; --i) q[i] = wdiv_2by1(rem, np[i], d, &rem);
    np[0] = rem;
    return qh;
  }
  const word d1 = dp[dn - 1];
  const word d0 = dp[dn - 2];
  const word v = reciprocal_3by2(d1, d0);
  for (std::int32_t i = nn - dn - 1; i >= 0; --i) {
    word* w = np + i;  // the window w[0 .. dn], below B d
    const word n2 = w[dn];
    const word n1 = w[dn - 1];
    word qhat;
    if (__builtin_expect(n2 == d1 && n1 == d0, 0)) {  // the quotient word is B - 1
      qhat = ~word{0};
      w[dn] = n2 - wsubmul_1(w, dp, dn, qhat);
    } else {
      word r1 = 0, r0 = 0;
      qhat = div_3by2(n2, n1, w[dn - 2], d1, d0, v, &r1, &r0);
      const word borrow = dn > 2 ? wsubmul_1(w, dp, dn - 2, qhat) : 0;
      const word below = r0 < borrow ? 1 : 0;
      r0 -= borrow;
      const bool negative = r1 < below;
      r1 -= below;
      w[dn - 2] = r0;
      w[dn - 1] = r1;
      w[dn] = negative ? ~word{0} : 0;
    }
    // Negative (the top word all ones): add d back.
    while (w[dn] != 0) {
      --qhat;
      w[dn] += wadd_n(w, w, dp, dn);
    }
    q[i] = qhat;
  }
  return qh;
}

// GMP's divide-and-conquer division of the 2n words np by the n words dp
// (normalised): q[0 .. n) := the quotient below its top word (returned),
// np[0 .. n) := the remainder. tp: n words of scratch.
word dc_div_qr_n(word* q, word* np, const word* dp, std::int32_t n, word* tp) {
  if (n < std::max<std::int32_t>(wide_divide_words, 2)) return sb_div_qr(q, np, 2 * n, dp, n);
  const std::int32_t lo = n / 2;
  const std::int32_t hi = n - lo;
  // The top hi quotient words from the top 2hi words and divisor words.
  word qh = dc_div_qr_n(q + lo, np + 2 * lo, dp + lo, hi, tp);
  wmul(tp, q + lo, hi, dp, lo);
  word cy = wsub_n(np + lo, np + lo, tp, n);
  if (qh != 0) cy += wsub_n(np + n, np + n, dp, lo);
  while (cy != 0) {
    qh -= wsub_1(q + lo, q + lo, hi, 1);
    cy -= wadd_n(np + lo, np + lo, dp, n);
  }
  // The low lo quotient words likewise.
  word ql = dc_div_qr_n(q, np + hi, dp + hi, lo, tp);
  wmul(tp, dp, hi, q, lo);
  cy = wsub_n(np, np, tp, n);
  if (ql != 0) cy += wsub_n(np + lo, np + lo, dp, hi);
  while (cy != 0) {
    wsub_1(q, q, lo, 1);
    cy -= wadd_n(np, np, dp, n);
  }
  return qh;
}

// Division of np[0 .. nn) by the normalised dp[0 .. dn), quotient blocks
// of at most dn words from the top, each by the recursive division.
word dc_div_qr(word* q, word* np, std::int32_t nn, const word* dp, std::int32_t dn, word* tp) {
  const std::int32_t cut = std::max<std::int32_t>(wide_divide_words, 2);
  const std::int32_t qn = nn - dn;
  if (dn < cut || qn < cut) return sb_div_qr(q, np, nn, dp, dn);
  const word qh = wcmp(np + qn, dp, dn) >= 0 ? 1 : 0;
  if (qh != 0) wsub_n(np + qn, np + qn, dp, dn);
  for (std::int32_t pos = qn; pos > 0;) {
    std::int32_t k = pos % dn;
    if (k == 0) k = dn;
    pos -= k;
    word* w = np + pos;  // the window w[0 .. dn + k), its top dn words below d
    if (k == dn) {
      dc_div_qr_n(q + pos, w, dp, dn, tp);
    } else if (k < cut) {
      sb_div_qr(q + pos, w, dn + k, dp, dn);
    } else {
      word qb = dc_div_qr_n(q + pos, w + dn - k, dp + dn - k, k, tp);
      wmul(tp, q + pos, k, dp, dn - k);
      word cy = wsub_n(w, w, tp, dn);
      if (qb != 0) cy += wsub_n(w + k, w + k, dp, dn - k);
      while (cy != 0) {
        qb -= wsub_1(q + pos, q + pos, k, 1);
        cy -= wadd_n(w, w, dp, dn);
      }
    }
  }
  return qh;
}

word_buffer div_dividend, div_divisor, div_quotient, div_scratch;

// The normalised division of wdivrem, by the long division (rows) or the
// recursive one.
void divrem_normalised(word* q, word* r, const word* n, std::int32_t nn, const word* d,
                       std::int32_t dn, bool rows) {
  const int s = std::countl_zero(d[dn - 1]);
  word* dp = div_divisor.get(dn);
  wshl(dp, d, dn, s);
  word* np = div_dividend.get(nn + 1);
  np[nn] = wshl(np, n, nn, s);
  const std::int32_t qn = nn + 1 - dn;
  word* qp = q != nullptr ? q : div_quotient.get(qn);
  if (rows) {
    sb_div_qr(qp, np, nn + 1, dp, dn);
  } else {
    dc_div_qr(qp, np, nn + 1, dp, dn, div_scratch.get(dn));
  }
  wshr(r, np, dn, s);
}

}  // namespace

void wdivrem(word* q, word* r, const word* n, std::int32_t nn, const word* d, std::int32_t dn) {
  const std::int32_t newton = std::max<std::int32_t>(wide_newton_divide_words, 3);
  if (dn >= newton && nn + 1 - dn >= newton) {
    wdivrem_reciprocal(q, r, n, nn, d, dn);
    return;
  }
  divrem_normalised(q, r, n, nn, d, dn, false);
}

}  // namespace tavrin::kit
