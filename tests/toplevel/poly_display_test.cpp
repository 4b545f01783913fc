// The display of polynomials: known forms of the nested and monomial-list
// writers, the cut-off of long terminal output, and a round trip of random
// values: the text shown is read back by the reference parser and, typed
// back as a statement, gives the same value.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "poly/poly_repr.h"
#include "poly/poly_upcalls.h"
#include "toplevel/charsets.h"
#include "toplevel/dispatch.h"
#include "toplevel/display.h"
#include "toplevel/poly_display.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "lang/variables.h"
#include "support/data_tables.h"
#include "support/modulus_scope.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/relation_scope.h"
#include "support/statements.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

// What quoly_display writes for v over the adjoined variables: a complete
// display at the terminal or in a file; the extra line to standard output
// is dropped.
std::string shown(quoly v, bool tty) {
  std::int32_t length = 0;
  return stream_text([&](std::FILE* f) {
    output_of([&] {
      quoly_display(f, v, &length, &semicolon, polynames, {.to_terminal = tty, .complete = true});
    });
  });
}

// A value numer / denom over the adjoined variables, normalised with the
// current Laurent setting.
Value value_of(const std::string& numer, const std::string& denom = "") {
  Value v = Value::ratfun(numer, denom);
  check_quoly(v.cell(), laurent);
  return v;
}

struct DisplaySettings {
  bool ugly = false, monomials = false, laur = false;
};

class Settings {
 public:
  explicit Settings(DisplaySettings s)
      : ugly_(uglyprint), monomials_(monomial_list), laur_(laurent) {
    uglyprint = s.ugly;
    monomial_list = s.monomials;
    laurent = s.laur;
  }
  ~Settings() {
    uglyprint = ugly_;
    monomial_list = monomials_;
    laurent = laur_;
  }

 private:
  bool ugly_, monomials_, laur_;
};

TEST(PolyDisplay, KnownForms) {
  load_data_tables();
  BigModeGuard big;
  struct Case {
    std::vector<std::string> vars;
    DisplaySettings settings;
    const char* numer;
    const char* denom;
    const char* expected;  // the terminal form, without its line end
  };
  const std::vector<Case> cases = {
      {{"x", "y"}, {}, "3*x^2 + (y + 1)*x - 5", "", "3x^2 + (y + 1)x - 5"},
      {{"x", "y"}, {true}, "3*x^2 + (y + 1)*x - 5", "", "3*x^2+(y+1)*x-5"},
      {{"x", "y"}, {}, "3*x^2 - (y + 1)*x", "", "3x^2 + (-y - 1)x"},
      {{"x", "y"}, {}, "3*x^2*y - x*y + 5", "", "(3y)x^2 + (-y)x + 5"},
      {{"x", "y"}, {false, true}, "3*x^2*y - x*y + 5", "", "3*y*x^2 - y*x + 5 "},
      {{"x", "y"}, {true, true}, "3*x^2*y - x*y + 5", "", "3*y*x^2-y*x+5"},
      {{"x", "y"}, {}, "y^2 - 1", "", "y^2 - 1"},
      {{"x", "y"}, {}, "-x*y - x + y", "", "(-y - 1)x + y"},
      {{"x"}, {}, "-x", "", "-x"},
      {{"x"}, {}, "x^2 - x", "", "x^2 - x"},
      {{"x"}, {}, "-x^2 + x - 1", "", "-x^2 + x - 1"},
      {{"x"}, {false, true}, "x^2 + 2*x + 1", "", "x^2 + 2x + 1"},
      {{"x"}, {}, "x + 1", "x - 1", "( x + 1 ) / ( x - 1 )"},
      {{"x"}, {true}, "x + 1", "x - 1", "(x+1)/(x-1)"},
      {{"x"}, {}, "1", "x", "1 / x"},
      {{"x"}, {false, false, true}, "x^3 + x^2 + 1", "x^2", "x + 1 + x^-2"},
      {{"x"}, {true, false, true}, "x^3 + x^2 + 1", "x^2", "x+1+x^(-2)"},
      {{"x"}, {false, false, true}, "x + 1", "x^2", "x^-1 + x^-2"},
      {{"x", "y"}, {false, true, true}, "y + x^2", "x", "x + y*x^-1 "},
      {{"x", "y", "z"}, {}, "x*y*z - 2*z + 7", "", "((z)y)x - 2z + 7"},
      {{"x", "y", "z"}, {false, true}, "x*y*z - 2*z + 7", "", "z*y*x - 2*z + 7 "},
  };
  for (const Case& c : cases) {
    PolyVars vars(c.vars);
    Settings settings(c.settings);
    Value v = value_of(c.numer, c.denom);
    EXPECT_EQ(shown(v, true), std::string(c.expected) + "\n") << c.numer << " / " << c.denom;
  }
  // Residues in the symmetric range, or as they are.
  PolyVars vars({"x"});
  ModulusScope mod(7);
  Value v = value_of("x^2 + 6*x + 5");
  EXPECT_EQ(shown(v, true), "x^2 - x - 2\n");
  alt_form_display = false;
  EXPECT_EQ(shown(v, true), "x^2 + 6x + 5\n");
  alt_form_display = true;
}

TEST(PolyDisplay, LongOutputIsCutOffAtTheTerminalOnly) {
  load_data_tables();
  BigModeGuard big;
  PolyVars vars({"x"});
  Value v = value_of("(x + 1)^1000");
  std::int32_t length = 0;
  std::string message;
  const std::string terminal = stream_text([&](std::FILE* f) {
    message = output_of([&] {
      quoly_display(f, v, &length, &semicolon, polynames, {.to_terminal = true, .complete = true});
    });
  });
  EXPECT_EQ(message.find("   ... more output suppressed ... \n"), 0u) << message;
  EXPECT_EQ(message.find("suppressed", 20), std::string::npos) << "one message a value";
  std::size_t lines = 0;
  for (char c : terminal) lines += c == '\n';
  EXPECT_GE(lines, 148u);
  EXPECT_LE(lines, 152u);
  EXPECT_EQ(terminal.find("x^1000 + 1000x^999 + 499500x^998"), 0u);

  // In a file the whole value is written, in parentheses, every line end a
  // plain one.
  const std::string file = shown(v, false);
  EXPECT_EQ(file.rfind("( x^1000 + 1000x^999", 0), 0u);
  EXPECT_EQ(file.substr(file.size() - 9), "x + 1 );\n");
  EXPECT_EQ(file.find('`'), std::string::npos);
}

TEST(PolyDisplay, RawDumpsAndTheVariableList) {
  load_data_tables();
  BigModeGuard big;
  PolyVars vars({"x", "y"});
  Value v = value_of("3*x^2*y + 5");
  EXPECT_EQ(stream_text([&](std::FILE* f) { crude_poly_disp(f, true, v->numer, 1, polynames); }),
            "x: 2 *5 \n    y: 1 \n         : *3 \n     **\n");
  EXPECT_FALSE(uglyprint) << "the dump restores the display style";
  EXPECT_EQ(output_of([] { epolylist(); }), " y; x;\n");
  {
    // The node listing: a number's residue, or "skipped" for a coefficient
    // that is no number.
    ModulusScope mod(97);
    Value w = value_of("3*x^2 + (y + 1)*x - 2");
    EXPECT_EQ(output_of([&] { special_print_poly(&w->numer); }),
              "val 3, 2\nval skipped, 1\nval 95, 0\n");
  }
  ModOutScope relation(vars, 2, "y^3 - 2", true);
  EXPECT_EQ(output_of([] { epolylist(); }),
            " y;  subject to a poly of degree 3. This creates a field.\n x;\n");
}

// ---- Round trip --------------------------------------------------------------------------

// The text of a displayed value made readable by the reference parser: line
// breaks joined (a number broken between two digit groups runs on), "*" put
// between juxtaposed factors, "^(-k)" as "^-k".
std::string for_reference(const std::string& s) {
  auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
  std::string joined;
  for (std::size_t k = 0; k < s.size(); ++k) {
    if (s.compare(k, 2, "`\n") == 0) {
      while (!joined.empty() && joined.back() == ' ') joined.pop_back();
      k += 2;
      if (k < s.size() && s[k] == ' ') ++k;
      if (!(k < s.size() && !joined.empty() && digit(joined.back()) && digit(s[k]))) joined += ' ';
      --k;
      continue;
    }
    joined += s[k] == '\n' ? ' ' : s[k];
  }
  std::string out;
  char last = '\0';  // the last character that is not a blank
  for (std::size_t k = 0; k < joined.size(); ++k) {
    const char c = joined[k];
    if (c == '(' && k + 1 < joined.size() && joined[k + 1] == '-' && last == '^') {
      const std::size_t close = joined.find(')', k);
      out += joined.substr(k + 1, close - k - 1);
      last = out.back();
      k = close;
      continue;
    }
    if ((std::isalpha(static_cast<unsigned char>(c)) || c == '(') && (digit(last) || last == ')'))
      out += '*';
    out += c;
    if (c != ' ') last = c;
  }
  return out;
}

// Strips blanks and enclosing parentheses.
std::string unwrapped(std::string s) {
  while (!s.empty() && s.front() == ' ') s.erase(0, 1);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  if (s.size() < 2 || s.front() != '(' || s.back() != ')') return s;
  int depth = 0;
  for (std::size_t k = 0; k + 1 < s.size(); ++k) {
    depth += s[k] == '(' ? 1 : s[k] == ')' ? -1 : 0;
    if (depth == 0) return s;  // the first "(" closes before the end
  }
  return unwrapped(s.substr(1, s.size() - 2));
}

// Runs one statement in-process, read as from a file (line ends are white
// space); its value.
Value statement_value(const std::string& text) {
  ScopedValue<bool> file_input(tt_flag, false);
  quoly value = nullptr;
  bool unwound = false;
  const std::string out = parse_statement(text, &value, &unwound);
  EXPECT_FALSE(unwound) << text << "\n" << out;
  return Value::adopt(value);
}

TEST(PolyDisplay, RandomValuesReadBackAsThemselves) {
  load_data_tables();
  init_character_sets();
  make_token_ring();
  BigModeGuard big;
  std::mt19937_64 rng(24);
  const std::vector<std::string> names = {"x", "y", "z", "w"};
  const int rounds = 500;
  int checked = 0;
  for (int round = 0; round < rounds; ++round) {
    const int nvars = 2 + static_cast<int>(rng() % 3);
    PolyVars vars(std::vector<std::string>(names.begin(), names.begin() + nvars));
    DisplaySettings s{rng() % 2 == 0, rng() % 2 == 0, rng() % 2 == 0};
    Settings settings(s);
    RefPoly numer = random_refpoly(rng, nvars, 6, 4, 2);
    if (numer.is_zero()) numer = RefPoly::constant(nvars, BigRef(3));
    RefPoly denom = RefPoly::constant(nvars, BigRef(1));
    if (rng() % 2 == 0) {
      denom = random_refpoly(rng, nvars, 3, 3, 1);
      if (denom.is_zero()) denom = RefPoly::constant(nvars, BigRef(2));
      if (s.laur) denom = denom * RefPoly::variable(nvars, static_cast<int>(rng() % nvars), 2);
    }
    Value v = value_of(numer.to_string(vars.names()), denom.to_string(vars.names()));
    if (v->numb || v->rat) continue;
    ++checked;
    const std::string text = shown(v, true);
    ASSERT_EQ(text.back(), '\n');
    const std::string body = text.substr(0, text.size() - 1);
    const std::size_t slash = body.find('/');
    const std::string numer_text = unwrapped(body.substr(0, slash));
    SCOPED_TRACE(body);
    EXPECT_EQ(parse_ref(for_reference(numer_text), vars.names()), read_poly(v->numer));
    if (v->denom == nullptr) {
      EXPECT_EQ(slash, std::string::npos);
    } else {
      ASSERT_NE(slash, std::string::npos);
      EXPECT_EQ(parse_ref(for_reference(unwrapped(body.substr(slash + 1))), vars.names()),
                read_poly(v->denom));
    }
    // Typed back: the difference is 0.
    tokentipe name = {"shown", -1};
    quoly copy = nullptr;
    quoly_assign(v, &copy);
    varptr record = nullptr;
    insert_var(&name, copy, &record);
    Value difference = statement_value("shown - (" + body + ");\n");
    ASSERT_NE(difference.get(), nullptr);
    EXPECT_TRUE(difference->numb && quoly_iszero(difference)) << value_text(difference);
  }
  EXPECT_GT(checked, rounds * 3 / 4);
  tokentipe name = {"shown", -1};
  quoly zero = nullptr;
  quoly_set(0, &zero);
  varptr record = nullptr;
  insert_var(&name, zero, &record);
}

}  // namespace
}  // namespace tavrin::test
