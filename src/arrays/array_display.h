// Writing arrays: the bracketed matrix form at the terminal, one assignment
// per entry, the one-entry-a-line form of files, the sparse row lists, and
// the declaration of an array. What goes to a file is statements that
// rebuild the array. arrdisplay itself is declared in
// toplevel/language_services.h, since the command loop shows the system
// array with it.
#pragma once

#include <cstdio>

#include "core/records.h"
#include "toplevel/language_services.h"

namespace tavrin {

// The sparse array p whole, its rows as "[row, [col, value] ... ]".
// istty: the terminal form (prompt in the head, continuation marks).
void sparse_display(std::FILE* outf, arrptr p, bool istty);

// One statement "name[r, c] := value;" per non-zero entry of the sparse
// array p, row by row, then " \n".
void better_sparse_display(std::FILE* outf, arrptr p);

// The declaration "Array name[rows,cols];" ("[rows]" for a linear array,
// " Sparse;" for a sparse one) with its line end.
void arrdescribe(std::FILE* outf, arrptr p);

}  // namespace tavrin
