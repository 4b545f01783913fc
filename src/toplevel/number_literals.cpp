#include "toplevel/number_literals.h"
#include "toplevel/tokens.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/base10.h"
#include "numbers/bigint.h"
#include "numbers/bigint_multiply.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/word_mod.h"
#include "poly/poly_images.h"
#include "quoly/quoly_quot.h"

namespace tavrin {

namespace {

using tokens::is_digit;

// The value of the decimal digits s[0 .. count) (count <= 8, s[0] the most
// significant); eight at once on a little-endian word: the digit pairs,
// then the fours, then the eight are joined by one product each.
std::uint32_t group_value(const char* s, std::size_t count) {
  if constexpr (std::endian::native == std::endian::little) {
    if (count == 8) {
      std::uint64_t v = 0;
      std::memcpy(&v, s, 8);
      v -= 0x3030303030303030;
      v = (v * 10 + (v >> 8)) & 0x00FF00FF00FF00FF;
      v = (v * 100 + (v >> 16)) & 0x0000FFFF0000FFFF;
      return static_cast<std::uint32_t>((v * 10000 + (v >> 32)) & 0xFFFFFFFF);
    }
  }
  std::uint32_t v = 0;
  for (std::size_t k = 0; k < count; ++k) v = v * 10 + static_cast<std::uint32_t>(s[k] - '0');
  return v;
}

// Appends a limb of value v at the tail of n.
void append_limb(imptr n, std::int32_t v) {
  numptr l = new_limb();
  l->value = v;
  l->next = nullptr;
  if (n->size == 0) {
    n->head = l;
  } else {
    n->tail->next = l;
  }
  n->tail = l;
  ++n->size;
}

// The digit chain of `digits` (most significant first) in n: groups of 8
// from the right, leading zero groups dropped; zero is one limb 0.
void make_digit_chain(const std::string& digits, imptr n) {
  special_free(n);
  std::size_t first = 0;
  while (first < digits.size() && digits[first] == '0') ++first;
  const std::size_t len = digits.size() - first;
  if (len == 0) {
    append_limb(n, 0);
    return;
  }
  std::size_t group = len % 8 == 0 ? 8 : len % 8;
  std::size_t pos = first;
  while (pos < digits.size()) {
    std::int32_t v = 0;
    for (std::size_t k = 0; k < group; ++k) v = v * 10 + (digits[pos + k] - '0');
    append_limb(n, v);
    pos += group;
    group = 8;
  }
}

// The big integer of the digit chain d into x (d's limbs are kept): on
// words from decimal_read_groups groups, else by Horner's rule on limbs.
void chain_to_big(imptr d, imptr x) {
  if (d->size >= decimal_read_groups) {
    static std::vector<std::uint32_t> groups;
    groups.clear();
    for (numptr l = d->head; l != nullptr; l = l->next)
      groups.push_back(static_cast<std::uint32_t>(l->value));
    number_of_groups(groups.data(), static_cast<std::int64_t>(groups.size()), x);
    return;
  }
  special_free(x);
  append_limb(x, 0);
  number step{};
  append_limb(&step, 0);
  numptr penult = nullptr;
  for (numptr l = d->head; l != nullptr; l = l->next) {
    simp_mult(x, x, ten_8, &penult);
    step.head->value = l->value;
    fastsum(x, &step);
  }
  special_free(&step);
}

// The value of the digit chain d in the form of the current mode, into x.
void chain_to_mode(imptr d, imptr x) {
  if (flotemode) {
    long double f = 0;
    for (numptr l = d->head; l != nullptr; l = l->next) f = f * 1e8L + l->value;
    x->flote = f;
    if (lintmode) x->lint = static_cast<std::int32_t>(f >= 2147483647.0L ? 2147483647 : f);
    return;
  }
  if (modularmode) {
    number big{};
    {
      BigModeGuard guard;
      chain_to_big(d, &big);
    }
    x->lint = 0;
    change_num(&big, true, false);
    x->lint = big.lint;
    return;
  }
  if (lintmode) {
    // Word arithmetic without a modulus (integer arguments read with
    // modular arithmetic off): a literal beyond 32 bits has no sound value
    // there, so it is refused rather than wrapped.
    std::uint64_t exact = 0;  // saturates at 2^32: only the threshold matters
    for (numptr l = d->head; l != nullptr; l = l->next) {
      exact = exact * 100000000u + static_cast<std::uint64_t>(l->value);
      if (exact > 0xFFFFFFFFull) exact = 0x100000000ull;
    }
    if (exact > 2147483647ull) abandon(exponent_too_large_error, &token);
    x->lint = static_cast<std::int32_t>(exact);
    if (exact >= 2147483646ull) {
      if (warn_cnt < literal_warning_limit) {
        std::printf(" *** Warning. overflow while reading constant.\n");
        std::fflush(stdout);
      }
      ++warn_cnt;
    }
    return;
  }
  chain_to_big(d, x);
}

// 10^d into x in the current mode, by square-and-multiply.
void power_of_ten(std::int32_t d, imptr x) {
  if (flotemode) {
    long double r = 1, b = 10;
    for (std::int32_t e = d; e > 0; e >>= 1, b *= b)
      if (e & 1) r *= b;
    x->flote = r;
    return;
  }
  if (modularmode) {
    std::int32_t r = 1 % modulus, b = 10 % modulus;
    for (std::int32_t e = d; e > 0; e >>= 1) {
      if (e & 1)
        r = mod_mult(static_cast<std::uint32_t>(r), static_cast<std::uint32_t>(b), modulus);
      b = mod_mult(static_cast<std::uint32_t>(b), static_cast<std::uint32_t>(b), modulus);
    }
    x->lint = r;
    return;
  }
  if (lintmode) {
    std::uint32_t r = 1, b = 10;
    for (std::int32_t e = d; e > 0; e >>= 1, b *= b)
      if (e & 1) r *= b;
    x->lint = static_cast<std::int32_t>(r);
    return;
  }
  special_free(x);
  append_limb(x, 1);
  number ten{};
  append_limb(&ten, 10);
  for (std::int32_t bit = 30; bit >= 0; --bit) {
    fast_mult(x, x, x);
    if ((d >> bit) & 1) fast_mult(x, &ten, x);
  }
  special_free(&ten);
}

// Appends the digits that follow at once on the current line (a digit
// token just read, nothing pending) and takes them from the stream, as
// the scanner would one token each; the ring of recent tokens gets the
// last of them. Not while a stored text is replayed.
void take_digit_run(textptr inf, nameptr* flag, std::string& digits) {
  if (*flag != nullptr || inf == nullptr || *inf == nullptr || leftover[0] != '\0') return;
  TextInput& in = **inf;
  const std::string_view rest = in.rest_of_line();
  std::size_t k = 0;
  while (k < rest.size() && is_digit(rest[k])) ++k;
  if (k == 0) return;
  digits.append(rest.substr(0, k));
  for (std::size_t i = k - std::min<std::size_t>(k, token_ring_size); i < k; ++i) {
    nametype name{};  // the ring copies a whole name
    name[0] = rest[i];
    record_token(name);
  }
  in.take(k);
}

}  // namespace

void readin(textptr inf, imptr n, nameptr* flag, std::int32_t* outcount) {
  std::string digits;
  while (is_digit(token.name[0])) {
    digits.push_back(token.name[0]);
    take_digit_run(inf, flag, digits);
    scanner(inf, &token, flag);
  }
  *outcount = static_cast<std::int32_t>(digits.size());
  make_digit_chain(digits, n);
}

void decimal_to_big(const std::string& digits, imptr x) {
  // Long literals go to groups straight from the text, without a chain.
  std::size_t first = 0;
  while (first < digits.size() && digits[first] == '0') ++first;
  const std::size_t len = digits.size() - first;
  if (len > 8 * static_cast<std::size_t>(std::max(decimal_read_groups - 1, 0))) {
    static std::vector<std::uint32_t> groups;
    groups.clear();
    std::size_t group = len % 8 == 0 ? 8 : len % 8;
    for (std::size_t pos = first; pos < digits.size(); pos += group, group = 8)
      groups.push_back(group_value(digits.data() + pos, group));
    number_of_groups(groups.data(), static_cast<std::int64_t>(groups.size()), x);
    return;
  }
  nodes::ScratchNumber chain;
  make_digit_chain(digits, chain.get());
  chain_to_big(chain.get(), x);
}

void new_readin(textptr inf, imptr n, nameptr* flag, std::int32_t* outcount) {
  nodes::ScratchNumber chain;  // the digit groups read, freed on every exit
  readin(inf, chain.get(), flag, outcount);
  chain_to_mode(chain.get(), n);
}

void get_decimal_part(quolyptr n, textptr inf, nameptr* flag) {
  scanner(inf, &token, flag);
  quoly_set(0, n);
  if (!is_digit(token.name[0])) {
    error(digit_expected_error, &token);
    return;
  }
  std::int32_t d = 0;
  new_readin(inf, (*n)->ncoef, flag, &d);
  quoly q = nullptr;
  {
    nodes::OwnedValue den;
    quoly_set(0, den.cell());
    power_of_ten(d, den.get()->ncoef);
    // A true quotient m / 10^d, also where integer evaluation truncates.
    ScopedValue<bool> exact(integerflag, false);
    quoly_quot(*n, den.get(), &q, false);
  }
  free_quoly(n);
  *n = q;
}

}  // namespace tavrin
