// Statements run in-process through the statement dispatcher, one a line,
// as the command loop runs them: for tests of statements whose answer is a
// value, a printed text or a reported error.
#pragma once

#include <cstdint>
#include <string>

#include "core/records.h"

namespace tavrin::test {

struct StatementOptions {
  // Input reads the same text, so that a command which asks for a value
  // takes its answer from the next line.
  bool as_input = false;
  // After each statement the rest of its line is dropped, not only the line end.
  bool drop_line = false;
  // Each value is freed with limbs (a command's 0 carries a limb in any ring).
  bool free_with_limbs = false;
};

struct StatementRun {
  std::string printed;   // what the statements printed, in order
  std::string last;      // the value of the last statement (value_text; "nil": it left none)
  std::string latest;    // the value of the last statement that left one ("" when none did)
  bool unwound = false;  // a statement reported an error; the statements after it did not run
  std::string failed;    // what that statement printed
};

// Runs the statements of text, one a line, up to the end or the first that
// unwinds to the top level. Every value formed is freed; the scanner's
// push-back is cleared first.
StatementRun run_statements(const std::string& text, const StatementOptions& options = {});

// Parses the first statement of text as the command loop does, the
// scanner's push-back cleared first: what it printed. *value: its value
// (the caller frees it); *unwound: whether it unwound to the top level.
std::string parse_statement(const std::string& text, quoly* value, bool* unwound);

// The user error that out reports after "Inappropriate", by the lowest code
// whose message line it holds; 0 when it reports none.
std::int32_t reported_error(const std::string& out);

// Makes the interpreter ready to run statements in-process: the data
// tables read, the character sets and the token ring built, the language's
// and the arrays' routines installed.
void install_interpreter();

// Removes every array and empties the dense store (its pages stay).
void clear_arrays();

// The variable and the array named name; nil when there is none.
varptr variable_named(const std::string& name);
arrptr array_named(const std::string& name);

// Frees every scalar variable.
void clear_scalar_variables();

// Frees every scalar variable and cancels every polynomial variable, so
// that the next test starts with none.
void clear_variables_and_polynomial_names();

// The value of the last statement of text (value_text), or "error N" when a
// statement unwound with user error N (0: an internal error).
std::string last_value_or_error(const std::string& text);

// Back to the rationals with no variables (relations made modulo a prime
// forbid that return until their flag is cleared).
void leave_to_the_rationals();

}  // namespace tavrin::test
