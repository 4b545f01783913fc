// The value cells of targets: the cell of a variable or array element named
// by the next argument of a built-in, and the storing of a computed value
// into such a target (set_quotient), creating the variable or the sparse
// entry when it is absent.
//
// In stored text whose names are linked (compiled), the tokens carry their
// cells: tipe 1 a local name (qp its cell), tipe 2 an element with a
// constant subscript (the name, "[", the constant, "]"; qp its cell), tipe 3
// an element of an array parameter (the name, "[", subscripts, "]"; qp
// designates the binding: the limbs start, rows and, when present, stop of
// the passed array, chained through next).
#pragma once

#include <cstdint>

#include "core/records.h"
#include "toplevel/scanner.h"
#include "lang/lang_upcalls.h"

namespace tavrin {

// The target's first token current: *qp := its cell (a variable's val, a
// dense cell, possibly holding nil, or a present sparse entry's val; nil
// for an absent sparse entry). The token after the target is current on
// return. Errors 243, 19, 217-221, 28, 27 and those of the subscripts.
// get_quoly_ptr(qp, inf, flag): declared in lang/lang_upcalls.h.
// As get_quoly_ptr; *spars := the target is an element of a sparse array
// found by name (false for scalars and linked tokens).
void new_get_quoly_ptr(quolyptr* qp, textptr inf, nameptr* flag, bool* spars);

// Stores m (taken over, or freed) into the target named by the current
// token: a variable (created when absent) when the token after the name
// begins with end_char, an element when it is "[" (a sparse entry created,
// replaced or deleted for 0). Afterwards the current token must begin with
// end_char, else user error errno. Errors 125, 232, 176, 28, 27.
void set_quotient(quoly m, textptr inf, nameptr* flag, std::int32_t errno_, char end_char);

// The cell of element (r, c) of the array parameter bound at `binding`
// (the dense array record, or the alias made for the argument, held in the
// token's cell pointer); outside the passed array is error 27 with x.
quolyptr parameter_element(const quolyptr binding, std::int32_t r, std::int32_t c, bool two,
                           const tokentipe* x);

// Installs what the folders below call back into the array layer (the
// cofactor targets of the extended GCD built-in) and registers the
// built-ins whose bodies live in this folder. Called at start.
void install_arrays();

}  // namespace tavrin
