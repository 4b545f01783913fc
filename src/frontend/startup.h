// Start-up of the program up to the first prompt: pools, stack limit, data
// directory, banner, the data files, the date, the language defaults, the
// start-up file and the start-up time; and the top of the command loop.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "toplevel/platform.h"

namespace tavrin {

// Opens the five node pools, in the order polynodes, quolynodes, numnodes,
// numbers, colms, builds the constant numbers and registers the error
// resets of the folders above core. Safe to call once.
void open_pools();

// Blocks freed to the heap stay with the process as scratch for the next
// ones: the allocator takes blocks of up to heap_block_limit bytes from the
// heap and returns its free top to the system only beyond kept_heap_top
// bytes (where the allocator allows setting them; nothing elsewhere).
constexpr int heap_block_limit = 32 << 20;
constexpr int kept_heap_top = 64 << 20;
void keep_freed_heap();

// Raises the soft stack limit to at least 64 MiB, room for the deepest
// nesting the interpreter allows (reports a failure on standard error and
// goes on).
void raise_stack_limit();

// The language defaults of the start-up: mincutoff, levelcount, the
// continuation character, noisy, the display and array settings, the
// statement values (quol_num_0), the prompt ">", denom (Set_prods_for_char),
// command_int, statements from the terminal (leave_replayed_text), leftover,
// finish, initial_memory := memavail()/4, and rational arithmetic.
void set_language_defaults();

// The start-up file "tvrstart.txt", from the current directory or else from
// includepath: its first item is the memory size in megabytes; a
// non-negative one prints " Amount of RAM you specified (mbytes): %d.\n" and
// sets initial_memory := megabytes * 225000 and virtual_cut :=
// initial_memory / 5. Without a file ("No tvrstart.txt file.\n" on standard
// error), or when the first item is not a non-negative number, the budget is
// that of 100 MB and no line is printed. The statements after the first
// item are handed to run_startup_statements. tt_flag (false meanwhile),
// leftover and integerflag are restored afterwards.
void load_startup(const std::string& includepath);

// Runs the statements of the start-up file `in` until its end: the scanner
// reads them through a FILEPtr that designates `in` (tt_flag is false, so
// line ends are white space). Installed by the command loop; the default
// reads nothing.
using startup_statement_runner = void (*)(TextInput& in);
extern startup_statement_runner run_startup_statements;

// The timing line of elapsed wall-clock seconds `real` and processor ticks
// `ticks` (microseconds), written to `out`:
//   " Elapsed real time: h:mm:ss.  CPU time: m:ss.fff" (h > 0),
//   " Elapsed real time: mm:ss.  CPU time: m:ss.fff" (minutes > 0),
//   " Elapsed real time: ss.  CPU time: ss.fff" (seconds > 4),
//   " Elapsed CPU time: ss.fff" otherwise (fields of width 2 as "%2lu",
// fff the milliseconds of the processor time).
void write_timing_line(std::FILE* out, std::uint32_t real, std::uint32_t ticks);

// mytime[row] := the elapsed time since the readings it holds, less
// time_off[row]; time_off[row] := 0. Row 0 is the top level.
void close_timing(int row = 0);

// The start-up sequence, steps before the first prompt: the first clock
// readings, the stack limit, the pools, the banner, the data files
// (initialize), the date, the language defaults, the start-up file, the
// total memory budget and the start-up time. Returns the data directory.
std::string start_up(const char* argv0);

// The top of the command loop, reached after start-up and after every
// error that unwinds to the top level: the ground ring the user chose is
// put back, a line end, leftover emptied and the ring of recent tokens
// restarted, then the prompt (unless promptsize is 0) and the rest of a
// partly read input line dropped. Nothing typed after the prompt is
// dropped.
void top_of_loop();

// The command loop after the top of the loop (install_command_loop of
// command_loop.h installs the statement loop); the default reads standard
// input to its end and quits as "&q" does.
using command_loop_body = void (*)();
extern command_loop_body run_command_loop;

// The program: the interrupt handler and the command loops installed,
// start-up, the top-level loop; an error that unwinds (TopLevelJump) frees
// the statement's value and returns to the top of the loop; "&q" (QuitJump)
// writes "\n", " bye\n" and ends it with status 0.
int tavrin_main(const char* argv0);

}  // namespace tavrin
