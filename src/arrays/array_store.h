// The named user arrays: their records in the table arr_store (151 chains,
// toplevel/state.h), the paged store of dense cells `arp`, creation, and the
// mapping of subscripts to cells that every array operation uses.
//
// Dense cells: global index i is slot i & 1023 of page i >> 10. Pages are
// allocated in order when first needed (numblocks: the last allocated, -1
// for none) and filled with nil; a nil cell is an uninitialised element.
// Dense arrays occupy consecutive index ranges [start, stop] up to endarr
// (the last index in use), column by column: element (r0, c0) from 0 is
// start + r0 + c0 * rows. Cell pointers are never kept across statements:
// removing an array lowers the cells of the arrays made after it.
//
// Sparse arrays keep their rows in the sparse store (sparse_store.h) hung
// from `spar`; `start` 0, `stop` -1. Columns count from 1 whatever the
// origin.
//
// Subscripts have the origin `addresser` (0 or 1) subtracted. A single
// subscript runs down the columns one after the other.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"

namespace tavrin {

// The pages `arp`, arp_cell and the page constants: toplevel/state.h (the
// rewriting of stored values on a ring change walks the cells too).
// The last usable cell index: 5000 * 1024 - 1.
constexpr std::int32_t last_cell_index = arp_pages * page_cells - 1;
// The most entries of one dense array.
constexpr std::int32_t max_dense_entries = 1000000;

// The entry count sizearr as a 64-bit integer, and the column count.
std::int64_t array_entries(const arrnode* q);
std::int32_t array_cols(const arrnode* q);
// x := v (v >= 0) as a big integer; x's old limbs are freed.
void set_entry_count(imptr x, std::int64_t v);

// The bucket of the name: the token's address when it is 0..150, else
// hash(name, 151) (not stored back).
std::int32_t array_bucket(const tokentipe* x);

// Completes the record a (from newarray, its entry count set; the caller
// sets start and stop) as the array named let of r rows, linear when liner,
// with the sparse frames `frames` (nil for a dense array): stamped with
// array_time, which then grows by one, and pushed at the head of its bucket.
// writes: arr_store, array_time
void link_array_record(arrptr a, const tokentipe* let, std::int32_t r, bool liner,
                       sparseptr frames);

// Creates the dense array named let of r rows and c columns (linear: it was
// declared with one dimension), pushed in front of any array of the same
// name. Errors: 27 (r or c below 1; with the name), 43 (more than 1,000,000
// entries), 26 (the store would pass its last cell); nothing changes then.
// writes: arr_store, arp, numblocks, endarr, array_time
void insertarr(const tokentipe* let, std::int32_t r, std::int32_t c, bool liner);

// Creates the sparse array named let (error 27 for r or c below 1); with
// init its frames are made and cleared (error 250 when they alone would pass
// the memory budget: check_sparse_rows), otherwise spar is left nil.
void sparse_create(const tokentipe* let, std::int32_t r, std::int32_t c, bool liner, bool init);

// The newest array named x, or nil.
arrptr find_array(const tokentipe* x);
// *q := the newest array named x; none is error 28 with x.
void array_seek(const tokentipe* x, arrptr* q);

// The subscript mapping on the record q: r, c as typed (c the origin when
// colflag is false). Dense: *qp := the cell, *aux := nil, *c := the global
// index. Sparse: *aux := the row's head link, *r := the row from 0, *c :=
// the column from 1, *qp := the entry's value cell or nil when absent.
// Out of range: error 27 with x.
void new_array_quoly_ptr(arrptr q, std::int32_t* r, std::int32_t* c, bool colflag, quolyptr* qp,
                         const tokentipe* x, colm_ptrptr* aux);

// The array named x (*q) and the cell of its element (r, c) (*qp; nil for
// an absent sparse entry). Errors 28, 27 with x.
void lookup(const tokentipe* x, std::int32_t r, std::int32_t c, arrptr* q, quolyptr* qp,
            bool colflag);

// The array named x (*q) and the cell of its element with the single
// subscript spot (*qp), counted down the columns; an absent sparse entry
// is created holding 0 (sparse_set). spot below addresser or beyond the
// array: error 27; no such array: error 28.
void spec_lookup(const tokentipe* x, std::int32_t spot, arrptr* q, quolyptr* qp);

// Counts an uninitialised cell met in this command and prints the warning
// (with the array's name, or the plain text when name is nil) while fewer
// than 21 were met, " ....etc...\n" at the 21st.
// writes: uninit
void count_uninitialised(const char* name);

// ---- Stored integers as matrix operands ------------------------------------------------
// In modular arithmetic an integer result stored in an array (a count, a
// degree, a position) may lie outside the residues; a matrix computation
// reads it as its image (numbers/node_handles.h).

// Some cell or entry of q is such an integer.
// reads: modularmode, flotemode, modulus
bool array_has_unreduced(arrptr q);
// Every such cell takes its image in place, for good (a computation about
// to overwrite q); a sparse entry whose image is 0 is removed.
// reads: modularmode, flotemode, modulus, finf
void settle_array_integers(arrptr q);

// With "[" current after the name x: reads the subscripts and "]" and sets
// *qp to the element's cell; an uninitialised dense cell becomes 0 with the
// counted warning; an absent sparse entry gives nil.
void arretrieve(textptr inf, const tokentipe* x, nameptr* flag, quolyptr* qp);

// *q := the value of global cell k, an uninitialised cell made 0 with the
// counted warning (the plain text).
void check_and_assign(std::int32_t k, quolyptr q);

// Clears the denominators of the selected entries: a sparse matrix (its
// total_rows rows), or, spar nil, the dense block of target_rows rows and
// cols columns from cell spot with column stride total_rows. Uninitialised
// dense cells become 0 with the plain counted warning.
// (killdenoms: declared in sparse_store.h)

}  // namespace tavrin
