// The display of numbers and values: what is written equals an independent
// decimal conversion, long numbers break only between 8-digit groups, and
// the small forms (alignment, fractions, residues) are exact.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "toplevel/display.h"
#include "toplevel/state.h"
#include "frontend/settings.h"
#include "support/bigref.h"
#include "support/data_tables.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/poly_support.h"

namespace tavrin::test {
namespace {

// What quoly_display writes to a stream of its own (terminal form or file
// form as `tty` says), complete display, ";" as the end token.
std::string shown(quoly v, bool tty) {
  std::int32_t length = 0;
  return stream_text([&](std::FILE* f) {
    quoly_display(f, v, &length, &semicolon, nullptr,
                  {.to_terminal = tty, .complete = true, .linend = true});
  });
}

// The rational number a / b as a value (b > 1, coprime to a).
Value rational(const BigRef& a, const BigRef& b) {
  quoly q;
  newquoly(&q);
  q->next = nullptr;
  q->numb = false;
  q->numer = make_leaf(a);
  q->denom = make_leaf(b);
  q->rat = true;
  return Value::adopt(q);
}

std::string without(std::string s, const std::string& piece) {
  for (std::size_t at = s.find(piece); at != std::string::npos; at = s.find(piece, at))
    s.erase(at, piece.size());
  return s;
}

std::string without_blanks(const std::string& s) { return without(s, " "); }

// The digits written after the point: floor(|a rem b| * 10^(8 disp_size) / b),
// zero-padded to 8 disp_size digits.
std::string fraction_digits(const BigRef& a, const BigRef& b) {
  BigRef q, r;
  divmod(a, b, q, r);
  BigRef scale = 1;
  for (int k = 0; k < 8 * disp_size; ++k) scale = scale * 10;
  std::string d = (r.abs() * scale / b).to_decimal();
  return std::string(static_cast<std::size_t>(8 * disp_size) - d.size(), '0') + d;
}

// The terminal form of an integer: the first group right-aligned after a
// sign column, the others of 8 digits; a line break is " `" at the end of a
// line and one blank at the start of the next, between two groups only.
void check_terminal_integer(const BigRef& x, const std::string& out) {
  SCOPED_TRACE(x.to_decimal());
  ASSERT_FALSE(out.empty());
  ASSERT_EQ(out.back(), '\n');
  const std::string decimal = x.abs().to_decimal();
  const std::size_t first_group = (decimal.size() - 1) % 8 + 1;
  std::string joined;
  std::size_t begin = 0;
  int line = 0;
  while (begin < out.size()) {
    const std::size_t end = out.find('\n', begin);
    std::string text = out.substr(begin, end - begin);
    const bool last = end + 1 == out.size();
    if (line > 0) {
      ASSERT_EQ(text.rfind(" ", 0), 0u) << "a continued line starts with a blank";
      text.erase(0, 1);
    }
    if (!last) {
      ASSERT_GE(text.size(), 2u);
      ASSERT_EQ(text.substr(text.size() - 2), " `") << "a broken line ends with the continuation";
      text.erase(text.size() - 2);
    }
    EXPECT_LE(text.size(), 90u);
    std::string digits = without_blanks(without(text, "-"));
    const std::size_t counted = line == 0 ? digits.size() - first_group : digits.size();
    EXPECT_EQ(counted % 8, 0u) << "breaks fall between groups of 8 digits";
    joined += text;
    begin = end + 1;
    ++line;
  }
  // The first group sits right-aligned in 8 columns after its sign column.
  const std::string head = std::string(8 - first_group, ' ') + (x.negative() ? "-" : " ");
  ASSERT_EQ(joined.substr(0, head.size()), head);
  EXPECT_EQ(joined.substr(head.size()), decimal);
}

// The file form: no newline inside the number, the end token after it; once
// the line is full every further group is preceded by a blank.
void check_file_integer(const BigRef& x, const std::string& out) {
  SCOPED_TRACE(x.to_decimal());
  ASSERT_GE(out.size(), 2u);
  ASSERT_EQ(out.substr(out.size() - 2), ";\n");
  const std::string body = out.substr(0, out.size() - 2);
  EXPECT_EQ(body.find('\n'), std::string::npos);
  const std::size_t start = body.find_first_not_of(' ');
  const std::string number = body.substr(start);
  EXPECT_EQ(without_blanks(number), x.to_decimal());
  std::size_t blank = number.find(' ');
  if (blank != std::string::npos) {
    for (std::size_t at = blank; at < number.size(); at += 9) {
      EXPECT_EQ(number[at], ' ');
      EXPECT_EQ(number.substr(at + 1, 8).find_first_not_of("0123456789"), std::string::npos);
    }
    EXPECT_EQ((number.size() - blank) % 9, 0u);
  }
}

// Integers of 1 to 2000 limbs and rational numbers, both signs, at the
// terminal and in a file, against the reference's decimal conversion.
TEST(Display, NumbersAgainstAnIndependentDecimalConversion) {
  load_data_tables();
  BigModeGuard big;
  std::mt19937_64 rng(test_seed());
  NodeBalance balance;
  for (int round = 0; round < test_iterations(60); ++round) {
    const int limbs =
        round < 6 ? 2000 - round : 1 + static_cast<int>(rng() % (round % 4 == 0 ? 400 : 20));
    const BigRef x = random_big_exact(rng, limbs);
    Value v = Value::number(x);
    check_terminal_integer(x, shown(v, true));
    check_file_integer(x, shown(v, false));

    BigRef b = random_big(rng, 1 + static_cast<int>(rng() % 30)).abs() + 2;
    BigRef a = random_big(rng, 1 + static_cast<int>(rng() % 30));
    const BigRef g = BigRef::gcd(a, b);
    a = a / g;
    b = b / g;
    if (b == 1) b = b + 1;
    Value r = rational(a, b);
    BigRef q, rem;
    divmod(a, b, q, rem);
    const std::string quotient = (q.is_zero() && a.negative() ? "-" : "") + q.to_decimal();
    const std::string terminal = shown(r, true);
    SCOPED_TRACE(a.to_decimal() + " / " + b.to_decimal());
    EXPECT_EQ(without_blanks(without(terminal, " `\n")), a.to_decimal() + "/" + b.to_decimal() +
                                                             ";or" + quotient + "." +
                                                             fraction_digits(a, b) + "\n");
    const std::string file = shown(r, false);
    EXPECT_EQ(file.find('\n'), file.size() - 1);
    EXPECT_EQ(without_blanks(file), a.to_decimal() + "/" + b.to_decimal() + ";\n");
  }
  balance.expect_balanced();
}

// The display size the program starts with (5 groups of 8 digits) for a
// scope: a return to rational arithmetic in an earlier test leaves 4.
class StartupDisplaySize {
 public:
  StartupDisplaySize() { set(5); }
  ~StartupDisplaySize() { set(old_); }
  StartupDisplaySize(const StartupDisplaySize&) = delete;
  StartupDisplaySize& operator=(const StartupDisplaySize&) = delete;

 private:
  static void set(std::int32_t size) {
    const tokentipe current = token;  // calc_disp leaves "@" current
    BigModeGuard big;
    calc_disp(false, size);
    token = current;
  }
  std::int32_t old_ = disp_size;
};

// The fixed forms at the terminal, as the command loop shows them (a blank
// before a non-numeric value since the prompt is not empty).
TEST(Display, KnownForms) {
  load_data_tables();
  const StartupDisplaySize size;
  auto top = [](quoly v) {
    testing::internal::CaptureStdout();
    std::int32_t length = 0;
    quoly_display(stdout, v, &length, &semicolon, nullptr, result_display);
    return testing::internal::GetCapturedStdout();
  };
  {
    BigModeGuard big;
    EXPECT_EQ(top(Value::number(7)), "        7\n");
    EXPECT_EQ(top(Value::number(0)), "        0\n");
    EXPECT_EQ(top(Value::number(BigRef::from_decimal("-123456789012"))), "    -123456789012\n");
    EXPECT_EQ(top(rational(2, 3)), " 2 / 3;  or  0.6666666666666666666666666666666666666666\n");
    EXPECT_EQ(top(rational(-1, 3)), " -1 / 3;  or  -0.3333333333333333333333333333333333333333\n");
    EXPECT_EQ(top(rational(1, 1000000000)),
              " 1 / 1000000000;  or  0.00000000 10000000000000000000000000000000\n");
    EXPECT_EQ(top(rational(22, 7)), " 22 / 7;  or  3.1428571428571428571428571428571428571428\n");
    ScopedValue<std::int32_t> no_digits(disp_size, 0);
    EXPECT_EQ(top(rational(2, 3)), " 2 / 3\n");
  }
  {
    ModulusScope mod7(7);
    Value five = Value::number(5);
    Value six = Value::number(6);
    EXPECT_EQ(top(five), "-2\n");
    EXPECT_EQ(top(six), "-1\n");
    ScopedValue<bool> plain(alt_form_display, false);
    EXPECT_EQ(top(five), "5\n");
  }
  {
    BigModeGuard big;
    Value a = Value::number(65);
    testing::internal::CaptureStdout();
    std::int32_t length = 0;
    quoly_display(stdout, a, &length, &semicolon, nullptr,
                  {.to_terminal = true,
                   .complete = true,
                   .linend = true,
                   .leadoff = true,
                   .char_flag = true});
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "A\n") << "the character of its code";
    length = 30;
    testing::internal::CaptureStdout();
    quoly_display(stdout, rational(2, 3), &length, &semicolon, nullptr, {.linend = true});
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "2 / 3;\n") << "an item of a file";
    EXPECT_EQ(length, 4);
  }
  {
    ModulusScope mod7(7);
    Value five = Value::number(5);
    testing::internal::CaptureStdout();
    std::int32_t length = 0;
    display(stdout, true, false, five->ncoef, &length, true);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "- 2") << "a separated minus sign";
    EXPECT_EQ(length, 1) << "the \"- \" is not counted";
  }
  {
    ArithModeGuard modes;
    flotemode = true;
    Value third;
    fl_quoly_set(1.0L / 3.0L, third.cell());
    EXPECT_EQ(top(third), "0.33333333333333333334\n");
  }
}

// Running lengths and the line checks: the break of each output form, the
// cut-back of adjlength near the width, and the limited indentation.
TEST(Display, LineChecks) {
  load_data_tables();
  auto run = [](auto&& body) { return stream_text(body); };
  std::int32_t length = 76, lines = 0;
  EXPECT_EQ(run([&](std::FILE* f) { checklength(f, true, &length, &lines); }), " `\n");
  EXPECT_EQ(length, 0);
  EXPECT_EQ(lines, 1);
  length = 75;
  EXPECT_EQ(run([&](std::FILE* f) { checklength(f, true, &length, &lines); }), "");
  length = 80;
  EXPECT_EQ(run([&](std::FILE* f) { checklength(f, false, &length, &lines); }), "\n");
  {
    ScopedValue<bool> ugly(uglyprint, true);
    length = 76;
    EXPECT_EQ(run([&](std::FILE* f) { checklength320(f, false, &length); }), "`\n");
    EXPECT_EQ(run([&](std::FILE* f) { blank_space(f, &length); }), "");
  }
  length = 60;
  adjlength(&length, 3);
  EXPECT_EQ(length, 63);
  length = 68;
  adjlength(&length, 3);
  EXPECT_EQ(length, 76);
  EXPECT_EQ(run([](std::FILE* f) { doblanks(f, 5); }), "     ");
  EXPECT_EQ(run([](std::FILE* f) { doblanks(f, 73); }), std::string(64, ' '));
  EXPECT_EQ(run([](std::FILE* f) { doblanks(f, -2); }), "");
}

}  // namespace
}  // namespace tavrin::test
