// The state the top level owns that only the top level and the folders above
// it (the language, arrays, matrices, determinants) read: the statement
// values, timing, prompt and display switches, the symbol tables, the
// tables and work areas allocated at start-up. Defined in state.cpp; the
// start-up (startup.h, data_files.h) gives every value its start value.
// The scanner's own state is in scanner.h, the ground ring and the settings
// that lower folders read in core/globals.h.
#pragma once

#include <cstdint>
#include <string>

#include "core/records.h"

namespace tavrin {

class TextInput;

// ---- Statements and their values ----------------------------------------------
extern quoly sysnum;                  // value of the statement being run; nil between statements
extern quoly prevnum;                 // value of the previous statement (0 at start)
extern quoly quol_num_0;              // the shared value 0 (word and long double 0 too)
extern bool time_to_quit;             // "&_p": leave the current nested level
extern bool syst_dump;                // the system array changed and should be shown
extern bool noisy;                    // values are displayed (true)
extern bool uglyprint;                // "&U": plain display style (false)
extern bool timerflag;                // "&t": timing lines (false)
extern nameptr startexpr, prev_expr;  // replay positions of stored statements (nil)
extern std::int32_t matrix_eval;      // open scalar-factor readings in matrix expressions
extern formptr sys_func;              // the system function "<F", a one-entry list (nil)
extern bool doing_sys_func;
extern bool want_sparse;  // literals build sparse values for a sparse target
// One-shot flags: "&x" ends a command file; "&>", "&]", "&}" leave a loop,
// go on with its next pass, leave a function. Cleared by error reports.
extern bool done_load, leave_flag, cycle_flag, exit_flag;
extern bool mod_mode_matrix_in_use;  // the residue matrix is taken

// ---- Timing -------------------------------------------------------------------
// One row per command level, row time_level - 1 for the level in use (row 0
// the top level; rows for levels 1 to 10): word 0 wall-clock seconds, word 1
// processor ticks (microseconds). At the start of a statement the row of
// mytime holds the two readings, after it the elapsed amounts; the row of
// time_off holds time to discount (spent in deeper levels), cleared after
// each use.
constexpr int timing_rows = 10;
extern std::uint32_t mytime[timing_rows][2];
extern std::uint32_t time_off[timing_rows][2];
extern std::int32_t time_level;  // 1 at the top level, one more per open nested level

// ---- Prompt and files ---------------------------------------------------------
extern char prompt[11];          // ">" at start
extern std::int16_t promptsize;  // 1 at start; 0 when the prompt is a carriage return
extern char eprompt[11];         // ":" the prompt of interactive element input
extern std::string blankone;     // " "
extern std::string input_file_name, output_file_name;  // empty at start
// The open command file (owned; nil when none), named input_file_name.
extern TextInput* inpuf;
// The file whose statements are being read now (the start-up file or the
// command file), nil at the terminal: error reports show the lines that
// follow the error in it.
extern TextInput* file_being_read;

// ---- Settings (start values set by the start-up) -------------------------------
extern std::int32_t mincutoff;          // 1,000,000
extern bool chpoly_block;               // true
extern std::int32_t endarr;             // -1: last cell in use of the dense array store
extern std::int32_t limit_char_arrays;  // 998
extern std::int32_t addresser;          // 1: index origin of arrays (0 or 1)
extern std::int32_t m_interrupt;        // 1: command interrupt level ("&m")
extern bool mod_matrix_ok;              // true: adjoint-CRT inverse of integer matrices
extern bool do_line_sup;                // true: long polynomials suppressed at the terminal
extern bool was_in_rat;                 // true
extern std::int32_t array_time;         // 1: creation stamp of the next array
extern std::int32_t uninit;             // uninitialised array cells met in this command
extern bool new_array;                  // a declaration has created an array
extern bool nomodpolyreadin;            // false
extern bool diskstore;                  // false
extern bool monomial_list;              // false: polynomials shown nested
extern bool close_inpuf;                // false: keep a command file open after an error
extern std::int32_t was_modulus;        // -1: modulus put aside in a nested level
extern std::int32_t sqrt_mod;           // -1
extern std::int32_t numblocks;          // -1
extern std::int32_t gauss_cutoff;       // 0
extern std::int32_t minorprime;         // 0
extern std::int32_t init_max_stash;     // 2
extern std::int32_t init_min_stash;     // 3
extern std::int32_t wanthalf;           // 1
extern std::int32_t lagrange_stash;     // 0
extern std::int32_t mod_matrix_size;    // 399
extern std::int32_t disp_size;          // 5: decimal groups of the approximation of rationals
extern number disp_cons;                // 10^(8 disp_size) in big integers
extern std::int32_t cmd_modder;         // 32: interrupt polling period ("&m" 1: 32, 2: 2)
extern number rand_denom_n;             // 1: denominator of the random values ("&_r")

// ---- Symbol tables and stores -------------------------------------------------------
constexpr int sca_buckets = 151;
constexpr int arr_buckets = 151;
constexpr int func_buckets = 71;
extern varptr sca_store[sca_buckets];     // scalar variables
extern arrptr arr_store[arr_buckets];     // user arrays, chained through next
extern funcptr func_store[func_buckets];  // user functions
constexpr int arrstash_slots = 400000;
extern arrptr* arrstash;  // the numbered arrays "%[k]", all nil at start
extern statptr lastf;     // innermost running user function (ring of 500)
constexpr int statring_size = 500;
extern polypt dodo;  // 78 generic variables z, y, .., a, z1, .., a1, z2, .., a2
constexpr int sort_entries = 1000;
extern sortrec* sortp;  // the sort table of the listings, from index 1
constexpr int spsort_frames = 5000;
extern sparseptr spsort[spsort_frames];  // frames of the sparse array being sorted
extern bool using_spsort;

// ---- Arrays and work areas ---------------------------------------------------------
// The paged store of dense array cells: global cell i is slot i & 1023 of
// page i >> 10; pages are allocated in order when first needed (numblocks
// the last), filled with nil, and kept. Cells 0 .. endarr are in use; nil is
// an uninitialised element. (The arrays folder owns what is done with it.)
constexpr std::int32_t arp_pages = 5000;
constexpr std::int32_t page_cells = 1024;
struct storerec {
  quoly cell[page_cells];
};
using storeptr = storerec*;
extern storeptr arp[arp_pages];
// The cell of global index i (its page must exist).
inline quolyptr arp_cell(std::int32_t i) { return &arp[i >> 10]->cell[i & 1023]; }
extern arrptr syst;              // the system array "<" (stop -1 while empty)
extern workptr syst_stash;       // its dense cells (the work array named stash)
extern arrptr duparr;            // scratch record of the duplicate array (name "  ", stop -1)
extern workptr dupptr;           // its cells; nil when none
extern workptr mod_mode_matrix;  // residue matrix of the modular determinants
constexpr int pivot_entries = 50001;
extern std::int32_t* clc;  // pivot tables of the sparse elimination
extern std::int32_t* clr;
extern std::int32_t* clc_min;
extern quoly* clbest;
extern poly poly_1;  // the constant polynomial 1

// ---- Variable list and quotient ring -----------------------------------------------
extern polypt old_polynames;      // the full variable list while polymodding is suspended
extern bool using_new_polynames;  // polymodding is suspended (false)
// No level is a field level and every level has a relation of degree 2
// (true also with no variables); read by the characteristic-2 evaluation.
extern bool char2_degs1;
extern bool aux1_hit_0;  // the first auxiliary prime list met a root 0 (false)
// A variable was adjoined or cancelled, or a relation set, in word mode
// (false); read by the change of ground ring.
extern bool changed_in_modmode;
extern std::int32_t badcnt;  // values set to 1 in the current cancelling

// ---- Characteristic polynomials ---------------------------------------------------
// pol[m][i], m = 1 .. 37, i = 1 .. m: the i-th Lagrange basis polynomial of
// the points 1 .. m in the top variable, pol[m][0] the value 0, pol[0][0]
// the value 1; rows 0 to 11 are read at start, rows 12 to 37 on demand
// (read_char_poly_rows). denom[k] = the value k, k = 1 .. 998.
constexpr int pol_rows = 38;
extern quoly pol[pol_rows][pol_rows];
constexpr int denom_count = 998;
extern quoly denom[denom_count + 1];
extern bool need_to_set_char_poly;  // rows 12 .. 37 are still to be read

}  // namespace tavrin
