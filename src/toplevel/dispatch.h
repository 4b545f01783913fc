// The statement dispatcher: runs one statement whose first token has been
// read into `token`, choosing by the token's first character, and leaves its
// value in a cell. The common entry of the command loops, the start-up
// file, command files and stored statements.
#pragma once

#include "core/mode_guard.h"
#include "core/no_copy.h"
#include "core/records.h"
#include "toplevel/builtins.h"
#include "toplevel/scanner.h"

namespace tavrin {

// Runs the statement whose first token is `token`, reading the rest from
// the stream *inf or the stored text at *flag (not nil). *n: the statement's
// cell (nil on entry at the top level): a statement that forms a value
// leaves it there, owned by the caller; the empty statement leaves it as it
// was. On return `token` is the token that ended the statement (normally
// ";", ":", "@" or the end marker of stored text).
void parse(textptr inf, quolyptr n, nameptr* flag);

// Whether the running statement has begun reading an operand: the factor
// reader sets it at each factor, the array statement reader at its start.
// A factor begun once it is set runs as an operand (lang's
// statement_as_operand). Every statement starts with it clear (StatementStart).
extern bool operand_begun;

// The statements under way, counted by StatementStart: 0 while the command
// loop of the current level waits for or reads the first token of its next
// statement. A nested command level counts its own statements from 0 and
// gives the count back when it is left.
extern std::int32_t statements_under_way;

// The nested command levels now open that were opened while a statement was
// under way (by an error or an interrupt inside a computation, as against an
// interrupt at an idle prompt): a statement is suspended below each of them.
// Kept by the nested command level; read by refuse_ring_change (lang).
extern std::int32_t levels_above_statements;

// Clears operand_begun for a statement that starts, counts it among the
// statements under way, and gives the statement around it its own
// operand_begun back when it ends.
class StatementStart {
 public:
  StatementStart()
      : fresh_(operand_begun, false), running_(statements_under_way, statements_under_way + 1) {}

 private:
  ScopedValue<bool> fresh_;
  ScopedValue<std::int32_t> running_;
};

// Whether the current token can end the statement being run: ";", ":",
// "@" or the end marker of stored text, or ")" while a statement in
// "&_m(...)" runs. Statements that store a result check it before they
// store, so that one that cannot end stores nothing.
bool at_statement_end();

// Marks, for its lifetime, a statement in "&_m(...)" (ended by ")").
class BracketedStatement : NoCopy {
 public:
  BracketedStatement();
  ~BracketedStatement();
};

// The first character by which a statement is dispatched: the token's
// first character, or the code of the array operation its built-in stands
// for ("Diag" counts as '~' and "Trans" as '"', array_code).
char statement_character(const tokentipe& t);

// The reader of array statements and operations, chosen by its code
// (ArrayCode, toplevel/builtins.h): the array statements, the matrix
// words, the determinants and a few built-ins. It is matlang's arr_parse,
// above every folder that calls it (this dispatcher, the statement runner
// and the built-in bodies), so its owner registers it once at start-up.
using array_statement_reader = void (*)(ArrayCode code, textptr inf, quolyptr n, nameptr* flag);
void register_array_statements(array_statement_reader reader);
bool array_statements_registered();
// Runs the registered reader; before start-up registered one, nothing is
// read and the statement is abandoned as not implemented.
void run_array_statement(ArrayCode code, textptr inf, quolyptr n, nameptr* flag);

// *n := the value 0 (word and long double zero, and one zero limb outside
// word mode; no successor); the old value of *n is freed.
void set_zero_value(quolyptr n);

}  // namespace tavrin
