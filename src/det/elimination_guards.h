// Guards every elimination keeps for its lifetime: a trace level, the GCD
// cache, modding-out suspended when it must be, and the sparse matrix it
// eliminates in. Each undoes its change on every exit, an error unwind
// included.
#pragma once

#include <cstdint>

#include "core/errors.h"
#include "core/globals.h"
#include "core/trace_level.h"
#include "gcd/gcd_stash.h"
#include "toplevel/polymodding.h"
#include "toplevel/state.h"
#include "arrays/sparse_store.h"
#include "matrix/sparse_copy.h"

namespace tavrin {

// Polymodding suspended for the elimination when it must be; resumed on
// every exit unless an error report has resumed it already.
class ModOutSuspension {
 public:
  ModOutSuspension(std::int32_t mycut, std::int32_t m)
      : on_(need_to_turn_off_mod_out(true, false, true, mycut, m)) {
    if (on_) adjust_polyname_ptrs();
  }
  ~ModOutSuspension() { resume(); }
  ModOutSuspension(const ModOutSuspension&) = delete;
  ModOutSuspension& operator=(const ModOutSuspension&) = delete;
  // Resumes now; true when this call resumed.
  bool resume() {
    if (!on_) return false;
    on_ = false;
    if (!using_new_polynames) return false;
    resume_old_polynames();
    return true;
  }

 private:
  bool on_;
};

// The sparse matrix eliminated in: the caller's temporary, or a copy of a
// borrowed matrix; freed on every exit (the caller's pointer cleared when
// it was the temporary).
class SparseWorkingMatrix {
 public:
  SparseWorkingMatrix(sparseptr* spar, std::int32_t m, bool ar_free)
      : spar_(spar), m_(m), ar_free_(ar_free) {
    if (ar_free)
      sp_ = *spar;
    else
      copy_sparse(spar, &sp_, m, false);
  }
  ~SparseWorkingMatrix() {
    free_sparse(&sp_, m_, true);
    if (ar_free_) *spar_ = nullptr;
  }
  SparseWorkingMatrix(const SparseWorkingMatrix&) = delete;
  SparseWorkingMatrix& operator=(const SparseWorkingMatrix&) = delete;
  sparseptr get() const { return sp_; }

 private:
  sparseptr* spar_;
  sparseptr sp_ = nullptr;
  std::int32_t m_;
  bool ar_free_;
};

}  // namespace tavrin
