#include "numbers/factorial.h"

#include <cmath>
#include <cstdint>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/interrupts.h"
#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/bigint_multiply.h"
#include "numbers/freelists.h"
#include "numbers/mixed_mode.h"
#include "numbers/node_handles.h"
#include "numbers/word_mod.h"

namespace tavrin {

using detail::new_number_value;
using detail::ScratchNumber;

namespace {

constexpr int fact_points = 22;

std::int32_t wrap_mul(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) *
                                   static_cast<std::uint32_t>(b));
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
  free_quoly(m);
  quoly c;
  newquoly(&c);
  c->next = nullptr;
  c->numb = true;
  c->arr_arg = false;
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
