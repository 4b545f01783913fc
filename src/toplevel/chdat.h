// The tables of the characteristic polynomial: the Lagrange basis
// polynomials `pol` read from the data file "chdat", and the values `denom`
// (state.h).
//
// "chdat" is a stream of value records, row m = 1, .., 37 holding m + 1
// records; it is opened at start and stays open, rows 1 to 11 being read at
// start and rows 12 to 37 when the first variable is adjoined (pol[0][0] is
// the value 1, set by the start-up itself). Records (numbers are decimal, separated by white
// space):
//   number:     a limb count c, then c limbs in base 2^28, most significant
//               first, each carrying the number's sign;
//   polynomial: a degree n, then n + 1 number records, the coefficients of
//               x^n down to x^0 (all present), in the top variable;
//   value:      a number record, the denominator (absent from the value when
//               it is 1), then a polynomial record, the numerator.
// Row m (1 .. 37): record 0 is the value 0, record i (1 .. m) the i-th
// Lagrange basis polynomial of the points 1 .. m,
//   (-1)^(m-i) prod_{k != i} (x - k) / ((i-1)! (m-i)!).
// A constant value is a number value; any other holds its numerator as a
// polynomial over the top variable and its denominator as a leaf.
#pragma once

#include <cstdint>
#include <string>

#include "core/records.h"

namespace tavrin {

// Opens includepath + "chdat" for the run (closing a stream opened before);
// when it cannot be opened, every later read gives nothing (and
// chdat_readable() is false).
void open_chdat(const std::string& includepath);
// The stream is open and no record has failed to read.
bool chdat_readable();

// *p := the next polynomial record of "chdat" (the old *p is not freed);
// nil when the stream is not readable or the record is damaged.
// reads: nothing of the mode (the limbs and flote of every number are set)
void direct_poly_read(poly* p);

// *q := the next value record of "chdat", whatever i and j (the records are
// taken in file order); the old *q is not freed; the long-double fields of
// its numbers are set. nil when the stream is not readable or the record is
// damaged; a damaged record ends the reading of the file.
void get_char_poly(std::int32_t i, std::int32_t j, quoly* q);

// Reads rows first .. last (1 .. 37) into pol[m][0 .. m], in file order;
// the rows before `first` must have been read. Returns the number of values
// read.
std::int32_t read_char_poly_rows(std::int32_t first, std::int32_t last);

// denom[k] := the value k (lint and flote k too) for k = 1 .. 998, and
// need_to_set_char_poly := true.
void Set_prods_for_char();

}  // namespace tavrin
