// The built-in functions: the environment every body shares with its
// readers, the readers of arguments, and the one entry the factor readers
// call (builtin_func), which runs the handler that the row of the built-in
// table holds (toplevel/builtin_names.h).
//
// Every built-in reads its own arguments from the same source as the
// expression around it (inf, or the stored chain *flag), the current token
// being its name on entry. Its value goes to *n; further results are stored
// through set_quotient (arrays/targets.h) into variables or elements named
// among the arguments.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "numbers/value_holds.h"
#include "numbers/work_arrays.h"
#include "toplevel/builtin_names.h"
#include "toplevel/scanner.h"

namespace tavrin {

class OperandKeeper;  // matrix/operand_keeper.h

// The working state of a built-in, shared by reference with its readers.
struct builtin_func1_EnvRec {
  FILEPtr* inf;
  nameptr* flag;
  quoly* n;            // the result cell
  quoly bound;         // the optional bound
  bool modular_stuff;  // the saved modular switch
  std::int32_t k;      // an integer argument
  arrptr q;            // the array argument
  std::int32_t rows, cols;
  std::int32_t start;  // first cell of the (sub-)array, -1 for a whole array
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

// The built-in function of the given index; the current token is its name.
// Runs the handler of the index's row with a fresh environment; a row
// without one (an operator form, or an index past the table) is abandoned
// as not implemented.
void builtin_func(textptr inf, quolyptr n, nameptr* flag, std::int32_t index);

// The handler of a body that reads no index.
template <void (*body)(builtin_func1_EnvRec*)>
void index_free(builtin_func1_EnvRec* env, std::int32_t) {
  body(env);
}

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

// A sum of terms from the current token into *c (its old value freed).
void read_sum(builtin_func1_EnvRec* env, quolyptr c);
// *n := the integer v (its old value freed).
void set_result(builtin_func1_EnvRec* env, std::int64_t v);

// ---- Shared routines ---------------------------------------------------------------------
// num must be a monic polynomial in one variable: *n its depth, *expon its
// degree, *p its term list in that variable, *t the pad term above it (nil
// at depth 1). Errors erno (a number), 196 (a denominator), 198 (constant,
// or a negative degree), 197 (leading coefficient not 1).
void check_for_monic_poly(std::int32_t erno, quoly num, std::int16_t* n, std::int32_t* expon,
                          poly* p, poly* t);

}  // namespace tavrin
