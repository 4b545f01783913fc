// The GCD cache ("stash"): argument pairs and their GCDs, kept between
// calls so that computations that take the same GCD many times compute it
// once.
//
// Representation. gcd_stash[0 .. 366] (gcd_globals.h) are chains of entries
// along `next`, newest first. An entry is a quolynode used as a record:
//   numb, rat   false;
//   numer       a full copy of A, the argument of lower (or equal) degree in
//               the top variable;
//   denom       the holder: a polynode (numb false) whose pcoef is a full
//               copy of B, the other argument, whose exp is the entry's
//               mass, and whose next is the stored GCD (nil until it is
//               known); holder and GCD form one term list, so free_quoly
//               releases the entry whole.
// Copies are made in the current number mode (poly_assign: limbs, the
// residue alone, or the long double alone). The mass of a pair is
// simple_poly_mass(A) + simple_poly_mass(B) (13 a term, 31 a number plus 8 a
// limb outside word mode); a stored GCD adds its own. gcdmass is the sum
// over the entries.
//
// The bucket of a pair is (h(A) mod 367 + h(B) mod 367) mod 367, h summing
// over at most the first six nodes of the top list: a number leaf gives its
// number's hash (floating: fmodl(truncl(fabsl(v)), 367); word: the word mod
// 367, taken non-negative; big: (|leading limb| mod 367 + limb count) mod
// 367), a term gives hash_1(its coefficient, 2).
//
// One ground ring. The entries belong to the mode flags and modulus they
// were made under (prev_modulus holds that modulus, -1 outside modular
// arithmetic). gcdhash empties the cache before it looks up or stores
// anything under another ring, so a GCD never crosses a change of mode or
// modulus. Entries are always freed under the ring they were made in.
//
// Pending stores. A caller that finds no stored GCD computes it and stores
// it through a PendingGcdStore, which raises polygcd_stack_depth for the
// computation (no purge runs while it is positive, so the holder stays) and
// lowers it on every exit. Every emptying of the cache (free_gcd_stash, a
// purge, a change of ring) sets polygcd_stack_depth to 0 and invalidates
// the holders handed out before it: their stores then do nothing.
#pragma once

#include <cstdint>

#include "core/no_copy.h"
#include "core/records.h"
#include "core/ring.h"
#include "numbers/garbage.h"  // mass_gcd_stash

namespace tavrin {

// ---- Lookup ---------------------------------------------------------------------------
// *pr := the holder of the entry for the pair {u, v}: found by intable in
// the pair's bucket, or made at the head of the bucket (copies of A and B,
// exp the pair's mass, next nil; gcdmass += that mass, then a purge sparing
// the bucket when gcdmass > initial_memory div 2 and polygcd_stack_depth is
// 0). A holder whose next is not nil carries the GCD: the caller copies it.
// The cache is emptied first when its entries belong to another ring.
// u, v: kept (non-nil); *pr: set (the holder belongs to the cache).
// reads: mode flags, modulus, initial_memory, polygcd_stack_depth
void gcdhash(poly u, poly v, poly* pr);
// The same in `ring` (the ring in force), read instead of the mode globals.
void gcdhash(poly u, poly v, poly* pr, const Ring& ring);

// The hash of a coefficient polynomial at `level` (the argument's own terms
// are level 1): the sum over at most its first six nodes (a number leaf its
// number's hash, a term hash_1(coefficient, level + 1)), times level, mod
// 367. p: kept. reads: mode flags
std::int32_t hash_1(poly p, std::int16_t level);
std::int32_t hash_1(poly p, std::int16_t level, const Ring& ring);

// Searches the chain from *q for the pair (u, v): an entry matches when its
// copy of A equals u and its copy of B equals v along their top lists (term
// against term: equal exponents and poly_equal coefficients; leaf against
// leaf: equal numbers; anything else, or one list ending first, a
// mismatch), or, with equaldegs, when A equals v and B equals u. True with
// *q := the matching entry; false (with *q left as it was) at the end of
// the chain. u, v: kept. reads: mode flags
bool intable(quoly* q, poly u, poly v, bool equaldegs);

// ---- Shrinking and clearing -----------------------------------------------------------------
// Every bucket keeps only its newest entry; then, while the remaining mass
// exceeds (2 * initial_memory) div 3, whole buckets are emptied in index
// order 0, 1, ..., 366, bucket j spared; gcdmass := the remaining mass (0 if
// not positive). Holders handed out before are invalid afterwards.
// reads: initial_memory
void purge_gcd_stash(std::int32_t j);

// In modular arithmetic, when prev_modulus is modulus or -1: prev_modulus :=
// modulus and the entries stay. Otherwise (entries of another modulus while
// lookupgcd is 0: the internal error "prev_modulus = modulus in
// free_gcd_stash" with a nested level first) every entry is freed,
// prev_modulus := -1, gcdmass, lookupgcd, polygcd_stack_depth := 0.
// reads: modularmode, modulus
void free_gcd_stash();

// lookupgcd += 1. On the step from 0 to 1 the entries of another modulus
// go: outside modular arithmetic when prev_modulus > 0 (freed unless it is
// modulus; prev_modulus := -1 either way), in modular arithmetic when
// prev_modulus is neither modulus nor -1 (freed, prev_modulus := -1);
// freeing resets gcdmass and polygcd_stack_depth to 0.
void init_gcd_stash();

// lookupgcd -= 1; at 0, free_gcd_stash.
void pop_gcd_stash();

// One level of the cache for the guard's lifetime: init_gcd_stash, then
// pop_gcd_stash on every exit, except when free_gcd_stash has put the level
// back to 0 meanwhile (an error unwind does, outside modular arithmetic or
// after a change of modulus): a pop would then leave it negative.
class GcdStashLevel : NoCopy {
 public:
  GcdStashLevel();
  ~GcdStashLevel();

 private:
  std::uint64_t resets_;
};

// Registers with core the reset that an error unwinding to the top level
// makes: free_gcd_stash when lookupgcd > 0. Called once at start-up (and by
// the test programs); calling it again does nothing.
void register_gcd_stash_hooks();

// ---- Reports ------------------------------------------------------------------------------
// The bytes held by the entries, at the classic record sizes (quolysize a
// value cell, polynodesize a node, numbersize a number, numnodesize a limb).
// mass_gcd_stash(): declared in numbers/garbage.h, whose memory report calls it.

// The number of entries, of stored GCDs among them, and the times the cache
// was emptied since start (a test hook).
struct gcd_stash_census {
  long entries;
  long stored;
  long emptied;
};
gcd_stash_census gcd_stash_contents();

// ---- Storing a GCD --------------------------------------------------------------------------
// The store owed to a holder that gcdhash handed out with next nil.
// Construction raises polygcd_stack_depth. store(g): holder's next := a copy
// of g, simple_poly_mass(g) added to the holder's exp and to gcdmass, and
// polygcd_stack_depth lowered (below 0: the internal error "negative
// polygcd_stack_depth <site>", no nested level). Without a store (an error
// unwinding through the computation) the destructor lowers the count. When
// the cache was emptied after the holder was handed out, neither writes nor
// counts.
class PendingGcdStore {
 public:
  explicit PendingGcdStore(poly holder);
  ~PendingGcdStore();
  PendingGcdStore(const PendingGcdStore&) = delete;
  PendingGcdStore& operator=(const PendingGcdStore&) = delete;
  // g: kept. site: the number in the internal error's text (1 the driver,
  // 2 the one-variable GCD). reads: mode flags
  void store(poly g, int site);

 private:
  poly holder_;
  std::uint64_t generation_;
  bool done_ = false;
};

}  // namespace tavrin
