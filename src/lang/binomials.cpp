#include "lang/binomials.h"

#include <cmath>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/factorial.h"
#include "numbers/freelists.h"
#include "numbers/int_sqrt.h"
#include "toplevel/scanner.h"

namespace tavrin {

void lint_binom(std::int32_t n, std::int32_t r, quolyptr m) {
  if (r > n / 2) r = n - r;
  if (r < 1 || n < 3) {
    quoly_set((n == 2 && r == 1) ? 2 : 1, m);
    return;
  }
  if (n > 30) abandon(binomial_word_arithmetic_n_must_most_error, &token);
  need_data_file(data_file::pow228);
  if (n % 3 == 0) {
    quoly_set(binom[binom_index(n, r)]->lint, m);
    return;
  }
  const std::int32_t n0 = 3 * (n / 3);
  const std::int32_t k = n % 3;
  if (r - k < 1) {
    quoly_set(r == 1 ? n : n * (n - 1) / 2, m);
    return;
  }
  // Each step divides exactly, and with n <= 30 no product passes 2^31 - 1.
  std::int32_t v = binom[binom_index(n0, r - k)]->lint;
  for (std::int32_t j = 1; j <= k; ++j) v = v * (n0 + j) / ((r - k) + j);
  quoly_set(v, m);
}

std::int32_t ifrom_table(std::int32_t n, std::int32_t r) {
  need_data_file(data_file::pow228);
  if (r > n / 2) r = n - r;
  const imptr x = binom[binom_index(n, r)];
  return x->head == nullptr ? 0 : x->head->value;
}

void itrivial(std::int32_t n, std::int32_t r, long double* m) {
  *m = r == 1 ? static_cast<long double>(n)
              : static_cast<long double>(std::int64_t{n} * (std::int64_t{n} - 1) / 2);
}

void square_root(imptr n, imptr n2) {
  if (flotemode) {
    if (n->flote < 0) abandon(square_root_negative_number_error, &sqrtsign);
    n->flote = std::sqrt(n->flote);
  } else if (lintmode) {
    if (n->lint < 0) abandon(square_root_negative_number_error, &sqrtsign);
    n->lint = static_cast<std::int32_t>(std::sqrt(static_cast<double>(n->lint)));
  } else {
    if (n->head != nullptr && n->head->value < 0)
      abandon(square_root_negative_number_error, &sqrtsign);
    int_sqrt(n, n2, true);
  }
}

}  // namespace tavrin
