// The dual content (the GCD of all coefficients of two polynomials), the
// auxiliary content (a pad's coefficient against every coefficient of the
// other) and the primitive parts of special_div: a table of known answers
// with their progress lines, and random pairs against the GCD of the two
// contents taken one at a time.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "poly/poly_repr.h"
#include "gcd/content.h"
#include "gcd/gcd.h"
#include "support/data_tables.h"
#include "support/gcd_counters.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/rings.h"

namespace tavrin::test {
namespace {

class DualContent : public ::testing::Test {
 protected:
  void SetUp() override {
    load_data_tables();
    reset_gcd_counters();
  }
};

TEST_F(DualContent, KnownAnswers) {
  PolyVars vars{"x", "y"};
  polypt pt = vars.level(1);
  NodeBalance balance;
  // The pad 6y against x(4y) + 2y^2: 2y, at y's level (padded here to read it).
  {
    Poly p("6*y"), q("4*y*x + 2*y^2"), r;
    aux_content(p, q, r.cell(), pt, {.allcons = true, .psave = true, .qsave = true});
    add_pad(r.cell(), 1);
    EXPECT_EQ(r.str(), "2*y");
  }
  // A plain-number constant term: the GCD of the numeric contents.
  for (Ring ring : {Ring::integers, Ring::mod7}) {
    RingScope scope(ring);
    reset_gcd_counters();
    Poly p("2*x*y + 4"), q("6*x*y^2 + 8"), r;
    dual_content(p, q, r.cell(), pt, {.allcons = true, .psave = true, .qsave = true});
    EXPECT_EQ(r.str(), ring == Ring::integers ? "2" : "1");
    EXPECT_EQ(d_cntcount, 0);  // no search
  }
  // Coefficients 2y, 4y, 6y then 4, 6y: over the integers the GCD 2 is a
  // number but not a unit, so every coefficient is taken; modulo 7 (word
  // arithmetic) the first number ends the loop. p and q come back as they
  // were, p's last node without a successor.
  for (Ring ring : {Ring::integers, Ring::mod7}) {
    RingScope scope(ring);
    reset_gcd_counters();
    const ScopedValue<bool> loud(verbose, true);
    Poly p("2*y*x^2 + 4*y*x + 6*y"), q("4*x^2 + 6*y"), r;
    const std::string sp = node_shape(p), sq = node_shape(q);
    const std::string out = output_of([&] {
      dual_content(p, q, r.cell(), pt,
                   {.verbon = true, .allcons = true, .psave = true, .qsave = true});
    });
    EXPECT_EQ(out, ring == Ring::integers ? "\n  Dual Content, counting to 5:  2 3 4 5\n"
                                          : "\n  Dual Content, counting to 5:  2 3 4\n");
    EXPECT_EQ(r.str(), ring == Ring::integers ? "2" : "1");
    EXPECT_EQ(node_shape(p), sp);
    EXPECT_EQ(node_shape(q), sq);
    EXPECT_EQ(lastnode(p)->next, nullptr);
    EXPECT_EQ(dumpitt_level, 0);
  }
  // special_div: 4xy + 6y by its content 2y (one level below) is 2x + 3;
  // by 4y the pseudo-division's multiplier 2 is divided out again. The
  // same with the content at u's own level (special_div_2).
  struct Case {
    const char *u, *s, *want;
  } cases[] = {{"4*x*y + 6*y", "2*y", "2*x + 3"}, {"6*x*y + 4*y", "4*y", "3*x + 2"}};
  for (const Case& c : cases) {
    Poly u(c.u), s(c.s), below;
    poly_assign(s->pcoef, below.cell());
    const std::string shape = node_shape(below);
    special_div(u.cell(), below.cell(), pt);
    EXPECT_EQ(u.str(), c.want);
    EXPECT_EQ(node_shape(below), shape);
    Poly u2(c.u);
    special_div_2(u2.cell(), s.cell(), pt);
    EXPECT_EQ(u2.str(), c.want);
  }
}

// Random pairs with large coefficients (so that the search for the two
// smallest runs): the dual content is the GCD of the two contents, the
// auxiliary content of a pad the GCD of its coefficient and q's content.
TEST_F(DualContent, RandomPairsAgreeWithTheContentsTakenOneAtATime) {
  std::mt19937_64 rng(test_seed() + 1902);
  PolyVars vars{"x", "y", "z"};
  polypt pt = vars.level(1);
  int searches = 0;
  for (Ring ring : {Ring::integers, Ring::mod65521}) {
    RingScope scope(ring);
    for (int it = 0; it < test_iterations(60); ++it) {
      reset_gcd_counters();
      auto free_of_x = [&] {  // a random polynomial in y and z, not 0
        RefPoly r(3), a = random_refpoly(rng, 3, 8, 3, 1);
        for (const auto& [e, c] : a.terms()) r.add_term({0, e[1], e[2]}, c);
        return r.is_zero() ? RefPoly::constant(3, 1) : r;
      };
      const RefPoly common = free_of_x();
      auto random_p = [&] {
        RefPoly p = rng() % 2 ? free_of_x() * common : RefPoly(3);
        for (int k = 1 + static_cast<int>(rng() % 4); k > 0; --k)
          p = p + free_of_x() * common *
                      RefPoly::variable(3, 0, 1 + static_cast<std::int32_t>(rng() % 5));
        return in_ring(ring, p);
      };
      NodeBalance balance;
      Poly p(random_p()), q(random_p()), pad(in_ring(ring, free_of_x() * common)), r, ra, cp, cq,
          want, wa;
      if (p->numb || q->numb || p->exp == 0 || q->exp == 0 || pad->numb) continue;
      SCOPED_TRACE(p.str() + " and " + q.str());
      const std::string sp = node_shape(p), sq = node_shape(q);
      dual_content(p, q, r.cell(), pt, {.allcons = true, .psave = true, .qsave = true});
      aux_content(pad, q, ra.cell(), pt, {.allcons = true, .psave = true, .qsave = true});
      searches += d_cntcount > 0 && a_cntcount > 0 ? 1 : 0;
      content(p, cp.cell(), pt, false, true, true);
      content(q, cq.cell(), pt, false, true, true);
      polygcd(cp, cq, want.cell(), pt->next, {.canreset = false});
      polygcd(pad->pcoef, cq, wa.cell(), pt->next, {.canreset = false});
      EXPECT_EQ(dump_poly(r), dump_poly(want));
      EXPECT_EQ(dump_poly(ra), dump_poly(wa));
      EXPECT_EQ(node_shape(p), sp);
      EXPECT_EQ(node_shape(q), sq);
    }
  }
  EXPECT_GT(searches, 10);
}

}  // namespace
}  // namespace tavrin::test
