// The exact expression evaluator: recursive descent straight on the token
// stream, computing values as it goes (no syntax tree).
//
// Source. Every reader takes `inf`, the stream to read (normally &Input),
// and `flag`, the cursor of stored token text: *flag nil means the stream
// is read, otherwise the stored text is replayed from *flag. On entry the
// global `token` is the first token of the construct; on return it is the
// first token after it. An expression is typed at the terminal when *flag
// is nil.
//
// The value protocol of expre, term and fact:
//   n       the caller's result cell, nil on entry. A reader that computes
//           a new value leaves it in *n, owned by the caller.
//   *qp     on return, the place that holds the value: n itself (an owned
//           value), the value cell of a variable (then *n stays nil and the
//           value belongs to the variable), or nil for a missing element of
//           a sparse array (its value is zero).
//   aux, colpos  the sparse position of an element (the link in its row
//           where it is or would be, and its column); nil / unused for
//           everything else.
// Ownership rules:
//   - A value is owned at a level when *n and *qp are both non-nil (then
//     *qp == n): operations may change it in place.
//   - A value at a place is never changed through the place, except by an
//     assignment or increment, which write the variable's own cell, and the
//     take-over form "*name", which moves the value out and leaves 1 behind.
//     Anything else that needs to change it copies it into n first. Those
//     writers leave a held value to its readers (writable_value).
//   - A place itself is valid only until something else runs: a reader that
//     evaluates anything more (a further operand, an operation that may
//     poll for an interrupt) first holds the value (HeldValues) and reads
//     it through the hold's cell from then on.
//   - A cell handed to a reader with old content has it freed by the reader
//     (fact frees *n first).
// The command-argument readers (old_expre, old_term, old_fact, half_*)
// always deliver an owned value in their cell.
#pragma once

#include <cstdint>

#include "core/no_copy.h"
#include "core/records.h"
#include "numbers/node_handles.h"
#include "numbers/value_holds.h"
#include "toplevel/language_services.h"  // expre, old_expre (called by the loop)
#include "toplevel/scanner.h"

namespace tavrin {

// A value cell owned by a reader: freed on every exit, an unwinding error
// included, unless released.
using ValueCell = nodes::OwnedValue;

// ---- Statement expressions (sums, assignment, increment) -------------------------------
// A statement expression: a term followed by "+"/"-" terms, or, directly
// after the first term, ":=" sum (assignment), ":+" / ":-" with an optional
// amount (increment), or ":;" (quiet end at the terminal). On return *qp is
// n. Errors 316, 317, 339, 68, 223, 224, 196, 294 and those of the factors.
// expre(inf, qp, n, aux, colpos, flag): declared in toplevel/language_services.h.
// One term: factors joined by "*", "/", "//", "\", "|" or juxtaposition; it
// stops before a name "or" or "and".
void term(textptr inf, quolyptr* qp, quolyptr n, colm_ptrptr* aux, std::int32_t* colpos,
          nameptr* flag);
// A plain sum of old_term operands into *n (owned).
// old_expre(inf, n, flag): declared in toplevel/language_services.h.
// The "+"/"-" old_term operands that follow the first operand *n (owned) of
// a plain sum, added into *n.
void sum_tail(textptr inf, quolyptr n, nameptr* flag);

// ---- Factors ---------------------------------------------------------------------------
// One factor with its postfix operators ("^", "!" or "#", then any number of
// '"' derivatives). Frees *n first and sets *aux nil. With leave_it a
// missing array element stays a nil place.
void fact(textptr inf, quolyptr* qp, quolyptr n, colm_ptrptr* aux, std::int32_t* colpos,
          nameptr* flag, bool leave_it);

// True while a statement runs as an operand of an expression: a statement
// ("&(...)", "!...", "?...", "@...") read as a factor, or a user function or
// control statement read after another operand of its statement (the body
// of one read first, as in "F(1);" or "x := F(1)" with nothing before, runs
// as statements of their own). Neither the ring, nor the variables, nor
// Laurent mode may change then: the operands already read, and the value
// being built, belong to the ring in force, and some are stored cells that
// the expression borrows.
bool statement_as_operand();

// Error 73 with the current token while statement_as_operand(); the
// computation is abandoned even where a nested level would resume it.
void refuse_as_operand();

// The same refusal for a change of the variable list, of the relations
// modded out or of Laurent mode, and also at a nested command level opened
// while a statement was under way (levels_above_statements): the change
// would rewrite values that the suspended statement holds and reads again
// when it is resumed.
void refuse_ring_change();

// Counts, while it lives, one statement run as an operand.
class StatementOperand : NoCopy {
 public:
  StatementOperand();
  ~StatementOperand();
};

// True while big integers are read over a ring whose values have no limbs
// (a word or floating ring: the sum of get_exponent). A factor whose value
// lacks limbs (a stored value of the ring, or one made from it) is then
// error 377 before any arithmetic reads it, and the computation abandoned.
extern bool ring_values_lack_limbs;

// The variable that the last factor created for an assignment or increment
// (a name not yet a variable, followed by ":"), nil when it found one; the
// statement removes it again when its right side fails.
extern varptr fresh_variable;

// ---- Operands read where they lie ------------------------------------------------------
// The products and sums of the command-argument readers read a variable's
// value in its own cell instead of a copy. Each operand read where it lies
// is held (numbers/value_holds.h) while the rest of the operation is read
// and computed: whatever runs meanwhile (a call of a function or built-in,
// a statement, "*name", a nested command level) may write the variable,
// which takes its new value at once while the operation reads the old one.

// "*name": the value at *place moves into *n (nil on entry) and the place
// is left holding the number 1; a value that readers hold stays theirs, and
// *n gets a copy of it.
void take_stored_value(quolyptr place, quolyptr n);

// A sum as old_expre reads it, left where it lies when it is a single
// variable: *qp := that variable's cell (*n stays nil), or *qp := n, which
// then owns the value. The caller holds *qp (HeldValues) before it reads
// anything else.
void lent_expre(textptr inf, quolyptr* qp, quolyptr n, nameptr* flag);

// ---- Command-argument expressions (always an owned value) ------------------------------
// *n := the value of a product (old content freed).
void old_term(textptr inf, quolyptr n, nameptr* flag);
// While set, a product read by old_term also ends before the names "to" and
// "by": the bounds of a loop header, where a sum's header typed live holds
// these words as names and they must meet the header's error, not be read
// as variables.
extern bool loop_bound_words;
// *n := the value of one factor.
void old_fact(textptr inf, quolyptr n, nameptr* flag);
// *n holds the left operand: the further factors of the product joined to
// it in place ("or" and "and" are read as names here).
void half_term(textptr inf, quolyptr n, nameptr* flag);
// The postfix operators after the value *n, applied in place.
void half_fact(textptr inf, quolyptr n, nameptr* flag);
// After "#" (read), *n owned: "[" evaluates the polynomial *n at a matrix
// (inside a matrix factor the array reader does that and the answer is
// false: the caller reads nothing more; elsewhere the result goes to the
// system array); anything else puts values for the variables of *n in
// place. True when the caller goes on with its '"' derivatives.
bool evaluate_after_hash(textptr inf, quolyptr n, nameptr* flag);
// half_fact (when a postfix operator follows), half_term, then the "+"/"-"
// tail, in place on *n.
void half_expre(textptr inf, quolyptr n, nameptr* flag);
// *p := a fresh number value 0 (its arr_arg and next cleared); the old *p
// is not freed.
void special_set_quol(quolyptr p);

// Installs what the folders below call back into the language (the
// exponent reader of the coefficient built-in) and registers the built-ins
// of single values (lang/builtins/poly_builtins.h). Called at start.
void install_language();

// ---- Exponents and variable heights -----------------------------------------------------
// The current token is "^": reads the exponent (one factor when `factor`,
// else a whole sum in exact big integers) with modular mode off into the
// number *m2 (a new header, owned by the caller). Not a number: error 116
// with expsign, after which *m2 is 0.
void get_exponent(textptr inf, nameptr* flag, imptr* m2, bool factor);
// q must be exactly one adjoined variable (pads, then x^1 over the leaf 1):
// *height := its number of pads (0 for the top variable); otherwise user
// error err with the current token.
void check_get_height(quoly q, std::int16_t* height, std::int32_t err);
// Walks *p down over pad terms, adding 1 to *height for each; *p is left at
// the first term that is no pad. A visited term followed by another term is
// user error err.
void height_next_var(poly* p, std::int16_t* height, std::int32_t err);

// ---- Evaluation at values ("#") and stored operands --------------------------------------
// After "#": *n evaluated at the values that follow. With *n2 given (one
// value, next nil) no input is read: that value is put for the variable at
// depth *target (1 = top). leave_n: *n is replaced by a copy first (a value
// shared with a variable is not consumed); should_free: the values after the
// first are freed. Error 22 when a denominator becomes 0 (resumed: the value
// becomes 1).
void get_evalquoly(textptr inf, quolyptr n, quolyptr n2, std::int16_t* target, nameptr* flag,
                   bool should_free, bool leave_n);
// *n evaluated at a list of values for the variables from depth target on:
// the chain *n2 (two or more values given), or one value *n2 followed in
// the input by "," value ... up to ")" (left current; error 1), or, *n2
// nil, the entries of the array operand that is current. More values than
// variables from target on: error 193. leave_n: *n is not freed (a copy is
// made); should_free: the values after the first are freed.
void total_eval(textptr inf, quolyptr n, quolyptr n2, nameptr* flag, bool should_free,
                std::int16_t target, bool leave_n);
// The operand that names a stored value (a variable, "<" the previous
// result, an element of a named array, of the system array or of "%[k]"):
// *n := that value itself, not a copy, or nil for an empty cell or an
// absent sparse entry. It still belongs to its owner: never freed or
// changed by the caller, and valid only until the next assignment. The
// token after the operand is current on return. Errors 125 (an adjoined
// variable), 19, 28, 27, 217-221.
void get_quoly(quolyptr n, textptr inf, nameptr* flag);

}  // namespace tavrin
