// The built-ins of the arrays: the readers of array operands, the routines
// several array and matrix built-ins share, the pool of work arrays, and
// the registration of the built-ins whose bodies live in this folder
// (install_array_builtins). The environment and the readers of single
// values are lang's (lang/builtins/builtin_env.h).
#pragma once

#include <cstdint>

#include "core/records.h"
#include "numbers/work_arrays.h"
#include "toplevel/scanner.h"
#include "lang/builtins/builtin_env.h"

namespace tavrin {

// ---- Readers of arrays -----------------------------------------------------------------
// "(" ["*"] "[" array operand: the array fields of env. Errors 177, 178, 28.
void read_command(builtin_func1_EnvRec* env);

// ---- Shared routines ---------------------------------------------------------------------
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

// Registers the handlers of the built-ins whose bodies live in this folder
// (the rows of builtin_dispatch.cpp, scalar_builtins.cpp and
// second_builtins.cpp). Called by install_arrays.
void install_array_builtins();

// ---- The pool of work arrays ---------------------------------------------------------------
// *p := the index of a work array taken from the pool; all twenty taken is
// error 88 with x (nothing taken: *p := 0 when the report returns).
void new_worknode(std::int32_t* p, const tokentipe* x);

}  // namespace tavrin
