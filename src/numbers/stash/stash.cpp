#include "numbers/stash/stash.h"

#include <cstdio>
#include <new>
#include <vector>

#include "core/errors.h"

namespace tavrin {

namespace {

constexpr std::int32_t round_up(std::int32_t v, std::int32_t to) { return (v + to - 1) / to * to; }

constexpr std::int32_t carve_for(std::int32_t nominal, std::size_t record_bytes) {
  std::int32_t real = nominal;
  if (record_bytes > static_cast<std::size_t>(real)) real = static_cast<std::int32_t>(record_bytes);
  if (real < static_cast<std::int32_t>(sizeof(slug)))
    real = static_cast<std::int32_t>(sizeof(slug));
  return round_up(real, 8);
}

}  // namespace

stash primal_stash = {nullptr,
                      nullptr,
                      &primal_stash,
                      &primal_stash,
                      "storage allocator",
                      static_cast<std::int32_t>((sizeof(stash) + 3) / 4 * 4),
                      0,
                      0,
                      0,
                      carve_for(static_cast<std::int32_t>(sizeof(stash)), 0)};
stashblock* extra_blocks = nullptr;

stash* polystash = nullptr;
stash* quolystash = nullptr;
stash* numstash = nullptr;
stash* imagstash = nullptr;
stash* colmstash = nullptr;

std::uint64_t totalavailablememory = 0;

stashblock* default_stash_block_alloc() { return new (std::nothrow) stashblock; }
stash_block_allocator stash_block_alloc = default_stash_block_alloc;

namespace {

// Carves one block (a spare one first) into the pool's free list.
void carve_block(stash* s) {
  stashblock* b = extra_blocks;
  if (b != nullptr) {
    extra_blocks = b->pblock;
  } else {
    b = stash_block_alloc();
    if (b == nullptr) return;
  }
  const std::size_t step = static_cast<std::size_t>(s->carve_size);
  const std::size_t count = stash_block_bytes / step;
  slug* below = nullptr;
  for (std::size_t k = 0; k < count; ++k) {
    slug* sl = reinterpret_cast<slug*>(b->space + k * step);
    sl->pslug = below;
    below = sl;
  }
  s->slugs = below;  // the highest slug
  b->pblock = s->blocks;
  s->blocks = b;
  s->n_blocks += 1;
  s->n_slugs += static_cast<std::int32_t>(count);
}

void report_exhausted(const stash* s) {
  std::printf("out of memory while trying to accesss stash %s\n", s->name);
  stash_stats();
}

}  // namespace

void* get_slug(stash* pstash) {
  if (pstash == nullptr) return nullptr;
  if (pstash->slugs == nullptr) carve_block(pstash);
  if (pstash->slugs == nullptr) {
    report_exhausted(pstash);
    return nullptr;
  }
  slug* s = pstash->slugs;
  pstash->slugs = s->pslug;
  pstash->slugs_used += 1;
  return s;
}

void* get_slug_or_unwind(stash* pstash) {
  void* p = get_slug(pstash);
  if (p == nullptr) memory_exhausted();
  return p;
}

void free_slug(stash* pstash, void* ptr) {
  slug* s = static_cast<slug*>(ptr);
  s->pslug = pstash->slugs;
  pstash->slugs = s;
  pstash->slugs_used -= 1;
}

stash* open_stash(int size, const char* name, std::size_t record_bytes) {
  stash* s = static_cast<stash*>(get_slug(&primal_stash));
  if (s == nullptr) return nullptr;
  s->slugs = nullptr;
  s->blocks = nullptr;
  s->prev = &primal_stash;
  s->next = primal_stash.next;
  primal_stash.next->prev = s;
  primal_stash.next = s;
  s->name = name;
  s->n_blocks = 0;
  s->n_slugs = 0;
  s->slugs_used = 0;
  std::int32_t sz = round_up(size, 4);
  if (sz <= 4) sz = 4;
  s->slug_size = sz;
  s->carve_size = carve_for(sz, record_bytes);
  return s;
}

void endof_stash(stash* pstash) {
  if (pstash == nullptr || pstash == &primal_stash) return;
  if (pstash->blocks != nullptr) {
    stashblock* last = pstash->blocks;
    while (last->pblock != nullptr) last = last->pblock;
    last->pblock = extra_blocks;
    extra_blocks = pstash->blocks;
  }
  pstash->prev->next = pstash->next;
  pstash->next->prev = pstash->prev;
  free_slug(&primal_stash, pstash);
}

void get_block(stash* pstash) {
  if (pstash != nullptr) carve_block(pstash);
}

int more_mem() {
  stashblock* b = stash_block_alloc();
  if (b == nullptr) return 0;
  b->pblock = extra_blocks;
  extra_blocks = b;
  return 1;
}

int* get_small(int number) {
  constexpr int chunk_ints = static_cast<int>(stash_block_bytes / sizeof(int));
  static int* chunk = nullptr;
  static int left = 0;
  // Abandoned chunks stay owned for the life of the process.
  static std::vector<int*>* all_chunks = new std::vector<int*>;
  if (number <= 0 || number > chunk_ints) return nullptr;
  if (chunk == nullptr || left < number) {
    int* fresh = new (std::nothrow) int[chunk_ints];
    if (fresh == nullptr) return nullptr;
    all_chunks->push_back(fresh);
    chunk = fresh;
    left = chunk_ints;
  }
  int* p = chunk;
  chunk += number;
  left -= number;
  return p;
}

void stash_stats() {
  std::printf("STASH NAME: number of blocks, number of slugs, slugs_used, slug_size\n");
  std::fflush(stdout);
}

void print_stash_stats(const stash* pstash) {
  if (pstash == nullptr) return;
  std::printf("%s: \t%d, \t%d, \t%d, \t%d\n", pstash->name, pstash->n_blocks, pstash->n_slugs,
              pstash->slugs_used, pstash->slug_size);
}

std::uint64_t memavail() {
  const stash* pools[] = {quolystash, polystash, numstash, imagstash, colmstash};
  std::uint64_t sum = 0;
  for (const stash* s : pools) {
    if (s == nullptr) continue;
    sum += static_cast<std::uint64_t>(s->slugs_used) * static_cast<std::uint64_t>(s->slug_size);
    if (sum >= totalavailablememory) return 0;
  }
  if (sum >= totalavailablememory) return 0;
  return totalavailablememory - sum;
}

void find_total_available_memory() {
  if (totalavailablememory < 10) totalavailablememory = std::uint64_t{1} << 32;
}

}  // namespace tavrin
