// Scratch records with guaranteed release, for the routines of poly/ that
// can be left by an error unwind. Private to poly/.
#pragma once

#include "numbers/freelists.h"
#include "numbers/records.h"

namespace tavrin::detail {

// A number header for intermediate values: its limbs (whatever the mode)
// and the header go back on every exit.
class ScratchNumber {
 public:
  ScratchNumber() { newimag(&n_); }
  ~ScratchNumber() {
    special_free(n_);
    free_imag(&n_);
  }
  ScratchNumber(const ScratchNumber&) = delete;
  ScratchNumber& operator=(const ScratchNumber&) = delete;
  imptr get() const { return n_; }

 private:
  imptr n_ = nullptr;
};

// A polynomial under construction, freed unless released to the caller.
class OwnedPoly {
 public:
  OwnedPoly() = default;
  ~OwnedPoly() { free_poly(&p_); }
  OwnedPoly(const OwnedPoly&) = delete;
  OwnedPoly& operator=(const OwnedPoly&) = delete;
  poly get() const { return p_; }
  poly* cell() { return &p_; }
  poly release() {
    poly r = p_;
    p_ = nullptr;
    return r;
  }

 private:
  poly p_ = nullptr;
};

}  // namespace tavrin::detail
