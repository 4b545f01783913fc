// The determinant of a small sparse matrix by Laplace expansion, always
// along the row or column with the fewest entries, with the values of
// recurring minors kept in the cache of matrix/minors_cache.h. Two forms:
// over the values of the current ground ring, and over long doubles (the
// floating numbers' flote).
#pragma once

#include <cstdint>

#include "core/records.h"
#include "matrix/minors_cache.h"

namespace tavrin {

// Expansions deeper than this are refused with error 216 (the recursion
// keeps one frame per level).
constexpr std::int32_t max_minors_depth = 2000;

// *n := the determinant of the m x m matrix *spar. *ar_free false: the
// matrix is borrowed and a copy is expanded (freed at the end; *spar := nil,
// *ar_free := true); true: the caller's temporary is expanded in place and
// comes back with its rows and columns restored but its columns packed
// (only fit for freeing). m >= 32767: error 310; an expansion already
// running: error 309; after either report n is unchanged.
// reads: verbose, windy, mode flags; writes: the cache globals, sp_total_cnt,
// sp_lowcnt, dumpitt_level
void sparse_minors_det(quolyptr n, sparseptr* spar, std::int32_t m, bool* ar_free);
void int_sparse_minors_det(long double* n, sparseptr* spar, std::int32_t m, bool* ar_free);

// The recursive steps: *n := the determinant of the current minor of side
// row (total_row: the side of the whole matrix).
void do_minors_det(sparseptr spar, quolyptr n, std::int32_t row, std::int32_t total_row,
                   minor_descr* md);
void int_do_minors_det(sparseptr spar, long double* n, std::int32_t row, std::int32_t total_row,
                       minor_descr* md);

// The set-ups: the copy of a borrowed matrix, the statistics, the packed
// columns, the table, the descriptor and the cache globals.
void initialize_1(sparseptr* spar, bool* ar_free, bool* new_storage, std::int32_t row,
                  minor_descr* md);
void initialize_2(sparseptr* spar, std::int32_t row, bool* ar_free, bool* new_storage,
                  minor_descr* md);

}  // namespace tavrin
