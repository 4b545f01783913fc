// Routines of the folders above that the GCD and factorisation code calls
// (the power of a number, the display of numbers and polynomials in progress
// and error output); defined there. This is their one declaration: each
// owner's header includes this one and keeps the contract comment, named
// beside each declaration below.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/records.h"

namespace tavrin {

// ---- Rational functions -----------------------------------------------------------------
// Contract: quoly/quoly_power.h.
void number_power(imptr n, std::int32_t expont);

// ---- Display ----------------------------------------------------------------------------
// Contract: toplevel/display.h.
void display(std::FILE* outf, bool outf_is_tty, bool flag, imptr a, std::int32_t* mylength,
             bool extra_space);
// How quoly_display and poly_display write a value (contract:
// toplevel/display.h). The defaults are the plain form of files and array
// cells.
struct DisplayOptions {
  bool to_terminal = false;       // outf is the terminal
  bool complete = false;          // a complete display: right-aligned, the line ended
  bool linend = false;            // in a file, an item ended with endchar and a newline
  bool extra_space = false;       // a negative leading coefficient as "- " and its magnitude
  bool leadoff = false;           // a blank before a polynomial after a prompt
  bool char_flag = false;         // a number as the one character of its code
  bool maybe_just_number = true;  // poly_display: a constant written by display
};
// Contract: toplevel/display.h.
void poly_display(std::FILE* outf, poly p, std::int32_t* mylength, const tokentipe* endchar,
                  polypt q, const DisplayOptions& how, std::int32_t* lines);

}  // namespace tavrin
