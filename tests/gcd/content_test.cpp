// Contents (with respect to the main variable, an inner variable, and the
// numeric content) against known answers, their progress line and the
// counter that wraps, the resets made by errors, and the floating-point
// one-variable GCD.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "gcd/content.h"
#include "gcd/gcd.h"
#include "gcd/onevar_gcd.h"
#include "support/data_tables.h"
#include "support/gcd_counters.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/rings.h"

namespace tavrin::test {
namespace {

class Contents : public ::testing::Test {
 protected:
  void SetUp() override {
    load_data_tables();
    reset_gcd_counters();
  }
};

// x above y above z. Each case: the content of p with respect to the
// variable at relative depth `depth` (1: content, more: general_content
// with the flag as given), its structure, and the flag afterwards.
TEST_F(Contents, KnownContents) {
  PolyVars vars{"x", "y", "z"};
  struct Case {
    Ring ring;
    const char* p;
    int depth;
    bool flag_in;
    const char* want;  // dump_poly of the result
    bool flag_out;
  };
  const Case cases[] = {
      {Ring::integers, "2*x*y + 4*x + 6", 1, false, "2", false},
      {Ring::mod7, "2*x*y + 4*x + 6", 1, false, "1", false},
      {Ring::floating, "2*x*y + 4*x + 6", 1, false, "1", false},
      {Ring::word, "2*x*y + 4*x + 6", 1, false, "1", false},
      {Ring::integers, "x^2*y*z + x*y^2*z + y*z", 1, false, "[1:[1:1]]", false},
      {Ring::mod7, "x^2*y*z + x*y^2*z + y*z", 1, false, "[1:[1:1]]", false},
      // With respect to y: z, with pads at x's and y's levels.
      {Ring::integers, "x^2*y*z + x*y^2*z + y*z", 2, false, "[0:[0:[1:1]]]", false},
      {Ring::integers, "x*y*z^2 + x*y*z", 3, false, "[1:[1:1]]", false},
      // A single term: a copy of its coefficient.
      {Ring::integers, "3*x^2*y", 1, false, "[1:3]", false},
      {Ring::integers, "6*x^2*y^2*z + 4*x*y^2", 2, false, "[2:[0:[1:6]]; 1:4]", false},
      // y absent: 1 and the flag set; with the flag set, p itself.
      {Ring::integers, "x^2 + x*z", 2, false, "1", true},
      {Ring::integers, "x^2 + x*z", 2, true, "[2:1; 1:[0:[1:1]]]", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(ring_name(c.ring)) + ": " + c.p + " depth " + std::to_string(c.depth));
    RingScope ring(c.ring);
    reset_gcd_counters();
    NodeBalance balance;
    Poly p(c.p), r;
    const std::string shape = node_shape(p);
    bool flag = c.flag_in;
    if (c.depth == 1) {
      content(p, r.cell(), vars.level(1), false, true, true);
    } else {
      general_content(p, static_cast<std::int16_t>(c.depth), r.cell(), vars.level(1), &flag, true);
    }
    EXPECT_EQ(node_shape(p), shape) << "p was changed";
    ASSERT_TRUE(valid_poly(r));
    EXPECT_EQ(dump_poly(r), c.want);
    EXPECT_EQ(flag, c.flag_out);
  }
}

// ---- Progress, counters, resets -----------------------------------------------------------------

// A polynomial in x whose three coefficients in y have about 60, 27 and 3
// nodes, so that the search takes the last two as the first pair.
std::string searched_polynomial() {
  std::string a = "(y + 1)*(", b = "(y + 1)*(";
  for (int k = 0; k < 30; ++k) a += (k ? " + y^" : "y^") + std::to_string(2 * k + 1);
  for (int k = 0; k < 26; ++k) b += (k ? " + y^" : "y^") + std::to_string(k + 1);
  return a + ")*x^2 + " + b + ")*x + (y + 1)*(y + 2)";
}

TEST_F(Contents, ProgressLineAndTheCounterThatWraps) {
  PolyVars vars{"x", "y"};
  ModulusScope scope(7);
  NodeBalance balance;
  Poly q(searched_polynomial()), r;
  const std::string y1 = "[1:1; 1]";  // y + 1, at y's level
  ScopedValue<bool> quiet(verbose, false);
  EXPECT_EQ(output_of([&] { content(q, r.cell(), vars.level(1), true, true, true); }), "");
  EXPECT_EQ(dump_poly(r), y1);
  reset_gcd_counters();
  {
    ScopedValue<bool> loud(verbose, true);
    EXPECT_EQ(output_of([&] { content(q, r.cell(), vars.level(1), true, true, true); }),
              "\n  Content, counting to 2:  1 2\n");
    EXPECT_EQ(output_of([&] { content(q, r.cell(), vars.level(1), false, true, true); }), "");
  }
  EXPECT_EQ(dump_poly(r), y1);
  EXPECT_EQ(dumpitt_level, 0);
  // The count wraps as a 32-bit word: past 200000 the search is off, and
  // the first search that finds it negative warns and sets 200001.
  c_cntcount = std::numeric_limits<std::int32_t>::max();
  c_cntdepth = 1;
  EXPECT_EQ(output_of([&] { content(q, r.cell(), vars.level(1), false, true, true); }), "");
  EXPECT_EQ(c_cntcount, std::numeric_limits<std::int32_t>::min());
  const std::string warned =
      output_of([&] { content(q, r.cell(), vars.level(1), false, true, true); });
  EXPECT_EQ(warned, "\n *** Warning.\n *** Loop counter in Content is negative.  Will reset.\n\n");
  EXPECT_EQ(c_cntcount, 200001);
  EXPECT_EQ(a_cntcount, 200001);
  EXPECT_EQ(d_cntcount, 200001);
  EXPECT_EQ(dump_poly(r), y1);
}

TEST_F(Contents, ErrorsResetTheCountersAndTripval) {
  auto dirty = [] {
    c_cntcount = a_cntcount = d_cntcount = g_cntcount = c_cntdepth = 77;
    g_cutoff = 500;
    tripval = 16384;
    alg_c_count = 3;
  };
  dirty();
  bool unwound = false;
  output_of([] { error(exponent_overflow_error, &token); }, &unwound);
  EXPECT_TRUE(unwound);
  EXPECT_EQ(c_cntcount + a_cntcount + d_cntcount + g_cntcount + c_cntdepth + alg_c_count, 0);
  EXPECT_EQ(g_cutoff, 10);
  EXPECT_EQ(tripval, 20);
  // A nested level (code -1) only puts tripval back.
  dirty();
  output_of([] { error(-1, &blank); });
  EXPECT_EQ(tripval, 20);
  EXPECT_EQ(c_cntcount, 77);
  EXPECT_EQ(g_cutoff, 500);
  reset_gcd_counters();
}

// ---- The floating-point one-variable GCD --------------------------------------------------------

// The long doubles of p's leaves, highest power first.
std::vector<long double> floats(poly p) {
  std::vector<long double> out;
  for (poly t = p; t != nullptr; t = t->next)
    out.push_back(t->numb ? t->ncoef->flote : t->pcoef->ncoef->flote);
  return out;
}

TEST_F(Contents, FloatingGcd) {
  PolyVars vars{"x"};
  FloatingMode floating;
  NodeBalance balance;
  // n = x (x - 1) + c, m = x - 1: the remainder is exactly c.
  for (const double c : {1e-9, -9.999e-9, 1e-8, -1e-8}) {
    SCOPED_TRACE(c);
    Poly n("x^2 - x + 1"), m("x - 1"), g;
    n->next->next->ncoef->flote = c;
    polygcd(n, m, g.cell(), vars.level(1));
    const std::vector<long double> want =
        std::fabs(c) < 1e-8 ? std::vector<long double>{1, -1} : std::vector<long double>{1};
    EXPECT_EQ(floats(g), want);
  }
  {
    // n = m (x - 2): m over its leading coefficient.
    Poly m("4*x^2 + 2*x + 8"), n("(4*x^2 + 2*x + 8)*(x - 2)"), g;
    fl_basic_poly_gcd(n, m, g.cell(), true, vars.level(1));
    EXPECT_EQ(floats(g), (std::vector<long double>{1, 0.5L, 2}));
    Poly a("x^2 + 1"), b("x + 3"), h;
    fl_basic_poly_gcd(a, b, h.cell(), true, vars.level(1));
    EXPECT_EQ(floats(h), std::vector<long double>{1});
    // The monomial rule: x^min(3, 1).
    Poly mono("5*x^3"), other("x^4 + 2*x"), k;
    fl_basic_poly_gcd(mono, other, k.cell(), true, vars.level(1));
    EXPECT_EQ(dump_poly(k), "[1:1]");
  }
}

TEST_F(Contents, FloatingGcdOfThreeVariablesWhereVDividesU) {
  PolyVars vars{"x", "y", "z"};
  FloatingMode floating;
  NodeBalance balance;
  const RefPoly v = parse_ref("x + 2*y*z + 3", vars.names());
  const RefPoly u = v * parse_ref("x^2*y + 2*x*z^2 + y^2 + 3*z + 1", vars.names()) *
                    parse_ref("x + y + z + 2", vars.names());
  Poly pu(u), pv(v), g;
  const long divides = polygcd_stages.divides;
  EXPECT_EQ(output_of([&] { polygcd(pu, pv, g.cell(), vars.level(1)); }), "");
  EXPECT_EQ(polygcd_stages.divides, divides + 1);
  EXPECT_EQ(g.ref(), v);
}

}  // namespace
}  // namespace tavrin::test
