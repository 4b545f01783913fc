// Reading written-out values back: random polynomials and rational
// functions displayed in the file form and read by quoly_readin give the
// same value; a text cut short reads or reports an error, never leaking.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "poly/poly_repr.h"
#include "toplevel/charsets.h"
#include "toplevel/display.h"
#include "toplevel/language_services.h"
#include "toplevel/platform.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "lang/expressions.h"
#include "lang/poly_readin.h"
#include "support/data_tables.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

const std::vector<std::string> all_vars = {"x", "y", "z", "w"};

// A random polynomial over the first nvars variables; exponents from
// low to 3, each monomial once.
std::string random_text(std::mt19937_64& g, int nvars, int low, bool residues) {
  std::string s;
  std::set<std::string> seen;
  const int terms = 1 + static_cast<int>(g() % 5);
  for (int t = 0; t < terms; ++t) {
    std::string m;
    for (int v = 0; v < nvars; ++v) {
      const int e = low + static_cast<int>(g() % static_cast<unsigned>(4 - low));
      if (e != 0) m += "*" + all_vars[static_cast<std::size_t>(v)] + "^" + std::to_string(e);
    }
    if (!seen.insert(m).second) continue;
    long c = residues ? 1 + static_cast<long>(g() % 65520) : static_cast<long>(g() % 2001) - 1000;
    if (c == 0) c = 7;
    s += (s.empty() ? "" : " + ") + std::string("(") + std::to_string(c) + ")" + m;
  }
  return s;
}

// The file form of v, ending in ";".
std::string written(quoly v) {
  std::int32_t length = 0;
  return stream_text([&](std::FILE* f) {
    quoly_display(f, v, &length, &semicolon, polynames, {.complete = true, .linend = true});
  });
}

// text read by quoly_readin; unwound when an error was reported.
Value read_back(const std::string& text, bool* unwound, std::string* rest) {
  TextInput in(text);
  FILEPtr stream = &in;
  leftover[0] = '\0';
  quoly v = nullptr;
  output_of(
      [&] {
        scanner(&stream, &token, &zilch);
        std::int32_t depth = 0;
        quoly_readin(&stream, &v, &zilch, &depth);
      },
      unwound);
  *rest = token.name;
  return Value::adopt(v);
}

class ReadingWrittenValues : public testing::Test {
 protected:
  ReadingWrittenValues() {
    load_data_tables();
    init_character_sets();
    make_token_ring();
  }
};

TEST_F(ReadingWrittenValues, DisplayedValuesReadBackEqual) {
  std::mt19937_64 rng(test_seed() + 3850);
  ScopedValue<std::int16_t> width(dispcutoff, 32000);
  ScopedValue<bool> laurent_mode(laurent, false);
  ScopedValue<bool> symmetric(alt_form_display, false);
  int cuts_read = 0, cuts_refused = 0;
  for (int ring = 0; ring < 2; ++ring) {
    std::optional<ModulusScope> mod;
    if (ring == 1) mod.emplace(65521);
    for (int round = 0; round < test_iterations(250); ++round) {
      const int nvars = 1 + round % 4;
      PolyVars vars(std::vector<std::string>(all_vars.begin(), all_vars.begin() + nvars));
      laurent = round % 3 == 0;
      alt_form_display = ring == 1 && round % 2 == 0;
      NodeBalance balance;
      {
        Value v;
        if (laurent) {
          v = Value::ratfun(random_text(rng, nvars, -2, ring == 1));
          if (v->numer->numb && v->numer->next == nullptr) polynum_to_quoly(v.cell());
        } else if (round % 3 == 1) {
          v = make_value(random_text(rng, nvars, 0, ring == 1) + " / " +
                         random_text(rng, nvars, 0, ring == 1));
        } else {
          v = make_value(random_text(rng, nvars, 0, ring == 1));
        }
        const std::string text = written(v);
        bool unwound = false;
        std::string rest;
        Value back = read_back(text, &unwound, &rest);
        ASSERT_FALSE(unwound) << text;
        EXPECT_EQ(rest, ";") << text;
        EXPECT_EQ(value_text(back), value_text(v)) << text;
        // Cut at a random character: either some value or an error.
        const std::size_t cut = 1 + rng() % (text.size() - 1);
        Value part = read_back(text.substr(0, cut) + ";", &unwound, &rest);
        (unwound ? cuts_refused : cuts_read) += 1;
      }
      balance.expect_balanced();
    }
  }
  EXPECT_GT(cuts_refused, 20);
  EXPECT_GT(cuts_read, 20);
}

}  // namespace
}  // namespace tavrin::test
