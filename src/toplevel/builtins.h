// The table of built-in names, read at start from the data file "Qerrs".
//
// Entries 0 .. numbuiltins are pairs of names of at most 10 characters: the
// built-in's name and its second name. The first names are in strictly
// ascending order of unsigned bytes (a name sorts before every longer name
// it begins), and a built-in's index is its place in that order. When the
// second name begins with "*" (as "*89"), the first name is an alias of that
// operator token: its row carries the operator's row (OperatorAlias below),
// whose handler the factor readers run. The others do not begin with "*".
// Rows past numbuiltins hold "b" and the empty name.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "toplevel/scanner.h"

namespace tavrin {

// The code characters of the array statements and operations, by which
// the array reader (matlang's arr_parse, toplevel/dispatch.h) chooses:
// the first character of an array statement, or the character that a
// built-in stands for.
enum class ArrayCode : char {
  none = '\0',
  transpose = '"',           // '"' statements; "Trans"
  assignment = '[',          // array assignments
  diagonal = '~',            // "Diag"
  adjoint = 'A',             // "Adjoint", "Altmult", "Altpower"
  matrix_powermod = 'M',     // "MPowermod"
  determinant = '7',         // "Det"
  sparse_determinant = '8',  // "SDet"
  hamilton = 'H',            // "Hamilton"
  least_entry = 'L',         // "Dexmin"
  matrix_sum = 'S',          // "Sum"
  trace = 'T',               // "Trace"
};

// How the floating factor reader evaluates an operator token that is
// current.
enum class floating_alias : std::uint8_t {
  refused,       // not a floating factor (error 2)
  exact,         // by the exact factor reader, its result taken as a number
  sum,           // the floating sum of its header and body
  product,       // the floating product of its header and body
  random,        // a random word
  random_again,  // a random word mixed with the processor clock
  binomial,      // the floating binomial coefficient
  array,         // the array operation of its code, taken as a number
};

// Runs an operator whose built-in name (or token) is current, the code of
// its row given: its value into *n (nil on entry), nil when it makes none.
using alias_handler = void (*)(ArrayCode code, textptr inf, quolyptr n, nameptr* flag);

// A row of the operator tokens that built-in names stand for (lang's
// operator_aliases.h holds the rows): the token, the code of an array
// operation (none for the rest), the floating reader's form and the
// handler the exact factor reader runs.
struct OperatorAlias {
  const char* token;
  ArrayCode code;
  floating_alias floating;
  alias_handler handler;
};

struct BuiltinRow {
  nametype name;
  nametype second;
  const OperatorAlias* alias;  // the row of the operator token `second` names, or nil
};

constexpr int builtin_slots = 110;
extern BuiltinRow builtin[builtin_slots];
extern std::int32_t numbuiltins;  // index of the last entry in use; -1: none

// The index of the entry whose first name equals `key` among the indices
// start .. stop (both included), by bisection; -1 when there is none (at
// once when stop < start).
std::int32_t find_built_in(std::int32_t start, std::int32_t stop, const char* key);

// The code of the array operation that the built-in named t stands for;
// none for every other token.
ArrayCode array_code(const tokentipe& t);

}  // namespace tavrin
