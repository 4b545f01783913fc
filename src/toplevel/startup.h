// Start-up of the program: pools, stack limit, data directory and banner.
#pragma once

#include <string>

namespace tavrin {

// Opens the five node pools, in the order polynodes, quolynodes, numnodes,
// numbers, colms, builds the constant numbers and registers the error
// resets of the folders above core. Safe to call once.
void open_pools();

// Raises the soft stack limit to at least 1 MiB (reports a failure on
// standard error and goes on).
void raise_stack_limit();

// The start-up sequence: stack limit, pools, banner, then the data files of
// the data directory (initialize); returns the data directory.
std::string start_up(const char* argv0);

// The program: start-up, then (for now) exit status 0.
int tavrin_main(const char* argv0);

}  // namespace tavrin
