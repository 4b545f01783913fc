// The operator tokens that built-in names stand for. A name of the built-in
// table whose second name begins with "*" (as "Det" with "*12") is an alias:
// its row of the built-in table carries the row of this table that holds
// that token, whose handler the factor readers run with the name current.
// The names are data of the built-in table; only the tokens below, their
// order and their code characters are fixed.
//
// Each row (OperatorAlias, toplevel/builtins.h) holds the token, the code of
// an array operation (none for the rest), what the floating factor reader
// does with the token, and the handler the exact factor reader runs. The
// handlers of the array operations live above this folder (matlang's
// arr_parse): their owner registers them at start-up, after which every row
// has its handler.
#pragma once

#include <span>

#include "core/records.h"
#include "toplevel/builtins.h"
#include "toplevel/scanner.h"

namespace tavrin {

// The rows, in the order the factor reader tests the tokens.
std::span<const OperatorAlias> operator_aliases();

// The row whose token is `name`, or nil.
const OperatorAlias* find_operator_alias(const char* name);

// Gives each row of the built-in table entries 0 .. numbuiltins the row of
// the operator token its second name names (nil for the others). Called
// once the table is read.
void link_builtin_aliases();

// Whether `name` is the token of the array operation of code `code` (the
// statement readers take "*101" as "Trans", "*14" as "Diag").
bool is_array_alias(const char* name, ArrayCode code);

// Makes reader the handler of every row with a code. Called once at
// start-up by the owner of the array statements.
void register_array_aliases(alias_handler reader);

// The alias of row a met as a factor, its built-in name (or its token)
// current: its value into *n (0 when it makes none) and *qp := n. A row left
// without its handler by start-up is abandoned as not implemented.
void operator_alias(const OperatorAlias& a, textptr inf, quolyptr* qp, quolyptr n, nameptr* flag);

}  // namespace tavrin
