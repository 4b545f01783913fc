// The names of files the user gives the "&S" and "&R" commands: the answer
// typed at the terminal when the command asks for one, and the error for a
// file that cannot be opened.
#pragma once

#include <string>

namespace tavrin {

// The file name typed at the terminal in answer to a prompt, its first
// token already read into `token`: a quoted text, an array of character
// codes in brackets, or the token itself (a line end is echoed then). A
// quoted name runs to the closing quote (two quotes stand for one); a line
// end gives the character 13, the continuation character a blank; a name
// that would pass 255 characters stops before the piece that passes it,
// with a warning. With stop_at_end_of_input the name also ends where the
// terminal's input does (a quote left open at the end of piped input). The
// pending character is dropped afterwards.
// Errors: 33 (the end of stored text inside a quoted name), 103 (the end of
// input inside a quoted name, without stop_at_end_of_input).
// reads and changes: token, leftover; reads: Input
std::string typed_file_name(bool stop_at_end_of_input);

// User error 374 with the file's name as the offending token.
void report_cannot_open(const std::string& name);

}  // namespace tavrin
