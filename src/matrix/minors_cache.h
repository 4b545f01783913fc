// The machinery of the determinant by expansion by minors and of the
// Hamiltonian path search: rows and columns taken out of a sparse matrix in
// place and put back (with undo records), the per-column statistics, the
// minor descriptor (bit sets of the initial rows and columns present) with
// its hash, and the cache of minors keyed by descriptors.
//
// Packed columns: while a matrix is expanded, an entry's coord holds
// initial column * 32768 + current column (both from 1); removing a column
// lowers the current column of every later entry of each row by one.
// Rows are always addressed by their current place: removing a row moves
// the heads of the rows after it up one slot.
#pragma once

#include <cstdint>
#include <vector>

#include "core/records.h"

namespace tavrin {

constexpr std::int32_t packed_base = 32768;
constexpr std::int32_t max_minor_rows = 32767;       // error 310 from this size on
constexpr std::int32_t removed_col_mark = 16777215;  // added to a removed column's count
constexpr std::int32_t ham_removed_mark = 8192;
constexpr std::int32_t ham_max_cols = 10001;
constexpr std::int32_t ham_max_label = 100;

inline std::int32_t initial_col(std::int32_t coord) { return coord / packed_base; }
inline std::int32_t current_col(std::int32_t coord) { return coord % packed_base; }

// ---- Per-column statistics (by initial column, from 1) -------------------------------
// Entry counts of the rows that remain, and the sums of their quoly_mass.
// Allocated on first use (max_minor_rows + 1 slots) and kept.
extern std::int32_t* sparse_number_col;
extern std::int32_t* sparse_mass;
void allocate_minor_statistics();
// For the Hamiltonian search: the entry count of each column and the count
// of its entries with a positive label (ham_max_cols + 1 slots).
extern std::int32_t* number_col;
extern std::int32_t* colm_mass;
void allocate_ham_statistics();

// ---- Undo records -------------------------------------------------------------------
// One record of a column removal (or of a journaled entry): the link that
// held the entry, the entry, the row's current place and the entry's
// current column. Records come from a private free list.
struct col_record {
  colm_ptrptr link;
  colm_ptr entry;
  std::int32_t row;
  std::int32_t col;
  col_record* next;
};
col_record* new_col_record();
// Gives back the chain from first (linked through next).
void free_col_records(col_record* first);

// ---- Removal and restoration for the expansion ---------------------------------------
// When false, the masses are not kept (the long-double method).
extern bool minor_track_mass;
// *u := row k's entries; their counts (and masses) leave the statistics;
// the heads of rows k+1..row move up one slot.
void remove_row(sparseptr spar, std::int32_t row, std::int32_t k, colm_ptr* u);
// Undoes remove_row: row is the row count after restoring.
void restore_row(sparseptr spar, std::int32_t row, std::int32_t k, colm_ptr u);
// Unlinks the entry of initial column k from each of the dim rows (records
// in *w, newest first, that is last row first) and renumbers the later
// entries (their first one of each row on *nu).
void remove_col(sparseptr spar, std::int32_t k, std::int32_t dim, col_record** w, col_record** nu);
void restore_col(std::int32_t k, col_record* w, col_record* nu);
// The size measure of a row: the sum of quoly_mass of its entries
// (16777215 when the sum overflows).
std::int32_t row_mass(colm_ptr t);

// ---- The minor descriptor ------------------------------------------------------------
// Bit c-1 (bit (c-1) mod 32 of limb (c-1) div 32) of cols/rows: initial
// column/row c is present.
struct minor_descr {
  std::int32_t size = 0;  // limbs of each set
  std::vector<std::uint32_t> cols, rows;
};
// Every bit 1..n set in both sets, size ceil(n / 32).
void init_minor_descr(minor_descr* md, std::int32_t n);
// Clears the bit of initial column index; returns the bit's position.
std::int32_t update_col_list(minor_descr* md, std::int32_t index);
// Clears the index-th set bit of the row set (the initial row now at place
// index); returns the bit's position.
std::int32_t update_row_list(minor_descr* md, std::int32_t index);
// Sets bit `spot` (a position returned above) again.
inline void set_descr_bit(std::vector<std::uint32_t>& set, std::int32_t spot) {
  set[static_cast<std::size_t>(spot / 32)] |= std::uint32_t{1} << (spot % 32);
}

// ---- The cache of minors -----------------------------------------------------------
struct minor_entry {
  std::int32_t hits;
  quoly value;        // the value method
  long double flote;  // the long-double method
  minor_descr key;
  minor_entry* next;
};
extern std::vector<minor_entry*> minorstash;  // slot s at index s - 1
extern std::int32_t minor_total, minor_count, purged_hits;
extern std::uint64_t minor_memory;
extern std::int32_t min_stash_row, max_stash_row, init_max_stash_row;
extern std::int32_t sp_total_cnt, sp_lowcnt;

std::int32_t minorsize(std::int32_t n);
// Slot 1..minorprime of the descriptor (32-bit wrapping arithmetic).
std::int32_t minorshash(const minor_descr& md);
// A fresh empty table of minorsize(n) slots.
void create_minor_stash(std::int32_t n);
// On a hit: the hit count rises, *n := a copy of the value, then the memory
// test may purge the table.
bool minor_is_there(const minor_descr& md, std::int32_t addr, quolyptr n);
bool int_minor_is_there(const minor_descr& md, std::int32_t addr, long double* n);
// Stores a copy of the value with a copy of md at the front of slot addr;
// the table grows when it holds more than 4 entries a slot.
void stash_minor(const minor_descr& md, std::int32_t addr, quoly n);
void int_stash_minor(const minor_descr& md, std::int32_t addr, long double n);
void try_purge_minors();
void reconfigure_stash();
// Frees every entry and the table; minorprime := 0.
void free_minor_stash(std::int32_t* count, std::int32_t* hits);
void count_minor_stash(std::int32_t* count, std::int32_t* hits);

// ---- The Hamiltonian variants (plain columns, labels in val) --------------------------
// The label an entry of the search holds.
inline std::int32_t ham_label(colm_ptr c) {
  return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(c->val));
}
inline void set_ham_label(colm_ptr c, std::int32_t v) {
  c->val = reinterpret_cast<quoly>(static_cast<std::intptr_t>(v));
}
void ham_remove_row(sparseptr spar, std::int32_t row, std::int32_t k, colm_ptr* u);
void ham_restore_row(sparseptr spar, std::int32_t row, std::int32_t k, colm_ptr u);
void ham_remove_col(sparseptr spar, std::int32_t k, std::int32_t dim, col_record** w);
void ham_restore_col(std::int32_t k, col_record* w);
// The entries of the row list with a positive label.
std::int32_t quick_row_mass(colm_ptr t);

// Follows index i through the recorded swaps cp in list order.
std::int32_t permute(colptr cp, std::int32_t i);

// The figures the statistics command shows: the memory mark, total branches
// and leaf count of the expansion by minors, the entries of its cache and
// their hits with those of purged entries (entries and hits 0 when no cache
// exists).
void minor_statistics(std::uint64_t* memory, std::int32_t* branches, std::int32_t* leaves,
                      std::int32_t* entries, std::int32_t* hits);

}  // namespace tavrin
