// The row kernels of the word arrays (word_array.h): a row times one
// word, added to or taken from a row, and the schoolbook product and square
// built from them.
//
// Where the processor has mulx, adcx and adox (asked once), four words at a
// time go through two independent carry chains (the products' high words
// on one, the row's words on the other), as the schoolbook products of the
// peer libraries do; elsewhere, and after force_portable_rows, plain 128-bit
// arithmetic gives the same words.
#include <algorithm>
#include <cstdint>

#include "numbers/word_array.h"

namespace tavrin::kit {

namespace {

bool portable_only = false;

// *r := a + b + c; returns the carry out (0 or 1).
inline unsigned char add_carry(unsigned char c, word a, word b, word* r) {
  const dword t = static_cast<dword>(a) + b + c;
  *r = static_cast<word>(t);
  return static_cast<unsigned char>(t >> 64);
}

#if defined(__x86_64__) && defined(__GNUC__)
#define TAVRIN_WORD_ADX 1
#define ADX_FN __attribute__((target("bmi2,adx")))

bool adx_available() {
  static const bool yes = __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("adx");
  return yes;
}

// Blocks of K = 1 or 2 places of a row, c the word carried in and out:
//   set:  r[0 .. K) := a b + c
//   add:  r[0 .. K) := r + a b + c
//   sub:  r[0 .. K) := r - a b - c, formed as the sum on the complemented
//         words of r complemented back (~(~r + x) = r - x).
// The products' high words run on the carry flag (adcx), the row's words on
// the overflow flag (adox); mulx and not leave both alone. Places alternate
// between the register pairs (l0, h0) and (l1, h1).
enum class row_kind { set, add, sub };

// clang-format off
#define TAVRIN_SET_PLACE(OP, OFF, L, H, PREV)          \
  "mulx " OFF "(%[a]), %[" L "], %[" H "]\n\t"          \
  OP " %[" PREV "], %[" L "]\n\t"                       \
  "mov %[" L "], " OFF "(%[r])\n\t"
#define TAVRIN_ADD_PLACE(OFF, L, H, PREV)              \
  "mulx " OFF "(%[a]), %[" L "], %[" H "]\n\t"          \
  "adcx %[" PREV "], %[" L "]\n\t"                      \
  "adox " OFF "(%[r]), %[" L "]\n\t"                    \
  "mov %[" L "], " OFF "(%[r])\n\t"
#define TAVRIN_SUB_PLACE(OFF, L, H, PREV)              \
  "mulx " OFF "(%[a]), %[" L "], %[" H "]\n\t"          \
  "mov " OFF "(%[r]), %[t]\n\t"                         \
  "not %[t]\n\t"                                        \
  "adcx %[" PREV "], %[" L "]\n\t"                      \
  "adox %[t], %[" L "]\n\t"                             \
  "not %[" L "]\n\t"                                    \
  "mov %[" L "], " OFF "(%[r])\n\t"
#define TAVRIN_CHAIN_END(H) \
  "adcx %[z], %[" H "]\n\t" \
  "adox %[z], %[" H "]\n\t" \
  "mov %[" H "], %[c]\n\t"
#define TAVRIN_ROW_ASM(TEXT)                                                                              \
  __asm__(TEXT                                                                                            \
          : [l0] "=&r"(l0), [h0] "=&r"(h0), [l1] "=&r"(l1), [h1] "=&r"(h1), [z] "=&r"(z), [t] "=&r"(t), \
            [c] "+&r"(c)                                                                                  \
          : [a] "r"(a), [r] "r"(r), "d"(b)                                                                \
          : "cc", "memory")
// clang-format on

template <row_kind kind, int K>
ADX_FN inline void row_block(word* r, const word* a, word b, word& c) {
  word l0, h0, l1, h1, z, t;
  if constexpr (kind == row_kind::set) {
    if constexpr (K == 1) {
      TAVRIN_ROW_ASM(
          TAVRIN_SET_PLACE("add", "0", "l0", "h0", "c") "adc $0, %[h0]\n\tmov %[h0], %[c]\n\t");
    } else {
      TAVRIN_ROW_ASM(TAVRIN_SET_PLACE("add", "0", "l0", "h0", "c") TAVRIN_SET_PLACE(
          "adc", "8", "l1", "h1", "h0") "adc $0, %[h1]\n\tmov %[h1], %[c]\n\t");
    }
  } else if constexpr (kind == row_kind::add) {
    if constexpr (K == 1) {
      TAVRIN_ROW_ASM("xor %k[z], %k[z]\n\t" TAVRIN_ADD_PLACE("0", "l0", "h0", "c")
                         TAVRIN_CHAIN_END("h0"));
    } else {
      TAVRIN_ROW_ASM("xor %k[z], %k[z]\n\t" TAVRIN_ADD_PLACE("0", "l0", "h0", "c")
                         TAVRIN_ADD_PLACE("8", "l1", "h1", "h0") TAVRIN_CHAIN_END("h1"));
    }
  } else {
    if constexpr (K == 1) {
      TAVRIN_ROW_ASM("xor %k[z], %k[z]\n\t" TAVRIN_SUB_PLACE("0", "l0", "h0", "c")
                         TAVRIN_CHAIN_END("h0"));
    } else {
      TAVRIN_ROW_ASM("xor %k[z], %k[z]\n\t" TAVRIN_SUB_PLACE("0", "l0", "h0", "c")
                         TAVRIN_SUB_PLACE("8", "l1", "h1", "h0") TAVRIN_CHAIN_END("h1"));
    }
  }
}

// Blocks of four places, `blocks` >= 1 of them, along unbroken carry
// chains: lea and jrcxz leave the flags alone, so the chains run from the
// first place to the last and are closed once. c is the high word of the
// place below.
// clang-format off
#define TAVRIN_FOUR_PLACES(PLACE) \
  PLACE("0", "l0", "h0", "c") PLACE("8", "l1", "c", "h0") PLACE("16", "l0", "h0", "c") PLACE("24", "l1", "c", "h0")
#define TAVRIN_ADC_PLACE(OFF, L, H, PREV) TAVRIN_SET_PLACE("adc", OFF, L, H, PREV)
#define TAVRIN_ROW_LOOP(PLACE, END)                                                                      \
  __asm__("xor %k[z], %k[z]\n\t"                                                                         \
          "1:\n\t" TAVRIN_FOUR_PLACES(PLACE)                                                            \
          "lea 32(%[a]), %[a]\n\t"                                                                       \
          "lea 32(%[r]), %[r]\n\t"                                                                       \
          "lea -1(%[n]), %[n]\n\t"                                                                       \
          "jrcxz 2f\n\t"                                                                                 \
          "jmp 1b\n\t"                                                                                   \
          "2:\n\t" END                                                                                   \
          : [l0] "=&r"(l0), [h0] "=&r"(h0), [l1] "=&r"(l1), [c] "+&r"(c), [z] "=&r"(z), [t] "=&r"(t),      \
            [a] "+&r"(a), [r] "+&r"(r), [n] "+&c"(blocks)                                                \
          : "d"(b)                                                                                       \
          : "cc", "memory")
// clang-format on

template <row_kind kind>
ADX_FN inline void row_loop(word* r, const word* a, std::intptr_t blocks, word b, word& c) {
  word l0, h0, l1, z, t;
  if constexpr (kind == row_kind::set) {
    TAVRIN_ROW_LOOP(TAVRIN_ADC_PLACE, "adc %[z], %[c]\n\t");
  } else if constexpr (kind == row_kind::add) {
    TAVRIN_ROW_LOOP(TAVRIN_ADD_PLACE, "adcx %[z], %[c]\n\tadox %[z], %[c]\n\t");
  } else {
    TAVRIN_ROW_LOOP(TAVRIN_SUB_PLACE, "adcx %[z], %[c]\n\tadox %[z], %[c]\n\t");
  }
}

#undef TAVRIN_ROW_LOOP
#undef TAVRIN_ADC_PLACE
#undef TAVRIN_FOUR_PLACES
#undef TAVRIN_ROW_ASM
#undef TAVRIN_CHAIN_END
#undef TAVRIN_SUB_PLACE
#undef TAVRIN_ADD_PLACE
#undef TAVRIN_SET_PLACE

// A whole row of n >= 1 places; returns the word carried out.
template <row_kind kind>
ADX_FN inline word row_adx(word* r, const word* a, std::int32_t n, word b) {
  // The places below a multiple of four first, then the loop.
  word c = 0;
  std::int32_t i = 0;
  if (n % 2 == 1) {
    row_block<kind, 1>(r, a, b, c);
    i = 1;
  }
  if (n % 4 >= 2) {
    row_block<kind, 2>(r + i, a + i, b, c);
    i += 2;
  }
  if (i < n) row_loop<kind>(r + i, a + i, (n - i) / 4, b, c);
  return c;
}

ADX_FN void mul_rows_adx(word* r, const word* a, std::int32_t na, const word* b, std::int32_t nb) {
  r[na] = row_adx<row_kind::set>(r, a, na, b[0]);
  for (std::int32_t j = 1; j < nb; ++j) r[na + j] = row_adx<row_kind::add>(r + j, a, na, b[j]);
}

ADX_FN void sqr_rows_adx(word* r, const word* a, std::int32_t n) {
  r[n] = row_adx<row_kind::set>(r + 1, a + 1, n - 1, a[0]);
  for (std::int32_t i = 1; i + 1 < n; ++i)
    r[n + i] = row_adx<row_kind::add>(r + 2 * i + 1, a + i + 1, n - i - 1, a[i]);
}
#endif

bool carry_chains() {
#ifdef TAVRIN_WORD_ADX
  return !portable_only && adx_available();
#else
  return false;
#endif
}

// ---- Portable rows ----------------------------------------------------------------------

word mul_1_portable(word* r, const word* a, std::int32_t n, word b, word c) {
  for (std::int32_t i = 0; i < n; ++i) {
    const dword t = static_cast<dword>(a[i]) * b + c;
    r[i] = static_cast<word>(t);
    c = static_cast<word>(t >> 64);
  }
  return c;
}

word addmul_1_portable(word* r, const word* a, std::int32_t n, word b, word c) {
  for (std::int32_t i = 0; i < n; ++i) {
    const dword t = static_cast<dword>(a[i]) * b + c + r[i];
    r[i] = static_cast<word>(t);
    c = static_cast<word>(t >> 64);
  }
  return c;
}

word submul_1_portable(word* r, const word* a, std::int32_t n, word b, word c) {
  for (std::int32_t i = 0; i < n; ++i) {
    const dword p = static_cast<dword>(a[i]) * b + c;
    const word lo = static_cast<word>(p);
    c = static_cast<word>(p >> 64);
    const word x = r[i];
    r[i] = x - lo;
    c += x < lo;
  }
  return c;
}

}  // namespace

bool rows_by_carry_chains() { return carry_chains(); }

void force_portable_rows(bool portable) { portable_only = portable; }

word wmul_1(word* r, const word* a, std::int32_t n, word b) {
#ifdef TAVRIN_WORD_ADX
  if (n >= 1 && carry_chains()) return row_adx<row_kind::set>(r, a, n, b);
#endif
  return mul_1_portable(r, a, n, b, 0);
}

word waddmul_1(word* r, const word* a, std::int32_t n, word b) {
#ifdef TAVRIN_WORD_ADX
  if (n >= 1 && carry_chains()) return row_adx<row_kind::add>(r, a, n, b);
#endif
  return addmul_1_portable(r, a, n, b, 0);
}

word wsubmul_1(word* r, const word* a, std::int32_t n, word b) {
#ifdef TAVRIN_WORD_ADX
  if (n >= 1 && carry_chains()) return row_adx<row_kind::sub>(r, a, n, b);
#endif
  return submul_1_portable(r, a, n, b, 0);
}

void wmul_rows(word* r, const word* a, std::int32_t na, const word* b, std::int32_t nb) {
  // One row per word of the shorter operand, along the longer one.
  if (na < nb) {
    std::swap(a, b);
    std::swap(na, nb);
  }
#ifdef TAVRIN_WORD_ADX
  if (carry_chains()) return mul_rows_adx(r, a, na, b, nb);
#endif
  r[na] = wmul_1(r, a, na, b[0]);
  for (std::int32_t j = 1; j < nb; ++j) r[na + j] = waddmul_1(r + j, a, na, b[j]);
}

void wsqr_rows(word* r, const word* a, std::int32_t n) {
  // The products a_i a_j with i < j by rows, doubled, and the squares a_i^2
  // on the diagonal added.
  if (n == 1) {
    const dword s = static_cast<dword>(a[0]) * a[0];
    r[0] = static_cast<word>(s);
    r[1] = static_cast<word>(s >> 64);
    return;
  }
  r[0] = 0;
#ifdef TAVRIN_WORD_ADX
  if (carry_chains()) {
    sqr_rows_adx(r, a, n);
  } else
#endif
  {
    r[n] = wmul_1(r + 1, a + 1, n - 1, a[0]);
    for (std::int32_t i = 1; i + 1 < n; ++i)
      r[n + i] = waddmul_1(r + 2 * i + 1, a + i + 1, n - i - 1, a[i]);
  }
  r[2 * n - 1] = 0;
  // Doubled and the squares added in one pass: place pair (2i, 2i + 1) takes
  // its own words shifted by one, the bit shifted out below, a_i^2 and the
  // carry.
  word bit = 0;
  unsigned char c = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    const word lo = r[2 * i], hi = r[2 * i + 1];
    const dword s = static_cast<dword>(a[i]) * a[i];
    c = add_carry(c, (lo << 1) | bit, static_cast<word>(s), r + 2 * i);
    c = add_carry(c, (hi << 1) | (lo >> 63), static_cast<word>(s >> 64), r + 2 * i + 1);
    bit = hi >> 63;
  }
}

}  // namespace tavrin::kit
