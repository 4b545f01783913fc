// Control statements: their stored form, the readers that build it, the
// conditions, loop headers, sums and products, and the runner.
//
// The stored form (records in core/records.h):
//   formnode  one entry of a statement list: `cptr` the statement (never
//             nil), `comms` the comments written before it, `next`.
//   condnode  one statement: `cond` nil for a plain statement, else the
//             token text of the condition or of the loop header (a for
//             header begins with a node ":"); `aloop` set for while and
//             for; `form1` the then-part or loop body; `form2` the
//             else-part (nil when none); `expr` the token text of a plain
//             statement (nil for a control statement).
//   comnode   one comment in braces: `q` its characters, one node each
//             (nil when empty).
//   namenode  one stored token; a token text is a chain along `next`
//             ending in the end marker (end_marker_name). Names beginning
//             with a capital carry hash(name, 71), lower-case names
//             hash(name, 151); `space` is set when a blank followed the
//             token. In a for header "to" and "by" are stored as " to" and
//             " by". Literals in "'" and comments in braces inside a
//             statement are stored one character per node, a line end as
//             0x0D.
// Ownership: a statement list owns its entries, each entry its statement
// and comments, a statement its token texts and bodies. free_form
// (numbers/freelists.h) gives all of it back. The system function's list
// `sys_func` owns the last statement typed where a value stood ("<F" runs
// it again); a list replaced while it runs is freed when the run ends.
#pragma once

#include <cstdint>
#include <cstring>

#include "core/globals.h"
#include "core/records.h"
#include "toplevel/scanner.h"
#include "lang/nesting.h"

namespace tavrin {

// Whether the current token is the word w.
inline bool tok_is(const char* w) { return std::strcmp(token.name, w) == 0; }

// ---- Reading statements --------------------------------------------------------------
extern bool in_sys_func;         // a system function is being read
extern nameptr last_attached;    // the last token text built
extern condexptr last_good_one;  // the statement before a run of ";" at the terminal
extern comptr last_comm;         // its comments

// One statement beginning at the current token into *q (its comments
// before it into *comm); endflag is the word that ends the enclosing list.
// Errors 319, 214 and those of right_side.
void basic_form(condexptr* q, comptr* comm, const char* endflag, textptr inf, nameptr* flag,
                bool* once_more, tokentipe* realtok);
// Statements separated by ";" up to the word `stop` ("od", "elfi*" for
// "else" or "fi", "fi", ".", or a closing bracket) into the list *q (at
// least one entry). The end word stays current. Errors 35, 38, 132; the end
// of the input before `stop` is error 103 with the word `opener` (what was
// left open: "while", "if", a function's name, ...).
void right_side(formptr* q, const char* stop, textptr inf, nameptr* flag, bool* once_more,
                tokentipe* realtok, const char* opener);
// One statement beginning at the current token, ending at the word endflag,
// into a new one-entry list *q (set before the statement is read, so the
// caller frees it on an error too). A ";" typed at the terminal counts
// towards the run of right_side (the first recorded in last_good_one and
// last_comm, the 15th is error 132); any other ending resets semicount.
void spec_right_side(formptr* q, textptr inf, nameptr* flag, const char* endflag);

// ---- Conditions ----------------------------------------------------------------------
// The condition whose first token is current; every operand is evaluated.
// The current token must end as "]" or the end marker (104).
bool bool_expre(textptr inf, nameptr* p);
// Test hook: counts every relation evaluated.
extern std::int64_t conditions_evaluated;

// ---- Loops -------------------------------------------------------------------------
// Reads a loop header whose variable is the current token; the variable
// holds init afterwards. *spcol is the sorted row list of a sparse-column
// loop (nil otherwise), *np the cursor after its first entry.
void set_up_for_loop(textptr inf, nameptr* p, varptr* r, std::int32_t* init, std::int32_t* stop,
                     std::int32_t* increm, numptr* spcol, numptr** np);
// Gives a chain of limbs (a sparse-column list) back; *chain := nil.
void free_limb_chain(numptr* chain);
// A loop's sparse-column list, given back on every exit.
struct ColumnList {
  numptr head = nullptr;
  ColumnList() = default;
  ~ColumnList() { free_limb_chain(&head); }
  ColumnList(const ColumnList&) = delete;
  ColumnList& operator=(const ColumnList&) = delete;
};
// The loop variable's value := i (error 47 when |i| > 268435455).
void adjust(varptr r, std::int32_t i);
// One step of a counting loop run with a non-negative step (its bounds
// multiplied by sign = +-1): the next counter, init + step, or the next row
// of a sparse-column loop's list (stop + 1 past its end; *np advanced). The
// variable `name`, found again (the body may have removed it) or made anew,
// := next * sign. Returns next, formed in 64 bits.
std::int32_t next_loop_round(const tokentipe& name, std::int32_t init, std::int32_t step,
                             std::int32_t stop, numptr** np, std::int32_t sign);
// A counting loop as the runners of loops, sums and products use it: its
// header read, with the bounds and step multiplied by sign = +-1 so that
// the step is never negative, and its sparse-column list given back on
// every exit.
struct CountingLoop {
  tokentipe name{};  // the loop variable
  std::int32_t init = 0, stop = 0, step = 0, sign = 1;
  numptr* np = nullptr;  // the next listed row of a sparse-column loop
  ColumnList columns;
  // Reads the header whose variable is the current token (set_up_for_loop).
  void read_header(textptr inf, nameptr* p);
  // The next round (next_loop_round): false when the loop is past its end.
  bool next_round() {
    init = next_loop_round(name, init, step, stop, &np, sign);
    return init <= stop;
  }
};
// The floating-point twin of insert_var for an integer.
void iinsert(tokentipe* x, std::int32_t num, varptr* q);

// ---- Sums and products ---------------------------------------------------------------
// After the alias of a sum or product: *p := its token list, "<" first. At
// the terminal the header and body are read into a new list, ended by an
// end marker after the closing bracket, which stays current (the caller
// frees the list); in stored text *p is the node after the current one.
// Errors 144 (no "<"), 145 (neither "[", "(" nor "<" after ">"), 81 (the
// statement ends in the header), 274 (it ends in the body).
void obtain_sum(textptr inf, nameptr* flag, nameptr* p);
// "<" current: the headers and body of a sum (is_sum) or product; the
// closing bracket is left current and returned in *mate.
void sum_mult_up(bool is_sum, textptr inf, quolyptr n, nameptr* p, bool parse_only,
                 long double* sum, char* mate);

// ---- Running -----------------------------------------------------------------------
// Runs one statement; its value in *n.
void getval(textptr inf, condexptr p, quolyptr n);
// Runs the statements of the list q in turn, each value into *n (the one
// before freed), polling for an interrupt before each and stopping after a
// statement that leaves exit_flag, leave_flag or cycle_flag set.
void eval_form(textptr inf, formptr q, quolyptr n);

// ---- System functions ----------------------------------------------------------------
// The look-ahead token after a "for", "if" or "while" met as a factor, and
// the flag that tells the statement reader to take it.
extern tokentipe sys_func_token;
// Runs the "for", "if" or "while" statement whose keyword is the current
// token (doing_sys_func set); its value in *n.
// The statement becomes the system function sys_func, replacing the last.
void call_sys_func(textptr inf, quolyptr n, nameptr* flag);
// "<F": runs the system function sys_func (not nil) again; its value in *n.
void call_last_sys_func(textptr inf, quolyptr n);

}  // namespace tavrin
