// Copies, moves and conversions of polynomials and values with their
// ownership contracts, pads, level removal, comparisons, names, leading terms
// and the Laurent shifts.
#include "poly/poly_repr.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/jumps.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "poly/poly_measures.h"
#include "support/node_accounting.h"
#include "support/num.h"
#include "support/output_capture.h"
#include "support/poly_support.h"

namespace tavrin::test {
namespace {

// Independent counts of a polynomial's nodes and leaves.
long count_nodes(poly p) {
  long n = 0;
  for (; p != nullptr; p = p->next) n += 1 + (p->numb ? 0 : count_nodes(p->pcoef));
  return n;
}
long count_leaves(poly p) {
  long n = 0;
  for (; p != nullptr; p = p->next) n += p->numb ? 1 : count_leaves(p->pcoef);
  return n;
}

class PolyTest : public ::testing::Test {
 protected:
  PolyVars vars{"x", "y", "z"};
  RefPoly ref(const std::string& s) const { return parse_ref(s, vars.names()); }
};

// ---- Copies and assignment ------------------------------------------------------------

TEST_F(PolyTest, PolyAssignMakesAnIndependentCopyAndFreesTheOldTarget) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed());
  for (int i = 0; i < test_iterations(200); ++i) {
    const RefPoly r = random_refpoly(rng, 3, 10, 4, 3);
    const RefPoly old = random_refpoly(rng, 3, 5, 3, 2);
    SCOPED_TRACE(r.to_string(vars.names()));
    Poly p(r), q(old);
    const long old_nodes = count_nodes(q);
    const long old_numbers = count_leaves(q);
    // The census walks the free lists, so only the first rounds take it.
    const node_census before = i < 20 ? live_nodes() : node_census{};
    poly_assign(p, q.cell());
    if (i < 20) {  // the cell holds as many nodes as p, and the old value is gone
      const node_census c = live_nodes() - before;
      EXPECT_EQ(c.polys, count_nodes(p) - old_nodes);
      EXPECT_EQ(c.numbers, count_leaves(p) - old_numbers);
    }
    ASSERT_TRUE(valid_poly(q));
    ASSERT_EQ(read_poly(q), r);
    ASSERT_EQ(read_poly(p), r);
    if (!p->numb) {
      ASSERT_NE(p->pcoef, q->pcoef);
    }
    poly_inplace(q);  // changing the copy leaves p alone
    ASSERT_EQ(read_poly(p), r);
  }
}

TEST_F(PolyTest, PolyAssignIntoItsOwnCellAndFromInsideIt) {
  NodeBalance balance;
  Poly p("3*x^2*y + x*(y^2 + z) - 5");
  poly_assign(p, p.cell());
  EXPECT_TRUE(valid_poly(p));
  EXPECT_EQ(p.ref(), ref("3*x^2*y + x*y^2 + x*z - 5"));
  // The coefficient of x^2 (a polynomial in y) assigned over the whole.
  poly_assign(p->pcoef, p.cell());
  EXPECT_TRUE(valid_poly(p, 2));
  EXPECT_EQ(dump_poly(p), "[1:3]");
  // A coefficient that is a leaf, into the cell that holds it.
  Poly q("7*x + 1");
  poly_assign(q->pcoef, &q->pcoef);
  EXPECT_EQ(q.ref(), ref("7*x + 1"));
  poly_assign(q->next, q.cell());
  EXPECT_EQ(dump_poly(q), "1");
}

TEST_F(PolyTest, CopiesTakeTheFieldOfTheMode) {
  NodeBalance balance;
  {
    ModulusScope m(101);
    Poly p("100*x + 3"), q;
    poly_assign(p, q.cell());
    EXPECT_EQ(q->pcoef->ncoef->lint, 100);
    EXPECT_EQ(q->pcoef->ncoef->size, 0);  // no limbs in word mode
  }
  {
    FloatingMode f;
    Poly p("2*x + 3"), q;
    poly_assign(p, q.cell());
    EXPECT_EQ(q->next->ncoef->flote, 3.0L);
  }
}

TEST_F(PolyTest, QuolyAssignCopiesBothPartsAndClearsRatInWordMode) {
  NodeBalance balance;
  Value v = Value::ratfun("x^2 - 1", "y + 2");
  Value w = Value::number(BigRef(5));
  quoly_assign(v, w.cell());
  EXPECT_FALSE(w->numb);
  EXPECT_EQ(read_poly(w->numer), ref("x^2 - 1"));
  EXPECT_EQ(read_poly(w->denom), ref("y + 2"));
  EXPECT_NE(w->numer, v->numer);
  quoly_assign(w, w.cell());  // into its own cell
  EXPECT_TRUE(quoly_equal(w, v));

  Value r = Value::ratfun("3", "4");
  r->rat = true;
  Value s;
  quoly_assign(r, s.cell());
  EXPECT_TRUE(s->rat);
  {
    WordMode wm;
    Value t = Value::ratfun("x", "");
    t->rat = true;
    Value u;
    quoly_assign(t, u.cell());
    EXPECT_FALSE(u->rat);
  }
  Value n = Value::number(BigRef::from_decimal("-123456789012345678"));
  quoly_assign(n, v.cell());
  EXPECT_TRUE(v->numb);
  EXPECT_EQ(number_value(v->ncoef), BigRef::from_decimal("-123456789012345678"));
  EXPECT_NE(v->ncoef, n->ncoef);
}

TEST_F(PolyTest, MakenegNegatesEveryLeafByTheMode) {
  NodeBalance balance;
  {
    Poly p("3*x^2*y - 7*z + 123456789012345678901"), q;
    poly_makeneg(p, q.cell());
    EXPECT_EQ(q.ref(), -p.ref());
    EXPECT_TRUE(valid_poly(q));
    EXPECT_TRUE(poly_neg(p, q));
    poly_makeneg(q, q.cell());  // into its own cell
    EXPECT_TRUE(poly_equal(p, q));
  }
  {
    ModulusScope m(7);
    Poly p("3*x + 1"), q;
    poly_makeneg(p, q.cell());
    EXPECT_EQ(q.ref(), ref("4*x + 6"));
    Poly zero("0");
    poly_makeneg(zero, q.cell());
    EXPECT_EQ(q->ncoef->lint, 0);  // 0 stays 0, not 7
  }
  {
    ModulusScope f(256, true);
    Poly p("3*x + 1"), q;
    poly_makeneg(p, q.cell());
    EXPECT_EQ(q.ref(), p.ref());  // characteristic 2: -a = a
  }
  {
    WordMode w;
    Poly p = Poly::adopt(make_leaf(BigRef(-2147483647 - 1LL))), q;
    poly_makeneg(p, q.cell());
    EXPECT_EQ(q->ncoef->lint, -2147483647 - 1);  // wraps like a 32-bit word
  }
  {
    FloatingMode f;
    Poly p("2*x - 3"), q;
    poly_makeneg(p, q.cell());
    EXPECT_EQ(q->pcoef->ncoef->flote, -2.0L);
    EXPECT_EQ(q->next->ncoef->flote, 3.0L);
  }
}

TEST_F(PolyTest, QuolyMakenegNegatesTheNumeratorOnly) {
  NodeBalance balance;
  Value v = Value::ratfun("x - 1", "y + 2"), w;
  quoly_makeneg(v, w.cell());
  EXPECT_EQ(read_poly(w->numer), ref("1 - x"));
  EXPECT_EQ(read_poly(w->denom), ref("y + 2"));
  EXPECT_TRUE(quoly_negtive(v, w));
  Value n = Value::number(BigRef(9));
  quoly_makeneg(n, n.cell());
  EXPECT_EQ(number_value(n->ncoef), BigRef(-9));
}

TEST_F(PolyTest, NodeAssignCopiesOneLeafIgnoringItsSuccessor) {
  NodeBalance balance;
  Poly p("x + 5"), q("y");
  node_assign(p->next, q.cell());
  EXPECT_EQ(dump_poly(q), "5");
  ScopedValue<bool> l(laurent, true);
  Poly r(ref("4 + x^-1"));
  node_assign(r, r.cell());  // a leaf with a successor, into its own cell
  EXPECT_EQ(dump_poly(r), "4");
}

TEST_F(PolyTest, SpecPolyAssignSharesCoefficientsAndTheConstantLeaf) {
  NodeBalance balance;
  Poly p("x^3*(y + 1) + 2*x + 9");
  poly q = nullptr;
  NodeBalance step;
  spec_poly_assign(p, &q);
  EXPECT_EQ(step.change().polys, 2);  // fresh nodes for x^3 and x only
  EXPECT_EQ(step.change().numbers, 0);
  EXPECT_NE(q, p.get());
  EXPECT_EQ(q->pcoef, p->pcoef);
  EXPECT_EQ(q->next->pcoef, p->next->pcoef);
  EXPECT_EQ(q->next->next, p->next->next);  // the constant leaf itself
  EXPECT_EQ(read_poly(q), p.ref());
  free_polynode_list(q, q->next);
  step.expect_balanced();

  poly r = reinterpret_cast<poly>(&step);  // not looked at: overwritten
  spec_poly_assign(nullptr, &r);
  EXPECT_EQ(r, nullptr);
  Poly c("4");
  spec_poly_assign(c, &r);
  EXPECT_EQ(r, c.get());
}

TEST_F(PolyTest, MiniCopyCopiesALeafAndMovesATerm) {
  NodeBalance balance;
  Poly p("x^2*y + x + 3"), q("z");
  mini_copy(p->next->next, q.cell());  // a leaf: a copy, old *q freed
  EXPECT_EQ(dump_poly(q), "3");
  poly head = p.release();
  poly coef = head->pcoef;
  poly rest = head->next;
  poly moved = nullptr;
  mini_copy(head, &moved);  // a term: its parts move to a fresh node
  EXPECT_EQ(moved->exp, 2);
  EXPECT_EQ(moved->pcoef, coef);
  EXPECT_EQ(moved->next, rest);
  EXPECT_EQ(head->next, nullptr);
  EXPECT_EQ(head->pcoef, nullptr);
  free_polynode_list(head, head);
  Poly owner = Poly::adopt(moved);
  EXPECT_EQ(owner.ref(), ref("x^2*y + x + 3"));
}

// ---- Conversions --------------------------------------------------------------------------

TEST_F(PolyTest, ConversionsBetweenLeavesAndNumberValues) {
  NodeBalance balance;
  const BigRef big = BigRef::from_decimal("-98765432109876543210");
  Value v = Value::number(big);
  poly leaf = nullptr;
  quoly_to_poly(v, &leaf);
  Poly lp = Poly::adopt(leaf);
  EXPECT_EQ(read_poly(lp), RefPoly::constant(3, big));
  EXPECT_NE(lp->ncoef, v->ncoef);
  quoly back = nullptr;
  poly_to_quoly(lp, &back);
  Value bv = Value::adopt(back);
  EXPECT_TRUE(quoly_equal(bv, v));
  EXPECT_NE(bv->ncoef, lp->ncoef);

  // Moves: the number record itself changes owner.
  imptr n = v->ncoef;
  poly moved = nullptr;
  quoly_consume(v.cell(), &moved);
  EXPECT_EQ(v.get(), nullptr);
  EXPECT_EQ(moved->ncoef, n);
  quoly again = nullptr;
  poly_consume(&moved, &again);
  EXPECT_EQ(moved, nullptr);
  EXPECT_EQ(again->ncoef, n);
  Value owner = Value::adopt(again);
  EXPECT_EQ(number_value(owner->ncoef), big);
}

TEST_F(PolyTest, PqAssignAndUseUpPoly) {
  NodeBalance balance;
  Value q = Value::ratfun("x", "y");
  Poly c("12");
  p_q_assign(c, q.cell());  // one leaf: a number value; the old value freed
  EXPECT_TRUE(q->numb);
  EXPECT_EQ(number_value(q->ncoef), BigRef(12));
  Poly p("x*y + 1");
  p_q_assign(p, q.cell());
  EXPECT_FALSE(q->numb);
  EXPECT_EQ(q->denom, nullptr);
  EXPECT_FALSE(q->rat);
  EXPECT_EQ(read_poly(q->numer), p.ref());
  EXPECT_NE(q->numer, p.get());

  poly u = p.release();
  quoly w = nullptr;
  use_up_poly(&u, &w);  // no copy: the value owns the same nodes
  EXPECT_EQ(w->numer, u);
  Value wv = Value::adopt(w);
  poly l = make_leaf(BigRef(-4));
  imptr ln = l->ncoef;
  quoly w2 = nullptr;
  use_up_poly(&l, &w2);
  EXPECT_EQ(l, nullptr);
  EXPECT_TRUE(w2->numb);
  EXPECT_EQ(w2->ncoef, ln);
  Value wv2 = Value::adopt(w2);

  Value pn = Value::ratfun("-6", "");
  polynum_to_quoly(pn.cell());
  EXPECT_TRUE(pn->numb);
  EXPECT_EQ(number_value(pn->ncoef), BigRef(-6));
}

TEST_F(PolyTest, ScalarToPolySharesTheLimbChain) {
  NodeBalance balance;
  imptr n = make_number(BigRef::from_decimal("1234567890123456789012"));
  const numptr head = n->head;
  Poly p("x");
  scalar_to_poly(n, p.cell());
  EXPECT_EQ(p->ncoef->head, head);
  EXPECT_NE(p->ncoef, n);
  EXPECT_EQ(number_value(p->ncoef), BigRef::from_decimal("1234567890123456789012"));
  Value v = Value::ratfun("y");
  imptr m = make_number(BigRef(77));
  scalar_to_quoly(m, v.cell());
  EXPECT_EQ(v->ncoef->head, m->head);
  // The caller discards the headers only.
  n->size = 0;
  m->size = 0;
  free_imag(&n);
  free_imag(&m);
}

TEST_F(PolyTest, SpecScalarQuolyInWordMode) {
  NodeBalance balance;
  Value q;
  imptr two = make_number(BigRef(3) * BigRef::pow2(28) + BigRef(5));
  imptr big = make_number(BigRef::pow2(30) + BigRef(1));
  imptr neg = make_number(BigRef(-1));
  {
    WordMode w;
    testing::internal::CaptureStdout();
    spec_scalar_quoly(two, q.cell());
    EXPECT_EQ(q->ncoef->lint, 3 * 268435456 + 5);
    EXPECT_EQ(q->ncoef->flote, 3.0L);  // from the first limb
    spec_scalar_quoly(big, q.cell());
    EXPECT_EQ(q->ncoef->lint, (1 << 30) + 1);
    spec_scalar_quoly(neg, q.cell());  // -1 is above 2^30 as an unsigned word
    EXPECT_EQ(q->ncoef->lint, -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              " ** Warning. oversized value computed 1073741825i in spec_scalar_quoly.\n"
              " ** Warning. oversized value computed 4294967295i in spec_scalar_quoly.\n");
  }
  spec_scalar_quoly(big, q.cell());  // outside word mode: a copy
  EXPECT_EQ(number_value(q->ncoef), BigRef::pow2(30) + BigRef(1));
  EXPECT_NE(q->ncoef->head, big->head);
  free_imag(&two);
  free_imag(&big);
  free_imag(&neg);
}

TEST_F(PolyTest, ConvertToIntTable) {
  NodeBalance balance;
  struct Case {
    const char* value;
    std::int32_t expect;
  } cases[] = {
      {"0", 0},
      {"268435455", 268435455},
      {"268435456", 268435456},
      {"2147483647", 2147483647},    // 7 * 2^28 + (2^28 - 1)
      {"2147483648", no_int_value},  // first limb 8
      {"-2147483647", -2147483647},
      {"-2147483648", no_int_value},
      {"-1879048192", -1879048192},         // -7 * 2^28
      {"72057594037927936", no_int_value},  // three limbs
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    imptr n = make_number(BigRef::from_decimal(c.value));
    EXPECT_EQ(convert_to_int(n), c.expect);
    quoly q = nullptr;
    poly_to_quoly(Poly::adopt(make_leaf(BigRef::from_decimal(c.value))), &q);
    EXPECT_EQ(quoly_convert_to_int(q), c.expect);
    EXPECT_EQ(big_quoly_convert_to_int(q), c.expect);
    free_quoly(&q);
    free_imag(&n);
  }
  Value r = Value::ratfun("-12*x^2*y + 5", "x + 1");
  EXPECT_EQ(quoly_convert_to_int(r), -12);
  {
    FloatingMode f;
    struct FCase {
      long double v;
      std::int32_t expect;
    } fc[] = {{2.5L, 3},
              {-2.5L, -2},
              {2.49L, 2},
              {-0.4L, 0},
              {2147483646.6L, 2147483647},
              {2147483647.5L, no_int_value},
              {1e12L, no_int_value}};
    for (const FCase& c : fc) {
      imptr n;
      newimag(&n);
      n->flote = c.v;
      EXPECT_EQ(convert_to_int(n), c.expect) << static_cast<double>(c.v);
      free_imag(&n);
    }
  }
  {
    WordMode w;
    imptr n;
    newimag(&n);
    n->lint = -2147483647 - 1;
    EXPECT_EQ(convert_to_int(n), -2147483647 - 1);
    free_imag(&n);
  }
}

// ---- Construction and pads ------------------------------------------------------------------

TEST_F(PolyTest, BasePolyBuildsTheVariableOfALevel) {
  NodeBalance balance;
  Poly p("x^2 + 1");
  base_poly(p.cell(), 0);
  EXPECT_EQ(dump_poly(p), "1");
  base_poly(p.cell(), 1);
  EXPECT_EQ(dump_poly(p), "[1:1]");
  base_poly(p.cell(), 3);
  EXPECT_EQ(dump_poly(p), "[0:[0:[1:1]]]");
  EXPECT_TRUE(valid_poly(p));
  EXPECT_EQ(p.ref(), ref("z"));
  Value q = Value::number(BigRef(3));
  base_quoly(q.cell(), 2);
  EXPECT_FALSE(q->numb);
  EXPECT_EQ(q->denom, nullptr);
  EXPECT_EQ(read_poly(q->numer), ref("y"));
  std::int16_t depth = 0;
  EXPECT_TRUE(is_poly_var(q, &depth));
  EXPECT_EQ(depth, 2);
  {
    ModulusScope m(5);
    Poly w("2");  // freed in word mode, so built there too
    base_poly(w.cell(), 1);
    EXPECT_EQ(w->pcoef->ncoef->lint, 1);
  }
}

TEST_F(PolyTest, MonomialsPadsAndFluffOut) {
  NodeBalance balance;
  poly m = nullptr;
  poly cf = make_leaf(BigRef(4));
  make_monomial(&m, 0, cf);
  EXPECT_EQ(m, cf);  // exponent 0 over a leaf: the leaf itself
  make_monomial(&m, 3, m);
  EXPECT_EQ(dump_poly(m), "[3:4]");
  add_pad(&m, 0);
  EXPECT_EQ(dump_poly(m), "[3:4]");
  add_pad(&m, 2);
  EXPECT_EQ(dump_poly(m), "[0:[0:[3:4]]]");
  Poly owner = Poly::adopt(m);
  EXPECT_EQ(owner.ref(), ref("4*z^3"));

  poly c = make_leaf(BigRef(2));
  fluff_out(&c, 0);  // a constant stays bare
  EXPECT_EQ(dump_poly(c), "2");
  fluff_out(&c, 2);
  EXPECT_EQ(dump_poly(c), "[2:2]");
  fluff_out(&c, 0);  // a non-constant gets one pad
  EXPECT_EQ(dump_poly(c), "[0:[2:2]]");
  Poly owner2 = Poly::adopt(c);
  EXPECT_EQ(owner2.ref(), ref("2*y^2"));
}

TEST_F(PolyTest, SubExponsAndRestoreExpsRoundTrip) {
  NodeBalance balance;
  struct Case {
    const char* p;
    std::int32_t uexp;
    const char* divided;
    bool tail;
  } cases[] = {
      {"3*x^5 + 2*x^3 + 7*x^2", 2, "3*x^3 + 2*x + 7", true},
      {"x^4*y + x^2*(y + 1)", 2, "x^2*y + y + 1", false},
      {"5*x^3", 3, "5", true},  // one term: the node itself becomes the leaf
      {"x^3*z + 4*x", 1, "x^2*z + 4", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.p);
    Poly u(c.p);
    const RefPoly before = u.ref();
    const poly head = u.get();
    poly tail = nullptr;
    sub_expons(u, &tail, c.uexp);
    EXPECT_EQ(u.get(), head);
    EXPECT_TRUE(valid_poly(u));
    EXPECT_EQ(u.ref(), ref(c.divided));
    EXPECT_EQ(tail != nullptr, c.tail);
    restore_exps(u, tail, c.uexp);
    EXPECT_TRUE(valid_poly(u));
    EXPECT_EQ(u.ref(), before);
  }
}

TEST_F(PolyTest, RemovePolyVarDropsAnAbsentLevel) {
  NodeBalance balance;
  Value v = Value::ratfun("x^2*z + 3*z^2 + x", "z + 1");
  remove_poly_var(v.cell(), 2);
  const std::vector<std::string> xz{"x", "z"};
  EXPECT_TRUE(valid_poly(v->numer, 2));
  EXPECT_EQ(read_poly(v->numer, 2), parse_ref("x^2*z + 3*z^2 + x", xz));
  EXPECT_EQ(read_poly(v->denom, 2), parse_ref("z + 1", xz));
  Value n = Value::number(BigRef(8));
  remove_poly_var(n.cell(), 1);
  EXPECT_EQ(number_value(n->ncoef), BigRef(8));
  Poly p("y^2 + 1");  // level 1 removed: the pad's coefficient takes its place
  remove_one(p.cell(), 1);
  EXPECT_EQ(read_poly(p, 2), parse_ref("x^2 + 1", xz));
}

TEST_F(PolyTest, DeletePolyNameUnlinksAndFreesTheRecord) {
  NodeBalance balance;
  polypt y = vars.level(2);
  y->p = make_poly("y^2 + 1");
  y->alt = make_poly("y");
  y->gcd_data = make_number(BigRef(65521));
  y->aux_num = 1;
  delete_poly_name(2);
  EXPECT_STREQ(polynames->let.name, "x");
  EXPECT_STREQ(polynames->next->let.name, "z");
  EXPECT_EQ(polynames->next->next, nullptr);
  EXPECT_EQ(y->p, nullptr);
  EXPECT_EQ(y->gcd_data, nullptr);
  EXPECT_EQ(y->aux_num, 0);
  EXPECT_EQ(pt_garb, y);
  delete_poly_name(7);  // past the end: nothing
  EXPECT_EQ(polynames->next->next, nullptr);
}

// ---- Tests and comparisons -----------------------------------------------------------------

TEST_F(PolyTest, ZeroAndUnitTestsLookAtOneLeafOnly) {
  NodeBalance balance;
  Poly ends_in_zero = Poly::adopt(make_poly("x"));
  ends_in_zero->next = make_leaf(BigRef(0));  // malformed on purpose
  EXPECT_FALSE(poly_iszero(ends_in_zero));
  EXPECT_TRUE(node_iszero(ends_in_zero->next));
  EXPECT_TRUE(poly_iszero(Poly("0")));
  EXPECT_TRUE(poly_eq_1(Poly("1")));
  EXPECT_FALSE(poly_eq_1(Poly("x")));
  EXPECT_TRUE(poly_eq_m1(Poly("-1")));
  EXPECT_FALSE(poly_eq_m1(Poly("-268435457")));  // two limbs
  {
    ModulusScope m(11);
    EXPECT_TRUE(poly_eq_m1(Poly("10")));
    EXPECT_TRUE(poly_eq_m1(Poly("-1")));
  }
  {
    ModulusScope f(256, true);
    EXPECT_TRUE(poly_eq_m1(Poly("1")));  // -1 = 1 in characteristic 2
  }
  {
    FloatingMode f;
    EXPECT_TRUE(poly_eq_m1(Poly("-1")));
    EXPECT_TRUE(poly_iszero(Poly("0")));
  }
  EXPECT_TRUE(quoly_iszero(Value::number(BigRef(0))));
  EXPECT_TRUE(quoly_eq_1(Value::number(BigRef(1))));
  EXPECT_TRUE(quoly_eq_m1(Value::number(BigRef(-1))));
  EXPECT_FALSE(quoly_eq_1(Value::ratfun("1", "x")));
  EXPECT_FALSE(quoly_iszero(Value::ratfun("x")));
  {
    WordMode w;
    EXPECT_TRUE(lint_quoly_iszero(Value::number(BigRef(0))));
    EXPECT_FALSE(lint_quoly_iszero(Value::number(BigRef(3))));
  }
}

TEST_F(PolyTest, NegationInPlaceKeepsResidues) {
  NodeBalance balance;
  Poly p("3*x^2*y - 123456789012345678901*z + 5");
  poly_inplace(p);
  EXPECT_EQ(p.ref(), ref("-3*x^2*y + 123456789012345678901*z - 5"));
  poly_inplace(nullptr);
  {
    ModulusScope m(13);
    Poly q("3*x + 0*y + 1");
    poly_inplace(q);
    EXPECT_TRUE(valid_poly(q));  // residues stay in 0 .. 12
    EXPECT_EQ(q.ref(), ref("10*x + 12"));
    Poly z("0");
    poly_inplace(z);
    EXPECT_EQ(z->ncoef->lint, 0);
  }
  {
    FloatingMode f;
    Poly q("2*x - 1");
    poly_inplace(q);
    EXPECT_EQ(q->pcoef->ncoef->flote, -2.0L);
  }
  Value v = Value::ratfun("x - 2", "y + 1");
  quoly_inplace(v);
  EXPECT_EQ(read_poly(v->numer), ref("2 - x"));
  EXPECT_EQ(read_poly(v->denom), ref("y + 1"));
  Value n = Value::number(BigRef(-8));
  quoly_inplace(n);
  EXPECT_EQ(number_value(n->ncoef), BigRef(8));
}

TEST_F(PolyTest, StructuralEqualityAgreesWithTheReference) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed() + 1);
  for (int i = 0; i < test_iterations(300); ++i) {
    const RefPoly a = random_refpoly(rng, 3, 4, 2, 2);
    const RefPoly b = (i % 3 == 0) ? a : random_refpoly(rng, 3, 4, 2, 2);
    Poly p(a), q(b);
    ASSERT_EQ(poly_equal(p, q), a == b) << a.to_string(vars.names());
    ASSERT_EQ(poly_neg(p, q), a == -b);
  }
  EXPECT_TRUE(poly_equal(nullptr, nullptr));
  EXPECT_FALSE(poly_equal(Poly("x"), nullptr));
  EXPECT_TRUE(quoly_equal(Value::ratfun("x", "y"), Value::ratfun("x", "y")));
  EXPECT_FALSE(quoly_equal(Value::ratfun("x", "y"), Value::ratfun("x")));
  EXPECT_FALSE(quoly_equal(Value::ratfun("2"), Value::number(BigRef(2))));
  EXPECT_TRUE(quoly_negtive(Value::ratfun("x - 1", "y"), Value::ratfun("1 - x", "y")));
  EXPECT_FALSE(quoly_negtive(Value::ratfun("x - 1", "y"), Value::ratfun("1 - x", "-y")));
  EXPECT_TRUE(quoly_larger(Value::number(BigRef(3)), Value::number(BigRef(-5))));
  Num a(BigRef::from_decimal("-1234567890123456789")),
      b(BigRef::from_decimal("1234567890123456789"));
  EXPECT_TRUE(opposites(a, b));
  EXPECT_FALSE(opposites(a, a));
  Value arr = Value::number(BigRef(1));
  EXPECT_FALSE(is_array_param(arr));
  arr->arr_arg = true;
  EXPECT_TRUE(is_array_param(arr));
}

TEST_F(PolyTest, EssentiallyEqualByGroundRing) {
  NodeBalance balance;
  const char* p = "3*x^2*y - 7*x*z + 5";
  EXPECT_TRUE(essentially_equal(Poly(p), Poly("-3*x^2*y + 7*x*z - 5")));
  EXPECT_TRUE(essentially_equal(Poly(p), Poly(p)));
  EXPECT_FALSE(essentially_equal(Poly(p), Poly("6*x^2*y - 14*x*z + 10")));
  EXPECT_FALSE(essentially_equal(Poly(p), Poly("3*x^2*y - 7*x*z + 4")));
  EXPECT_FALSE(essentially_equal(Poly(p), Poly("3*x^2*y - 7*x*z")));
  EXPECT_FALSE(essentially_equal(Poly(p), Poly("3*x^2*y - 7*x*y + 5")));
  {
    ModulusScope m(7);
    EXPECT_TRUE(essentially_equal(Poly("x^2 + 3*y"), Poly("2*x^2 + 6*y")));
    EXPECT_TRUE(essentially_equal(Poly("x^2 + 3*y"), Poly("5*x^2 + 15*y")));
    EXPECT_FALSE(essentially_equal(Poly("x^2 + 3*y"), Poly("2*x^2 + 5*y")));
    EXPECT_TRUE(essentially_equal(Poly("0"), Poly("0")));
  }
  {
    ModulusScope m(8, false);  // not a prime: word mode answers false
    EXPECT_FALSE(essentially_equal(Poly("x"), Poly("x")));
  }
  {
    FloatingMode f;
    EXPECT_TRUE(essentially_equal(Poly("2*x + 4"), Poly("-2*x - 4")));
    EXPECT_TRUE(essentially_equal(Poly("2*x + 4"), Poly("3*x + 6")));
    EXPECT_FALSE(essentially_equal(Poly("2*x + 4"), Poly("3*x + 5")));
  }
}

// ---- Names, leading terms and signs ---------------------------------------------------------

TEST_F(PolyTest, NameLookups) {
  std::int16_t d = 0;
  polypt r = nullptr;
  EXPECT_TRUE(is_poly_name("y", &d));
  EXPECT_EQ(d, 2);
  EXPECT_TRUE(is_poly_name2("z", &d, &r));
  EXPECT_EQ(d, 3);
  EXPECT_EQ(r, vars.level(3));
  EXPECT_FALSE(is_poly_name2("w", &d, &r));
  EXPECT_EQ(d, 4);
  EXPECT_EQ(r, nullptr);
  EXPECT_TRUE(its_a_polyname("x"));
  EXPECT_TRUE(its_a_polyname("z"));
  EXPECT_FALSE(its_a_polyname("w"));
  EXPECT_FALSE(its_a_polyname("zz"));
  EXPECT_FALSE(its_a_polyname("A"));
  // The scan stops at the first entry that sorts after the name.
  std::strcpy(polyvar[0], "y");
  std::strcpy(polyvar[1], "x");
  EXPECT_FALSE(its_a_polyname("x"));
  EXPECT_TRUE(its_a_polyname("y"));
}

TEST_F(PolyTest, IsPolyVarTable) {
  NodeBalance balance;
  struct Case {
    const char* numer;
    const char* denom;
    bool expect;
    std::int16_t depth;
  } cases[] = {
      {"x", "", true, 1},    {"y", "", true, 2},      {"z", "", true, 3},   {"x^2", "", false, 0},
      {"2*x", "", false, 0}, {"x + 1", "", false, 0}, {"x", "y", false, 0}, {"x*y", "", false, 0},
      {"-y", "", false, 0},  {"1", "", true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.numer);
    Value v = Value::ratfun(c.numer, c.denom);
    std::int16_t depth = -5;
    EXPECT_EQ(is_poly_var(v, &depth), c.expect);
    if (c.expect) {
      EXPECT_EQ(depth, c.depth);
    }
  }
  std::int16_t depth = 0;
  EXPECT_FALSE(is_poly_var(Value::number(BigRef(1)), &depth));
}

TEST_F(PolyTest, LeadingCoefficientsAndSigns) {
  NodeBalance balance;
  Poly p("-4*x^2*y^3 + x*z + 9");
  EXPECT_EQ(number_value(leading_coef(p)->ncoef), BigRef(-4));
  EXPECT_EQ(lastnode(p), p->next->next);
  EXPECT_TRUE(neg_leading_term(p));
  EXPECT_FALSE(pos_leading_coef(p));
  EXPECT_TRUE(pos_leading_coef(Poly("3*y + 1")));
  EXPECT_FALSE(neg_leading_term(Poly("0")));
  EXPECT_FALSE(pos_leading_coef(Poly("0")));
  {
    ModulusScope m(7);
    ScopedValue<bool> alt(alt_form_display, true);
    EXPECT_TRUE(pos_leading_coef(Poly("3*x")));
    EXPECT_FALSE(pos_leading_coef(Poly("4*x")));  // 4 shows as -3
    EXPECT_FALSE(neg_leading_term(Poly("4*x")));  // a residue is never negative
    alt_form_display = false;
    EXPECT_TRUE(pos_leading_coef(Poly("4*x")));
  }
  {
    FloatingMode f;
    EXPECT_TRUE(neg_leading_term(Poly("-2*x + 3")));
  }
  EXPECT_TRUE(height_is_1(Poly("3*x^2 + x + 1")));
  EXPECT_TRUE(height_is_1(Poly("5")));
  EXPECT_TRUE(height_is_1(nullptr));
  EXPECT_FALSE(height_is_1(Poly("x*y + 1")));
}

TEST_F(PolyTest, LeadingTermKeepsPadsAndTheDenominator) {
  NodeBalance balance;
  struct Case {
    const char* numer;
    const char* lead;
  } cases[] = {
      {"3*x^2*y + x + 1", "3*x^2*y"},
      {"5*y^3 + y*z", "5*y^3"},        // under one pad
      {"z^2 - z", "z^2"},              // under two pads
      {"x*(y + z) + 4", "x*y + x*z"},  // the whole coefficient of the head
      {"-7", "-7"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.numer);
    Value q = Value::ratfun(c.numer, "x + 2");
    Value n;
    leading_term(q, n.cell());
    EXPECT_FALSE(n->numb);
    EXPECT_TRUE(valid_poly(n->numer));
    EXPECT_EQ(read_poly(n->numer), ref(c.lead));
    EXPECT_EQ(read_poly(n->denom), ref("x + 2"));
    EXPECT_NE(n->denom, q->denom);
  }
}

TEST_F(PolyTest, FindHeightStripsCommonPads) {
  Poly a("z^2 + 1*z"), b("y*z + 2*z");
  poly n = a, m = b;
  std::int32_t h = -1;
  polypt pt = polynames;
  findHeight(&n, &m, &h, &pt);
  EXPECT_EQ(h, 1);
  EXPECT_EQ(pt, vars.level(2));
  EXPECT_EQ(n, a->pcoef);
  Poly c("x + z"), d("z");
  n = c;
  m = d;
  pt = polynames;
  findHeight(&n, &m, &h, &pt);
  EXPECT_EQ(h, 0);
  EXPECT_EQ(pt, polynames);
}

TEST_F(PolyTest, LeadingCoefficientInTheSecondVariable) {
  NodeBalance balance;
  const std::vector<std::string> xz{"x", "z"};
  struct Case {
    const char* p;
    const char* lc;
  } cases[] = {
      {"x^2*(3*y^2 + y) + x*(5*y^2*z + 1) + 7", "3*x^2 + 5*x*z"},
      {"x^3*y + x*y*z + y^2", "1"},
      {"x^2*z + x + 4", "x^2*z + x + 4"},  // degree 0 in y: a copy without y
      {"y*z + 2*y", "z + 2"},
      {"x*y^2 + x^2*y", "x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.p);
    Poly p(c.p);
    Poly lc = Poly::adopt(leading_coef_level_two(p));
    EXPECT_TRUE(valid_poly(lc, 2));
    EXPECT_EQ(read_poly(lc, 2), parse_ref(c.lc, xz));
    EXPECT_EQ(p.ref(), ref(c.p));
  }
}

// ---- Laurent shifts and exponent overflow -----------------------------------------------------

TEST_F(PolyTest, ClearBadsAndEliminateBadsRoundTrip) {
  ScopedValue<bool> l(laurent, true);
  NodeBalance balance;
  {
    Poly p("x^2*y + 3");
    poly exps = nullptr, tail = nullptr;
    clear_bads(p.cell(), &exps, &tail, 0, 0);
    EXPECT_EQ(exps, nullptr);
    EXPECT_EQ(p.ref(), ref("x^2*y + 3"));
  }
  {
    Poly p(ref("x^-2*y + x^-1"));
    poly exps = nullptr, tail = nullptr;
    clear_bads(p.cell(), &exps, &tail, 0, 0);
    ASSERT_NE(exps, nullptr);
    EXPECT_EQ(exps->exp, -2);
    EXPECT_EQ(tail, exps);  // only the top level needed a shift
    EXPECT_TRUE(valid_poly(p));
    EXPECT_EQ(p.ref(), ref("y + x"));
    eliminate_bads(p.cell(), exps, 1);
    EXPECT_EQ(p.ref(), ref("x^-2*y + x^-1"));
    EXPECT_TRUE(valid_poly(p));
    free_poly(&exps);
  }
  std::mt19937_64 rng(test_seed() + 2);
  for (int i = 0; i < test_iterations(200); ++i) {
    RefPoly r = random_refpoly(rng, 3, 6, 4, 1);
    RefPoly shifted(3);
    for (const auto& [e, c] : r.terms()) shifted.add_term({e[0] - 2, e[1] - 1, e[2]}, c);
    SCOPED_TRACE(shifted.to_string(vars.names()));
    for (std::int32_t value : {0, 2147483647}) {
      Poly p(shifted);
      ASSERT_TRUE(valid_poly(p));
      poly exps = nullptr, tail = nullptr;
      clear_bads(p.cell(), &exps, &tail, value, 0);
      ASSERT_TRUE(valid_poly(p));
      ASSERT_FALSE(anynegs(p));
      if (value != 0) {  // every level's lowest exponent is now 0
        const RefPoly now = p.ref();
        for (int v = 0; v < 3 && !now.is_zero(); ++v) {
          std::int32_t low = 2147483647;
          for (const auto& term : now.terms()) low = std::min(low, term.first[v]);
          ASSERT_EQ(low, 0) << "level " << v + 1;
        }
      }
      eliminate_bads(p.cell(), exps, 1);
      ASSERT_TRUE(valid_poly(p));
      ASSERT_EQ(p.ref(), shifted);
      free_poly(&exps);
    }
  }
}

TEST_F(PolyTest, ClearBadsDepthLimitsTheLevels) {
  ScopedValue<bool> l(laurent, true);
  NodeBalance balance;
  Poly p(ref("x^-1*y^-2 + 1"));
  poly exps = nullptr, tail = nullptr;
  clear_bads(p.cell(), &exps, &tail, 0, 1);  // the top level only
  EXPECT_EQ(p.ref(), ref("y^-2 + x"));
  EXPECT_EQ(exps->next, nullptr);
  eliminate_bads(p.cell(), exps, 1);
  EXPECT_EQ(p.ref(), ref("x^-1*y^-2 + 1"));
  free_poly(&exps);
}

TEST(ExponentArithmetic, OverflowIsAUserError) {
  NumberedErrors numbered;
  EXPECT_EQ(exp_add(2147483646, 1), 2147483647);
  EXPECT_EQ(exp_sub(-2147483647, 1), -2147483647 - 1);
  EXPECT_EQ(exp_mul(46340, 46340), 2147395600);
  testing::internal::CaptureStdout();
  EXPECT_THROW(exp_add(2147483647, 1), TopLevelJump);
  EXPECT_THROW(exp_sub(-2147483647 - 1, 1), TopLevelJump);
  EXPECT_THROW(exp_mul(65536, 32768), TopLevelJump);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("*** Inappropriate symbol"), std::string::npos);
  EXPECT_NE(out.find(std::to_string(exponent_overflow_error)), std::string::npos);
  // When the error opens a nested level that is left, the result is clamped.
  ScopedValue<bool> push(errorpush, true);
  ScopedValue<std::int32_t> level(levelcount, 2);
  testing::internal::CaptureStdout();
  EXPECT_EQ(exp_add(2147483647, 5), 2147483647);
  EXPECT_EQ(exp_mul(-65536, 65536), -2147483647 - 1);
  testing::internal::GetCapturedStdout();
}

TEST_F(PolyTest, SubExponsOverflowIsReported) {
  ScopedValue<bool> l(laurent, true);
  Poly u(ref("x^2147483647 + x^-1"));
  poly tail = nullptr;
  testing::internal::CaptureStdout();
  EXPECT_THROW(sub_expons(u, &tail, -1), TopLevelJump);
  testing::internal::GetCapturedStdout();
}

}  // namespace
}  // namespace tavrin::test
