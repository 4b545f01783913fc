// The pool allocator: slug sizes, carving order, exhaustion and the budget.
#include "numbers/stash/stash.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/jumps.h"
#include "core/mode_guard.h"
#include "core/records.h"

namespace tavrin {
namespace {

TEST(OpenStash, RoundsSlugSizes) {
  EXPECT_EQ(open_stash(1, "t1")->slug_size, 4);
  EXPECT_EQ(open_stash(3, "t3")->slug_size, 4);
  EXPECT_EQ(open_stash(4, "t4")->slug_size, 4);
  EXPECT_EQ(open_stash(13, "t13")->slug_size, 16);
  EXPECT_EQ(open_stash(16, "t16")->slug_size, 16);
  // A slug always holds at least the free-list link and the record it serves.
  stash* s = open_stash(16, "big records", 40);
  EXPECT_EQ(s->slug_size, 16);
  EXPECT_EQ(s->carve_size, 40);
  EXPECT_GE(open_stash(4, "t")->carve_size, static_cast<std::int32_t>(sizeof(void*)));
}

TEST(OpenStash, JoinsTheRingBehindThePrimalPool) {
  stash* a = open_stash(8, "a");
  stash* b = open_stash(8, "b");
  EXPECT_EQ(primal_stash.next, b);
  EXPECT_EQ(b->next, a);
  EXPECT_EQ(a->prev, b);
  EXPECT_EQ(b->prev, &primal_stash);
  endof_stash(b);
  EXPECT_EQ(primal_stash.next, a);
  EXPECT_EQ(a->prev, &primal_stash);
}

TEST(GetSlug, CarvesFromTheTopOfABlockDownwards) {
  for (int size : {8, 16}) {
    stash* s = open_stash(size, "carving");
    const std::int32_t per_block = static_cast<std::int32_t>(stash_block_bytes) / size;
    unsigned char* first = static_cast<unsigned char*>(get_slug(s));
    EXPECT_EQ(s->n_blocks, 1);
    EXPECT_EQ(s->n_slugs, per_block);
    EXPECT_EQ(s->slugs_used, 1);
    EXPECT_EQ(first, s->blocks->space + (per_block - 1) * size) << "highest slug first";
    unsigned char* second = static_cast<unsigned char*>(get_slug(s));
    EXPECT_EQ(second, first - size);
    for (std::int32_t k = 2; k < per_block; ++k) get_slug(s);
    EXPECT_EQ(s->n_blocks, 1);
    get_slug(s);  // the first slug past a block comes from a second block
    EXPECT_EQ(s->n_blocks, 2);
    EXPECT_EQ(s->n_slugs, 2 * per_block);
    EXPECT_EQ(s->slugs_used, per_block + 1);
  }
  EXPECT_EQ(32768, static_cast<int>(stash_block_bytes / 16));
  EXPECT_EQ(65536, static_cast<int>(stash_block_bytes / 8));
}

TEST(GetSlug, NilPoolGivesNil) { EXPECT_EQ(get_slug(nullptr), nullptr); }

TEST(GetSlug, FreedSlugComesBackFirst) {
  stash* s = open_stash(12, "recycling");
  void* a = get_slug(s);
  void* b = get_slug(s);
  free_slug(s, a);
  EXPECT_EQ(s->slugs_used, 1);
  EXPECT_EQ(get_slug(s), a);
  EXPECT_NE(a, b);
}

stashblock* refuse() { return nullptr; }

TEST(GetSlug, ExhaustedHeapReportsAndUnwinds) {
  ScopedValue<stash_block_allocator> no_heap(stash_block_alloc, refuse);
  ScopedValue<stashblock*> no_spares(extra_blocks, nullptr);
  stash* s = open_stash(16, "doomed");
  testing::internal::CaptureStdout();
  EXPECT_EQ(get_slug(s), nullptr);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out,
            "out of memory while trying to accesss stash doomed\n"
            "STASH NAME: number of blocks, number of slugs, slugs_used, slug_size\n");
  EXPECT_EQ(s->slugs_used, 0);
  testing::internal::CaptureStdout();
  EXPECT_THROW(get_slug_or_unwind(s), TopLevelJump);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(more_mem(), 0);
  get_block(s);  // silent
  EXPECT_EQ(s->n_blocks, 0);
}

TEST(EndOfStash, BlocksBecomeSparesForTheNextPool) {
  stash* a = open_stash(16, "donor");
  get_slug(a);
  stashblock* donated = a->blocks;
  ScopedValue<stashblock*> spares(extra_blocks, nullptr);
  endof_stash(a);
  EXPECT_EQ(extra_blocks, donated);
  ScopedValue<stash_block_allocator> no_heap(stash_block_alloc, refuse);
  stash* b = open_stash(8, "taker");
  EXPECT_NE(get_slug(b), nullptr) << "a spare block is used before the heap";
  EXPECT_EQ(b->blocks, donated);
  EXPECT_EQ(extra_blocks, nullptr);
}

TEST(MoreMem, AddsASpareBlock) {
  stashblock* before = extra_blocks;
  EXPECT_EQ(more_mem(), 1);
  ASSERT_NE(extra_blocks, nullptr);
  EXPECT_EQ(extra_blocks->pblock, before);
}

TEST(GetSmall, HandsOutConsecutiveInts) {
  int* a = get_small(10);
  int* b = get_small(20);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(b, a + 10);
  int* big = get_small(131072);  // a whole chunk: a fresh one
  ASSERT_NE(big, nullptr);
  EXPECT_NE(big, b + 20);
  EXPECT_EQ(get_small(131073), nullptr);
}

TEST(StashStats, Formats) {
  stash* s = open_stash(20, "formatted");
  get_slug(s);
  testing::internal::CaptureStdout();
  stash_stats();
  print_stash_stats(s);
  print_stash_stats(nullptr);
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string per_block = std::to_string(stash_block_bytes / s->carve_size);
  EXPECT_EQ(out,
            "STASH NAME: number of blocks, number of slugs, slugs_used, slug_size\n"
            "formatted: \t1, \t" +
                per_block + ", \t1, \t20\n");
}

// Uses fresh pools in place of the five global ones, so the counts are known.
class Budget : public testing::Test {
 protected:
  Budget()
      : poly_(polystash, open_stash(16, "p")),
        quoly_(quolystash, open_stash(20, "q")),
        num_(numstash, open_stash(8, "n")),
        imag_(imagstash, open_stash(32, "i")),
        colm_(colmstash, open_stash(12, "c")),
        budget_(totalavailablememory) {}
  ScopedValue<stash*> poly_, quoly_, num_, imag_, colm_;
  ScopedValue<std::uint64_t> budget_;
};

TEST_F(Budget, CountsSlugsInUse) {
  totalavailablememory = 0;
  EXPECT_EQ(memavail(), 0u);
  totalavailablememory = 1000;
  EXPECT_EQ(memavail(), 1000u);
  quolystash->slugs_used = 1;
  polystash->slugs_used = 62;  // 992 + 20 bytes
  EXPECT_EQ(memavail(), 0u);
  polystash->slugs_used = 61;  // 976 + 20 bytes
  EXPECT_EQ(memavail(), 4u);
  imagstash->slugs_used = 1;
  EXPECT_EQ(memavail(), 0u);
}

TEST_F(Budget, LargeBudgetsDoNotWrap) {
  totalavailablememory = std::uint64_t{5} << 32;  // 20 GiB
  polystash->slugs_used = 100;
  EXPECT_EQ(memavail(), (std::uint64_t{5} << 32) - 1600);
  totalavailablememory = 5;
  find_total_available_memory();
  EXPECT_EQ(totalavailablememory, std::uint64_t{1} << 32);
  find_total_available_memory();
  EXPECT_EQ(totalavailablememory, std::uint64_t{1} << 32);
}

TEST(Pools, EverySlugIsHandedOutOnce) {
  stash* s = open_stash(16, "unique");
  std::set<void*> seen;
  for (int k = 0; k < 70000; ++k) EXPECT_TRUE(seen.insert(get_slug(s)).second);
  EXPECT_EQ(s->n_blocks, 3);
}

}  // namespace
}  // namespace tavrin
