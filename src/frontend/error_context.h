// The parts of error reports that read the top level's state: where the
// error happened (the lines of the file being read, or the recent tokens
// typed), the trace of user-function evaluations, the interrupted stored
// statement; and the resets of the top level's state that an error makes.
// Installed into error() by install_command_loop (command_loop.h).
#pragma once

#include <cstdint>

namespace tavrin {

// For codes >= 0: "*** Stopped right before this:" and the next three lines
// of the file being read (closing a command file when close_inpuf is on and
// the error unwinds), or, for codes > 0 at the terminal, "*** Error occurred
// at this point:" and the recent tokens. Then (every code) the loop flags,
// matrix_eval, syst_dump and the token ring are reset, the function trace is
// printed (and, when the error unwinds, the evaluations are ended) and an
// interrupted stored statement is shown.
void print_context(std::int32_t code, bool unwinds);

// The function trace: "*** The most recent function evaluations were:",
// the names of the statcount most recent evaluations (at most 500), newest
// first, 20 to a line, at most 10 of a run of one name followed by
// " ... N more with this name. ". With `unwinds` each one is also ended
// (remove_args) and lastf moves back past it.
void print_function_trace(bool unwinds);

// Leaves stored text for the terminal: the replay positions nil, tt_flag
// true, integerflag, doing_sys_func and func_def_count cleared.
void leave_replayed_text();

// Resets of error(): on every report (a modulus put aside by a nested level
// is restored on a panic stop; want_sparse cleared), after a warning in a
// nested level (the token ring restarts), and before unwinding (the replay
// state, the duplicate array, the work-array pool, the per-level timing).
void reset_on_report(std::int32_t code);
void reset_on_warning(std::int32_t code);
void reset_on_unwind(std::int32_t code);

}  // namespace tavrin
