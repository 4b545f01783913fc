// Array operands named in brackets (a whole array, a block of it given by
// row and column ranges, the system array "<", a numbered array "%[k]"),
// and the "?" statement that fills an array or a block element by element
// from the terminal or loads a typed character string into a new array.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "numbers/work_arrays.h"
#include "toplevel/language_services.h"
#include "toplevel/scanner.h"

namespace tavrin {

// The operand after "[" up to and including its closing "]". *q the record
// (nil for a plain name that is no array: rows and cols 0, no error); rows
// and total_rows the array's rows; cols the selection's columns; start -1
// for a whole array, else the block's first cell (dense: its global index;
// sparse: the offset from 0); firstrow, firstcol the block's first
// subscripts; target_rows the block's rows (0 for a whole array); *oldtok
// the naming token. systok allows "<". Errors 24, 42, 55-59, 83, 125, 175,
// 176, 217-221.
void left_side(textptr inf, arrptr* q, std::int32_t* rows, std::int32_t* cols, std::int32_t* start,
               std::int32_t* total_rows, std::int32_t* firstrow, std::int32_t* firstcol,
               std::int32_t* target_rows, tokentipe* oldtok, nameptr* flag, bool systok);

// The ranges of the existing array q, its "[" current, through their "]":
// *rows the block's rows, *cols its columns, *total_rows q's rows, *start
// as in left_side. Errors 56-59.
void subarray(textptr inf, arrptr q, std::int32_t* start, std::int32_t* rows, std::int32_t* cols,
              std::int32_t* firstrow, std::int32_t* firstcol, std::int32_t* total_rows,
              nameptr* flag);

// whole_arrinsert and element_input (the "?" statement on arrays) are
// declared in toplevel/language_services.h. whole_arrinsert: errors 24,
// 28, 107, 176, 242, 334 and those of the input; element_input: 28, 27,
// 242.

// Prompts for element (r, c) of the array q named x and stores the typed
// sum in the cell qp; "@" leaves it. n: scratch.
void arrinsert(const char* x, quolyptr qp, std::int32_t r, std::int32_t c, arrptr q, quolyptr n,
               bool colflag);

// "'" current: the characters up to the next "'" (read one at a time) as a
// one-row matrix of character codes in arr (owned values), described by
// *arf; the token after the closing quote is current. Errors 71 (more than
// 999,999 characters), 110 (none).
void quoted_text_row(textptr inf, nameptr* flag, workptr arr, arr_descr* arf);

// "[" current: per-variable cut-offs from the cells of the whole dense array
// named next, in storage order: the k-th number cell of at least 6 sets the
// k-th adjoined variable's cut-off (from the top); the first also sets
// poly_cutoff (40 when below 6). Empty cells count but set nothing; a cell
// that is not a number is error 260 (taken as empty when resumed); no number
// at all gives the empty-array warning. Errors as get_from_array.
void get_cut_from_array(textptr inf, nameptr* flag);

}  // namespace tavrin
