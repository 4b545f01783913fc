// The auxiliary prime lists.
#include "gcd/aux_primes.h"

#include <cstdint>

#include "core/errors.h"
#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/primes.h"
#include "numbers/zint.h"

namespace tavrin {

namespace {

constexpr int last_prime_index = 4916;
constexpr int table_primes = 1229;

// A new entry (prime, value) with next as its successor.
imptr new_entry(std::int32_t prime, std::int32_t value, imptr next) {
  imptr e = nullptr;
  newimag(&e);
  special_set(value, e);  // one limb: a residue is below 2^28
  e->lint = prime;
  e->flote = 0;
  e->imag = next;
  return e;
}

// |y| (a word number keeps its value in lint).
ZInt magnitude(imptr y) { return (y->size == 0 ? ZInt(y->lint) : ZInt::from_number(y)).abs(); }

}  // namespace

void insert_new_prime(std::int32_t this_prime, std::int32_t x, imptr* ii) {
  *ii = new_entry(this_prime, x, *ii);
}

void add_prime_to_list(polypt q, std::int32_t thisone, std::int32_t x) {
  imptr* link = &q->gcd_data;
  while (*link != nullptr && (*link)->lint > thisone) link = &(*link)->imag;
  if (*link != nullptr && (*link)->lint == thisone) return;
  insert_new_prime(thisone, x, link);
}

void add_all_to_list(polypt q, std::int32_t x, imptr y) {
  ZInt rest = magnitude(y);
  if (rest.is_zero()) return;
  std::int64_t d = 0;
  need_data_file(data_file::primelist);
  for (int i = 1; i <= last_prime_index && !rest.is_one(); ++i) {
    d = i <= table_primes ? small_prime[i] : nextprime(static_cast<std::int32_t>(d));
    const auto ud = static_cast<std::uint32_t>(d);
    if (rest.mod_word(ud) != 0) continue;
    do {
      ZInt::divmod(rest, ZInt(d), &rest, nullptr);
    } while (rest.mod_word(ud) == 0);
    if (d > 40) {
      const std::int64_t value = ((std::int64_t{x} % d) + d) % d;
      add_prime_to_list(q, static_cast<std::int32_t>(d), static_cast<std::int32_t>(value));
    }
  }
}

void free_gcd_data(polypt q) {
  while (q->gcd_data != nullptr) {
    imptr next = q->gcd_data->imag;
    special_free(q->gcd_data);
    free_imag(&q->gcd_data);
    q->gcd_data = next;
  }
  q->aux_num = 0;
}

}  // namespace tavrin
