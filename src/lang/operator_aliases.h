// The operator tokens that built-in names stand for. A name of the built-in
// table whose second name begins with "*" (as "Det" with "*12") is an alias:
// the factor readers make that second name the current token and run the
// row of this table that holds it. The names are data of the built-in table;
// only the tokens below, their order and their code characters are fixed.
//
// Each row holds the token, the code character of an array operation ('\0'
// for the rest), what the floating factor reader does with the token, and
// the handler the exact factor reader runs. The handlers of the array
// operations live above this folder (matlang's arr_parse): their owner
// registers them at start-up, after which every row has its handler.
#pragma once

#include <cstdint>
#include <span>

#include "core/records.h"
#include "toplevel/scanner.h"

namespace tavrin {

// How the floating factor reader evaluates an alias token that is current.
enum class floating_alias : std::uint8_t {
  refused,       // not a floating factor (error 2)
  exact,         // by the exact factor reader, its result taken as a number
  sum,           // the floating sum or product of its header and body
  random,        // a random word
  random_again,  // a random word mixed with the processor clock
  binomial,      // the floating binomial coefficient
  array,         // the array operation of its code character, taken as a number
};

// Runs an alias whose token is current (the code character of its row
// given): its value into *n (nil on entry), nil when it makes none.
using alias_handler = void (*)(char code, textptr inf, quolyptr n, nameptr* flag);

struct OperatorAlias {
  const char* token;
  char code;
  floating_alias floating;
  alias_handler handler;
};

// The rows, in the order the factor reader tests the tokens.
std::span<const OperatorAlias> operator_aliases();

// The row whose token is `name`, or nil.
const OperatorAlias* find_operator_alias(const char* name);

// Makes reader the handler of every row with a code character. Called once
// at start-up by the owner of the array statements.
void register_array_aliases(alias_handler reader);

// Whether `name` is the token of the array operation of code character
// `code` (the statement readers take "*101" as "Trans", "*14" as "Diag").
bool is_array_alias(const char* name, char code);

// The alias of row a, whose token is current, met as a factor: its value
// into *n (0 when it makes none) and *qp := n. A row left without its
// handler by start-up is abandoned as not implemented.
void operator_alias(const OperatorAlias& a, textptr inf, quolyptr* qp, quolyptr n, nameptr* flag);

}  // namespace tavrin
