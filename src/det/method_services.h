// What the determinant and inverse methods share with the router, below
// both: the flags and the environment record of one request, and the exit
// of the determinant eliminations. The router (router.h) dispatches to the
// methods; the methods include this file, not router.h.
//
// The determinant eliminations end in exitt, which restores modding-out when
// the router suspended it, reduces the result modulo the restored relations,
// divides it by the factor fct, and leaves through the exception
// mat_invert_exit, caught by mat_invert alone.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// What mat_invert computes and how it treats its arrays (router.h).
struct InvertFlags {
  bool ar_free = false;   // the input is the caller's to give up
  bool oar_free = false;  // outar's cells hold values to free as they are overwritten
  bool invert = false;    // the inverse; false: the determinant only
  bool equal = false;     // outar is the same array as ar
  bool really = false;    // passed on to the sparse Lagrange method
};

// How many columns the dense pivot search scans.
enum search_cols : std::int32_t { one_1 = 0, half = 1, all = 2 };

// The router's shared state for one request.
struct mat_invert_EnvRec {
  bool allpolys = true;            // no entry has a denominator
  bool set_new_polynames = false;  // the router suspended modding-out
  bool allnumbs = true;            // every entry is a number
  std::int16_t polydepth = 16384;  // least poly_depth over polynomial entries
  search_cols cols_to_search = all;
  workptr mydupptr = nullptr;  // the array the dense method eliminates in
  std::int32_t mycut = 0;      // expansion-by-minors cut-off side
  quoly temp = nullptr;        // scratch: the pseudo-determinant request -1
  bool laurent = false;        // laurent at entry (for check_quoly)
};

// Thrown by exitt; mat_invert catches it and returns to its caller.
struct mat_invert_exit {};

// The router's exit: step 1 (resume modding-out when the router suspended
// it; reduce *n modulo the restored relations), step 2 when divit (divide_fct)
// and the jump back to mat_invert.
[[noreturn]] void exitt(mat_invert_EnvRec& env, quolyptr n, poly fct, bool divit);

// Step 1 of the exit without the resumption: unless *n is a number, or a
// rational number outside word mode, its numerator and denominator are
// reduced modulo the relations now in force; a denominator that becomes 0
// is reported in two lines and gives *n := 1; otherwise *n is normalised
// (check_quoly with laurent_at_entry), a bare number numerator without
// denominator made a number value. reads: polynames, lintmode
void modout_result(quolyptr n, bool laurent_at_entry);

// *n := *n / fct: an exact polynomial division when allpolys and neither is a
// number (error 305 when fct does not divide), otherwise as rational
// functions. fct nil: nothing.
void divide_fct(const mat_invert_EnvRec& env, quolyptr n, poly fct);

// Fills allnumbs, allpolys, polydepth and cols_to_search from the first m*m
// cells of ar (nil cells count as the number 0).
void set_search_params(mat_invert_EnvRec& env, workptr ar, std::int32_t m);

// Makes cells 0..m*m-1 of mod_mode_matrix exist (number values 0).
// writes: mod_mode_matrix, mod_matrix_size
void check_mod_matrix_size(std::int32_t m);

}  // namespace tavrin
