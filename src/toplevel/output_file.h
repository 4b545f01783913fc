// The output file: opened by "&S" and "&(S = 'name')", closed by the name
// "@", written by the output statement ("!(&o, ...)") and the saved state.
// One file at a time; opening another closes the open one first.
#pragma once

#include <cstdio>
#include <string>

#include "core/records.h"
#include "toplevel/scanner.h"

namespace tavrin {

// The open output file, nil when none is open (its name: output_file_name
// in toplevel/state.h, empty then).
extern std::FILE* outpuf;

// Opens the output file newname, or closes the open one when newname is
// "@". A name of one blank is asked for at the terminal (the current
// input's next token, which ends the command, is read first): the answer
// "@" cancels, a quoted text, an array of character codes or a plain token
// is the name. Errors: 248 (empty name), 149 (the name of the command file
// being read), 33 (the end of stored text inside a quoted name), 374 (the
// file cannot be created; no output file is left open), 226 (writing or
// closing the file that was open failed).
void save_output_file(textptr inf, nameptr* flag, const std::string& newname);

// Flushes and closes the open output file, if any; false when a write,
// the flush or the close failed (the file is closed either way).
bool close_output_file();

// Closes the output file as the program quits; a failure is reported in a
// line naming the file.
void close_output_file_at_quit();

// Flushes the open output file after a statement wrote to it. When a write
// has failed (a full disk, a lost device), the file is closed, a line names
// it with the cause, and user error 226 follows: nothing written to it
// since it was opened can be trusted.
void check_output_file();

}  // namespace tavrin
