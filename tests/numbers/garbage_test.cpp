// Size measures, the free-list report and the sorting of free lists.
#include "numbers/garbage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "support/bigref.h"

namespace tavrin::test {
namespace {

poly leaf_of(const BigRef& v) {
  poly p;
  newpoly(&p);
  p->numb = true;
  p->exp = 0;
  p->next = nullptr;
  p->ncoef = from_ref(v);
  return p;
}

TEST(Sizes, OfValues) {
  imptr n = from_ref(BigRef::pow2(60));  // three limbs
  EXPECT_EQ(sizenumber(n), 32 + 3 * 8);
  {
    ArithModeGuard g;
    lintmode = true;
    EXPECT_EQ(sizenumber(n), 32);
  }
  EXPECT_EQ(sizenumber(nullptr), 0);
  // x * (5) + 7: two polynodes at the top, one below, two one-limb numbers.
  poly p;
  newpoly(&p);
  p->exp = 1;
  p->numb = false;
  p->pcoef = leaf_of(BigRef(5));
  p->next = leaf_of(BigRef(7));
  EXPECT_EQ(sizepoly(p), 3 * 16 + 2 * 40);
  EXPECT_EQ(sizepoly(nullptr), 0);
  quoly q;
  newquoly(&q);
  q->numb = false;
  q->numer = p;
  q->denom = leaf_of(BigRef(3));
  EXPECT_EQ(sizequoly(q), 20 + 3 * 16 + 2 * 40 + 16 + 40);
  free_quoly(&q);
  quoly r = nullptr;
  quoly_set(4, &r);
  EXPECT_EQ(sizequoly(r), 20 + 40);
  free_quoly(&r);
  free_imag(&n);
}

TEST(QuikSort, SortsLikeTheStandardSort) {
  std::mt19937_64 rng(test_seed());
  for (int n : {0, 1, 2, 3, 5, 17, 1000, 50000}) {
    std::vector<std::uintptr_t> v(static_cast<std::size_t>(n));
    for (std::size_t k = 0; k < v.size(); ++k) v[k] = k * 16 + 4096;
    std::shuffle(v.begin(), v.end(), rng);
    std::vector<std::uintptr_t> w = v;
    std::sort(w.begin(), w.end());
    if (n > 0) quiksort(v.data(), 0, n - 1);
    EXPECT_EQ(v, w) << "n = " << n;
  }
  // Already sorted and reversed inputs must not degrade the recursion.
  std::vector<std::uintptr_t> up(200000), down(200000);
  for (std::size_t k = 0; k < up.size(); ++k) {
    up[k] = k;
    down[k] = up.size() - k;
  }
  quiksort(up.data(), 0, 199999);
  quiksort(down.data(), 0, 199999);
  EXPECT_TRUE(std::is_sorted(up.begin(), up.end()));
  EXPECT_TRUE(std::is_sorted(down.begin(), down.end()));
  std::vector<std::uintptr_t> part = {50, 10, 40, 30, 20};
  std::int32_t r = -1;
  bool hit = false;
  parttion(part.data(), 0, 4, &r, &hit);
  ASSERT_GE(r, 0);
  for (std::int32_t k = 0; k < r; ++k) EXPECT_LT(part[k], part[r]);
  for (std::int32_t k = r + 1; k < 5; ++k) EXPECT_GT(part[k], part[r]);
}

#ifndef TAVRIN_POOL_BYPASS

// Lengths of the four counted free lists, for expectations.
struct Lists {
  long limbs, headers, polys, quolys;
};
Lists lists() {
  return {list_length(numhead), list_length(imhead), list_length(polygarb), list_length(quolygarb)};
}

TEST(GarbSize, CountsTheFreeListsWithCaps) {
  std::vector<poly> nodes(120000);
  for (poly& p : nodes) newpoly(&p);
  for (poly& p : nodes) free_polynode_list(p, p);
  const Lists l = lists();
  const long capped = std::min(l.polys, 100001L);
  EXPECT_EQ(fast_garbsize(), std::min(l.limbs, 60001L) * 8 + std::min(l.headers, 100001L) * 32 +
                                 capped * 16 + std::min(l.quolys, 30001L) * 20);
  EXPECT_EQ(static_cast<long>(garbsize()),
            l.limbs * 8 + l.headers * 32 + l.polys * 16 + l.quolys * 20);
  EXPECT_EQ(static_cast<long>(big_garbsize()),
            std::min(l.limbs, 1000001L) * 8 + l.headers * 32 + l.polys * 16);
  EXPECT_EQ(med_garbsize(), std::min(l.limbs, 1000001L) * 8 + l.headers * 32 + l.polys * 16 +
                                std::min(l.quolys, 100001L) * 20);
}

TEST(Garbage, ReportFormats) {
  // The lists reported only when they hold records are set aside for the
  // test, whatever earlier tests of the program left on them.
  ScopedValue<arrptr> arrays(arr_garb, nullptr);
  ScopedValue<nameptr> names(name_garb, nullptr);
  ScopedValue<fixptr> fixes(fixgarb, nullptr);
  ScopedValue<sparseptr> sparse(spargarb, nullptr);
  ScopedValue<colm_ptr> colms(colm_garb, nullptr);
  ScopedValue<colptr> cols(colgarb, nullptr);
  ScopedValue<polypt> pts(pt_garb, nullptr);
  ScopedValue<formptr> forms(formhead, nullptr);
  ScopedValue<condexptr> conds(condhead, nullptr);
  // Known lists: push a few records of each counted kind.
  imptr x = from_ref(BigRef::from_decimal("1234567890123456789"));
  free_imag(&x);
  poly p;
  newpoly(&p);
  p->exp = 42;
  free_polynode_list(p, p);
  const Lists l = lists();
  ScopedValue<std::int32_t> sys(size_data_strucs, 1000);
  testing::internal::CaptureStdout();
  garbage('g');
  const std::string out = testing::internal::GetCapturedStdout();
  char buf[512];
  const long total = l.limbs * 8 + l.headers * 32 + l.polys * 16 + l.quolys * 20;
  std::snprintf(buf, sizeof buf,
                "num count: %5d, 8\nim count: %5d, 32\npoly count: %5d, 16\nquoly count: %5d, 20\n"
                "total garbage: %9d\nsystem data size: %9d\ntotal size: %9d\n",
                static_cast<int>(l.limbs), static_cast<int>(l.headers), static_cast<int>(l.polys),
                static_cast<int>(l.quolys), static_cast<int>(total), 1000,
                static_cast<int>(total + 1000));
  EXPECT_EQ(out, buf);
  testing::internal::CaptureStdout();
  garbage('G');
  const std::string listed = testing::internal::GetCapturedStdout();
  EXPECT_NE(listed.find("\n42\n"), std::string::npos) << "the polynode's exponent is listed";
}

TEST(CleanUp, SortsTheFirst600000Nodes) {
  poly saved = polygarb;
  polygarb = nullptr;
  std::vector<poly> nodes(700000);
  for (poly& p : nodes) newpoly(&p);
  std::mt19937_64 rng(test_seed());
  std::shuffle(nodes.begin(), nodes.end(), rng);
  for (poly p : nodes) free_polynode_list(p, p);  // polygarb now runs nodes in reverse
  clean_up_poly();
  std::vector<poly> order;
  for (poly q = polygarb; q != nullptr; q = q->next) order.push_back(q);
  ASSERT_EQ(order.size(), 700000u);
  EXPECT_TRUE(std::is_sorted(order.begin(), order.begin() + 600000));
  std::vector<poly> sorted_first(nodes.rbegin(), nodes.rbegin() + 600000);
  std::sort(sorted_first.begin(), sorted_first.end());
  EXPECT_TRUE(std::equal(order.begin(), order.begin() + 600000, sorted_first.begin()));
  // The last 100,000 keep their old order.
  EXPECT_TRUE(std::equal(order.begin() + 600000, order.end(), nodes.rbegin() + 600000));
  // The earlier free list goes back behind the sorted nodes.
  order.back()->next = saved;
}

#endif

}  // namespace
}  // namespace tavrin::test
