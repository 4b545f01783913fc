// What the expression evaluator calls that is built later: user-function
// calls, system functions ("for", "if", "while" as factors), array
// elements, evaluation at values ("#"), operator aliases, and the built-in
// functions (whose bodies live with the arrays above this folder). Declared
// here; until each owner lands, lang/not_yet_available.cpp holds a stand-in
// that prints "not implemented" and abandons the statement.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "toplevel/language_services.h"
#include "toplevel/scanner.h"

namespace tavrin {

// The look-ahead token after a "for", "if" or "while" met as a factor, and
// the flag that tells the statement reader to take it.
extern tokentipe sys_func_token;

// Calls the user function named *name with the arguments that follow;
// result in *n. No such function: user error 16 with the name.
void evaluate(textptr inf, const tokentipe* name, quolyptr n, nameptr* flag);
// Runs the "for", "if" or "while" statement whose keyword is the current
// token (doing_sys_func set); its value in *n.
void call_sys_func(textptr inf, quolyptr n, nameptr* flag);
// The built-in function of the given index; the current token is its name.
void builtin_func(textptr inf, quolyptr n, nameptr* flag, std::int32_t index);
// With "[" current: the element of the array named *x; *qp its cell (nil
// for a missing sparse element), *t and *colpos its sparse position.
void new_arretrieve(textptr inf, const tokentipe* x, nameptr* flag, quolyptr* qp, quolyptr n,
                    colm_ptrptr* t, std::int32_t* colpos);
// With "[" current: the element of the array q of the array-of-arrays store.
void spec_arretrieve(textptr inf, nameptr* flag, arrptr q, quolyptr* qp, colm_ptrptr* t,
                     std::int32_t* colpos);
// get_evalquoly: declared in toplevel/language_services.h (cancelling a
// variable substitutes 1 through it).
// An operator alias token ("*103", "*89", ...) met as a factor.
void operator_alias(textptr inf, quolyptr* qp, quolyptr n, nameptr* flag);

}  // namespace tavrin
