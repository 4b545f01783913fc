// The built-in functions: routing of an index to one of the two bodies
// (builtin_func, declared in lang/lang_upcalls.h), the environment the
// first body shares with its readers, the readers of arguments, and the
// routines several built-ins of the first body share.
//
// Every built-in reads its own arguments from the same source as the
// expression around it (inf, or the stored chain *flag), the current token
// being its name on entry. Its value goes to *n; further results are stored
// through set_quotient (targets.h) into variables or elements named among
// the arguments.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "numbers/value_holds.h"
#include "numbers/work_arrays.h"
#include "toplevel/scanner.h"

namespace tavrin {

class OperandKeeper;  // matrix/operand_keeper.h

// The working state of the first body, shared by reference with its readers.
struct builtin_func1_EnvRec {
  FILEPtr* inf;
  nameptr* flag;
  quoly* n;               // the result cell
  quoly bound;            // the optional bound
  bool modular_stuff;     // the saved modular switch
  std::int32_t k;         // an integer argument
  arrptr q;               // the array argument
  std::int32_t rows, cols;
  std::int32_t start;     // first cell of the (sub-)array, -1 for a whole array
  std::int32_t total_rows;
  std::int32_t firstrow, firstcol;
  std::int32_t target_rows;
  tokentipe errorname;    // the name reported with array errors
  quolyptr x;             // the cell a one-argument reader resolved
  workptr alpha;          // the work array a matrix built-in filled
  arr_descr arr_facts;    // entry count and rows of alpha
  bool oldm1;             // the saved command_int
  bool see_star;          // "*" before the array argument
  quoly copy, dum;        // scratch values
  OperandKeeper* keeper;  // keeps an operand that a matrix built-in changes in place
  HeldValues held;        // the arguments read where they lie, held until the built-in ends
};

// ---- Readers ---------------------------------------------------------------------------
// The next token must be "(" (177).
void check_for_paren(builtin_func1_EnvRec* env);
// The next token, then a sum into *n ("^": 313).
void scanner_expre(builtin_func1_EnvRec* env);
// "(" sum "," into *n; the token after "," current. Errors 177, 313, 202.
void read_with_comma(builtin_func1_EnvRec* env);
// "(" one argument ")": x := its cell; the token after ")" current. Errors
// 177, 1.
void standard_read(builtin_func1_EnvRec* env);
// As standard_read, for a built-in that only looks at its argument: a sum
// that is one stored value is read where it lies, held (env->held) instead
// of copied, and x := the hold's cell.
void look_read(builtin_func1_EnvRec* env);
// One argument from the current token: "^" and a variable or element gives
// its value where it lies (*n freed first; a missing or empty cell gives 0
// in *n and the cell n); with look, a sum that is one stored value too;
// anything else a sum into *n and the cell n. A value read where it lies is
// held in env->held until the built-in ends, and x is the hold's cell: the
// built-in reads it, never writes it, and later arguments may change the
// variable meanwhile.
void get_the_data(builtin_func1_EnvRec* env, quolyptr* x, quolyptr n, bool look = false);
// As get_the_data with an optional "^": always a variable or element, held
// in env->held.
void read_quoly_ptr2(builtin_func1_EnvRec* env, quolyptr* x, quolyptr n);
// The target cell of a built-in that writes through its argument ("^" and
// a variable or element, get_quoly_ptr): not held, since the built-in
// changes it.
void read_target_cell(builtin_func1_EnvRec* env, quolyptr* x, quolyptr n);
// The next token, then a sum read with modular arithmetic off: k := its
// integer. Errors 227 (no number), 314 (more than one limb), 300 (negative
// with negcheck).
void get_level_k(builtin_func1_EnvRec* env, bool negcheck);
// "(" ["*"] "[" array operand: the array fields of env. Errors 177, 178, 28.
void read_command(builtin_func1_EnvRec* env);

// ---- Shared routines ---------------------------------------------------------------------
// num must be a monic polynomial in one variable: *n its depth, *expon its
// degree, *p its term list in that variable, *t the pad term above it (nil
// at depth 1). Errors erno (a number), 196 (a denominator), 198 (constant,
// or a negative degree), 197 (leading coefficient not 1).
void check_for_monic_poly(std::int32_t erno, quoly num, std::int16_t* n, std::int32_t* expon,
                          poly* p, poly* t);
// Every one of the rows x rows cells of alpha holds a number.
bool allnumbs(builtin_func1_EnvRec* env);
// Releases alpha's values, gives the work array back, frees the count and
// restores command_int.
void finish_1(builtin_func1_EnvRec* env);
// "(" variable or element ")": the value loses its denominator. Errors 1.
void basic_killden(builtin_func1_EnvRec* env);
// An array operand whose selected entries lose their denominators. Errors
// 28, 244 (a block of a sparse array).
void array_killden(builtin_func1_EnvRec* env);
// *m := the determinant of the integer array q, or of the rows x rows work
// array beta when it is not nil (bound from `bound` at val, or computed
// when there is none). Error 238.
void do_int_determ(builtin_func1_EnvRec* env, quolyptr m, std::int32_t val, workptr beta);

// ---- The pool of work arrays ---------------------------------------------------------------
// *p := the index of a work array taken from the pool; all twenty taken is
// error 88 with x (nothing taken: *p := 0 when the report returns).
void new_worknode(std::int32_t* p, const tokentipe* x);

}  // namespace tavrin
