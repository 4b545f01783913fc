// The Laurent shift as a guard: before a GCD or an exact division the
// negative exponents of a polynomial are shifted away (clear_bads from 0 at
// every level), and afterwards shifted back (eliminate_bads, factor 1). The
// list of per-level shifts goes back to the node free list on every exit,
// an unwinding error included.
#pragma once

#include "core/interrupts.h"
#include "core/records.h"
#include "numbers/freelists.h"
#include "poly/poly_repr.h"

namespace tavrin::detail {

// *x with its negative exponents shifted away for the guard's lifetime
// (nothing happens to a polynomial without any). With restore, *x is
// shifted back when the guard ends; keep_shifted() cancels that.
// *x: changed in place (restored with restore). reads: polynames
class LaurentShift {
 public:
  LaurentShift(poly* x, bool restore) : x_(x), restore_(restore) {
    poly tail = nullptr;
    clear_bads(x, &exps_, &tail, 0, 0);
  }
  ~LaurentShift() {
    if (restore_) eliminate_bads(x_, exps_, 1);
    free_poly(&exps_);
  }
  LaurentShift(const LaurentShift&) = delete;
  LaurentShift& operator=(const LaurentShift&) = delete;

  // Something was shifted.
  bool shifted() const { return exps_ != nullptr; }
  // *q multiplied by the same monomial that the guard divided *x by.
  void back(poly* q) const { eliminate_bads(q, exps_, 1); }
  // *x stays shifted when the guard ends.
  void keep_shifted() { restore_ = false; }

 private:
  InterruptHold hold_;  // declared first: held until *x is back
  poly* x_;
  bool restore_;
  poly exps_ = nullptr;
};

}  // namespace tavrin::detail
