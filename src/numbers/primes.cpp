#include "numbers/primes.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <initializer_list>
#include <map>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"

namespace tavrin {

static_assert(RAND_MAX == 2147483647, "the random routines scale draws of 0 .. 2^31 - 1");

namespace {

// The trial divisors d, d + 2 (d = 5, 11, 17, ...) up to the bound b, for an
// x prime to 6: the first that divides x, or 1 when none does (a d + 2
// above b does not count).
template <class U>
U trial_divisor(U x, U b) {
  for (U d = 5; d <= b; d += 6) {
    if (x % d == 0) return d;
    if (d + 2 <= b && x % (d + 2) == 0) return d + 2;
  }
  return 1;
}

// The bound of the trial division: trunc(sqrt(x)) + 2.
std::uint32_t trial_bound(std::int32_t x) {
  return static_cast<std::uint32_t>(std::sqrt(static_cast<double>(x))) + 2u;
}

}  // namespace

bool is_prime(std::int32_t x) { return long_is_prime(x) == 1; }

std::int32_t long_is_prime(std::int32_t x) {
  if (x < 2) return 0;
  if (x == 2 || x == 3) return 1;
  if (x % 2 == 0) return 2;
  if (x % 3 == 0) return 3;
  const std::uint32_t b = trial_bound(x);
  if (b < 5) return 1;
  return static_cast<std::int32_t>(trial_divisor<std::uint32_t>(static_cast<std::uint32_t>(x), b));
}

std::uint32_t longg_is_prime(std::int32_t x0, std::int32_t x1, std::int32_t x2) {
  if (x0 < 0 || x1 < 0 || x2 < 0) {
    tavrin_error("longg_is_prime: negative limb.", false);
    return 0;
  }
  // Each term is below 2^63, so the sum cannot wrap in 64 bits.
  const std::uint64_t v = (std::uint64_t(x0) << 56) + (std::uint64_t(x1) << 28) + std::uint64_t(x2);
  if (v >> 63 != 0) {
    tavrin_error("longg_is_prime: value of 2^63 or more.", false);
    return 0;
  }
  if (v < 2) return 0;
  if (v == 2 || v == 3) return 1;
  if (x2 % 2 == 0) return 2;
  if (v % 3 == 0) return 3;
  const std::uint64_t b = static_cast<std::uint64_t>(std::sqrt(static_cast<long double>(v))) + 2;
  if (b < 5) return 1;
  // The smallest factor of a value below 2^63 is below 2^32.
  return static_cast<std::uint32_t>(trial_divisor<std::uint64_t>(v, b));
}

bool is_word_prime(std::uint32_t n) {
  if (n < 2) return false;
  for (std::uint32_t p : {2u, 3u, 5u, 7u, 11u, 13u, 61u})
    if (n % p == 0) return n == p;
  std::uint32_t d = n - 1;
  int s = 0;
  for (; d % 2 == 0; d /= 2) ++s;
  auto mulmod = [n](std::uint64_t a, std::uint64_t b) { return a * b % n; };
  for (std::uint64_t a : {2u, 7u, 61u}) {
    std::uint64_t x = 1, b = a;
    for (std::uint32_t e = d; e != 0; e >>= 1, b = mulmod(b, b))
      if (e & 1u) x = mulmod(x, b);
    if (x == 1 || x == n - 1) continue;
    bool witness = true;
    for (int r = 1; r < s && witness; ++r) {
      x = mulmod(x, x);
      witness = x != n - 1;
    }
    if (witness) return false;
  }
  return true;
}

std::uint32_t word_prime(std::size_t k, std::uint32_t top) {
  static std::vector<std::uint32_t> images;
  static std::map<std::uint32_t, std::vector<std::uint32_t>> lower;
  std::vector<std::uint32_t>& list = top == word_prime_top ? images : lower[top];
  while (list.size() <= k) {
    std::uint32_t c = list.empty() ? top : list.back();
    do --c;
    while (!is_word_prime(c));
    list.push_back(c);
  }
  return list[k];
}

std::int32_t nextprime(std::int32_t x) {
  std::int64_t y = (x & 1) != 0 ? std::int64_t{x} + 2 : std::int64_t{x} + 1;
  for (;; y += 2) {
    if (y < 2) continue;
    if (y == 3) return 3;
    if (y % 3 == 0) continue;
    const std::uint64_t b = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(y))) + 2;
    if (trial_divisor<std::uint64_t>(static_cast<std::uint64_t>(y), b) == 1)
      return static_cast<std::int32_t>(y);
  }
}

namespace {

void push_limb(numptr* np, std::int32_t v) {
  numptr l = new_limb();
  l->value = v;
  l->next = *np;
  *np = l;
}

}  // namespace

void prime_factors(std::int32_t x, numptr* np) {
  *np = nullptr;
  auto take = [&](std::int32_t d) {
    if (x % d != 0) return;
    push_limb(np, d);
    while (x % d == 0) x /= d;
  };
  take(2);
  take(3);
  const std::int32_t bound = static_cast<std::int32_t>(std::sqrt(static_cast<double>(x))) + 2;
  for (std::int32_t d = 5; d <= bound && x > 1; d += 6) {
    take(d);
    if (x > 1) take(d + 2);
  }
  if (x >= 2) push_limb(np, x);
}

void set_prime_quotients(numptr* qp, std::int32_t n) {
  prime_factors(n, qp);
  for (numptr l = *qp; l != nullptr; l = l->next) l->value = n / l->value;
}

std::int32_t rand_integer2() {
  const int r = std::rand();
  random_ext2 = r;
  return static_cast<std::int32_t>(r / two_thirty1 * 16384.0);
}

void seed_random(std::uint32_t seed) { std::srand(seed); }

std::int32_t rand_integer3() {
  const std::uint32_t v = static_cast<std::uint32_t>(rand_integer2());
  const std::uint32_t t = static_cast<std::uint32_t>(std::clock());
  return static_cast<std::int32_t>((v * t) / 1000u % 48871u);
}

}  // namespace tavrin
