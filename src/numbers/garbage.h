// Size measures of values, the free-list report and the sorting of free
// lists by address.
//
// Sizes are accounted with the classic record sizes (numbersize 32,
// numnodesize 8, polynodesize 16, quolysize 20), whatever the host's
// records really occupy, so every printed figure is stable.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// Bytes held by a value: a number counts numbersize plus, outside word mode,
// size * numnodesize; a polynomial polynodesize per node of every level plus
// its numbers; a value cell quolysize plus its number or numerator and
// denominator. nil counts 0.
std::int32_t sizenumber(imptr p);
std::int32_t sizepoly(poly p);
std::int32_t sizequoly(quoly q);

// Bytes lying on the free lists of limbs, headers, polynodes and value cells,
// each list counted up to its cap (the count stops at the cap plus one):
//   fast_garbsize: 60,000 / 100,000 / 100,000 / 30,000
//   med_garbsize: 1,000,000 / 1,000,000 / 1,000,000 / 100,000
//   big_garbsize: 1,000,000 / 6,000,000 / 10,000,000 / value cells not counted
//   garbsize: no caps
std::int32_t fast_garbsize();
std::int32_t med_garbsize();
std::uint32_t big_garbsize();
std::uint32_t garbsize();

// Prints the memory report: the length of each free list, the weighted
// total, the system data size (size_data_strucs plus the bytes of the GCD
// cache) and their sum. With x = 'G' the entries of the lists are listed too.
void garbage(char x);

// Defined above this folder, called by garbage:
// The records on the free list of scalar variables (lang/variables.h); with
// list, each record's name is printed ("%s\n").
std::int32_t count_free_vars(bool list);
// The bytes held by the entries of the GCD cache (gcd/gcd_stash.h).
std::int64_t mass_gcd_stash();

// Sort the free lists polygarb, quolygarb, imhead and colm_garb by address
// (the first 600,000 entries; the rest stays behind them in its old order).
void clean_up_poly();
void clean_up_quoly();
void clean_up_imp();
void clean_up_colm();

// Sorts par[i..j] ascending (median-of-three quicksort; keys distinct).
void quiksort(std::uintptr_t* par, std::int32_t i, std::int32_t j);
// The partition step of quiksort: *r := the pivot's final place, *hit :=
// whether the pivot moved.
void parttion(std::uintptr_t* par, std::int32_t i, std::int32_t j, std::int32_t* r, bool* hit);

// Floating mode: removes from *q every number leaf with |flote| < 1e-8 and
// every term whose coefficient vanishes so; *nilled := every node went
// (then *q is nil).
void purge_fl(poly* q, bool* nilled);

}  // namespace tavrin
