// The command loops: the top-level loop, the statements of the start-up
// file, and the nested command levels that error() opens (an interrupt, an
// internal error, "&_P", or an error with "&e" on). Each runs the same
// steps for a statement: read its first token (end of input at the start of
// a statement quits as "&q" does), reset the operation counters, time it,
// dispatch it (parse), check its ending, and, at the terminal, show its
// value and prompt again.
#pragma once

#include <cstdint>

#include "toplevel/platform.h"

namespace tavrin {

// The operation counters of the GCD and content code start afresh with each
// statement, at the terminal and in command files: g_cutoff 10,
// original_depth 1, uninit and the work counters 0.
void reset_operation_counters();

// A statement ends with ";", the end marker of stored text, "@" or ":";
// anything else is error 129 (when the error returns, the statement counts
// as ended). reads: token
void check_statement_end();

// Installs the loops into the hooks of the start-up and of error(): the
// top-level loop (run_command_loop), the start-up file's statements
// (run_startup_statements), the nested level (run_command_level), the
// context of error reports, the resets of error() above core, and the
// interrupt poll of the line reader. Safe to call more than once.
void install_command_loop();

// The top-level loop after the top of the loop: statements for ever; only
// an error (TopLevelJump) or a quit (QuitJump) leaves it.
void top_level_loop();

// The statements of the start-up file `in`, read through a stream variable
// that designates it, until its end; values are not shown. An error
// abandons the rest of the file and returns.
void run_startup_file(TextInput& in);

// The body of a nested command level (levelcount already raised): its own
// loop with the level number before the prompt, until "&_p" resumes the
// interrupted computation with the state it had (tt_flag, the arithmetic
// mode, the replay positions, the current token, integerflag,
// doing_sys_func, func_def_count, done_load)
// and the level's time discounted from the statement below.
void command_level();

// The ground ring the user chose, put back at the top of the loop and after
// every error that unwinds (not the floating mode of the old design): the
// mode flags and, in modular arithmetic, the modulus. The change of ground
// ring records it with remember_user_ring(); the start-up records rational
// arithmetic.
void remember_user_ring();
void restore_user_ring();

// Writes the prompt for the next statement at level `level` (its number
// first when above 1) and takes the character after the statement that
// ended when it is white space (the line end); nothing else typed is
// dropped.
void prompt_again(std::int32_t level);

}  // namespace tavrin
