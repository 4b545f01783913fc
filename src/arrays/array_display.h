// Writing arrays: the bracketed matrix form at the terminal, one assignment
// per entry, the one-entry-a-line form of files, the sparse row lists, and
// the declaration of an array. What goes to a file is statements that
// rebuild the array.
#pragma once

#include <cstdio>

#include "core/records.h"

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

// How arrdisplay writes: to a terminal or a file, the layout and where dense
// entries come from.
struct ArrayDisplayFlags {
  bool outf_is_tty = false;  // outf is the terminal
  bool pretty = false;       // one entry a line; else the bracketed matrix form
                             // (terminal) or one assignment per entry (file)
  bool charprint = false;    // entries written as the characters of their codes
                             // (error 121 for one that is not a number)
  bool from_store = true;    // dense entries from the store; else from stash
  bool extras = true;        // brackets, labels and prefixes
};

// Writes the rows x cols block of an array. x: the name written (q given:
// q's name is copied into it; q nil: the newest array named x is written
// whole, error 28 when there is none). The block starts at cell `location`
// of an array of total_rows rows (a sparse array: row location % total_rows,
// column location / total_rows); firstrow, firstcol: the indices written for
// its first entry. desired: the column width of the matrix form. reads:
// addresser, prompt, levelcount, uglyprint, monomial_list, continuation,
// polynames
void arrdisplay(std::FILE* outf, tokentipe* x, arrptr q, std::int32_t location, std::int32_t rows,
                std::int32_t cols, std::int32_t firstrow, std::int32_t firstcol,
                std::int32_t total_rows, std::int32_t desired, const ArrayDisplayFlags& how,
                workptr stash);

}  // namespace tavrin
