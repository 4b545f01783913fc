// Sums and differences under their four ownership contracts, in every
// arithmetic mode, against the reference polynomial; scalar products and
// quotients; the small number routines.
#include "poly/poly_add.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/jumps.h"
#include "numbers/freelists.h"
#include "poly/poly_arith_impl.h"
#include "poly/poly_repr.h"
#include "support/node_accounting.h"
#include "support/num.h"
#include "support/poly_support.h"
#include "support/rings.h"

namespace tavrin::test {
namespace {

// Every node address of p, all levels.
void collect_nodes(poly p, std::set<poly>& out) {
  for (; p != nullptr; p = p->next) {
    out.insert(p);
    if (!p->numb) collect_nodes(p->pcoef, out);
  }
}

// The shape, values and node addresses of a polynomial, to show that a kept
// operand came back untouched.
struct Snapshot {
  std::string text;
  std::vector<poly> nodes;
  explicit Snapshot(poly p) : text(dump_poly(p)) { walk(p); }
  void walk(poly p) {
    for (; p != nullptr; p = p->next) {
      nodes.push_back(p);
      if (!p->numb) walk(p->pcoef);
    }
  }
  bool operator==(const Snapshot& o) const { return text == o.text && nodes == o.nodes; }
};

constexpr Ring all_rings[] = {Ring::integers, Ring::mod7,     Ring::mod65521, Ring::mod_big,
                              Ring::gf256,    Ring::floating, Ring::word};

enum class Contract { best, better, kept, simplest };

// Runs one contract: returns the result; kept operands are compared with
// their snapshots, and a consumed operand must not be used again.
poly run(Contract c, bool sub, poly n, poly m) {
  poly r = nullptr;
  switch (c) {
    case Contract::best: sub ? best_poly_sub(n, m, &r) : best_poly_add(n, m, &r); break;
    case Contract::better: sub ? better_poly_sub(n, m, &r) : better_poly_add(n, m, &r); break;
    case Contract::kept: sub ? poly_sub(n, m, &r) : poly_add(n, m, &r); break;
    case Contract::simplest: sub ? simplest_poly_sub(n, m, &r) : simplest_poly_add(n, m, &r); break;
  }
  return r;
}

class PolyAddTest : public ::testing::Test {
 protected:
  PolyVars vars{"x", "y", "z", "w"};
  RefPoly ref(const std::string& s) const { return parse_ref(s, vars.names()); }
};

// ---- The four contracts against the reference -----------------------------------------

TEST_F(PolyAddTest, RandomSumsAndDifferencesAgreeWithTheReferenceInEveryRing) {
  std::mt19937_64 rng(test_seed());
  for (Ring ring : all_rings) {
    SCOPED_TRACE(ring_name(ring));
    RingScope scope(ring);
    NodeBalance balance;
    for (int i = 0; i < test_iterations(120); ++i) {
      const RefPoly a = in_ring(ring, random_refpoly(rng, 4, 12, 4, limbs_for(ring)));
      // Planted overlap: b shares terms with a (some cancelling exactly).
      RefPoly b = random_refpoly(rng, 4, 8, 4, limbs_for(ring));
      if (i % 3 == 0) b = b - a;
      if (i % 5 == 0) b = b + a;
      if (i % 7 == 0) b = ref("0");  // a zero constant returns the other operand as it is
      b = in_ring(ring, b);
      SCOPED_TRACE(a.to_string(vars.names()) + "  and  " + b.to_string(vars.names()));
      for (bool sub : {false, true}) {
        const RefPoly want = ring_sum(ring, a, b, sub);
        for (Contract c : {Contract::best, Contract::better, Contract::kept}) {
          Poly n(a), m(b);
          const Snapshot sn(n), sm(m);
          std::set<poly> operand_nodes;
          collect_nodes(n, operand_nodes);
          collect_nodes(m, operand_nodes);
          Poly r = Poly::adopt(run(c, sub, n, m));
          if (c != Contract::kept) n.release();  // consumed
          if (c == Contract::best) {
            m.release();
            // Nothing new but a zero result: every node comes from an operand.
            if (!poly_iszero(r)) {
              std::set<poly> result_nodes;
              collect_nodes(r, result_nodes);
              for (poly t : result_nodes) ASSERT_TRUE(operand_nodes.count(t)) << "a new node";
            }
          }
          ASSERT_TRUE(valid_poly(r)) << "contract " << static_cast<int>(c) << " sub " << sub;
          ASSERT_EQ(read_poly(r), want) << "contract " << static_cast<int>(c) << " sub " << sub;
          if (c != Contract::best) {
            ASSERT_TRUE(Snapshot(m) == sm) << "kept m changed";
          }
          if (c == Contract::kept) {
            ASSERT_TRUE(Snapshot(n) == sn) << "kept n changed";
          }
        }
      }
    }
  }
}

TEST_F(PolyAddTest, OneVariableSumsOfTheSimplestContract) {
  std::mt19937_64 rng(test_seed() + 1);
  for_each_ring({Ring::mod7, Ring::mod_big, Ring::gf256, Ring::floating}, [&](Ring ring) {
    for (int i = 0; i < test_iterations(200); ++i) {
      const RefPoly a = random_refpoly(rng, 1, 15, 20, 1);
      RefPoly b = random_refpoly(rng, 1, 15, 20, 1);
      if (i % 4 == 0) b = b - a;
      SCOPED_TRACE(a.to_string({"x"}) + "  and  " + b.to_string({"x"}));
      for (bool sub : {false, true}) {
        PolyVars one{"x"};
        Poly n(a), m(b);
        Poly r = Poly::adopt(run(Contract::simplest, sub, n.release(), m.release()));
        ASSERT_TRUE(valid_poly(r));
        ASSERT_EQ(read_poly(r), ring_sum(ring, a, b, sub));
      }
    }
  });
}

// ---- Ownership and aliasing -----------------------------------------------------------------

TEST_F(PolyAddTest, NodeCountsAreConservedUnderEveryContract) {
  std::mt19937_64 rng(test_seed() + 2);
  for (Contract c : {Contract::best, Contract::better, Contract::kept}) {
    for (int i = 0; i < 40; ++i) {
      const RefPoly a = random_refpoly(rng, 4, 10, 3, 2);
      const RefPoly b =
          i % 2 ? -a + random_refpoly(rng, 4, 3, 3, 2) : random_refpoly(rng, 4, 10, 3, 2);
      NodeBalance balance;
      poly n = build_poly(a);
      poly m = build_poly(b);
      poly r = run(c, i % 3 == 0, n, m);
      // The operands that are kept are still the caller's to free.
      if (c != Contract::best) free_poly(&m);
      if (c == Contract::kept) free_poly(&n);
      free_poly(&r);
    }
  }
  {  // simplest, one variable modulo a prime
    PolyVars one{"x"};
    ModulusScope mod(65521);
    for (int i = 0; i < 40; ++i) {
      NodeBalance balance;
      poly n = build_poly(random_refpoly(rng, 1, 12, 15, 1));
      poly m = build_poly(random_refpoly(rng, 1, 12, 15, 1));
      poly r = run(Contract::simplest, i % 2 == 0, n, m);
      free_poly(&r);
    }
  }
}

TEST_F(PolyAddTest, InPlaceFormsReplaceTheFirstOperand) {
  NodeBalance balance;
  const RefPoly a = ref("3*x^2*y - x*z + 5"), b = ref("x*z + y^2 - 7");
  {
    Poly n(a), m(b);
    const Snapshot sm(m);
    poly_add(n, m, n.cell());  // the old n is freed
    EXPECT_EQ(n.ref(), a + b);
    EXPECT_TRUE(Snapshot(m) == sm);
    poly_sub(n, m, m.cell());  // into the second operand's cell
    EXPECT_EQ(m.ref(), a);
    EXPECT_EQ(n.ref(), a + b);
  }
  {
    Poly n(a), m(b);
    best_poly_add(n.get(), m.release(), n.cell());
    EXPECT_TRUE(valid_poly(n));
    EXPECT_EQ(n.ref(), a + b);
    best_poly_sub(n.get(), build_poly(b), n.cell());
    EXPECT_EQ(n.ref(), a);
    better_poly_sub(n.get(), Poly(a), n.cell());
    EXPECT_TRUE(poly_iszero(n));
  }
  {  // the same polynomial on both sides of the copying forms
    Poly n(a);
    poly_add(n, n, n.cell());
    EXPECT_EQ(n.ref(), a + a);
    poly_sub(n, n, n.cell());
    EXPECT_TRUE(poly_iszero(n));
  }
}

// ---- Cancellation ----------------------------------------------------------------------------

TEST_F(PolyAddTest, APolynomialMinusItselfIsOneZeroLeafAtEveryDepth) {
  std::mt19937_64 rng(test_seed() + 3);
  for (Ring ring : all_rings) {
    SCOPED_TRACE(ring_name(ring));
    RingScope scope(ring);
    NodeBalance balance;
    for (int depth = 1; depth <= 4; ++depth) {
      for (int i = 0; i < 15; ++i) {
        // Every variable from the top to `depth` used, so the value spans them.
        RefPoly a = random_refpoly(rng, 4, 8, 3, limbs_for(ring));
        RefPoly chain = RefPoly::constant(4, BigRef(1));
        for (int v = 0; v < depth; ++v) chain = chain * RefPoly::variable(4, v, 1 + i % 3);
        a = in_ring(ring, a + chain);
        if (a.is_zero()) continue;
        const RefPoly neg = ring == Ring::gf256 ? a : in_ring(ring, -a);
        SCOPED_TRACE(a.to_string(vars.names()));
        for (Contract c : {Contract::best, Contract::better, Contract::kept}) {
          Poly n(a), m(neg), n2(a), m2(a);
          Poly sum = Poly::adopt(run(c, false, c == Contract::kept ? n.get() : n.release(),
                                     c == Contract::best ? m.release() : m.get()));
          Poly diff = Poly::adopt(run(c, true, c == Contract::kept ? n2.get() : n2.release(),
                                      c == Contract::best ? m2.release() : m2.get()));
          for (poly r : {sum.get(), diff.get()}) {
            ASSERT_TRUE(r->numb && r->next == nullptr) << dump_poly(r);
            ASSERT_TRUE(poly_iszero(r)) << dump_poly(r);
          }
          if (c == Contract::kept) {
            Poly d = Poly::adopt(run(c, true, n, n));
            ASSERT_TRUE(poly_iszero(d));
          }
        }
      }
    }
  }
}

TEST_F(PolyAddTest, CancelledLeadingTermsCollapseToTheRightShape) {
  NodeBalance balance;
  for (Contract c : {Contract::best, Contract::better, Contract::kept}) {
    SCOPED_TRACE(static_cast<int>(c));
    auto sum = [c](const char* a, const char* b) {
      Poly n(a), m(b);
      poly r = run(c, false, c == Contract::kept ? n.get() : n.release(),
                   c == Contract::best ? m.release() : m.get());
      return Poly::adopt(r);
    };
    // y wrapped under x as one pad term.
    EXPECT_EQ(dump_poly(sum("x + y", "-x")), "[0:[1:1]]");
    // The bare leaf 1, not a term over a leaf.
    EXPECT_EQ(dump_poly(sum("x + 1", "-x")), "1");
    // x as one term of exponent 1 over the leaf 1.
    EXPECT_EQ(dump_poly(sum("x*y + x", "-x*y")), "[1:1]");
    // A constant term under a pad meeting a leaf: 5 + (y + 3) - 8 = y.
    EXPECT_EQ(dump_poly(sum("y + 3", "-3")), "[0:[1:1]]");
    EXPECT_EQ(dump_poly(sum("-3", "y + 3")), "[0:[1:1]]");
    EXPECT_EQ(dump_poly(sum("z*x^2 + 4", "-z*x^2 - 4")), "0");
  }
}

// ---- Leaf arithmetic by mode --------------------------------------------------------------------

TEST_F(PolyAddTest, LeafArithmeticFollowsTheMode) {
  NodeBalance balance;
  auto both = [](const char* a, const char* b, bool sub) {
    poly r = nullptr;
    if (sub) {
      best_poly_sub(make_poly(a), make_poly(b), &r);
    } else {
      best_poly_add(make_poly(a), make_poly(b), &r);
    }
    return Poly::adopt(r);
  };
  {
    ModulusScope m(7);
    EXPECT_EQ(dump_poly(both("5", "4", false)), "2");
    EXPECT_EQ(dump_poly(both("2", "5", true)), "4");
    EXPECT_EQ(dump_poly(both("5*x + 2", "4*x + 5", false)), "[1:2]");
  }
  {
    ModulusScope m(256);
    EXPECT_EQ(dump_poly(both("6", "3", false)), "5");
    EXPECT_EQ(dump_poly(both("6", "3", true)), "5");
    EXPECT_EQ(dump_poly(both("6*x + 1", "6*x + 1", true)), "0");
  }
  {
    ModulusScope m(2147483629);  // sums of residues above 2^31 compare unsigned
    EXPECT_EQ(dump_poly(both("2147483628", "2147483628", false)), "2147483627");
    EXPECT_EQ(dump_poly(both("0", "1", true)), "2147483628");
  }
  {
    WordMode w;
    ScopedValue<std::int32_t> mod(modulus, 7);
    EXPECT_EQ(dump_poly(both("5", "4", false)), "9");                     // not reduced
    EXPECT_EQ(dump_poly(both("2147483647", "1", false)), "-2147483648");  // wraps
  }
  {
    FloatingMode f;
    EXPECT_EQ(dump_poly(both("5*x", "-5*x + 3", false)), "3");
  }
  // Big integers across the limb boundary.
  Poly big = both("268435455*x + 1", "1*x - 1", false);
  EXPECT_EQ(big.ref(), ref("268435456*x"));
}

TEST_F(PolyAddTest, LaurentLeavesInMidList) {
  ScopedValue<bool> l(laurent, true);
  NodeBalance balance;
  for (Contract c : {Contract::best, Contract::better, Contract::kept}) {
    Poly one("1"), inv("x^-1");
    Poly r1 = Poly::adopt(run(c, false, c == Contract::kept ? one.get() : one.release(),
                              c == Contract::best ? inv.release() : inv.get()));
    EXPECT_EQ(dump_poly(r1), "[1; -1:1]");
    Poly inv2("x^-1"), one2("1");
    Poly r2 = Poly::adopt(run(c, false, c == Contract::kept ? inv2.get() : inv2.release(),
                              c == Contract::best ? one2.release() : one2.get()));
    EXPECT_EQ(dump_poly(r2), "[1; -1:1]");
  }
  // Random Laurent sums: operands shifted down by powers of x and y.
  std::mt19937_64 rng(test_seed() + 4);
  for (int i = 0; i < test_iterations(150); ++i) {
    const RefPoly shift = RefPoly::variable(4, 0, -2) * RefPoly::variable(4, 1, -1);
    const RefPoly a = random_refpoly(rng, 4, 10, 4, 2) * (i % 2 ? shift : RefPoly::constant(4, 1));
    const RefPoly b = random_refpoly(rng, 4, 10, 4, 2) * shift + (i % 3 ? a : RefPoly(4));
    SCOPED_TRACE(a.to_string(vars.names()) + "  and  " + b.to_string(vars.names()));
    for (Contract c : {Contract::best, Contract::better, Contract::kept}) {
      for (bool sub : {false, true}) {
        Poly n(a), m(b);
        const Snapshot sm(m);
        Poly r = Poly::adopt(run(c, sub, c == Contract::kept ? n.get() : n.release(),
                                 c == Contract::best ? m.release() : m.get()));
        ASSERT_TRUE(valid_poly(r));
        ASSERT_EQ(read_poly(r), sub ? a - b : a + b);
        if (c != Contract::best) {
          ASSERT_TRUE(Snapshot(m) == sm);
        }
      }
    }
  }
}

// ---- Scalar operations ------------------------------------------------------------------------

TEST_F(PolyAddTest, ScalarByPolyAgreesWithScaling) {
  std::mt19937_64 rng(test_seed() + 5);
  for_each_ring({Ring::integers, Ring::mod65521, Ring::gf256, Ring::floating}, [&](Ring ring) {
    for (int i = 0; i < test_iterations(60); ++i) {
      const RefPoly y = random_refpoly(rng, 4, 10, 3, limbs_for(ring));
      const BigRef x = i == 0 ? BigRef(1) : random_big(rng, limbs_for(ring));
      if (in_ring(ring, RefPoly::constant(4, x)).is_zero()) continue;
      Poly py(y);
      const Snapshot sy(py);
      imptr xv = make_number(x);
      Poly q;
      scalar_by_poly(xv, py, q.cell());
      free_imag(&xv);
      ASSERT_TRUE(valid_poly(q));
      RefPoly want;
      if (ring == Ring::gf256) {
        want = gf2_product(in_ring(ring, y), in_ring(ring, RefPoly::constant(4, x)), 256);
      } else {
        want = in_ring(ring, y.scaled(x));
      }
      ASSERT_EQ(read_poly(q), want);
      ASSERT_TRUE(Snapshot(py) == sy);
    }
  });
  {  // modulo 6, 2 * (3x + 1) is the bare leaf 2
    ModulusScope m(6, false);
    Poly y("3*x + 1");
    imptr two = make_number(2);
    Poly q;
    scalar_by_poly(two, y, q.cell());
    free_imag(&two);
    EXPECT_EQ(dump_poly(q), "2");
    Poly y2("2*x + 2*y + 1");  // the x term vanishes, the pad collapses to a leaf
    imptr three = make_number(3);
    Poly q2;
    scalar_by_poly(three, y2, q2.cell());
    free_imag(&three);
    EXPECT_EQ(dump_poly(q2), "3");
  }
}

TEST_F(PolyAddTest, ProductsAndQuotientsInPlaceByANumber) {
  std::mt19937_64 rng(test_seed() + 6);
  NodeBalance balance;
  for (int i = 0; i < test_iterations(60); ++i) {  // big integers: (a * c) / c = a
    const RefPoly a = random_refpoly(rng, 4, 10, 3, 3);
    const BigRef c = random_big(rng, 3);
    if (c.is_zero()) continue;
    Poly p(a);
    Num nc(c);
    num_poly_mult(p, nc);
    ASSERT_TRUE(valid_poly(p));
    ASSERT_EQ(p.ref(), a.scaled(c));
    num_poly_quot(p, nc, 0);
    ASSERT_TRUE(valid_poly(p));
    ASSERT_EQ(p.ref(), a);
    rat_number_mult(p, nc);
    mult_num(p, nc);
    ASSERT_EQ(p.ref(), a.scaled(c * c));
  }
  {  // a non-exact quotient reports and keeps the truncated quotient
    Poly p("7*x + 4");
    Num two(2);
    testing::internal::CaptureStdout();
    num_poly_quot(p, two, 0);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("*** Tavrin error. non-0 rem, num_poly_quot"), std::string::npos) << out;
    EXPECT_EQ(p.ref(), ref("3*x + 2"));
  }
  {
    ModulusScope m(7);
    Poly p("3*x^2*y + 5*x + 1");
    mod_num_poly_mult(p, 1);
    EXPECT_EQ(p.ref(), ref("3*x^2*y + 5*x + 1"));
    mod_num_poly_mult(p, 3);
    EXPECT_EQ(p.ref(), ref("2*x^2*y + x + 3"));
    testing::internal::CaptureStdout();
    mod_num_poly_mult(p, 0);
    mod_num_poly_mult(p, 7);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("bad x in mod_num_poly_mult, 0, 7\n*** Tavrin error. bad x in "
                       "mod_num_poly_mult."),
              std::string::npos)
        << out;
    EXPECT_EQ(p.ref(), ref("2*x^2*y + x + 3"));  // left as it was
    // x = 0 asks for the inverse: dividing by 3 multiplies by 5.
    imptr t = make_number(3);
    num_poly_quot(p, t, 0);
    EXPECT_EQ(p.ref(), ref("3*x^2*y + 5*x + 1"));
    num_poly_quot(p, t, 2);  // a given x is used as it is
    EXPECT_EQ(p.ref(), ref("6*x^2*y + 3*x + 2"));
    free_imag(&t);
  }
  {  // in GF(256) the quotient goes through the field inverse
    ModulusScope m(256);
    Poly p("87*x + 200");
    imptr d = make_number(29);
    num_poly_quot(p, d, 0);
    const std::uint32_t inv_check =
        gf2_mul(static_cast<std::uint32_t>(p->pcoef->ncoef->lint), 29, 256);
    EXPECT_EQ(inv_check, 87u);
    EXPECT_EQ(gf2_mul(static_cast<std::uint32_t>(p->next->ncoef->lint), 29, 256), 200u);
    free_imag(&d);
  }
  {
    FloatingMode f;
    Poly p("6*x + 3");
    fl_num_poly_mult(p, 4.0L);
    EXPECT_EQ(p.ref(), ref("24*x + 12"));
    imptr d = make_number(12);
    num_poly_quot(p, d, 0);
    EXPECT_EQ(p.ref(), ref("2*x + 1"));
    free_imag(&d);
  }
  {
    WordMode w;
    Poly p("-7*x + 9");
    imptr d = make_number(2);
    num_poly_quot(p, d, 0);  // truncating
    EXPECT_EQ(p.ref(), ref("-3*x + 4"));
    free_imag(&d);
  }
}

TEST_F(PolyAddTest, MonicScalingAndTheFrobeniusSubstitution) {
  NodeBalance balance;
  {
    ModulusScope m(11);
    Poly u("3*x^2 + 5"), v("7*x*y + 2*y");
    std::int32_t cu = 0, cv = 0;
    monic_coefs(u, v, &cu, &cv);
    EXPECT_EQ(cu, 3);
    EXPECT_EQ(cv, 7);
    // Multiplying back by the leading coefficients gives the originals.
    mod_num_poly_mult(u, 3);
    mod_num_poly_mult(v, 7);
    EXPECT_EQ(u.ref(), ref("3*x^2 + 5").reduced_mod(11));
    EXPECT_EQ(v.ref(), ref("7*x*y + 2*y"));
  }
  {
    ModulusScope m(65536);
    Poly u("40000*x + 3"), v("1*x + 9");
    std::int32_t cu = 0, cv = 0;
    monic_coefs(u, v, &cu, &cv);
    EXPECT_EQ(cu, 40000);
    EXPECT_EQ(cv, 1);
    EXPECT_EQ(u->pcoef->ncoef->lint, 1);
    EXPECT_EQ(gf2_mul(static_cast<std::uint32_t>(u->next->ncoef->lint), 40000, 65536), 3u);
    EXPECT_EQ(v.ref(), ref("x + 9"));
  }
  {
    FloatingMode f;
    Poly u("4*x + 2"), v("x - 3");
    long double cu = 0, cv = 0;
    fl_monic_coefs(u, v, &cu, &cv);
    EXPECT_EQ(cu, 4.0L);
    EXPECT_EQ(cv, 1.0L);
    EXPECT_EQ(u->next->ncoef->flote, 0.5L);
  }
  {
    ModulusScope m(3);
    Poly p("x^2*y + y^4");
    poly_to_prime(p);
    EXPECT_EQ(p.ref(), ref("x^6*y^3 + y^12"));
  }
  {  // Frobenius is additive in characteristic p: (a + b)^p = a^p + b^p
    ModulusScope m(5);
    Poly p("x*y + 2*z + 1");
    poly_to_prime(p);
    EXPECT_EQ(p.ref(), ref("x^5*y^5 + 2*z^5 + 1"));
  }
}

TEST_F(PolyAddTest, NumberRoutines) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 7);
  for (int i = 0; i < 100; ++i) {  // big: a - b and a * b, in place and into a third
    const BigRef a = random_big(rng, 4), b = random_big(rng, 4);
    Num na(a), nb(b), nc(7);
    sub(na, nb, nc);
    ASSERT_EQ(nc.value(), a - b);
    sub(na, nb, na);
    ASSERT_EQ(na.value(), a - b);
    int_mult(na, nb, nc);
    ASSERT_EQ(nc.value(), (a - b) * b);
    ASSERT_EQ(iszero(nc), ((a - b) * b).is_zero());
  }
  {
    ModulusScope m(7);
    imptr a = make_number(2), b = make_number(5), c = make_number(0);
    sub(a, b, c);
    EXPECT_EQ(c->lint, 4);
    int_mult(a, b, c);
    EXPECT_EQ(c->lint, 3);
    EXPECT_FALSE(iszero(c));
    sub(a, a, c);
    EXPECT_TRUE(iszero(c));
    free_imag(&a);
    free_imag(&b);
    free_imag(&c);
  }
  EXPECT_EQ(imaxx(3, -4), 3);
  EXPECT_EQ(imaxx(-30000, 30000), 30000);
}

// Fresh sums and differences of big integers against medsum / meddiff: on
// both sides of the cut-off of the short route (operands of one or two
// limbs, a result within two limbs) the same limbs, signs on every limb.
TEST_F(PolyAddTest, FreshSumsOfShortIntegersMatchTheLimbRoutine) {
  NodeBalance balance;
  const std::int64_t b = 268435456, b2 = b * b;  // 2^28, 2^56
  const std::vector<std::int64_t> edges = {0,         1,      -1,     b - 1,     -(b - 1),
                                           b,         -b,     b2 / 2, -(b2 / 2), b2 - 1,
                                           -(b2 - 1), b2 - b, 12345,  b * 7 + 3, -(b * 7 + 3)};
  std::vector<BigRef> values;
  for (const std::int64_t v : edges) values.emplace_back(v);
  std::mt19937_64 rng(test_seed() + 11);
  for (int i = 0; i < 40; ++i) values.push_back(random_big(rng, 1 + static_cast<int>(rng() % 3)));
  values.push_back(BigRef(b2) * BigRef(3));  // three limbs: the limb routine
  const auto limbs = [](imptr n) {
    std::vector<std::int32_t> v;
    for (numptr l = n->head; l != nullptr; l = l->next) v.push_back(l->value);
    return std::make_pair(n->size, v);
  };
  for (const BigRef& x : values) {
    for (const BigRef& y : values) {
      Num a(x), c(y);
      for (const bool subtract : {false, true}) {
        SCOPED_TRACE(x.to_decimal() + (subtract ? " - " : " + ") + y.to_decimal());
        imptr fresh = subtract ? detail::num_combine_new<detail::NumMode::big, true>(a, c)
                               : detail::num_combine_new<detail::NumMode::big, false>(a, c);
        Num oracle;
        subtract ? meddiff(a->size, c->size, a->head, c->head, oracle)
                 : medsum(a->size, c->size, a->head, c->head, oracle);
        EXPECT_EQ(to_ref(fresh), subtract ? x - y : x + y);
        EXPECT_EQ(limbs(fresh), limbs(oracle));
        EXPECT_EQ(fresh->tail->next, nullptr);
        free_imag(&fresh);
      }
    }
  }
}

// ---- A polynomial plus a rational function --------------------------------------------------

TEST_F(PolyAddTest, PolynomialPlusRationalFunctionKeepsTheDenominator) {
  NodeBalance balance;
  const RefPoly r = ref("x + 2"), num = ref("y^2 - 1"), den = ref("x*y + 3");
  {  // into a separate cell: s unchanged
    Value s = Value::ratfun("y^2 - 1", "x*y + 3");
    Value q = Value::number(5);
    no_denom(Poly("x + 2"), s, q.cell(), 0);
    EXPECT_EQ(read_poly(q->numer), num + r * den);
    EXPECT_EQ(read_poly(q->denom), den);
    EXPECT_FALSE(q->rat);
    EXPECT_EQ(read_poly(s->numer), num);
    no_denom(Poly("x + 2"), s, q.cell(), 1);
    EXPECT_EQ(read_poly(q->numer), r * den - num);
    no_denom_minus_2(Poly("x + 2"), s, q.cell());
    EXPECT_EQ(read_poly(q->numer), num - r * den);
    EXPECT_EQ(read_poly(s->numer), num);
  }
  {  // in place in s
    Value s = Value::ratfun("y^2 - 1", "x*y + 3");
    quoly cell = s.get();
    no_denom(Poly("x + 2"), s, &cell, 0);
    EXPECT_EQ(read_poly(s->numer), num + r * den);
    no_denom_minus(Poly("x + 2"), s, &cell);
    EXPECT_EQ(read_poly(s->numer), num);
    no_denom(Poly("x + 2"), s, &cell, 1);
    EXPECT_EQ(read_poly(s->numer), r * den - num);
  }
  {  // a rational number: constant numerator over a number denominator
    Value s = Value::ratfun("1", "3");
    Value q;
    no_denom(Poly("2"), s, q.cell(), 0);
    EXPECT_EQ(dump_poly(q->numer), "7");
    EXPECT_TRUE(q->rat);
  }
}

}  // namespace
}  // namespace tavrin::test
