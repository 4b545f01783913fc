// Number literals: the digit chain, the value in every mode, the decimal
// fraction, and the word-mode overflow warning.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/error_codes.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/base10.h"
#include "numbers/freelists.h"
#include "toplevel/charsets.h"
#include "toplevel/number_literals.h"
#include "toplevel/scanner.h"
#include "support/bigref.h"
#include "support/modulus_scope.h"
#include "support/num.h"
#include "support/output_capture.h"
#include "support/poly_support.h"

namespace tavrin::test {
namespace {

// Reads text as a stream whose first token is current.
struct Source {
  TextInput in;
  FILEPtr stream = &in;
  explicit Source(const std::string& text) : in(text) {
    init_character_sets();
    leftover[0] = '\0';
    scanner(&stream, &token, &zilch);
  }
};

constexpr std::int32_t never = std::numeric_limits<std::int32_t>::max();

std::vector<std::int32_t> chain_limbs(const number& n) {
  std::vector<std::int32_t> v;
  for (numptr l = n.head; l != nullptr; l = l->next) v.push_back(l->value);
  return v;
}

// The digit chain and the count of digits read, and the token after the run.
TEST(NumberLiterals, DigitChainsOfKnownRuns) {
  struct Case {
    const char* text;
    std::vector<std::int32_t> limbs;
    std::int32_t count;
  } const cases[] = {
      {"00000000123;", {123}, 11},
      {"0;", {0}, 1},
      {"00000000;", {0}, 8},
      {"123456789;", {1, 23456789}, 9},
      {"12345678;", {12345678}, 8},
      {"1234567890123456;", {12345678, 90123456}, 16},
      {"000000001000000000000000;", {10000000, 0}, 24},
      {"12a", {12}, 2},
  };
  for (const Case& c : cases) {
    Source s(c.text);
    number chain{};
    std::int32_t count = 0;
    readin(&s.stream, &chain, &zilch, &count);
    EXPECT_EQ(chain_limbs(chain), c.limbs) << c.text;
    EXPECT_EQ(count, c.count) << c.text;
    EXPECT_EQ(chain.size, static_cast<std::int32_t>(c.limbs.size())) << c.text;
    EXPECT_STRNE(token.name, "0") << "the run is read to its end";
    special_free(&chain);
  }
}

// The names in the ring of recent tokens, oldest first.
std::vector<std::string> ring_names() {
  std::vector<std::string> names;
  if (finish == nullptr) return names;
  for (nameptr p = start;; p = p->next) {
    names.emplace_back(p->let.name);
    if (p == finish) break;
  }
  return names;
}

// A run of digits taken from the line at once gives the chain, the count,
// the next token and the ring of recent tokens that reading it one token a
// digit gives: the same digits with blanks between them (no run).
TEST(NumberLiterals, DigitRunsReadAsTokenByToken) {
  std::mt19937_64 rng(test_seed() + 31);
  for (const std::size_t len : {1, 2, 59, 60, 61, 200, 3000}) {
    std::string digits(len, '0');
    for (char& c : digits) c = static_cast<char>('0' + rng() % 10);
    std::string spaced;
    for (const char c : digits) spaced += std::string(1, c) + " ";
    for (const std::string& tail : {std::string(";"), std::string("x:"), std::string("\n5;")}) {
      std::vector<std::int32_t> limbs[2];
      std::vector<std::string> rings[2];
      std::string next[2];
      std::int32_t counts[2] = {0, 0};
      for (int k = 0; k < 2; ++k) {
        make_token_ring();
        Source s((k == 0 ? digits : spaced) + tail);
        number chain{};
        readin(&s.stream, &chain, &zilch, &counts[k]);
        limbs[k] = chain_limbs(chain);
        rings[k] = ring_names();
        next[k] = token.name;
        special_free(&chain);
      }
      SCOPED_TRACE(std::to_string(len) + " digits");
      EXPECT_EQ(limbs[0], limbs[1]);
      EXPECT_EQ(counts[0], counts[1]);
      if (tail == ";") {
        EXPECT_EQ(counts[0], static_cast<std::int32_t>(len));
      }
      EXPECT_EQ(next[0], next[1]);
      EXPECT_EQ(rings[0], rings[1]);
    }
  }
}

// Random digit runs (leading zeros included) read as big integers equal the
// reference's decimal reading; modulo primes they are the reference residue;
// in floating mode the nearest long double of short runs.
TEST(NumberLiterals, RandomRunsInEveryMode) {
  std::mt19937_64 rng(test_seed());
  for (int k = 0; k < test_iterations(300); ++k) {
    const int zeros = static_cast<int>(rng() % 12);
    const int digits = 1 + static_cast<int>(rng() % 90);
    std::string text(static_cast<std::size_t>(zeros), '0');
    for (int d = 0; d < digits; ++d) text += static_cast<char>('0' + rng() % 10);
    const BigRef value = BigRef::from_decimal(text.substr(static_cast<std::size_t>(zeros)));
    std::int32_t count = 0;
    {
      BigModeGuard big;
      Source s(text + ";");
      imptr n = nullptr;
      newimag(&n);
      n->size = 0;
      new_readin(&s.stream, n, &zilch, &count);
      EXPECT_EQ(number_value(n), value) << text;
      EXPECT_TRUE(valid_bigint(n)) << text;
      EXPECT_EQ(count, zeros + digits);
      free_imag(&n);
    }
    for (std::int32_t p : {7, 65521, 2147483629}) {
      ModulusScope mod(p);
      Source s(text + ";");
      number n{};
      new_readin(&s.stream, &n, &zilch, &count);
      EXPECT_EQ(BigRef(n.lint), ((value % BigRef(p)) + BigRef(p)) % BigRef(p))
          << text << " mod " << p;
    }
    if (digits <= 15) {
      ArithModeGuard keep;
      flotemode = true;
      Source s(text + ";");
      number n{};
      new_readin(&s.stream, &n, &zilch, &count);
      EXPECT_EQ(n.flote, static_cast<long double>(value.to_int64())) << text;
    }
  }
}

// Digits after the point: m / 10^d exactly, reduced; a letter is error 341.
TEST(NumberLiterals, DecimalFractions) {
  BigModeGuard big;
  struct Case {
    const char* text;
    std::int64_t num, den;
  } const cases[] = {
      {".25;", 1, 4}, {".5;", 1, 2}, {".0;", 0, 1}, {".000125;", 1, 8000}, {".10;", 1, 10}};
  for (const Case& c : cases) {
    Source s(c.text);
    quoly q = nullptr;
    get_decimal_part(&q, &s.stream, &zilch);
    if (c.den == 1) {
      ASSERT_TRUE(q->numb) << c.text;
      EXPECT_EQ(number_value(q->ncoef), BigRef(c.num)) << c.text;
    } else {
      ASSERT_FALSE(q->numb) << c.text;
      EXPECT_EQ(number_value(q->numer->ncoef), BigRef(c.num)) << c.text;
      EXPECT_EQ(number_value(q->denom->ncoef), BigRef(c.den)) << c.text;
    }
    free_quoly(&q);
  }
  {
    ModulusScope mod(7);
    Source s(".5;");  // 5 / 10 = 1/2 = 4 modulo 7
    quoly q = nullptr;
    get_decimal_part(&q, &s.stream, &zilch);
    ASSERT_TRUE(q->numb);
    EXPECT_EQ(q->ncoef->lint, 4);
    free_quoly(&q);
  }
  Source s(".x;");
  quoly q = nullptr;
  bool unwound = false;
  const std::string out = output_of([&] { get_decimal_part(&q, &s.stream, &zilch); }, &unwound);
  EXPECT_TRUE(unwound);
  EXPECT_TRUE(reports(out, 341)) << out;
  free_quoly(&q);
}

// Long literals on words against Horner's rule on limbs (the base case),
// with the word conversion's split pushed to its extremes, across the
// reading threshold; the longest number comes back from its own digits,
// and one digit more is error 302 with the target untouched.
TEST(NumberLiterals, LongLiteralsOnWordsAgreeWithHornersRule) {
  BigModeGuard big;
  std::mt19937_64 rng(test_seed() + 7);
  auto read = [](const std::string& text, std::int32_t from, Num& x) {
    ScopedValue<std::int32_t> route(decimal_read_groups, from);
    decimal_to_big(text, x);
  };
  for (std::int32_t split : {4, 5, 12}) {
    ScopedValue<std::int32_t> words(wide_decimal_words, split);
    for (int i = 0; i < test_iterations(60); ++i) {
      const int len = 1 + static_cast<int>(rng() % (i % 4 == 0 ? 2500 : 60));
      std::string text(static_cast<std::size_t>(rng() % 3 == 0 ? rng() % 20 : 0), '0');
      const int shape = static_cast<int>(rng() % 4);
      for (int d = 0; d < len; ++d)
        text += shape == 0   ? '9'
                : shape == 1 ? (d == 0 ? '1' : '0')
                             : static_cast<char>('0' + rng() % 10);
      SCOPED_TRACE(text);
      Num wide, base;
      read(text, 1, wide);
      read(text, never, base);
      ASSERT_TRUE(valid_bigint(wide));
      ASSERT_EQ(limbs_of(wide), limbs_of(base));
      if (len < 400) {
        ASSERT_EQ(wide.value(), BigRef::from_decimal(text));
      }
    }
  }
  Num longest(BigRef::pow2(28 * 32767) - BigRef(1)), groups, back;
  verybig_base_10(longest->head, longest->tail, static_cast<std::int16_t>(longest->size), groups);
  std::string text = std::to_string(groups->head->value);
  for (numptr l = groups->head->next; l != nullptr; l = l->next) {
    const std::string g = std::to_string(l->value);
    text += std::string(8 - g.size(), '0') + g;
  }
  read(text, 1, back);
  ASSERT_EQ(limbs_of(back), limbs_of(longest));
  bool unwound = false;
  const std::string out = output_of([&] { read(text + "0", 1, back); }, &unwound);
  EXPECT_TRUE(unwound && reports(out, number_too_long_error));
  EXPECT_EQ(limbs_of(back), limbs_of(longest));
}

// Word arithmetic: 2147483645 reads silently, 2147483646 and 2147483647
// warn (at most 30 warnings in a statement); a literal beyond 32 bits is
// error 32, never a wrapped word.
TEST(NumberLiterals, WordOverflowWarnsThirtyTimesAStatement) {
  ArithModeGuard keep;
  ScopedValue<std::int32_t> warnings(warn_cnt, 0);
  flotemode = false;
  modularmode = false;
  lintmode = true;
  const std::string warning = " *** Warning. overflow while reading constant.\n";
  auto read = [](const char* text) {
    Source s(text);
    number n{};
    std::int32_t count = 0;
    new_readin(&s.stream, &n, &zilch, &count);
    return n.lint;
  };
  std::int32_t v = 0;
  EXPECT_EQ(output_of([&] { v = read("2147483645;"); }), "");
  EXPECT_EQ(v, 2147483645);
  EXPECT_EQ(output_of([&] { v = read("2147483646;"); }), warning);
  EXPECT_EQ(v, 2147483646);
  EXPECT_EQ(output_of([&] { v = read("2147483647;"); }), warning);
  EXPECT_EQ(v, 2147483647);
  for (const char* beyond : {"2147483648;", "4294967297;", "100000000000000000000;"}) {
    bool unwound = false;
    const std::string out = output_of([&] { read(beyond); }, &unwound);
    EXPECT_TRUE(unwound) << beyond;
    EXPECT_TRUE(reports(out, 32)) << beyond << out;
  }
  warn_cnt = 29;
  EXPECT_EQ(output_of([&] { read("2147483646;"); }), warning);
  EXPECT_EQ(output_of([&] { read("2147483646;"); }), "") << "the 31st is silent";
}

}  // namespace
}  // namespace tavrin::test
