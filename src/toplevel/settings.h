// The valued settings: "&(" letter "=" value ")". set_switch reads the
// setting's name (after "_" one more token, renamed: t 5, s 6, r 3, l 2, d 4,
// L 7), then "=" (for "J" also ">", the bottom of the variable list), and
// hands over to the setting. "J" adjoins or cancels a polynomial variable
// (poly_vars.h); the other settings are still to come.
#pragma once

#include "core/records.h"
#include "toplevel/scanner.h"

namespace tavrin {

// Called with "(" current, after "&". On return the current token is the
// command's closing ")" or the last token the setting read; *n holds the
// setting's value (0 after "J"). colflag and callscan: flags of the caller
// that some settings clear ("J" touches neither). Error 4 without "=".
void set_switch(textptr inf, quolyptr n, nameptr* flag, bool* colflag, bool* callscan);

}  // namespace tavrin
