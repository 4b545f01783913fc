// Pool allocator: pools ("stashes") of equal-size slugs carved from large
// blocks that are never handed back to the operating system.
//
// A pool's free slugs form a list through their first word. Carving a block
// yields floor(stash_block_bytes / carve) slugs; the free list then starts at
// the highest slug, so slugs are handed out from the top of a block downwards.
//
// Sizes: `slug_size` is the nominal size the pool was opened with, rounded up
// to a multiple of 4 (at least 4); it is what the statistics and memavail()
// count, so every figure reported matches the classic 32-bit record layout.
// `carve_size` is what a slug really occupies: at least the record size the
// pool serves, at least a pointer (the free-list link), 8-byte aligned.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tavrin {

constexpr std::size_t stash_block_bytes = 524288;

struct slug {
  slug* pslug;  // next free slug
};

struct stashblock {
  stashblock* pblock;  // next block of the same pool, or of the spare list
  std::int32_t pad;
  alignas(16) unsigned char space[stash_block_bytes];
};

struct stash {
  slug* slugs;         // free slugs; nil when empty
  stashblock* blocks;  // blocks carved for this pool, newest first
  stash* prev;
  stash* next;              // ring of all pools, headed by primal_stash
  const char* name;         // kept by reference
  std::int32_t slug_size;   // nominal bytes per slug (multiple of 4, >= 4)
  std::int32_t n_blocks;    // blocks carved
  std::int32_t n_slugs;     // slugs carved in all
  std::int32_t slugs_used;  // slugs currently handed out
  std::int32_t carve_size;  // bytes a slug really occupies in a block
};

// The pool of stash records themselves; heads the ring of all pools.
extern stash primal_stash;
// Spare blocks, taken by any pool before it asks the heap.
extern stashblock* extra_blocks;

// The five pools opened at start-up (the top level opens them, in this order).
extern stash* polystash;   // "stash of polynodes", 16
extern stash* quolystash;  // "stash of quolynodes", 20
extern stash* numstash;    // "stash of numnodes", 8
extern stash* imagstash;   // "stash of numbers", 32: never allocated from
extern stash* colmstash;   // "stash of colms", 12

// The memory budget in bytes; 0 until the top level sets it from the
// start-up file. Read by memavail().
extern std::uint64_t totalavailablememory;

// Opens a pool of `size`-byte slugs named `name` (kept by reference).
// `record_bytes` is the real size of the record it serves (0: just `size`).
// Returns nil when no memory could be had (after the messages of get_slug).
stash* open_stash(int size, const char* name, std::size_t record_bytes = 0);

// One slug of the pool; nil for a nil pool. When the heap refuses a block,
// prints "out of memory while trying to accesss stash <name>" and the
// statistics heading, and returns nil. Callers that need the slug use
// get_slug_or_unwind().
void* get_slug(stash* pstash);

// get_slug() for the record constructors: on exhaustion (after get_slug's
// messages) the computation is abandoned by unwinding to the top level.
void* get_slug_or_unwind(stash* pstash);

// Gives a slug back to its pool (records normally go to their free lists).
void free_slug(stash* pstash, void* ptr);

// Closes a pool: its blocks join the spare list, its record returns to
// primal_stash. Slugs still in use become invalid.
void endof_stash(stash* pstash);

// Carves one more block into the pool; silent on failure.
void get_block(stash* pstash);

// Allocates one block onto extra_blocks: 1 on success, 0 on failure.
int more_mem();

// Hands out `number` consecutive ints from chunks of 131,072 ints, starting
// a fresh chunk when fewer than `number` remain; nil when number exceeds a
// chunk or the heap refuses.
int* get_small(int number);

void stash_stats();
void print_stash_stats(const stash* pstash);

// The part of the budget not yet taken by slugs in use, summed over the pools
// quolystash, polystash, numstash, imagstash, colmstash in that order; 0 as
// soon as the sum reaches the budget (so 0 while no budget is set). Computed
// in 64 bits: budgets above 4 GiB are real.
std::uint64_t memavail();

// Sets the budget to 2^32 when it is below 10.
void find_total_available_memory();

// Test seam: the heap allocator used for pool blocks; tests replace it to
// simulate an exhausted heap. Returns nil on failure.
using stash_block_allocator = stashblock* (*)();
extern stash_block_allocator stash_block_alloc;
stashblock* default_stash_block_alloc();

}  // namespace tavrin
