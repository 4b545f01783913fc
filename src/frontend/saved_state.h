// The saved state: "&s" writes the settings, the adjoined variables with
// their relations, the modulus, the user functions, the scalar variables
// and the arrays to the open output file as statements that "&r" reads
// back; with no output file open it asks for a name and opens one, writing
// nothing yet. The file stays open, so a second "&s" appends a second state
// behind the first one's closing "&x;".
#pragma once

#include <cstdio>

#include "core/records.h"
#include "toplevel/scanner.h"

namespace tavrin {

// "&s" (the current token): writes the state to the open output file, or,
// when none is open, opens one as "&S" does (asking for its name). With
// ugly printing on the file is written anyway and the terminal is warned
// that it cannot be read back. True when the statement's ending token was
// read (the name was asked for): the caller must not read another.
bool save(textptr inf, nameptr* flag);

// Writes the whole state to outf (see save).
void write_state(std::FILE* outf);

}  // namespace tavrin
