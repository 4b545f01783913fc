// Residues, long doubles and lifting of numbers and polynomials, and the
// temporary in-place modular image, which must come back node for node
// (addresses, links and limbs) on every exit, an error unwind included.
#include "poly/poly_images.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "numbers/mod_journal.h"
#include "poly/poly_chinese.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/num.h"
#include "support/poly_build.h"
#include "support/poly_support.h"

namespace tavrin::test {
namespace {

BigRef residue(const BigRef& v, std::int32_t m) {
  BigRef r = v % BigRef(m);
  return r.negative() ? r + BigRef(m) : r;
}

// The image of a in the field of characteristic 2 with m elements: |c| mod m.
RefPoly char2_image(const RefPoly& a, std::int32_t m) {
  RefPoly r(a.nvars());
  for (const auto& [e, c] : a.terms()) r.add_term(e, c.abs() % BigRef(m));
  return r;
}

RefPoly image_of(const RefPoly& a, std::int32_t m) {
  return (m == 256 || m == 65536) ? char2_image(a, m) : a.reduced_mod(BigRef(m));
}

// Every coefficient as its representative in (-m/2, m/2].
RefPoly symmetric(const RefPoly& a, std::int32_t m) {
  RefPoly r(a.nvars());
  for (const auto& [e, c] : a.terms()) {
    BigRef v = residue(c, m);
    if (v > BigRef(m / 2)) v = v - BigRef(m);
    r.add_term(e, v);
  }
  return r;
}

// The value of an image (nil reads as zero) in modular mode.
RefPoly read_image(poly p, int nvars) {
  ModularOn on;
  return p == nullptr ? RefPoly(nvars) : read_poly(p, nvars);
}

// ---- Residues of numbers --------------------------------------------------------------------

TEST(ChangeNum, KnownResiduesModuloSeven) {
  ImageRing ring(7);
  struct Case {
    BigRef value;
    std::int32_t residue;
  };
  const Case cases[] = {{BigRef(-1), 6},
                        {BigRef(15), 1},
                        {BigRef::pow2(28) + BigRef(3), 5},  // limbs 1 and 3: 1 * 2 + 3
                        {-(BigRef::pow2(28) + BigRef(3)), 2},
                        {BigRef(0), 0},
                        {BigRef(-14), 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value.to_decimal());
    Num n(c.value);
    const std::vector<std::int32_t> limbs = limbs_of(n);
    change_num(n, false, true);
    EXPECT_EQ(n->lint, c.residue);
    EXPECT_EQ(limbs_of(n), limbs) << "the integer must survive under the residue";
  }
}

TEST(ChangeNum, AgreesWithReferenceResiduesForEveryModulusSize) {
  std::mt19937_64 rng(test_seed());
  for (std::int32_t m : {2, 3, 7, 3001, 48869, 65521, 2147483629, 2147483647}) {
    ImageRing ring(m);
    for (int i = 0; i < test_iterations(150); ++i) {
      const BigRef v = random_big(rng, 6);
      SCOPED_TRACE(v.to_decimal() + " mod " + std::to_string(m));
      Num n(v);
      change_num(n, false, false);
      EXPECT_EQ(BigRef(n->lint), residue(v, m));
    }
  }
}

TEST(ChangeNum, ReleasingTheLimbsLeavesOnlyTheResidue) {
  ImageRing ring(65521);
  NodeBalance balance;
  Num n(BigRef::pow2(100) + BigRef(12345));
  const BigRef expected = residue(BigRef::pow2(100) + BigRef(12345), 65521);
  const long limbs_before = live_nodes().limbs;
  change_num(n, true, false);
  EXPECT_EQ(BigRef(n->lint), expected);
  EXPECT_EQ(n->size, 0);
  EXPECT_EQ(n->head, nullptr);
  EXPECT_EQ(live_nodes().limbs, limbs_before - 4);
}

TEST(ChangeNum, CharacteristicTwoTakesTheMagnitudeAndWarnsOnlyWhenVerbose) {
  ImageRing ring(256);
  ScopedValue<bool> talk(verbose, true);
  ScopedValue<std::int32_t> count(warn_cnt, 0);
  {
    Num n(300);
    testing::internal::CaptureStdout();
    change_num(n, false, false);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "*** Warning. in going to finite field, outsized value encountered: 300\n");
    EXPECT_EQ(n->lint, 44);
  }
  {
    Num n(-5);
    testing::internal::CaptureStdout();
    change_num(n, false, false);  // negative values warn only when asked
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(n->lint, 5);
    testing::internal::CaptureStdout();
    change_num(n, false, true);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "*** Warning. in going to finite field, outsized value encountered: -5\n");
  }
  {
    const BigRef v = BigRef::pow2(28) * BigRef(5) + BigRef(1000);
    Num n(v);
    testing::internal::CaptureStdout();
    change_num(n, false, false);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              " *** Warning. outsized values encountered. Expect garbage.\n");
    EXPECT_EQ(BigRef(n->lint), v % BigRef(256));
  }
  EXPECT_EQ(warn_cnt, 3);
  {
    ScopedValue<bool> quiet(verbose, false);
    Num n(1000);
    testing::internal::CaptureStdout();
    change_num(n, false, true);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(n->lint, 1000 % 256);
  }
  EXPECT_EQ(warn_cnt, 3);
}

TEST(ChangeNum, AtMostTwentyWarningsInOneCommand) {
  PolyVars vars({"x"});
  ImageRing ring(256);
  ScopedValue<bool> talk(verbose, true);
  ScopedValue<std::int32_t> count(warn_cnt, 0);
  std::string text;
  for (int e = 30; e >= 1; --e) text += "300*x^" + std::to_string(e) + " + ";
  Poly p(text + "300");
  ModularImage image;
  testing::internal::CaptureStdout();
  image.take(p.cell(), true);
  const std::string out = testing::internal::GetCapturedStdout();
  int lines = 0;
  for (char ch : out) lines += ch == '\n';
  EXPECT_EQ(lines, 20);
  EXPECT_EQ(warn_cnt, 20);
}

// ---- Long doubles -----------------------------------------------------------------------------

TEST(ChangeFlote, LimbsBecomeTheirLongDoubleValue) {
  std::mt19937_64 rng(test_seed());
  for (int i = 0; i < test_iterations(300); ++i) {
    const BigRef v = random_big(rng, 2);  // below 2^56: exact in a long double
    SCOPED_TRACE(v.to_decimal());
    Num n(v);
    change_flote(n);
    EXPECT_EQ(n->flote, static_cast<long double>(v.to_int64()));
  }
  Num big(BigRef::pow2(200) * BigRef(3));
  change_flote(big);
  EXPECT_EQ(big->flote, 3.0L * 1.6069380442589902755e60L);  // 2^200 is a power of two: exact
}

TEST(ChangeFlote, EveryLeafOfAPolynomial) {
  PolyVars vars({"x", "y", "z"});
  std::mt19937_64 rng(test_seed());
  for (int i = 0; i < test_iterations(100); ++i) {
    const RefPoly r = random_refpoly(rng, 3, 10, 4, 2);
    SCOPED_TRACE(r.to_string(vars.names()));
    Poly p(r);
    poly_change_to_flote(p);
    FloatingMode fl;
    EXPECT_EQ(read_poly(p), r);
  }
}

// ---- The temporary image ---------------------------------------------------------------------

TEST(PolyImage, SevenXSquaredPlusSevenXPlusOneIsTheBareLeafOne) {
  PolyVars vars({"x"});
  Poly p("7*x^2 + 7*x + 1");
  poly constant = p->next->next;
  const std::string before = node_shape(p);
  ImageRing ring(7);
  {
    ModularImage image;
    image.take(p.cell());
    ASSERT_NE(p.get(), nullptr);
    EXPECT_EQ(p.get(), constant) << "the image is the original constant leaf";
    EXPECT_EQ(p->next, nullptr);
    EXPECT_EQ(p->ncoef->lint, 1);
    image.restore();
    EXPECT_EQ(node_shape(p), before);
  }
  EXPECT_EQ(masterfix, nullptr);
  EXPECT_EQ(p.ref(), parse_ref("7*x^2 + 7*x + 1", vars.names()));
}

TEST(PolyImage, VanishedCoefficientsUnlinkTermsAndCollapsePads) {
  PolyVars vars({"x", "y"});
  ImageRing ring(7);
  struct Case {
    const char* text;
    const char* image;  // over the integers, already reduced
  };
  const Case cases[] = {
      {"7*y*x + 1", "1"},              // the x-term's coefficient vanishes
      {"x*(7*y + 3) + 5", "3*x + 5"},  // the coefficient becomes a bare leaf
      {"7*x^2 + 7*y + 3", "3"},        // the constant term collapses to its leaf
      {"7*x*y + 2*y + 7", "2*y"},      // what is left is a pad
      {"14*x^3*y^2 + 21", "0"},        // everything vanishes: nil
      {"8*x^3*y + 15*y^2 - 6", "x^3*y + y^2 + 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Poly p(c.text);
    const std::string before = node_shape(p);
    {
      ModularImage image;
      image.take(p.cell());
      const RefPoly expected = parse_ref(c.image, vars.names());
      if (expected.is_zero()) {
        EXPECT_EQ(p.get(), nullptr);
      } else {
        ModularOn on;
        EXPECT_TRUE(valid_poly(p));
        EXPECT_EQ(read_poly(p), expected);
      }
    }
    EXPECT_EQ(node_shape(p), before);
  }
}

TEST(PolyImage, LaurentTailFollowsTheCollapsedConstant) {
  PolyVars vars({"x", "y"});
  ScopedValue<bool> neg(laurent, true);
  // x + (7y + 2) + 3x^-1: the constant term becomes the leaf 2 and must keep
  // the negative powers after it.
  Poly p = Poly::adopt(term(1, leaf(1), term(0, term(1, leaf(7), leaf(2)), term(-1, leaf(3)))));
  ASSERT_TRUE(valid_poly(p));
  const std::string before = node_shape(p);
  ImageRing ring(7);
  {
    ModularImage image;
    image.take(p.cell());
    ModularOn on;
    EXPECT_TRUE(valid_poly(p));
    EXPECT_EQ(read_poly(p), parse_ref("x + 2 + 3*x^-1", vars.names()));
  }
  EXPECT_EQ(node_shape(p), before);
}

TEST(PolyImage, EachChangedLinkIsLoggedOnce) {
  PolyVars vars({"x", "y"});
  ImageRing ring(7);
  struct Case {
    const char* text;
    long records;
  };
  const Case cases[] = {
      // Each vanished term's coefficient cell, and once the cell the run of
      // vanished terms hangs from.
      {"7*x^3 + 7*x^2 + 7*x + 1", 4},
      {"x^3 + 7*x^2 + 7*x + 1", 3},
      {"7*x*y + 7*x + 3", 3},  // 7's cell in the y-term, the x-term's coefficient, the head
      {"x^2 + 3", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Poly p(c.text);
    ModularImage image;
    image.take(p.cell());
    long records = 0;
    for (fixptr f = masterfix; f != nullptr; f = f->next) ++records;
    EXPECT_EQ(records, c.records);
  }
  // x + (7y + 2) + 7x^-1: in the constant term the y-term's coefficient
  // cell and the cell of the y-term itself; the cell of the collapsed
  // constant and the leaf's own next (which then also unlinks 7x^-1); the
  // coefficient cell of 7x^-1.
  ScopedValue<bool> neg(laurent, true);
  Poly p = Poly::adopt(term(1, leaf(1), term(0, term(1, leaf(7), leaf(2)), term(-1, leaf(7)))));
  const std::string before = node_shape(p);
  {
    ModularImage image;
    image.take(p.cell());
    long records = 0;
    for (fixptr f = masterfix; f != nullptr; f = f->next) ++records;
    EXPECT_EQ(records, 5);
    ModularOn on;
    EXPECT_TRUE(valid_poly(p));
    EXPECT_EQ(read_poly(p), parse_ref("x + 2", vars.names()));
  }
  EXPECT_EQ(node_shape(p), before);
}

TEST(PolyImage, RandomPolynomialsComeBackNodeForNode) {
  PolyVars vars({"x", "y", "z"});
  std::mt19937_64 rng(test_seed());
  const std::int32_t moduli[] = {2, 3, 7, 65521, 2147483629, 256};
  for (int i = 0; i < test_iterations(300); ++i) {
    const std::int32_t m = moduli[rng() % std::size(moduli)];
    const RefPoly r = random_refpoly(rng, 3, 12, 4, 3);
    SCOPED_TRACE(r.to_string(vars.names()) + " mod " + std::to_string(m));
    Poly p(r);
    const std::string before = node_shape(p);
    NodeBalance balance;
    {
      ImageRing ring(m);
      ModularImage image;
      image.take(p.cell());
      const RefPoly expected = image_of(r, m);
      EXPECT_EQ(p.get() == nullptr, expected.is_zero());
      if (p.get() != nullptr) {
        ModularOn on;
        EXPECT_TRUE(valid_poly(p));
      }
      EXPECT_EQ(read_image(p, 3), expected);
    }
    balance.expect_balanced();
    EXPECT_EQ(node_shape(p), before);
    EXPECT_EQ(p.ref(), r);
  }
}

TEST(PolyImage, AnErrorWhileTheImageExistsStillRestoresIt) {
  PolyVars vars({"x", "y"});
  std::mt19937_64 rng(test_seed());
  ScopedValue<bool> no_push(errorpush, false);
  for (int i = 0; i < test_iterations(60); ++i) {
    const RefPoly r1 = random_refpoly(rng, 2, 10, 5, 3);
    const RefPoly r2 = random_refpoly(rng, 2, 10, 5, 3);
    Poly p(r1);
    Poly q(r2);
    const std::string p_before = node_shape(p);
    const std::string q_before = node_shape(q);
    NodeBalance balance;
    testing::internal::CaptureStdout();
    bool unwound = false;
    try {
      ImageRing ring(7);
      ModularImage image;
      image.take(p.cell());
      image.take(q.cell());
      Num a(5);
      Num zero(0);
      Num quotient;
      Num remainder;
      a->lint = 5;
      zero->lint = 0;
      // A division by zero in modular mode: error 22 unwinds to the top level.
      ModularOn on;
      mod_and_div(a, zero, remainder, quotient);
    } catch (const TopLevelJump&) {
      unwound = true;
    }
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(unwound);
    EXPECT_EQ(masterfix, nullptr);
    EXPECT_EQ(node_shape(p), p_before);
    EXPECT_EQ(node_shape(q), q_before);
    EXPECT_EQ(p.ref(), r1);
    EXPECT_EQ(q.ref(), r2);
  }
}

TEST(PolyImage, AnyExceptionRestoresAndNestedScopesKeepTheirOwnJournals) {
  PolyVars vars({"x", "y"});
  Poly p("7*x^2*y + 3*x + 14");
  Poly q("21*y^3 + 22");
  const std::string p_before = node_shape(p);
  const std::string q_before = node_shape(q);
  ImageRing ring(7);
  try {
    ModularImage image;
    image.take(p.cell());
    throw std::runtime_error("leave");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(node_shape(p), p_before);
  {
    ModularImage outer;
    outer.take(p.cell());
    const fixptr outer_journal = masterfix;
    ASSERT_NE(outer_journal, nullptr);
    {
      ModularImage inner;
      EXPECT_EQ(masterfix, nullptr) << "an inner scope starts its own journal";
      inner.take(q.cell());
      EXPECT_EQ(read_image(q, 2), parse_ref("1", vars.names()));
    }
    EXPECT_EQ(node_shape(q), q_before);
    EXPECT_EQ(masterfix, outer_journal);
    EXPECT_EQ(read_image(p, 2), parse_ref("3*x", vars.names())) << "the outer image stays";
  }
  EXPECT_EQ(node_shape(p), p_before);
  EXPECT_EQ(masterfix, nullptr);
}

TEST(PolyImage, ModOutDataOfEveryLevelIsImagedAndRestored) {
  PolyVars vars({"x", "t"});
  polypt top = vars.level(1);
  polypt low = vars.level(2);
  // x^3 = 7 (a number relation); t^2 + 7t + 3 = 0 with alt 14t + 8 and the
  // multdata node for t^2: -7t - 3.
  top->p = leaf(7);
  top->expon = 3;
  low->p = make_poly("t^2 + 7*t + 3", {"t"});
  low->alt = make_poly("14*t + 8", {"t"});
  low->multdata = term(2, make_poly("-7*t - 3", {"t"}));
  low->expon = 2;
  const std::string shapes =
      node_shape(top->p) + node_shape(low->p) + node_shape(low->alt) + node_shape(low->multdata);
  ImageRing ring(7);
  {
    ModularImage image;
    image.take_modout_data();
    EXPECT_EQ(top->p, nullptr);
    EXPECT_EQ(read_image(low->p, 1), parse_ref("t^2 + 3", {"t"}));
    EXPECT_EQ(read_image(low->alt, 1), parse_ref("1", {"t"}));
    EXPECT_EQ(read_image(low->multdata->pcoef, 1), parse_ref("4", {"t"}));
  }
  EXPECT_EQ(
      node_shape(top->p) + node_shape(low->p) + node_shape(low->alt) + node_shape(low->multdata),
      shapes);
}

// ---- Lifting ------------------------------------------------------------------------------------

// A leaf holding only the residue r (no limbs), as modular arithmetic makes it.
poly residue_leaf(std::int32_t r) {
  ModularOn on;
  return make_leaf(BigRef(r));
}

TEST(Lifting, SymmetricRangeOnlyWithTheAlternativeDisplay) {
  ImageRing ring(7);
  struct Case {
    std::int32_t r;
    bool alt;
    std::int64_t lifted;
  };
  const Case cases[] = {{5, true, -2}, {3, true, 3},  {4, true, -3}, {6, true, -1},
                        {0, true, 0},  {5, false, 5}, {6, false, 6}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.r) + (c.alt ? " symmetric" : ""));
    ScopedValue<bool> alt(alt_form_display, c.alt);
    Poly p = Poly::adopt(residue_leaf(c.r));
    ASSERT_EQ(p->ncoef->size, 0);
    poly_change_from_mod(p);
    EXPECT_TRUE(valid_bigint(p->ncoef));
    EXPECT_EQ(to_ref(p->ncoef), BigRef(c.lifted));
  }
}

TEST(Lifting, ResiduesOfTwentyEightBitsOrMoreTakeTwoLimbs) {
  const std::int32_t m = 2147483629;
  ImageRing ring(m);
  struct Case {
    std::int32_t r;
    bool alt;
    std::int64_t lifted;
    std::size_t limbs;
  };
  const Case cases[] = {{m - 1, true, -1, 1},
                        {m - 1, false, m - 1, 2},
                        {1500000000, true, 1500000000LL - m, 2},
                        {268435456, false, 268435456, 2},
                        {268435455, true, 268435455, 1},
                        {m / 2, true, m / 2, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.r) + (c.alt ? " symmetric" : ""));
    ScopedValue<bool> alt(alt_form_display, c.alt);
    Poly p = Poly::adopt(residue_leaf(c.r));
    poly_change_from_mod(p);
    EXPECT_TRUE(valid_bigint(p->ncoef));
    EXPECT_EQ(to_ref(p->ncoef), BigRef(c.lifted));
    EXPECT_EQ(limbs_of(p->ncoef).size(), c.limbs);
  }
}

TEST(Lifting, ImagesOfSymmetricIntegersLiftBackToThem) {
  PolyVars vars({"x", "y", "z"});
  std::mt19937_64 rng(test_seed());
  NodeBalance balance;
  for (std::int32_t m : {7, 65521, 2147483629}) {
    for (int i = 0; i < test_iterations(60); ++i) {
      const RefPoly r = random_refpoly(rng, 3, 10, 4, 3);
      const RefPoly s = symmetric(r, m);
      SCOPED_TRACE(s.to_string(vars.names()) + " mod " + std::to_string(m));
      ImageRing ring(m);
      Poly symmetric_image;
      Poly plain_image;
      {
        ModularOn on;
        symmetric_image = Poly(s);  // leaves hold residues only
        plain_image = Poly(s);
      }
      {
        ScopedValue<bool> alt(alt_form_display, true);
        poly_change_from_mod(symmetric_image);
      }
      {
        ScopedValue<bool> alt(alt_form_display, false);
        poly_change_from_mod(plain_image);
      }
      EXPECT_TRUE(valid_poly(symmetric_image));
      EXPECT_EQ(symmetric_image.ref(), s);
      EXPECT_TRUE(valid_poly(plain_image));
      EXPECT_EQ(plain_image.ref(), r.reduced_mod(BigRef(m)));
    }
  }
}

TEST(Lifting, ValuesLiftTheirNumberOrNumeratorAndDenominator) {
  PolyVars vars({"x"});
  ImageRing ring(7);
  ScopedValue<bool> alt(alt_form_display, true);
  Value number;
  Value fraction;
  Value polynomial;
  {
    ModularOn on;
    number = Value::number(BigRef(5));
    fraction = Value::ratfun("5*x + 1", "6*x^2 + 3");
    polynomial = Value::ratfun("3*x + 4");
  }
  quoly_change_from_mod(number);
  EXPECT_EQ(to_ref(number->ncoef), BigRef(-2));
  quoly_change_from_mod(fraction);
  EXPECT_EQ(read_poly(fraction->numer), parse_ref("-2*x + 1", vars.names()));
  EXPECT_EQ(read_poly(fraction->denom), parse_ref("-x^2 + 3", vars.names()));
  quoly_change_from_mod(polynomial);
  EXPECT_EQ(read_poly(polynomial->numer), parse_ref("3*x - 3", vars.names()));
  EXPECT_EQ(polynomial->denom, nullptr);
}

}  // namespace
}  // namespace tavrin::test
