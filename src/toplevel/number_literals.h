// Number literals. The scanner delivers every digit as a token of its own;
// these readers turn a run of digit tokens into a value of the current
// ground ring: a big integer in rational arithmetic, a residue in modular
// arithmetic, a 32-bit word in word arithmetic, a long double in floating
// arithmetic. Digits after a decimal point give the exact fraction
// m / 10^d.
#pragma once

#include <cstdint>
#include <string>

#include "core/records.h"
#include "toplevel/scanner.h"

namespace tavrin {

// The literal warnings printed in one statement stop at this count.
constexpr std::int32_t literal_warning_limit = 30;

// Reads a digit run whose first digit is the current token into the digit
// chain *n (limbs of 8 decimal digits, base 10^8, most significant first,
// no leading zero limb; zero is one limb 0); *outcount := the number of
// digits read, leading zeros included. On return `token` is the first token
// after the run. n: a header; its old limbs are freed (big-integer work,
// whatever the mode).
void readin(textptr inf, imptr n, nameptr* flag, std::int32_t* outcount);

// Reads a digit run as readin does and leaves its value in n in the form of
// the current mode: flote (floating), lint (word: the value, with
// " *** Warning. overflow while reading constant.\n" for 2147483646 and
// 2147483647 while warn_cnt < 30, warn_cnt raised by 1; a value beyond
// 2147483647 is user error 32, never a wrapped word; modular: the residue
// modulo `modulus`), else the big integer.
// reads and changes: token, warn_cnt; reads: mode flags, modulus
void new_readin(textptr inf, imptr n, nameptr* flag, std::int32_t* outcount);

// x := the big integer written by the decimal digits `digits` (most
// significant first, leading zeros allowed), whatever the mode.
void decimal_to_big(const std::string& digits, imptr x);

// The current token is "."; reads the digits after it and sets *n (replaced)
// to m / 10^d in the current mode, m their value and d their count. A "."
// not followed by a digit is user error 341 (after which *n is 0).
void get_decimal_part(quolyptr n, textptr inf, nameptr* flag);

}  // namespace tavrin
