// Constructors, destructors and free lists of the records.
#include "numbers/freelists.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/bigint.h"
#include "numbers/garbage.h"
#include "numbers/node_handles.h"
#include "support/bigref.h"
#include "support/node_accounting.h"

namespace tavrin::test {
namespace {

// A number leaf holding v.
poly leaf(std::int32_t v) {
  poly p = nullptr;
  poly_set(v, &p);
  return p;
}

// The term c * t^e with a number coefficient, followed by `next`.
poly term(std::int32_t e, poly coef, poly next = nullptr) { return nodes::new_term(e, coef, next); }

TEST(Numbers, FreeImagInWordModeKeepsTheLimbs) {
  NodeBalance balance;
  imptr x = from_ref(BigRef::from_decimal("123456789012345678901234567890"));
  numptr head = x->head;
  numptr tail = x->tail;
  const std::vector<std::int32_t> limbs = limbs_of(x);
  {
    ArithModeGuard g;
    lintmode = true;
    free_imag(&x);
  }
  EXPECT_EQ(x, nullptr);
  // The limbs were not given back: they are still intact and ours to free.
  std::vector<std::int32_t> still;
  for (numptr p = head; p != nullptr; p = p->next) still.push_back(p->value);
  EXPECT_EQ(still, limbs);
  free_limb_list(head, tail);
}

TEST(Numbers, FreeNumLeavesTheHeaderEmpty) {
  NodeBalance balance;
  imptr x = from_ref(BigRef::from_decimal("-98765432109876543210"));
  free_num(x);
  EXPECT_EQ(x->size, 0);
  // A later assignment into the same header must not give the old limbs back twice.
  setvalue(5, x);
  EXPECT_EQ(to_ref(x), BigRef(5));
  free_imag(&x);
}

TEST(Numbers, NewImagIsEmptyEvenWhenRecycled) {
  imptr x = from_ref(BigRef::from_decimal("1234567890123456789"));
  imptr y = nullptr;
  free_imag(&x);
  newimag(&y);
  EXPECT_EQ(y->size, 0);
  EXPECT_EQ(y->head, nullptr);
  EXPECT_EQ(y->tail, nullptr);
  setvalue(3, y);
  EXPECT_EQ(to_ref(y), BigRef(3));
  free_imag(&y);
}

// init_poly_node gives a node a fresh empty header; the limb copies
// fast_assign and fast_num_assign take the leading limbs.
TEST(Numbers, FreshLeafHeadersAndLimbCopies) {
  NodeBalance balance;
  poly p = leaf(7);
  imptr kept = p->ncoef;
  init_poly_node(p);
  EXPECT_TRUE(p->ncoef != kept && p->ncoef->size == 0 && p->ncoef->head == nullptr);
  setvalue(-9, p->ncoef);
  EXPECT_EQ(to_ref(p->ncoef), BigRef(-9));
  EXPECT_EQ(to_ref(kept), BigRef(7));
  free_imag(&kept);
  free_poly(&p);
  const BigRef big = BigRef::from_decimal("123456789012345678901234567890");  // 4 limbs
  imptr x = from_ref(big), y = from_ref(0), z = from_ref(0);
  fast_assign(x->head, 2, y);  // the top two limbs: big div 2^56
  EXPECT_EQ(to_ref(y), BigRef::from_decimal("1713307121347"));
  fast_assign(x->head, 4, y);
  fast_num_assign(x->head, 4, z);
  EXPECT_TRUE(to_ref(y) == big && to_ref(z) == big);
  for (imptr* n : {&x, &y, &z}) free_imag(n);
}

TEST(Numbers, SpecialFreeWhateverTheMode) {
  NodeBalance balance;
  imptr x = from_ref(BigRef::from_decimal("555555555555555555555"));
  {
    ArithModeGuard g;
    lintmode = modularmode = true;
    special_free(x);
    EXPECT_EQ(x->size, 0);
    free_imag(&x);
  }
}

TEST(Polys, PolySetByMode) {
  NodeBalance balance;
  poly p = nullptr;
  poly_set(-5, &p);
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(p->numb);
  EXPECT_EQ(p->exp, 0);
  EXPECT_EQ(p->next, nullptr);
  EXPECT_EQ(to_ref(p->ncoef), BigRef(-5));
  free_poly(&p);
  EXPECT_EQ(p, nullptr);
  {
    ArithModeGuard g;
    lintmode = modularmode = true;
    ScopedValue<std::int32_t> m(modulus, 7);
    poly_set(-5, &p);
    EXPECT_EQ(p->ncoef->lint, -5) << "word mode stores the word unreduced";
    free_poly(&p);
  }
  {
    ArithModeGuard g;
    flotemode = true;
    poly_set(9, &p);
    EXPECT_EQ(p->ncoef->flote, 9.0L);
    free_poly(&p);
  }
  // poly_set frees the old value first.
  p = term(2, leaf(3), leaf(1));
  poly_set(4, &p);
  EXPECT_EQ(to_ref(p->ncoef), BigRef(4));
  free_poly(&p);
}

TEST(Polys, FreePolyGivesBackEveryLevel) {
  NodeBalance balance;
  // (3y + 1) x^2 + 7 y^4 x + 2
  poly p = term(2, term(1, leaf(3), leaf(1)), term(1, term(4, leaf(7)), leaf(2)));
  EXPECT_GT(live_nodes().polys, 0);
  free_poly(&p);
  EXPECT_EQ(p, nullptr);
  poly none = nullptr;
  free_poly(&none);
}

// free_poly fetches ahead at the steps between the records it walks; it
// gives back exactly the polynomial's records (the first on each free list
// after it), in runs (fresh) or strewn (shuffled free list), big or word mode.
TEST(Polys, FreePolyGivesBackExactlyItsRecordsInRunsOrStrewn) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed());
  auto value = [&rng] { return static_cast<std::int32_t>(rng() % (1 << 30)) - (1 << 29); };
  for (int round = 0; round < 4; ++round) {
    ArithModeGuard g;
    lintmode = modularmode = (round % 2 == 1);
    std::vector<poly> junk(round >= 2 ? 3000 : 0);
    for (poly& j : junk) j = leaf(value());
    std::shuffle(junk.begin(), junk.end(), rng);
    for (poly& j : junk) free_poly(&j);
    poly p = leaf(1);  // 40 x-terms over 50 y-terms over leaves of one or two limbs
    for (int i = 1; i <= 40; ++i) {
      poly inner = leaf(7);
      for (int j = 1; j <= 50; ++j) inner = term(j, leaf(value()), inner);
      p = term(i, inner, p);
    }
    std::set<void*> held[3], given[3];
    auto collect = [&](auto& self, poly q) -> void {
      for (; q != nullptr; q = q->next) {
        held[0].insert(q);
        if (!q->numb) self(self, q->pcoef);
        if (q->numb) held[1].insert(q->ncoef);
        for (numptr l = q->numb && !lintmode ? q->ncoef->head : nullptr; l != nullptr; l = l->next)
          held[2].insert(l);
      }
    };
    collect(collect, p);
    free_poly(&p);
#ifndef TAVRIN_POOL_BYPASS
    for (poly q = polygarb; q != nullptr && given[0].size() < held[0].size(); q = q->next)
      given[0].insert(q);
    for (imptr x = imhead; x != nullptr && given[1].size() < held[1].size(); x = x->imag)
      given[1].insert(x);
    for (numptr l = numhead; l != nullptr && given[2].size() < held[2].size(); l = l->next)
      given[2].insert(l);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(given[k], held[k]) << "round " << round << ", kind " << k;
#endif
  }
}

// Each leaf comes back after its term: the next list of the shape takes the same records.
TEST(Polys, FreedTermsAndLeavesComeBackInPairsForTheNextList) {
#ifndef TAVRIN_POOL_BYPASS
  NodeBalance balance;
  auto build = [](std::vector<void*>* records) {  // 30 x^30 + ... + x + 9
    poly head = nullptr;
    poly* link = &head;
    for (int i = 30; i >= 1; --i, link = &(*link)->next) {
      *link = term(i, nullptr);
      (*link)->pcoef = leaf(i);
    }
    *link = leaf(9);
    for (poly q = head; q != nullptr; q = q->next)
      records->insert(records->end(), {q, q->numb ? nullptr : q->pcoef});
    return head;
  };
  std::vector<void*> order, again;
  poly p = build(&order);
  free_poly(&p);
  p = build(&again);
  EXPECT_EQ(again, order);
  free_poly(&p);
#endif
}

TEST(Polys, RemoveDummy) {
  NodeBalance balance;
  poly t = term(0, leaf(11), nullptr);
  remove_dummy(t);
  EXPECT_TRUE(t->numb);
  EXPECT_EQ(to_ref(t->ncoef), BigRef(11));
  free_poly(&t);
}

TEST(Polys, SpecialFreePoly) {
  NodeBalance balance;
  poly a = leaf(1);
  a->next = leaf(2);
  a->next->next = leaf(3);
  free_imag(&a->next->ncoef);  // a nil number in the list is allowed
  special_free_poly(&a);
  EXPECT_EQ(a, nullptr);
}

TEST(Quolys, FreeQuolyFreesOneCellOnly) {
  NodeBalance balance;
  quoly a = nullptr, b = nullptr;
  quoly_set(1, &a);
  quoly_set(2, &b);
  a->next = b;
  free_quoly(&a);
  EXPECT_EQ(a, nullptr);
  EXPECT_EQ(to_ref(b->ncoef), BigRef(2));
  free_quoly(&b);
}

// A number cell is given back as free_imag gives back its number: in word
// mode its limbs stay where they are; a cell without a number and a
// quotient cell go back whole.
TEST(Quolys, FreeQuolyGivesBackItsNumberAsFreeImag) {
  NodeBalance balance;
  quoly q = nullptr;
  quoly_set(0, &q);
  free_imag(&q->ncoef);
  {
    NodeBalance one;
    q->ncoef = from_ref(BigRef::from_decimal("-123456789012345678901234567890"));
    const numptr head = q->ncoef->head, tail = q->ncoef->tail;
    const std::vector<std::int32_t> limbs = limbs_of(q->ncoef);
    {
      ArithModeGuard g;
      lintmode = true;
      free_quoly(&q);
    }
    EXPECT_EQ(q, nullptr);
    const node_census kept = one.change();
    // (Limbs given back would now belong to the free list: not walked.)
    ASSERT_EQ(kept.limbs, static_cast<long>(limbs.size()));
    EXPECT_EQ(kept.numbers, 0);
    EXPECT_EQ(kept.quolys, -1);
    std::vector<std::int32_t> still;
    for (numptr p = head; p != nullptr; p = p->next) still.push_back(p->value);
    EXPECT_EQ(still, limbs);
    free_limb_list(head, tail);
    one.reset();
  }
  newquoly(&q);
  q->numb = true;
  q->ncoef = nullptr;
  free_quoly(&q);
  EXPECT_EQ(q, nullptr);
  newquoly(&q);
  q->numb = false;
  q->numer = term(2, leaf(3), leaf(-1));
  q->denom = leaf(7);
  free_quoly(&q);
  EXPECT_EQ(q, nullptr);
}

TEST(Quolys, QuolySetOnAQuotient) {
  NodeBalance balance;
  quoly q;
  newquoly(&q);
  q->numb = false;
  q->numer = term(1, leaf(2), leaf(1));
  q->denom = term(3, leaf(5));
  q->rat = false;
  quoly before = q;
  quoly_set(7, &q);
  EXPECT_TRUE(q->numb);
  EXPECT_EQ(to_ref(q->ncoef), BigRef(7));
#ifndef TAVRIN_POOL_BYPASS
  EXPECT_EQ(q, before) << "the freed cell is normally the one that comes back";
#endif
  (void)before;
  fl_quoly_set(2.5L, &q);
  EXPECT_EQ(q->ncoef->flote, 2.5L);
  // Neither setter sets next: a recycled cell's next still points into the
  // free list, and purging along it would free the free cells again.
  q->next = nullptr;
  purge_list(&q);
  EXPECT_EQ(q, nullptr);
}

TEST(Quolys, PurgeListFreesTheChain) {
  NodeBalance balance;
  quoly head = nullptr;
  for (int k = 0; k < 5; ++k) {
    quoly c = nullptr;
    quoly_set(k, &c);
    c->next = head;
    head = c;
  }
  purge_list(&head);
  EXPECT_EQ(head, nullptr);
}

TEST(Records, RecycledPolydataIsCleared) {
  polypt a = nullptr;
  newpt(&a);
  a->let = tokentipe{"t", 7};
  a->expon = 5;
  a->depth = 3;
  a->field = true;
  polypt keep = a;
  free_pt(&a);
  newpt(&a);
  EXPECT_EQ(a, keep);  // the record comes back from pt_garb
  EXPECT_STREQ(a->let.name, "");
  EXPECT_EQ(a->expon, 0);
  EXPECT_EQ(a->depth, 0);
  EXPECT_FALSE(a->field);
  free_pt(&a);
}

TEST(Records, PolydataConstructors) {
  ScopedValue<std::int32_t> cut(poly_cutoff, 33);
  polypt a = nullptr;
  newpt(&a);
  EXPECT_EQ(a->polycut, 33);
  EXPECT_EQ(a->modls, -1);
  EXPECT_EQ(a->p, nullptr);
  EXPECT_EQ(a->gcd_data, nullptr);
  EXPECT_EQ(a->next, nullptr);
  EXPECT_FALSE(a->field);
  EXPECT_EQ(a->aux_num, 0);
  a->depth = 3;
  a->expon = 5;
  a->let = tokentipe{"t", -1};
  polypt below = nullptr;
  newpt(&below);
  a->next = below;
  polypt d = nullptr;
  newdummy(a, &d);
  EXPECT_EQ(d->next, below);
  EXPECT_EQ(d->depth, 3);
  EXPECT_EQ(d->expon, 5);
  EXPECT_STREQ(d->let.name, "t");
  EXPECT_EQ(d->p, nullptr);

  NodeBalance balance;
  a->p = leaf(2);
  a->alt = term(1, leaf(1), leaf(2));
  a->pwr = nullptr;
  imptr g1 = from_ref(BigRef(7));
  imptr g2 = from_ref(BigRef::from_decimal("123456789012345"));
  g1->imag = g2;
  a->gcd_data = g1;
  a->aux_num = 2;
  polypt keep = a;
  free_pt(&a);
  EXPECT_EQ(a, nullptr);
  EXPECT_EQ(keep->p, nullptr);
  EXPECT_EQ(keep->alt, nullptr);
  EXPECT_EQ(keep->gcd_data, nullptr);
  EXPECT_EQ(keep->aux_num, 0);
  EXPECT_EQ(pt_garb, keep);
  free_pt(&d);
  free_pt(&below);
}

// Sets a free list aside for a test; the destructor hangs it back behind
// whatever the test left on the list, so no record is lost.
template <class T>
class ListAside {
 public:
  explicit ListAside(T*& head) : head_(head), old_(head) { head_ = nullptr; }
  ~ListAside() {
    if (head_ == nullptr) {
      head_ = old_;
      return;
    }
    T* last = head_;
    while (last->next != nullptr) last = last->next;
    last->next = old_;
  }

 private:
  T*& head_;
  T* old_;
};

TEST(Records, OtherConstructors) {
  arrptr arr = nullptr;
  ListAside<arrnode> fresh(arr_garb);
  newarray(&arr);
  EXPECT_EQ(arr->sizearr.size, 0) << "a heap record starts with no limbs";
  arr->sizearr.size = 3;
  arr->next = arr_garb;
  arr_garb = arr;
  arrptr again = nullptr;
  newarray(&again);
  EXPECT_EQ(again, arr);
  EXPECT_EQ(again->sizearr.size, 3) << "a recycled record keeps its old value";
  again->sizearr.size = 0;

  sparseptr sp = nullptr;
  {
    ArithModeGuard g;
    modularmode = true;
    newsparse(&sp);
    EXPECT_TRUE(sp->modmode);
  }
  colptr col = nullptr;
  newcol(&col);
  EXPECT_EQ(col->f, nullptr);
  fixptr fx = nullptr;
  newfix(&fx);
  EXPECT_EQ(fx->special, zzero);
  nameptr nm = nullptr;
  newname(&nm);
  EXPECT_FALSE(nm->compiled);
  EXPECT_FALSE(nm->space);
  // Give everything back.
  again->next = arr_garb;
  arr_garb = again;
  sp->next = spargarb;
  spargarb = sp;
  col->next = colgarb;
  colgarb = col;
  free_fix_list(fx, fx);
  nm->next = nullptr;
  freename(nm);
}

TEST(Records, NameChainsAndForms) {
  ListAside<namenode> names(name_garb);
  ListAside<formnode> forms(formhead);
  ListAside<condnode> conds(condhead);
  nameptr a = nullptr, b = nullptr, c = nullptr;
  newname(&a);
  newname(&b);
  newname(&c);
  a->next = b;
  b->next = nullptr;
  c->next = nullptr;
  freename(a);
  EXPECT_EQ(name_garb, a);
  condexptr cond = nullptr;
  newcond(&cond);
  cond->cond = c;
  cond->expr = nullptr;
  // A two-statement body with a comment on its second statement: the whole
  // list goes back, not only its first entry.
  formptr body = nullptr, second = nullptr;
  newform(&body);
  newform(&second);
  body->cptr = nullptr;
  body->comms = nullptr;
  body->next = second;
  second->cptr = nullptr;
  second->next = nullptr;
  nameptr text = nullptr;
  newname(&text);
  text->next = nullptr;
  second->comms = new comnode{text, nullptr};
  cond->form1 = body;
  cond->form2 = nullptr;
  formptr outer = nullptr;
  newform(&outer);
  outer->cptr = cond;
  outer->comms = nullptr;
  outer->next = nullptr;
  const formptr outer_node = outer;
  free_form(&outer);
  EXPECT_EQ(outer, nullptr);
  EXPECT_EQ(formhead, outer_node) << "the outer statement goes back last";
  EXPECT_EQ(condhead, cond);
  std::set<formnode*> freed;
  for (formptr f = formhead; f != nullptr; f = f->next) freed.insert(f);
  EXPECT_TRUE(freed.count(body) && freed.count(second));
  std::set<namenode*> names_back;
  for (nameptr n = name_garb; n != nullptr; n = n->next) names_back.insert(n);
  EXPECT_TRUE(names_back.count(c) && names_back.count(text));
}

TEST(FreeLists, MixedTrafficNeverHandsOutARecordTwice) {
  NodeBalance balance;
  std::mt19937_64 rng(test_seed());
  std::vector<poly> polys;
  std::vector<quoly> quolys;
  std::vector<imptr> nums;
  std::set<void*> live;
  for (int round = 0; round < test_iterations(20000); ++round) {
    const unsigned what = static_cast<unsigned>(rng() % 6);
    if (what == 0) {
      poly p = nullptr;
      newpoly(&p);
      p->numb = true;
      p->next = nullptr;
      newimag(&p->ncoef);
      setvalue(static_cast<std::int32_t>(rng()), p->ncoef);
      ASSERT_TRUE(live.insert(p).second);
      ASSERT_TRUE(live.insert(p->ncoef).second);
      polys.push_back(p);
    } else if (what == 1) {
      quoly q = nullptr;
      quoly_set(static_cast<std::int32_t>(rng() % 1000), &q);
      ASSERT_TRUE(live.insert(q).second);
      ASSERT_TRUE(live.insert(q->ncoef).second);
      quolys.push_back(q);
    } else if (what == 2) {
      imptr x = from_ref(random_big(rng, 8));
      ASSERT_TRUE(live.insert(x).second);
      nums.push_back(x);
    } else if (what == 3 && !polys.empty()) {
      poly p = polys.back();
      polys.pop_back();
      live.erase(p);
      live.erase(p->ncoef);
      free_poly(&p);
    } else if (what == 4 && !quolys.empty()) {
      quoly q = quolys.back();
      quolys.pop_back();
      live.erase(q);
      live.erase(q->ncoef);
      free_quoly(&q);
    } else if (what == 5 && !nums.empty()) {
      imptr x = nums.back();
      nums.pop_back();
      live.erase(x);
      free_imag(&x);
    }
  }
  for (poly p : polys) free_poly(&p);
  for (quoly q : quolys) free_quoly(&q);
  for (imptr x : nums) free_imag(&x);
}

#ifndef TAVRIN_POOL_BYPASS
TEST(FreeLists, OrderingTheFreeLimbsKeepsTheSameLimbsFree) {
  NodeBalance balance;
  // Strew the free list: numbers freed in a shuffled order.
  std::mt19937_64 rng(test_seed());
  std::vector<imptr> xs;
  for (int i = 0; i < 200; ++i) xs.push_back(from_ref(BigRef::pow2(28 * (1 + i % 9)) - BigRef(i)));
  std::shuffle(xs.begin(), xs.end(), rng);
  for (imptr& x : xs) free_imag(&x);
  std::multiset<numptr> before;
  for (numptr p = numhead; p != nullptr; p = p->next) before.insert(p);
  detail::order_free_limbs();
  std::multiset<numptr> after;
  numptr prev = nullptr;
  for (numptr p = numhead; p != nullptr; p = p->next) {
    EXPECT_TRUE(prev == nullptr || prev < p) << "not in ascending address order";
    prev = p;
    after.insert(p);
  }
  EXPECT_EQ(after, before);
  // Numbers built from the ordered list are sound.
  const BigRef v = BigRef::pow2(28 * 40) - BigRef(12345);
  imptr y = from_ref(v);
  EXPECT_EQ(to_ref(y), v);
  free_imag(&y);
}

TEST(FreeLists, AFreeListOfLongRunsIsLeftInItsOrder) {
  // Numbers of 40 to 200 limbs built from the pool and freed whole, in a
  // shuffled order: runs of neighbouring limbs, 32 or more on average, which
  // the ordering leaves as they are (numbers of at most 9 limbs are sorted,
  // above). The same limbs stay free, and numbers built after are sound.
  NodeBalance balance;
  wipe_free_lists();
  std::mt19937_64 rng(test_seed() + 1);
  std::vector<imptr> xs;
  for (int i = 0; i < 60; ++i)
    xs.push_back(from_ref(BigRef::pow2(28 * (40 + 3 * i)) - BigRef(i + 1)));
  std::shuffle(xs.begin(), xs.end(), rng);
  for (imptr& x : xs) free_imag(&x);
  std::vector<numptr> before;
  for (numptr p = numhead; p != nullptr; p = p->next) before.push_back(p);
  detail::order_free_limbs();
  std::vector<numptr> after;
  for (numptr p = numhead; p != nullptr; p = p->next) after.push_back(p);
  EXPECT_EQ(after, before);
  const BigRef v = BigRef::pow2(28 * 300) - BigRef(54321);
  imptr y = from_ref(v);
  EXPECT_EQ(to_ref(y), v);
  free_imag(&y);
}
#endif

// Limb lists laid out by hand in plain buffers, their links shuffled: the
// bitmap route and the comparison route against a sort of the addresses,
// each record keeping its value. The layouts cover a full buffer, records
// strewn over several address chunks, two separate buffers, records off
// the 16-byte grain (all at one offset), one record, and an empty list.
TEST(FreeLists, LimbListsRelinkedInAddressOrderByBothRoutes) {
  struct Layout {
    const char* name;
    std::size_t records;         // of the first buffer
    std::size_t every;           // the list takes every such record
    std::size_t second_records;  // of a second buffer, taken whole (0: none)
    std::size_t byte_offset;     // of the records from the buffers' starts
  };
  const Layout layouts[] = {
      {"full buffer", 5000, 1, 0, 0},    {"strewn over chunks", 400000, 37, 0, 0},
      {"two buffers", 3000, 3, 2000, 0}, {"off the grain", 200000, 5, 0, 8},
      {"one record", 1, 1, 0, 0},        {"empty", 0, 1, 0, 0},
  };
  std::mt19937_64 rng(test_seed() + 2);
  for (const Layout& l : layouts) {
    for (const bool bitmap : {true, false}) {
      SCOPED_TRACE(std::string(l.name) + (bitmap ? ", bitmap" : ", comparison"));
      std::vector<unsigned char> first(l.records * sizeof(numnode) + 16),
          second(l.second_records * sizeof(numnode) + 16);
      auto at = [&](std::vector<unsigned char>& buffer, std::size_t k) {
        auto base = reinterpret_cast<std::uintptr_t>(buffer.data());
        base = (base + 15) / 16 * 16 + l.byte_offset;
        return reinterpret_cast<numptr>(base + k * sizeof(numnode));
      };
      std::vector<numptr> records;
      for (std::size_t k = 0; k < l.records; k += l.every) records.push_back(at(first, k));
      for (std::size_t k = 0; k < l.second_records; ++k) records.push_back(at(second, k));
      std::shuffle(records.begin(), records.end(), rng);
      for (std::size_t i = 0; i < records.size(); ++i) {
        records[i]->value = static_cast<std::int32_t>(i);
        records[i]->next = i + 1 < records.size() ? records[i + 1] : nullptr;
      }
      std::vector<std::pair<numptr, std::int32_t>> expected;
      for (numptr r : records) expected.emplace_back(r, r->value);
      std::sort(expected.begin(), expected.end());
      const numptr head = records.empty() ? nullptr : records[0];
      numptr p = bitmap ? detail::limbs_sorted_by_bitmap(head)
                        : detail::limbs_sorted_by_comparison(head, records.size());
      std::vector<std::pair<numptr, std::int32_t>> got;
      for (; p != nullptr && got.size() <= records.size(); p = p->next)
        got.emplace_back(p, p->value);
      EXPECT_EQ(got, expected);
    }
  }
}

TEST(PurgeFl, DropsNegligibleParts) {
  NodeBalance balance;
  ArithModeGuard g;
  flotemode = true;
  // 1e-9 x + 2
  poly p = term(1, leaf(0), leaf(2));
  p->pcoef->ncoef->flote = 1e-9L;
  p->next->ncoef->flote = 2.0L;
  bool nilled = true;
  purge_fl(&p, &nilled);
  EXPECT_FALSE(nilled);
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(p->numb);
  EXPECT_EQ(p->ncoef->flote, 2.0L);
  EXPECT_EQ(p->next, nullptr);
  flotemode = false;
  free_poly(&p);
  flotemode = true;
  // 1e-9 x
  poly q = term(1, leaf(0));
  q->pcoef->ncoef->flote = 1e-9L;
  purge_fl(&q, &nilled);
  EXPECT_TRUE(nilled);
  EXPECT_EQ(q, nullptr);
  poly empty = nullptr;
  nilled = false;
  purge_fl(&empty, &nilled);
  EXPECT_TRUE(nilled);
}

}  // namespace
}  // namespace tavrin::test
