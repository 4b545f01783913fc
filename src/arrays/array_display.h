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

// The compact form of a dense block of the store that holds numbers only:
// "[name] := [[ " and the entries row by row (an undefined one as "0"),
// rows continued under the first, closed by "   ]];" ("  ]];" for one
// column). The block starts at cell location of an array of total_rows rows.
void arrdis(std::FILE* outf, const tokentipe* x, std::int32_t location, std::int32_t rows,
            std::int32_t cols, std::int32_t total_rows);

// The declaration "Array name[rows,cols];" ("[rows]" for a linear array,
// " Sparse;" for a sparse one) with its line end.
void arrdescribe(std::FILE* outf, arrptr p);

}  // namespace tavrin
