// User functions: definitions ("Func"/"Function"), calls, and the one-time
// linking of a body by "Compile".
//
// A function lives in func_store (toplevel/state.h), 71 buckets, newest
// definition first. A call binds each parameter to a new variable pushed in
// front of any variable of its name (dynamic scope) and each array argument
// to an alias of the caller's array; remove_args
// takes them away again on return and on every unwind.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "toplevel/scanner.h"

namespace tavrin {

extern bool new_funcs;  // set by every definition

// The current token is the function's name (already checked to begin with
// a capital). Reads parameters and body up to the closing "."; the token
// after it is current on return. Errors 12, 5, 237, 6, 7, 103 and those of
// the statement reader; a failed definition is not entered.
void funcdef(textptr inf, nameptr* flag);

// The function named like x, or nil.
funcptr find_function(const tokentipe* x);

// Runs "Compile" (the statement p) inside the innermost call: the
// statements after it are linked once and run here; the call ends after
// them (exit_flag). Outside a call: 234.
void compile(textptr inf, quolyptr n, condexptr p);
// Before a variable or an array is cancelled: every function whose linked
// statements hold a token bound to it (cell: the variable's cell; arr: the
// array, whose removal also moves or frees element cells, so every element
// link counts) forgets its links and links afresh at its next call; a
// token met meanwhile is looked up by its name.
void forget_links_to(quolyptr cell, arrptr arr);

// How many calls are active (matches statcount while no error is pending).
std::int32_t live_call_count();

// Ends the user-function evaluation `call` when an error abandons it: its
// arguments and locals are removed, and a replaced definition that nothing
// uses any more is freed.
void remove_args(statptr call);
// Ends every call still active when a computation is abandoned to the top
// level (a nested command level may have left some behind); likewise frees
// the replaced definitions nothing uses any more.
void end_all_calls();
// A function taken out of func_store (cancelled): freed at once, or when no
// call of it is active and no evaluation (binding its arguments, or
// suspended below a nested level) holds it any more. A definition replaced
// by a new one of its name is retired the same way.
void retire_function(funcptr f);

// Calls the user function named *name with the arguments that follow;
// result in *n. No such function: user error 16 with the name.
void evaluate(textptr inf, const tokentipe* name, quolyptr n, nameptr* flag);

}  // namespace tavrin
