// The listing of user functions: a function written back as text of the
// language, a heading with its name and parameters, then its statements
// with their comments, conditionals and loops indented by nesting depth,
// ending with ".". At the terminal ("&f", "&F") every line that goes on
// ends with the continuation character; in a file (the saved state) the
// text reads back as the function's definition.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/records.h"
#include "toplevel/scanner.h"

namespace tavrin {

// "&f" / "&F" with x the token after the command: "*" every function in
// full, ";" (or the end of stored text) every heading, "," or "<" and a
// name that one function in full ("%s has not been defined." when there is
// none); any other token is not a function name (reported, and the rest of
// the command up to ";" is skipped). Functions are listed in name order
// (table order beyond the sort table's size). Leaves "@" as the current
// token, so that the command shows no value.
void listfuncs(std::FILE* outf, textptr inf, bool outf_is_tty, const tokentipe& x, nameptr* flag);

// Every function in full, in name order, in the file form of the saved
// state.
void list_functions_to_file(std::FILE* outf);

// Writes the statement list p at indentation ind (statements separated by
// ";" and a line end).
void listform(std::FILE* outf, bool outf_is_tty, formptr p, std::int32_t ind);

}  // namespace tavrin
