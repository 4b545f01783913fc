// Sets of characters, the hash of names into the symbol tables, and the
// quickest lookup of a user array.
//
// A set (stuff) has 16 words of 16 bits and holds elements 0 .. 255: element
// e lives in word nbrWords - e/16 - 1 (element 0 in the last word) as bit
// e % 16. Every set of the system has nbrWords = 16.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

constexpr int set_words = 16;
struct stuff {
  std::uint16_t word[set_words];
};

// Every word := 0.
void PSet_Init(stuff* theSet, int nbrWords);
// Adds theElem (0 .. 16 nbrWords - 1; the caller keeps to that range).
void PSet_Set(stuff* theSet, int nbrWords, std::uint32_t theElem);
// Membership; any element of 16 nbrWords or more (a negative character
// passed as a large unsigned value among them) is not a member.
bool PSet_Test(const stuff* theSet, int nbrWords, std::uint32_t theElem);

// The named sets, filled once at start (init_character_sets) and never
// changed afterwards.
extern stuff throwaways;    // blank, tab, line feed, carriage return
extern stuff cond_set;      // "<", ">", "=", 0xAD (not equal), 0xB2 (<=), 0xB3 (>=)
extern stuff short_set;     // "=", ">"
extern stuff iterm_set;     // "*", "/", "\", "|"
extern stuff term_set;      // "*", "/", "\", "|", "("
extern stuff arr_term_ops;  // "*", "/", "|", "\", "_"
void init_character_sets();

// Membership of the character c (as an unsigned byte) in one of the sets.
inline bool in_set(const stuff& s, int c) {
  return PSet_Test(&s, set_words, static_cast<std::uint32_t>(c));
}

// The bucket of the name x in a table of `prime` buckets: h := (h * 123 + c)
// mod prime over the characters c of x as unsigned bytes, from h = 0; the
// empty name hashes to 0. Tables: 151 buckets for variables and arrays, 71
// for functions.
std::int16_t hash(const char* x, std::int32_t prime);

// The user array named by the token x: *q := its record (nil when there is
// none) and the result is its first cell `start` (-1 when there is none).
// The bucket is computed once and cached in x->address (an address outside
// 0 .. 150 counts as not cached).
// reads: arr_store
std::int32_t fastestlookup(tokentipe* x, arrptr* q);

}  // namespace tavrin
