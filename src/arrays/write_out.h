// The output statement "!" (write_out: toplevel/language_services.h):
// values, quoted texts and array blocks written side by side, with field
// widths and character codes, to the terminal or to the output file.
#pragma once

#include "core/records.h"
#include "toplevel/scanner.h"

namespace tavrin {

// *n := the value stored for the operand at the current token (a variable,
// "<" the previous result, an array element), shared with its owner, or
// nil; the token after the operand is current on return. Owned by the
// expression readers; a stand-in answers until they provide it.
void get_quoly(quolyptr n, textptr inf, nameptr* flag);

}  // namespace tavrin
