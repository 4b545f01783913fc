// The pool of large dense work arrays (taken by the factorisation, the
// array language and the matrix code), and the small dense helpers the
// matrix products need: releasing a work array's values and writing an
// identity.
//
// A work array (core/records.h) holds an r-row, c-column matrix column by
// column: entry (i, j), counted from 1, is cell (j-1)*r + (i-1). A cell holds
// nil or a value; who owns the values is said by the caller's flags (arr_free
// and friends), never by the array. An arr_descr describes the matrix: its
// entry count `arrsize` (a big integer, rows * cols) and `rows`; the column
// count is arrsize div rows.
//
// Pool: `workhead` holds 20 arrays addressed by index 1..20, each allocated
// the first time its slot is handed out and kept until the program ends.
// `first_available` is the index the next request gets (1 at start-up);
// the pool is a stack, so arrays go back in the reverse order of taking.
// Arrays are handed out with whatever their cells held; users set every cell
// they read.
#pragma once

#include <cstdint>
#include <cstring>

#include "core/records.h"

namespace tavrin {

constexpr std::int32_t work_pool_size = 20;
// Slots 1..20 (slot 0 unused).
extern workptr workhead[work_pool_size + 1];
extern std::int32_t first_available;

struct arr_descr {
  number arrsize;  // rows * cols as a big integer (limbs owned here)
  std::int32_t rows;
};

// A token for what is no stored name (address -1), as work arrays and error
// reports take one; name: at most 10 characters.
inline tokentipe unstored_token(const char* name) {
  tokentipe t{};
  std::strncpy(t.name, name, sizeof t.name - 1);
  t.address = -1;
  return t;
}

// *p := the pool index of a work array taken from the pool. All 20 taken:
// user error 88 with token x; when the report returns, *p := 0 and nothing
// is taken. An index outside 1..20 after taking reports "first available."
// (internal error, no nested level).
// writes: first_available, workhead
void enew_worknode(std::int32_t* p, const tokentipe* x);

// Gives the most recently taken work array back (first_available - 1). The
// cells' values are the user's to free first.
void free_work();

// Takes a work array for a scope and gives it back on every exit, an
// unwinding error included. taken() is false when the pool was exhausted and
// the error report returned: the caller then gives up its request.
class WorkArrayGuard {
 public:
  explicit WorkArrayGuard(const tokentipe* x) { enew_worknode(&index_, x); }
  // Gives back this array and every array taken after it. An error that
  // unwinds to the top level has already reset the pool to 1 before the
  // guards run, so the index never goes below the guard's own.
  ~WorkArrayGuard() {
    if (index_ != 0 && first_available > index_) first_available = index_;
  }
  WorkArrayGuard(const WorkArrayGuard&) = delete;
  WorkArrayGuard& operator=(const WorkArrayGuard&) = delete;
  bool taken() const { return index_ != 0; }
  workptr get() const { return workhead[index_]; }

 private:
  std::int32_t index_ = 0;
};

// The column count of the matrix described: arrsize div rows.
// arf: kept
std::int32_t descr_cols(const arr_descr* arf);

// arf := rows * cols entries in `rows` rows.
void set_descr(arr_descr* arf, std::int32_t rows, std::int32_t cols);

// Frees the value in each of the first arf->arrsize cells of ar (free_quoly,
// each cell left nil) and sets arf->arrsize to 0.
// ar: cells freed; arf: changed
void free_arr(workptr ar, arr_descr* arf);

// The rows-by-rows identity in arr: a fresh number 1 on the diagonal, 0
// elsewhere. arr_free: the cells' old values are freed first; otherwise the
// cells are taken to own nothing and are overwritten.
// reads: mode flags
void identi(workptr arr, std::int32_t rows, bool arr_free);

}  // namespace tavrin
