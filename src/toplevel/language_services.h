// What the command loop and the statement dispatcher call in the folders
// above the top level (the expression evaluator, arrays and matrix
// statements, user functions, output and cancelling statements). Declared
// here, defined by their owners.
//
// Every reader takes its input as the statement dispatcher passes it: `inf`
// the stream (normally &Input) and `flag` the cursor of stored token text
// (nil cell: read the stream). On entry the global `token` is the first
// token of what is read; on return it is the first token after it.
#pragma once

#include <cstdint>
#include <string>

#include "core/records.h"
#include "toplevel/scanner.h"

namespace tavrin {

// ---- Expressions --------------------------------------------------------------------
// A statement expression, assignment or increment into *n (nil on entry);
// *qp designates the place that holds the value (n itself, a variable's
// cell, or nil for a missing sparse element); *aux, *colpos the sparse
// position of an element.
void expre(textptr inf, quolyptr* qp, quolyptr n, colm_ptrptr* aux, std::int32_t* colpos,
           nameptr* flag);
// A plain sum of terms into *n (owned by the caller).
void old_expre(textptr inf, quolyptr n, nameptr* flag);
// One factor with its postfix operators ("^", "!" or "#", then any number of
// '"' derivatives). Frees *n first and sets *aux nil. With leave_it a
// missing array element stays a nil place.
void fact(textptr inf, quolyptr* qp, quolyptr n, colm_ptrptr* aux, std::int32_t* colpos,
          nameptr* flag, bool leave_it);
// A floating statement (the floating evaluation of a body after "Float")
// into the long double *n. Contract: lang/floating.h.
void iexpre(long double* n, nameptr* flag);
// *n := x as a value of the ring in force (an exact rational outside
// floating mode). Contract: lang/floating.h.
void real_to_value(long double x, quolyptr n);
// The operand that names a stored value (a variable, "<" the previous
// result, an element of a named array, of the system array or of "%[k]"):
// *n := that value itself, not a copy, or nil for an empty cell or an
// absent sparse entry. It still belongs to its owner: never freed or
// changed by the caller, and valid only until the next assignment. The
// token after the operand is current on return. Errors 125 (an adjoined
// variable), 19, 28, 27, 217-221.
void get_quoly(quolyptr n, textptr inf, nameptr* flag);

// A value in the notation values are written out in (nested by variable,
// exponents descending), read into *n (old value freed); *depth: the
// variable level the reading reached.
void quoly_readin(textptr inf, quolyptr n, nameptr* flag, std::int32_t* depth);

// True while a command file is read: the polynomial reader may then warn
// once about a negative value read in a modular ring.
extern bool minus_warning;

// ---- Scalar variables -----------------------------------------------------------------
// The variable named x gets the value num (taken over): an existing one has
// its old value freed, else it is created; *q := its record.
void insert_var(const tokentipe* x, quoly num, varptr* q);

// ---- Evaluation at values ------------------------------------------------------------
// After "#": *n evaluated at the values that follow. With *n2 given (one
// value, next nil) no input is read: that value is put for the variable at
// depth *target (1 = top). leave_n: *n is replaced by a copy first (a value
// shared with a variable is not consumed); should_free: the values after the
// first are freed. Error 22 when a denominator becomes 0 (resumed: the value
// becomes 1).
void get_evalquoly(textptr inf, quolyptr n, quolyptr n2, std::int16_t* target, nameptr* flag,
                   bool should_free, bool leave_n);

// ---- Arrays and matrix statements -----------------------------------------------------
// The array statement or operation selected by x ('[', '~', '"' array
// statements; 'A', 'M' the matrix words); a scalar result in *n.
void arr_parse(char x, textptr inf, quolyptr n, nameptr* flag);
// A statement on arrays of arrays (first character "%").
void arr_arr_state(textptr inf, quolyptr n, nameptr* flag);
// The "?" statement on the array named *x (after "?" "["): every element
// of the array or of the block given is read from the terminal, or with
// ":char" a typed text becomes a new array. *stash and saveleft (two
// characters) receive the statement's token and the scanner's push-back
// before the terminal is read, for the caller to restore.
void whole_arrinsert(textptr inf, const tokentipe* x, nameptr* flag, quolyptr n, tokentipe* stash,
                     char* saveleft);
// "[" current: the text spelled by the cells of the whole dense array
// named next (each a character code; blanks and empty cells skipped; at most
// 255 characters) into *newname; empty with a warning when nothing was
// spelled. Errors 28 (no such array), 258 (a block), 259 (sparse), 260 (a
// cell that is not a number) and those of the operand.
void get_from_array(textptr inf, nameptr* flag, std::string* newname);
// "[" current: per-variable cut-offs from the cells of the whole dense array
// named next, in storage order: the k-th number cell of at least 6 sets the
// k-th adjoined variable's cut-off (from the top); the first also sets
// poly_cutoff (40 when below 6). Empty cells count but set nothing; a cell
// that is not a number is error 260 (taken as empty when resumed); no number
// at all gives the empty-array warning. Errors as get_from_array.
void get_cut_from_array(textptr inf, nameptr* flag);
// The "?" statement on one element of the array named *x ("[" current):
// the subscripts are read, then the element from the terminal. The
// statement's token and push-back are kept meanwhile.
void element_input(textptr inf, const tokentipe* x, nameptr* flag);

// ---- Display of arrays ------------------------------------------------------------------
// Writes the rows x cols block of an array. x: the name written (q given:
// q's name is copied into it; q nil: the newest array named x is written
// whole, error 28 when there is none). The block starts at cell `location`
// of an array of total_rows rows (a sparse array: row location % total_rows,
// column location / total_rows); firstrow, firstcol: the indices written for
// its first entry. pretty: one entry a line; else the bracketed matrix form
// (terminal) or one assignment per entry (file). desired: the column width
// of the matrix form; charprint: entries written as the characters of their
// codes (error 121 for one that is not a number); extras: brackets, labels
// and prefixes. Dense entries come from the store (from_store) or from the
// work array stash. reads: addresser, prompt, levelcount, uglyprint,
// monomial_list, continuation, polynames
void arrdisplay(std::FILE* outf, bool outf_is_tty, bool pretty, tokentipe* x, arrptr q,
                std::int32_t location, std::int32_t rows, std::int32_t cols, std::int32_t firstrow,
                std::int32_t firstcol, std::int32_t total_rows, std::int32_t desired,
                bool charprint, bool from_store, bool extras, workptr stash);

// The declaration statement of array p ("Array name[rows,cols]" with its
// kind), as the listings and saved states write it.
void arrdescribe(std::FILE* outf, arrptr p);
// The compact form of a dense block that holds numbers only: "[name] := [[ "
// and the entries row by row (an undefined one as "0"), rows continued
// under the first, closed by "   ]];" ("  ]];" for one column). The block
// starts at cell location of an array of total_rows rows.
void arrdis(std::FILE* outf, const tokentipe* x, std::int32_t location, std::int32_t rows,
            std::int32_t cols, std::int32_t total_rows);
// The entries of the sparse array p, one assignment a line in a file (istty
// false), or as the terminal shows them.
void sparse_display(std::FILE* outf, arrptr p, bool istty);

// ---- Output and cancelling statements --------------------------------------------------
// The output statement (first character "!").
void write_out(textptr inf, quolyptr n, nameptr* flag);
// The cancelling statement (first character "@"): reads the names after it
// and removes them; `token` is left on the last token of the statement (the
// dispatcher reads the next one).
void rubout(textptr inf, nameptr* flag);

// ---- Expansion by minors ---------------------------------------------------------------
// The figures the statistics command shows: the memory mark, total branches
// and leaf count of the expansion by minors, the entries of its cache and
// their hits with those of purged entries (entries and hits 0 when no cache
// exists).
void minor_statistics(std::uint64_t* memory, std::int32_t* branches, std::int32_t* leaves,
                      std::int32_t* entries, std::int32_t* hits);

// ---- User functions ---------------------------------------------------------------------
// Ends the user-function evaluation `call` when an error abandons it: its
// arguments and locals are removed.
void remove_args(statptr call);
// Ends every call still active when a computation is abandoned to the top
// level (a nested command level may have left some behind).
void end_all_calls();
// A function taken out of func_store (cancelled): freed at once, or when no
// call of it is active any more.
void retire_function(funcptr f);

}  // namespace tavrin
