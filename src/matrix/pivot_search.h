// Pivot searches: which entry of the active submatrix (rows i.., columns
// i..) an elimination brings to position (i, i) at step i, and the row and
// column exchanges of sparse matrices that bring it there.
//
// Sparse matrices are the store of arrays/sparse_store.h, rows and columns
// from 1. The active entries of row r at step i are its entries at columns
// >= i. Word-residue form (special_, spec1_, spec2_): an entry's val holds
// its residue word (colm_word). Dense searches read a named array of the
// paged store: entry (r, c), both from 0, in cell start + r + c*rows.
//
// Ranking. A column with a single active entry comes first (no fill-in);
// then a unit in a short row is taken at once; otherwise numbers beat every
// other value and, within a kind, the smaller measure wins. A later
// candidate replaces the best only when strictly better, so ties go to the
// one met first (lowest row, then lowest column).
//
// Measures (smaller is better), by pseudet_heur (0..5; values outside
// count as 4), with rtc the row term count (the term counts of the row's
// active entries summed; 0 when pseudet_heur is 0):
//   heur   non-number in sparse_findbest,       number in sparse_findbest
//          every entry in mod_sparse_findbest
//   0      quoly_mass                            number_mass
//   1      f_numterms + rtc                      rtc
//   2      quoly_mass + rtc                      number_mass + rtc
//   3      better_quoly_mass + rtc               number_mass + rtc
//   4      f_numterms                            number_mass + rtc
//   5      better_quoly_mass + rtc, and the      number_mass + rtc
//          heuristic-5 second look
// The column searches use the tail count (the entries of the row from the
// candidate on) in place of rtc.
//
// Stored zeros (which the store never keeps) are reported as internal
// errors and skipped: no search returns a zero pivot.
//
// Counting tables. clc, clr, clc_min and clbest (toplevel/state.h) have
// 50,001 slots, allocated once at start-up and indexed by column; a pass
// resets and fills slots i..rows only. No pass runs on more than 50,000
// rows (error 375, before anything changes).
//
// None of the searches changes the matrix; only sp_switchrow and
// sp_switchcol do. Results: row and column through out-parameters, the row
// -1 when there is no pivot (the active submatrix is singular).
#pragma once

#include <cstdint>

#include "core/records.h"
#include "arrays/det_upcalls.h"

namespace tavrin {

// The most rows a counting pass (and so every sparse elimination) serves.
constexpr std::int32_t max_pivot_rows = 50000;

// The counting pass. sp: the frame holding row i. *j, *cnt := -1 first.
// An empty active row or an empty active column: returns with *j = *cnt =
// -1. A column with a single entry: *cnt = 1, (*j, *k) that entry (of the
// single-entry columns the one of greatest mass, lowest column on ties),
// *wht its mass, *terms untouched. Otherwise *cnt is the fewest entries of
// a column, (*j, *k) the lightest entry of the chosen column (fewest
// entries, then lightest, then lowest), *wht its mass (better_quoly_mass),
// *terms its term count. Entries right of column rows count for nothing.
// rows > 50000: error 375, tables untouched.
// writes: clc, clr, clc_min, clbest (slots i..rows)
void sparse_fill_clc(sparseptr sp, std::int32_t rows, std::int32_t i, std::int32_t* j,
                     std::int32_t* k, std::int32_t* cnt, std::int32_t* wht, std::int32_t* terms);

// The pivot of step i over the current ground ring (sp: the first frame).
// leave_early: an empty active row ends the search with *j = -1 (the
// eliminations); otherwise it is passed over (row reduction). *j := -1 on
// entry; *k untouched when nothing is found.
// reads: pseudet_heur, mode flags, depthnum, massnum
void sparse_findbest(bool leave_early, sparseptr sp, std::int32_t rows, std::int32_t i,
                     std::int32_t* j, std::int32_t* k);

// As sparse_findbest in modular mode with a prime modulus: every non-zero
// residue is a unit, so any number in a row of at most two active entries
// is taken at once and numbers and other values share one ranking.
void mod_sparse_findbest(bool leave_early, sparseptr sp, std::int32_t rows, std::int32_t i,
                         std::int32_t* j, std::int32_t* k);

// Word-residue form: the first non-zero active entry of the first row from
// i that has one. A row without one ends the search (*j = -1) when
// leave_early, else the next row is tried. A residue 0 is reported (nested
// level) and skipped.
void special_mod_sparse_findbest(bool leave_early, sparseptr sp, std::int32_t rows, std::int32_t i,
                                 std::int32_t* j, std::int32_t* k);

// Word-residue form: among rows i..last, last = max(rows div 2 - i, rows -
// ((rows - i)*4) div 5), the row with the fewest active entries and its
// first active column; with factor = max(2, 9 - (i*200) div rows) a row
// whose count times factor is below row i's count stops the search at
// once (true). An empty active row: *k = -1, true. Otherwise the result is
// whether the sparsest row has under two thirds of row i's entries (the
// caller searches again at the next step while true). i > last: false, *k =
// -1. A residue 0 is reported (nested level) and not counted.
bool spec1_mod_sparse_findbest(sparseptr sp, std::int32_t rows, std::int32_t i, std::int32_t* j,
                               std::int32_t* k);

// Word-residue form: *k := the column of the first entry of row i at a
// column >= i, -1 when none.
void spec2_mod_sparse_findbest(sparseptr sp, std::int32_t i, std::int32_t* k);

// The pivot row for column col among rows i..rows (reduced row echelon
// form): -1 when the column has no usable entry there, -2 when every row
// from i on is entirely empty or i > rows. A unit whose tail count is
// below 3 is taken at once (every unit with pseudet_heur 0).
void sparse_colfindbest(sparseptr sp, std::int32_t rows, std::int32_t i, std::int32_t col,
                        std::int32_t* j);

// As sparse_colfindbest for number values holding residues: the residue x
// has distance d = modulus div 2 - |(modulus + 1) div 2 - x| from the small
// symmetric values; d < 3 with a tail count below 3 is taken at once;
// otherwise the measure is the tail count (pseudet_heur >= 1) or d.
void sparse_mod_colfindbest(sparseptr sp, std::int32_t rows, std::int32_t i, std::int32_t col,
                            std::int32_t* j);

// The pivot of a dense named array (rows and columns from 0) at step i:
// columns i.. whose cell in row i is at most stop (only column i when
// firstonly), rows i..rows-1; a unit is taken at once, numbers by absolute
// value (abs_larger), other values by quoly_mass. *j = -1 when none.
// reads: arp, mode flags
void findbest(std::int32_t start, std::int32_t stop, std::int32_t rows, std::int32_t i,
              std::int32_t* j, std::int32_t* k, bool firstonly);

// The rules of findbest over column col alone; *j = -1 when none.
void colfindbest(std::int32_t start, std::int32_t rows, std::int32_t i, std::int32_t col,
                 std::int32_t* j);

// sp_switchrow(sp, i, j) exchanges the heads of rows i and j.
// sp_switchcol(sp, i, k, rows, start) exchanges columns i < k in rows
// start..rows: both present: the values are exchanged; one present: that
// node moves to the other column, its value node kept; every row stays
// sorted. Both declared in arrays/det_upcalls.h (the built-ins exchange
// rows and columns too).

// Heuristic 5's second look, decided from the counting pass (the sparsest
// column's lightest entry: x = terms*cnt + wht, in column kk) and the
// choice (column k, measure m, its row's count r, a number or not): true
// when the search switches to the counting pass's entry.
bool heur5_switches(std::int32_t x, std::int32_t cnt, std::int32_t kk, std::int32_t m,
                    std::int32_t r, std::int32_t k, bool number_choice);

}  // namespace tavrin
