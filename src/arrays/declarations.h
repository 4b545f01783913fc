// The "Array" declaration and the readers of subscripts that every array
// reference shares.
//
// Exact subscripts (evalcoords) are sums of terms evaluated with modular
// arithmetic off, so they are ordinary integers in every ring. Floating
// subscripts (float_coords: a function body running in floating mode) are
// long-double sums of factors joined by "*", "/", "\" and "|", rounded to
// the nearest integer; they read the stored token chain only.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "toplevel/scanner.h"

namespace tavrin {

// The declaration, the current token being "Array": name "[" rows [","
// cols] "]" ["Sparse"], repeated after ",". *n := 0. Errors: 40, 125, 178,
// 61, 118, 314, 27, 43, 26 (and the floating ones); declarations made
// before a failing one stay made. writes: new_array
void create_array(textptr inf, quolyptr n, nameptr* flag);

// Reads a coordinate pair; the current token is the first of the first
// coordinate, and the ending token is current on return (not consumed).
// With separator "~" a missing first coordinate is the origin and a missing
// second one (open range, before "," or "]") is -1 with *c_is_there false.
// Errors: 118 (not an integer), 314 (negative with creating), 27 (too large
// for a machine integer), 61 (no ending).
void evalcoords(textptr inf, std::int32_t* r, std::int32_t* c, nameptr* flag, char ending,
                char separator, bool* c_is_there, bool creating);

// One coordinate by the floating rule (errors 340, 68, 22, 129).
std::int32_t float_coordinate(textptr inf, nameptr* flag);

// The floating twin of evalcoords with ending "]" and separator ",": *c the
// origin unless a second coordinate follows. No "]" is error 61 (the
// evaluation goes on when the report returns). "]" stays current.
void float_coords(textptr inf, std::int32_t* r, std::int32_t* c, nameptr* flag, bool* c_is_there);

// The subscripts "[" r ["," c] "]" of an element, "[" current: by the
// floating rule in a floating body (integerflag), else exactly (evalcoords);
// *two tells whether c was given. The token after "]" is current on return.
void element_subscripts(textptr inf, nameptr* flag, std::int32_t* r, std::int32_t* c, bool* two);

}  // namespace tavrin
