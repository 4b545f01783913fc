// The start values of the settings and the records, tables and work areas
// that the start-up makes once, in the order the reading of the data
// directory needs them (data_files.h calls them). Each is safe to call again:
// a second call sets the values again and keeps what was allocated.
#pragma once

namespace tavrin {

// The settings the first half of the start-up gives (namelength 10,
// fast_gcd_size 25000, gcd_stash_cutoff 200, ...), the arithmetic mode
// flags off, and the character sets.
void set_first_defaults();

// The 38 x 38 table pol is emptied; the scratch record of the duplicate
// array (name "  ", stop -1) is made.
void make_char_table_and_duparr();

// The 78 generic variable records a2 .. z2, a1 .. z1, a .. z pushed onto
// dodo (which then runs z, y, .., a, z1, .., a2, with depths 1 .. 78); the
// ring of 500 call records (lastf, statcount := 0) and the ring of 60
// recent tokens (finish := nil); the symbol tables emptied.
void make_rings_and_tables();

// 5001 limbs taken from the limb pool onto the limb free list; the store of
// numbered arrays (400,000 slots) allocated and cleared.
void prefill_limbs_and_arrstash();

// The sort table (1000 records, from index 1) allocated; the table of the
// sparse sort cleared.
void make_sort_tables();

// The settings the second half of the start-up gives (eprompt ":",
// mod_det_method_cut 150, ...), disp_cons, poly_1 := 1, the system array "<"
// (stop -1) with its 1,000,000 cells, prevnum := 0.
void set_second_defaults();

// 5001 polynomial nodes taken from the pool onto the node free list.
void prefill_poly_nodes();

// The residue matrix of the modular determinants (cells 0 .. 399 numbers,
// mod_matrix_size 399), the pivot tables clc, clr, clc_min, clbest (50,001
// entries each), lagrange_stash := 0, suppressor := 1.
void allocate_work_areas();

}  // namespace tavrin
