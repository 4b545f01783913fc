// The sparse matrix store: the layout every sparse matrix of the system
// keeps, and the operations that find, read, insert, delete and free its
// entries.
//
// Representation (rowarray and colnode, core/records.h):
// - A matrix of m rows is a chain of ceil(m / 2048) frames linked by `next`,
//   nil after the last. Row r (from 1) is slot (r-1) mod 2048 of frame
//   (r-1) div 2048 (frames counted from 0). The row count is not stored:
//   every operation is given it. Only the slots of existing rows are
//   meaningful; nothing reads a slot beyond the last row.
// - A row is a list of colnodes (`coord` the column from 1, `val` the value,
//   `next`) in strictly increasing `coord`. An absent column is zero. A
//   stored value is meant to be non-zero, but sparse_set and sparse_zero_set
//   create an explicit zero for their caller to fill, and arithmetic may
//   leave one that purge_sparse removes; readers treat an explicit zero as
//   absent.
// - Word-residue form: between move_data_into_quoly and
//   move_data_outof_quoly, `val` holds a residue word (colm_word), not a
//   value; a residue 0 is never stored in that form.
// - Zero test of a number value: floating mode flote = 0; word mode lint = 0;
//   else the first limb is 0. A value that is not a number is never zero.
// - A cursor (colm_ptrptr) is the address of a link: a row head or an
//   entry's `next`. Insertion writes a new entry into the link; deletion
//   overwrites it with the deleted entry's successor.
// Ownership: a matrix owns its entries and values. A matrix reached from a
// named array belongs to the array; routines handed one free it only when
// their arr_free argument says it is the caller's temporary.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "quoly/quoly_upcalls.h"
#include "toplevel/scanner.h"
#include "lang/lang_upcalls.h"

namespace tavrin {

// ---- Frames and rows --------------------------------------------------------------------
// The frame count of a matrix of `rows` rows: ceil(rows / 2048).
inline std::int32_t sparse_frame_count(std::int32_t rows) {
  return rows <= 0 ? 0 : (rows + sparse_frame_rows - 1) / sparse_frame_rows;
}

// The memory budget of the start-up file holds sparse matrices: past it the
// sparse store refuses with error 250 ("Sparse matrix too large for this
// operation", current token), not the dense store's 43, whose text counts
// the 1,000,000 entries of a dense array.
//
// Error 250 when the row heads of r rows, ceil(r / 2048) frames, would pass
// the memory budget (no budget set: never). Every chain of frames made for
// a row count passes here before it is allocated: sparse_init checks its
// own row count, and a routine that allocates something else for a row or
// column count of the user's first (a copy to transpose, the kept operand,
// a product's column pointers) checks that count at its start, so a refusal
// changes nothing.
// reads: totalavailablememory, token
void check_sparse_rows(std::int64_t r);

// Entries are held to the same budget at their real sizes. An entry holding
// a number takes a colnode, a quolynode and a number header with its limbs
// (none in word and floating mode); one holding a polynomial or rational
// function takes its polynodes and their numbers instead of the header.
//
// The bytes of an entry holding a copy of n.
std::uint64_t sparse_entry_bytes(quoly n);
// The bytes of an entry holding a number of one limb (a random value, a 1).
// reads: lintmode, flotemode
std::uint64_t sparse_word_entry_bytes();
// Error 250 (current token) when `count` entries of
// `bytes` each would pass the budget (no budget set: never). A fill that
// writes an entry into every cell or every diagonal cell (a scalar or a
// random fill, a scalar diagonal, an identity) checks its count before it
// frees or takes anything; a routine whose count is not known beforehand (a
// generated matrix, a product) builds aside, checks what it has built as it
// goes and gives it all back when refused. Either way a refusal changes
// nothing.
// reads: totalavailablememory, token
void check_sparse_entries(std::int64_t count, std::uint64_t bytes);
// Error 250 (current token) when `bytes` pass the budget.
// reads: totalavailablememory, token
void check_sparse_bytes(std::uint64_t bytes);

// *spar := a chain of ceil(r / 2048) fresh frames (newsparse), the heads of
// rows 1..r cleared (slots past row r keep whatever a recycled frame held),
// the last `next` nil; nil for r < 1. The old *spar is not looked at. Past
// the budget error 250 before anything is allocated (check_sparse_rows).
void sparse_init(sparseptr* spar, std::int32_t r);

// The frame that holds row r (walks (r-1) div 2048 links from sp).
sparseptr sparse_frame_of(sparseptr sp, std::int32_t r);

// The head link of row r of the matrix sp.
inline colm_ptrptr sparse_row(sparseptr sp, std::int32_t r) {
  if (r <= sparse_frame_rows) return &sp->indx[r - 1];  // the first frame: no walk
  return &sparse_frame_of(sp, r)->indx[(r - 1) % sparse_frame_rows];
}

// The word a word-residue entry holds, and setting it.
inline std::int32_t colm_word(colm_ptr c) {
  return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(c->val));
}
inline void set_colm_word(colm_ptr c, std::int32_t w) {
  c->val = reinterpret_cast<quoly>(static_cast<std::intptr_t>(w));
}

// The zero test of a number value (above); false for any other value.
bool sparse_val_iszero(quoly v);

// ---- Cursors and readers -----------------------------------------------------------------
// *t := the link of row r (sp: the frame holding row r) whose target is the
// first entry with coord >= c, or the row's terminal nil link.
void get_sparse_colm(sparseptr sp, std::int32_t r, std::int32_t c, colm_ptrptr* t);

// *t: the head link of row r; *isp: its frame. Returns the address of the
// value of column c of the row, nil when absent; then moves *t to the head
// of row r+1 (to the next frame after the frame's last slot; when there is
// no next frame *t stays).
quolyptr get_sparse(std::int32_t r, std::int32_t c, colm_ptrptr* t, sparseptr* isp);

// The value at (r, c) itself (shared, not a copy), or the shared zero
// quol_num_0 when absent; the caller changes and frees neither.
quoly spar_retrieve(sparseptr sp, std::int32_t r, std::int32_t c);

// *qq := the value (shared) of entry (i, i), read from the frame *sp that
// holds row i; *sp moves to the next frame after its last row. A missing
// diagonal entry is an internal error (nested level) and *qq is untouched.
void sparse_qq_set(std::int32_t i, sparseptr* sp, quoly* qq);

// ---- Entries of user arrays ----------------------------------------------------------------
// Positions are subscripts from the index origin `addresser`: with colflag
// false r is one linear subscript taken column by column over q's rows (c
// ignored); with colflag true r and c are the row and column subscripts.
// reads: addresser.
//
// Inserts an entry holding a fresh number 0 at the position and sets *qp to
// its value cell, for the caller to fill. The column must be absent.
void sparse_set(std::int32_t r, std::int32_t c, arrptr q, quolyptr* qp, bool colflag);
// Inserts a copy of *n at the position, nothing when *n is a zero number.
// The column must be absent. *n: kept.
void sparse_insert(std::int32_t r, std::int32_t c, arrptr q, bool colflag, quolyptr n);
// The word integer n at the position: present and assign: the entry
// becomes n (deleted for 0); present and not assign: the entry += n
// (deleted when the sum is 0); absent: a new entry n unless n is 0. Big
// integers are assigned and added whole; in modular mode n is reduced to
// its residue. reads: mode flags, modulus
void isparse_insert(std::int32_t r, std::int32_t c, std::int32_t n, arrptr q, bool colflag,
                    bool assign);
// Deletes the first entry of the row at or after the column (value freed).
// The entry must exist.
void sparse_delete(std::int32_t r, std::int32_t c, arrptr q, bool colflag);
// t: the head link of a row. Inserts an entry for column c holding a fresh
// number 0 at its sorted place; *qp := its value cell.
// (declared in lang/lang_upcalls.h, which the expression evaluator reads)
// t: the head link of a row. When column c holds a zero number, the entry is
// deleted; otherwise nothing. (Declared in lang/lang_upcalls.h.)
// free_colm(t), declared in quoly/quoly_upcalls.h: t a link to an entry.
// The entry is unlinked (*t := its successor), its value (if any) freed and
// the entry given back.

// ---- Whole matrices -------------------------------------------------------------------
// standard_to_sparse and sparse_set_scalar build the new rows aside and swap
// them in whole, so a failure on the way (out of heap) leaves q as it was.
//
// Replaces the entries of q's rows by the dense matrix arr (q->rows rows,
// cols columns): zero numbers and nil cells are skipped (left in arr); every
// other cell becomes an entry holding the cell itself (arr_free: the matrix
// takes the value over) or a copy.
void standard_to_sparse(arrptr q, workptr arr, std::int32_t cols, bool arr_free);
// q's entries are freed; unless n is a zero number every row then holds
// cols copies of n. Error 250 first, nothing changed, when those entries
// would pass the budget (check_sparse_entries). n: kept
void sparse_set_scalar(arrptr q, std::int32_t cols, quoly n);
// A copy of the system array syst: dense: cells 0..syst->stop of
// syst_stash copied into arr (the old cells are overwritten, not freed);
// sparse: *spar := a new matrix of `rows` rows of copies.
void copy_syst(workptr arr, std::int32_t rows, sparseptr* spar);
// Registers the chain sp as the named sparse array `let` of r by c entries
// (sp taken over): a new arrnode pushed on its bucket of arr_store
// (array_bucket), stamped with array_time, which then grows by one.
void quick_sparse_create(sparseptr sp, const tokentipe* let, std::int32_t r, std::int32_t c,
                         bool liner);
// Clears the denominators of every entry of the total_rows rows of spar: a
// rational function becomes its numerator, and a number when that is a
// constant. With spar nil, the same for the dense block of target_rows rows
// and cols columns from global cell spot, column stride total_rows, in the
// array store (array_store.h); an uninitialised cell becomes 0 with the
// plain counted warning.
void killdenoms(sparseptr spar, std::int32_t spot, std::int32_t total_rows,
                std::int32_t target_rows, std::int32_t cols);

// ---- Freeing -------------------------------------------------------------------------------
// arr_free false: only *spar := nil. Otherwise every value and entry of the
// dim rows and the whole frame chain are given back; *spar := nil.
void free_sparse(sparseptr* spar, std::int32_t dim, bool arr_free);
// Frees the values and entries of the dim rows; the rows are left empty and
// the frames stay.
void free_sparse_data(sparseptr sp, std::int32_t dim);
// Gives back the entries of the dim rows and the frames, not the values
// (another matrix owns them); *spar := nil.
void free_sparse_frame(sparseptr* spar, std::int32_t dim);
// As free_sparse_frame, the caller's pointer left as it is; row < 1 frees
// no entries.
void free_stuff(sparseptr spar, std::int32_t row);
// Frees the values of a row from its first entry and gives the entries back
// in one splice.
void free_sparse_row(colm_ptr first);

// A matrix being built: given back with its entries and values on every exit
// (an error included) unless released to its new owner.
struct SparseHold {
  sparseptr sp = nullptr;
  std::int32_t rows = 0;
  SparseHold() = default;
  SparseHold(const SparseHold&) = delete;
  SparseHold& operator=(const SparseHold&) = delete;
  ~SparseHold() { free_sparse(&sp, rows, true); }
  sparseptr release() {
    sparseptr s = sp;
    sp = nullptr;
    return s;
  }
};

// ---- The word-residue form ----------------------------------------------------------------
// Every entry's val := the word (lint) of its number value, the value freed.
// All entries must be numbers in word mode.
void move_data_into_quoly(sparseptr sp, std::int32_t rows);
// Every word w becomes a fresh number value holding w; w = 0 is reported
// (internal error, no level) and becomes the number 0.
void move_data_outof_quoly(sparseptr sp, std::int32_t rows);
// Row by row: spar's row is freed and replaced by dup's, dup's head := nil.
// dup's frames stay with the caller.
void put_back_sparse(sparseptr dup, sparseptr spar, std::int32_t rows);

// ---- Predicates (none changes the matrix) ----------------------------------------------------
// *ans := false when any of the rows has an entry (explicit zeros count);
// untouched otherwise.
void sparse_iszero(sparseptr spar, std::int32_t rows, bool* ans);
// Every entry is a number.
bool sparse_allnumbs(sparseptr sp, std::int32_t rows);
// Some entry is a stored integer outside the residues of the modular ring
// (numbers/node_handles.h: unreduced_integer).
bool sparse_has_unreduced(sparseptr sp, std::int32_t rows);
// Every such entry takes its image in place; an image 0 removes the entry.
void sparse_settle_integers(sparseptr sp, std::int32_t rows);
// *allnumbs := every entry is a number (the scan stops early below); the
// result is false as soon as an entry has a denominator.
bool sparse_allpolys(sparseptr sp, std::int32_t rows, bool* allnumbs);
// The topmost variable level occurring in a non-number entry's numerator
// (1 = the top variable); 16384 when no entry involves a variable.
std::int16_t sparse_polydepth(sparseptr sp, std::int32_t rows);
// Every non-number entry is a polynomial (no denominator) with number
// coefficients in one variable, the same for all; true for numbers only.
bool sparse_one_var_polys(sparseptr sp, std::int32_t rows);
// anynegs (a negative exponent at some level of a polynomial): poly/poly_measures.h.
// Some non-number entry's numerator has a negative exponent.
bool sparse_negexponents(sparseptr sp, std::int32_t m);
// The same over the m*m cells of a dense work array (every cell must hold a
// value).
bool negexponents(workptr ar, std::int32_t m);

// ---- The settings reader ------------------------------------------------------------------
// *p := the rest of an "&" setting as a chain of name nodes, read from inf
// (ending at ";" before a line end) or from the stored chain flag (ending
// when it runs out or at the end-of-text token); a ")" outside a function
// definition ends it at once. A non-empty chain ends with the terminator
// ";" of address -1.
void get_stream(nameptr* p, textptr inf, nameptr flag);

}  // namespace tavrin
