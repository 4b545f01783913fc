// The textual form of values: numbers in the current mode, rational numbers
// with their decimal approximation, and values (quolynodes) whose numerator
// and denominator are written by poly_display. Output is the input syntax of
// the language, so what is written to a file reads back as statements.
//
// Every routine keeps a running line length (`mylength`): an estimate of
// the characters on the current line, computed from digit counts without
// formatting into buffers. The line check breaks the line once the length
// reaches the display width `dispcutoff`:
//   at the terminal             a blank, the continuation character, a newline;
//   with uglyprint (anywhere)   the continuation character, a newline;
//   in a file (not uglyprint)   a newline.
// Inside a number the breaks fall between its 8-digit groups (showint).
// `outf_is_tty` selects the terminal form, the decimal approximation of
// rationals and the cut-off of long output. Callers that do not care about
// the length pass &dummy.
//
// Numbers are written in the form the mode flags choose: flotemode the long
// double, else lintmode the word (symmetric residues with
// alt_form_display), else the big integer through its base-10^8 groups.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/records.h"
#include "gcd/gcd_upcalls.h"

namespace tavrin {

// Per-value latch of the cut-off of long terminal output: armed to
// do_line_sup at the start of each value and of its denominator, cleared
// when the cut-off message has been written.
extern bool linesuppression;

// Line breaks showint has written at the terminal inside long numbers: the
// polynomial writer adds them to the lines of its value, so that the
// cut-off of long output counts every line shown.
extern std::int32_t number_line_breaks;

// The break of the line check, unconditionally: the break of the output's
// form and a newline. reads: uglyprint, continuation
void write_break(std::FILE* outf, bool outf_is_tty);

// The line check: when *mylength >= dispcutoff, writes the break of the
// output's form, a newline, flushes outf, *mylength := 0 and *lines += 1.
// reads: dispcutoff, uglyprint, continuation
void checklength(std::FILE* outf, bool outf_is_tty, std::int32_t* mylength, std::int32_t* lines);
// The same without the flush and without a line counter.
void checklength320(std::FILE* outf, bool outf_is_tty, std::int32_t* mylength);

// *mylength += n, or += 8 once it is within 8 of dispcutoff (so the next
// line check breaks).
void adjlength(std::int32_t* mylength, std::int32_t n);

// Unless uglyprint: one blank, *mylength += 1.
void blank_space(std::FILE* outf, std::int32_t* mylength);

// Writes ind blanks (dispcutoff - 12 when ind >= dispcutoff - 3; none when
// not positive); the running length is not touched. The indentation of
// listings and progress messages.
void doblanks(std::FILE* outf, std::int32_t ind);

// How showint writes an integer.
struct ShowintOptions {
  bool unpadded_first = false;  // the first group without leading zeros (else 8 digits)
  bool leading_zeros = false;   // first (disp_size - groups) * 8 zeros, a blank after each eight
  bool base10 = false;          // y holds base-10^8 groups (else base-2^28 limbs)
  bool indent = false;          // the first group right-aligned in 8 columns after a sign column
  bool extra_space = false;     // a blank after the minus sign (not with uglyprint)
  bool to_terminal = false;     // outf is the terminal
};

// Writes the integer y in decimal as how says. y: kept. Long numbers break
// between groups: at the terminal with a blank, the continuation character,
// a newline and a blank; in a file with a blank before every later group
// once the line is full.
// reads: dispcutoff, uglyprint, continuation, disp_size
void showint(std::FILE* outf, imptr y, const ShowintOptions& how, std::int32_t* mylength);

// display and poly_display are declared in gcd/gcd_upcalls.h (the GCD and
// factorisation code shows numbers and polynomials in progress), as is
// DisplayOptions, the flags of quoly_display and poly_display.

// display: writes the number a in the current mode: the long double with
// "%.20Lg"; the word with "%d" (residues above half_modulus as negatives with
// alt_form_display); the big integer by showint, right-aligned when flag.
// extra_space writes a negative value as "- " and its magnitude.
// a: kept. reads: mode flags, modulus, half_modulus, alt_form_display

// Writes the value p as `how` says:
//   to_terminal   outf is the terminal (the decimal approximation, the
//                 cut-off of long output, breaks with the continuation)
//   complete      a complete display: numbers right-aligned, the line ended,
//                 at the terminal a rational number followed by ";  or  "
//                 and its decimal approximation of 8 * disp_size digits
//   linend        (complete clear, in a file) the item ends with endchar and
//                 a newline, and the length becomes 4
//   extra_space   a negative leading coefficient as "- " and its magnitude
//   leadoff       one blank to standard output before a non-numeric value
//                 at the terminal when promptsize > 0
//   char_flag     a number is written as the one character of its code
// (maybe_just_number is poly_display's alone.) endchar: the end token written
// after the value in files. q: the variables to name (normally polynames).
// p: kept. reads: the display settings, mode flags, polynames, promptsize
void quoly_display(std::FILE* outf, quoly p, std::int32_t* mylength, const tokentipe* endchar,
                   polypt q, const DisplayOptions& how);

// The display of a statement's value at the terminal: complete, the line
// ended, a blank before a polynomial after a prompt.
inline constexpr DisplayOptions result_display{
    .to_terminal = true, .complete = true, .linend = true, .leadoff = true};

// poly_display: writes the polynomial p over the variables from q down with
// how.to_terminal, how.complete and how.extra_space as quoly_display takes
// them; a constant is written by display (with how.complete) when
// how.maybe_just_number, else as the leaf of a term list. *lines counts the
// lines written for the value.

}  // namespace tavrin
