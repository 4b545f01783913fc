// Command files: "&r", "&R" and "&(R = 'name')" read a file of statements
// and run them as if typed, one statement a line, without displaying their
// values. One command file is open at a time (inpuf, named input_file_name);
// it stays open between commands, so "&r" continues after the "&x" that
// stopped it, or, when the file was read to its end, reads it again from
// its start. "&R" and the valued form always take a new name; the name "@"
// closes the file. Saved states are such files.
#pragma once

#include <string>

#include "core/records.h"
#include "toplevel/platform.h"
#include "toplevel/scanner.h"

namespace tavrin {

// Runs the file command whose letter is the current token ("R" names a file
// anew, any other letter continues the open one). newtok: the file name, or
// " " to ask for it at the terminal (the command's ending token is then read
// first and *quit set: the caller must not read another; `token` holds that
// ending on return). *n: the value of the last statement run, 0 when none.
// Errors: 248 (empty name), 149 (the open output file, or the command file
// being read), 374 (no such file, after a warning), and whatever the file's
// statements raise (the file context is shown; "&b" closes the file).
void load(textptr inf, quolyptr n, nameptr* flag, const std::string& newtok, bool* quit);

// Runs the statements of `in`, one a line (the rest of a line after a
// statement's ending is skipped, so ";;" comment lines are empty
// statements), until its end or "&x" (done_load); a command_file also ends
// when a statement of its own closes it. Nothing is displayed; *n holds the
// last statement's value. Serves the command files and the start-up file.
// reads: tt_flag (the caller sets file mode); changes: done_load, leftover
void run_file_statements(TextInput* in, quolyptr n, bool command_file);

}  // namespace tavrin
