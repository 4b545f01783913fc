// The auxiliary prime lists.
#include "gcd/aux_primes.h"

#include <cstdint>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"

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

// |y| as base-2^28 digits, most significant first, without leading zeros.
std::vector<std::uint32_t> magnitude(imptr y) {
  std::vector<std::uint32_t> digits;
  if (y->size == 0) {
    std::int64_t v = y->lint;
    if (v < 0) v = -v;
    digits.push_back(static_cast<std::uint32_t>(v >> 28));
    digits.push_back(static_cast<std::uint32_t>(v & 0xFFFFFFF));
  } else {
    for (numptr p = y->head; p != nullptr; p = p->next) {
      const std::int32_t v = p->value;
      digits.push_back(static_cast<std::uint32_t>(v < 0 ? -v : v));
      if (p == y->tail) break;
    }
  }
  std::size_t lead = 0;
  while (lead + 1 < digits.size() && digits[lead] == 0) ++lead;
  digits.erase(digits.begin(), digits.begin() + static_cast<std::ptrdiff_t>(lead));
  return digits;
}

bool is_zero(const std::vector<std::uint32_t>& y) { return y.size() == 1 && y[0] == 0; }
bool is_one(const std::vector<std::uint32_t>& y) { return y.size() == 1 && y[0] == 1; }

std::uint64_t remainder(const std::vector<std::uint32_t>& y, std::uint64_t d) {
  std::uint64_t r = 0;
  for (std::uint32_t digit : y) r = ((r << 28) | digit) % d;
  return r;
}

// y := y / d (exact).
void divide_exactly(std::vector<std::uint32_t>& y, std::uint64_t d) {
  std::uint64_t r = 0;
  for (std::uint32_t& digit : y) {
    const std::uint64_t cur = (r << 28) | digit;
    digit = static_cast<std::uint32_t>(cur / d);
    r = cur % d;
  }
  std::size_t lead = 0;
  while (lead + 1 < y.size() && y[lead] == 0) ++lead;
  y.erase(y.begin(), y.begin() + static_cast<std::ptrdiff_t>(lead));
}

// An odd candidate not divisible by 3 is prime when none of 5, 7, 11, 13,
// ... up to its square root plus 2 divides it.
bool candidate_is_prime(std::int64_t c) {
  for (std::int64_t d = 5; d * d <= c + 4 * d + 4; d += 6) {  // d <= sqrt(c) + 2
    if (c % d == 0 && d != c) return false;
    if (c % (d + 2) == 0 && d + 2 != c) return false;
  }
  return true;
}

std::int64_t next_prime_above(std::int64_t p) {
  for (std::int64_t c = p + 1;; ++c) {
    if (c % 2 == 0 || c % 3 == 0) continue;
    if (candidate_is_prime(c)) return c;
  }
}

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
  std::vector<std::uint32_t> rest = magnitude(y);
  if (is_zero(rest)) return;
  std::int64_t d = 0;
  need_data_file(data_file::primelist);
  for (int i = 1; i <= last_prime_index && !is_one(rest); ++i) {
    d = i <= table_primes ? small_prime[i] : next_prime_above(d);
    const auto ud = static_cast<std::uint64_t>(d);
    if (remainder(rest, ud) != 0) continue;
    do {
      divide_exactly(rest, ud);
    } while (remainder(rest, ud) == 0);
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
