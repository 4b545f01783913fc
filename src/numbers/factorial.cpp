#include "numbers/factorial.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/bigint_multiply.h"
#include "numbers/freelists.h"
#include "numbers/limb_array.h"
#include "numbers/limb_list.h"
#include "numbers/mixed_mode.h"
#include "numbers/node_handles.h"
#include "numbers/word_array.h"
#include "numbers/word_mod.h"

namespace tavrin {

using nodes::new_number_value;
using nodes::ScratchNumber;

namespace {

constexpr int fact_points = 22;

std::int32_t wrap_mul(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

// The factor k as a residue (factors are positive).
std::int32_t residue(std::int64_t k) { return static_cast<std::int32_t>(k % modulus); }

// n := the positive word k in the current mode.
void set_factor(imptr n, std::int64_t k) {
  if (flotemode) {
    n->flote = static_cast<long double>(k);
  } else if (modularmode) {
    n->lint = residue(k);
  } else if (lintmode) {
    n->lint = static_cast<std::int32_t>(k);
  } else {
    special_set(static_cast<std::int32_t>(k), n);
  }
}

// n := n * k for a positive word k (below 2^31, one limb in big mode).
void times_factor(imptr n, std::int64_t k) {
  if (flotemode) {
    n->flote *= static_cast<long double>(k);
  } else if (modularmode) {
    n->lint = modmult(static_cast<std::uint32_t>(n->lint), static_cast<std::uint32_t>(residue(k)));
  } else if (lintmode) {
    n->lint = wrap_mul(n->lint, static_cast<std::int32_t>(k));
  } else {
    numptr penult = nullptr;
    simp_mult(n, n, static_cast<std::int32_t>(k), &penult);
  }
}

// n := n * m in the current mode (m a number of the same mode).
void times_number(imptr n, imptr m) {
  if (flotemode) {
    n->flote *= m->flote;
  } else if (modularmode) {
    n->lint = modmult(static_cast<std::uint32_t>(n->lint), static_cast<std::uint32_t>(m->lint));
  } else if (lintmode) {
    n->lint = wrap_mul(n->lint, m->lint);
  } else {
    fast_mult(n, m, n);
  }
}

// n := n * facts[i]; the table factor of modular mode is its residue.
void times_table_entry(imptr n, int i) {
  if (!flotemode && modularmode) {
    const std::int32_t f = modout(&facts[i]);
    n->lint = modmult(static_cast<std::uint32_t>(n->lint), static_cast<std::uint32_t>(f));
  } else {
    times_number(n, &facts[i]);
  }
}

bool zero_residue(imptr n) { return !flotemode && modularmode && n->lint == 0; }

// x := x * up / down, the division exact (big integers).
void binomial_step(imptr x, std::int32_t up, std::int32_t down) {
  ScratchNumber factor, rem;
  special_set(up, factor.get());
  multiply(x, factor.get(), x);
  special_set(down, factor.get());
  divide(x, factor.get(), x, rem.get());
}

// ---- Big products of consecutive factors on words ----------------------------------------

using kit::word;
using words = std::vector<word>;

// a^2 and a * b of word arrays (least significant first, normalised), normalised.
words square(const words& a) {
  words r(2 * a.size(), 0);
  kit::wsqr(r.data(), a.data(), static_cast<std::int32_t>(a.size()));
  r.resize(
      static_cast<std::size_t>(kit::wnormalised(r.data(), static_cast<std::int32_t>(r.size()))));
  return r;
}

words times(const words& a, const words& b) {
  words r(a.size() + b.size(), 0);
  const auto na = static_cast<std::int32_t>(a.size());
  const auto nb = static_cast<std::int32_t>(b.size());
  if (na >= nb) {
    kit::wmul(r.data(), a.data(), na, b.data(), nb);
  } else {
    kit::wmul(r.data(), b.data(), nb, a.data(), na);
  }
  r.resize(static_cast<std::size_t>(kit::wnormalised(r.data(), na + nb)));
  return r;
}

// The product of the packed factors f[lo .. hi) as a word array (least
// significant first, normalised), by a balanced tree: a run of at most
// leaf_words factors one word at a time, longer runs split in halves of
// comparable size and multiplied once.
constexpr std::size_t leaf_words = 16;

words tree_product(const words& f, std::size_t lo, std::size_t hi) {
  if (hi - lo <= leaf_words) {
    words r(hi - lo + 1, 0);
    r[0] = f[lo];
    std::int32_t n = 1;
    for (std::size_t k = lo + 1; k < hi; ++k) {
      const word c = kit::wmul_1(r.data(), r.data(), n, f[k]);
      if (c != 0) r[static_cast<std::size_t>(n++)] = c;
    }
    r.resize(static_cast<std::size_t>(n));
    return r;
  }
  const std::size_t mid = lo + (hi - lo) / 2;
  const words a = tree_product(f, lo, mid);
  const words b = tree_product(f, mid, hi);
  check_interrupt();  // between products: no shared scratch is live
  return times(a, b);
}

// n := lower * (lower + 1) * ... * upper * t, t a positive big integer (or
// 1 when null), for 1 <= lower <= upper: the factors' powers of two are
// taken out and put back by one shift at the end, the odd parts packed
// into words as many as fit, and the words multiplied by tree_product.
// n: overwritten (its old limbs freed)
void word_range_product(std::int32_t lower, std::int32_t upper, imptr t, imptr n) {
  words f;
  std::int64_t twos = 0;
  word acc = 1;
  for (std::int64_t k = lower; k <= upper; ++k) {
    auto odd = static_cast<word>(k);
    const int z = std::countr_zero(odd);
    twos += z;
    odd >>= z;
    if (acc > ~word{0} / odd) {
      f.push_back(acc);
      acc = odd;
    } else {
      acc *= odd;
    }
  }
  f.push_back(acc);
  check_interrupt();  // before the products: no shared scratch is live
  words p = tree_product(f, 0, f.size());
  if (t != nullptr) {
    std::vector<kit::digit> td(static_cast<std::size_t>(t->size));
    kit::gather(t, td.data());
    words tw(static_cast<std::size_t>(kit::words_for_digits(t->size)), 0);
    tw.resize(static_cast<std::size_t>(kit::words_of_digits(tw.data(), td.data(), t->size)));
    p = times(p, tw);
  }
  // p * 2^twos: whole words, then the bits.
  const auto whole = static_cast<std::size_t>(twos / 64);
  const int bits = static_cast<int>(twos % 64);
  words r(whole + p.size() + 1, 0);
  const word out = kit::wshl(r.data() + whole, p.data(), static_cast<std::int32_t>(p.size()), bits);
  r[whole + p.size()] = out;
  const std::int32_t nr = kit::wnormalised(r.data(), static_cast<std::int32_t>(r.size()));
  std::vector<kit::digit> d(static_cast<std::size_t>(kit::digits_for_words(nr)));
  const std::int32_t nd = kit::digits_of_words(d.data(), r.data(), nr);
  kit::install_limbs(n, kit::build_limbs(d.data(), nd, 1));
}

// The odd primes up to v (v >= 3) by Eratosthenes' sieve.
std::vector<std::int32_t> odd_primes_to(std::int32_t v) {
  std::vector<bool> composite(static_cast<std::size_t>(v / 2 + 1), false);  // entry k: 2k + 1
  std::vector<std::int32_t> primes;
  for (std::int64_t p = 3; p <= v; p += 2) {
    if (composite[static_cast<std::size_t>(p / 2)]) continue;
    primes.push_back(static_cast<std::int32_t>(p));
    for (std::int64_t q = p * p; q <= v; q += 2 * p)
      composite[static_cast<std::size_t>(q / 2)] = true;
  }
  return primes;
}

// n := v! as a big integer by its prime powers (v >= 3): v! = 2^e2 times
// the product over the odd primes p of p^e(p), e(p) = sum of v div p^k;
// with A_k the product of the primes whose exponent has bit k set, the odd
// part is ((A_K^2 A_(K-1))^2 ...)^2 A_0, so the work goes into squares
// (cheaper than products) of numbers of half the final length and less.
// n: overwritten (its old limbs freed)
void prime_power_factorial(std::int32_t v, imptr n) {
  const std::vector<std::int32_t> primes = odd_primes_to(v);
  // The exponents fall as the primes grow: from v/2 on they are 1.
  std::vector<std::uint32_t> e(primes.size());
  for (std::size_t k = 0; k < primes.size(); ++k) {
    const auto p = static_cast<std::uint32_t>(primes[k]);
    std::uint32_t q = static_cast<std::uint32_t>(v) / p, sum = q;
    while (q >= p) {
      q /= p;
      sum += q;
    }
    e[k] = sum;
  }
  const std::uint32_t top = e.empty() ? 0 : e[0];
  words r{1};
  for (int bit = std::bit_width(top) - 1; bit >= 0; --bit) {
    check_interrupt();  // between products: no shared scratch is live
    if (r.size() > 1 || r[0] != 1) r = square(r);
    words f;
    word acc = 1;
    for (std::size_t k = 0; k < primes.size() && e[k] >> bit != 0; ++k) {
      if (((e[k] >> bit) & 1) == 0) continue;
      const auto p = static_cast<word>(primes[k]);
      if (acc > ~word{0} / p) {
        f.push_back(acc);
        acc = p;
      } else {
        acc *= p;
      }
    }
    if (acc != 1) f.push_back(acc);
    if (!f.empty()) r = times(r, tree_product(f, 0, f.size()));
  }
  // r * 2^(v - popcount v): whole words, then the bits.
  const std::int64_t twos = v - std::popcount(static_cast<std::uint32_t>(v));
  const auto whole = static_cast<std::size_t>(twos / 64);
  words out(whole + r.size() + 1, 0);
  out[whole + r.size()] =
      kit::wshl(out.data() + whole, r.data(), static_cast<std::int32_t>(r.size()),
                static_cast<int>(twos % 64));
  const std::int32_t nw = kit::wnormalised(out.data(), static_cast<std::int32_t>(out.size()));
  std::vector<kit::digit> d(static_cast<std::size_t>(kit::digits_for_words(nw)));
  const std::int32_t nd = kit::digits_of_words(d.data(), out.data(), nw);
  kit::install_limbs(n, kit::build_limbs(d.data(), nd, 1));
}

}  // namespace

// ---- Factorials ------------------------------------------------------------------------

void multout(std::int32_t lower, std::int32_t upper, imptr n) {
  if (static_cast<std::int64_t>(upper) - lower <= 4) {
    set_factor(n, lower);
    for (std::int64_t k = static_cast<std::int64_t>(lower) + 1; k <= upper; ++k) {
      if (zero_residue(n)) return;
      times_factor(n, k);
    }
    return;
  }
  const auto mid = static_cast<std::int32_t>((static_cast<std::int64_t>(lower) + upper) / 2);
  ScratchNumber low;
  multout(lower, mid, low.get());
  if (zero_residue(low.get())) {
    n->lint = 0;
    return;
  }
  multout(mid + 1, upper, n);
  if (zero_residue(n)) return;
  check_interrupt();  // between products of the tree: no shared scratch is live
  times_number(n, low.get());
}

void factorial(imptr n) {
  std::int32_t v = 0;
  if (flotemode) {
    v = saturate_to_int32(std::floor(n->flote + 0.5L));
  } else if (modularmode) {
    if (finf) error(char2_factorial_error, &factsign);
    v = n->lint;
    if (v > modular_factorial_limit) error(factorial_too_large_error, &factsign);
  } else if (lintmode) {
    v = n->lint;
    if (v > word_factorial_limit) error(word_factorial_error, &factsign);
  } else {
    if (n->size >= 2) error(factorial_too_large_error, &factsign);
    v = n->head->value;
  }

  if (!flotemode && modularmode && v >= modulus) {
    n->lint = 0;
    return;
  }
  if (flotemode && v > largest_finite_factorial) {
    n->flote = HUGE_VALL;  // beyond a long double; no need to multiply it out
    return;
  }

  need_data_file(data_file::pow228);  // the table factnum, facts
  int i = 0;
  while (i + 1 < fact_points && factnum[i + 1] <= v) ++i;
  if (v <= factnum[i]) {
    if (!flotemode && modularmode) {
      n->lint = modout(&facts[i]);
    } else {
      num_assign(&facts[i], n);
    }
    return;
  }

  if (!flotemode && !lintmode && v >= prime_factorial_limit) {
    // Big integers: the same value from its prime powers.
    prime_power_factorial(v, n);
    return;
  }
  if (!flotemode && !lintmode && v - factnum[i] >= word_factorial_factors) {
    // Big integers: the same product on words.
    word_range_product(factnum[i] + 1, v, &facts[i], n);
    return;
  }
  multout(factnum[i] + 1, v, n);
  if (zero_residue(n)) return;
  times_table_entry(n, i);
}

// ---- Binomial coefficients ----------------------------------------------------------------

std::int32_t binom_index(std::int32_t n, std::int32_t r) {
  const std::int32_t q = n / 3;
  const std::int32_t off = q % 2 == 0 ? q * (3 * q - 4) / 4 : (3 * q - 1) * (q - 1) / 4;
  return off + r;
}

void from_table(std::int32_t n, std::int32_t r, quolyptr m) {
  need_data_file(data_file::pow228);
  free_quoly(m);
  quoly c = new_number_value(nullptr);
  init_quoly_node(c);
  num_assign(binom[binom_index(n, r)], c->ncoef);
  *m = c;
}

void trivial(std::int32_t n, std::int32_t r, quolyptr m) {
  // n(n - 1)/2 is formed in 64 bits: a residue is then exact for every n,
  // and a plain word keeps the 32-bit value it always had.
  std::int64_t v = n;
  if (r != 1) v = std::int64_t{n} * (std::int64_t{n} - 1) / 2;
  if (modularmode) {
    v %= modulus;
    if (v < 0) v += modulus;
  }
  quoly_set(static_cast<std::int32_t>(static_cast<std::uint32_t>(v)), m);
}

void standard(std::int32_t n, std::int32_t r, quolyptr m) {
  if (n > binomial_limit) error(binomial_too_large_error, &token);
  if (r == 1) {
    quoly_set(n, m);
    return;
  }
  if (r == 2 && n <= 16384) {
    quoly_set(n * (n - 1) / 2, m);
    return;
  }
  ScratchNumber dum, trash;
  special_set(n, dum.get());
  factorial(dum.get());
  special_set(r, trash.get());
  factorial(trash.get());
  divide(dum.get(), trash.get(), dum.get(), trash.get());
  special_set(n - r, trash.get());
  factorial(trash.get());
  divide(dum.get(), trash.get(), dum.get(), trash.get());
  // The value takes over dum's header and limbs.
  free_quoly(m);
  *m = new_number_value(dum.release());
}

void rat_binom(std::int32_t n, std::int32_t r, quolyptr m) {
  if (r > n / 2) r = n - r;
  if (r <= 0) {
    quoly_set(1, m);
    return;
  }
  if (n == 2) {
    quoly_set(2, m);
    return;
  }

  if (n <= 152) {
    const std::int32_t q = n / 3;
    const std::int32_t d = n % 3;
    if (d == 0) {
      from_table(n, r, m);
    } else if (r <= d) {
      trivial(n, r, m);
    } else {
      // binomial(N + 1, K + 1) = binomial(N, K) (N + 1) / (K + 1).
      std::int32_t big_n = 3 * q, k = r - d;
      from_table(big_n, k, m);
      while (big_n < n) binomial_step((*m)->ncoef, ++big_n, ++k);
    }
    return;
  }

  if (n <= 500) {
    std::int32_t k = 150 - (n - r);
    if (k >= 3) {
      std::int32_t big_n = 150;
      from_table(big_n, k, m);
      // Three rows at a time: (N+1)(N+2)(N+3) stays below 2^28 for N <= 500.
      while (big_n + 3 <= n) {
        binomial_step((*m)->ncoef, (big_n + 1) * (big_n + 2) * (big_n + 3),
                      (k + 1) * (k + 2) * (k + 3));
        big_n += 3;
        k += 3;
      }
      while (big_n < n) binomial_step((*m)->ncoef, ++big_n, ++k);
      return;
    }
  }

  standard(n, r, m);
}

}  // namespace tavrin
