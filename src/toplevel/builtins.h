// The table of built-in names, read at start from the data file "Qerrs".
//
// Entries 0 .. numbuiltins are pairs of names of at most 10 characters: the
// built-in's name and its second name. The first names are in strictly
// ascending order of unsigned bytes (a name sorts before every longer name
// it begins), and a built-in's index is its place in that order. When the
// second name begins with "*" (as "*89"), the first name is an alias of that
// operator token; the others do not begin with "*". Rows past numbuiltins
// hold "b" and the empty name.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

constexpr int builtin_slots = 110;
extern nametype builtin[builtin_slots][2];
extern std::int32_t numbuiltins;  // index of the last entry in use; -1: none

// The index of the entry whose first name equals `key` among the indices
// start .. stop (both included), by bisection; -1 when there is none (at
// once when stop < start).
std::int32_t find_built_in(std::int32_t start, std::int32_t stop, const char* key);

}  // namespace tavrin
