// Error reporting, internal-error messages, nested command levels and the
// progress trace.
//
// error(code, token) is the one way to report a user error. It prints the
// report and then either unwinds to the top-level loop (throws TopLevelJump)
// or opens a nested command level and, when the user leaves that level,
// returns to its caller, which goes on with the substitute values its
// contract states.
#pragma once

#include <cstdint>

#include "core/globals.h"
#include "core/records.h"

namespace tavrin {

// Reports user error `x` with the offending token `bad` (nil: the blank
// token). Special codes: 0 panic stop, -1 open a nested command level.
// Returns only when a nested level it opened is left, or for codes 19 and 22
// inside a nested level (they are only warnings there).
// reads: errorpush, statcount, levelcount, extra_line; resets warn_cnt and
// tripval (20) for every code, and for x >= 0 the progress trace,
// original_depth, alg_c_count, g_cutoff (10) and the GCD work counters.
void error(std::int32_t x, const tokentipe* bad);

// Reports user error `x` like error(), but the statement is abandoned even
// where a nested level would let error() return: for faults after which no
// sound value can be formed. When error() returns (the level it opened was
// left with "&_p", or a warning in a nested level), abandon says so in one
// line and goes back to the prompt of the level the statement was typed at
// (levelcount on entry): the top-level loop, or LevelJump to a nested one.
[[noreturn]] void abandon(std::int32_t x, const tokentipe* bad);

// Prints message `x` of the message table with its line end (for 17 the
// line of legal symbols first).
void out_err_mess(std::int32_t x);

// Prints a warning: a line end, " *** Warning.", the text of code `x`.
// Code 0 (a content loop counter turned negative) also sets c_cntcount,
// a_cntcount and d_cntcount to 200001.
void warning(std::int32_t x, const tokentipe* bad);

// Internal error: "*** Tavrin error. " mess and a line end, flushed; with
// push, a nested command level is opened (error(-1)) and the call returns
// when the user leaves it.
void tavrin_error(const char* mess, bool push);
// The same report under its second name (the two are interchangeable).
void tavrintt_error(const char* mess, bool push);

// "*** Tavrin error. " followed by mess, flushed; always returns.
void tavrinerror(const char* mess);

// The computation needs the tables of data file f, which start-up left
// unused: "*** Tavrin error. This needs the data file f, which is " and
// the reason (data_fault_text), the lines of rebuild_data_files_hint, and
// an unwinding to the top level. need_data_file does nothing for a file in
// use.
[[noreturn]] void lacking_data_file(data_file f);
inline void need_data_file(data_file f) {
  if (!usable(f)) lacking_data_file(f);
}
// "    Rebuild the data files: ..." with how, and its line end.
void rebuild_data_files_hint();
// "missing", "damaged" or "not checked (no checksum lists it)".
const char* data_fault_text(data_fault why);

// Ends the computation after the pools have reported an exhausted heap:
// prints the out-of-heap warning and unwinds to the top level.
[[noreturn]] void memory_exhausted();
// The same for an allocation that threw std::bad_alloc, once the main loop
// has caught it (the computation already unwound): the warning and the
// resets of an abandoned computation, without the jump.
void heap_refused();

// Progress lines of long computations (see the trace globals in globals.h).
void dumpitt(const char* messge, std::int32_t n, bool newline, bool multin, bool colon);
void decr_dumpitt(std::int32_t n, bool newline, bool multin);

// Leaves the statement under way like an error without a number: prints
// "not implemented" and its line end and unwinds to the top level. The exit
// of a statement, command or built-in whose work is not there.
[[noreturn]] void not_implemented();

// The body of a nested command level: reads and runs statements until the
// user leaves the level. The command loop installs the real one; until then
// (and in tests) the level returns at once, as if left immediately.
// error() has raised levelcount before it runs and lowers it when it returns.
using command_level_runner = void (*)();
extern command_level_runner run_command_level;

// The three lines printed when a nested level opens while the global
// polynomial table is being changed (globalpoly > 0).
void print_global_table_warning();

// The part of an error report that reads state above core: for codes >= 0
// the file or token context, then (every code) the resets of the context
// state, the function trace and the interrupted stored statement. Runs after
// the message; `unwinds` tells whether the error abandons the computation
// (else a nested level opens). The command loop installs it; the default
// prints nothing.
using error_context_printer = void (*)(std::int32_t code, bool unwinds);
extern error_context_printer print_error_context;

// State that error() resets but that a folder above core owns (the GCD
// cache, operation counters, function traces, ...) is reset through hooks
// the owning folder registers at start-up; core never includes those
// folders. Stages:
//   report: inside error(), for every code (the hook receives it), where
//           error() resets its own counters, before anything is printed;
//   warned: when error() returns after a warning (codes 19 and 22 inside a
//           nested level);
//   unwind: when a computation is abandoned to the top level (error,
//           abandon, memory_exhausted, not_implemented), just before the
//           jump, after error()'s own resets.
// A hook must not throw or report errors. Registering the same hook twice
// for a stage keeps one copy; hooks run in the order registered.
enum class error_stage { report, warned, unwind };
using error_hook = void (*)(std::int32_t code);
void add_error_hook(error_stage stage, error_hook hook);

// Message table: slot x holds the text of error code x (1 .. 377), filled
// from the data file of messages at start; empty slots print the code.
constexpr int erp_slots = 378;
constexpr int erp_width = 66;
extern char erp[erp_slots][erp_width];

}  // namespace tavrin
